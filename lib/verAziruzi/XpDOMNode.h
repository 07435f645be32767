#pragma once

// The node base of the document tree: names, value, type, parent and owner
// document, the child list, reference counting, the tree operations, navigation
// in document order and text gathering.
//
// A survey file makes millions of nodes, so a node stays small: the child list
// lives inside the node, the rarely used fields (attributes, namespaces, base
// URI, ids and tags) stand apart and are allocated on first use, names are shared
// per document, and each node remembers its position among its siblings (checked
// on every use) so that sibling steps take constant time. No walk recurses: deep
// trees are searched, copied, written and freed with explicit stacks.
//
// A node has one place at a time, in a child list or in an element's attribute
// map, and its ParentNode names the node that holds it there: whatever takes it
// out, through the node or through the container, clears that. The owner
// document is not counted as a reference, but it is held: a document whose last
// reference goes gives up its tree and stays, empty, until no node names it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "lib/verAziruzi/XpDOMNodeList.h"
#include "lib/verAziruzi/XpExcept.h"

class TXpElement;
class TXpValue;

// The node types.
inline constexpr int ELEMENT_NODE = 1;
inline constexpr int ATTRIBUTE_NODE = 2;
inline constexpr int TEXT_NODE = 3;
inline constexpr int CDATA_SECTION_NODE = 4;
inline constexpr int ENTITY_REFERENCE_NODE = 5;
inline constexpr int ENTITY_NODE = 6;
inline constexpr int PROCESSING_INSTRUCTION_NODE = 7;
inline constexpr int COMMENT_NODE = 8;
inline constexpr int DOCUMENT_NODE = 9;
inline constexpr int DOCUMENT_TYPE_NODE = 10;
inline constexpr int DOCUMENT_FRAGMENT_NODE = 11;
inline constexpr int NOTATION_NODE = 12;
inline constexpr int DTD_ELEMENT_NODE = 50;
inline constexpr int DTD_ELEMENT_GROUP_NODE = 51;
inline constexpr int DTD_ELEMENT_CONTENT_NODE = 52;
inline constexpr int DTD_ATTLIST_NODE = 53;
inline constexpr int DTD_ATT_DEFINITION_NODE = 54;
inline constexpr int DTD_ENTITY_NODE = 55;
inline constexpr int DTD_NOTATION_NODE = 56;
inline constexpr int DTD_CONDITIONAL_NODE = 57;
inline constexpr int XPATH_TOKEN_NODE = 99;

// The DOM error codes, in their fixed order.
enum EXpExceptionCode {
  ecNone,
  ecIndexSizeErr,
  ecWStringSizeErr,
  ecHierarchyRequestErr,
  ecWrongDocumentErr,
  ecInvalidNameErr,
  ecNoDataAllowedErr,
  ecNoModificationAllowedErr,
  ecNotFoundErr,
  ecNotSupportedErr,
  ecInuseAttributeErr,
  ecInvalidParamErr,
  ecExpectedToken,
};

// A DOM error: a code, a value (the expected token for ecExpectedToken) and an
// empty message.
class TXpDOMException : public EXpException {
public:
  static TXpDOMException CreateCode(EXpExceptionCode code) { return TXpDOMException(code, 0); }
  static TXpDOMException CreateValue(EXpExceptionCode code, int value) { return TXpDOMException(code, value); }
  EXpExceptionCode Code() const noexcept { return fCode; }
  int Value() const noexcept { return fValue; }

private:
  TXpDOMException(EXpExceptionCode code, int value) : EXpException(WideString()), fCode(code), fValue(value) {}
  EXpExceptionCode fCode;
  int fValue;
};

[[noreturn]] void XpRaiseDOM(EXpExceptionCode code);

