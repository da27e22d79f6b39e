// IPv4 conversions between text, data, bits and reverse names, and the
// machine's own addresses.
#include "core/ip.h"

#include <gtest/gtest.h>

#include "core/local_ips.h"
#include "dns/wire_bytes.h"

namespace vell {
namespace {

using test::Octets;

TEST(IPTest, TextIsReadLeniently) {
  const std::pair<const char*, const char*> cases[] = {
      {" 10.0.0.1", "10.0.0.1"},   {"10.1", "10.1.0.0"},
      {"abc", "0.0.0.0"},          {"", "0.0.0.0"},
      {"300.1.2.3", "0.1.2.3"},    {"-5.1.2.3", "5.1.2.3"},
      {"1.2.3.4.5", "1.2.3.4"},    {"1..3.4", "1.0.3.4"},
      {"010.2x.3 .9", "10.2.3.9"}, {"256.255.-255.-256", "0.255.255.0"}};
  for (const auto& [text, clean] : cases) EXPECT_EQ(CleanIP(text), clean) << text;
  EXPECT_EQ(IPToData("192.168.0.1"), Octets({192, 168, 0, 1}));
  EXPECT_EQ(DataToIP(Octets({1, 2})), "1.2.0.0");
  EXPECT_EQ(DataToIP(Octets({255, 0, 1, 2, 9})), "255.0.1.2");
  const std::pair<const char*, const char*> next[] = {{"10.0.0.1", "10.0.0.2"},
                                                      {"10.0.0.255", "10.0.1.0"},
                                                      {"10.255.255.255", "11.0.0.0"},
                                                      {"255.255.255.255", "0.0.0.0"}};
  for (const auto& [ip, following] : next) EXPECT_EQ(NextIP(ip), following) << ip;
}

TEST(IPTest, NetsGoByTheLastSetMaskBit) {
  RecordingErrorSink sink;
  EXPECT_EQ(IPToBin(sink, "255.255.255.0"), std::string(24, '1') + std::string(8, '0'));
  EXPECT_EQ(IPToBin(sink, "128.0.0.5"), "10000000000000000000000000000101");
  EXPECT_TRUE(SameNet(sink, "192.168.1.10", "192.168.1.200", "255.255.255.0"));
  EXPECT_FALSE(SameNet(sink, "192.168.1.10", "192.168.1.200", "255.255.255.128"));
  EXPECT_TRUE(SameNet(sink, "1.2.3.4", "200.9.9.9", "0.0.0.0"));
  EXPECT_FALSE(SameNet(sink, "10.0.1.1", "10.9.1.1", "255.0.255.0"));  // acts as 255.255.255.0
  EXPECT_FALSE(SameNet(sink, "10.0.1.1", "10.0.1.2", "0.0.0.255"));
  // Valid host addresses: not the network, the broadcast, loopback or empty.
  const std::tuple<const char*, const char*, bool> valid[] = {{"192.168.1.1", "255.255.255.0", true},
                                                              {"192.168.1.0", "255.255.255.0", false},
                                                              {"192.168.1.255", "255.255.255.0", false},
                                                              {"192.168.1.127", "255.255.255.128", false},
                                                              {"192.168.1.128", "255.255.255.128", false},
                                                              {"192.168.1.129", "255.255.255.128", true},
                                                              {"127.0.0.1", "0.0.0.0", false},
                                                              {"10.0.0.1", "255.255.255.255", false},
                                                              {"", "0.0.0.0", false}};
  for (const auto& [address, mask, ok] : valid) EXPECT_EQ(ValidIP(sink, address, mask), ok) << address;
  EXPECT_TRUE(sink.entries.empty());
}

TEST(IPTest, ReverseNames) {
  RecordingErrorSink sink;
  EXPECT_EQ(ArpaToData(sink, "4.3.2.1.in-addr.arpa."), Octets({1, 2, 3, 4}));
  EXPECT_EQ(ArpaToData(sink, "3.2.1.in-addr.arpa."), Octets({0, 1, 2, 3}));
  for (const char* other : {"4.3.2.1.IN-ADDR.ARPA.", "4.3.2.1.in-addr.arpa", "in-addr.arpa."}) {
    EXPECT_EQ(ArpaToData(sink, other), Octets({0, 0, 0, 0})) << other;
  }
  EXPECT_EQ(ArpaToIP(sink, "1.0.168.192.in-addr.arpa."), "192.168.0.1");
  EXPECT_EQ(DataToArpa(sink, Octets({1, 2, 3, 4})), "4.3.2.1.in-addr.arpa.");
  EXPECT_EQ(IPToArpa("192.168.0.1"), "1.0.168.192.in-addr.arpa.");
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(DataToArpa(sink, Octets({1, 2, 3})), "");
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].where, "modIP DataToArpa");
}

TEST(LocalIPs, ReachableAddressesFirstLoopbackLastNoDuplicates) {
  using List = std::vector<std::string>;
  EXPECT_EQ(OrderLocalIPs({{"lo", "127.0.0.1"},
                           {"eth0", "192.168.1.5"},
                           {"lo", "10.9.9.9"},
                           {"wlan0", "10.0.0.2"},
                           {"eth0:1", "192.168.1.5"},
                           {"br0", "127.0.1.1"}}),
            (List{"192.168.1.5", "10.0.0.2", "127.0.0.1", "10.9.9.9", "127.0.1.1"}));
  EXPECT_EQ(OrderLocalIPs({{"lo", "127.0.0.1"}}), List{"127.0.0.1"});
  EXPECT_EQ(OrderLocalIPs({}), List{});
  for (const auto& ip : FindLocalIPs()) EXPECT_EQ(CleanIP(ip), ip);  // the machine's: canonical text
}

}  // namespace
}  // namespace vell
