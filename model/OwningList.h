#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/NumberText.h"
#include "platform/Object.h"

// The one error of every checked list access in the model: an index outside
// 0 to Count - 1 (0 to Count for an insertion).
class EListError : public std::out_of_range {
public:
  explicit EListError(int index)
      : std::out_of_range("List index out of bounds (" + numtext::FormatInt(index) + ")"), fIndex(index) {}
  int Index() const { return fIndex; }

private:
  int fIndex;
};

// Walks a vector of owning pointers and hands out the items as references of the
// list's item class (the lists of waypoints store TPoint4D2 but only ever hold
// TGPXwpt, so they view them as such).
template <class T, class Stored>
class TItemRange {
  using Base = typename std::vector<std::unique_ptr<Stored>>::const_iterator;

public:
  class iterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::remove_const_t<T>;
    using difference_type = std::ptrdiff_t;
    using pointer = T*;
    using reference = T&;

    iterator() = default;
    explicit iterator(Base it) : fIt(it) {}
    T& operator*() const { return static_cast<T&>(**fIt); }
    T* operator->() const { return &**this; }
    iterator& operator++() {
      ++fIt;
      return *this;
    }
    iterator operator++(int) {
      iterator old = *this;
      ++fIt;
      return old;
    }
    bool operator==(const iterator& other) const { return fIt == other.fIt; }

  private:
    Base fIt{};
  };

  TItemRange(Base first, Base last) : fFirst(first), fLast(last) {}
  iterator begin() const { return iterator(fFirst); }
  iterator end() const { return iterator(fLast); }

private:
  Base fFirst;
  Base fLast;
};

// An ordered list that owns its items. Unlinking (Delete, Extract, Clear) hands
// the items back to the caller; FreeAndDelete, FreeAll, SetItem and the
// destructor free them. Every indexed access is checked and fails with EListError.
// The list never holds an empty slot, so an item found by index or iteration is
// always a live object.
template <class T>
class TOwningList : public TObject {
public:
  TOwningList() = default;
  // Copies are deep, item by item (AppendCopiesOf and the lists' CopyFrom).
  TOwningList(const TOwningList&) = delete;
  TOwningList& operator=(const TOwningList&) = delete;
  ~TOwningList() override { FreeAll(); }

  int Count() const { return static_cast<int>(fItems.size()); }
  bool IsEmpty() const { return fItems.empty(); }

  T* Items(int index) const {
    CheckIndex(index);
    return fItems[static_cast<std::size_t>(index)].get();
  }
  T* First() const { return Items(0); }
  T* Last() const { return Items(Count() - 1); }

  // Appends and returns the new index.
  int Add(std::unique_ptr<T> item) {
    CheckItem(item);
    fItems.push_back(std::move(item));
    return Count() - 1;
  }

  // index may be Count (appends).
  void Insert(int index, std::unique_ptr<T> item) {
    if (index < 0 || index > Count()) throw EListError(index);
    CheckItem(item);
    fItems.insert(fItems.begin() + index, std::move(item));
  }

  // Frees the item at index and stores the new one in its place. Taking ownership
  // makes it impossible to pass in the item already held there.
  void SetItem(int index, std::unique_ptr<T> item) {
    CheckIndex(index);
    CheckItem(item);
    fItems[static_cast<std::size_t>(index)] = std::move(item);
  }

  // Unlinks the item at index and hands it to the caller.
  [[nodiscard]] std::unique_ptr<T> Delete(int index) {
    CheckIndex(index);
    std::unique_ptr<T> item = std::move(fItems[static_cast<std::size_t>(index)]);
    fItems.erase(fItems.begin() + index);
    return item;
  }

  // Unlinks the given item; nothing when the list does not hold it.
  [[nodiscard]] std::unique_ptr<T> Extract(const TObject* item) {
    const int index = IndexOf(item);
    if (index < 0) return nullptr;
    return Delete(index);
  }

  // Unlinks every item and hands them all to the caller, in list order.
  [[nodiscard]] std::vector<std::unique_ptr<T>> Clear() {
    std::vector<std::unique_ptr<T>> unlinked = std::move(fItems);
    fItems.clear();
    fItems.shrink_to_fit();
    return unlinked;
  }

  void FreeAndDelete(int index) { (void)Delete(index); }

  // Frees the items first to last - 1 (last excluded) in one step.
  void FreeRange(int first, int last) {
    if (first < 0 || first > Count()) throw EListError(first);
    if (last < first || last > Count()) throw EListError(last);
    fItems.erase(fItems.begin() + first, fItems.begin() + last);
  }

  // Inserts all items at index (which may be Count), keeping their order. Every
  // item is checked before the list changes.
  void InsertAll(int index, std::vector<std::unique_ptr<T>> items) {
    if (index < 0 || index > Count()) throw EListError(index);
    for (const auto& item : items) CheckItem(item);
    fItems.insert(fItems.begin() + index, std::make_move_iterator(items.begin()),
                  std::make_move_iterator(items.end()));
  }

  // Appends a deep copy (T::CopyFrom) of every item of source, in order. The
  // count is taken first, so a list copied into itself doubles exactly once.
  void AppendCopiesOf(const TOwningList& source) {
    const int count = source.Count();
    for (int i = 0; i < count; ++i) {
      auto copy = std::make_unique<T>();
      copy->CopyFrom(*source.Items(i));
      Add(std::move(copy));
    }
  }

  // Frees every item, from the last to the first.
  void FreeAll() {
    while (!fItems.empty()) fItems.pop_back();
    fItems.shrink_to_fit();
  }

  // By identity; -1 when absent.
  int IndexOf(const TObject* item) const {
    for (std::size_t i = 0; i < fItems.size(); ++i)
      if (static_cast<const TObject*>(fItems[i].get()) == item) return static_cast<int>(i);
    return -1;
  }
  bool Contains(const TObject* item) const { return IndexOf(item) >= 0; }

  // Orders the items by a three-way compare (negative, 0, positive); callers may
  // not rely on the order of items that compare equal. A merge sort, because it
  // stays inside the list even when the compare is not a strict order (a time
  // that is NaN compares equal to every other).
  template <class Compare>
  void Sort(Compare compare) {
    std::stable_sort(fItems.begin(), fItems.end(),
              [&compare](const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) { return compare(*a, *b) < 0; });
  }

  TItemRange<T, T> Iterate() const { return {fItems.begin(), fItems.end()}; }
  typename TItemRange<T, T>::iterator begin() const { return Iterate().begin(); }
  typename TItemRange<T, T>::iterator end() const { return Iterate().end(); }

protected:
  void CheckIndex(int index) const {
    if (index < 0 || index >= Count()) throw EListError(index);
  }

  // A list that takes only some classes of T rejects the others here, before
  // anything has changed.
  virtual void CheckAccepts(const T& /*item*/) const {}

  const std::vector<std::unique_ptr<T>>& Storage() const { return fItems; }

private:
  void CheckItem(const std::unique_ptr<T>& item) const {
    if (!item) throw std::invalid_argument("a list item must not be empty");
    CheckAccepts(*item);
  }

  std::vector<std::unique_ptr<T>> fItems;
};
