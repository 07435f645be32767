#include "lib/verAziruzi/XpDOMBuilder.h"

TXpDOMBuilder::TXpDOMBuilder(TXpParser& parser, TXpDocument* document)
    : fParser(parser), fDocument(TXpRef<TXpDocument>::Share(document)) {
  Connect();
}

TXpDOMBuilder::~TXpDOMBuilder() {
  fParser.OnAttribute = nullptr;
  fParser.OnStartElement = nullptr;
  fParser.OnEndElement = nullptr;
  fParser.OnCharData = nullptr;
  fParser.OnCDATASection = nullptr;
  fParser.OnComment = nullptr;
  fParser.OnProcessingInstruction = nullptr;
  fParser.OnNonXMLEntity = nullptr;
  fParser.OnPreserveSpace = nullptr;
  fParser.OnDTDStart = nullptr;
  fParser.OnDTDEnd = nullptr;
  fParser.OnDTDExternalStart = nullptr;
  fParser.OnDTDExternalEnd = nullptr;
  fParser.OnDTDElementStart = nullptr;
  fParser.OnDTDElementGroupStart = nullptr;
  fParser.OnDTDElementContent = nullptr;
  fParser.OnDTDElementGroupEnd = nullptr;
  fParser.OnDTDElementEnd = nullptr;
  fParser.OnDTDAttlistStart = nullptr;
  fParser.OnDTDAttDefinition = nullptr;
  fParser.OnDTDAttlistEnd = nullptr;
  fParser.OnDTDConditionalStart = nullptr;
  fParser.OnDTDConditionalEnd = nullptr;
  fParser.OnDTDEntityInternal = nullptr;
  fParser.OnDTDEntityExternal = nullptr;
  fParser.OnDTDNotation = nullptr;
}

void TXpDOMBuilder::Prepare() {
  fPendingAttributes.clear();
  fStack.clear();
  fDocument->RemoveAll();
  fStack.push_back(TXpRef<TXpNode>::Share(fDocument.get()));
}

bool TXpDOMBuilder::Finish(bool parsed) {
  fPendingAttributes.clear();
  fStack.clear();
  if (!parsed) fDocument->RemoveAll();
  return parsed;
}

bool TXpDOMBuilder::LoadDataSource(const WideString& source) {
  Prepare();
  try {
    return Finish(fParser.ParseDataSource(source));
  } catch (...) {
    Finish(false);
    throw;
  }
}

bool TXpDOMBuilder::LoadMemory(const void* buffer, int size) {
  Prepare();
  try {
    return Finish(fParser.ParseMemory(buffer, size));
  } catch (...) {
    Finish(false);
    throw;
  }
}

void TXpDOMBuilder::Add(TXpNode* node, bool push) {
  Top()->AppendChild(node);
  if (push) fStack.push_back(TXpRef<TXpNode>::Share(node));
}

void TXpDOMBuilder::Pop() {
  if (fStack.size() > 1) fStack.pop_back();
}

namespace {

// The declaration-making node on top of the stack, as the class the event needs.
template <class T>
T* TopAs(TXpNode* top, int type) {
  if (top->NodeType() != type) XpAssertFailed("a DTD event out of its place");
  return static_cast<T*>(top);
}

// The document type or conditional section on top, which makes declarations.
TXpDocumentType* DeclarationsTop(TXpNode* top) {
  if (top->NodeType() != DOCUMENT_TYPE_NODE && top->NodeType() != DTD_CONDITIONAL_NODE)
    XpAssertFailed("a DTD event out of its place");
  return static_cast<TXpDocumentType*>(top);
}

}  // namespace

