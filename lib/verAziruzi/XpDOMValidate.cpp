// Validation of a loaded document against the DTD its load kept as nodes.
// Names and values compare exactly, whatever IgnoreCase says: a DTD is case
// sensitive. An element's children match its content model as XML defines it:
// the sequence of child elements, comments and processing instructions aside,
// is a word of the model's regular expression, matched whole.

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "lib/verAziruzi/XpDOMObjModel.h"

namespace {

const WideString kImproperDTD = u"Improperly formed DTD";

[[noreturn]] void RaiseImproperDTD() { throw TXpInvalidHalt(kImproperDTD); }

bool IsCommentOrPI(const TXpNode* node) {
  return node->NodeType() == COMMENT_NODE || node->NodeType() == PROCESSING_INSTRUCTION_NODE;
}

// A content model as an automaton with empty moves, built with fresh states
// around every particle, and run over the children as the set of states it can
// be in. Sets met once are kept with their moves by child name, so that the
// many elements of one declaration cost a lookup per child.
class TContentAutomaton {
public:
  // Raises "Improperly formed DTD" for a group without items, an item that is
  // neither group nor leaf, or a group that mixes "|" and ",".
  explicit TContentAutomaton(const TXpDTDElementGroup& model);

  // 0 when the children match the model whole; otherwise the finding: 9 when
  // some first part of them (nothing, perhaps) was already complete, so that
  // what follows is not expected; 8 when none was, so that something required
  // is missing.
  int Verdict(const TXpElement& element);

private:
  struct TState {
    std::vector<int> empty;  // moves that take no child
    int name = -1;  // a leaf's move: a child named fNames[name]
    int next = -1;
  };
  struct TFragment {
    int start;
    int end;
  };

  int NewState() {
    fStates.emplace_back();
    return static_cast<int>(fStates.size()) - 1;
  }
  void Link(int from, int to) { fStates[from].empty.push_back(to); }
  TFragment Repeat(TFragment inner, int occurs);
  TFragment Join(const TXpDTDElementGroup& group, const std::vector<TFragment>& items);

  // Every state reachable by empty moves, sorted.
  std::vector<int> Closure(std::vector<int> states) const;
  int Intern(std::vector<int> states);
  int Step(int set, const WideString& name);

