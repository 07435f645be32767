#include "lib/verAziruzi/XpDOMNode.h"

#include <algorithm>

#include <sys/mman.h>

#include "platform/NumberText.h"

#include "lib/verAziruzi/XpDOMCharData.h"
#include "lib/verAziruzi/XpDOMDocument.h"
#include "lib/verAziruzi/XpDOMElement.h"
#include "lib/verAziruzi/XpDOMWriter.h"

namespace {

const WideString kEmpty;

bool IsLeafType(int type) {
  switch (type) {
    case TEXT_NODE:
    case CDATA_SECTION_NODE:
    case ENTITY_NODE:
    case PROCESSING_INSTRUCTION_NODE:
    case COMMENT_NODE:
    case NOTATION_NODE:
      return true;
    default:
      return false;
  }
}

// The nodes waiting to be freed while a disposal runs on this thread; null when
// none runs.
thread_local std::vector<TXpNode*>* tPendingDisposal = nullptr;

}  // namespace

void XpAssertFailed(const char* what) { throw EAssertionFailed(std::string("Assertion failed: ") + what); }

void XpRaiseDOM(EXpExceptionCode code) { throw TXpDOMException::CreateCode(code); }

char16_t XpAsciiUpper(char16_t unit) { return unit >= u'a' && unit <= u'z' ? unit - (u'a' - u'A') : unit; }

bool XpSameAsciiText(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (XpAsciiUpper(a[i]) != XpAsciiUpper(b[i])) return false;
  return true;
}

// ---------------------------------------------------------------------------
// Memory. Nodes are allocated in size classes of 16 bytes from slabs that are
// never given back: a freed node's memory waits on its thread's free list for the
// next node of its size. A class's first slab is small, so a small document
// touches little memory; each next one is twice as big, up to huge-page slabs
// for the millions of nodes of a survey. Sanitizer builds use the plain heap, so
// that every use of a freed node is still caught.

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif
#else
constexpr bool kPooled = true;
#endif
constexpr std::size_t kGrain = 16;
constexpr std::size_t kClassCount = 16;  // blocks up to 256 bytes
constexpr std::size_t kFirstSlabBytes = 16 * 1024;
// Big slabs are huge-page aligned and advised as such: first touches of fresh
// memory are what a big load spends most on, and a huge page costs one fault,
// not 512.
constexpr std::size_t kSlabBytes = 4 * 1024 * 1024;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

struct FreeBlock {
  FreeBlock* next;
};

// One size class of one thread: freed blocks first, then the rest of the
// newest slab, carved as needed.
struct SizeClassPool {
  FreeBlock* freed = nullptr;
  char* next = nullptr;
  char* end = nullptr;
  std::size_t slabBytes = kFirstSlabBytes;
};
thread_local SizeClassPool tPools[kClassCount];

void NewSlab(SizeClassPool& pool, std::size_t blockSize) {
  const std::size_t bytes = pool.slabBytes;
  const std::size_t extra = bytes >= kHugePage ? kHugePage : 0;
  void* mapped = mmap(nullptr, bytes + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  auto* slab = static_cast<char*>(mapped);
  if (extra) {
    slab = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(mapped) + kHugePage - 1) & ~(kHugePage - 1));
    madvise(slab, bytes, MADV_HUGEPAGE);
  }
  pool.next = slab;
  pool.end = slab + bytes / blockSize * blockSize;
  pool.slabBytes = std::min(bytes * 2, kSlabBytes);
}

void* PoolAllocate(std::size_t size) {
  if (!kPooled || size == 0 || size > kGrain * kClassCount) return ::operator new(size);
  const std::size_t sizeClass = (size - 1) / kGrain;
  SizeClassPool& pool = tPools[sizeClass];
  if (FreeBlock* block = pool.freed) {
    pool.freed = block->next;
    return block;
  }
  const std::size_t blockSize = (sizeClass + 1) * kGrain;
  if (pool.next == pool.end) NewSlab(pool, blockSize);
  void* block = pool.next;
  pool.next += blockSize;
  return block;
}

