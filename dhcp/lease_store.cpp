#include "dhcp/lease_store.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/ip.h"
#include "core/text.h"

namespace vell {

namespace {

bool InScope(const clDHCPif& dhcp, uint32_t address) {
  return address >= LeaseAddressNumber(dhcp.ScopeFrom) && address <= LeaseAddressNumber(dhcp.ScopeTo);
}

std::string AddressText(uint32_t n) {
  return DataToIP({static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                   static_cast<char>(n)});
}

}  // namespace

bool LeaseStore::ValidLease(const clDHCPif& dhcp, const std::string& address, const std::string& name,
                            bool reuse) const {
  return TrapOr(env_.errors, "modDHCP ValidLease", false, [&] {
    if (address.empty() || address == "0.0.0.0") return false;
    if (address == dhcp.IPaddr) return false;
    if (!InScope(dhcp, LeaseAddressNumber(address))) return false;
    const DateTime now = env_.Now();
    // Reuse frees an expired lease's address but still holds its name.
    for (LeaseTable::Ref ref : table_.OfAddress(address)) {
      if (!reuse || LeaseTable::Of(ref).Expires > now) return false;
    }
    return !NameHeld(name, reuse);
  });
}

bool LeaseStore::NameHeld(const std::string& name, bool reuse) const {
  if (name == env_.settings.NAME + ".") return true;
  const DateTime now = env_.Now();
  for (LeaseTable::Ref ref : table_.OfName(name)) {
    if (reuse || LeaseTable::Of(ref).Expires > now) return true;
  }
  return false;
}

std::string LeaseStore::FirstValid(const clDHCPif& dhcp, const std::string& name, bool reuse) const {
  return TrapOr(env_.errors, "modDHCP ValidLease", std::string(), [&] {
    if (NameHeld(name, reuse)) return std::string();
    const uint32_t from = LeaseAddressNumber(dhcp.ScopeFrom), to = LeaseAddressNumber(dhcp.ScopeTo);
    const uint32_t own = LeaseAddressNumber(dhcp.IPaddr);
    if (!reuse) {
      const auto free = table_.FirstUncarried(from, to, own);
      return free ? AddressText(*free) : std::string();
    }
    // Every address carries a lease: the first whose leases have all
    // expired. Rare (a full scope), so one walk of the table will do.
    const DateTime now = env_.Now();
    std::vector<uint32_t> taken = {0, own};
    taken.reserve(table_.size() + 2);
    for (const clLease& lease : table_) {
      if (lease.Expires > now) taken.push_back(LeaseAddressNumber(lease.IPaddr));
    }
    std::sort(taken.begin(), taken.end());
    uint64_t candidate = from;
    for (auto it = std::lower_bound(taken.begin(), taken.end(), candidate);
         it != taken.end() && *it <= candidate; ++it) {
      if (*it == candidate) ++candidate;
    }
    return candidate <= to ? AddressText(static_cast<uint32_t>(candidate)) : std::string();
  });
}

void LeaseStore::Remove(const std::string& address, const std::string& name) {
  Trap(env_.errors, "modDHCP Remove", [&] {
    for (LeaseTable::Ref ref : table_.OfAddress(address)) Erase(ref);
    for (LeaseTable::Ref ref : table_.OfName(name)) Erase(ref);
  });
}

void LeaseStore::Erase(LeaseTable::Ref ref) {
  table_.Erase(ref);
  changed_ = true;
}

void LeaseStore::RemoveClient(const std::string& client_id) {
  const auto refs = table_.OfClient(client_id);
  if (!refs.empty()) Erase(refs.front());
}

void LeaseStore::Add(clLease lease) {
  table_.Add(std::move(lease));
  changed_ = true;
}

void LeaseStore::Release(const std::string& client_id) {
  const auto refs = table_.OfClient(client_id);
  if (refs.empty()) return;
  table_.SetExpires(refs.front(), env_.Now());
  changed_ = true;
}

RenameOutcome LeaseStore::Rename(const std::string& address, const std::string& edited,
                                 std::vector<clDHCPAlias>& aliases) {
  return TrapOr(env_.errors, "frmDHCPLeases ListDHCP_AfterLabelEdit", RenameOutcome::kKept, [&] {
    const auto of_address = table_.OfAddress(address);
    if (of_address.empty()) return RenameOutcome::kNoLease;
    const clLease& lease = LeaseTable::Of(of_address.front());
    const auto dot = lease.ClientName.find('.');
    const std::string domain = dot == std::string::npos ? "" : lease.ClientName.substr(dot + 1);
    std::string short_name = CleanName(edited);
    short_name = short_name.substr(0, short_name.find('.'));
    const std::string full = short_name + "." + domain;
    if (short_name.empty() || full == lease.ClientName) return RenameOutcome::kKept;
    if (!table_.OfName(full).empty()) return RenameOutcome::kNameExists;
    const std::string id = lease.ClientID;
    table_.Rename(of_address.front(), full);
    changed_ = true;
    std::erase_if(aliases, [&](const clDHCPAlias& a) { return a.ClientID == id; });
    aliases.push_back({id, short_name});
    return RenameOutcome::kRenamed;
  });
}

void LeaseStore::Delete(const std::string& address) {
  Trap(env_.errors, "frmDHCPLeases DelLease", [&] {
    for (LeaseTable::Ref ref : table_.OfAddress(address)) Erase(ref);
  });
}

}  // namespace vell
