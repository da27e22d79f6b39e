// One DHCP lease: the address handed to a client and the name it is known by.
#pragma once

#include <string>

#include "core/clock.h"

namespace vell {

struct clLease {
  std::string IPaddr;
  std::string ClientName;  // fully qualified, lower case, trailing dot
  // End of validity; a lease not later than now is expired but stays.
  DateTime Expires = 0;
  std::string ClientID;  // option 61, or the hardware address (octets)
  std::string HWAddr;    // octets
  bool operator==(const clLease&) const = default;
};

}  // namespace vell