void TXpDOMBuilder::Connect() {
  TXpDocument* doc = fDocument.get();
  fParser.OnAttribute = [this, doc](TXpComponent*, const WideString& name, const WideString& value, bool specified) {
    if (name.empty()) return;
    TXpRef<TXpAttribute> attribute = doc->CreateAttribute(name);
    attribute->SetNodeValue(value);
    attribute->SetSpecified(specified);
    fPendingAttributes.push_back(std::move(attribute));
  };
  fParser.OnStartElement = [this, doc](TXpComponent*, const WideString& name) {
    TXpRef<TXpElement> element = doc->CreateElement(name);
    for (TXpRef<TXpAttribute>& attribute : fPendingAttributes) element->SetAttributeNode(attribute);
    fPendingAttributes.clear();
    Add(element, true);
  };
  fParser.OnEndElement = [this](TXpComponent*, const WideString&) { Pop(); };
  fParser.OnCharData = [this, doc](TXpComponent*, const WideString& text) { Add(doc->CreateTextNode(text)); };
  fParser.OnCDATASection = [this, doc](TXpComponent*, const WideString& text) {
    Add(doc->CreateCDATASection(text));
  };
  fParser.OnComment = [this, doc](TXpComponent*, const WideString& text) { Add(doc->CreateComment(text)); };
  fParser.OnProcessingInstruction = [this, doc](TXpComponent*, const WideString& target, const WideString& data) {
    Add(doc->CreateProcessingInstruction(target, data));
  };
  fParser.OnNonXMLEntity = [this, doc](TXpComponent*, const WideString& name, const WideString&, const WideString&,
                                       const WideString&) { Add(doc->CreateEntityReference(name)); };
  fParser.OnPreserveSpace = [](TXpComponent*, const WideString& element, bool& preserve) {
    if (element == u"xsl:text") preserve = true;
  };

  fParser.OnDTDStart = [this, doc](TXpComponent*, const WideString& name, const WideString& publicID,
                                   const WideString& systemID) {
    TXpRef<TXpDocumentType> type = doc->CreateDocumentType(name, false);
    // Kept so that a DOCTYPE whose subset was not read is written back whole.
    type->SetPublicID(publicID);
    type->SetSystemID(systemID);
    Add(type, true);
  };
  fParser.OnDTDEnd = [this](TXpComponent*) { Pop(); };
  fParser.OnDTDExternalStart = [this, doc](TXpComponent*, WideString& file) {
    TXpRef<TXpDocumentType> external = doc->CreateDocumentType(file, true);
    if (TXpDocumentType* type = doc->DocType()) type->SetExternalDTD(external);
    fStack.push_back(std::move(external));
  };
  fParser.OnDTDExternalEnd = [this](TXpComponent*) { Pop(); };
  fParser.OnDTDElementStart = [this](TXpComponent*, const WideString& name, int contentType) {
    Add(DeclarationsTop(Top())->CreateDTDElement(name, contentType), true);
  };
  fParser.OnDTDElementGroupStart = [this](TXpComponent*) {
    TXpNode* top = Top();
    if (top->NodeType() == DTD_ELEMENT_NODE)
      Add(static_cast<TXpDTDElement*>(top)->CreateDTDElementGroup(), true);
    else
      Add(TopAs<TXpDTDElementGroup>(top, DTD_ELEMENT_GROUP_NODE)->CreateDTDElementGroup(), true);
  };
  fParser.OnDTDElementContent = [this](TXpComponent*, const WideString& name, int occurs, int relation) {
    auto* group = TopAs<TXpDTDElementGroup>(Top(), DTD_ELEMENT_GROUP_NODE);
    Add(group->CreateDTDElementContent(name, occurs, relation));
  };
  fParser.OnDTDElementGroupEnd = [this](TXpComponent*, int occurs, int relation) {
    auto* group = TopAs<TXpDTDElementGroup>(Top(), DTD_ELEMENT_GROUP_NODE);
    group->SetOccurs(occurs);
    group->SetRelation(relation);
    Pop();
  };
  fParser.OnDTDElementEnd = [this](TXpComponent*, const WideString&) { Pop(); };
  fParser.OnDTDAttlistStart = [this](TXpComponent*, const WideString& name) {
    Add(DeclarationsTop(Top())->CreateDTDAttlist(name), true);
  };
  fParser.OnDTDAttDefinition = [this](TXpComponent*, const WideString& name, int attType,
                                      const std::vector<WideString>& enumeration, int defaultType,
                                      const WideString& value) {
    auto* list = TopAs<TXpDTDAttlist>(Top(), DTD_ATTLIST_NODE);
    Add(list->CreateDTDAttDefinition(name, attType, &enumeration, defaultType, value));
  };
  fParser.OnDTDAttlistEnd = [this](TXpComponent*) { Pop(); };
  fParser.OnDTDConditionalStart = [this](TXpComponent*, int condType) {
    Add(DeclarationsTop(Top())->CreateDTDConditional(condType), true);
  };
  fParser.OnDTDConditionalEnd = [this](TXpComponent*) { Pop(); };
  fParser.OnDTDEntityInternal = [this](TXpComponent*, bool parameter, const WideString& name,
                                       const WideString& value) {
    TXpRef<TXpDTDEntity> entity = DeclarationsTop(Top())->CreateDTDEntity(name);
    entity->SetIsPE(parameter);
    entity->SetValue(value);
    Add(entity);
  };
  fParser.OnDTDEntityExternal = [this](TXpComponent*, bool parameter, const WideString& name,
                                       const WideString& publicID, const WideString& systemID,
                                       const WideString& notation) {
    TXpRef<TXpDTDEntity> entity = DeclarationsTop(Top())->CreateDTDEntity(name);
    entity->SetIsPE(parameter);
    entity->SetPublicID(publicID);
    entity->SetSystemID(systemID);
    entity->SetNotationName(notation);
    Add(entity);
  };
  fParser.OnDTDNotation = [this](TXpComponent*, const WideString& name, const WideString& publicID,
                                 const WideString& systemID) {
    TXpRef<TXpDTDNotation> notation = DeclarationsTop(Top())->CreateDTDNotation(name);
    notation->SetPublicID(publicID);
    notation->SetSystemID(systemID);
    Add(notation);
  };
}