void PoolFree(void* memory, std::size_t size) noexcept {
  if (!memory) return;
  if (!kPooled || size == 0 || size > kGrain * kClassCount) {
    ::operator delete(memory);
    return;
  }
  SizeClassPool& pool = tPools[(size - 1) / kGrain];
  auto* block = static_cast<FreeBlock*>(memory);
  block->next = pool.freed;
  pool.freed = block;
}

}  // namespace

void* XpNodePoolAllocate(std::size_t size) { return PoolAllocate(size); }
void XpNodePoolFree(void* memory, std::size_t size) noexcept { PoolFree(memory, size); }
void* TXpNode::operator new(std::size_t size) { return PoolAllocate(size); }
void TXpNode::operator delete(void* memory, std::size_t size) noexcept { PoolFree(memory, size); }
void* TXpNode::Extra::operator new(std::size_t size) { return PoolAllocate(size); }
void TXpNode::Extra::operator delete(void* memory, std::size_t size) noexcept { PoolFree(memory, size); }
void* TXpNode::Addresses::operator new(std::size_t size) { return PoolAllocate(size); }
void TXpNode::Addresses::operator delete(void* memory, std::size_t size) noexcept { PoolFree(memory, size); }

// ---------------------------------------------------------------------------
// Life

TXpNode::TXpNode(int nodeType) : fNodeType(static_cast<std::int16_t>(nodeType)) {}

TXpNode::~TXpNode() {
  // Whatever outlives this node must not keep pointing at it.
  for (TXpNode* child : fChildNodes.fNodes)
    if (child->fParentNode == this) child->fParentNode = nullptr;
  if (fExtra && fExtra->attributes)
    for (TXpNode* attribute : fExtra->attributes->Nodes())
      if (attribute->fParentNode == this) attribute->fParentNode = nullptr;
  if (fName) fName->Release();
  // The last node that names a released document frees it (queued: this runs
  // inside XpDisposeNode).
  AssignOwnerDocument(nullptr);
}

void TXpNode::Release() {
  if (--fRefCount < 1) XpDisposeNode(this);
}

void XpDisposeNode(TXpNode* node) {
  // A document comes here when its last reference goes and again when the last
  // node that names it dies; it waits in the queue once at most.
  if (node->fNodeType == DOCUMENT_NODE) {
    auto* document = static_cast<TXpDocument*>(node);
    if (document->fDisposalQueued) return;
    document->fDisposalQueued = true;
  }
  if (tPendingDisposal) {
    tPendingDisposal->push_back(node);
    return;
  }
  // Freeing a node releases its children, which may die in turn: they queue up
  // here instead of freeing each other recursively.
  std::vector<TXpNode*> pending{node};
  struct Guard {
    ~Guard() { tPendingDisposal = nullptr; }
  } guard;
  tPendingDisposal = &pending;
  while (!pending.empty()) {
    TXpNode* dying = pending.back();
    pending.pop_back();
    if (dying->fNodeType == DOCUMENT_NODE && !static_cast<TXpDocument*>(dying)->GiveUpTree()) continue;
    delete dying;
  }
}

void XpNoteNodeLeft(TXpNode* node, const void* container) {
  const TXpNode* parent = node->fParentNode;
  if (!parent) return;
  if (container != &parent->fChildNodes && container != parent->Attributes()) return;
  if (!parent->HoldsChildOrAttribute(node)) node->fParentNode = nullptr;
}

void TXpNode::AssignOwnerDocument(TXpDocument* document) {
  TXpDocument* old = fOwnerDocument;
  if (old == document) return;
  // A document is its own owner without holding itself.
  if (document && document != this) ++document->fNodeHolds;
  fOwnerDocument = document;
  if (old && old != this) old->DropNodeHold();
}

TXpNode::Extra& TXpNode::EnsureExtra() {
  if (!fExtra) fExtra = std::make_unique<Extra>();
  return *fExtra;
}

