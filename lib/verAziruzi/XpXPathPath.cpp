// Location paths: where a path starts, what one step selects on each axis, the
// name and node-type tests, predicates and the further '/' and '//' steps.
// Results keep the order the axes give; nothing is sorted or made unique.

#include <algorithm>
#include <cstdint>
#include <optional>

#include "lib/verAziruzi/XpXPathEval.h"

namespace {

enum class Axis {
  Child,
  Descendant,
  DescendantOrSelf,
  Self,
  Parent,
  Ancestor,
  AncestorOrSelf,
  FollowingSibling,
  PrecedingSibling,
  Following,
  Preceding,
  Attribute,
  Namespace,
};

bool IsAxisToken(int id) { return id >= xptok::Ancestor && id <= xptok::Self; }

bool IsNodeTypeToken(int id) {
  return id == xptok::TextTest || id == xptok::CommentTest || id == xptok::PiTest || id == xptok::NodeTest;
}

Axis AxisOf(int id) {
  switch (id) {
    case xptok::Ancestor: return Axis::Ancestor;
    case xptok::AncestorOrSelf: return Axis::AncestorOrSelf;
    case xptok::AttributeAxis: return Axis::Attribute;
    case xptok::Descendant: return Axis::Descendant;
    case xptok::DescendantOrSelf: return Axis::DescendantOrSelf;
    case xptok::Following: return Axis::Following;
    case xptok::FollowingSibling: return Axis::FollowingSibling;
    case xptok::NamespaceAxis: return Axis::Namespace;
    case xptok::Parent: return Axis::Parent;
    case xptok::Preceding: return Axis::Preceding;
    case xptok::PrecedingSibling: return Axis::PrecedingSibling;
    case xptok::Self: return Axis::Self;
    default: return Axis::Child;
  }
}

bool IsDocument(const TXpNode* node) { return node->NodeType() == DOCUMENT_NODE; }
bool IsElement(const TXpNode* node) { return node->NodeType() == ELEMENT_NODE; }

// The walks answer how many nodes they visited: the evaluation is charged them.
// A visit answers whether the walk goes on.
template <class Visit>
std::size_t VisitDescendants(const TXpNode* node, Visit&& visit) {
  std::size_t visited = 0;
  XpWalkDescendants(node, [&](TXpNode* descendant) {
    ++visited;
    return visit(descendant) ? TXpWalkStep::Continue : TXpWalkStep::Stop;
  });
  return visited;
}

// The ancestors of a node in document order, the document node left out.
std::vector<TXpNode*> Ancestors(const TXpNode* node) {
  std::vector<TXpNode*> chain;
  for (TXpNode* up = node->ParentNode(); up && !IsDocument(up); up = up->ParentNode()) chain.push_back(up);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

// Every node on the axis, of every type, in list order, for as long as the
// visit asks for more.
template <class Visit>
void VisitAxisNodes(Axis axis, TXpNode* node, Visit&& visit) {
  switch (axis) {
    case Axis::Child:
      for (TXpNode* child : node->ChildNodes()->Nodes())
        if (!visit(child)) return;
      return;
    case Axis::DescendantOrSelf:
      if (!visit(node)) return;
      [[fallthrough]];
    case Axis::Descendant:
      VisitDescendants(node, visit);
      return;
    case Axis::Self:
      visit(node);
      return;
    case Axis::Parent:
      if (node->ParentNode()) visit(node->ParentNode());
      return;
    case Axis::Ancestor:
    case Axis::AncestorOrSelf:
      for (TXpNode* ancestor : Ancestors(node))
        if (!visit(ancestor)) return;
      if (axis == Axis::AncestorOrSelf) visit(node);
      return;
    case Axis::FollowingSibling:
      for (TXpNode* sibling = node->NextSibling(); sibling; sibling = sibling->NextSibling())
        if (!visit(sibling)) return;
      return;
    case Axis::PrecedingSibling:
      for (TXpNode* sibling = node->PreviousSibling(); sibling; sibling = sibling->PreviousSibling())
        if (!visit(sibling)) return;
      return;
    case Axis::Following: {
      TXpFollowingAxis following(node);
      for (TXpNode* next = following.NextNode(node); next; next = following.NextNode(next))
        if (!visit(next)) return;
      return;
    }
    case Axis::Preceding: {
      TXpPrecedingAxis preceding(node);
      for (TXpNode* next = preceding.NextNode(node); next; next = preceding.NextNode(next))
        if (!visit(next)) return;
      return;
    }
    case Axis::Attribute:
      if (const TXpNamedNodeMap* attributes = node->Attributes())
        for (TXpNode* attribute : attributes->Nodes())
          if (!visit(attribute)) return;
      return;
    case Axis::Namespace:
      VisitDescendants(node, [&](TXpNode* descendant) { return !IsElement(descendant) || visit(descendant); });
      return;
  }
}

template <class Visit>
std::size_t VisitAxis(Axis axis, TXpNode* node, Visit&& visit) {
  std::size_t visited = 0;
  VisitAxisNodes(axis, node, [&](TXpNode* next) {
    ++visited;
    return visit(next);
  });
  return visited;
}

// The descendant test from an element: the local name, ASCII-case-blind under
// IgnoreCase; the prefix is not looked at.
bool LocalNameMatches(const TXpNode* node, std::u16string_view name) {
  std::u16string_view local = node->NodeName();
  if (const std::size_t colon = local.find(u':'); colon != std::u16string_view::npos) local.remove_prefix(colon + 1);
  if (local == name) return true;
  const TXpDocument* document = node->OwnerDocument();
  return document && document->IgnoreCase() && XpSameAsciiText(local, name);
}

// What a step collects: every node that passes its test, or, under a literal
// position test [n] that follows, only as many as that test can reach.
struct TCollect {
  TXpNodeList& list;
  std::size_t limit = SIZE_MAX;

  // Adds the node when it passes; answers whether the walk goes on.
  bool Take(TXpNode* node, bool passes) {
    if (passes) list.Add(node);
    return static_cast<std::size_t>(list.Length()) < limit;
  }
};

// A name or '*' on the axis, each axis with its own comparison; answers the
// number of nodes looked at.
std::size_t NameStep(Axis axis, TXpNode* node, const TXpToken& test, TCollect& out) {
  const bool star = test.id == xptok::Star;
  const WideString& name = test.text;
  auto exact = [&](TXpNode* candidate) { return out.Take(candidate, star || candidate->NodeName() == name); };
  auto matching = [&](TXpNode* candidate) { return out.Take(candidate, star || candidate->NameMatches(name)); };
  switch (axis) {
    case Axis::Child:
      if (IsDocument(node)) {
        if (TXpElement* root = static_cast<TXpDocument*>(node)->DocumentElement()) exact(root);
        return 1;
      }
      return VisitAxis(axis, node, [&](TXpNode* child) {
        return out.Take(child, IsElement(child) && (star || child->NameMatches(name)));
      });
    case Axis::DescendantOrSelf:
    case Axis::Descendant: {
      if (axis == Axis::DescendantOrSelf && !exact(node)) return 1;
      const bool fromDocument = IsDocument(node);
      return VisitDescendants(node, [&](TXpNode* candidate) {
               return out.Take(candidate, IsElement(candidate) &&
                                              (star || (fromDocument ? candidate->NameMatches(name)
                                                                     : LocalNameMatches(candidate, name))));
             }) +
             1;
    }
    case Axis::Following:
    case Axis::Preceding:
      return VisitAxis(axis, node, matching);
    case Axis::Attribute:
      if (star) return VisitAxis(axis, node, exact);
      if (const TXpNamedNodeMap* attributes = node->Attributes())
        if (TXpNode* attribute = attributes->GetNamedItem(name)) out.Take(attribute, true);
      return 1;
    case Axis::Namespace:
      return VisitAxis(axis, node, [&](TXpNode* candidate) {
        return out.Take(candidate, star || candidate->NamespaceURI() == name);
      });
    default:
      return VisitAxis(axis, node, exact);
  }
}

// text(), comment(), processing-instruction() and node(): the nodes of the
// type on the axis.
void NodeTypeStep(TXpEvaluation& ev, Axis axis, TXpNode* node, TCollect& out) {
  TXpNodeList& list = out.list;
  const int id = ev.Consume().id;
  const int type = id == xptok::TextTest      ? TEXT_NODE
                   : id == xptok::CommentTest ? COMMENT_NODE
                   : id == xptok::PiTest      ? PROCESSING_INSTRUCTION_NODE
                                              : 0;
  ev.Expect(xptok::OpenParen);
  if (id == xptok::PiTest && ev.NextIs(xptok::String)) {
    const WideString target = ev.Consume().text;
    ev.Expect(xptok::CloseParen);
    if (axis == Axis::Child) {
      list.CopyList(node->GetChildrenByName(PROCESSING_INSTRUCTION_NODE, target).get());
    } else {
      list.CopyList(node->GetDescendantsByType(PROCESSING_INSTRUCTION_NODE, target).get());
    }
    return ev.Charge(list.Length() + 1);
  }
  ev.Expect(xptok::CloseParen);
  ev.Charge(VisitAxis(axis, node, [&](TXpNode* candidate) {
    return out.Take(candidate, type == 0 || candidate->NodeType() == type);
  }));
}

// The node test after an axis token, or after '//'.
void AxisTest(TXpEvaluation& ev, Axis axis, TXpNode* node, TCollect& out) {
  const TXpToken* test = ev.Peek();
  if (test && (test->id == xptok::Name || test->id == xptok::Star))
    return ev.Charge(NameStep(axis, node, ev.Consume(), out));
  if (test && IsNodeTypeToken(test->id)) return NodeTypeStep(ev, axis, node, out);
  throw TXpDOMException::CreateValue(ecExpectedToken, xptok::Name);
}

// The index of the last token of the node test after the index: a name, '*',
// or a node-type test with its parentheses; -1 for anything else.
int NodeTestEnd(const TXpEvaluation& ev) {
  const TXpTokens& tokens = ev.tokens;
  const int size = static_cast<int>(tokens.size());
  const int at = ev.index + 1;
  if (at >= size) return -1;
  const int id = tokens[at].id;
  if (id == xptok::Name || id == xptok::Star) return at;
  if (!IsNodeTypeToken(id) || at + 1 >= size || tokens[at + 1].id != xptok::OpenParen) return -1;
  int close = at + 2;
  if (id == xptok::PiTest && close < size && tokens[close].id == xptok::String) ++close;
  return close < size && tokens[close].id == xptok::CloseParen ? close : -1;
}

// The n of a literal position test "[n]" standing first after the node test
// that ends at testEnd; nothing when another predicate or none follows. A text
// that is no whole number keeps no node, as the predicate would.
std::optional<int> LiteralPosition(const TXpEvaluation& ev, int testEnd) {
  const TXpTokens& tokens = ev.tokens;
  if (testEnd < 0 || testEnd + 3 >= static_cast<int>(tokens.size()) ||
      tokens[testEnd + 1].id != xptok::OpenBracket || tokens[testEnd + 2].id != xptok::Number ||
      tokens[testEnd + 3].id != xptok::CloseBracket)
    return std::nullopt;
  int n = -1;
  if (!XpReadWholeNumber(tokens[testEnd + 2].text, n)) n = -1;
  return n;
}

// The node test on an axis whose positions count in list order. Under a
// literal position test "[n]" the walk ends at the n-th node that passes,
// which alone is kept, and the predicate is consumed: "preceding-sibling::x[1]"
// then costs a step back, not the whole sibling list, for each context node.
template <class Test>
void TestInListOrder(TXpEvaluation& ev, TXpNodeList& list, Test&& test) {
  const std::optional<int> n = LiteralPosition(ev, NodeTestEnd(ev));
  TCollect out{list};
  if (n) out.limit = *n > 0 ? static_cast<std::size_t>(*n) : 1;
  test(out);
  if (!n) return;
  if (*n < 1 || list.Length() < *n) {
    list.Empty();
  } else {
    list.Exchange(0, *n - 1);
    while (list.Length() > 1) list.Delete(list.Length() - 1);
  }
  ev.index += 3;
}

// '@name', '@*' or '@(name)'; after '//' also on every descendant element.
void AttributeStep(TXpEvaluation& ev, bool doubleSlash, TXpNode* node, TXpNodeList& list) {
  const bool parenthesised = ev.Accept(xptok::OpenParen);
  if (!ev.Peek()) throw TXpDOMException::CreateValue(ecExpectedToken, xptok::Name);
  const TXpToken& name = ev.Consume();
  if (parenthesised) ev.Expect(xptok::CloseParen);
  auto collect = [&](const TXpNode* holder) {
    const TXpNamedNodeMap* attributes = holder->Attributes();
    if (!attributes) return;
    if (name.id == xptok::Star) {
      for (TXpNode* attribute : attributes->Nodes()) list.Add(attribute);
    } else if (TXpNode* attribute = attributes->GetNamedItem(name.text)) {
      list.Add(attribute);
    }
  };
  collect(node);
  std::size_t visited = 1;
  if (doubleSlash)
    visited += VisitDescendants(node, [&](TXpNode* descendant) {
      if (IsElement(descendant)) collect(descendant);
      return true;
    });
  ev.Charge(visited + list.Length());
}

// id(...): the elements whose ID attribute holds one of the identifiers.
void IdStep(TXpEvaluation& ev, TXpNode* node, TXpNodeList& list) {
  ev.Consume();
  ev.Expect(xptok::OpenParen);
  WideString ids;
  const TXpToken* next = ev.Peek();
  const bool literal = next && (next->id == xptok::String || next->id == xptok::Number) &&
                       ev.index + 2 < static_cast<int>(ev.tokens.size()) &&
                       ev.tokens[ev.index + 2].id == xptok::CloseParen;
  if (literal) {
    ids = ev.Consume().text;
  } else {
    TXpWork argument;
    XpEvalExpr(ev, argument, node);
    if (argument.kind != xpetNodeSet) {
      ids = argument.text;
    } else {
      for (const TXpNode* item : argument.list->Nodes()) {
        if (!ids.empty()) ids += u' ';
        ids += item->NodeType() == ATTRIBUTE_NODE ? item->NodeValue() : item->Text();
      }
    }
  }
  ev.Expect(xptok::CloseParen);
  TXpDocument* document = node->OwnerDocument();
  TXpElement* root = document ? document->DocumentElement() : nullptr;
  if (root) list.CopyList(root->GetElementsWithIDs(document->IdAttribute(), ids).get());
  ev.Charge(list.Length() + 1);
}

// Passes over one step without evaluating it, as XpEvalStep would read it.
void SkipStep(TXpEvaluation& ev) {
  ev.Accept(xptok::DoubleSlash);
  if (const TXpToken* next = ev.Peek()) {
    const int id = next->id;
    if (id == xptok::Dot || id == xptok::DotDot || id == xptok::Name || id == xptok::Star) {
      ev.Consume();
    } else if (IsAxisToken(id) || IsNodeTypeToken(id)) {
      if (IsAxisToken(id)) ev.Consume();
      const TXpToken* test = ev.Peek();
      if (!test) throw TXpDOMException::CreateValue(ecExpectedToken, xptok::Name);
      ev.Consume();
      if (IsNodeTypeToken(test->id)) {
        ev.Expect(xptok::OpenParen);
        XpSkipToCloseParen(ev.tokens, ev.index);
      }
    } else if (id == xptok::At) {
      ev.Consume();
      if (ev.Accept(xptok::OpenParen)) XpSkipToCloseParen(ev.tokens, ev.index);
      else if (ev.Peek()) ev.Consume();
    } else if (id == xptok::FnId) {
      ev.Consume();
      ev.Expect(xptok::OpenParen);
      XpSkipToCloseParen(ev.tokens, ev.index);
    }
  }
  while (ev.Accept(xptok::OpenBracket)) XpSkipToCloseBracket(ev.tokens, ev.index);
}

void SkipPathSteps(TXpEvaluation& ev) {
  while (ev.NextIs(xptok::Slash) || ev.NextIs(xptok::DoubleSlash)) {
    ev.Accept(xptok::Slash);
    SkipStep(ev);
  }
}

// A step after its axis token; the reverse axes count their positions from the
// context node.
void AxisStep(TXpEvaluation& ev, TXpWork& w, TXpNode* node, int axisToken, bool doubleSlash) {
  const Axis axis = AxisOf(axisToken);
  const bool reverse = axis == Axis::Ancestor || axis == Axis::AncestorOrSelf;
  auto list = XpNewList();
  if (reverse || doubleSlash) {
    TCollect out{*list};
    AxisTest(ev, axis, node, out);
  } else {
    TestInListOrder(ev, *list, [&](TCollect& out) { AxisTest(ev, axis, node, out); });
  }
  w.SetList(std::move(list));
  XpEvalPredicates(ev, w, doubleSlash, reverse, node);
}

}  // namespace

void XpEvalLocationPath(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  TXpNode* start = XpPathStartNode(ev, w, contextNode);
  if (!start) {
    w.SetList(TXpWork::SharedEmptyList());
    SkipStep(ev);
    return SkipPathSteps(ev);
  }
  XpEvalStep(ev, w, start);
  XpEvalPathContinuation(ev, w, start);
}

TXpNode* XpPathStartNode(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const TXpToken* next = ev.Peek();
  if (!next) return contextNode;
  if (next->id == xptok::Slash || next->id == xptok::DoubleSlash) {
    if (next->id == xptok::Slash) ev.Consume();
    return IsDocument(contextNode) ? contextNode : contextNode->OwnerDocument();
  }
  if (next->id == xptok::Self) {
    ev.Consume();
    TXpWork step = TXpWork::FreshWith(w.list);
    AxisStep(ev, step, contextNode, xptok::Self, false);
    return step.list->Length() > 0 ? contextNode : nullptr;
  }
  TXpNode* node = contextNode;
  while ((next = ev.Peek()) && (next->id == xptok::Dot || next->id == xptok::Slash || next->id == xptok::DotDot)) {
    ev.Consume();
    if (next->id == xptok::DotDot && node) {
      TXpNode* parent = node->ParentNode();
      node = parent && !IsDocument(parent) ? parent : nullptr;
    }
  }
  return node;
}

void XpEvalStep(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const bool doubleSlash = ev.Accept(xptok::DoubleSlash);
  const Axis axis = doubleSlash ? Axis::Descendant : Axis::Child;
  auto list = XpNewList();
  const TXpToken* next = ev.Peek();
  const int id = next ? next->id : 0;
  if (id == xptok::Dot) {
    ev.Consume();
    list->Add(contextNode);
    std::size_t visited = 1;
    if (doubleSlash)
      visited += VisitDescendants(contextNode, [&](TXpNode* descendant) {
        list->Add(descendant);
        return true;
      });
    ev.Charge(visited);
  } else if (id == xptok::Name || id == xptok::Star || IsNodeTypeToken(id)) {
    auto test = [&](TCollect& out) {
      if (IsNodeTypeToken(id)) return NodeTypeStep(ev, axis, contextNode, out);
      ev.Charge(NameStep(axis, contextNode, ev.Consume(), out));
    };
    if (doubleSlash) {
      TCollect out{*list};
      test(out);
    } else {
      TestInListOrder(ev, *list, test);
    }
  } else if (IsAxisToken(id)) {
    // "child::" too: an axis and its node test, as XPath reads it.
    ev.Consume();
    return AxisStep(ev, w, contextNode, id, doubleSlash);
  } else if (id == xptok::At) {
    ev.Consume();
    AttributeStep(ev, doubleSlash, contextNode, *list);
  } else if (id == xptok::FnId) {
    IdStep(ev, contextNode, *list);
  } else if (id == xptok::DotDot) {
    ev.Consume();
    TXpNode* parent = contextNode->ParentNode();
    if (parent && !IsDocument(parent)) list->Add(parent);
  } else {
    // '[' and every token that starts no step: the context node itself.
    list->Add(contextNode);
  }
  w.SetList(std::move(list));
  XpEvalPredicates(ev, w, doubleSlash, false, contextNode);
}

void XpEvalPredicates(TXpEvaluation& ev, TXpWork& w, bool doubleSlash, bool reverse,
                      [[maybe_unused]] TXpNode* contextNode) {
  while (ev.Accept(xptok::OpenBracket)) {
    const int bracket = ev.index;
    if (w.list->Length() == 0) {
      XpSkipToCloseBracket(ev.tokens, ev.index);
      continue;
    }
    const std::shared_ptr<TXpNodeList> context = w.list;
    const int count = context->Length();
    std::vector<char> keep(count);
    const bool savedReverse = ev.reverseAxis;
    const bool savedSiblingCounting = ev.siblingCounting;
    const TXpNodeList* savedList = ev.contextList;
    const TXpNode* savedCandidate = ev.candidate;
    const int savedPosition = ev.candidatePosition;
    int end = bracket;
    for (int i = count - 1; i >= 0; --i) {
      ev.Charge(1);
      TXpNode* candidate = context->Item(i);
      ev.index = bracket;
      ev.reverseAxis = reverse;
      ev.siblingCounting = doubleSlash;
      ev.contextList = context.get();
      ev.candidate = candidate;
      ev.candidatePosition = i + 1;
      TXpWork test = TXpWork::FreshWith(context);
      XpEvalExpr(ev, test, candidate);
      if (test.kind == xpetNumber) {
        int n = -1;
        if (!XpReadWholeNumber(test.text, n)) n = -1;
        const int position = reverse ? count - i : i + 1;
        // IsNthOfName's count, kept per parent: a '//' step over a long
        // segment would otherwise count its siblings again for every point.
        keep[i] = doubleSlash ? n >= 1 && ev.RankAmongNamesakes(candidate).first == n : position == n;
      } else {
        keep[i] = XpToBoolean(test);
      }
      end = ev.index;
    }
    ev.reverseAxis = savedReverse;
    ev.siblingCounting = savedSiblingCounting;
    ev.contextList = savedList;
    ev.candidate = savedCandidate;
    ev.candidatePosition = savedPosition;
    ev.index = end;
    XpSkipToCloseBracket(ev.tokens, ev.index);
    auto kept = XpNewList();
    for (int i = 0; i < count; ++i)
      if (keep[i]) kept->Add(context->Item(i));
    w.SetList(std::move(kept));
  }
}

void XpEvalPathContinuation(TXpEvaluation& ev, TXpWork& w, [[maybe_unused]] TXpNode* contextNode) {
  while (ev.NextIs(xptok::Slash) || ev.NextIs(xptok::DoubleSlash)) {
    if (w.list->Length() == 0) return SkipPathSteps(ev);
    ev.Accept(xptok::Slash);
    const int start = ev.index;
    int end = start;
    auto result = XpNewList();
    const std::shared_ptr<TXpNodeList> nodes = w.list;
    for (TXpNode* node : nodes->Nodes()) {
      ev.index = start;
      TXpWork step;
      XpEvalStep(ev, step, node);
      // Paths keep repeated nodes, so the lists can outgrow the document.
      ev.Charge(1 + kXpCopyCost * step.list->Length());
      result->CopyList(step.list.get());
      end = ev.index;
    }
    ev.index = end;
    w.SetList(std::move(result));
  }
}
