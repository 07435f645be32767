#pragma once

// The document: root of every tree, maker of its nodes, keeper of the settings
// that comparisons and output consult. Beside it the DOM implementation object,
// the registry of element factories, and the small routines the XPath evaluator
// stands on (the following and preceding axes, the tree walker, the string
// routines behind normalize-space() and translate()).

#include <array>
#include <functional>
#include <typeinfo>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lib/verAziruzi/XpDOMCharData.h"
#include "lib/verAziruzi/XpDOMElement.h"
#include "lib/verAziruzi/XpDOMNode.h"
#include "lib/verAziruzi/XpHash.h"

class TXpDocumentType;
class TXpValue;
class TXpXPathParser;

enum TXpLineBreakMode { lbmDefault, lbmCR, lbmCRLF, lbmLF };

using TXpNodeEvent = std::function<void(TXpNode* node)>;
using TXpNodeCancelEvent = std::function<void(TXpNode* node, bool& cancel)>;
using TXpCurrentNodeEvent = std::function<void(void* owner, TXpNode*& currentNode)>;
using TXpElementAvailableEvent = std::function<void(TXpNode* node, const WideString& elementName, bool& available)>;
using TXpFormatNumberEvent =
    std::function<void(TXpNode* owner, const WideString& number, const WideString& pattern, const WideString& format,
                       WideString& formattedNumber)>;
using TXpFunctionEvent = std::function<void(void* owner, const WideString& functionName,
                                            const std::vector<WideString>& arguments, WideString& result)>;
using TXpFunctionAvailableEvent = std::function<void(void* owner, const WideString& functionName, bool& available)>;
using TXpKeyLookupEvent = std::function<void(TXpDocument* document, const WideString& keyName,
                                             const WideString& keyValue, TXpNodeList* list)>;
using TXpResolveDocumentEvent = std::function<void(TXpNode* node, const WideString& href, const WideString& baseURI,
                                                   TXpDocument*& root)>;
using TXpSystemLookupEvent = std::function<void(void* owner, const WideString& varName, WideString& varValue)>;
using TXpVariableLookupEvent = std::function<void(void* owner, const WideString& varName, TXpValue*& varValue)>;

// Makes the elements of the documents that look it up. A program may register a
// class of its own to receive its own element objects.
class TXpElementFactory {
public:
  TXpElementFactory() = default;
  TXpElementFactory(const TXpElementFactory&) = delete;
  TXpElementFactory& operator=(const TXpElementFactory&) = delete;
  virtual ~TXpElementFactory() = default;

  virtual TXpRef<TXpElement> CreateElement(const WideString& name);
  virtual void Initialize() {}

  // Makes an instance of T, initializes it and appends it to the registry.
  template <class T>
  static void Register(const WideString& id) {
    RegisterInstance(std::make_unique<T>(), id);
  }
  // Frees every registered factory whose class is exactly T, from the end.
  template <class T>
  static void Unregister() {
    UnregisterClass(typeid(T));
  }
  // The first registered factory with this ID (exact), null when none.
  static TXpElementFactory* FindFactory(const WideString& id);

  const WideString& ID() const { return fID; }

private:
  static void RegisterInstance(std::unique_ptr<TXpElementFactory> factory, const WideString& id);
  static void UnregisterClass(const std::type_info& type);
  WideString fID;
};

// The registry of element factories; null outside XpDOMInitialize..XpDOMFinalize.
TXpPointerList* XpElementFactoryList();
// Creates the registry with the library's own factory under "default". Called
// by the program's start-up; a document made before that calls it itself.
void XpDOMInitialize();
void XpDOMFinalize();
// The ID looked up before "default": the one a component of its own may claim.
inline constexpr std::u16string_view XpComponentFactoryID = u"XpComponent";

