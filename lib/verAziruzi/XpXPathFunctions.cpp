// The function library: the XPath 1.0 core functions, the host functions an
// XPath host offers, variable references and calls of unknown functions. What
// the document cannot answer comes from its callback events; every
// out-parameter starts empty.

#include <cmath>
#include <cstdint>

#include "lib/verAziruzi/XpDOMDtd.h"
#include "lib/verAziruzi/XpInet.h"
#include "lib/verAziruzi/XpXPathEval.h"

namespace {

WideString IntegerText(std::int64_t value) { return XpFormat(u"%d", {value}); }

// One argument, evaluated from the context node into fresh variables.
TXpWork Argument(TXpEvaluation& ev, TXpNode* contextNode) {
  TXpWork argument;
  XpEvalExpr(ev, argument, contextNode);
  return argument;
}

WideString StringArgument(TXpEvaluation& ev, TXpNode* contextNode) {
  return XpToString(Argument(ev, contextNode));
}

// The next argument after its required comma.
TXpWork NextArgument(TXpEvaluation& ev, TXpNode* contextNode) {
  ev.Expect(xptok::Comma);
  return Argument(ev, contextNode);
}

WideString NextStringArgument(TXpEvaluation& ev, TXpNode* contextNode) {
  return XpToString(NextArgument(ev, contextNode));
}

void Close(TXpEvaluation& ev) { ev.Expect(xptok::CloseParen); }

// A node's text for key() and document(): an attribute's value, else Text.
WideString NodeText(const TXpNode* node) {
  return node->NodeType() == ATTRIBUTE_NODE ? node->NodeValue() : node->Text();
}

// The parent whose children count() and sum() without argument read.
TXpNode* ParentOf(const TXpNode* contextNode) {
  TXpNode* parent = contextNode->ParentNode();
  if (!parent) throw TXpXPathException(u"Context node has no parent");
  return parent;
}

void SetNodeSet(TXpWork& w, std::shared_ptr<TXpNodeList> list) {
  w.SetList(std::move(list));
  w.kind = xpetNodeSet;
}

// position() and last() read the context of the predicate (or of the whole
// query) that the context node is the candidate of; from any other node, the
// list in the working value.
void Position(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  if (ev.candidate != contextNode) return w.SetText(xpetNumber, IntegerText(w.list->IndexOf(contextNode) + 1));
  int position = ev.candidatePosition;
  if (ev.reverseAxis && position > 0) position = ev.contextList->Length() - position + 1;
  w.SetText(xpetNumber, IntegerText(position));
}

void Last(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  if (ev.candidate != contextNode) return w.SetText(xpetNumber, IntegerText(w.list->Length()));
  // On a '//' step the last of its name under the parent, as [n] counts there.
  const int last = ev.siblingCounting ? ev.RankAmongNamesakes(contextNode).second : ev.contextList->Length();
  w.SetText(xpetNumber, IntegerText(last));
}

void Count(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  if (ev.NextIs(xptok::CloseParen)) {
    w.SetText(xpetNumber, IntegerText(ParentOf(contextNode)->ChildNodes()->Length()));
  } else {
    const TXpWork argument = Argument(ev, contextNode);
    w.SetText(xpetNumber, IntegerText(argument.kind == xpetNodeSet ? argument.list->Length() : 0));
  }
  Close(ev);
}

void Sum(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  std::vector<WideString> texts;
  if (ev.NextIs(xptok::CloseParen)) {
    for (const TXpNode* child : ParentOf(contextNode)->ChildNodes()->Nodes()) texts.push_back(child->NodeValue());
  } else {
    const TXpWork argument = Argument(ev, contextNode);
    if (argument.kind == xpetNodeSet)
      for (const TXpNode* node : argument.list->Nodes()) texts.push_back(node->StringValue());
  }
  XpSkipToNextCloseParen(ev.tokens, ev.index);
  double total = 0;
  for (const WideString& text : texts) {
    const std::optional<double> value = XpReadNumber(text);
    if (!value) return w.SetText(xpetString, u"NaN");
    total += *value;
  }
  try {
    w.SetText(xpetNumber, XpXPathNumberToStr(total));
  } catch (const EConvertError&) {
    w.SetText(xpetString, u"NaN");
  }
}

// round(): halves to even, exact to the nearest 64-bit whole number.
WideString Round(double value) {
  const double rounded = std::nearbyint(value);
  // -2^63 is the least; 2^63 itself is already beyond.
  if (!std::isfinite(rounded) || rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0)
    throw EConvertError(u"round() of a value without a 64-bit integer form");
  return IntegerText(static_cast<std::int64_t>(rounded));
}

bool StartsWith(const WideString& a, const WideString& b) {
  if (a.empty()) return b.empty();
  if (b.empty()) return true;
  return a.size() >= b.size() && XpSameLeft(a, b, static_cast<int>(b.size()));
}

void Substring(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const WideString text = StringArgument(ev, contextNode);
  const std::int64_t start = XpToInteger(NextArgument(ev, contextNode));
  std::int64_t length = static_cast<std::int64_t>(text.size()) - start + 1;
  if (ev.NextIs(xptok::Comma)) length = XpToInteger(NextArgument(ev, contextNode));
  Close(ev);
  if (start < 1 || length < 1 || start > static_cast<std::int64_t>(text.size())) return w.SetText(xpetString, {});
  w.SetText(xpetString, text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length)));
}

