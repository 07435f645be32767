#include "lib/verAziruzi/XpDOMObjModel.h"

#include <cstdio>
#include <exception>

#include "lib/verAziruzi/XpInet.h"
#include "platform/SafeFile.h"

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

// Whether text begins with prefix, ASCII letters in any case.
bool StartsWithText(const WideString& text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && XpSameAsciiText(std::u16string_view(text).substr(0, prefix.size()), prefix);
}

// The message of whatever left a load.
WideString CurrentExceptionMessage() {
  try {
    throw;
  } catch (const EXpException& e) {
    return e.Message();
  } catch (const EInOutError& e) {
    return e.Message();
  } catch (const EConvertError& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return XpUtf8ToWide(e.what());
  } catch (...) {
    return u"unknown error";
  }
}

}  // namespace

TXpObjModel::TXpObjModel() : omDocument(TXpDocument::Create()) {
  omParser = InsertComponent(std::make_unique<TXpParser>());
  omParser->RaiseErrors = true;
  ConnectParser();
}

TXpObjModel::~TXpObjModel() {
  ReleaseBuildState();
  // The parser's handlers refer to this object; the parser goes with the
  // component base, after this body, so it must not call them any more.
  omParser->RaiseErrors = false;
}

void TXpObjModel::SetDocument(TXpDocument* document) {
  if (!document || document == omDocument.get()) return;
  omDocument = TXpRef<TXpDocument>::Share(document);
}

void TXpObjModel::ClearDocument() { omDocument->RemoveAll(); }

WideString TXpObjModel::GetErrorMsg(int index) const {
  if (index < 0 || index >= ErrorCount()) return WideString(XpMessageText(xpmErrorIndexOutOfBounds));
  return omErrors[static_cast<std::size_t>(index)];
}

WideString TXpObjModel::XmlDocument() const {
  WideString text;
  const auto& nodes = omDocument->ChildNodes()->Nodes();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (i > 0) text += u"\r\n";
    text += nodes[i]->XmlDocument();
  }
  return text;
}

// ---------------------------------------------------------------------------
// Loading

void TXpObjModel::PrepareLoad() {
  ClearDocument();
  omStack.clear();
  omStack.push_back(TXpRef<TXpNode>::Share(omDocument.get()));
  omErrors.clear();
  omParser->NormalizeData = NormalizeData;
  omParser->AllowRemoteSources = AllowRemoteSources;
}

void TXpObjModel::ReleaseBuildState() {
  omAttrList.clear();
  omStack.clear();
  omInDTD = false;
}

void TXpObjModel::RecoverFromError(const WideString& source, const WideString& message) {
  omErrors = omParser->Errors();
  // The parser lists only the errors of its own family; anything else still
  // leaves one line, so a failed load always says why.
  if (omErrors.empty()) omErrors.push_back(XpFormatMessage(xpmErrorLine, {source, 0, 0, message}));
  ReleaseBuildState();
  ClearDocument();
}

template <class Parse>
bool TXpObjModel::RunLoad(const WideString& source, Parse&& parse) {
  PrepareLoad();
  bool parsed = false;
  try {
    parsed = parse();
  } catch (...) {
    RecoverFromError(source, CurrentExceptionMessage());
    if (RaiseErrors) throw;
    return false;
  }
  ReleaseBuildState();
  if (!parsed) {
    omErrors = omParser->Errors();
    ClearDocument();
  }
  return parsed;
}

// A load takes the encoding and the base URI of what it read only when it read
// it whole: a failed one leaves those of the document before, so that a save
// after it writes as before.
bool TXpObjModel::LoadDataSource(const WideString& sSource) {
  const bool parsed = RunLoad(sSource, [&] { return omParser->ParseDataSource(sSource); });
  if (parsed) {
    OutCharSet = omParser->InCharSet();
    omDocument->SetBaseURI(omParser->DocLocation());
  }
  return parsed;
}

bool TXpObjModel::LoadStream(TXpStream& oStream) {
  const bool parsed = RunLoad(WideString(), [&] { return omParser->ParseStream(oStream); });
  if (parsed) omDocument->SetBaseURI(WideString());
  return parsed;
}

bool TXpObjModel::LoadMemory(const void* buffer, int aSize) {
  const bool parsed = RunLoad(WideString(), [&] { return omParser->ParseMemory(buffer, aSize); });
  if (parsed) omDocument->SetBaseURI(WideString());
  return parsed;
}

// ---------------------------------------------------------------------------
// Saving

namespace {

// The index of the first unit of text that forms no character, or npos.
std::size_t FindLoneSurrogate(const WideString& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      ++i;
    else if (unit >= 0xD800 && unit <= 0xDFFF)
      return i;
  }
  return WideString::npos;
}

}  // namespace

bool TXpObjModel::Encode(TXpStream& stream) const {
  const WideString text = XmlDocument();
  // Checked before the filter exists: it would write what stands before.
  if (FindLoneSurrogate(text) != WideString::npos) return false;
  TXpOutCharFilter filter(&stream, static_cast<int>(2 * text.size()) + 16);
  filter.SetWriteUTF8Signature(WriteUTF8Signature);
  filter.SetFormat(XpEncodingToStreamFormat(OutCharSet));
  const bool whole = filter.PutString(text);
  filter.Flush();
  return whole;
}

