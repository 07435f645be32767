#include "lib/verAziruzi/XpHash.h"

#include <algorithm>
#include <deque>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Distinct addresses to store; the containers never dereference them.
void* P(int i) {
  static char slots[1000];
  return &slots[i];
}

WideString Key(int i) { return XpUtf8ToWide("key" + std::to_string(i)); }

std::vector<void*> Entries(const TXpPointerList& list) {
  std::vector<void*> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.GetPointer(i));
  return out;
}

// ---------------------------------------------------------------------------
// TXpPointerList

TEST(XpPointerList, AppendGrowsByDoublingAndKeepsTheEntries) {
  TXpPointerList list;
  EXPECT_EQ(list.Capacity(), 64);
  EXPECT_TRUE(list.IsEmpty());
  for (int i = 0; i < 64; ++i) EXPECT_TRUE(list.Append(P(i)));
  EXPECT_EQ(list.Capacity(), 64);
  list.Append(P(64));
  EXPECT_EQ(list.Capacity(), 128);
  EXPECT_EQ(list.Count(), 65);
  for (int i = 0; i < 65; ++i) ASSERT_EQ(list.GetPointer(i), P(i));
  EXPECT_EQ(list.List()[64], P(64));
  EXPECT_EQ(list.List()[65], nullptr);
}

TEST(XpPointerList, InsertRemoveAndIndexesOutsideTheCount) {
  TXpPointerList list;
  list.Append(P(1));
  list.Append(P(2));
  list.Insert(P(3), 2);  // at Count: appends
  list.Insert(P(0), 0);
  list.Insert(P(9), 5);  // beyond Count: nothing
  list.Insert(P(9), -1);
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(0), P(1), P(2), P(3)}));

  list.RemoveAt(1);
  list.RemoveAt(3);  // beyond: nothing
  list.RemoveAt(-1);
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(0), P(2), P(3)}));
  EXPECT_EQ(list.List()[3], nullptr);  // the vacated slot

  EXPECT_EQ(list.GetPointer(3), nullptr);
  EXPECT_EQ(list.GetPointer(-1), nullptr);
  list.SetPointer(0, P(7));
  list.SetPointer(3, P(8));  // ignored
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(7), P(2), P(3)}));
}

TEST(XpPointerList, InsertIntoAFullListGrowsIt) {
  TXpPointerList list;
  for (int i = 0; i < 64; ++i) list.Append(P(i + 1));
  list.Insert(P(0), 0);
  EXPECT_EQ(list.Capacity(), 128);
  EXPECT_EQ(list.Count(), 65);
  for (int i = 0; i < 65; ++i) ASSERT_EQ(list.GetPointer(i), P(i));
}

TEST(XpPointerList, EmptyAssignAndCapacity) {
  TXpPointerList list;
  for (int i = 0; i < 70; ++i) list.Append(P(i));
  TXpPointerList copy;
  copy.Append(P(99));
  copy.Assign(list);
  EXPECT_EQ(Entries(copy), Entries(list));
  copy.Assign(copy);  // assigning a list to itself keeps it
  EXPECT_EQ(Entries(copy), Entries(list));

  list.Empty();
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.Capacity(), 128);
  EXPECT_TRUE(std::all_of(list.List(), list.List() + 128, [](void* p) { return p == nullptr; }));

  copy.SetCapacity(10);  // below Count: ignored
  EXPECT_EQ(copy.Capacity(), 128);
  copy.SetCapacity(300);
  EXPECT_EQ(copy.Capacity(), 300);
  EXPECT_EQ(copy.GetPointer(69), P(69));
  EXPECT_EQ(copy.List()[70], nullptr);

  // A list shrunk to nothing still grows.
  TXpPointerList tiny;
  tiny.SetCapacity(0);
  EXPECT_EQ(tiny.Capacity(), 0);
  tiny.Append(P(1));
  EXPECT_EQ(tiny.GetPointer(0), P(1));
}

TEST(XpPointerList, SetCountShowsNullsNeverStaleEntries) {
  TXpPointerList list;
  for (int i = 0; i < 5; ++i) list.Append(P(i));
  list.SetCount(2);
  list.SetCount(5);
  EXPECT_EQ(Entries(list), (std::vector<void*>{P(0), P(1), nullptr, nullptr, nullptr}));

  list.RemoveAt(0);
  list.SetCount(5);
  EXPECT_EQ(list.GetPointer(4), nullptr);

  list.SetCount(200);  // beyond the capacity: grows, new slots null
  EXPECT_GE(list.Capacity(), 200);
  EXPECT_EQ(list.GetPointer(199), nullptr);

  list.SetCount(-3);  // a negative count is 0
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetPointer(0), nullptr);
}

