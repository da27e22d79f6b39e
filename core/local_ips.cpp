#include "core/local_ips.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

namespace vell {

namespace {

bool IsLoopback(const std::string& interface, const std::string& ip) {
  return interface == "lo" || ip.rfind("127.", 0) == 0;
}

}  // namespace

InterfaceAddresses ReadInterfaceAddresses() {
  InterfaceAddresses found;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return found;
  for (const ifaddrs* ifa = list; ifa != nullptr; ifa = ifa->ifa_next) {
    // Interfaces that are down cannot carry traffic; their addresses would
    // make a useless default primary address.
    if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET || (ifa->ifa_flags & IFF_UP) == 0) {
      continue;
    }
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr);
    if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr)
      found.emplace_back(ifa->ifa_name, text);
  }
  freeifaddrs(list);
  return found;
}

std::vector<std::string> OrderLocalIPs(const InterfaceAddresses& found) {
  std::vector<std::string> reachable;
  std::vector<std::string> loopback;
  const auto seen = [&](const std::string& ip) {
    return std::find(reachable.begin(), reachable.end(), ip) != reachable.end() ||
           std::find(loopback.begin(), loopback.end(), ip) != loopback.end();
  };
  for (const auto& [interface, ip] : found) {
    if (seen(ip)) continue;
    (IsLoopback(interface, ip) ? loopback : reachable).push_back(ip);
  }
  reachable.insert(reachable.end(), loopback.begin(), loopback.end());
  return reachable;
}

std::vector<std::string> FindLocalIPs() { return OrderLocalIPs(ReadInterfaceAddresses()); }

}  // namespace vell