// substring-before() and substring-after().
void SubstringAround(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode, bool after) {
  const WideString text = StringArgument(ev, contextNode);
  const WideString mark = NextStringArgument(ev, contextNode);
  Close(ev);
  const int position = XpPosWide(mark, text);
  if (position == 0) return w.SetText(xpetString, {});
  w.SetText(xpetString, after ? text.substr(position - 1 + mark.size()) : text.substr(0, position - 1));
}

// The language of the nearest xml:lang on the context node's element or its
// ancestors, for a node of any type (an attribute's parent is its element). An
// empty xml:lang says "no language" for what lies below it.
void Lang(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const WideString language = StringArgument(ev, contextNode);
  Close(ev);
  if (language.empty()) return w.SetBoolean(false);
  for (const TXpNode* node = contextNode; node; node = node->ParentNode()) {
    if (node->NodeType() != ELEMENT_NODE) continue;
    const TXpNode* attribute = node->Attributes() ? node->Attributes()->GetNamedItem(u"xml:lang") : nullptr;
    if (!attribute) continue;
    return w.SetBoolean(XpSameLeftText(attribute->NodeValue(), language, static_cast<int>(language.size())));
  }
  w.SetBoolean(false);
}

// local-name(), name() and namespace-uri() of the argument's first node.
WideString NamePart(int function, const TXpNode* node) {
  if (!node) return {};
  switch (node->NodeType()) {
    case ELEMENT_NODE:
      if (function == xptok::FnLocalName) return node->LocalName();
      return function == xptok::FnName ? node->NodeName() : node->NamespaceURI();
    case ATTRIBUTE_NODE: {
      const WideString local = node->LocalName();
      const WideString prefix = node->Prefix();
      if (function == xptok::FnLocalName) return local == u"xmlns" ? WideString() : local;
      if (function == xptok::FnName) {
        if (local == u"xmlns") return {};
        return prefix == u"xmlns" ? local : node->NodeName();
      }
      return prefix == u"xmlns" || local == u"xmlns" ? WideString() : node->NamespaceURI();
    }
    case PROCESSING_INSTRUCTION_NODE:
      return function == xptok::FnNamespaceUri ? WideString() : node->NodeName();
    default:
      return {};
  }
}

void Key(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const WideString name = StringArgument(ev, contextNode);
  const TXpWork value = NextArgument(ev, contextNode);
  Close(ev);
  auto list = XpNewList();
  TXpDocument* document = ev.Document();
  if (document && document->OnKeyLookup) {
    if (value.kind == xpetNodeSet) {
      for (const TXpNode* node : value.list->Nodes()) document->OnKeyLookup(document, name, NodeText(node), list.get());
    } else {
      document->OnKeyLookup(document, name, value.text, list.get());
    }
  }
  SetNodeSet(w, std::move(list));
}

void Document(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  TXpDocument* owner = ev.Document();
  if (!owner || !owner->OnResolveDocument)
    throw TXpXPathException(XpFormatMessage(xpmNoFunctionHandler, {u"document"}));
  auto list = XpNewList();
  const TXpWork href = Argument(ev, contextNode);
  bool haveBase = false;
  WideString base;
  if (ev.Accept(xptok::Comma)) {
    const TXpWork second = Argument(ev, contextNode);
    if (second.kind != xpetNodeSet)
      throw TXpXPathException(
          XpFormatMessage(xpmNodeSetExpected, {XpFormatMessage(xpmDocumentSecondParameter)}));
    haveBase = true;
    base = XpToString(second);
  }
  auto resolve = [&](const WideString& location, const WideString& baseURI) {
    TXpDocument* root = nullptr;
    owner->OnResolveDocument(ev.node, location, baseURI, root);
    if (root) list->Add(root);
  };
  if (href.kind != xpetNodeSet) {
    resolve(href.text, base);
  } else {
    for (const TXpNode* node : href.list->Nodes()) resolve(NodeText(node), haveBase ? base : node->BaseURI());
  }
  Close(ev);
  SetNodeSet(w, std::move(list));
}