// ---------------------------------------------------------------------------
// TXpStrHash

TEST(XpElfHash, HashesTheUtf16BytesLowByteFirst) {
  EXPECT_EQ(XpElfHash(u""), 0u);
  EXPECT_EQ(XpElfHash(u"A"), 0x410u);  // bytes 41 00
  EXPECT_EQ(XpElfHash(u"abcd"), 0x6263050u);
  EXPECT_EQ(XpElfHash(u"h:depth"), 0x4A10650u);  // high nibbles folded back in
  EXPECT_EQ(XpElfHash(u"\u00e9\u4e2d"), 0xE931Eu);
  EXPECT_LT(XpElfHash(u"a rather long key that overflows many times"), 1u << 28);
}

TEST(XpStrHash, AddGetExistsAndRemove) {
  std::vector<void*> disposed;  // outlives the table, which disposes on destruction
  TXpStrHash hash(0);
  EXPECT_EQ(hash.BucketCount(), 59);
  EXPECT_TRUE(hash.Add(u"trkpt", P(1)));
  EXPECT_TRUE(hash.Add(u"", P(2)));
  EXPECT_FALSE(hash.Add(u"trkpt", P(3)));  // the old value stays
  EXPECT_EQ(hash.Get(u"trkpt"), P(1));
  EXPECT_EQ(hash.Get(u"TRKPT"), nullptr);
  EXPECT_EQ(hash.Count(), 2);

  // The empty key lives in bucket 0.
  EXPECT_EQ(hash.Get(u""), P(2));
  EXPECT_TRUE(hash.ExistsWithHash(u"", 0));
  EXPECT_FALSE(hash.ExistsWithHash(u"", 1));
  EXPECT_TRUE(hash.ExistsWithHash(u"trkpt", XpElfHash(u"trkpt")));
  EXPECT_TRUE(hash.ExistsWithHash(u"trkpt", XpElfHash(u"trkpt") + 59));  // modulo the bucket count

  hash.SetOnDisposeData([&](TXpStrHash& sender, void* data) {
    EXPECT_EQ(&sender, &hash);
    disposed.push_back(data);
  });
  EXPECT_TRUE(hash.Remove(u"trkpt"));
  EXPECT_FALSE(hash.Remove(u"trkpt"));
  EXPECT_EQ(disposed, std::vector<void*>{P(1)});
  EXPECT_FALSE(hash.Exists(u"trkpt"));
  EXPECT_EQ(hash.Count(), 1);
}

TEST(XpStrHash, GrowsPastFourKeysPerBucket) {
  TXpStrHash hash(0);
  for (int i = 0; i < 236; ++i) hash.Add(Key(i), P(i));
  EXPECT_EQ(hash.BucketCount(), 59);  // 59 x 4 is still allowed
  hash.Add(Key(236), P(236));
  EXPECT_EQ(hash.BucketCount(), 127);
  for (int i = 0; i <= 236; ++i) ASSERT_EQ(hash.Get(Key(i)), P(i)) << i;
}

TEST(XpStrHash, ShrinksOnlyWhenAllowedAndNeverBelowItsStart) {
  TXpStrHash fixed(0);
  for (int i = 0; i < 237; ++i) fixed.Add(Key(i), P(i));
  for (int i = 0; i < 237; ++i) fixed.Remove(Key(i));
  EXPECT_EQ(fixed.BucketCount(), 127);  // CanShrink is off as created

  TXpStrHash shrinking(0);
  shrinking.SetCanShrink(true);
  for (int i = 0; i < 237; ++i) shrinking.Add(Key(i), P(i));
  for (int i = 236; i >= 22; --i) shrinking.Remove(Key(i));
  EXPECT_EQ(shrinking.Count(), 22);
  EXPECT_EQ(shrinking.BucketCount(), 127);  // 127 > 6 x 22 does not hold yet
  shrinking.Remove(Key(21));
  EXPECT_EQ(shrinking.BucketCount(), 59);
  for (int i = 0; i < 21; ++i) ASSERT_EQ(shrinking.Get(Key(i)), P(i)) << i;

  TXpStrHash atStart(1);
  atStart.SetCanShrink(true);
  for (int i = 0; i < 20; ++i) atStart.Add(Key(i), P(i));
  for (int i = 0; i < 9; ++i) atStart.Remove(Key(i));
  EXPECT_EQ(atStart.BucketCount(), 127);
  EXPECT_EQ(atStart.Count(), 11);
}

TEST(XpStrHash, SizeIndexesOutsideTheTableAreClamped) {
  EXPECT_EQ(TXpStrHash(-4).BucketCount(), 59);
  EXPECT_EQ(TXpStrHash(3).BucketCount(), 521);
  TXpStrHash huge(99);
  EXPECT_EQ(huge.BucketCount(), 2157587);
  huge.Add(u"x", P(1));
  EXPECT_EQ(huge.Get(u"x"), P(1));
}