TXpNode::Addresses& TXpNode::EnsureAddresses() {
  Extra& extra = EnsureExtra();
  if (!extra.addresses) extra.addresses = std::make_unique<Addresses>();
  return *extra.addresses;
}

TXpNamedNodeMap& TXpNode::EnsureAttributes() {
  Extra& extra = EnsureExtra();
  if (!extra.attributes) extra.attributes = std::make_unique<TXpNamedNodeMap>();
  return *extra.attributes;
}

TXpNamedNodeMap& TXpNode::EnsureNamespaceList() {
  Extra& extra = EnsureExtra();
  if (!extra.namespaceList) extra.namespaceList = std::make_unique<TXpNamedNodeMap>();
  return *extra.namespaceList;
}

// ---------------------------------------------------------------------------
// Fields

const WideString& TXpNode::NodeName() const { return fName ? fName->Text() : kEmpty; }

void TXpNode::SetNodeName(std::u16string_view name) {
  TXpName* shared = nullptr;
  if (!name.empty()) shared = fOwnerDocument ? fOwnerDocument->InternName(name) : new TXpName(name);
  if (fName) fName->Release();
  fName = shared;
}

const WideString& TXpNode::Defaultnamespace() const {
  const Addresses* addresses = FindAddresses();
  return addresses ? addresses->defaultNamespace : kEmpty;
}

void TXpNode::SetDefaultnamespace(const WideString& uri) {
  if (FindAddresses() || !uri.empty()) EnsureAddresses().defaultNamespace = uri;
}

void TXpNode::SetNodeId(int id) {
  if (fExtra || id != 0) EnsureExtra().nodeId = id;
}

void TXpNode::SetTag(int tag) {
  if (fExtra || tag != 0) EnsureExtra().tag = tag;
}

void TXpNode::SetBaseURI(const WideString& uri) {
  if (FindAddresses() || !uri.empty()) EnsureAddresses().baseURI = uri;
}

std::u16string_view TXpNode::NodeStringType() const {
  switch (fNodeType) {
    case ELEMENT_NODE: return u"ELEMENT_NODE";
    case ATTRIBUTE_NODE: return u"ATTRIBUTE_NODE";
    case TEXT_NODE: return u"TEXT_NODE";
    case CDATA_SECTION_NODE: return u"CDATA_SECTION_NODE";
    case ENTITY_REFERENCE_NODE: return u"ENTITY_REFERENCE_NODE";
    case ENTITY_NODE: return u"ENTITY_NODE";
    case PROCESSING_INSTRUCTION_NODE: return u"PROCESSING_INSTRUCTION_NODE";
    case COMMENT_NODE: return u"COMMENT_NODE";
    case DOCUMENT_NODE: return u"DOCUMENT_NODE";
    case DOCUMENT_TYPE_NODE: return u"DOCUMENT_TYPE_NODE";
    case DOCUMENT_FRAGMENT_NODE: return u"DOCUMENT_FRAGMENT_NODE";
    case NOTATION_NODE: return u"NOTATION_NODE";
    default: return u"UNKNOWN";
  }
}

// ---------------------------------------------------------------------------
// Tree operations

std::size_t TXpNode::ChildIndexOf(const TXpNode* child) const {
  const TXpNodeVector& nodes = fChildNodes.fNodes;
  const std::size_t count = nodes.size();
  // An attribute names its element as parent without being one of its
  // children, so the list may well be empty.
  if (count == 0) return static_cast<std::size_t>(-1);
  std::size_t hint = child->fIndexHint;
  if (hint < count && nodes[hint] == child) return hint;
  // A stale hint is usually off by the few siblings inserted or removed nearby,
  // so the search starts there and spreads outwards.
  if (hint >= count) hint = count - 1;
  for (std::size_t distance = 0; distance <= count; ++distance) {
    bool inRange = false;
    if (hint + distance < count) {
      inRange = true;
      if (nodes[hint + distance] == child) {
        child->fIndexHint = static_cast<std::uint32_t>(hint + distance);
        return hint + distance;
      }
    }
    if (distance <= hint) {
      inRange = true;
      if (nodes[hint - distance] == child) {
        child->fIndexHint = static_cast<std::uint32_t>(hint - distance);
        return hint - distance;
      }
    }
    if (!inRange) break;
  }
  return static_cast<std::size_t>(-1);
}

