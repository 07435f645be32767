// Validation of a loaded document against the DTD its load kept as nodes.
// Names and values compare exactly, whatever IgnoreCase says: a DTD is case
// sensitive. Content models are matched by the library's own rules on the
// child positions, not by an automaton, so that what the handler hears and in
// which order stays what callers of this library have always seen.

#include <unordered_map>

#include "lib/verAziruzi/XpDOMObjModel.h"

namespace {

const WideString kImproperDTD = u"Improperly formed DTD";

[[noreturn]] void RaiseImproperDTD() { throw TXpInvalidHalt(kImproperDTD); }

bool IsCommentOrPI(const TXpNode* node) {
  return node->NodeType() == COMMENT_NODE || node->NodeType() == PROCESSING_INSTRUCTION_NODE;
}

bool IsElementNamed(const TXpNode* node, const WideString& name) {
  return node && node->NodeType() == ELEMENT_NODE && node->NodeName() == name;
}

// The child at a position; null past the last one.
TXpNode* ChildAt(const TXpElement* element, std::size_t pos) {
  const auto& children = element->ChildNodes()->Nodes();
  return pos < children.size() ? children[pos] : nullptr;
}

// The occurrence of a content-model item, group or leaf.
int OccursOf(const TXpNode* item) {
  switch (item->NodeType()) {
    case DTD_ELEMENT_GROUP_NODE:
      return static_cast<const TXpDTDElementGroup*>(item)->Occurs();
    case DTD_ELEMENT_CONTENT_NODE:
      return static_cast<const TXpDTDElementContent*>(item)->Occurs();
    default:
      RaiseImproperDTD();
  }
}

bool IsRepeated(int occurs) { return occurs == xpoZeroOrMore || occurs == xpoOneOrMore; }

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
  ++omFindings;
  if (OnInvalidDocument) OnInvalidDocument(this, code, node, omValidationStop);
}

void TXpObjModel::Find(int code, TXpNode* node, const WideString& stopText) {
  ReportInvalid(code, node);
  if (omValidationStop) throw TXpInvalidHalt(stopText);
}

// ---------------------------------------------------------------------------
// Entry points

bool TXpObjModel::ValidateDocument() {
  omValidationStop = false;
  const int before = omFindings;
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
    if (omValidationStop) return false;
  }
  if (omParser->IsStandAlone() && omParser->HasExternals()) {
    ReportInvalid(14, nullptr);
    if (omValidationStop) return false;
  }
  try {
    if (!ValidateTree(root, type)) return false;
  } catch (...) {
    return false;
  }
  return omFindings == before;
}

bool TXpObjModel::ValidateElement(TXpElement* oElem, TXpDocumentType* oDTD) {
  omValidationStop = false;
  return ValidateTree(oElem, oDTD);
}

bool TXpObjModel::ValidateTree(TXpElement* root, TXpDocumentType* dtd) {
  const int before = omFindings;
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
  return valid && omFindings == before;
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
  return declaration ? CheckContent(element, declaration) : false;
}

bool TXpObjModel::CheckContent(TXpElement* element, const TXpDTDElement* declaration) {
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
  std::size_t pos = 0;
  return MatchGroup(pos, element, group, true);
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
  if (!group->HasChildNodes()) RaiseImproperDTD();
  for (const TXpNode* item : group->ChildNodes()->Nodes()) {
    switch (item->NodeType()) {
      case DTD_ELEMENT_CONTENT_NODE:
        if (item->NodeName() == child->NodeName()) return true;
        break;
      case DTD_ELEMENT_GROUP_NODE:
        if (ElementInContentModel(child, static_cast<const TXpDTDElementGroup*>(item))) return true;
        break;
      default:
        RaiseImproperDTD();
    }
  }
  return false;
}

bool TXpObjModel::HasChildrenFrom(std::size_t pos, const TXpElement* element) const {
  const auto& children = element->ChildNodes()->Nodes();
  for (std::size_t i = pos; i < children.size(); ++i)
    if (!IsCommentOrPI(children[i])) return true;
  return false;
}

