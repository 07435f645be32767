#include "lib/verAziruzi/XpHash.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// TXpPointerList

namespace {
constexpr int kInitialCapacity = 64;
}

TXpPointerList::TXpPointerList() : fList(kInitialCapacity, nullptr) {}

void TXpPointerList::Grow() {
  SetCapacity(Capacity() == 0 ? kInitialCapacity : 2 * Capacity());
}

bool TXpPointerList::Append(void* ptr) {
  if (fCount == Capacity()) Grow();
  fList[static_cast<std::size_t>(fCount++)] = ptr;
  return true;
}

void TXpPointerList::Insert(void* ptr, int index) {
  if (index < 0 || index > fCount) return;
  if (fCount == Capacity()) Grow();
  const auto at = fList.begin() + index;
  std::copy_backward(at, fList.begin() + fCount, fList.begin() + fCount + 1);
  *at = ptr;
  ++fCount;
}

void TXpPointerList::RemoveAt(int index) {
  if (index < 0 || index >= fCount) return;
  std::copy(fList.begin() + index + 1, fList.begin() + fCount, fList.begin() + index);
  fList[static_cast<std::size_t>(--fCount)] = nullptr;
}

void* TXpPointerList::GetPointer(int index) const {
  if (index < 0 || index >= fCount) return nullptr;
  return fList[static_cast<std::size_t>(index)];
}

void TXpPointerList::SetPointer(int index, void* ptr) {
  if (index < 0 || index >= fCount) return;
  fList[static_cast<std::size_t>(index)] = ptr;
}

void TXpPointerList::Empty() {
  std::fill(fList.begin(), fList.end(), nullptr);
  fCount = 0;
}

void TXpPointerList::Assign(const TXpPointerList& source) {
  if (&source == this) return;  // emptying first would lose the entries to copy
  Empty();
  for (int i = 0; i < source.fCount; ++i) Append(source.fList[static_cast<std::size_t>(i)]);
}

void TXpPointerList::SetCount(int count) {
  count = std::max(count, 0);
  if (count > Capacity()) SetCapacity(count);
  // The slots that fall out of use are cleared, so a later growth of the count
  // shows nulls rather than entries the list no longer holds.
  if (count < fCount) std::fill(fList.begin() + count, fList.begin() + fCount, nullptr);
  fCount = count;
}

void TXpPointerList::SetCapacity(int capacity) {
  if (capacity < fCount || capacity == Capacity()) return;
  std::vector<void*> list(static_cast<std::size_t>(capacity), nullptr);
  std::copy(fList.begin(), fList.begin() + fCount, list.begin());
  fList.swap(list);
}

// ---------------------------------------------------------------------------
// TXpStrHash

std::uint32_t XpElfHash(const WideString& key) {
  std::uint32_t h = 0;
  auto add = [&h](std::uint8_t b) {
    h = (h << 4) + b;
    const std::uint32_t g = h & 0xF0000000u;
    if (g != 0) h ^= g >> 24;
    h &= ~g;
  };
  for (const char16_t unit : key) {
    add(static_cast<std::uint8_t>(unit & 0xFF));
    add(static_cast<std::uint8_t>(unit >> 8));
  }
  return h;
}

TXpStrHash::TXpStrHash(int initialSizeIndex)
    : fHashSizeIndex(std::clamp(initialSizeIndex, 0, kSizeCount - 1)),
      fMinSizeIndex(fHashSizeIndex),
      fTable(static_cast<std::size_t>(kSizes[fHashSizeIndex])) {}

TXpStrHash::~TXpStrHash() { Clear(); }

bool TXpStrHash::KeysEqual(const WideString& a, const WideString& b) const { return a == b; }

std::unique_ptr<TXpStrHashNode> TXpStrHash::CreateNode() const { return std::make_unique<TXpStrHashNode>(); }

int TXpStrHash::HashKey(const WideString& key, int bucketCount) const {
  if (key.empty()) return 0;
  return static_cast<int>(XpElfHash(key) % static_cast<std::uint32_t>(bucketCount));
}