int TXpNode::IndexInParent() const {
  if (!fParentNode) return -1;
  return static_cast<int>(static_cast<std::ptrdiff_t>(fParentNode->ChildIndexOf(this)));
}

bool TXpNode::HoldsChildOrAttribute(const TXpNode* node) const {
  if (ChildIndexOf(node) != static_cast<std::size_t>(-1)) return true;
  const TXpNamedNodeMap* attributes = Attributes();
  return attributes && attributes->IndexOf(node) >= 0;
}

void TXpNode::CheckInsertion(const TXpNode* newChild, bool fragmentIsCopied) const {
  if (!newChild) XpRaiseDOM(ecInvalidParamErr);
  if (newChild->fOwnerDocument != fOwnerDocument) XpRaiseDOM(ecWrongDocumentErr);
  if (IsLeafType(fNodeType)) XpRaiseDOM(ecHierarchyRequestErr);
  // Nobody would ever give up a child put into a document nobody holds.
  if (fNodeType == DOCUMENT_NODE && fRefCount < 1) XpRaiseDOM(ecNoModificationAllowedErr);
  if (fragmentIsCopied && newChild->fNodeType == DOCUMENT_FRAGMENT_NODE) return;
  if (newChild == this) XpRaiseDOM(ecHierarchyRequestErr);
  // Every ancestor has a child, so a childless node cannot be one.
  if (newChild->HasChildNodes())
    for (const TXpNode* ancestor = fParentNode; ancestor; ancestor = ancestor->fParentNode)
      if (ancestor == newChild) XpRaiseDOM(ecHierarchyRequestErr);
}

void TXpNode::TakeFromPlace() {
  TXpNode* parent = fParentNode;
  const std::size_t index = parent ? parent->ChildIndexOf(this) : static_cast<std::size_t>(-1);
  if (index != static_cast<std::size_t>(-1)) {
    // The list's reference becomes the caller's.
    parent->fChildNodes.fNodes.erase(parent->fChildNodes.fNodes.begin() + static_cast<std::ptrdiff_t>(index));
    fParentNode = nullptr;
    return;
  }
  AddRef();
  // An attribute leaves its element's map, which then no longer counts it.
  if (TXpNamedNodeMap* attributes = parent ? parent->Attributes() : nullptr)
    if (const int at = attributes->IndexOf(this); at >= 0) attributes->Delete(at);
  fParentNode = nullptr;
}

void TXpNode::AttachChild(TXpNode* child) {
  child->AddRef();
  child->fParentNode = this;
  child->fIndexHint = static_cast<std::uint32_t>(fChildNodes.fNodes.size());
  fChildNodes.fNodes.push_back(child);
}

// Inserts before `before` (at the end when null), expanding a fragment into
// deep copies of its children. The copies are all made before the tree changes.
void TXpNode::InsertExpanded(TXpNode* newChild, const TXpNode* before) {
  TXpNodeVector& nodes = fChildNodes.fNodes;
  if (newChild->fNodeType == DOCUMENT_FRAGMENT_NODE) {
    std::vector<TXpRef<TXpNode>> copies;
    for (const TXpNode* child : newChild->fChildNodes.fNodes)
      if (TXpRef<TXpNode> copy = child->CloneNode(true)) copies.push_back(std::move(copy));
    std::size_t index = before ? ChildIndexOf(before) : nodes.size();
    for (TXpRef<TXpNode>& copy : copies) {
      copy->fParentNode = this;
      copy->fIndexHint = static_cast<std::uint32_t>(index);
      nodes.insert(nodes.begin() + static_cast<std::ptrdiff_t>(index++), copy.Detach());
    }
    return;
  }
  // A moved node keeps its one reference: the old list's becomes the new one's.
  // Its leaving may shift the place it goes to, so that is looked up after.
  newChild->TakeFromPlace();
  const std::size_t index = before ? ChildIndexOf(before) : nodes.size();
  newChild->fParentNode = this;
  newChild->fIndexHint = static_cast<std::uint32_t>(index);
  // Most elements have a few children: one allocation instead of three.
  if (nodes.capacity() == 0) nodes.reserve(4);
  nodes.insert(nodes.begin() + static_cast<std::ptrdiff_t>(index), newChild);
}

