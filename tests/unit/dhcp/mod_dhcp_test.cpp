// DHCP message handling: what Arrival answers, and what it drops, with the
// replies captured by a recording sender.
#include "dhcp/mod_dhcp.h"

#include <gtest/gtest.h>

#include "core/ip.h"
#include "dhcp_packets.h"
#include "test_support.h"

namespace vell {
namespace {

using test::DhcpPacket;
using test::Ip;
using test::Mac;

struct Sent {
  int index;
  std::string host;
  uint16_t port;
  std::string msg;
  int Type() const { return static_cast<unsigned char>(msg[242]); }
  std::string Yiaddr() const { return DataToIP(msg.substr(16, 4)); }
};

class RecordingSender final : public DhcpSender {
 public:
  std::string LocalIP(int index) const override { return index == 1 ? "10.0.0.1" : "10.9.9.9"; }
  void SendDhcp(int index, const std::string& host, uint16_t port, const std::string& msg) override {
    sent.push_back({index, host, port, msg});
  }
  std::vector<Sent> sent;
};

class DhcpTest : public ::testing::Test {
 protected:
  DhcpTest() {
    clDHCPif scope;
    scope.IPaddr = "10.0.0.1";
    scope.ScopeFrom = "10.0.0.10";
    scope.ScopeTo = "10.0.0.12";
    scope.Subnet = "255.255.255.0";
    scope.Gateway = "10.0.0.254";
    scope.TTL = 3600;
    scope.Domain = "lan.";
    t.ctx.settings.DHCP = {scope};
    t.ctx.log.KeepLog = true;
  }
  // Feeds the packet as the front end does; returns the replies it caused.
  std::vector<Sent> Feed(const DhcpPacket& p, const std::string& from = "0.0.0.0") {
    buffer = p.Build();
    sender.sent.clear();
    dhcp.Arrival(1, from, buffer);
    EXPECT_TRUE(buffer.empty());
    return sender.sent;
  }
  std::string LastLog() const {
    return t.ctx.log.LogBuffer.empty() ? "" : t.ctx.log.LogBuffer.back().substr(11);
  }

  test::TestContext t;
  RecordingSender sender;
  modDHCP dhcp{t.ctx.env, t.ctx.DHCPLeases, sender, 68};
  std::string buffer;
};

TEST_F(DhcpTest, DiscoverIsOfferedTheFirstFreeAddressWithTheOptionsInOrder) {
  const auto sent = Feed(DhcpPacket().Opt(12, std::string("Laptop.home\0junk", 16)));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].host, "255.255.255.255");
  EXPECT_EQ(sent[0].port, 68);
  const std::string& m = sent[0].msg;
  EXPECT_EQ(m[0], 2);
  EXPECT_EQ(m.substr(4, 4), "\x11\x22\x33\x44");
  EXPECT_EQ(sent[0].Yiaddr(), "10.0.0.10");
  EXPECT_EQ(m.substr(28, 16), Mac(1) + std::string(10, '\0'));
  const std::string options = std::string("\x35\x01\x02") + "\x3d\x06" + Mac(1) + "\x01\x04" +
                              Ip(255, 255, 255, 0) + "\x36\x04" + Ip(10, 0, 0, 1) + "\x33\x04" +
                              Ip(0, 0, 14, 16) + "\x06\x04" + Ip(10, 0, 0, 1) + "\x03\x04" +
                              Ip(10, 0, 0, 254) + "\x0c\x07" + std::string("laptop\0", 7) + "\x0f\x03LAN\xff";
  EXPECT_EQ(m.substr(240), options);
  EXPECT_EQ(LastLog(), "Sending DHCP Offer to laptop for 10.0.0.10");
  ASSERT_EQ(t.ctx.Leases.size(), 1u);
  EXPECT_EQ(t.ctx.Leases[0].ClientName, "laptop.lan.");
  EXPECT_LE(t.ctx.Leases[0].Expires, t.ctx.Now());  // a reservation
}

