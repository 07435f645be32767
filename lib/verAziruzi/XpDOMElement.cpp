#include "lib/verAziruzi/XpDOMElement.h"

#include <set>
#include <unordered_set>

#include "lib/verAziruzi/XpDOMCharData.h"
#include "lib/verAziruzi/XpDOMDocument.h"
#include "lib/verAziruzi/XpParser.h"

namespace {

std::u16string_view LocalNameOf(const TXpNode* node) {
  std::u16string_view name = node->NodeName();
  const std::size_t colon = name.find(u':');
  return colon == std::u16string_view::npos ? name : name.substr(colon + 1);
}

std::u16string_view PrefixOf(const TXpNode* node) {
  std::u16string_view name = node->NodeName();
  const std::size_t colon = name.find(u':');
  return colon == std::u16string_view::npos ? std::u16string_view() : name.substr(0, colon);
}

// The part before ":*" of a name such as "h:*", or nothing.
bool PrefixPattern(std::u16string_view name, std::u16string_view& prefix) {
  const std::size_t mark = name.find(u":*");
  if (mark == std::u16string_view::npos) return false;
  prefix = name.substr(0, mark);
  return true;
}

bool IgnoresCase(const TXpNode* node) {
  return node->OwnerDocument() && node->OwnerDocument()->IgnoreCase();
}

}  // namespace

