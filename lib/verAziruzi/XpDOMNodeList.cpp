#include "lib/verAziruzi/XpDOMNodeList.h"

#include <algorithm>
#include <numeric>

#include "lib/verAziruzi/XpDOMDocument.h"
#include "lib/verAziruzi/XpDOMElement.h"
#include "lib/verAziruzi/XpDOMNode.h"
#include "lib/verAziruzi/XpDOMWriter.h"

namespace {

TXpNode* ItemOf(const TXpNodeVector& nodes, int index) {
  return index >= 0 && static_cast<std::size_t>(index) < nodes.size() ? nodes[static_cast<std::size_t>(index)]
                                                                        : nullptr;
}

int IndexIn(const TXpNodeVector& nodes, const TXpNode* node) {
  const auto it = std::find(nodes.begin(), nodes.end(), node);
  return it == nodes.end() ? -1 : static_cast<int>(it - nodes.begin());
}

void InsertInto(TXpNodeVector& nodes, int index, TXpNode* node) {
  if (!node) XpAssertFailed("a node list takes no null node");
  if (index < 0 || static_cast<std::size_t>(index) > nodes.size()) XpAssertFailed("list index out of bounds");
  node->AddRef();
  if (nodes.capacity() == 0) nodes.reserve(4);
  nodes.insert(nodes.begin() + index, node);
}

// Every removal below tells the node it has left `container`: a node taken out
// of its parent's child list or attribute map through the container loses its
// parent, as one taken out through the parent does.

void DeleteFrom(TXpNodeVector& nodes, int index, const void* container) {
  if (index < 0) XpAssertFailed("list index out of bounds");
  if (static_cast<std::size_t>(index) >= nodes.size()) return;
  TXpNode* node = nodes[static_cast<std::size_t>(index)];
  nodes.erase(nodes.begin() + index);
  XpNoteNodeLeft(node, container);
  node->Release();
}

// The new node gains its reference before the old one loses its own, so
// putting a node in its own place never frees it.
void ReplaceIn(TXpNodeVector& nodes, int index, TXpNode* node, const void* container) {
  if (!node) XpAssertFailed("a node list takes no null node");
  node->AddRef();
  TXpNode* old = std::exchange(nodes[static_cast<std::size_t>(index)], node);
  XpNoteNodeLeft(old, container);
  old->Release();
}

void EmptyOut(TXpNodeVector& nodes, const void* container) {
  TXpNodeVector released;
  released.swap(nodes);
  for (TXpNode* node : released) {
    if (container) XpNoteNodeLeft(node, container);
    node->Release();
  }
}

// The node of a removal by name, out of the map with its reference for the caller.
TXpRef<TXpNode> TakeOut(TXpNodeVector& nodes, std::size_t index, const void* container) {
  TXpNode* node = nodes[index];
  nodes.erase(nodes.begin() + static_cast<std::ptrdiff_t>(index));
  XpNoteNodeLeft(node, container);
  return TXpRef<TXpNode>::Adopt(node);
}

}  // namespace

// ---------------------------------------------------------------------------
// TXpNodeList

// A child list dies with its node, which has let its children go already.
TXpNodeList::~TXpNodeList() { EmptyOut(fNodes, nullptr); }

TXpNode* TXpNodeList::Item(int index) const { return ItemOf(fNodes, index); }

int TXpNodeList::IndexOf(const TXpNode* node) const { return IndexIn(fNodes, node); }

void TXpNodeList::Add(TXpNode* node) { InsertInto(fNodes, Length(), node); }

void TXpNodeList::Insert(int index, TXpNode* node) { InsertInto(fNodes, index, node); }

void TXpNodeList::Delete(int index) { DeleteFrom(fNodes, index, this); }

void TXpNodeList::Replace(int index, TXpNode* node) {
  if (index < 0) XpAssertFailed("list index out of bounds");
  if (index < Length()) ReplaceIn(fNodes, index, node, this);
}

bool TXpNodeList::Exchange(int source, int dest) {
  if (source < 0 || dest < 0) XpAssertFailed("list index out of bounds");
  if (source >= Length() || dest >= Length()) return false;
  std::swap(fNodes[static_cast<std::size_t>(source)], fNodes[static_cast<std::size_t>(dest)]);
  return true;
}

bool TXpNodeList::Move(int source, int dest) {
  if (source < 0 || dest < 0) XpAssertFailed("list index out of bounds");
  if (source >= Length() || dest >= Length()) return false;
  TXpNode* node = fNodes[static_cast<std::size_t>(source)];
  fNodes.erase(fNodes.begin() + source);
  fNodes.insert(fNodes.begin() + dest, node);
  return true;
}

void TXpNodeList::Empty() { EmptyOut(fNodes, this); }

void TXpNodeList::CopyList(const TXpNodeList* list) {
  if (!list || list == this) {
    if (list) {
      const TXpNodeVector copy = fNodes;
      for (TXpNode* node : copy) Add(node);
    }
    return;
  }
  for (TXpNode* node : list->fNodes) Add(node);
}

void TXpNodeList::CopyNamedNodeMap(const TXpNamedNodeMap* map) {
  if (!map) return;
  for (TXpNode* node : map->Nodes()) Add(node);
}