void TXpNode::AppendChild(TXpNode* newChild) {
  CheckInsertion(newChild, true);
  InsertExpanded(newChild, nullptr);
}

void TXpNode::InsertBefore(TXpNode* newChild, TXpNode* refChild) {
  CheckInsertion(newChild, true);
  if (refChild && ChildIndexOf(refChild) == static_cast<std::size_t>(-1)) XpRaiseDOM(ecNotFoundErr);
  if (newChild == refChild) return;
  InsertExpanded(newChild, refChild);
}

TXpRef<TXpNode> TXpNode::RemoveChild(TXpNode* oldChild) {
  if (!oldChild) XpRaiseDOM(ecNotFoundErr);
  const std::size_t index = ChildIndexOf(oldChild);
  if (index == static_cast<std::size_t>(-1)) XpRaiseDOM(ecNotFoundErr);
  fChildNodes.fNodes.erase(fChildNodes.fNodes.begin() + static_cast<std::ptrdiff_t>(index));
  oldChild->fParentNode = nullptr;
  return TXpRef<TXpNode>::Adopt(oldChild);
}

TXpRef<TXpNode> TXpNode::ReplaceChild(TXpNode* newChild, TXpNode* oldChild) {
  // A fragment goes in whole here, so it must not end up below itself.
  CheckInsertion(newChild, false);
  if (!oldChild || ChildIndexOf(oldChild) == static_cast<std::size_t>(-1)) XpRaiseDOM(ecNotFoundErr);
  if (newChild == oldChild) return TXpRef<TXpNode>::Share(oldChild);
  // The new node leaves its old place first, which may be in this very list.
  newChild->TakeFromPlace();
  const std::size_t index = ChildIndexOf(oldChild);
  fChildNodes.fNodes[index] = newChild;
  newChild->fParentNode = this;
  newChild->fIndexHint = static_cast<std::uint32_t>(index);
  oldChild->fParentNode = nullptr;
  return TXpRef<TXpNode>::Adopt(oldChild);
}

void TXpNode::RemoveAll() {
  TXpNodeVector children;
  children.swap(fChildNodes.fNodes);
  for (TXpNode* child : children) {
    if (child->fParentNode == this) child->fParentNode = nullptr;
    child->Release();
  }
}

void TXpNode::Normalize(bool addSpace) {
  auto mergeTexts = [addSpace](TXpNode* parent) {
    TXpNodeVector& nodes = parent->fChildNodes.fNodes;
    std::size_t kept = 0;
    TXpNode* run = nullptr;  // the first text node of the current run
    std::vector<TXpNode*> merged;
    for (TXpNode* child : nodes) {
      if (child->fNodeType == TEXT_NODE && run) {
        if (addSpace) run->fNodeValue += u' ';
        run->fNodeValue += child->fNodeValue;
        merged.push_back(child);
        continue;
      }
      run = child->fNodeType == TEXT_NODE ? child : nullptr;
      child->fIndexHint = static_cast<std::uint32_t>(kept);
      nodes[kept++] = child;
    }
    if (merged.empty()) return;
    nodes.resize(kept);
    for (TXpNode* child : merged) {
      child->fParentNode = nullptr;
      child->Release();
    }
  };
  mergeTexts(this);
  XpWalkDescendants(this, [&](TXpNode* node) {
    mergeTexts(node);
    return TXpWalkStep::Continue;
  });
}

TXpRef<TXpNode> TXpNode::CloneSelf(bool) const { return nullptr; }