bool XpReadWholeNumber(std::u16string_view text, int& value) {
  value = 0;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int base = 10;
  if (i < text.size() && text[i] == u'$') {
    base = 16;
    ++i;
  } else if (i < text.size() && (text[i] == u'x' || text[i] == u'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    int digit;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (base == 16 && c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (base == 16 && c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      return false;
    magnitude = magnitude * base + digit;
    if (magnitude > std::int64_t{2147483648}) return false;
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > 2147483647) return false;
  value = static_cast<int>(signedValue);
  return true;
}

// ---------------------------------------------------------------------------
// TXpAttribute

void TXpAttribute::SetOwnerElement(TXpNode* element) { SetParentNode(element); }

void TXpElement::ClearOwnerElement(TXpNode* attribute, const TXpNode* element) {
  if (attribute && attribute->ParentNode() == element) static_cast<TXpAttribute*>(attribute)->SetOwnerElement(nullptr);
}

TXpRef<TXpNode> TXpAttribute::CloneSelf(bool) const {
  TXpRef<TXpAttribute> copy = CloneCommon<TXpAttribute>();
  copy->SetSpecified(Specified());
  return copy;
}

// ---------------------------------------------------------------------------
// TXpElement: attributes

WideString TXpElement::GetAttribute(const WideString& name) const {
  const TXpNamedNodeMap* attributes = Attributes();
  if (!attributes) return {};
  const TXpNode* attribute = attributes->GetNamedItem(name);
  if (!attribute) return {};
  if (!attribute->NodeValue().empty() || !attribute->HasChildNodes()) return attribute->NodeValue();
  const TXpNodeVector& children = attribute->ChildNodes()->Nodes();
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if ((*it)->NodeName() == name) return (*it)->NodeValue();
  return {};
}

int TXpElement::GetAttributeInt(const WideString& name) const {
  const WideString text = GetAttribute(name);
  if (text.empty()) return 0;
  int value;
  if (!XpReadWholeNumber(text, value)) throw EXpException(XpFormatMessage(xpmAttributeNotInteger, {name, NodeName()}));
  return value;
}

TXpAttribute* TXpElement::GetAttributeNode(const WideString& name) const {
  const TXpNamedNodeMap* attributes = Attributes();
  return attributes ? static_cast<TXpAttribute*>(attributes->GetNamedItem(name)) : nullptr;
}

bool TXpElement::HasAttribute(const WideString& name) const { return GetAttributeNode(name) != nullptr; }

void TXpElement::NoteNamespaceAttribute(const TXpAttribute* attribute) {
  if (PrefixOf(attribute) == u"xmlns") {
    TXpRef<TXpAttribute> declaration = TXpAttribute::Create();
    declaration->SetNodeName(LocalNameOf(attribute));
    declaration->SetNodeValue(attribute->NodeValue());
    EnsureNamespaceList().Add(declaration);
  } else if (attribute->NodeName() == u"xmlns") {
    SetDefaultnamespace(attribute->NodeValue());
  }
}

// An attribute has one place: another element's map, or any child list, keeps
// it. Setting it again where it already is, is allowed.
void TXpElement::CheckNotInUse(const TXpAttribute* attribute) const {
  if (!attribute) XpRaiseDOM(ecInvalidParamErr);
  const TXpNode* holder = attribute->ParentNode();
  if (!holder) return;
  if (holder == this && Attributes() && Attributes()->IndexOf(attribute) >= 0) return;
  if (holder->HoldsChildOrAttribute(attribute)) XpRaiseDOM(ecInuseAttributeErr);
}

void TXpElement::PutAttribute(TXpAttribute* attribute) {
  attribute->SetOwnerElement(this);
  EnsureAttributes().Add(attribute);
  NoteNamespaceAttribute(attribute);
}

void TXpElement::SetAttribute(const WideString& name, const WideString& value) {
  TXpNamedNodeMap& attributes = EnsureAttributes();
  if (TXpRef<TXpNode> old = attributes.RemoveNamedItem(name)) ClearOwnerElement(old, this);
  TXpRef<TXpAttribute> attribute = TXpAttribute::Create();
  attribute->SetOwnerDocument(OwnerDocument());
  attribute->SetNodeName(name);
  attribute->SetNodeValue(value);
  PutAttribute(attribute);
}

TXpRef<TXpAttribute> TXpElement::SetAttributeNode(TXpAttribute* newAttr) {
  CheckNotInUse(newAttr);
  TXpRef<TXpNode> removed = EnsureAttributes().RemoveNamedItem(newAttr->NodeName());
  if (removed.get() != newAttr) ClearOwnerElement(removed, this);
  newAttr->SetOwnerDocument(OwnerDocument());
  PutAttribute(newAttr);
  return TXpRef<TXpAttribute>::Downcast(std::move(removed));
}

void TXpElement::SetAttributeNodes(const std::vector<TXpRef<TXpAttribute>>& attributes) {
  // A few are found faster by the search than by the set.
  if (attributes.size() <= 8) {
    for (TXpAttribute* attribute : attributes) SetAttributeNode(attribute);
    return;
  }
  // Names as NameMatches compares them, so only a name already held needs the
  // search that replaces it.
  const bool ignoreCase = OwnerDocument() && OwnerDocument()->IgnoreCase();
  const auto key = [ignoreCase](const WideString& name) {
    WideString folded = name;
    if (ignoreCase)
      for (char16_t& unit : folded) unit = XpAsciiUpper(unit);
    return folded;
  };
  std::unordered_set<WideString> held;
  if (const TXpNamedNodeMap* map = Attributes())
    for (int i = 0; i < map->Length(); ++i) held.insert(key(map->Item(i)->NodeName()));
  for (TXpAttribute* attribute : attributes) {
    if (!held.insert(key(attribute->NodeName())).second) {
      SetAttributeNode(attribute);
      continue;
    }
    CheckNotInUse(attribute);
    attribute->SetOwnerDocument(OwnerDocument());
    PutAttribute(attribute);
  }
}

void TXpElement::RemoveAttribute(const WideString& name) {
  if (TXpNamedNodeMap* attributes = Attributes()) {
    TXpRef<TXpNode> removed = attributes->RemoveNamedItem(name);
    ClearOwnerElement(removed, this);
  }
}

TXpRef<TXpAttribute> TXpElement::RemoveAttributeNode(const TXpAttribute* oldAttr) {
  TXpNamedNodeMap* attributes = Attributes();
  if (!attributes || !oldAttr) return nullptr;
  TXpRef<TXpNode> removed = attributes->RemoveNamedItem(oldAttr->NodeName());
  ClearOwnerElement(removed, this);
  return TXpRef<TXpAttribute>::Downcast(std::move(removed));
}

WideString TXpElement::GetAttributeNS(const WideString& namespaceURI, const WideString& localName) const {
  const TXpNamedNodeMap* attributes = Attributes();
  if (!attributes) return {};
  const TXpRef<TXpNode> attribute = attributes->GetNamedItemNS(namespaceURI, localName);
  return attribute ? attribute->NodeValue() : WideString();
}

TXpRef<TXpAttribute> TXpElement::GetAttributeNodeNS(const WideString& namespaceURI,
                                                    const WideString& localName) const {
  const TXpNamedNodeMap* attributes = Attributes();
  if (!attributes) return nullptr;
  return TXpRef<TXpAttribute>::Downcast(attributes->GetNamedItemNS(namespaceURI, localName));
}

void TXpElement::SetAttributeNS(const WideString& namespaceURI, const WideString& qualifiedName,
                                const WideString& value) {
  TXpNamedNodeMap& attributes = EnsureAttributes();
  // The map's namespace lookup finds nothing without a URI; an attribute in no
  // namespace is the one of that name, and the element has it once.
  TXpRef<TXpNode> old = namespaceURI.empty() ? attributes.RemoveNamedItem(qualifiedName)
                                             : attributes.RemoveNamedItemNS(namespaceURI, qualifiedName);
  if (old) ClearOwnerElement(old, this);
  TXpRef<TXpAttribute> attribute = TXpAttribute::Create();
  attribute->SetOwnerDocument(OwnerDocument());
  attribute->SetDefaultnamespace(namespaceURI);
  attribute->SetNodeName(qualifiedName);
  attribute->SetNodeValue(value);
  PutAttribute(attribute);
}

TXpRef<TXpAttribute> TXpElement::SetAttributeNodeNS(TXpAttribute* newAttr) {
  CheckNotInUse(newAttr);
  TXpRef<TXpNode> removed = EnsureAttributes().RemoveNamedItemNS(newAttr->NamespaceURI(), newAttr->NodeName());
  if (removed.get() != newAttr) ClearOwnerElement(removed, this);
  PutAttribute(newAttr);
  return TXpRef<TXpAttribute>::Downcast(std::move(removed));
}

void TXpElement::RemoveAttributeNS(const WideString& namespaceURI, const WideString& localName) {
  if (TXpNamedNodeMap* attributes = Attributes()) {
    TXpRef<TXpNode> removed = attributes->RemoveNamedItemNS(namespaceURI, localName);
    ClearOwnerElement(removed, this);
  }
}

// ---------------------------------------------------------------------------
// TXpElement: children and searches

namespace {

TXpDocument& DocumentOf(const TXpNode* node) {
  if (!node->OwnerDocument()) XpAssertFailed("the element has no owner document");
  return *node->OwnerDocument();
}

// Every element below parent, in document order, that `take` accepts.
template <class Take>
std::unique_ptr<TXpNodeList> CollectElements(const TXpNode* parent, Take take) {
  auto list = std::make_unique<TXpNodeList>();
  XpWalkDescendants(parent, [&](TXpNode* node) {
    if (node->NodeType() == ELEMENT_NODE && take(node)) list->Add(node);
    return TXpWalkStep::Continue;
  });
  return list;
}

}  // namespace

TXpElement* TXpElement::CreateChildElement(const WideString& name) {
  TXpRef<TXpElement> child = DocumentOf(this).CreateElement(name);
  AppendChild(child);
  return child;
}

TXpText* TXpElement::CreateChildText(const WideString& text) {
  TXpRef<TXpText> child = DocumentOf(this).CreateTextNode(text);
  AppendChild(child);
  return child;
}

TXpCDataSection* TXpElement::CreateChildCDataSection(const WideString& text) {
  TXpRef<TXpCDataSection> child = DocumentOf(this).CreateCDATASection(text);
  AppendChild(child);
  return child;
}

TXpElement* TXpElement::FindElement(const WideString& name) const {
  TXpElement* found = nullptr;
  XpWalkDescendants(this, [&](TXpNode* node) {
    if (node->NodeType() == ELEMENT_NODE && node->NameMatches(name)) {
      found = static_cast<TXpElement*>(node);
      return TXpWalkStep::Stop;
    }
    return TXpWalkStep::Continue;
  });
  return found;
}

std::unique_ptr<TXpNodeList> TXpElement::GetChildElementsByTagName(const WideString& name) const {
  auto list = std::make_unique<TXpNodeList>();
  std::u16string_view prefix;
  const bool byPrefix = PrefixPattern(name, prefix);
  for (TXpNode* child : ChildNodes()->Nodes())
    if (child->NodeType() == ELEMENT_NODE &&
        (name == u"*" || child->NameMatches(name) || (byPrefix && PrefixOf(child) == prefix)))
      list->Add(child);
  return list;
}

std::unique_ptr<TXpNodeList> TXpElement::GetElementsByTagNameNS(const WideString& namespaceURI,
                                                                const WideString& localName) const {
  const bool ignoreCase = IgnoresCase(this);
  std::u16string_view prefix;
  const bool byPrefix = PrefixPattern(localName, prefix);
  return CollectElements(this, [&](const TXpNode* node) {
    const std::u16string_view local = LocalNameOf(node);
    if ((localName == u"*" || local == localName) &&
        (namespaceURI == u"*" || node->NamespaceURI() == namespaceURI))
      return true;
    if (ignoreCase && XpSameAsciiText(local, localName)) return true;
    return byPrefix && PrefixOf(node) == prefix;
  });
}

std::unique_ptr<TXpNodeList> TXpElement::GetElementsByTagName(const WideString& name) const {
  return GetElementsByTagNameNS(u"*", name);
}

std::unique_ptr<TXpNodeList> TXpElement::GetElementsByTagNameWithAttribute(const WideString& name,
                                                                           const WideString& attribute,
                                                                           const WideString& value) const {
  const bool ignoreCase = IgnoresCase(this);
  return CollectElements(this, [&](const TXpNode* node) {
    if (name != u"*" && !node->NameMatches(name)) return false;
    const WideString own = static_cast<const TXpElement*>(node)->GetAttribute(attribute);
    return own == value || (ignoreCase && XpSameAsciiText(own, value));
  });
}

std::unique_ptr<TXpNodeList> TXpElement::GetElementsWithIDs(const WideString& attribute, const WideString& ids) const {
  std::multiset<WideString> wanted;
  std::size_t count = 0;
  for (std::size_t i = 0; i < ids.size();) {
    while (i < ids.size() && XpIsXmlWhitespace(ids[i])) ++i;
    const std::size_t start = i;
    while (i < ids.size() && !XpIsXmlWhitespace(ids[i])) ++i;
    if (i > start) {
      wanted.insert(XpFoldCase(ids.substr(start, i - start)));
      ++count;
    }
  }
  auto list = std::make_unique<TXpNodeList>();
  if (count == 0) return list;
  XpWalkDescendants(this, [&](TXpNode* node) {
    if (node->NodeType() == ELEMENT_NODE &&
        wanted.count(XpFoldCase(static_cast<TXpElement*>(node)->GetAttribute(attribute))) > 0) {
      list->Add(node);
      if (static_cast<std::size_t>(list->Length()) >= count) return TXpWalkStep::Stop;
    }
    return TXpWalkStep::Continue;
  });
  return list;
}

void TXpElement::StripWhitespaceNodes(bool deep) {
  bool preserve = false;
  for (const TXpNode* node = this; node && node->NodeType() != DOCUMENT_NODE; node = node->ParentNode()) {
    if (node->NodeType() != ELEMENT_NODE) continue;
    const WideString space = static_cast<const TXpElement*>(node)->GetAttribute(u"xml:space");
    if (!space.empty()) {
      preserve = space == u"preserve";
      break;
    }
  }
  std::vector<std::pair<TXpElement*, bool>> pending{{this, preserve}};
  while (!pending.empty()) {
    auto [element, keep] = pending.back();
    pending.pop_back();
    const TXpNodeVector children = element->ChildNodes()->Nodes();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      TXpNode* child = *it;
      if (!keep && child->NodeType() == TEXT_NODE && static_cast<TXpText*>(child)->IsWhitespaceNode()) {
        element->RemoveChild(child);
        continue;
      }
      if (deep && child->NodeType() == ELEMENT_NODE && child->NodeName() != u"xsl:text") {
        auto* sub = static_cast<TXpElement*>(child);
        const WideString space = sub->GetAttribute(u"xml:space");
        pending.emplace_back(sub, space.empty() ? keep : space == u"preserve");
      }
    }
  }
}

