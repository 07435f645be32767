#include "lib/verAziruzi/XpDOMDocument.h"

#include <mutex>

#include "lib/verAziruzi/XpDOMDtd.h"
#include "lib/verAziruzi/XpDOMWriter.h"
#include "lib/verAziruzi/XpXPath.h"

// ---------------------------------------------------------------------------
// Element factories

namespace {

std::mutex gRegistryMutex;
TXpPointerList* gFactories = nullptr;

TXpElementFactory* FactoryAt(int index) { return static_cast<TXpElementFactory*>(gFactories->GetPointer(index)); }

}  // namespace

TXpRef<TXpElement> TXpElementFactory::CreateElement(const WideString& name) {
  TXpRef<TXpElement> element = TXpElement::Create();
  element->SetNodeName(name);
  return element;
}

void TXpElementFactory::RegisterInstance(std::unique_ptr<TXpElementFactory> factory, const WideString& id) {
  XpDOMInitialize();
  factory->Initialize();
  factory->fID = id;
  std::lock_guard lock(gRegistryMutex);
  gFactories->Append(factory.release());
}

void TXpElementFactory::UnregisterClass(const std::type_info& type) {
  std::lock_guard lock(gRegistryMutex);
  if (!gFactories) return;
  for (int i = gFactories->Count() - 1; i >= 0; --i) {
    TXpElementFactory* factory = FactoryAt(i);
    if (typeid(*factory) != type) continue;
    gFactories->RemoveAt(i);
    delete factory;
  }
}

TXpElementFactory* TXpElementFactory::FindFactory(const WideString& id) {
  std::lock_guard lock(gRegistryMutex);
  if (!gFactories) return nullptr;
  for (int i = 0; i < gFactories->Count(); ++i)
    if (FactoryAt(i)->ID() == id) return FactoryAt(i);
  return nullptr;
}

TXpPointerList* XpElementFactoryList() { return gFactories; }

void XpDOMInitialize() {
  {
    std::lock_guard lock(gRegistryMutex);
    if (gFactories) return;
    XpXPathCreateNameTables();
    gFactories = new TXpPointerList();
  }
  TXpElementFactory::Register<TXpElementFactory>(u"default");
}

void XpDOMFinalize() {
  TXpElementFactory::Unregister<TXpElementFactory>();
  std::lock_guard lock(gRegistryMutex);
  // Factories a program left registered go with the registry.
  if (gFactories)
    for (int i = 0; i < gFactories->Count(); ++i) delete FactoryAt(i);
  delete gFactories;
  gFactories = nullptr;
  XpXPathFreeNameTables();
}

// ---------------------------------------------------------------------------
// TXpDomImplementation

bool TXpDomImplementation::HasFeature(const WideString& feature, const WideString& version) const {
  if (XpSameAsciiText(feature, u"XML")) return version == u"1.0" || version == u"2.0";
  return XpSameAsciiText(feature, u"CORE") && version == u"2.0";
}

TXpRef<TXpDocumentType> TXpDomImplementation::CreateDocumentType(const WideString& qualifiedName,
                                                                 const WideString& publicID,
                                                                 const WideString& systemID) const {
  TXpRef<TXpDocumentType> type = TXpDocumentType::Create(false);
  type->SetNodeName(qualifiedName);
  type->SetPublicID(publicID);
  type->SetSystemID(systemID);
  return type;
}

TXpRef<TXpDocument> TXpDomImplementation::CreateDocument(const WideString& namespaceURI,
                                                         const WideString& qualifiedName,
                                                         TXpDocumentType* documentType) const {
  TXpRef<TXpDocument> document = TXpDocument::Create();
  document->SetNodeName(qualifiedName);
  document->SetDefaultnamespace(namespaceURI);
  if (documentType) {
    document->ForceOwnerDocument(documentType);
    document->AppendChild(documentType);
  }
  if (!qualifiedName.empty()) document->AppendChild(document->CreateElement(qualifiedName));
  return document;
}

// ---------------------------------------------------------------------------
// TXpDocument

TXpDocument::TXpDocument() : TXpNode(DOCUMENT_NODE) {
  XpDOMInitialize();
  fElementFactory = TXpElementFactory::FindFactory(WideString(XpComponentFactoryID));
  if (!fElementFactory) fElementFactory = TXpElementFactory::FindFactory(u"default");
  if (!fElementFactory) XpAssertFailed("no element factory is registered");
  fPlainElements = typeid(*fElementFactory) == typeid(TXpElementFactory);
  SetOwnerDocument(this);
  fXPathParser = std::make_unique<TXpXPathParser>();
}

TXpDocument::~TXpDocument() {
  RemoveAll();
  // Nodes that outlive the document keep their names: each holds its own count.
  for (auto& entry : fNames) entry.second->Release();
}

bool TXpDocument::GiveUpTree() {
  fDisposalQueued = false;
  // Someone took a reference again while this waited.
  if (RefCount() >= 1) return false;
  RemoveAll();
  return fNodeHolds == 0;
}

