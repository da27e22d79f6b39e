// What Arrival answers where the system tests' clients do not go: a renewal,
// a refusal, what is not served. Replies are recorded, not sent.
#include "dhcp/mod_dhcp.h"

#include <gtest/gtest.h>

#include "core/ip.h"
#include "test_support.h"

namespace vell {
namespace {

std::string Opt(int code, const std::string& v) { return std::string{char(code), char(v.size())} + v; }
const std::string kAsk10 = Opt(50, IPToData("10.0.0.10")), kServer = Opt(54, IPToData("10.0.0.1"));

struct Sent {
  std::string to, msg;
  int Type() const { return static_cast<unsigned char>(msg.at(242)); }
  std::string Yiaddr() const { return DataToIP(msg.substr(16, 4)); }
};

class DhcpTest : public ::testing::Test, DhcpSender {
 protected:
  DhcpTest() {
    t.ctx.settings.DHCP = {
        {"10.0.0.1", "10.0.0.10", "10.0.0.12", "255.255.255.0", "10.0.0.254", 3600, "lan."}};
    t.ctx.log.KeepLog = true;
  }
  std::string LocalIP(int index) const override { return index == 1 ? "10.0.0.1" : "10.9.9.9"; }
  void SendDhcp(int, const std::string& to, uint16_t port, const std::string& msg) override {
    sent.push_back({to + ":" + std::to_string(port), msg});
  }
  // A BOOTREQUEST from 02:00:00:00:00:mac (none for 0), options after option 53, fed as the front end does.
  std::vector<Sent> Feed(int type, const std::string& options, int mac = 1,
                         const std::string& from = "0.0.0.0", int index = 1) {
    std::string buffer = std::string{1, 1, char(mac ? 6 : 0)} + std::string(9, '\0') + IPToData(from) +
                         std::string(12, '\0') + std::string("\x02\0\0\0\0", 5) + char(mac) +
                         std::string(202, '\0') + "\x63\x82\x53\x63" + Opt(53, std::string(1, char(type))) +
                         options + "\xff";
    sent.clear();
    dhcp.Arrival(index, from, buffer);
    EXPECT_TRUE(buffer.empty());
    return sent;
  }

  test::TestContext t;
  std::vector<Sent> sent;
  modDHCP dhcp{t.ctx.env, t.ctx.DHCPLeases, *this, 68};
};

TEST_F(DhcpTest, ARequestGoesLiveOrIsRefusedAndARenewalIsAnsweredToTheClientsAddress) {
  EXPECT_EQ(Feed(3, Opt(12, "pc") + kAsk10 + kServer).at(0).to, "255.255.255.255:68");
  EXPECT_EQ(t.ctx.Leases.All().at(0).Expires, t.ctx.Now() + Seconds(3600));
  const auto renew = Feed(3, Opt(12, "pc"), 1, "10.0.0.10");
  EXPECT_EQ(renew.at(0).Type(), kDhcpAck);
  EXPECT_EQ(renew[0].to, "10.0.0.10:68");
  EXPECT_EQ(Feed(1, Opt(12, "tv") + kAsk10, 2).at(0).Yiaddr(), "10.0.0.11");  // taken: another address
  EXPECT_EQ(Feed(3, Opt(12, "tv") + kAsk10 + kServer, 2).at(0).Type(), kDhcpNak);
}

TEST_F(DhcpTest, WhatIsNotServedGetsNoReply) {
  EXPECT_TRUE(Feed(1, "", 0).empty());                // neither hardware address nor client identifier
  EXPECT_TRUE(Feed(1, "", 1, "0.0.0.0", 2).empty());  // a socket without a scope
  EXPECT_TRUE(Feed(8, "").empty());
  EXPECT_EQ(t.ctx.log.LogBuffer.back().substr(11), "Unrecognized DHCP Request (8) from 020000000001");
  EXPECT_TRUE(t.ctx.Leases.empty());
}

}  // namespace
}  // namespace vell