  std::vector<TState> fStates;
  // Copied: a handler that hears of a finding may change the DTD.
  std::vector<WideString> fNames;
  int fStart = 0;
  int fAccept = 0;
  // The sets met, their acceptance and their moves; dropped when they grow
  // past kKeptStates states in all, as a hostile model could make them.
  static constexpr std::size_t kKeptStates = 1 << 22;
  std::map<std::vector<int>, int> fSetIds;
  std::vector<const std::vector<int>*> fSets;
  std::vector<char> fAccepting;
  std::vector<std::unordered_map<WideString, int>> fMoves;
  std::size_t fKept = 0;
  int fGeneration = 0;
};

TContentAutomaton::TFragment TContentAutomaton::Repeat(TFragment inner, int occurs) {
  if (occurs == xpoOnce) return inner;
  const int start = NewState();
  const int end = NewState();
  Link(start, inner.start);
  Link(inner.end, end);
  if (occurs == xpoOptional || occurs == xpoZeroOrMore) Link(start, end);
  if (occurs == xpoZeroOrMore || occurs == xpoOneOrMore) Link(inner.end, inner.start);
  return {start, end};
}

TContentAutomaton::TFragment TContentAutomaton::Join(const TXpDTDElementGroup& group,
                                                     const std::vector<TFragment>& items) {
  // The relations of all items but the last say what the group is.
  const auto& particles = group.ChildNodes()->Nodes();
  bool choice = false;
  bool sequence = false;
  for (std::size_t i = 0; i + 1 < particles.size(); ++i) {
    const int relation = static_cast<const TXpDTDParticle*>(particles[i])->Relation();
    if (relation == xprChoice) choice = true;
    else if (relation == xprSequence) sequence = true;
    else RaiseImproperDTD();
  }
  if (choice && sequence) RaiseImproperDTD();
  TFragment joined{NewState(), NewState()};
  if (choice) {
    for (const TFragment& item : items) {
      Link(joined.start, item.start);
      Link(item.end, joined.end);
    }
  } else {
    int at = joined.start;
    for (const TFragment& item : items) {
      Link(at, item.start);
      at = item.end;
    }
    Link(at, joined.end);
  }
  return Repeat(joined, group.Occurs());
}

TContentAutomaton::TContentAutomaton(const TXpDTDElementGroup& model) {
  // Built bottom-up with a stack of our own: a model made through the DOM
  // may nest deeper than the call stack.
  struct TFrame {
    const TXpDTDElementGroup* group;
    std::size_t next = 0;
    std::vector<TFragment> items;
  };
  std::vector<TFrame> stack;
  stack.push_back({&model, 0, {}});
  TFragment whole{};
  while (!stack.empty()) {
    TFrame& frame = stack.back();
    const auto& particles = frame.group->ChildNodes()->Nodes();
    if (particles.empty()) RaiseImproperDTD();
    if (frame.next == particles.size()) {
      const TFragment joined = Join(*frame.group, frame.items);
      stack.pop_back();
      if (stack.empty()) whole = joined;
      else stack.back().items.push_back(joined);
      continue;
    }
    const TXpNode* particle = particles[frame.next++];
    if (particle->NodeType() == DTD_ELEMENT_GROUP_NODE) {
      stack.push_back({static_cast<const TXpDTDElementGroup*>(particle), 0, {}});
      continue;
    }
    if (particle->NodeType() != DTD_ELEMENT_CONTENT_NODE) RaiseImproperDTD();
    const auto* leaf = static_cast<const TXpDTDElementContent*>(particle);
    const int start = NewState();
    const int end = NewState();
    fStates[start].name = static_cast<int>(fNames.size());
    fNames.push_back(leaf->NodeName());
    fStates[start].next = end;
    frame.items.push_back(Repeat({start, end}, leaf->Occurs()));
  }
  fStart = whole.start;
  fAccept = whole.end;
}

std::vector<int> TContentAutomaton::Closure(std::vector<int> states) const {
  std::vector<char> seen(fStates.size());
  std::vector<int> pending;
  std::vector<int> reached;
  for (int state : states)
    if (!seen[state]) {
      seen[state] = 1;
      pending.push_back(state);
    }
  while (!pending.empty()) {
    const int state = pending.back();
    pending.pop_back();
    reached.push_back(state);
    for (int to : fStates[state].empty)
      if (!seen[to]) {
        seen[to] = 1;
        pending.push_back(to);
      }
  }
  std::sort(reached.begin(), reached.end());
  return reached;
}

int TContentAutomaton::Intern(std::vector<int> states) {
  if (fKept + states.size() > kKeptStates) {
    fSetIds.clear();
    fSets.clear();
    fAccepting.clear();
    fMoves.clear();
    fKept = 0;
    ++fGeneration;
  }
  const auto [found, added] = fSetIds.try_emplace(std::move(states), static_cast<int>(fSets.size()));
  if (added) {
    fKept += found->first.size();
    fSets.push_back(&found->first);
    fAccepting.push_back(std::binary_search(found->first.begin(), found->first.end(), fAccept));
    fMoves.emplace_back();
  }
  return found->second;
}

// The set after a child of the name; the ids of earlier sets may be gone.
int TContentAutomaton::Step(int set, const WideString& name) {
  if (const auto move = fMoves[set].find(name); move != fMoves[set].end()) return move->second;
  std::vector<int> next;
  for (int state : *fSets[set])
    if (fStates[state].name >= 0 && fNames[fStates[state].name] == name) next.push_back(fStates[state].next);
  const int generation = fGeneration;
  const int target = Intern(Closure(std::move(next)));
  // Interning may have dropped every kept set, the one moved from too.
  if (fGeneration == generation) fMoves[set].emplace(name, target);
  return target;
}

int TContentAutomaton::Verdict(const TXpElement& element) {
  int set = Intern(Closure({fStart}));
  bool completeBefore = fAccepting[set];
  for (const TXpNode* child : element.ChildNodes()->Nodes()) {
    if (IsCommentOrPI(child)) continue;
    // Text and everything else but elements fits no model.
    if (child->NodeType() != ELEMENT_NODE) return completeBefore ? 9 : 8;
    set = Step(set, child->NodeName());
    if (fSets[set]->empty()) return completeBefore ? 9 : 8;
    if (fAccepting[set]) completeBefore = true;
  }
  if (fAccepting[set]) return 0;
  return completeBefore ? 9 : 8;
}

// Every child of an attribute list must be a definition.
void RequireDefinitions(const TXpDTDAttlist* list) {
  for (const TXpNode* child : list->ChildNodes()->Nodes())
    if (child->NodeType() != DTD_ATT_DEFINITION_NODE) RaiseImproperDTD();
}

bool InEnumeration(const TXpDTDAttDefinition* definition, const WideString& value) {
  const std::vector<WideString>* names = definition->Enumeration();
  if (!names) return false;
  for (const WideString& name : *names)
    if (name == value) return true;
  return false;
}

bool CarriesAttribute(const TXpElement* element, const WideString& name) {
  if (const TXpNamedNodeMap* attributes = element->Attributes())
    for (const TXpNode* attribute : attributes->Nodes())
      if (attribute->NodeName() == name) return true;
  return false;
}

}  // namespace