TEST_F(DhcpTest, RequestIsAcknowledgedAndTheLeaseGoesLive) {
  Feed(DhcpPacket().Opt(12, "pc"));
  const auto sent = Feed(DhcpPacket(3).Opt(12, "pc").Opt(50, Ip(10, 0, 0, 10)).Opt(54, Ip(10, 0, 0, 1)));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Type(), kDhcpAck);
  EXPECT_EQ(sent[0].Yiaddr(), "10.0.0.10");
  ASSERT_EQ(t.ctx.Leases.size(), 1u);
  EXPECT_EQ(t.ctx.Leases[0].Expires, t.ctx.Now() + Seconds(3600));
  EXPECT_TRUE(t.ctx.DHCPLeases.Changed());

  // A renewal from the client's own address goes back to that address.
  const auto renew = Feed(DhcpPacket(3).Ciaddr(Ip(10, 0, 0, 10)).Opt(12, "pc"), "10.0.0.10");
  ASSERT_EQ(renew.size(), 1u);
  EXPECT_EQ(renew[0].Type(), kDhcpAck);
  EXPECT_EQ(renew[0].host, "10.0.0.10");

  // A second client is offered another address and refused this one.
  const auto other = Feed(DhcpPacket().Hw(Mac(2)).Opt(12, "tv").Opt(50, Ip(10, 0, 0, 10)));
  EXPECT_EQ(other.at(0).Yiaddr(), "10.0.0.11");
  const auto nak =
      Feed(DhcpPacket(3).Hw(Mac(2)).Opt(12, "tv").Opt(50, Ip(10, 0, 0, 10)).Opt(54, Ip(10, 0, 0, 1)));
  EXPECT_EQ(nak.at(0).Type(), kDhcpNak);
}

TEST_F(DhcpTest, ReleaseFreesTheAddressButTheNameStaysHeld) {
  Feed(DhcpPacket().Opt(12, "pc"));
  Feed(DhcpPacket(3).Opt(12, "pc").Opt(50, Ip(10, 0, 0, 10)).Opt(54, Ip(10, 0, 0, 1)));
  EXPECT_TRUE(Feed(DhcpPacket(7).Ciaddr(Ip(10, 0, 0, 10)), "10.0.0.10").empty());
  EXPECT_EQ(LastLog(), "DHCP Release from 10.0.0.10");
  EXPECT_LE(t.ctx.Leases.at(0).Expires, t.ctx.Now());
  t.clock.AdvanceSeconds(1);
  // A request under the released name is refused ...
  const auto nak =
      Feed(DhcpPacket(3).Hw(Mac(3)).Opt(12, "pc").Opt(50, Ip(10, 0, 0, 11)).Opt(54, Ip(10, 0, 0, 1)));
  EXPECT_EQ(nak.at(0).Type(), kDhcpNak);
  // ... while another client asking for the address is offered it.
  EXPECT_EQ(Feed(DhcpPacket().Hw(Mac(2)).Opt(12, "tv").Opt(50, Ip(10, 0, 0, 10))).at(0).Yiaddr(),
            "10.0.0.10");
}

TEST_F(DhcpTest, AClientWithoutAHostNameIsNamedByItsAlias) {
  t.ctx.settings.DHCPALIAS = {{"\x01\x02", "printer"}};
  Feed(DhcpPacket().Opt(61, "\x01\x02"));
  EXPECT_EQ(t.ctx.Leases.back().ClientName, "printer.lan.");
}

// The bad requests real clients never send are in tests/system/test_dhcp.py.
TEST_F(DhcpTest, WhatIsNotServedGetsNoReplyAndLeavesTheBufferEmpty) {
  EXPECT_TRUE(Feed(DhcpPacket().Hw("")).empty());  // neither hardware address nor client identifier
  EXPECT_TRUE(Feed(DhcpPacket(4)).empty());
  EXPECT_TRUE(Feed(DhcpPacket(8)).empty());
  EXPECT_EQ(LastLog(), "Unrecognized DHCP Request (8) from 020000000001");
  buffer = DhcpPacket().Build();
  dhcp.Arrival(2, "0.0.0.0", buffer);  // a socket without a scope
  EXPECT_TRUE(buffer.empty());
  EXPECT_TRUE(sender.sent.empty() && t.ctx.Leases.empty());
  EXPECT_EQ(t.ctx.state.RequestCount, 4);
}

}  // namespace
}  // namespace vell