TXpRef<TXpNode> TXpNode::CloneNode(bool deep) const {
  TXpRef<TXpNode> copy = CloneSelf(deep);
  if (copy && deep && fNodeType != CDATA_SECTION_NODE) XpCloneChildren(this, copy);
  return copy;
}

void XpCloneChildren(const TXpNode* source, TXpNode* target) {
  std::vector<std::pair<const TXpNode*, TXpNode*>> pending{{source, target}};
  while (!pending.empty()) {
    auto [from, to] = pending.back();
    pending.pop_back();
    for (const TXpNode* child : from->ChildNodes()->Nodes()) {
      TXpRef<TXpNode> copy = child->CloneSelf(true);
      if (!copy) continue;
      TXpNode* raw = copy.get();
      to->AttachChild(raw);
      if (child->HasChildNodes() && child->NodeType() != CDATA_SECTION_NODE) pending.emplace_back(child, raw);
    }
  }
}

void TXpNode::CopyCommonTo(TXpNode& copy) const {
  copy.fNodeType = fNodeType;
  copy.AssignOwnerDocument(fOwnerDocument);
  if (fName) {
    fName->AddRef();
    if (copy.fName) copy.fName->Release();
    copy.fName = fName;
  }
  copy.fNodeValue = fNodeValue;
  copy.SetNodeId(NodeId());
  copy.SetDefaultnamespace(Defaultnamespace());
}

void TXpNode::SetOwnerDocument(TXpDocument* document) {
  AssignOwnerDocument(document);
  if (!fExtra) return;
  if (fExtra->attributes)
    for (TXpNode* attribute : fExtra->attributes->Nodes()) attribute->AssignOwnerDocument(document);
  if (fExtra->namespaceList)
    for (TXpNode* declaration : fExtra->namespaceList->Nodes()) declaration->AssignOwnerDocument(document);
}

void TXpNode::ForceOwnerDocument(TXpNode* node) const {
  if (!node) return;
  TXpDocument* document = fOwnerDocument;
  node->SetOwnerDocument(document);
  XpWalkDescendants(node, [document](TXpNode* descendant) {
    descendant->SetOwnerDocument(document);
    return TXpWalkStep::Continue;
  });
}

// ---------------------------------------------------------------------------
// Queries

bool TXpNode::HasAttributes() const { return Attributes() && Attributes()->Length() > 0; }

bool TXpNode::NameMatches(std::u16string_view name) const {
  const WideString& own = NodeName();
  if (own == name) return true;
  return fOwnerDocument && fOwnerDocument->IgnoreCase() && XpSameAsciiText(own, name);
}

bool TXpNode::NameFilter(const TXpNode* node, const std::vector<WideString>& names) {
  if (names.empty()) throw std::out_of_range("NameFilter without a name");
  return node->NameMatches(names.front());
}

bool TXpNode::IsNthOfName(int n) const {
  if (n < 1 || !fParentNode) return false;
  int count = 0;
  for (const TXpNode* sibling : fParentNode->fChildNodes.fNodes) {
    if (sibling == this) return count + 1 == n;
    if (sibling->NameMatches(NodeName()) && ++count >= n) return false;
  }
  return false;
}

bool TXpNode::IsSupported(const WideString& feature, const WideString& version) const {
  return XpSameAsciiText(feature, u"XML") && (version == u"1.0" || version == u"2.0");
}

WideString TXpNode::ResolveNSPrefix(const WideString& prefix) const {
  for (const TXpNode* node = this; node && (node->fNodeType == ELEMENT_NODE || node->fNodeType == ATTRIBUTE_NODE);
       node = node->fParentNode) {
    if (prefix.empty()) {
      if (!node->Defaultnamespace().empty()) return node->Defaultnamespace();
    } else if (const TXpNamedNodeMap* declarations = node->NamespaceList()) {
      if (const TXpNode* declaration = declarations->GetNamedItem(prefix)) return declaration->NodeValue();
    }
  }
  return {};
}

