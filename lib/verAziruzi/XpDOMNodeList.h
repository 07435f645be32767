#pragma once

// The two containers of the document tree: an ordered node list (every node's
// child list, search results, token lists) and a named node map (an element's
// attributes and namespace declarations). Both hold one counted reference to
// every node they contain. They never set a node's parent; a node they let go
// of that was its parent's child or attribute through them no longer names
// that parent.

#include <memory>
#include <utility>
#include <vector>

#include "lib/verAziruzi/XpBase.h"

class TXpNode;
class TXpNamedNodeMap;
class TXpDocument;

// A counted reference to a node: what an operation answers when it hands the
// caller a reference of its own. Letting the handle go releases it; a plain
// pointer is always borrowed.
template <class T>
class TXpRef {
public:
  TXpRef() = default;
  TXpRef(std::nullptr_t) {}
  // Takes over a reference the caller already holds.
  static TXpRef Adopt(T* node) {
    TXpRef ref;
    ref.fNode = node;
    return ref;
  }
  // The same reference, seen as a derived class the caller knows it has.
  template <class U>
  static TXpRef Downcast(TXpRef<U>&& other) {
    return Adopt(static_cast<T*>(other.Detach()));
  }
  // Adds a reference of its own.
  static TXpRef Share(T* node) {
    if (node) node->AddRef();
    return Adopt(node);
  }
  TXpRef(const TXpRef& other) : fNode(other.fNode) {
    if (fNode) fNode->AddRef();
  }
  TXpRef(TXpRef&& other) noexcept : fNode(std::exchange(other.fNode, nullptr)) {}
  template <class U>
  TXpRef(TXpRef<U>&& other) noexcept : fNode(other.Detach()) {}
  TXpRef& operator=(TXpRef other) noexcept {
    std::swap(fNode, other.fNode);
    return *this;
  }
  ~TXpRef() { Reset(); }

  T* get() const { return fNode; }
  T* operator->() const { return fNode; }
  T& operator*() const { return *fNode; }
  operator T*() const { return fNode; }
  // Hands the reference to the caller, who releases it.
  T* Detach() { return std::exchange(fNode, nullptr); }
  void Reset() {
    if (T* node = std::exchange(fNode, nullptr)) node->Release();
  }

private:
  T* fNode = nullptr;
};

// The pool the tree's small objects come from (see TXpNode).
void* XpNodePoolAllocate(std::size_t size);
void XpNodePoolFree(void* memory, std::size_t size) noexcept;

// Puts the small arrays of the lists in the same pool as the nodes.
template <class T>
struct TXpPoolAllocator {
  using value_type = T;
  TXpPoolAllocator() = default;
  template <class U>
  TXpPoolAllocator(const TXpPoolAllocator<U>&) {}
  T* allocate(std::size_t count) { return static_cast<T*>(XpNodePoolAllocate(count * sizeof(T))); }
  void deallocate(T* memory, std::size_t count) noexcept { XpNodePoolFree(memory, count * sizeof(T)); }
  bool operator==(const TXpPoolAllocator&) const { return true; }
};

// The nodes of a list or map, in order.
using TXpNodeVector = std::vector<TXpNode*, TXpPoolAllocator<TXpNode*>>;

class TXpNodeList {
public:
  TXpNodeList() = default;
  TXpNodeList(const TXpNodeList&) = delete;
  TXpNodeList& operator=(const TXpNodeList&) = delete;
  ~TXpNodeList();  // releases every node

  int Length() const { return static_cast<int>(fNodes.size()); }
  // Null outside 0..Length-1.
  TXpNode* Item(int index) const;
  TXpNode* Last() const { return fNodes.empty() ? nullptr : fNodes.back(); }
  int IndexOf(const TXpNode* node) const;

  void Add(TXpNode* node);
  // Index 0..Length; anything else is a caller error (EAssertionFailed).
  void Insert(int index, TXpNode* node);
  // Nothing at or beyond Length; a negative index is a caller error.
  void Delete(int index);
  void Replace(int index, TXpNode* node);
  // False, changing nothing, unless both indexes are below Length.
  bool Exchange(int source, int dest);
  bool Move(int source, int dest);
  void Empty();
  void CopyList(const TXpNodeList* list);
  void CopyNamedNodeMap(const TXpNamedNodeMap* map);
  // By each node's text, or by the value of an attribute; order 1 is descending.
  // Each key is computed once; equal keys keep no particular order.
  void Sort(const WideString& attribute, int order);
  // The markup of every node, run together.
  WideString XmlDocument() const;

  int Tag() const { return fTag; }
  void SetTag(int tag) { fTag = tag; }

  // The nodes themselves, for the library's own fast walks.
  const TXpNodeVector& Nodes() const { return fNodes; }

private:
  friend class TXpNode;
  TXpNodeVector fNodes;
  int fTag = 0;
};

class TXpNamedNodeMap {
public:
  static void* operator new(std::size_t size) { return XpNodePoolAllocate(size); }
  static void operator delete(void* memory, std::size_t size) noexcept { XpNodePoolFree(memory, size); }

  TXpNamedNodeMap() = default;
  TXpNamedNodeMap(const TXpNamedNodeMap&) = delete;
  TXpNamedNodeMap& operator=(const TXpNamedNodeMap&) = delete;
  ~TXpNamedNodeMap();

  int Length() const { return static_cast<int>(fNodes.size()); }
  TXpNode* Item(int index) const;
  int IndexOf(const TXpNode* node) const;
  void Add(TXpNode* node);
  void Insert(int index, TXpNode* node);
  void Delete(int index);
  // Index 0..Length-1; anything else is a caller error.
  void Replace(int index, TXpNode* node);
  void Empty();

  // "*" answers the first node. No reference is added.
  TXpNode* GetNamedItem(const WideString& name) const;
  // The answer carries a reference of the caller's own.
  TXpRef<TXpNode> GetNamedItemNS(const WideString& namespaceURI, const WideString& localName) const;
  // The removed node, with a reference for the caller; null when none.
  TXpRef<TXpNode> RemoveNamedItem(const WideString& name);
  // An empty namespace URI finds nothing.
  TXpRef<TXpNode> RemoveNamedItemNS(const WideString& namespaceURI, const WideString& name);
  // Removes the node of the same name, appends this one, answers the removed one.
  TXpRef<TXpNode> SetNamedItem(TXpNode* node);
  void SetOwnerDocument(TXpDocument* document);
  // Deep clones of every node, held by the new map alone.
  std::unique_ptr<TXpNamedNodeMap> Clone() const;

  const TXpNodeVector& Nodes() const { return fNodes; }

private:
  TXpNodeVector fNodes;
};