WideString TXpElement::ElementText() const {
  WideString text;
  bool first = true;
  for (const TXpNode* child : ChildNodes()->Nodes()) {
    if (child->NodeType() != TEXT_NODE && child->NodeType() != CDATA_SECTION_NODE) continue;
    if (!first) text += u' ';
    text += child->NodeValue();
    first = false;
  }
  return text;
}

WideString TXpElement::BaseURI() const {
  WideString base = GetAttribute(u"xml:base");
  return base.empty() ? TXpNode::BaseURI() : base;
}

TXpRef<TXpNode> TXpElement::CloneSelf(bool) const {
  TXpRef<TXpElement> copy = OwnerDocument() ? OwnerDocument()->ElementFactory()->CreateElement(NodeName())
                                            : TXpElement::Create();
  CopyCommonTo(*copy);
  copy->SetFullEndTag(FullEndTag());
  copy->SetIgnoreEndTag(IgnoreEndTag());
  // The copies of the attributes belong to the copy, so they name it as their
  // element, as every attribute held by an element does.
  if (const TXpNamedNodeMap* attributes = Attributes()) {
    TXpNamedNodeMap& copies = copy->EnsureAttributes();
    for (const TXpNode* attribute : attributes->Nodes())
      if (TXpRef<TXpNode> clone = attribute->CloneNode(true)) {
        static_cast<TXpAttribute*>(clone.get())->SetOwnerElement(copy);
        copies.Add(clone);
      }
  }
  if (const TXpNamedNodeMap* declarations = NamespaceList()) {
    TXpNamedNodeMap& copies = copy->EnsureNamespaceList();
    for (const TXpNode* declaration : declarations->Nodes())
      if (TXpRef<TXpNode> clone = declaration->CloneNode(true)) copies.Add(clone);
  }
  return copy;
}