TXpObjModel::TXpMatch TXpObjModel::MatchItems(std::size_t& pos, TXpElement* element,
                                              const TXpDTDElementGroup* group) {
  const auto& items = group->ChildNodes()->Nodes();
  if (items.empty()) RaiseImproperDTD();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const TXpNode* item = items[i];
    if (item->NodeType() == DTD_ELEMENT_GROUP_NODE) {
      const auto* nested = static_cast<const TXpDTDElementGroup*>(item);
      bool matched = MatchGroup(pos, element, nested, false);
      if (matched && IsRepeated(nested->Occurs())) {
        std::size_t before;
        do {
          before = pos;
        } while (MatchGroup(pos, element, nested, false) && pos != before);
      }
      if (matched && nested->Relation() == xprChoice) return mrMatch;
      if (!matched && nested->Occurs() == xpoOnce && nested->Relation() == xprSequence) return mrNoMatch;
      continue;
    }
    if (item->NodeType() != DTD_ELEMENT_CONTENT_NODE) RaiseImproperDTD();
    const auto* leaf = static_cast<const TXpDTDElementContent*>(item);
    const WideString& name = leaf->NodeName();
    if (!ChildAt(element, pos)) {
      for (std::size_t j = i; j < items.size(); ++j) {
        const int occurs = OccursOf(items[j]);
        if (occurs == xpoOnce || occurs == xpoOneOrMore) return mrNoMatch;
      }
      return mrMatch;
    }
    if (leaf->Relation() != xprSequence) return MatchChoice(pos, element, group, i);
    const int occurs = leaf->Occurs();
    if (occurs == xpoOnce || occurs == xpoOneOrMore) {
      while (ChildAt(element, pos) && IsCommentOrPI(ChildAt(element, pos))) ++pos;
      if (!IsElementNamed(ChildAt(element, pos), name)) return mrNoMatch;
      ++pos;
    }
    if (occurs == xpoOptional) {
      if (IsElementNamed(ChildAt(element, pos), name)) ++pos;
    } else if (IsRepeated(occurs)) {
      for (TXpNode* child; (child = ChildAt(element, pos)) && (IsElementNamed(child, name) || IsCommentOrPI(child));)
        ++pos;
    }
  }
  return mrMatch;
}

// A choice from the leaf at `from`: the first later item that names the child
// at pos takes it. Children that fit no item end the scan early when the
// group stands once or "?", the choice is the group's last, and an earlier
// element was already taken past the first: the choice then fails.
TXpObjModel::TXpMatch TXpObjModel::MatchChoice(std::size_t& pos, TXpElement* element,
                                               const TXpDTDElementGroup* group, std::size_t from) {
  const auto& items = group->ChildNodes()->Nodes();
  const auto* leaf = static_cast<const TXpDTDElementContent*>(items[from]);
  std::size_t i = from;
  while (i < items.size()) {
    TXpNode* child = ChildAt(element, pos);
    if (!child || IsElementNamed(child, items[i]->NodeName())) break;
    if (IsCommentOrPI(child)) {
      ++pos;
      continue;
    }
    if (pos > 0 && (group->Occurs() == xpoOnce || group->Occurs() == xpoOptional) &&
        leaf->Relation() != xprChoice) {
      std::size_t k = pos;
      while (k > 0 && element->ChildNodes()->Nodes()[k - 1]->NodeType() == COMMENT_NODE) --k;
      if (k > 1) return mrNoMatch;  // the nearest earlier non-comment child lies after the first
    }
    ++i;
  }
  if (i >= items.size()) return mrNoMatch;
  const int occurs = OccursOf(items[i]);
  if (IsRepeated(occurs)) {
    const WideString& name = items[i]->NodeName();
    for (TXpNode* child; (child = ChildAt(element, pos)) && (IsElementNamed(child, name) || IsCommentOrPI(child));)
      ++pos;
  } else {
    ++pos;
  }
  return mrMatch;
}

bool TXpObjModel::MatchGroup(std::size_t& pos, TXpElement* element, const TXpDTDElementGroup* group,
                             bool topLevel) {
  const int before = omFindings;
  const std::size_t start = pos;
  TXpMatch r = MatchItems(pos, element, group);
  // An optional or repeated group that does not match is absent: it takes
  // nothing, and only what is then left over is unexpected.
  if (r == mrNoMatch && (group->Occurs() == xpoOptional || group->Occurs() == xpoZeroOrMore)) pos = start;
  switch (group->Occurs()) {
    case xpoOnce:
      if (r == mrNoMatch) {
        if (group->Relation() == xprSequence) Find(8, element, u"Required child missing");
        return false;
      }
      if (topLevel && HasChildrenFrom(pos, element)) Find(9, element, u"Element child not expected");
      break;
    case xpoOptional:
      if (topLevel && HasChildrenFrom(pos, element)) Find(9, element, u"Element child not expected");
      break;
    case xpoOneOrMore:
      if (r == mrNoMatch) {
        Find(8, element, u"Required child missing");
        return false;
      }
      [[fallthrough]];
    case xpoZeroOrMore:
      if (topLevel && r == mrNoMatch && HasChildrenFrom(pos, element)) Find(9, element, u"Element child not expected");
      while (r == mrMatch && HasChildrenFrom(pos, element)) {
        const std::size_t round = pos;
        r = MatchItems(pos, element, group);
        if (r == mrNoMatch) {
          pos = round;
          if (topLevel) Find(9, element, u"Element child not expected");
        } else if (pos == round) {
          // Nothing taken: another round would take nothing either, so what
          // is left is not expected.
          if (topLevel) Find(9, element, u"Element child not expected");
          break;
        }
      }
      break;
    default:
      break;
  }
  return omFindings == before;
}
