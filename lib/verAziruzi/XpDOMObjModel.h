#pragma once

// The object model: the one object through which the program uses the XML
// library. It owns a parser and a document, builds the document tree from the
// parser's events in document order, loads from a file name or address, a
// stream or memory, saves to a file, an ftp address or a stream, and keeps the
// error lines of the last load or save.

#include <set>
#include <vector>

#include "lib/verAziruzi/XpChrFlt.h"
#include "lib/verAziruzi/XpDOM.h"
#include "lib/verAziruzi/XpParser.h"

using TXpInvalidDocumentEvent = std::function<void(TXpComponent* oOwner, int code, TXpNode* node, bool& stop)>;

// Validation stopped: by the OnInvalidDocument handler, with the text of the
// finding, or by DTD nodes that do not form declarations ("Improperly formed
// DTD").
class TXpInvalidHalt : public EXpException {
public:
  using EXpException::EXpException;
};

class TXpObjModel : public TXpComponent {
public:
  TXpObjModel();
  ~TXpObjModel() override;

  // --- Loading. Each load replaces the whole document; a failed one leaves it
  // empty, the reasons in Errors (at least one line), OutCharSet and the base
  // URI as they were, and answers False, or passes the exception on with
  // RaiseErrors.
  bool LoadDataSource(const WideString& sSource);
  bool LoadStream(TXpStream& oStream);
  bool LoadMemory(const void* buffer, int aSize);

  // --- Saving, in OutCharSet. A local file is replaced only when the whole text
  // is written; "file://" in any letter case names a local file, a leading
  // "ftp://" an upload. False, with the reason in Errors, when the file system,
  // the stream or the transfer refuses, or the text holds a lone surrogate; a
  // character the encoding cannot hold raises EXpStreamError before anything
  // is written.
  bool SaveToFile(const WideString& sFile);
  bool SaveToStream(TXpStream& oStream);

  void ClearDocument();
  // Errors[index], or "ERROR INDEX OUT OF BOUNDS".
  WideString GetErrorMsg(int index) const;
  const std::vector<WideString>& Errors() const { return omErrors; }
  int ErrorCount() const { return static_cast<int>(omErrors.size()); }
  // The document's top-level nodes as markup, joined by CR LF.
  WideString XmlDocument() const;

  // --- Validation against the DTD the load kept as nodes. Each finding goes to
  // OnInvalidDocument with its code (1 to 15) and node; the handler may ask to
  // stop. True only when nothing was found. ValidateDocument answers False for
  // any exception inside; ValidateElement passes TXpInvalidHalt on. Without a
  // document type ValidateElement reports 1. The handler must leave the tree
  // as it is while validation runs.
  bool ValidateDocument();
  bool ValidateElement(TXpElement* oElem, TXpDocumentType* oDTD);

  TXpDocument* Document() const { return omDocument.get(); }
  // Null is ignored, and so is the document already held; otherwise the old one
  // loses this object's reference and the new one gains one.
  void SetDocument(TXpDocument* document);
  TXpElement* DocumentElement() const { return omDocument->DocumentElement(); }
  WideString DocLocation() const { return omDocument ? omDocument->BaseURI() : WideString(); }
  TXpCharEncoding InCharSet() const { return omParser ? omParser->InCharSet() : ceUnknown; }
  const TXpNodeList& StylePIs() const { return omStylePIs; }
  const std::set<WideString>& TrackedAttributes() const { return omTrackedAttributes; }
  const std::set<WideString>& TrackedElements() const { return omTrackedElements; }

  // --- Settings of the object model itself.
  bool NormalizeData = true;
  bool RaiseErrors = false;
  bool WriteUTF8Signature = true;
  bool TrackAttributes = false;
  bool TrackElements = false;
  // Off: no http or ftp address is contacted, for the document, an external
  // DTD, an external entity or a save. Handed to the parser before each load.
  bool AllowRemoteSources = false;
  TXpCharEncoding OutCharSet = ceUnknown;
  int Tag = 0;
  TXpDTDExternalStartEvent OnDTDExternal;
  TXpInvalidDocumentEvent OnInvalidDocument;
  TXpPreserveSpaceEvent OnPreserveSpace;
  // Told of each element of a load once its end tag is read and its subtree
  // complete. A reader may take what it needs and empty the element (it must
  // leave everything else as it stands), so a long file never has to be held
  // whole.
  std::function<void(TXpElement* element)> OnElementLoaded;
  const TXpResolveEvent& OnResolveEntity() const { return omOnResolveEntity; }
  // Reaches the parser at once, also after creation.
  void SetOnResolveEntity(TXpResolveEvent handler) { omOnResolveEntity = std::move(handler); }