class TXpDomImplementation {
public:
  // "XML" with "1.0" or "2.0", or "CORE" with "2.0", in any ASCII letter case.
  bool HasFeature(const WideString& feature, const WideString& version) const;
  // Without an owner document.
  TXpRef<TXpDocumentType> CreateDocumentType(const WideString& qualifiedName, const WideString& publicID,
                                             const WideString& systemID) const;
  TXpRef<TXpDocument> CreateDocument(const WideString& namespaceURI, const WideString& qualifiedName,
                                     TXpDocumentType* documentType) const;
};

class TXpDocument : public TXpNode {
public:
  static TXpRef<TXpDocument> Create() { return TXpRef<TXpDocument>::Adopt(new TXpDocument()); }

  // --- Settings
  bool ActualCDATA() const { return fActualCDATA; }
  void SetActualCDATA(bool value) { fActualCDATA = value; }
  bool FormattedOutput() const { return fFormattedOutput; }
  void SetFormattedOutput(bool value) { fFormattedOutput = value; }
  const WideString& IdAttribute() const { return fIdAttribute; }
  void SetIdAttribute(const WideString& name) { fIdAttribute = name; }
  bool IgnoreCase() const { return fIgnoreCase; }
  void SetIgnoreCase(bool value) { fIgnoreCase = value; }
  bool LineBreakCharReplace() const { return fLineBreakCharReplace; }
  void SetLineBreakCharReplace(bool value) { fLineBreakCharReplace = value; }
  TXpLineBreakMode LineBreakMode() const { return fLineBreakMode; }
  void SetLineBreakMode(TXpLineBreakMode mode) { fLineBreakMode = mode; }
  bool NoCharReplacement() const { return fNoCharReplacement; }
  void SetNoCharReplacement(bool value) { fNoCharReplacement = value; }
  TXpDomImplementation& DomImplementation() { return fDomImplementation; }
  TXpElementFactory* ElementFactory() const { return fElementFactory; }
  // Tokenizes the expressions of the Select operations.
  TXpXPathParser& XPathParser() { return *fXPathParser; }

  // --- XPath callbacks
  TXpCurrentNodeEvent OnCurrentNode;
  TXpElementAvailableEvent OnElementAvailable;
  TXpFormatNumberEvent OnFormatNumber;
  TXpFunctionEvent OnFunction;
  TXpFunctionAvailableEvent OnFunctionAvailable;
  TXpKeyLookupEvent OnKeyLookup;
  TXpResolveDocumentEvent OnResolveDocument;
  TXpSystemLookupEvent OnSystemProperty;
  TXpVariableLookupEvent OnVariableLookup;
  // --- Output events: around each element and its attributes, and before each
  // attribute (which a handler may cancel).
  TXpNodeCancelEvent OnOutputAttrib;
  TXpNodeEvent OnOutputAttribEnd;
  TXpNodeEvent OnOutputAttribStart;
  TXpNodeEvent OnOutputElementEnd;
  TXpNodeEvent OnOutputElementStart;

  // --- Factories: a node of this document with the creator's reference, not
  // inserted anywhere. Names are checked (ecInvalidNameErr).
  TXpRef<TXpElement> CreateElement(const WideString& tagName);
  TXpRef<TXpElement> CreateElementNS(const WideString& namespaceURI, const WideString& qualifiedName);
  TXpRef<TXpAttribute> CreateAttribute(const WideString& name);
  TXpRef<TXpAttribute> CreateAttributeNS(const WideString& namespaceURI, const WideString& qualifiedName);
  // The same for a name the parser has read, and so checked, already: a load
  // makes millions.
  TXpRef<TXpElement> CreateParsedElement(const WideString& tagName);
  TXpRef<TXpAttribute> CreateParsedAttribute(const WideString& name);
  TXpRef<TXpEntityReference> CreateEntityReference(const WideString& name);
  // Only an empty target is refused.
  TXpRef<TXpProcessingInstruction> CreateProcessingInstruction(const WideString& target, const WideString& data);
  TXpRef<TXpText> CreateTextNode(const WideString& data);
  TXpRef<TXpCDataSection> CreateCDATASection(const WideString& data);
  TXpRef<TXpComment> CreateComment(const WideString& data);
  TXpRef<TXpDocumentFragment> CreateDocumentFragment();
  TXpRef<TXpDocumentType> CreateDocumentType(const WideString& name, bool external);

