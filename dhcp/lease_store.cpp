#include "dhcp/lease_store.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/ip.h"
#include "core/text.h"

namespace vell {

namespace {

// Addresses in the table are canonical dotted quads, read here directly: the
// lenient general reader costs more than the rest of a Discover together.
uint32_t AddressNumber(const std::string& text) {
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

std::string AddressData(uint32_t n) {
  return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
          static_cast<char>(n)};
}

bool InScope(const clDHCPif& dhcp, const std::string& address) {
  const uint32_t n = AddressNumber(address);
  return n >= AddressNumber(dhcp.ScopeFrom) && n <= AddressNumber(dhcp.ScopeTo);
}

}  // namespace

bool LeaseStore::ValidLease(const clDHCPif& dhcp, const std::string& address, const std::string& name,
                            bool reuse) const {
  return TrapOr(env_.errors, "modDHCP ValidLease", false, [&] {
    if (address.empty() || address == "0.0.0.0") return false;
    if (address == dhcp.IPaddr) return false;
    if (!InScope(dhcp, address)) return false;
    const DateTime now = env_.Now();
    // Reuse frees an expired lease's address but still holds its name.
    for (const clLease& lease : table_) {
      if (lease.IPaddr == address && (!reuse || lease.Expires > now)) return false;
    }
    if (name == env_.settings.NAME + ".") return false;
    for (const clLease& lease : table_) {
      if (lease.ClientName == name && (reuse || lease.Expires > now)) return false;
    }
    return true;
  });
}

std::string LeaseStore::FirstValid(const clDHCPif& dhcp, const std::string& name, bool reuse) const {
  return TrapOr(env_.errors, "modDHCP ValidLease", std::string(), [&] {
    const DateTime now = env_.Now();
    if (name == env_.settings.NAME + ".") return std::string();
    std::vector<uint32_t> taken = {0, AddressNumber(dhcp.IPaddr)};
    taken.reserve(table_.size() + 2);
    for (const clLease& lease : table_) {
      if (lease.ClientName == name && (reuse || lease.Expires > now)) return std::string();
      if (!reuse || lease.Expires > now) taken.push_back(AddressNumber(lease.IPaddr));
    }
    std::sort(taken.begin(), taken.end());
    const uint64_t to = AddressNumber(dhcp.ScopeTo);
    uint64_t candidate = AddressNumber(dhcp.ScopeFrom);
    for (auto it = std::lower_bound(taken.begin(), taken.end(), candidate);
         it != taken.end() && *it <= candidate; ++it) {
      if (*it == candidate) ++candidate;
    }
    return candidate <= to ? DataToIP(AddressData(static_cast<uint32_t>(candidate))) : std::string();
  });
}

void LeaseStore::Remove(const std::string& address, const std::string& name) {
  Trap(env_.errors, "modDHCP Remove", [&] {
    const auto gone = std::remove_if(table_.begin(), table_.end(), [&](const clLease& lease) {
      return lease.IPaddr == address || lease.ClientName == name;
    });
    if (gone != table_.end()) changed_ = true;
    table_.erase(gone, table_.end());
  });
}

clLease* LeaseStore::FindClient(const std::string& client_id) {
  auto it = std::find_if(table_.begin(), table_.end(),
                         [&](const clLease& lease) { return lease.ClientID == client_id; });
  return it == table_.end() ? nullptr : &*it;
}

void LeaseStore::RemoveClient(const std::string& client_id) {
  if (clLease* lease = FindClient(client_id)) {
    table_.erase(table_.begin() + (lease - table_.data()));
    changed_ = true;
  }
}

void LeaseStore::Add(clLease lease) {
  table_.push_back(std::move(lease));
  changed_ = true;
}

void LeaseStore::Release(const std::string& client_id) {
  if (clLease* lease = FindClient(client_id)) {
    lease->Expires = env_.Now();
    changed_ = true;
  }
}

RenameOutcome LeaseStore::Rename(const std::string& address, const std::string& edited,
                                 std::vector<clDHCPAlias>& aliases) {
  return TrapOr(env_.errors, "frmDHCPLeases ListDHCP_AfterLabelEdit", RenameOutcome::kKept, [&] {
    auto it =
        std::find_if(table_.begin(), table_.end(), [&](const clLease& l) { return l.IPaddr == address; });
    if (it == table_.end()) return RenameOutcome::kNoLease;
    const auto dot = it->ClientName.find('.');
    const std::string domain = dot == std::string::npos ? "" : it->ClientName.substr(dot + 1);
    std::string short_name = CleanName(edited);
    short_name = short_name.substr(0, short_name.find('.'));
    const std::string full = short_name + "." + domain;
    if (short_name.empty() || full == it->ClientName) return RenameOutcome::kKept;
    for (const clLease& other : table_) {
      if (other.ClientName == full) return RenameOutcome::kNameExists;
    }
    it->ClientName = full;
    changed_ = true;
    const std::string id = it->ClientID;
    std::erase_if(aliases, [&](const clDHCPAlias& a) { return a.ClientID == id; });
    aliases.push_back({id, short_name});
    return RenameOutcome::kRenamed;
  });
}

void LeaseStore::Delete(const std::string& address) {
  Trap(env_.errors, "frmDHCPLeases DelLease", [&] {
    if (std::erase_if(table_, [&](const clLease& l) { return l.IPaddr == address; }) > 0) changed_ = true;
  });
}

}  // namespace vell
