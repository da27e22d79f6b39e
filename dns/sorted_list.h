// A list kept ascending by name, shared by zones, zone records and the
// cache. A new item goes before every item of equal name, so the items of
// one name come out in reverse order of arrival. Lookups are a binary search
// for the first item of a name followed by a forward walk.
//
// The items sit in chunks of a few hundred, so that an insertion or a
// removal moves one chunk and not the whole list: a full cache of hundreds
// of thousands of records takes new ones at the rate it answers.
//
// Indexes are 0-based here; kNotFound stands for "no item of that name".
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vell {

constexpr size_t kNotFound = static_cast<size_t>(-1);

// NameOf(item) gives the item's name as const std::string&.
template <class T, class NameOf>
class SortedList {
 public:
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // An item's name must not change while it is in the list.
  const T& operator[](size_t i) const {
    const auto [c, at] = Locate(i);
    return chunks_[c].items[at];
  }
  T& operator[](size_t i) {
    const auto [c, at] = Locate(i);
    return chunks_[c].items[at];
  }
  // Every item in order, read-only: for (const T& item : list.items()).
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = const T&;
    const_iterator() = default;
    const_iterator(const SortedList* list, size_t chunk, size_t at) : list_(list), chunk_(chunk), at_(at) {}
    const T& operator*() const { return list_->chunks_[chunk_].items[at_]; }
    const T* operator->() const { return &**this; }
    const_iterator& operator++() {
      if (++at_ == list_->chunks_[chunk_].items.size()) {
        ++chunk_;
        at_ = 0;
      }
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const const_iterator& other) const { return chunk_ == other.chunk_ && at_ == other.at_; }

   private:
    const SortedList* list_ = nullptr;
    size_t chunk_ = 0;
    size_t at_ = 0;
  };
  const_iterator begin() const { return {this, 0, 0}; }
  const_iterator end() const { return {this, chunks_.size(), 0}; }
  const SortedList& items() const { return *this; }

  void erase(size_t i) {
    const auto [c, at] = Locate(i);
    Chunk& chunk = chunks_[c];
    chunk.items.erase(chunk.items.begin() + static_cast<std::ptrdiff_t>(at));
    chunk.keys.erase(chunk.keys.begin() + static_cast<std::ptrdiff_t>(at));
    if (chunk.items.empty()) chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c));
    --size_;
    RecountFrom(c);
  }
  void clear() {
    chunks_.clear();
    starts_.clear();
    lasts_.clear();
    size_ = 0;
  }
  // Removes every item pred selects in one pass, keeping the order of the rest.
  template <class Pred>
  void EraseIf(Pred pred) {
    std::vector<T> kept;
    kept.reserve(size_);
    for (Chunk& chunk : chunks_) {
      for (T& item : chunk.items) {
        if (!pred(std::as_const(item))) kept.push_back(std::move(item));
      }
    }
    Rechunk(std::move(kept));
  }

  // The number of items whose name sorts strictly before name.
  size_t CountBefore(std::string_view name) const {
    const uint64_t key = KeyOf(name);
    // The first chunk whose last item does not sort before name holds the
    // answer; every chunk before it lies wholly before name.
    size_t lo = 0;
    size_t hi = chunks_.size();
    while (lo != hi) {
      const size_t mid = lo + (hi - lo) / 2;
      if (key > lasts_[mid] ||
          (key == lasts_[mid] && After(name, key, chunks_[mid], chunks_[mid].items.size() - 1))) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    if (lo == chunks_.size()) return size_;
    hint_ = lo;
    const Chunk& chunk = chunks_[lo];
    size_t first = 0;
    size_t last = chunk.items.size();
    while (first != last) {
      const size_t mid = first + (last - first) / 2;
      if (After(name, key, chunk, mid)) {
        first = mid + 1;
      } else {
        last = mid;
      }
    }
    return starts_[lo] + first;
  }

  // The first item of that name, or kNotFound.
  size_t Find(std::string_view name) const {
    const size_t pos = CountBefore(name);
    return NameAt(pos, name) ? pos : kNotFound;
  }

  // Whether the item at i exists and has that name: the walk condition
  // after Find.
  bool NameAt(size_t i, std::string_view name) const { return i < size_ && NameOf{}((*this)[i]) == name; }

  void Insert(T item) {
    const size_t pos = CountBefore(NameOf{}(item));
    InsertAt(pos, std::move(item));
  }
  // Inserts at a position computed earlier with CountBefore (several
  // records of one name group go to the same place).
  void InsertAt(size_t pos, T item) {
    if (chunks_.empty()) {
      chunks_.emplace_back();
      starts_.push_back(0);
    }
    // A position between two chunks goes to the end of the first.
    size_t c = pos == 0 ? 0 : Locate(pos - 1).first;
    Chunk& chunk = chunks_[c];
    const auto at = static_cast<std::ptrdiff_t>(pos - starts_[c]);
    chunk.keys.insert(chunk.keys.begin() + at, KeyOf(NameOf{}(item)));
    chunk.items.insert(chunk.items.begin() + at, std::move(item));
    ++size_;
    if (chunk.items.size() >= 2 * kChunk) Split(c);
    RecountFrom(c);
  }

  // Inserts items given in order of arrival, leaving exactly the order that
  // inserting them one by one would leave, in O(n log n) instead of O(n^2):
  // a large zone file out of name order would otherwise move the whole
  // list for every record.
  void InsertMany(std::vector<T> items) {
    // Sorted as positions with each name's leading octets beside them, so
    // that most comparisons stay in one array (a zone load sorts a million
    // records); later arrivals go first among equal names.
    std::vector<std::pair<uint64_t, size_t>> order;
    order.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) order.emplace_back(KeyOf(NameOf{}(items[i])), i);
    std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
      if (a.first != b.first) return a.first < b.first;
      const int names = std::string_view(NameOf{}(items[a.second])).compare(NameOf{}(items[b.second]));
      return names != 0 ? names < 0 : a.second > b.second;
    });
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (const auto& [key, i] : order) sorted.push_back(std::move(items[i]));
    // Given back before the merge needs room of its own.
    order = {};
    items = {};
    const auto by_name = [](const T& a, const T& b) { return NameOf{}(a) < NameOf{}(b); };
    std::vector<T> present;
    present.reserve(size_);
    for (Chunk& chunk : chunks_)
      std::move(chunk.items.begin(), chunk.items.end(), std::back_inserter(present));
    std::vector<T> merged;
    merged.reserve(present.size() + sorted.size());
    // std::merge takes equal items from its first range first: the new ones.
    std::merge(std::make_move_iterator(sorted.begin()), std::make_move_iterator(sorted.end()),
               std::make_move_iterator(present.begin()), std::make_move_iterator(present.end()),
               std::back_inserter(merged), by_name);
    Rechunk(std::move(merged));
  }

 private:
  static constexpr size_t kChunk = 256;

  struct Chunk {
    std::vector<T> items;
    std::vector<uint64_t> keys;  // KeyOf each item's name
  };

  // The chunk holding item i and its place there. Look-ups walk forward
  // from where CountBefore landed, so the last chunk found is tried first.
  std::pair<size_t, size_t> Locate(size_t i) const {
    if (hint_ >= chunks_.size() || i < starts_[hint_] || i - starts_[hint_] >= chunks_[hint_].items.size()) {
      hint_ = static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), i) - starts_.begin()) - 1;
    }
    return {hint_, i - starts_[hint_]};
  }
  // The first index of each chunk from c on, after chunk c changed size.
  void RecountFrom(size_t c) {
    starts_.resize(chunks_.size());
    lasts_.resize(chunks_.size());
    for (; c < chunks_.size(); ++c) {
      starts_[c] = c == 0 ? 0 : starts_[c - 1] + chunks_[c - 1].items.size();
      lasts_[c] = chunks_[c].keys.back();
    }
  }
  void Split(size_t c) {
    Chunk tail;
    Chunk& head = chunks_[c];
    const auto half = static_cast<std::ptrdiff_t>(head.items.size() / 2);
    tail.items.assign(std::make_move_iterator(head.items.begin() + half),
                      std::make_move_iterator(head.items.end()));
    tail.keys.assign(head.keys.begin() + half, head.keys.end());
    head.items.erase(head.items.begin() + half, head.items.end());
    head.keys.erase(head.keys.begin() + half, head.keys.end());
    chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c) + 1, std::move(tail));
  }
  void Rechunk(std::vector<T> items) {
    clear();
    size_ = items.size();
    for (size_t from = 0; from < items.size(); from += kChunk) {
      Chunk& chunk = chunks_.emplace_back();
      const size_t to = std::min(items.size(), from + kChunk);
      chunk.items.assign(std::make_move_iterator(items.begin() + static_cast<std::ptrdiff_t>(from)),
                         std::make_move_iterator(items.begin() + static_cast<std::ptrdiff_t>(to)));
      for (const T& item : chunk.items) chunk.keys.push_back(KeyOf(NameOf{}(item)));
    }
    RecountFrom(0);
  }

  // The first eight octets of a name as one number: numbers compare as the
  // names' beginnings do, so most steps of a search compare numbers held
  // side by side instead of following each item to its name.
  static uint64_t KeyOf(std::string_view name) {
    uint64_t key = 0;
    for (size_t i = 0; i < 8; ++i)
      key = key << 8 | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0U);
    return key;
  }
  // Whether name sorts after the item at i of chunk; key is KeyOf(name).
  static bool After(std::string_view name, uint64_t key, const Chunk& chunk, size_t i) {
    return key != chunk.keys[i] ? key > chunk.keys[i] : name > NameOf{}(chunk.items[i]);
  }

  std::vector<Chunk> chunks_;   // none empty
  std::vector<size_t> starts_;  // the index of each chunk's first item
  // The key of each chunk's last item, side by side: the search among the
  // chunks of a large list then follows no pointer until its last steps.
  std::vector<uint64_t> lasts_;
  size_t size_ = 0;
  mutable size_t hint_ = 0;  // the chunk Locate or CountBefore found last
};

}  // namespace vell
