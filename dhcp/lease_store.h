// The lease store: the process-wide table of leases, the rule
// that decides whether an address may be leased under a name, dhcp.dat, and
// the operator's rename and delete.
#pragma once

#include <string>
#include <vector>

#include "core/config/dhcp_config.h"
#include "core/env.h"
#include "dhcp/lease.h"
#include "dhcp/lease_table.h"

namespace vell {

inline constexpr const char* kLeaseFileName = "dhcp.dat";

// dhcp.dat as text: the header line, then one line per lease in table order.
std::string LeaseFileText(const LeaseTable& leases);
// The leases of a dhcp.dat text, both line forms; unreadable lines skipped.
std::vector<clLease> ReadLeaseFile(const std::string& text);

enum class RenameOutcome { kNoLease, kKept, kNameExists, kRenamed };

class LeaseStore {
 public:
  LeaseStore(Env& env, LeaseTable& table) : env_(env), table_(table) {}

  const LeaseTable& Table() const { return table_; }

  bool ValidLease(const clDHCPif& dhcp, const std::string& address, const std::string& name,
                  bool reuse) const;
  // The first address of the scope, from ScopeFrom on, that ValidLease
  // accepts for the name; "" when there is none.
  std::string FirstValid(const clDHCPif& dhcp, const std::string& name, bool reuse) const;
  // Removes every lease of the address or of the name.
  void Remove(const std::string& address, const std::string& name);
  // Removes the first lease of the client.
  void RemoveClient(const std::string& client_id);
  void Add(clLease lease);
  // Release: the client's first lease expires now and stays.
  void Release(const std::string& client_id);

  // Rename of the lease of address to the edited short name; on kRenamed the
  // aliases hold the new name for the client and the caller saves them.
  RenameOutcome Rename(const std::string& address, const std::string& edited,
                       std::vector<clDHCPAlias>& aliases);
  // Removes every lease of the address (the operator's delete).
  void Delete(const std::string& address);

  // dhcp.dat of the program directory.
  void SaveLeases();
  void Load();
  // The housekeeping tick: rewrites dhcp.dat when the table changed since
  // the last write, so that a crash loses at most a second of leases.
  void SaveIfChanged();
  bool Changed() const { return changed_; }

 private:
  // The name is the server's own or a lease holds it (any lease when
  // reuse, else a live one).
  bool NameHeld(const std::string& name, bool reuse) const;
  void Erase(LeaseTable::Ref ref);

  Env& env_;
  LeaseTable& table_;
  bool changed_ = false;
};

}  // namespace vell