  // --- Settings that live in the document.
  bool FormattedOutput() const { return omDocument->FormattedOutput(); }
  void SetFormattedOutput(bool value) { omDocument->SetFormattedOutput(value); }
  const WideString& IdAttribute() const { return omDocument->IdAttribute(); }
  void SetIdAttribute(const WideString& name) { omDocument->SetIdAttribute(name); }
  bool IgnoreCase() const { return omDocument->IgnoreCase(); }
  void SetIgnoreCase(bool value) { omDocument->SetIgnoreCase(value); }
  bool LineBreakCharReplace() const { return omDocument->LineBreakCharReplace(); }
  void SetLineBreakCharReplace(bool value) { omDocument->SetLineBreakCharReplace(value); }
  TXpLineBreakMode LineBreakMode() const { return omDocument->LineBreakMode(); }
  void SetLineBreakMode(TXpLineBreakMode mode) { omDocument->SetLineBreakMode(mode); }
  // The XPath callbacks, in the document too.
  void SetOnCurrentNode(TXpCurrentNodeEvent e) { omDocument->OnCurrentNode = std::move(e); }
  void SetOnElementAvailable(TXpElementAvailableEvent e) { omDocument->OnElementAvailable = std::move(e); }
  void SetOnFormatNumber(TXpFormatNumberEvent e) { omDocument->OnFormatNumber = std::move(e); }
  void SetOnFunction(TXpFunctionEvent e) { omDocument->OnFunction = std::move(e); }
  void SetOnFunctionAvailable(TXpFunctionAvailableEvent e) { omDocument->OnFunctionAvailable = std::move(e); }
  void SetOnKeyLookup(TXpKeyLookupEvent e) { omDocument->OnKeyLookup = std::move(e); }
  void SetOnResolveDocument(TXpResolveDocumentEvent e) { omDocument->OnResolveDocument = std::move(e); }
  void SetOnSystemProperty(TXpSystemLookupEvent e) { omDocument->OnSystemProperty = std::move(e); }
  void SetOnVariableLookup(TXpVariableLookupEvent e) { omDocument->OnVariableLookup = std::move(e); }

  // --- Settings that live in the parser.
  int BufferSize() const { return omParser->BufferSize; }
  void SetBufferSize(int size) { omParser->BufferSize = size; }
  const WideString& UserName() const { return omParser->UserName; }
  void SetUserName(const WideString& name) { omParser->UserName = name; }
  const WideString& Password() const { return omParser->Password; }
  void SetPassword(const WideString& password) { omParser->Password = password; }
  const WideString& DocName() const { return omParser->DocName(); }

private:
  // The declarations in force for one validation.
  struct TXpDTDDeclarations;
  using TXpAttlists = std::vector<TXpDTDAttlist*>;
  bool ValidateTree(TXpElement* root, TXpDocumentType* dtd);
  bool CheckElement(TXpElement* element, const TXpDTDDeclarations& declarations);
  bool CheckContent(TXpElement* element, const TXpDTDElement* declaration, const TXpDTDDeclarations& declarations);
  bool CheckAttribute(TXpElement* element, TXpAttribute* attribute, const TXpAttlists& lists);
  void CheckRequiredAttributes(TXpElement* element, const TXpAttlists& lists);
  bool ElementInContentModel(const TXpNode* child, const TXpDTDElementGroup* group) const;
  // A finding: told to the handler, counted, and raised when the handler asked
  // to stop.
  void ReportInvalid(int code, TXpNode* node);
  void Find(int code, TXpNode* node, const WideString& stopText);

  void ConnectParser();
  void PrepareLoad();
  // Runs one parse with the tree building around it; `source` names the input
  // in an error line of its own.
  template <class Parse>
  bool RunLoad(const WideString& source, Parse&& parse);
  void RecoverFromError(const WideString& source, const WideString& message);
  void ReleaseBuildState();
  // Encodes the document text in OutCharSet; EXpStreamError for a character it
  // cannot hold, EInOutError when the stream takes fewer bytes. False, having
  // written nothing, when the text holds a lone surrogate, which no encoding
  // can write: the text would end there.
  bool Encode(TXpStream& stream) const;
  // Encode for a save to `target`: False with the reason in Errors when the
  // text cannot be written whole.
  bool EncodeForSave(TXpStream& stream, const WideString& target);

  TXpNode* Top() const { return omStack.back(); }
  void Add(TXpNode* node, bool push = false);
  void Pop();

  std::vector<TXpRef<TXpAttribute>> omAttrList;
  TXpRef<TXpDocument> omDocument;
  std::vector<WideString> omErrors;
  bool omInDTD = false;
  TXpResolveEvent omOnResolveEntity;
  TXpParser* omParser = nullptr;  // owned as a component
  std::vector<TXpRef<TXpNode>> omStack;
  TXpNodeList omStylePIs;
  std::set<WideString> omTrackedAttributes;
  std::set<WideString> omTrackedElements;
  bool fValidationStop = false;
  int fFindings = 0;
};