void TXpDocument::DropNodeHold() {
  if (--fNodeHolds == 0 && RefCount() < 1) XpDisposeNode(this);
}

TXpName* TXpDocument::InternName(std::u16string_view name) {
  const std::size_t size = name.size();
  const std::size_t slot =
      size == 0 ? 0 : (size * 131 + name[0] * 31u + name[size / 2] * 7u + name[size - 1]) % fRecentNames.size();
  TXpName* recent = fRecentNames[slot];
  if (!recent || recent->Text() != name) {
    auto it = fNames.find(name);
    if (it == fNames.end()) {
      auto* shared = new TXpName(name);
      it = fNames.emplace(std::u16string_view(shared->Text()), shared).first;
    }
    recent = fRecentNames[slot] = it->second;
  }
  recent->AddRef();
  return recent;
}

namespace {

void CheckName(const WideString& name) {
  if (name.empty() || !XpIsValidXmlName(name)) XpRaiseDOM(ecInvalidNameErr);
}

// A new node of class T owned by the document, with a name and a value.
template <class T>
TXpRef<T> MakeNode(TXpDocument* document, std::u16string_view name, const WideString& value) {
  TXpRef<T> node = T::Create();
  node->SetOwnerDocument(document);
  if (!name.empty()) node->SetNodeName(name);
  if (!value.empty()) node->SetNodeValue(value);
  return node;
}

}  // namespace

TXpRef<TXpElement> TXpDocument::CreateElement(const WideString& tagName) {
  CheckName(tagName);
  return CreateParsedElement(tagName);
}

TXpRef<TXpElement> TXpDocument::CreateParsedElement(const WideString& tagName) {
  if (fPlainElements) return MakeNode<TXpElement>(this, tagName, {});
  TXpRef<TXpElement> element = fElementFactory->CreateElement(tagName);
  element->SetOwnerDocument(this);
  element->SetNodeName(tagName);  // shared with the document's other nodes
  return element;
}

TXpRef<TXpElement> TXpDocument::CreateElementNS(const WideString& namespaceURI, const WideString& qualifiedName) {
  CheckName(qualifiedName);
  TXpRef<TXpElement> element = MakeNode<TXpElement>(this, qualifiedName, {});
  element->SetDefaultnamespace(namespaceURI);
  return element;
}

TXpRef<TXpAttribute> TXpDocument::CreateAttribute(const WideString& name) {
  CheckName(name);
  return CreateParsedAttribute(name);
}

TXpRef<TXpAttribute> TXpDocument::CreateParsedAttribute(const WideString& name) {
  return MakeNode<TXpAttribute>(this, name, {});
}

TXpRef<TXpAttribute> TXpDocument::CreateAttributeNS(const WideString& namespaceURI, const WideString& qualifiedName) {
  CheckName(qualifiedName);
  TXpRef<TXpAttribute> attribute = MakeNode<TXpAttribute>(this, qualifiedName, {});
  attribute->SetDefaultnamespace(namespaceURI);
  return attribute;
}

TXpRef<TXpEntityReference> TXpDocument::CreateEntityReference(const WideString& name) {
  CheckName(name);
  return MakeNode<TXpEntityReference>(this, name, {});
}

TXpRef<TXpProcessingInstruction> TXpDocument::CreateProcessingInstruction(const WideString& target,
                                                                          const WideString& data) {
  if (target.empty()) XpRaiseDOM(ecInvalidNameErr);
  return MakeNode<TXpProcessingInstruction>(this, target, data);
}

TXpRef<TXpText> TXpDocument::CreateTextNode(const WideString& data) { return MakeNode<TXpText>(this, {}, data); }

TXpRef<TXpCDataSection> TXpDocument::CreateCDATASection(const WideString& data) {
  return MakeNode<TXpCDataSection>(this, {}, data);
}

TXpRef<TXpComment> TXpDocument::CreateComment(const WideString& data) { return MakeNode<TXpComment>(this, {}, data); }

TXpRef<TXpDocumentFragment> TXpDocument::CreateDocumentFragment() {
  return MakeNode<TXpDocumentFragment>(this, {}, {});
}

TXpRef<TXpDocumentType> TXpDocument::CreateDocumentType(const WideString& name, bool external) {
  TXpRef<TXpDocumentType> type = TXpDocumentType::Create(external);
  type->SetOwnerDocument(this);
  type->SetNodeName(name);
  return type;
}

std::unique_ptr<TXpNodeList> TXpDocument::GetElementsByTagNameNS(const WideString& namespaceURI,
                                                                 const WideString& localName) const {
  auto list = std::make_unique<TXpNodeList>();
  const TXpElement* root = DocumentElement();
  if (!root) return list;
  const std::size_t mark = localName.find(u":*");
  const bool byPrefix = namespaceURI.empty() && mark != WideString::npos;
  const WideString prefix = byPrefix ? localName.substr(0, mark) : WideString();
  auto take = [&](const TXpNode* node) {
    if (!namespaceURI.empty())
      return (namespaceURI == u"*" || namespaceURI == node->NamespaceURI()) &&
             (localName == u"*" || localName == node->LocalName());
    if (byPrefix) return node->Prefix() == prefix;
    return localName == u"*" || node->NameMatches(localName);
  };
  XpWalkDescendants(
      this,
      [&](TXpNode* node) {
        if (node->NodeType() == ELEMENT_NODE && take(node)) list->Add(node);
        return TXpWalkStep::Continue;
      },
      static_cast<std::size_t>(root->IndexInParent()));
  return list;
}