void UnparsedEntityUri(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const WideString name = StringArgument(ev, contextNode);
  Close(ev);
  const TXpDocument* document = ev.Document();
  const TXpNode* docType = nullptr;
  if (document)
    for (const TXpNode* child : document->ChildNodes()->Nodes())
      if (child->NodeType() == DOCUMENT_TYPE_NODE) {
        docType = child;
        break;
      }
  if (!docType) throw TXpXPathException(XpFormatMessage(xpmNoDtdForUnparsedEntity, {XpQuotedText(name)}));
  const std::unique_ptr<TXpNodeList> entities = docType->GetDescendantsByType(DTD_ENTITY_NODE, name);
  // A name the DTD does not declare has no URI.
  if (entities->Length() == 0) return w.SetText(xpetString, {});
  if (entities->Length() > 1)
    throw TXpXPathException(XpFormatMessage(xpmMultipleEntityDeclarations, {XpQuotedText(name)}));
  const auto* entity = static_cast<const TXpDTDEntity*>(entities->Item(0));
  if (entity->NotationName().empty())
    throw TXpXPathException(XpFormatMessage(xpmNotUnparsedEntity, {XpQuotedText(name)}));
  const std::unique_ptr<TXpDirContext> base = TXpDirContext::Make(nullptr, entity->BaseURI() + u"dummy.xml");
  w.SetText(xpetString, TXpDirContext::Make(base.get(), entity->SystemID())->URL());
}

void FormatNumber(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const WideString number = StringArgument(ev, contextNode);
  const WideString pattern = NextStringArgument(ev, contextNode);
  WideString format;
  if (ev.Accept(xptok::Comma)) {
    const TXpWork third = Argument(ev, contextNode);
    if (third.kind != xpetNodeSet) format = third.text;
  }
  Close(ev);
  TXpDocument* document = ev.Document();
  if (!document || !document->OnFormatNumber) return w.SetText(xpetString, number);
  WideString formatted;
  document->OnFormatNumber(ev.node, number, pattern, format, formatted);
  w.SetText(xpetString, formatted);
}

void SystemProperty(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const WideString name = StringArgument(ev, contextNode);
  Close(ev);
  if (name == u"xsl:version") return w.SetText(xpetNumber, u"1.0");
  if (name == u"xsl:vendor") return w.SetText(xpetString, u"Shoalwright");
  if (name == u"xsl:vendor-url") return w.SetText(xpetString, u"urn:shoalwright");
  WideString value;
  if (TXpDocument* document = ev.Document(); document && document->OnSystemProperty)
    document->OnSystemProperty(ev.node, name, value);
  w.SetText(xpetString, value);
}

void Variable(TXpEvaluation& ev, TXpWork& w, const WideString& name) {
  TXpValue* value = nullptr;
  if (TXpDocument* document = ev.Document(); document && document->OnVariableLookup)
    document->OnVariableLookup(ev.node, name, value);
  if (!value) return w.SetText(xpetString, {});
  const std::unique_ptr<TXpValue> owned(value);
  if (owned->ValueType() == xpetNodeSet) {
    auto list = XpNewList();
    list->CopyList(owned->AsNodeSet());
    return SetNodeSet(w, std::move(list));
  }
  w.SetText(owned->ValueType(), owned->AsString());
}

void UnknownFunction(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode, const WideString& name) {
  std::vector<WideString> arguments;
  while (!ev.Accept(xptok::CloseParen)) {
    ev.Accept(xptok::Comma);
    arguments.push_back(StringArgument(ev, contextNode));
    // Each argument must end at a ',' or the ')': a token that starts no
    // expression would otherwise stop the reading for good.
    if (!ev.NextIs(xptok::Comma) && !ev.NextIs(xptok::CloseParen))
      throw TXpDOMException::CreateValue(ecExpectedToken, xptok::CloseParen);
  }
  WideString result;
  if (TXpDocument* document = ev.Document(); document && document->OnFunction)
    document->OnFunction(ev.node, name, arguments, result);
  w.SetText(xpetString, result);
}

}  // namespace

