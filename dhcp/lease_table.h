// The process-wide table of leases, in the order they were added, indexed by
// address, name and client so that a DHCP exchange or a DNS look-up never
// walks the whole table.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "dhcp/lease.h"

namespace vell {

// An address as a number; canonical dotted quads are read directly, anything
// else through the lenient reader.
uint32_t LeaseAddressNumber(const std::string& text);

class LeaseTable {
  struct Entry {
    clLease lease;
    uint64_t order;
    uint32_t address;
  };
  using Entries = std::list<Entry>;

 public:
  using Ref = Entries::iterator;

  class const_iterator {
   public:
    explicit const_iterator(Entries::const_iterator it) : it_(it) {}
    const clLease& operator*() const { return it_->lease; }
    const clLease* operator->() const { return &it_->lease; }
    const_iterator& operator++() {
      ++it_;
      return *this;
    }
    bool operator==(const const_iterator&) const = default;

   private:
    Entries::const_iterator it_;
  };

  LeaseTable() = default;
  LeaseTable(const LeaseTable&) = delete;
  LeaseTable& operator=(const LeaseTable&) = delete;
  // The table becomes leases, in their order.
  LeaseTable& operator=(std::vector<clLease> leases);

  const_iterator begin() const { return const_iterator(entries_.begin()); }
  const_iterator end() const { return const_iterator(entries_.end()); }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::vector<clLease> All() const;

  void Add(clLease lease);
  void Erase(Ref ref);
  void Rename(Ref ref, std::string name);
  void SetExpires(Ref ref, DateTime expires) { ref->lease.Expires = expires; }
  static const clLease& Of(Ref ref) { return ref->lease; }

  // The leases of an address, a name or a client, in table order.
  std::vector<Ref> OfAddress(const std::string& address) const;
  std::vector<Ref> OfName(const std::string& name) const;
  std::vector<Ref> OfClient(const std::string& id) const;

  // The lowest address from `from` to `to` that no lease carries, skipping
  // 0 and `own`; none when every one is carried.
  std::optional<uint32_t> FirstUncarried(uint32_t from, uint32_t to, uint32_t own) const;

 private:
  template <class Index, class Key>
  static std::vector<Ref> Matches(const Index& index, const Key& key);
  template <class Index, class Key>
  static void Unindex(Index& index, const Key& key, Ref ref);
  void Carry(uint32_t address);
  void Uncarry(uint32_t address);

  Entries entries_;
  uint64_t next_order_ = 0;
  std::unordered_multimap<uint32_t, Ref> by_address_;
  std::unordered_multimap<std::string, Ref> by_name_;
  std::unordered_multimap<std::string, Ref> by_client_;
  // Runs of consecutive carried addresses, first -> last, so the first free
  // address of a scope is found without walking the leases before it.
  std::map<uint32_t, uint32_t> carried_;
};

}  // namespace vell
