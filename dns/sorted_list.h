// A list kept ascending by name, shared by zones, zone records and the
// cache. A new item goes before every item of equal name, so the items of
// one name come out in reverse order of arrival. Lookups are a binary search
// for the first item of a name followed by a forward walk.
//
// Indexes are 0-based here; kNotFound stands for "no item of that name".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vell {

constexpr size_t kNotFound = static_cast<size_t>(-1);

// NameOf(item) gives the item's name as const std::string&.
template <class T, class NameOf>
class SortedList {
 public:
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  const T& operator[](size_t i) const { return items_[i]; }
  T& operator[](size_t i) { return items_[i]; }
  const std::vector<T>& items() const { return items_; }
  void erase(size_t i) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i)); }
  void clear() { items_.clear(); }
  // Removes every item pred selects in one pass, keeping the order of the rest.
  template <class Pred>
  void EraseIf(Pred pred) {
    std::erase_if(items_, pred);
  }

  // The number of items whose name sorts strictly before name.
  size_t CountBefore(const std::string& name) const {
    size_t lo = 0;
    size_t hi = items_.size();
    while (hi != lo) {
      const size_t mid = lo + (hi - lo + 1) / 2;  // 1-based position
      if (name > Name(mid - 1)) {
        lo = mid;
      } else {
        hi = mid - 1;
      }
    }
    return lo;
  }

  // The first item of that name, or kNotFound.
  size_t Find(const std::string& name) const {
    if (items_.empty()) return kNotFound;
    size_t lo = 0;
    size_t hi = items_.size() - 1;
    while (hi != lo) {
      const size_t mid = lo + (hi - lo) / 2;
      if (name > Name(mid)) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return Name(lo) == name ? lo : kNotFound;
  }

  // Whether the item at i exists and has that name: the walk condition
  // after Find.
  bool NameAt(size_t i, const std::string& name) const { return i < items_.size() && Name(i) == name; }

  void Insert(T item) {
    const size_t pos = CountBefore(NameOf{}(item));
    InsertAt(pos, std::move(item));
  }
  // Inserts at a position computed earlier with CountBefore (several
  // records of one name group go to the same place).
  void InsertAt(size_t pos, T item) {
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(item));
  }

 private:
  const std::string& Name(size_t i) const { return NameOf{}(items_[i]); }
  std::vector<T> items_;
};

}  // namespace vell
