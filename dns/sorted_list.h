// A list kept ascending by name, shared by zones, zone records and the
// cache. A new item goes before every item of equal name, so the items of
// one name come out in reverse order of arrival. Lookups are a binary search
// for the first item of a name followed by a forward walk.
//
// Indexes are 0-based here; kNotFound stands for "no item of that name".
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace vell {

constexpr size_t kNotFound = static_cast<size_t>(-1);

// NameOf(item) gives the item's name as const std::string&.
template <class T, class NameOf>
class SortedList {
 public:
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  // An item's name must not change while it is in the list.
  const T& operator[](size_t i) const { return items_[i]; }
  T& operator[](size_t i) { return items_[i]; }
  const std::vector<T>& items() const { return items_; }
  void erase(size_t i) {
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  void clear() {
    items_.clear();
    keys_.clear();
  }
  // Removes every item pred selects in one pass, keeping the order of the rest.
  template <class Pred>
  void EraseIf(Pred pred) {
    std::erase_if(items_, pred);
    RebuildKeys();
  }

  // The number of items whose name sorts strictly before name.
  size_t CountBefore(std::string_view name) const {
    size_t lo = 0;
    size_t hi = items_.size();
    const uint64_t key = KeyOf(name);
    while (hi != lo) {
      const size_t mid = lo + (hi - lo + 1) / 2;  // 1-based position
      if (After(name, key, mid - 1)) {
        lo = mid;
      } else {
        hi = mid - 1;
      }
    }
    return lo;
  }

  // The first item of that name, or kNotFound.
  size_t Find(std::string_view name) const {
    if (items_.empty()) return kNotFound;
    size_t lo = 0;
    size_t hi = items_.size() - 1;
    const uint64_t key = KeyOf(name);
    while (hi != lo) {
      const size_t mid = lo + (hi - lo) / 2;
      if (After(name, key, mid)) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return Name(lo) == name ? lo : kNotFound;
  }

  // Whether the item at i exists and has that name: the walk condition
  // after Find.
  bool NameAt(size_t i, std::string_view name) const { return i < items_.size() && Name(i) == name; }

  void Insert(T item) {
    const size_t pos = CountBefore(NameOf{}(item));
    InsertAt(pos, std::move(item));
  }
  // Inserts at a position computed earlier with CountBefore (several
  // records of one name group go to the same place).
  void InsertAt(size_t pos, T item) {
    keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(pos), KeyOf(NameOf{}(item)));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(item));
  }

  // Inserts items given in order of arrival, leaving exactly the order that
  // inserting them one by one would leave, in O(n log n) instead of O(n^2):
  // a large zone file out of name order would otherwise move the whole
  // list for every record.
  void InsertMany(std::vector<T> items) {
    std::reverse(items.begin(), items.end());  // later arrivals go first among equal names
    const auto by_name = [](const T& a, const T& b) { return NameOf{}(a) < NameOf{}(b); };
    std::stable_sort(items.begin(), items.end(), by_name);
    std::vector<T> merged;
    merged.reserve(items_.size() + items.size());
    // std::merge takes equal items from its first range first: the new ones.
    std::merge(std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()),
               std::make_move_iterator(items_.begin()), std::make_move_iterator(items_.end()),
               std::back_inserter(merged), by_name);
    items_ = std::move(merged);
    RebuildKeys();
  }

 private:
  const std::string& Name(size_t i) const { return NameOf{}(items_[i]); }

  // The first eight octets of a name as one number: numbers compare as the
  // names' beginnings do, so most steps of a search compare numbers held
  // side by side instead of following each item to its name.
  static uint64_t KeyOf(std::string_view name) {
    uint64_t key = 0;
    for (size_t i = 0; i < 8; ++i)
      key = key << 8 | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0U);
    return key;
  }
  // Whether name sorts after the item at i; key is KeyOf(name).
  bool After(std::string_view name, uint64_t key, size_t i) const {
    return key != keys_[i] ? key > keys_[i] : name > Name(i);
  }
  void RebuildKeys() {
    keys_.resize(items_.size());
    for (size_t i = 0; i < items_.size(); ++i) keys_[i] = KeyOf(Name(i));
  }

  std::vector<T> items_;
  std::vector<uint64_t> keys_;  // KeyOf each item's name
};

}  // namespace vell