void XpEvalFunction(TXpEvaluation& ev, TXpWork& w, TXpNode* contextNode) {
  const TXpToken& token = ev.tokens[ev.index];
  const int function = token.id;
  if (function == xptok::Variable) return Variable(ev, w, token.text);
  TXpDocument* document = ev.Document();
  // element-available() fails before its argument is read.
  if (function == xptok::FnElementAvailable && (!document || !document->OnElementAvailable))
    throw TXpXPathException(XpFormatMessage(xpmNoFunctionHandler, {u"element-available"}));
  ev.Expect(xptok::OpenParen);
  switch (function) {
    case xptok::UnknownFunction: return UnknownFunction(ev, w, contextNode, token.text);
    case xptok::FnLast:
      Close(ev);
      return Last(ev, w, contextNode);
    case xptok::FnPosition:
      Close(ev);
      return Position(ev, w, contextNode);
    case xptok::FnCount: return Count(ev, w, contextNode);
    case xptok::FnSum: return Sum(ev, w, contextNode);
    case xptok::FnCurrent: {
      Close(ev);
      TXpNode* current = nullptr;
      if (document && document->OnCurrentNode) document->OnCurrentNode(ev.node, current);
      auto list = XpNewList();
      if (current) list->Add(current);
      return SetNodeSet(w, std::move(list));
    }
    case xptok::FnTrue:
    case xptok::FnFalse:
      Close(ev);
      return w.SetBoolean(function == xptok::FnTrue);
    case xptok::FnSubstring: return Substring(ev, w, contextNode);
    case xptok::FnSubstringBefore: return SubstringAround(ev, w, contextNode, false);
    case xptok::FnSubstringAfter: return SubstringAround(ev, w, contextNode, true);
    case xptok::FnLang: return Lang(ev, w, contextNode);
    case xptok::FnKey: return Key(ev, w, contextNode);
    case xptok::FnDocument: return Document(ev, w, contextNode);
    case xptok::FnUnparsedEntityUri: return UnparsedEntityUri(ev, w, contextNode);
    case xptok::FnFormatNumber: return FormatNumber(ev, w, contextNode);
    case xptok::FnSystemProperty: return SystemProperty(ev, w, contextNode);
    case xptok::FnConcat: {
      WideString text = StringArgument(ev, contextNode);
      while (ev.Accept(xptok::Comma)) {
        TXpWork next = TXpWork::FreshWith(w.list);
        XpEvalExpr(ev, next, contextNode);
        text += XpToString(next);
      }
      Close(ev);
      return w.SetText(xpetString, text);
    }
    case xptok::FnStartsWith:
    case xptok::FnContains: {
      const WideString a = StringArgument(ev, contextNode);
      const WideString b = NextStringArgument(ev, contextNode);
      Close(ev);
      return w.SetBoolean(function == xptok::FnStartsWith ? StartsWith(a, b) : XpPosWide(b, a) > 0);
    }
    case xptok::FnTranslate: {
      const WideString text = StringArgument(ev, contextNode);
      const WideString from = NextStringArgument(ev, contextNode);
      const WideString to = NextStringArgument(ev, contextNode);
      Close(ev);
      return w.SetText(xpetString, XpTranslate(text, from, to));
    }
    case xptok::FnFunctionAvailable: {
      const WideString name = StringArgument(ev, contextNode);
      Close(ev);
      bool available = XpFunctionNames() && XpFunctionNames()->Exists(name);
      if (!available && document && document->OnFunctionAvailable)
        document->OnFunctionAvailable(ev.node, name, available);
      return w.SetBoolean(available);
    }
    case xptok::FnElementAvailable: {
      const WideString name = StringArgument(ev, contextNode);
      Close(ev);
      bool available = false;
      document->OnElementAvailable(ev.node, name, available);
      return w.SetBoolean(available);
    }
    default: break;
  }
  // The functions of one argument.
  const TXpWork argument = Argument(ev, contextNode);
  Close(ev);
  switch (function) {
    case xptok::FnBoolean: return w.SetBoolean(XpToBoolean(argument));
    case xptok::FnNumber: return w.SetText(xpetNumber, XpXPathNumberToStr(XpToNumber(argument)));
    case xptok::FnString: return w.SetText(xpetString, XpToString(argument));
    case xptok::FnStringLength:
      return w.SetText(xpetNumber, IntegerText(static_cast<std::int64_t>(XpToString(argument).size())));
    case xptok::FnNormalizeSpace: return w.SetText(xpetString, XpNormalizeSpace(XpToString(argument)));
    case xptok::FnFloor: return w.SetText(xpetNumber, IntegerText(XpFloorToInt(XpToNumber(argument))));
    case xptok::FnCeiling: return w.SetText(xpetNumber, IntegerText(XpCeilToInt(XpToNumber(argument))));
    case xptok::FnRound: return w.SetText(xpetNumber, Round(XpToNumber(argument)));
    case xptok::FnLocalName:
    case xptok::FnName:
    case xptok::FnNamespaceUri:
      return w.SetText(xpetString,
                       NamePart(function, argument.kind == xpetNodeSet ? argument.list->Item(0) : nullptr));
    case xptok::FnGenerateId: {
      const TXpNode* first = argument.kind == xpetNodeSet ? argument.list->Item(0) : nullptr;
      return w.SetText(xpetString,
                       first && first->NodeType() == ELEMENT_NODE ? u"x" + first->LevelCode() : WideString());
    }
    default: return w.SetText(xpetString, {});
  }
}