// An immutable name shared by every node of a document that bears it.
class TXpName {
public:
  explicit TXpName(std::u16string_view text) : fText(text) {}
  const WideString& Text() const { return fText; }
  void AddRef() { fRefs.fetch_add(1, std::memory_order_relaxed); }
  void Release() {
    if (fRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

private:
  std::atomic<int> fRefs{1};
  WideString fText;
};

// ASCII-only upper-casing of a to z, the library's case rule for names.
char16_t XpAsciiUpper(char16_t unit);
// Equal after ASCII upper-casing, without making copies.
bool XpSameAsciiText(std::u16string_view a, std::u16string_view b);

class TXpNode {
public:
  TXpNode(const TXpNode&) = delete;
  TXpNode& operator=(const TXpNode&) = delete;

  // Nodes come from pools of small blocks: a survey makes millions of them.
  static void* operator new(std::size_t size);
  static void operator delete(void* memory, std::size_t size) noexcept;

  // Reference counting: a node starts with one reference, its creator's, and is
  // destroyed when the count falls below 1.
  void AddRef() { ++fRefCount; }
  void Release();
  int RefCount() const { return fRefCount; }

  // --- Fields
  int NodeType() const { return fNodeType; }
  const WideString& NodeName() const;
  void SetNodeName(std::u16string_view name);
  const WideString& NodeValue() const { return fNodeValue; }
  void SetNodeValue(WideString value) { fNodeValue = std::move(value); }
  TXpNode* ParentNode() const { return fParentNode; }
  // Null for a node made without one. A survivor of its document's release
  // still has it: settings and names are read as before; the document itself
  // takes no new children until someone holds a reference to it again.
  TXpDocument* OwnerDocument() const { return fOwnerDocument; }
  TXpNodeList* ChildNodes() { return &fChildNodes; }
  const TXpNodeList* ChildNodes() const { return &fChildNodes; }
  // Null until the first attribute or namespace declaration.
  TXpNamedNodeMap* Attributes() const { return fExtra ? fExtra->attributes.get() : nullptr; }
  TXpNamedNodeMap* NamespaceList() const { return fExtra ? fExtra->namespaceList.get() : nullptr; }
  const WideString& Defaultnamespace() const;
  void SetDefaultnamespace(const WideString& uri);
  int NodeId() const { return fExtra ? fExtra->nodeId : 0; }
  void SetNodeId(int id);
  int Tag() const { return fExtra ? fExtra->tag : 0; }
  void SetTag(int tag);
  bool OutputEscaping() const { return fFlags & kOutputEscaping; }
  void SetOutputEscaping(bool value) { SetFlag(kOutputEscaping, value); }
  void SetBaseURI(const WideString& uri);
  std::u16string_view NodeStringType() const;

  // --- Tree operations (on the parent). A node that still has a place (a child
  // list, or an element's attribute map) is taken out of it first; no node, not
  // even a fragment put in whole by ReplaceChild, is ever put below itself. A
  // released document refuses new children (ecNoModificationAllowedErr).
  void AppendChild(TXpNode* newChild);
  void InsertBefore(TXpNode* newChild, TXpNode* refChild);
  TXpRef<TXpNode> RemoveChild(TXpNode* oldChild);
  TXpRef<TXpNode> ReplaceChild(TXpNode* newChild, TXpNode* oldChild);
  // Releases every child; a child that survives no longer names this node.
  void RemoveAll();
  void Normalize(bool addSpace);
  TXpRef<TXpNode> CloneNode(bool deep) const;
  // Gives node and its whole subtree this node's owner document.
  void ForceOwnerDocument(TXpNode* node) const;
  // This node and its attributes and namespace declarations (not its children).
  void SetOwnerDocument(TXpDocument* document);

  // --- Queries
  bool HasAttributes() const;
  bool HasChildNodes() const { return !fChildNodes.fNodes.empty(); }
  // The node is in this node's child list or attribute map.
  bool HoldsChildOrAttribute(const TXpNode* node) const;
  bool IsAfter(const TXpNode* node) const;
  bool IsSupported(const WideString& feature, const WideString& version) const;
  WideString ResolveNSPrefix(const WideString& prefix) const;
  std::unique_ptr<TXpNodeList> GetChildNodesByNodeType(int type) const;
  std::unique_ptr<TXpNodeList> GetNodesByNodeType(int type) const;
  std::unique_ptr<TXpNodeList> GetChildrenByName(int type, const WideString& name) const;
  virtual std::unique_ptr<TXpNodeList> GetDescendantsByType(int type, const WideString& name) const;
  // Adds start, its following siblings and all their descendants of the type
  // (0 any) whose name matches; for type 2 the matching attributes of each.
  static void GatherDescendants(TXpNodeList& list, TXpNode* start, int type, const WideString& name);
  // The library's name comparison: exact, or ASCII-case-blind under IgnoreCase.
  bool NameMatches(std::u16string_view name) const;
  // The position test of a numeric predicate on a name step.
  bool IsNthOfName(int n) const;
  static bool NameFilter(const TXpNode* node, const std::vector<WideString>& names);

  // --- XPath, with this node as the context node. Select passes every error on;
  // the others answer what they hold by then for a faulty expression, and pass
  // on std::bad_alloc and the refusal of a query too costly to evaluate
  // (TXpXPathWorkExceeded), which no answer may hide.
  std::unique_ptr<TXpValue> Select(const WideString& query, const TXpNodeList* context = nullptr);
  std::unique_ptr<TXpNodeList> SelectNodes(const WideString& query);
  // The first node of SelectNodes, owned by the tree; null when none.
  TXpNode* SelectSingleNode(const WideString& query);
  bool SelectBoolean(const WideString& query);
  bool SelectBooleanContext(const WideString& query, const TXpNodeList* context);
  int SelectInteger(const WideString& query);
  double SelectNumber(const WideString& query);
  double SelectNumberContext(const WideString& query, const TXpNodeList* context);
  WideString SelectString(const WideString& query);
  WideString SelectStringContext(const WideString& query, const TXpNodeList* context);

  // --- Navigation
  TXpNode* FirstChild() const { return fChildNodes.fNodes.empty() ? nullptr : fChildNodes.fNodes.front(); }
  TXpNode* LastChild() const { return fChildNodes.fNodes.empty() ? nullptr : fChildNodes.fNodes.back(); }
  TXpNode* NextSibling() const;
  TXpNode* PreviousSibling() const;
  TXpNode* LastDescendantOrSelf() const;
  TXpNode* NextInDocument() const;
  TXpNode* PreviousInDocument() const;
  // Zero-based position in the parent's child list; -1 without a parent and for
  // an attribute, which stands in its element's map, not among its children.
  int IndexInParent() const;
  // Empty for a node without a place in its parent's child list.
  WideString LevelCode() const;
  // An attribute ends in "@name" after its element's path.
  virtual WideString LocationPath() const;
  WideString LocalName() const;
  WideString Prefix() const;
  WideString NamespaceURI() const;
  virtual WideString BaseURI() const;
  // The text of the subtree: Text with a space between pieces, StringValue without.
  WideString Text() const;
  virtual WideString StringValue() const;
  // The node and its subtree as markup.
  WideString XmlDocument() const;

  // A node's own, shallow part of a clone: null for what cannot be cloned.
  virtual TXpRef<TXpNode> CloneSelf(bool deep) const;
  // The markup of a text, CDATA or comment child at an indentation level.
  virtual void WriteXml(WideString& out, int level) const;

protected:
  explicit TXpNode(int nodeType);
  virtual ~TXpNode();

  // Copies the fields every clone shares: type, name, value, id, owner document
  // and default namespace.
  void CopyCommonTo(TXpNode& copy) const;
  // A new node of class T with the fields every clone shares.
  template <class T>
  TXpRef<T> CloneCommon() const {
    TXpRef<T> copy = T::Create();
    CopyCommonTo(*copy);
    return copy;
  }
  // Puts a node at the end of the child list and makes this its parent, with no
  // checks; the list takes a reference.
  void AttachChild(TXpNode* child);
  // For the holders of nodes outside the child lists (attributes).
  void SetParentNode(TXpNode* parent) { fParentNode = parent; }
  // The attribute map and namespace list, created on first use.
  TXpNamedNodeMap& EnsureAttributes();
  TXpNamedNodeMap& EnsureNamespaceList();

  enum : std::uint8_t {
    kOutputEscaping = 1,
    kFullEndTag = 2,
    kIgnoreEndTag = 4,
    kSpecified = 8,
    kExternalDTD = 16,
    kIsPE = 32,
  };
  bool Flag(std::uint8_t flag) const { return fFlags & flag; }
  void SetFlag(std::uint8_t flag, bool value) { fFlags = value ? fFlags | flag : fFlags & ~flag; }

private:
  friend class TXpDocument;
  friend class TXpNodeList;
  friend class TXpNamedNodeMap;
  friend void XpDisposeNode(TXpNode* node);
  friend void XpNoteNodeLeft(TXpNode* node, const void* container);
  friend void XpCloneChildren(const TXpNode* source, TXpNode* target);

  // Elements with attributes are common, addresses rare: they stand apart again.
  struct Addresses {
    static void* operator new(std::size_t size);
    static void operator delete(void* memory, std::size_t size) noexcept;
    WideString baseURI;
    WideString defaultNamespace;
  };
  struct Extra {
    static void* operator new(std::size_t size);
    static void operator delete(void* memory, std::size_t size) noexcept;
    std::unique_ptr<TXpNamedNodeMap> attributes;
    std::unique_ptr<TXpNamedNodeMap> namespaceList;
    std::unique_ptr<Addresses> addresses;
    int nodeId = 0;
    int tag = 0;
  };
  Extra& EnsureExtra();
  const Addresses* FindAddresses() const { return fExtra ? fExtra->addresses.get() : nullptr; }
  Addresses& EnsureAddresses();
  // A fragment that is copied in cannot close a cycle; one put in whole can.
  void CheckInsertion(const TXpNode* newChild, bool fragmentIsCopied) const;
  // Takes the node out of its place, if it has one, and answers with one
  // reference for the caller: the place's, or a new one.
  void TakeFromPlace();
  // Every change of the owner document goes through here: the document counts
  // the nodes that name it.
  void AssignOwnerDocument(TXpDocument* document);
  void InsertExpanded(TXpNode* newChild, const TXpNode* before);
  std::size_t ChildIndexOf(const TXpNode* child) const;

  // The count sits in the tail padding of the child list: a survey's nodes
  // then fit a smaller size class of the pool.
  [[no_unique_address]] TXpNodeList fChildNodes;
  int fRefCount = 1;
  TXpNode* fParentNode = nullptr;
  TXpDocument* fOwnerDocument = nullptr;
  TXpName* fName = nullptr;
  WideString fNodeValue;
  std::unique_ptr<Extra> fExtra;
  mutable std::uint32_t fIndexHint = 0;
  std::int16_t fNodeType;
  std::uint8_t fFlags = kOutputEscaping;
};

// Frees a node whose count has fallen below 1, and everything that dies with it,
// without recursion. A document gives up its tree first and is freed once no
// node names it any more.
void XpDisposeNode(TXpNode* node);

// For the containers: the node has left `container` (a list or map). When that
// was the place its ParentNode names, and it is not held there again, the
// parent is cleared.
void XpNoteNodeLeft(TXpNode* node, const void* container);

// The text gathering behind Text and StringValue.
WideString XpGatherText(const TXpNode* node, bool addSpace);

// Deep copies of source's children appended to target, without recursion.
void XpCloneChildren(const TXpNode* source, TXpNode* target);

// How a walk goes on after a visit.
enum class TXpWalkStep { Continue, SkipChildren, Stop };

// Visits the children of parent from index `from` on, each followed by its
// subtree, in document order, with an explicit stack. The visit may change the
// visited node's own children, nothing above them.
template <class Visit>
void XpWalkDescendants(const TXpNode* parent, Visit&& visit, std::size_t from = 0) {
  struct Level {
    const TXpNodeVector* nodes;
    std::size_t next;
  };
  std::vector<Level> stack{{&parent->ChildNodes()->Nodes(), from}};
  while (!stack.empty()) {
    Level& top = stack.back();
    if (top.next >= top.nodes->size()) {
      stack.pop_back();
      continue;
    }
    TXpNode* node = (*top.nodes)[top.next++];
    const TXpWalkStep step = visit(node);
    if (step == TXpWalkStep::Stop) return;
    if (step == TXpWalkStep::Continue && node->HasChildNodes()) stack.push_back({&node->ChildNodes()->Nodes(), 0});
  }
}

// Fails with EAssertionFailed: a broken contract of the caller.
[[noreturn]] void XpAssertFailed(const char* what);