bool TXpObjModel::EncodeForSave(TXpStream& stream, const WideString& target) {
  WideString reason;
  try {
    if (Encode(stream)) return true;
    reason = u"The document holds an unpaired surrogate and cannot be written";
  } catch (const EInOutError& error) {
    reason = error.Message();
  }
  omErrors.push_back(XpFormatMessage(xpmErrorLine, {target, 0, 0, reason}));
  return false;
}

bool TXpObjModel::SaveToStream(TXpStream& oStream) { return EncodeForSave(oStream, WideString()); }

bool TXpObjModel::SaveToFile(const WideString& sFile) {
  if (StartsWithText(sFile, u"ftp://")) {
    if (!AllowRemoteSources) {
      omErrors.push_back(XpFormatMessage(xpmErrorLine, {sFile, 0, 0, u"Network access is off: " + sFile.substr(6)}));
      return false;
    }
    const WideString tempName = XpMakeTempFileName();
    bool uploaded = false;
    try {
      bool encoded = false;
      {
        TXpFileStream temp(fmCreate, tempName);
        encoded = EncodeForSave(temp, sFile);
      }
      if (encoded) uploaded = XpFtpPutFile(sFile.substr(6), UserName(), Password(), tempName, omErrors);
    } catch (...) {
      std::remove(XpWideToUtf8(tempName).c_str());
      throw;
    }
    std::remove(XpWideToUtf8(tempName).c_str());
    return uploaded;
  }
  const WideString local = StartsWithText(sFile, u"file://") ? sFile.substr(7) : sFile;
  // The whole text is encoded before the file is touched, so neither a
  // character the encoding cannot hold nor a full disk costs the old file.
  TXpMemoryStream encoded;
  if (!EncodeForSave(encoded, local)) return false;
  try {
    TSafeFileWriter file(XpWideToUtf8(local));
    file.Write(encoded.Memory(), static_cast<std::size_t>(encoded.Size()));
    file.Commit();
  } catch (const EFileError& error) {
    omErrors.push_back(XpFormatMessage(xpmErrorLine, {local, 0, 0, XpUtf8ToWide(error.what())}));
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Building the tree from the parser's events

void TXpObjModel::Add(TXpNode* node, bool push) {
  Top()->AppendChild(node);
  if (push) omStack.push_back(TXpRef<TXpNode>::Share(node));
}

void TXpObjModel::Pop() {
  if (omStack.size() > 1) omStack.pop_back();
}

void TXpObjModel::ConnectParser() {
  TXpParser& parser = *omParser;
  parser.OnAttribute = [this](TXpComponent*, const WideString& name, const WideString& value, bool specified) {
    if (name.empty()) return;
    if (TrackAttributes) omTrackedAttributes.insert(name);
    TXpRef<TXpAttribute> attribute = omDocument->CreateParsedAttribute(name);
    attribute->SetNodeValue(value);
    attribute->SetSpecified(specified);
    omAttrList.push_back(std::move(attribute));
  };
  parser.OnStartElement = [this](TXpComponent*, const WideString& name) {
    if (TrackElements) omTrackedElements.insert(name);
    TXpRef<TXpElement> element = omDocument->CreateParsedElement(name);
    element->SetAttributeNodes(omAttrList);
    omAttrList.clear();
    Add(element, true);
  };
  parser.OnEndElement = [this](TXpComponent*, const WideString&) {
    if (OnElementLoaded && Top()->NodeType() == ELEMENT_NODE) OnElementLoaded(static_cast<TXpElement*>(Top()));
    Pop();
  };
  parser.OnCharData = [this](TXpComponent*, const WideString& text) { Add(omDocument->CreateTextNode(text)); };
  parser.OnCDATASection = [this](TXpComponent*, const WideString& text) {
    Add(omDocument->CreateCDATASection(text));
  };
  parser.OnComment = [this](TXpComponent*, const WideString& text) { Add(omDocument->CreateComment(text)); };
  parser.OnProcessingInstruction = [this](TXpComponent*, const WideString& target, const WideString& data) {
    TXpRef<TXpProcessingInstruction> instruction = omDocument->CreateProcessingInstruction(target, data);
    Add(instruction);
    if (target == u"xml-stylesheet") omStylePIs.Add(instruction);
  };
  parser.OnNonXMLEntity = [this](TXpComponent*, const WideString& name, const WideString&, const WideString&,
                                 const WideString&) { Add(omDocument->CreateEntityReference(name)); };
  parser.OnPreserveSpace = [this](TXpComponent*, const WideString& element, bool& preserve) {
    if (element == u"xsl:text")
      preserve = true;
    else if (OnPreserveSpace)
      OnPreserveSpace(this, element, preserve);
  };
  parser.OnResolveEntity = [this](TXpComponent*, const WideString& name, const WideString& publicId,
                                  const WideString& systemId, WideString& value) {
    if (omOnResolveEntity) omOnResolveEntity(this, name, publicId, systemId, value);
  };

  parser.OnDTDStart = [this](TXpComponent*, const WideString& name, const WideString& publicID,
                             const WideString& systemID) {
    omInDTD = true;
    TXpRef<TXpDocumentType> type = omDocument->CreateDocumentType(name, false);
    // Kept so that a DOCTYPE whose subset was not read is written back whole.
    type->SetPublicID(publicID);
    type->SetSystemID(systemID);
    Add(type, true);
  };
  parser.OnDTDEnd = [this](TXpComponent*) {
    Pop();
    omInDTD = false;
  };
  parser.OnDTDExternalStart = [this](TXpComponent*, WideString& file) {
    if (OnDTDExternal) OnDTDExternal(this, file);
    TXpRef<TXpDocumentType> external = omDocument->CreateDocumentType(file, true);
    if (omParser->ExternalStartIsParameterEntity()) {
      // Its declarations belong where the reference stands, beside those read
      // before it.
      Add(external, true);
      return;
    }
    if (TXpDocumentType* type = omDocument->DocType()) type->SetExternalDTD(external);
    omStack.push_back(std::move(external));
  };
  parser.OnDTDExternalLoaded = [this](TXpComponent*) { Top()->SetBaseURI(omParser->CurrentInputDir()); };
  parser.OnDTDExternalEnd = [this](TXpComponent*) { Pop(); };
  parser.OnDTDElementStart = [this](TXpComponent*, const WideString& name, int contentType) {
    Add(DeclarationsTop(Top())->CreateDTDElement(name, contentType), true);
  };
  parser.OnDTDElementGroupStart = [this](TXpComponent*) {
    TXpNode* top = Top();
    if (top->NodeType() == DTD_ELEMENT_NODE)
      Add(static_cast<TXpDTDElement*>(top)->CreateDTDElementGroup(), true);
    else
      Add(TopAs<TXpDTDElementGroup>(top, DTD_ELEMENT_GROUP_NODE)->CreateDTDElementGroup(), true);
  };
  parser.OnDTDElementContent = [this](TXpComponent*, const WideString& name, int occurs, int relation) {
    auto* group = TopAs<TXpDTDElementGroup>(Top(), DTD_ELEMENT_GROUP_NODE);
    Add(group->CreateDTDElementContent(name, occurs, relation));
  };
  parser.OnDTDElementGroupEnd = [this](TXpComponent*, int occurs, int relation) {
    auto* group = TopAs<TXpDTDElementGroup>(Top(), DTD_ELEMENT_GROUP_NODE);
    group->SetOccurs(occurs);
    group->SetRelation(relation);
    Pop();
  };
  parser.OnDTDElementEnd = [this](TXpComponent*, const WideString&) { Pop(); };
  parser.OnDTDAttlistStart = [this](TXpComponent*, const WideString& name) {
    Add(DeclarationsTop(Top())->CreateDTDAttlist(name), true);
  };
  parser.OnDTDAttDefinition = [this](TXpComponent*, const WideString& name, int attType,
                                     const std::vector<WideString>& enumeration, int defaultType,
                                     const WideString& value) {
    auto* list = TopAs<TXpDTDAttlist>(Top(), DTD_ATTLIST_NODE);
    Add(list->CreateDTDAttDefinition(name, attType, &enumeration, defaultType, value));
  };
  parser.OnDTDAttlistEnd = [this](TXpComponent*) { Pop(); };
  parser.OnDTDConditionalStart = [this](TXpComponent*, int condType) {
    Add(DeclarationsTop(Top())->CreateDTDConditional(condType), true);
  };
  parser.OnDTDConditionalEnd = [this](TXpComponent*) { Pop(); };
  parser.OnDTDEntityInternal = [this](TXpComponent*, bool parameter, const WideString& name,
                                      const WideString& value) {
    TXpRef<TXpDTDEntity> entity = DeclarationsTop(Top())->CreateDTDEntity(name);
    entity->SetIsPE(parameter);
    entity->SetValue(value);
    Add(entity);
  };
  parser.OnDTDEntityExternal = [this](TXpComponent*, bool parameter, const WideString& name,
                                      const WideString& publicID, const WideString& systemID,
                                      const WideString& notation) {
    TXpRef<TXpDTDEntity> entity = DeclarationsTop(Top())->CreateDTDEntity(name);
    entity->SetIsPE(parameter);
    entity->SetPublicID(publicID);
    entity->SetSystemID(systemID);
    entity->SetNotationName(notation);
    Add(entity);
  };
  parser.OnDTDNotation = [this](TXpComponent*, const WideString& name, const WideString& publicID,
                                const WideString& systemID) {
    TXpRef<TXpDTDNotation> notation = DeclarationsTop(Top())->CreateDTDNotation(name);
    notation->SetPublicID(publicID);
    notation->SetSystemID(systemID);
    Add(notation);
  };
}
