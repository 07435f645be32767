#pragma once

// The XML library's two containers of untyped references: a growable pointer
// array and a chained hash from wide-string keys. Neither owns what its entries
// point to; the hash owns its nodes.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "lib/verAziruzi/XpBase.h"

class TXpPointerList {
public:
  TXpPointerList();  // capacity 64, count 0
  TXpPointerList(const TXpPointerList&) = delete;
  TXpPointerList& operator=(const TXpPointerList&) = delete;
  virtual ~TXpPointerList() = default;

  bool Append(void* ptr);  // always True
  // At index 0..Count, later entries move up; any other index changes nothing.
  void Insert(void* ptr, int index);
  // At index 0..Count-1, later entries move down; any other index changes nothing.
  void RemoveAt(int index);
  // Null outside 0..Count-1.
  void* GetPointer(int index) const;
  // Ignored outside 0..Count-1.
  void SetPointer(int index, void* ptr);
  // Count 0, every slot null; the capacity stays.
  void Empty();
  bool IsEmpty() const { return fCount == 0; }
  // Empties this list and appends the source's entries in order.
  void Assign(const TXpPointerList& source);

  int Count() const { return fCount; }
  // Grows the capacity when needed; a negative count counts as 0. Slots beyond the
  // count are always null, so growing the count again never shows old entries.
  void SetCount(int count);
  int Capacity() const { return static_cast<int>(fList.size()); }
  // Values below Count, or equal to the capacity, are ignored.
  void SetCapacity(int capacity);

  void* const* List() const { return fList.data(); }
  void** InternalAddress() { return fList.data(); }

private:
  void Grow();

  int fCount = 0;
  std::vector<void*> fList;  // its size is the capacity; slots from fCount on are null
};

// A key's hash as the table computes it: the ELF (PJW) hash over the key's UTF-16
// units, low byte first. Below 2^28.
std::uint32_t XpElfHash(const WideString& key);

class TXpStrHash;

struct TXpStrHashNode {
  virtual ~TXpStrHashNode() = default;

  WideString FKey;
  std::unique_ptr<TXpStrHashNode> FNext;  // the rest of the chain
  void* FValue = nullptr;
  void* ExtraData = nullptr;  // the user's; the table never touches it
};

// Called with a node's value when the node is removed or cleared.
using TXpStrDisposeDataProc = std::function<void(TXpStrHash& sender, void* data)>;

class TXpStrHash {
public:
  // The size table: the bucket counts of the size indexes 0 to 15.
  static constexpr int kSizeCount = 16;
  static constexpr int kSizes[kSizeCount] = {59,    127,    257,    521,    1049,   2099,   4201,    8419,
                                             16843, 33703,  67409,  134837, 269683, 539389, 1078787, 2157587};
  static constexpr int kLoadFactor = 4;  // nodes per bucket before the table grows

  // The size index is clamped into 0..15; the table never shrinks below it.
  explicit TXpStrHash(int initialSizeIndex);
  TXpStrHash(const TXpStrHash&) = delete;
  TXpStrHash& operator=(const TXpStrHash&) = delete;
  virtual ~TXpStrHash();

  // False, changing nothing, when the key exists.
  bool Add(const WideString& key, void* value);
  bool Exists(const WideString& key) const;
  // Null when the key is absent.
  void* Get(const WideString& key) const;
  // Searches the bucket hash modulo the bucket count, for a caller that has the
  // key's XpElfHash already.
  bool ExistsWithHash(const WideString& key, std::uint32_t hash) const;
  // Disposes the value, frees the node; False when the key is absent.
  bool Remove(const WideString& key);
  // Frees every node, disposing each value first, bucket by bucket and each chain
  // from its head. The bucket count stays.
  void Clear();

  int Count() const { return fCount; }
  int BucketCount() const { return static_cast<int>(fTable.size()); }
  bool CanShrink() const { return fCanShrink; }
  void SetCanShrink(bool value) { fCanShrink = value; }
  const TXpStrDisposeDataProc& OnDisposeData() const { return fOnDisposeData; }
  void SetOnDisposeData(TXpStrDisposeDataProc proc) { fOnDisposeData = std::move(proc); }

protected:
  // What a derived table may replace: the key comparison, the node class and the
  // hash. HashKey answers a bucket index below bucketCount.
  virtual bool KeysEqual(const WideString& a, const WideString& b) const;
  virtual std::unique_ptr<TXpStrHashNode> CreateNode() const;
  virtual int HashKey(const WideString& key, int bucketCount) const;
  // One step up or down the size table (beyond index 15: 2n+1, made not divisible
  // by 3); the nodes move to their new buckets, no value is disposed.
  virtual void Resize(bool grow);

  int SizeIndex() const { return fHashSizeIndex; }

private:
  const TXpStrHashNode* Find(const WideString& key, int bucket) const;
  void Dispose(void* value);

  bool fAtMin = false;  // the last shrink attempt found the table at its minimum
  bool fCanShrink = false;
  int fCount = 0;
  int fHashSizeIndex;
  int fMinSizeIndex;
  TXpStrDisposeDataProc fOnDisposeData;
  std::vector<std::unique_ptr<TXpStrHashNode>> fTable;  // the chain heads
};