std::unique_ptr<TXpNodeList> TXpDocument::GetElementsByTagName(const WideString& name) const {
  return GetElementsByTagNameNS(WideString(), name);
}

TXpRef<TXpNode> TXpDocument::ImportNode(const TXpNode* node, bool deep) {
  if (!node) return nullptr;
  TXpRef<TXpNode> copy = node->CloneNode(deep);
  if (!copy) return nullptr;
  ForceOwnerDocument(copy);
  if (copy->NodeType() != ELEMENT_NODE) return copy;
  // The copy leaves the ancestors that declared its namespaces; it takes along
  // what it and its subtree resolved through them, so that each keeps its
  // namespace wherever it is put.
  if (copy->Defaultnamespace().empty()) copy->SetDefaultnamespace(node->ResolveNSPrefix(WideString()));
  for (const TXpNode* ancestor = node->ParentNode(); ancestor && ancestor->NodeType() == ELEMENT_NODE;
       ancestor = ancestor->ParentNode()) {
    const TXpNamedNodeMap* declarations = ancestor->NamespaceList();
    if (!declarations) continue;
    for (const TXpNode* declaration : declarations->Nodes()) {
      // The nearest declaration of a prefix is the one in force.
      const TXpNamedNodeMap* taken = copy->NamespaceList();
      if (taken && taken->GetNamedItem(declaration->NodeName())) continue;
      if (TXpRef<TXpNode> clone = declaration->CloneNode(false)) copy->EnsureNamespaceList().Add(clone);
    }
  }
  return copy;
}

TXpDocumentType* TXpDocument::DocType() const {
  for (TXpNode* child : ChildNodes()->Nodes())
    if (child->NodeType() == DOCUMENT_TYPE_NODE) return static_cast<TXpDocumentType*>(child);
  return nullptr;
}

TXpElement* TXpDocument::DocumentElement() const {
  for (TXpNode* child : ChildNodes()->Nodes())
    if (child->NodeType() == ELEMENT_NODE) return static_cast<TXpElement*>(child);
  return nullptr;
}

WideString TXpDocument::XmlDTD() const {
  const TXpDocumentType* type = DocType();
  return type ? type->XmlDocument() : WideString();
}

WideString TXpDocument::LineBreakText() const {
  switch (fLineBreakMode) {
    case lbmCR: return u"\r";
    case lbmLF: return u"\n";
    default: return u"\r\n";
  }
}

TXpRef<TXpNode> TXpDocument::CloneSelf(bool) const { return nullptr; }

// ---------------------------------------------------------------------------
// Axes and the tree walker

TXpNode* TXpFollowingAxis::NextNode(TXpNode* node) {
  if (!node) return nullptr;
  if (node != StartNode()) return node->NextInDocument();
  for (const TXpNode* step = node; step; step = step->ParentNode())
    if (TXpNode* next = step->NextSibling()) return next;
  return nullptr;
}

TXpPrecedingAxis::TXpPrecedingAxis(TXpNode* startNode)
    : TXpBaseAxis(startNode), fAncestor(startNode ? startNode->ParentNode() : nullptr) {}

TXpNode* TXpPrecedingAxis::NextNode(TXpNode* node) {
  if (!node) return nullptr;
  TXpNode* previous = node->PreviousInDocument();
  while (previous && previous == fAncestor) {
    fAncestor = previous->ParentNode();
    previous = previous->PreviousInDocument();
  }
  return previous;
}

void TXpTreeWalker::Gather(TXpBaseAxis* axis, const std::vector<WideString>& names, const TXpNodeFilter& filter,
                           TXpNodeList* list) {
  if (!axis || !list) return;
  for (TXpNode* node = axis->NextNode(axis->StartNode()); node; node = axis->NextNode(node))
    if (!filter || filter(node, names)) list->Add(node);
}

// ---------------------------------------------------------------------------
// String routines

WideString XpNormalizeSpace(const WideString& text) {
  WideString result;
  bool pendingSpace = false;
  for (char16_t unit : text) {
    if (XpIsXmlWhitespace(unit)) {
      pendingSpace = !result.empty();
      continue;
    }
    if (pendingSpace) result += u' ';
    pendingSpace = false;
    result += unit;
  }
  return result;
}

WideString XpTranslate(const WideString& text, const WideString& from, const WideString& to) {
  WideString result;
  result.reserve(text.size());
  for (char16_t unit : text) {
    const std::size_t k = from.find(unit);
    if (k == WideString::npos)
      result += unit;
    else if (k < to.size())
      result += to[k];
  }
  return result;
}