// The declarations that count: those of the document type and of its external
// subset, with what their INCLUDE sections and external parameter entities
// hold, internal first; an IGNORE section never counts. For an element name
// the first declaration wins; every attribute list of the name is kept, in
// order, because XML merges them.
struct TXpObjModel::TXpDTDDeclarations {
  std::unordered_map<WideString, const TXpDTDElement*> elements;
  std::unordered_map<WideString, TXpAttlists> attlists;
  struct TBuilt {
    TXpRef<TXpDTDElementGroup> model;
    std::unique_ptr<TContentAutomaton> automaton;
  };
  mutable std::unordered_map<const TXpDTDElementGroup*, TBuilt> automata;

  explicit TXpDTDDeclarations(const TXpDocumentType& dtd) {
    Gather(dtd);
    if (const TXpDocumentType* external = dtd.ExternalDTD()) Gather(*external);
  }

  const TXpDTDElement* Element(const WideString& name) const {
    auto found = elements.find(name);
    return found == elements.end() ? nullptr : found->second;
  }
  const TXpAttlists& Attlists(const WideString& name) const {
    static const TXpAttlists none;
    auto found = attlists.find(name);
    return found == attlists.end() ? none : found->second;
  }
  // The model's automaton, built at its first use in this validation.
  TContentAutomaton& Automaton(const TXpDTDElementGroup* model) const {
    TBuilt& built = automata[model];
    if (!built.automaton) {
      built.automaton = std::make_unique<TContentAutomaton>(*model);
      // Held, so that no other model can take its address while it is kept.
      built.model = TXpRef<TXpDTDElementGroup>::Share(const_cast<TXpDTDElementGroup*>(model));
    }
    return *built.automaton;
  }

private:
  void Gather(const TXpDocumentType& subset) {
    XpWalkDescendants(&subset, [this](TXpNode* node) {
      switch (node->NodeType()) {
        case DTD_ELEMENT_NODE:
          elements.try_emplace(node->NodeName(), static_cast<const TXpDTDElement*>(node));
          return TXpWalkStep::SkipChildren;
        case DTD_ATTLIST_NODE:
          attlists[node->NodeName()].push_back(static_cast<TXpDTDAttlist*>(node));
          return TXpWalkStep::SkipChildren;
        case DTD_CONDITIONAL_NODE:
          return static_cast<const TXpDTDConditional*>(node)->CondType() == xpcsInclude ? TXpWalkStep::Continue
                                                                                       : TXpWalkStep::SkipChildren;
        case DOCUMENT_TYPE_NODE:  // an external parameter entity read where it stands
          return TXpWalkStep::Continue;
        default:
          return TXpWalkStep::SkipChildren;
      }
    });
  }
};