  std::unique_ptr<TXpNodeList> GetElementsByTagName(const WideString& name) const;
  std::unique_ptr<TXpNodeList> GetElementsByTagNameNS(const WideString& namespaceURI,
                                                      const WideString& localName) const;
  // A copy of a node of any document, owned by this one and not yet inserted.
  TXpRef<TXpNode> ImportNode(const TXpNode* node, bool deep);

  TXpDocumentType* DocType() const;
  TXpElement* DocumentElement() const;
  WideString XmlDTD() const;
  WideString LineBreakText() const;
  bool NeedsLineBreakReplace() const { return fLineBreakMode != lbmLF; }

  WideString LocationPath() const override { return u"/"; }
  TXpRef<TXpNode> CloneSelf(bool deep) const override;

  // The document's one shared copy of a name, with a reference for the caller.
  TXpName* InternName(std::u16string_view name);

private:
  friend class TXpNode;
  friend void XpDisposeNode(TXpNode* node);

  TXpDocument();
  ~TXpDocument() override;

  // The last reference has gone: the tree is released. True when the document
  // may be freed as well, no node naming it any more.
  bool GiveUpTree();
  // A node no longer names this document.
  void DropNodeHold();

  struct ViewHash {
    std::size_t operator()(std::u16string_view text) const noexcept {
      return std::hash<std::u16string_view>()(text);
    }
  };

  bool fActualCDATA = false;
  TXpDomImplementation fDomImplementation;
  TXpElementFactory* fElementFactory = nullptr;
  bool fFormattedOutput = false;
  WideString fIdAttribute = u"id";
  bool fIgnoreCase = false;
  bool fLineBreakCharReplace = false;
  TXpLineBreakMode fLineBreakMode = lbmDefault;
  bool fNoCharReplacement = false;
  bool fPlainElements = false;  // the factory is the library's own
  std::unordered_map<std::u16string_view, TXpName*, ViewHash> fNames;
  // The last names interned, by a cheap hash: a document's few names come back
  // a million times. Names stay in fNames as long as the document.
  std::array<TXpName*, 64> fRecentNames{};
  std::unique_ptr<TXpXPathParser> fXPathParser;
  // The nodes, other than itself, whose owner document this is.
  std::size_t fNodeHolds = 0;
  bool fDisposalQueued = false;
};

// ---------------------------------------------------------------------------
// XPath support

class TXpBaseAxis {
public:
  explicit TXpBaseAxis(TXpNode* startNode) : fStartNode(startNode) {}
  virtual ~TXpBaseAxis() = default;
  TXpNode* StartNode() const { return fStartNode; }
  // The node after this one on the axis, null at its end.
  virtual TXpNode* NextNode(TXpNode* node) = 0;

private:
  TXpNode* fStartNode;
};

// Every node after the start node in document order except its descendants.
class TXpFollowingAxis : public TXpBaseAxis {
public:
  using TXpBaseAxis::TXpBaseAxis;
  TXpNode* NextNode(TXpNode* node) override;
};

// Every node before the start node, nearest first, except its ancestors.
class TXpPrecedingAxis : public TXpBaseAxis {
public:
  explicit TXpPrecedingAxis(TXpNode* startNode);
  TXpNode* NextNode(TXpNode* node) override;

private:
  TXpNode* fAncestor;
};

using TXpNodeFilter = std::function<bool(const TXpNode* node, const std::vector<WideString>& names)>;

class TXpTreeWalker {
public:
  // Appends the nodes of the axis (never its start node) that the filter, when
  // given, accepts.
  static void Gather(TXpBaseAxis* axis, const std::vector<WideString>& names, const TXpNodeFilter& filter,
                     TXpNodeList* list);
};

WideString XpNormalizeSpace(const WideString& text);
WideString XpTranslate(const WideString& text, const WideString& from, const WideString& to);