namespace {

// Adds node when it has the type (0 any) and, when a name is given, matches it;
// for type 2 its matching attributes instead.
void GatherOne(TXpNodeList& list, const TXpNode* node, int type, const WideString* name) {
  if (type == ATTRIBUTE_NODE) {
    if (const TXpNamedNodeMap* attributes = node->Attributes())
      for (TXpNode* attribute : attributes->Nodes())
        if (!name || attribute->NameMatches(*name)) list.Add(attribute);
    return;
  }
  if ((type == 0 || node->NodeType() == type) && (!name || node->NameMatches(*name)))
    list.Add(const_cast<TXpNode*>(node));
}

}  // namespace

std::unique_ptr<TXpNodeList> TXpNode::GetChildNodesByNodeType(int type) const {
  auto list = std::make_unique<TXpNodeList>();
  for (const TXpNode* child : fChildNodes.fNodes) GatherOne(*list, child, type, nullptr);
  return list;
}

std::unique_ptr<TXpNodeList> TXpNode::GetNodesByNodeType(int type) const {
  auto list = std::make_unique<TXpNodeList>();
  XpWalkDescendants(this, [&](TXpNode* node) {
    GatherOne(*list, node, type, nullptr);
    return TXpWalkStep::Continue;
  });
  return list;
}

std::unique_ptr<TXpNodeList> TXpNode::GetChildrenByName(int type, const WideString& name) const {
  auto list = std::make_unique<TXpNodeList>();
  for (const TXpNode* child : fChildNodes.fNodes) GatherOne(*list, child, type, &name);
  return list;
}

void TXpNode::GatherDescendants(TXpNodeList& list, TXpNode* start, int type, const WideString& name) {
  if (!start) return;
  if (!start->fParentNode) {
    // A node at the top has no following siblings.
    GatherOne(list, start, type, &name);
    XpWalkDescendants(start, [&](TXpNode* node) {
      GatherOne(list, node, type, &name);
      return TXpWalkStep::Continue;
    });
    return;
  }
  const int from = start->IndexInParent();
  if (from < 0) return;
  XpWalkDescendants(
      start->fParentNode,
      [&](TXpNode* node) {
        GatherOne(list, node, type, &name);
        return TXpWalkStep::Continue;
      },
      static_cast<std::size_t>(from));
}

std::unique_ptr<TXpNodeList> TXpNode::GetDescendantsByType(int type, const WideString& name) const {
  auto list = std::make_unique<TXpNodeList>();
  GatherDescendants(*list, FirstChild(), type, name);
  return list;
}

// ---------------------------------------------------------------------------
// Navigation

TXpNode* TXpNode::NextSibling() const {
  if (!fParentNode) return nullptr;
  const std::size_t index = fParentNode->ChildIndexOf(this);
  const TXpNodeVector& nodes = fParentNode->fChildNodes.fNodes;
  if (index == static_cast<std::size_t>(-1) || index + 1 >= nodes.size()) return nullptr;
  TXpNode* next = nodes[index + 1];
  next->fIndexHint = static_cast<std::uint32_t>(index + 1);
  return next;
}

TXpNode* TXpNode::PreviousSibling() const {
  if (!fParentNode) return nullptr;
  const std::size_t index = fParentNode->ChildIndexOf(this);
  if (index == static_cast<std::size_t>(-1) || index == 0) return nullptr;
  TXpNode* previous = fParentNode->fChildNodes.fNodes[index - 1];
  previous->fIndexHint = static_cast<std::uint32_t>(index - 1);
  return previous;
}

TXpNode* TXpNode::LastDescendantOrSelf() const {
  const TXpNode* node = this;
  while (node->HasChildNodes()) node = node->LastChild();
  return const_cast<TXpNode*>(node);
}

TXpNode* TXpNode::NextInDocument() const {
  if (TXpNode* first = FirstChild()) return first;
  for (const TXpNode* node = this; node; node = node->fParentNode)
    if (TXpNode* next = node->NextSibling()) return next;
  return nullptr;
}

TXpNode* TXpNode::PreviousInDocument() const {
  if (TXpNode* previous = PreviousSibling()) return previous->LastDescendantOrSelf();
  return fParentNode;
}