// ---------------------------------------------------------------------------
// Findings

void TXpObjModel::ReportInvalid(int code, TXpNode* node) {
  ++fFindings;
  if (OnInvalidDocument) OnInvalidDocument(this, code, node, fValidationStop);
}

void TXpObjModel::Find(int code, TXpNode* node, const WideString& stopText) {
  ReportInvalid(code, node);
  if (fValidationStop) throw TXpInvalidHalt(stopText);
}

// ---------------------------------------------------------------------------
// Entry points

bool TXpObjModel::ValidateDocument() {
  fValidationStop = false;
  const int before = fFindings;
  TXpDocumentType* type = omDocument->DocType();
  if (!type) {
    ReportInvalid(1, nullptr);
    return false;
  }
  TXpElement* root = omDocument->DocumentElement();
  if (!root) {
    ReportInvalid(3, nullptr);
    return false;
  }
  if (root->NodeName() != type->Name()) {
    ReportInvalid(4, nullptr);
    if (fValidationStop) return false;
  }
  if (omParser->IsStandAlone() && omParser->HasExternals()) {
    ReportInvalid(14, nullptr);
    if (fValidationStop) return false;
  }
  try {
    if (!ValidateTree(root, type)) return false;
  } catch (...) {
    return false;
  }
  return fFindings == before;
}

bool TXpObjModel::ValidateElement(TXpElement* oElem, TXpDocumentType* oDTD) {
  fValidationStop = false;
  return ValidateTree(oElem, oDTD);
}

bool TXpObjModel::ValidateTree(TXpElement* root, TXpDocumentType* dtd) {
  const int before = fFindings;
  if (!dtd) {
    ReportInvalid(1, nullptr);
    return false;
  }
  if (!root) XpAssertFailed("no element to validate");
  const TXpDTDDeclarations declarations(*dtd);
  // The element, then every element below it in document order, walked with a
  // stack of our own: a tree built through the DOM may be far deeper than the
  // call stack.
  bool valid = CheckElement(root, declarations);
  XpWalkDescendants(root, [&](TXpNode* node) {
    if (node->NodeType() != ELEMENT_NODE) return TXpWalkStep::SkipChildren;
    if (!CheckElement(static_cast<TXpElement*>(node), declarations)) valid = false;
    return TXpWalkStep::Continue;
  });
  return valid && fFindings == before;
}

// ---------------------------------------------------------------------------
// One element

bool TXpObjModel::CheckElement(TXpElement* element, const TXpDTDDeclarations& declarations) {
  const WideString& name = element->NodeName();
  const TXpDTDElement* declaration = declarations.Element(name);
  if (!declaration) Find(5, element, u"Element not defined");

  const TXpAttlists& lists = declarations.Attlists(name);
  if (element->HasAttributes()) {
    if (lists.empty()) {
      Find(10, element, u"Element attribute list not defined");
    } else {
      // A copy: a handler may change the attributes while it hears of one.
      std::vector<TXpRef<TXpAttribute>> attributes;
      for (TXpNode* attribute : element->Attributes()->Nodes())
        attributes.push_back(TXpRef<TXpAttribute>::Share(static_cast<TXpAttribute*>(attribute)));
      for (TXpAttribute* attribute : attributes) CheckAttribute(element, attribute, lists);
    }
  }
  if (!lists.empty()) CheckRequiredAttributes(element, lists);
  return declaration ? CheckContent(element, declaration, declarations) : false;
}