void TXpNodeList::Sort(const WideString& attribute, int order) {
  if (fNodes.size() < 2) {
    return;
  }
  std::vector<WideString> keys;
  keys.reserve(fNodes.size());
  for (const TXpNode* node : fNodes) {
    if (attribute.empty())
      keys.push_back(node->Text());
    else if (node->NodeType() == ELEMENT_NODE)
      keys.push_back(static_cast<const TXpElement*>(node)->GetAttribute(attribute));
    else
      keys.emplace_back();
  }
  std::vector<std::size_t> order_(fNodes.size());
  std::iota(order_.begin(), order_.end(), std::size_t{0});
  // Code-unit order: a proper prefix sorts first.
  std::sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  TXpNodeVector sorted;
  sorted.reserve(fNodes.size());
  for (std::size_t index : order_) sorted.push_back(fNodes[index]);
  if (order == 1) std::reverse(sorted.begin(), sorted.end());
  fNodes.swap(sorted);
}

WideString TXpNodeList::XmlDocument() const {
  WideString text;
  for (const TXpNode* node : fNodes) text += node->XmlDocument();
  return text;
}

// ---------------------------------------------------------------------------
// TXpNamedNodeMap

TXpNamedNodeMap::~TXpNamedNodeMap() { EmptyOut(fNodes, nullptr); }

TXpNode* TXpNamedNodeMap::Item(int index) const { return ItemOf(fNodes, index); }

int TXpNamedNodeMap::IndexOf(const TXpNode* node) const { return IndexIn(fNodes, node); }

void TXpNamedNodeMap::Add(TXpNode* node) { InsertInto(fNodes, Length(), node); }

void TXpNamedNodeMap::Insert(int index, TXpNode* node) { InsertInto(fNodes, index, node); }

void TXpNamedNodeMap::Delete(int index) { DeleteFrom(fNodes, index, this); }

void TXpNamedNodeMap::Replace(int index, TXpNode* node) {
  if (index < 0 || index >= Length()) XpAssertFailed("map index out of bounds");
  ReplaceIn(fNodes, index, node, this);
}

void TXpNamedNodeMap::Empty() { EmptyOut(fNodes, this); }

TXpNode* TXpNamedNodeMap::GetNamedItem(const WideString& name) const {
  if (name == u"*") return fNodes.empty() ? nullptr : fNodes.front();
  for (TXpNode* node : fNodes)
    if (node->NameMatches(name)) return node;
  return nullptr;
}

TXpRef<TXpNode> TXpNamedNodeMap::GetNamedItemNS(const WideString& namespaceURI, const WideString& localName) const {
  if (namespaceURI.empty()) {
    for (TXpNode* node : fNodes)
      if (node->NameMatches(localName)) return TXpRef<TXpNode>::Share(node);
    return nullptr;
  }
  if (fNodes.empty()) return nullptr;
  const TXpDocument* document = fNodes.front()->OwnerDocument();
  const bool ignoreCase = document && document->IgnoreCase();
  for (TXpNode* node : fNodes) {
    const WideString uri = node->NamespaceURI();
    const WideString local = node->LocalName();
    if ((uri == namespaceURI && local == localName) ||
        (ignoreCase && XpSameAsciiText(uri, namespaceURI) && XpSameAsciiText(local, localName)))
      return TXpRef<TXpNode>::Share(node);
  }
  return nullptr;
}

TXpRef<TXpNode> TXpNamedNodeMap::RemoveNamedItem(const WideString& name) {
  for (std::size_t i = 0; i < fNodes.size(); ++i)
    if (fNodes[i]->NameMatches(name)) return TakeOut(fNodes, i, this);
  return nullptr;
}

TXpRef<TXpNode> TXpNamedNodeMap::RemoveNamedItemNS(const WideString& namespaceURI, const WideString& name) {
  if (namespaceURI.empty()) return nullptr;
  for (std::size_t i = 0; i < fNodes.size(); ++i) {
    TXpNode* node = fNodes[i];
    if ((node->NamespaceURI() == namespaceURI && node->LocalName() == name) || node->NameMatches(name))
      return TakeOut(fNodes, i, this);
  }
  return nullptr;
}

TXpRef<TXpNode> TXpNamedNodeMap::SetNamedItem(TXpNode* node) {
  if (!node) XpAssertFailed("a map takes no null node");
  // Held across the removal, in case the node removed is this very one.
  TXpRef<TXpNode> keep = TXpRef<TXpNode>::Share(node);
  TXpRef<TXpNode> removed = RemoveNamedItem(node->NodeName());
  Add(node);
  return removed;
}

void TXpNamedNodeMap::SetOwnerDocument(TXpDocument* document) {
  for (TXpNode* node : fNodes) node->SetOwnerDocument(document);
}

std::unique_ptr<TXpNamedNodeMap> TXpNamedNodeMap::Clone() const {
  auto copy = std::make_unique<TXpNamedNodeMap>();
  for (const TXpNode* node : fNodes)
    if (TXpRef<TXpNode> clone = node->CloneNode(true)) copy->Add(clone);
  return copy;
}
