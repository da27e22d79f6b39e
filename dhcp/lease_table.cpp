#include "dhcp/lease_table.h"

#include <algorithm>

#include "core/ip.h"

namespace vell {

uint32_t LeaseAddressNumber(const std::string& text) {
  uint32_t n = 0, part = 0;
  int dots = 0;
  bool digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9' && part < 256) {
      part = part * 10 + static_cast<uint32_t>(c - '0');
      digit = true;
    } else if (c == '.' && digit && dots < 3) {
      n = (n << 8) | part;
      part = 0, digit = false, ++dots;
    } else {
      dots = -1;
      break;
    }
  }
  if (dots == 3 && digit && part < 256) return (n << 8) | part;
  n = 0;
  for (unsigned char c : IPToData(text)) n = (n << 8) | c;
  return n;
}

template <class Index, class Key>
std::vector<LeaseTable::Ref> LeaseTable::Matches(const Index& index, const Key& key) {
  std::vector<Ref> refs;
  const auto [first, last] = index.equal_range(key);
  for (auto it = first; it != last; ++it) refs.push_back(it->second);
  std::sort(refs.begin(), refs.end(), [](Ref a, Ref b) { return a->order < b->order; });
  return refs;
}

template <class Index, class Key>
void LeaseTable::Unindex(Index& index, const Key& key, Ref ref) {
  const auto [first, last] = index.equal_range(key);
  for (auto it = first; it != last; ++it) {
    if (it->second == ref) {
      index.erase(it);
      return;
    }
  }
}

LeaseTable& LeaseTable::operator=(std::vector<clLease> leases) {
  entries_.clear();
  by_address_.clear();
  by_name_.clear();
  by_client_.clear();
  carried_.clear();
  for (clLease& lease : leases) Add(std::move(lease));
  return *this;
}

std::vector<clLease> LeaseTable::All() const {
  std::vector<clLease> leases;
  leases.reserve(entries_.size());
  for (const Entry& entry : entries_) leases.push_back(entry.lease);
  return leases;
}

void LeaseTable::Add(clLease lease) {
  const uint32_t address = LeaseAddressNumber(lease.IPaddr);
  const Ref ref = entries_.insert(entries_.end(), Entry{std::move(lease), next_order_++, address});
  if (by_address_.count(address) == 0) Carry(address);
  by_address_.emplace(address, ref);
  by_name_.emplace(ref->lease.ClientName, ref);
  by_client_.emplace(ref->lease.ClientID, ref);
}

void LeaseTable::Erase(Ref ref) {
  Unindex(by_address_, ref->address, ref);
  if (by_address_.count(ref->address) == 0) Uncarry(ref->address);
  Unindex(by_name_, ref->lease.ClientName, ref);
  Unindex(by_client_, ref->lease.ClientID, ref);
  entries_.erase(ref);
}

void LeaseTable::Rename(Ref ref, std::string name) {
  Unindex(by_name_, ref->lease.ClientName, ref);
  ref->lease.ClientName = std::move(name);
  by_name_.emplace(ref->lease.ClientName, ref);
}

std::vector<LeaseTable::Ref> LeaseTable::OfAddress(const std::string& address) const {
  std::vector<Ref> refs = Matches(by_address_, LeaseAddressNumber(address));
  std::erase_if(refs, [&](Ref ref) { return ref->lease.IPaddr != address; });
  return refs;
}

std::vector<LeaseTable::Ref> LeaseTable::OfName(const std::string& name) const {
  return Matches(by_name_, name);
}

std::vector<LeaseTable::Ref> LeaseTable::OfClient(const std::string& id) const {
  return Matches(by_client_, id);
}

void LeaseTable::Carry(uint32_t address) {
  uint32_t first = address, last = address;
  auto next = carried_.upper_bound(address);
  if (next != carried_.end() && next->first == address + 1) {
    last = next->second;
    next = carried_.erase(next);
  }
  if (next != carried_.begin()) {
    const auto before = std::prev(next);
    if (address > 0 && before->second == address - 1) {
      first = before->first;
      carried_.erase(before);
    }
  }
  carried_[first] = last;
}

void LeaseTable::Uncarry(uint32_t address) {
  auto run = carried_.upper_bound(address);
  if (run == carried_.begin()) return;
  --run;
  const auto [first, last] = *run;
  if (last < address) return;
  carried_.erase(run);
  if (first < address) carried_[first] = address - 1;
  if (address < last) carried_[address + 1] = last;
}

std::optional<uint32_t> LeaseTable::FirstUncarried(uint32_t from, uint32_t to, uint32_t own) const {
  uint64_t candidate = std::max<uint32_t>(from, 1);
  while (candidate <= to) {
    if (candidate == own) {
      ++candidate;
      continue;
    }
    auto run = carried_.upper_bound(static_cast<uint32_t>(candidate));
    if (run == carried_.begin() || std::prev(run)->second < candidate) {
      return static_cast<uint32_t>(candidate);
    }
    candidate = uint64_t{std::prev(run)->second} + 1;
  }
  return std::nullopt;
}

}  // namespace vell