bool TXpObjModel::CheckContent(TXpElement* element, const TXpDTDElement* declaration,
                               const TXpDTDDeclarations& declarations) {
  switch (declaration->ContentType()) {
    case xpctEmpty:
      if (element->HasChildNodes()) Find(6, element, u"Element not empty");
      return true;
    case xpctMixed:
    case xpctChildren:
      break;
    default:  // ANY, or none given
      return true;
  }
  const TXpNode* first = declaration->FirstChild();
  if (!first || first->NodeType() != DTD_ELEMENT_GROUP_NODE) {
    ReportInvalid(2, element);
    RaiseImproperDTD();
  }
  const auto* group = static_cast<const TXpDTDElementGroup*>(first);
  for (std::size_t i = 0; i < element->ChildNodes()->Nodes().size(); ++i) {
    TXpNode* child = element->ChildNodes()->Nodes()[i];
    if (child->NodeType() == ELEMENT_NODE && !ElementInContentModel(child, group))
      Find(7, child, u"Element not allowed as content");
  }
  if (declaration->ContentType() == xpctMixed) return true;
  switch (declarations.Automaton(group).Verdict(*element)) {
    case 0: return true;
    case 8: Find(8, element, u"Required child missing"); return false;
    default: Find(9, element, u"Element child not expected"); return false;
  }
}

// The first list that defines the attribute decides on it; with none, the
// attribute is not declared.
bool TXpObjModel::CheckAttribute(TXpElement*, TXpAttribute* attribute, const TXpAttlists& lists) {
  const WideString& name = attribute->NodeName();
  for (const TXpDTDAttlist* list : lists) {
    RequireDefinitions(list);
    bool defined = false;
    for (const TXpNode* child : list->ChildNodes()->Nodes()) {
      if (child->NodeName() != name) continue;
      defined = true;
      const auto* definition = static_cast<const TXpDTDAttDefinition*>(child);
      if (definition->AttType() == xpatEnumeration) {
        if (InEnumeration(definition, attribute->Value())) return true;
        Find(12, attribute, u"Attribute not defined in enumeration");
        continue;
      }
      if (definition->DefaultType() == xpdkFixed && attribute->Value() != definition->DefaultValue()) {
        Find(11, attribute, u"Cannot change fixed attribute");
        return false;
      }
      return true;
    }
    if (defined) return false;
  }
  Find(15, attribute, name + u" attribute not defined in DTD");
  return false;
}

// Over every list of the element; a name counts once, by its first definition.
void TXpObjModel::CheckRequiredAttributes(TXpElement* element, const TXpAttlists& lists) {
  std::vector<const WideString*> seen;
  for (const TXpDTDAttlist* list : lists) {
    RequireDefinitions(list);
    for (const TXpNode* child : list->ChildNodes()->Nodes()) {
      const WideString& name = child->NodeName();
      bool first = true;
      for (const WideString* earlier : seen)
        if (*earlier == name) first = false;
      if (!first) continue;
      seen.push_back(&name);
      if (static_cast<const TXpDTDAttDefinition*>(child)->DefaultType() == xpdkRequired &&
          !CarriesAttribute(element, name))
        Find(13, element, u"Required attribute missing");
    }
  }
}

// ---------------------------------------------------------------------------
// Content models

bool TXpObjModel::ElementInContentModel(const TXpNode* child, const TXpDTDElementGroup* group) const {
  std::vector<const TXpDTDElementGroup*> pending{group};
  while (!pending.empty()) {
    const TXpDTDElementGroup* next = pending.back();
    pending.pop_back();
    if (!next->HasChildNodes()) RaiseImproperDTD();
    for (const TXpNode* item : next->ChildNodes()->Nodes()) {
      switch (item->NodeType()) {
        case DTD_ELEMENT_CONTENT_NODE:
          if (item->NodeName() == child->NodeName()) return true;
          break;
        case DTD_ELEMENT_GROUP_NODE:
          pending.push_back(static_cast<const TXpDTDElementGroup*>(item));
          break;
        default:
          RaiseImproperDTD();
      }
    }
  }
  return false;
}
