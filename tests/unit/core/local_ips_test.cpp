#include "core/local_ips.h"

#include <gtest/gtest.h>

#include "core/ip.h"

namespace vell {
namespace {

using List = std::vector<std::string>;

TEST(LocalIPs, ReachableAddressesFirstLoopbackLastNoDuplicates) {
  EXPECT_EQ(OrderLocalIPs({{"lo", "127.0.0.1"},
                           {"eth0", "192.168.1.5"},
                           {"lo", "10.9.9.9"},
                           {"wlan0", "10.0.0.2"},
                           {"eth0:1", "192.168.1.5"},
                           {"br0", "127.0.1.1"}}),
            (List{"192.168.1.5", "10.0.0.2", "127.0.0.1", "10.9.9.9", "127.0.1.1"}));
  EXPECT_EQ(OrderLocalIPs({{"lo", "127.0.0.1"}}), List{"127.0.0.1"});
  EXPECT_EQ(OrderLocalIPs({}), List{});
}

TEST(LocalIPs, MachineAddressesAreCanonicalDottedText) {
  for (const auto& ip : FindLocalIPs()) EXPECT_EQ(CleanIP(ip), ip);
}

}  // namespace
}  // namespace vell