const TXpStrHashNode* TXpStrHash::Find(const WideString& key, int bucket) const {
  for (const TXpStrHashNode* node = fTable[static_cast<std::size_t>(bucket)].get(); node; node = node->FNext.get())
    if (KeysEqual(node->FKey, key)) return node;
  return nullptr;
}

void TXpStrHash::Dispose(void* value) {
  if (fOnDisposeData) fOnDisposeData(*this, value);
}

bool TXpStrHash::Add(const WideString& key, void* value) {
  const int bucket = HashKey(key, BucketCount());
  if (Find(key, bucket)) return false;
  std::unique_ptr<TXpStrHashNode> node = CreateNode();
  node->FKey = key;
  node->FValue = value;
  node->FNext = std::move(fTable[static_cast<std::size_t>(bucket)]);
  fTable[static_cast<std::size_t>(bucket)] = std::move(node);
  ++fCount;
  if (static_cast<std::int64_t>(fCount) > static_cast<std::int64_t>(BucketCount()) * kLoadFactor) Resize(true);
  return true;
}

bool TXpStrHash::Exists(const WideString& key) const { return Find(key, HashKey(key, BucketCount())) != nullptr; }

void* TXpStrHash::Get(const WideString& key) const {
  const TXpStrHashNode* node = Find(key, HashKey(key, BucketCount()));
  return node ? node->FValue : nullptr;
}

bool TXpStrHash::ExistsWithHash(const WideString& key, std::uint32_t hash) const {
  return Find(key, static_cast<int>(hash % static_cast<std::uint32_t>(BucketCount()))) != nullptr;
}

bool TXpStrHash::Remove(const WideString& key) {
  std::unique_ptr<TXpStrHashNode>* link = &fTable[static_cast<std::size_t>(HashKey(key, BucketCount()))];
  while (*link && !KeysEqual((*link)->FKey, key)) link = &(*link)->FNext;
  if (!*link) return false;
  Dispose((*link)->FValue);
  std::unique_ptr<TXpStrHashNode> node = std::move(*link);
  *link = std::move(node->FNext);
  --fCount;
  if (fCanShrink && !fAtMin && fCount >= 11 &&
      static_cast<std::int64_t>(BucketCount()) > 6 * static_cast<std::int64_t>(fCount))
    Resize(false);
  return true;
}

void TXpStrHash::Clear() {
  for (std::unique_ptr<TXpStrHashNode>& head : fTable) {
    // Node by node from the head, so a long chain is never freed recursively.
    while (head) {
      std::unique_ptr<TXpStrHashNode> node = std::move(head);
      head = std::move(node->FNext);
      --fCount;
      Dispose(node->FValue);
    }
  }
  fCount = 0;
}

void TXpStrHash::Resize(bool grow) {
  fAtMin = false;
  int newCount;
  if (!grow) {
    if (fHashSizeIndex == fMinSizeIndex) {
      fAtMin = true;
      return;
    }
    newCount = kSizes[--fHashSizeIndex];
  } else if (fHashSizeIndex == kSizeCount - 1) {
    // Beyond the table: odd, and not a multiple of 3.
    newCount = 2 * BucketCount() + 1;
    if (newCount % 3 == 0) newCount += 2;
  } else {
    newCount = kSizes[++fHashSizeIndex];
  }

  std::vector<std::unique_ptr<TXpStrHashNode>> table(static_cast<std::size_t>(newCount));
  for (std::unique_ptr<TXpStrHashNode>& head : fTable) {
    while (head) {
      std::unique_ptr<TXpStrHashNode> node = std::move(head);
      head = std::move(node->FNext);
      std::unique_ptr<TXpStrHashNode>& target = table[static_cast<std::size_t>(HashKey(node->FKey, newCount))];
      node->FNext = std::move(target);
      target = std::move(node);
    }
  }
  fTable.swap(table);
}