namespace {

// The 1-based positions from the top of the tree down to the node; none when
// the node or an ancestor has no place among its parent's children (an
// attribute, or what lies below one).
std::vector<int> LevelPositions(const TXpNode* node) {
  std::vector<int> positions;
  for (; node->ParentNode(); node = node->ParentNode()) {
    const int index = node->IndexInParent();
    if (index < 0) return {};
    positions.push_back(index + 1);
  }
  std::reverse(positions.begin(), positions.end());
  return positions;
}

}  // namespace

WideString TXpNode::LevelCode() const {
  WideString code;
  for (int position : LevelPositions(this)) {
    if (!code.empty()) code += u'.';
    code += XpUtf8ToWide(numtext::FormatInt(position));
  }
  return code;
}

bool TXpNode::IsAfter(const TXpNode* node) const {
  if (!node || node == this) return false;
  const std::vector<int> mine = LevelPositions(this);
  const std::vector<int> theirs = LevelPositions(node);
  if (mine.empty() || theirs.empty()) return false;
  for (std::size_t i = 0;; ++i) {
    if (i == mine.size()) return false;   // this is an ancestor of node
    if (i == theirs.size()) return true;  // this is a descendant of node
    if (theirs[i] != mine[i]) return theirs[i] < mine[i];
  }
}

WideString TXpNode::LocationPath() const {
  // Each step: the node and its position among its parent's children, 0 for an
  // attribute of that parent.
  std::vector<std::pair<const TXpNode*, int>> chain;
  const TXpNode* top = this;
  for (; top->fParentNode; top = top->fParentNode) {
    const int index = top->IndexInParent();
    if (index >= 0) {
      chain.emplace_back(top, index + 1);
    } else if (const TXpNamedNodeMap* attributes = top->fParentNode->Attributes();
               attributes && attributes->IndexOf(top) >= 0) {
      chain.emplace_back(top, 0);
    } else {
      break;  // not held by its parent: the top of a tree of its own
    }
  }
  WideString path = top == this ? NodeName() : top->LocationPath();
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += u'/';
    if (it->second == 0) {
      path += u'@';
      path += it->first->NodeName();
      continue;
    }
    path += it->first->NodeName();
    path += u'[';
    path += XpUtf8ToWide(numtext::FormatInt(it->second));
    path += u']';
  }
  return path;
}

WideString TXpNode::LocalName() const {
  const WideString& name = NodeName();
  const std::size_t colon = name.find(u':');
  return colon == WideString::npos ? name : name.substr(colon + 1);
}

WideString TXpNode::Prefix() const {
  const WideString& name = NodeName();
  const std::size_t colon = name.find(u':');
  return colon == WideString::npos ? WideString() : name.substr(0, colon);
}

WideString TXpNode::NamespaceURI() const { return ResolveNSPrefix(Prefix()); }

WideString TXpNode::BaseURI() const {
  if (const Addresses* addresses = FindAddresses(); addresses && !addresses->baseURI.empty())
    return addresses->baseURI;
  return fOwnerDocument && fOwnerDocument != this ? fOwnerDocument->BaseURI() : WideString();
}

WideString XpGatherText(const TXpNode* node, bool addSpace) {
  WideString text;
  auto take = [&](const TXpNode* piece) {
    if (piece->NodeType() != TEXT_NODE && piece->NodeType() != CDATA_SECTION_NODE) return;
    if (piece->NodeValue().empty()) return;
    if (addSpace && !text.empty()) text += u' ';
    text += piece->NodeValue();
  };
  take(node);
  XpWalkDescendants(node, [&](TXpNode* descendant) {
    take(descendant);
    return TXpWalkStep::Continue;
  });
  return text;
}

WideString TXpNode::Text() const { return XpGatherText(this, true); }

WideString TXpNode::StringValue() const { return XpGatherText(this, false); }

WideString TXpNode::XmlDocument() const { return XpWriteNode(this); }

void TXpNode::WriteXml(WideString&, int) const {}
