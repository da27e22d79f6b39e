// One DHCP lease: the address handed to a client and the name it is known by.
#pragma once

#include <string>

#include "core/clock.h"

namespace vell {

struct clLease {
  std::string IPaddr;
  std::string ClientName;  // fully qualified, lower case, trailing dot
  DateTime Expires = 0;
};

}  // namespace vell