// Opens the protected resize for the largest sizes, which no test can reach by
// adding millions of keys.
class ResizableHash : public TXpStrHash {
public:
  using TXpStrHash::Resize;
  using TXpStrHash::TXpStrHash;
};

TEST(XpStrHash, GrowsBeyondTheSizeTableByDoubling) {
  ResizableHash hash(15);
  hash.Add(u"a", P(1));
  hash.Add(u"b", P(2));
  hash.Resize(true);
  EXPECT_EQ(hash.BucketCount(), 2 * 2157587 + 1);
  EXPECT_EQ(hash.Get(u"a"), P(1));
  EXPECT_EQ(hash.Get(u"b"), P(2));
  hash.Resize(false);  // at the minimum index: stays
  EXPECT_EQ(hash.BucketCount(), 2 * 2157587 + 1);
}

TEST(XpStrHash, ClearDisposesInBucketOrderFromEachChainsHead) {
  std::vector<void*> disposed;
  TXpStrHash hash(0);
  hash.SetOnDisposeData([&](TXpStrHash&, void* data) { disposed.push_back(data); });

  // Enough keys for chains of several nodes; the newest node heads its chain.
  std::vector<std::tuple<int, int, void*>> expected;  // bucket, -insertion, value
  for (int i = 0; i < 150; ++i) {
    hash.Add(Key(i), P(i));
    expected.emplace_back(static_cast<int>(XpElfHash(Key(i)) % 59), -i, P(i));
  }
  std::sort(expected.begin(), expected.end());
  std::vector<void*> order;
  for (const auto& e : expected) order.push_back(std::get<2>(e));

  hash.Clear();
  EXPECT_EQ(disposed, order);
  EXPECT_EQ(hash.Count(), 0);
  EXPECT_EQ(hash.BucketCount(), 59);
  EXPECT_FALSE(hash.Exists(Key(0)));
  EXPECT_TRUE(hash.Add(Key(0), P(0)));  // usable again
}

TEST(XpStrHash, GrowingMovesEachNodeToTheHeadOfItsNewBucket) {
  // The old buckets are walked in order, each chain from its head, so nodes that
  // meet in a new bucket come to stand in reverse order of that walk.
  std::vector<std::deque<void*>> oldChains(59), newChains(127);
  TXpStrHash hash(0);
  for (int i = 0; i < 237; ++i) {
    hash.Add(Key(i), P(i));
    oldChains[XpElfHash(Key(i)) % 59].push_front(P(i));
  }
  ASSERT_EQ(hash.BucketCount(), 127);
  for (const std::deque<void*>& chain : oldChains)
    for (void* value : chain) {
      const int i = static_cast<int>(static_cast<char*>(value) - static_cast<char*>(P(0)));
      newChains[XpElfHash(Key(i)) % 127].push_front(value);
    }
  std::vector<void*> expected;
  for (const std::deque<void*>& chain : newChains) expected.insert(expected.end(), chain.begin(), chain.end());

  std::vector<void*> disposed;
  hash.SetOnDisposeData([&](TXpStrHash&, void* data) { disposed.push_back(data); });
  hash.Clear();
  EXPECT_EQ(disposed, expected);
}

TEST(XpStrHash, DestructionDisposesWhatIsLeft) {
  std::vector<void*> disposed;
  {
    TXpStrHash hash(0);
    hash.SetOnDisposeData([&](TXpStrHash&, void* data) { disposed.push_back(data); });
    hash.Add(u"a", P(1));
  }
  EXPECT_EQ(disposed, std::vector<void*>{P(1)});
}

// A derived table may replace the comparison and the hash.
class CaseBlindHash : public TXpStrHash {
public:
  CaseBlindHash() : TXpStrHash(0) {}

protected:
  static WideString Upper(const WideString& s) {
    WideString out = s;
    for (char16_t& c : out)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return out;
  }
  bool KeysEqual(const WideString& a, const WideString& b) const override { return Upper(a) == Upper(b); }
  int HashKey(const WideString& key, int bucketCount) const override {
    return TXpStrHash::HashKey(Upper(key), bucketCount);
  }
};

TEST(XpStrHash, DerivedTablesReplaceComparisonAndHash) {
  CaseBlindHash hash;
  hash.Add(u"Placemark", P(1));
  EXPECT_EQ(hash.Get(u"PLACEMARK"), P(1));
  EXPECT_FALSE(hash.Add(u"placemark", P(2)));
  EXPECT_TRUE(hash.Remove(u"PlaceMark"));
  EXPECT_EQ(hash.Count(), 0);
}

}  // namespace
