// The machine's own IPv4 addresses, in a stable order, found once per run.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vell {

// Interface addresses as the system lists them: (interface name, dotted IPv4).
using InterfaceAddresses = std::vector<std::pair<std::string, std::string>>;

InterfaceAddresses ReadInterfaceAddresses();  // getifaddrs
// Orders them: addresses of other interfaces first, in the system's order,
// loopback last (kept), duplicates dropped; so the first address is one a
// neighbour can reach when there is one.
std::vector<std::string> OrderLocalIPs(const InterfaceAddresses& found);
std::vector<std::string> FindLocalIPs();

}  // namespace vell
