// The DHCP scopes and fixed client names as the configuration holds them.
#pragma once

#include <string>

namespace vell {

// One DHCP scope, bound to one interface address.
struct clDHCPif {
  std::string IPaddr;
  std::string ScopeFrom;
  std::string ScopeTo;
  std::string Subnet;
  std::string Gateway;
  int TTL = 0;  // lease time, seconds
  std::string Domain;
  bool Enable = false;
  bool operator==(const clDHCPif&) const = default;
};

// A fixed host name for a client, by hardware address (raw octets).
struct clDHCPAlias {
  std::string ClientID;
  std::string Name;
  bool operator==(const clDHCPAlias&) const = default;
};

}  // namespace vell
