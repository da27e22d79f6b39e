// Which clients may use recursion (DNSRECURSION), seen in the RA bit and in
// what a query for a name outside the local data gets.
#include "query_fixture.h"

namespace vell::test {
namespace {

TEST_F(QueryTest, TheRABitFollowsTheRecursionPattern) {
  ctx.LocalIPs = {"192.0.2.7"};
  const struct {
    std::string pattern, client;
    bool allowed;
  } rows[] = {
      {"<all>", "10.1.1.1", true},
      {"", "10.1.1.1", true},
      {"<none>", "10.1.1.1", false},
      {"<none>", "127.0.0.1", true},
      {"<none>", "192.0.2.7", true},
      {"10.0.0.1", "192.0.2.7", true},
      {"192.168.*", "192.168.5.5", true},
      {"192.168.*", "192.169.0.1", false},
      // A plain text prefix, not a net: 192.168.1 admits 192.168.10.x too.
      {"192.168.1", "192.168.10.1", true},
      {"192.168.1", "192.168.2.1", false},
      {"192.168.1.50", "192.168.1.5", false},
      {"*", "10.9.9.9", true},
  };
  for (const auto& row : rows) {
    ctx.settings.DNSRECURSION = row.pattern;
    EXPECT_EQ(Ask("nowhere.test.", kTypeA, 0x00, row.client).header.RA(), row.allowed)
        << row.pattern << " " << row.client;
  }
}

class RecursionTest : public QueryTest {
 protected:
  RecursionTest() {
    auto zone = ExampleZone();
    Add(zone, "sub.example.com.", kTypeNS, "ns.sub.example.com.");
    Add(zone, "ns.sub.example.com.", kTypeA, "192.0.2.53");
    ctx.settings.DNSRECURSION = "192.168.*";
  }
};

TEST_F(RecursionTest, AClientWithoutRecursionGetsTheReferralTheZonesHold) {
  const Message r = Ask("host.sub.example.com.", kTypeA, 0x01, "10.0.0.9");
  EXPECT_FALSE(r.header.RA());
  EXPECT_FALSE(r.header.AA());
  EXPECT_EQ(r.header.RCode(), 0);
  EXPECT_EQ(r.header.flags1, 0x81);
  EXPECT_TRUE(r.answer.empty());
  ASSERT_EQ(r.authority.size(), 1u);
  EXPECT_EQ(r.authority[0].name, "sub.example.com.");
  EXPECT_EQ(r.authority[0].data, "ns.sub.example.com.");
  EXPECT_EQ(Datas(r.additional), std::vector<std::string>{"192.0.2.53"});
}

TEST_F(RecursionTest, AClientWithoutRecursionIsRefusedWhatOnlyTheCacheKnows) {
  ctx.Cache.AddRec(
      MakeRecord(ctx.clock, Lifetime::kLearnt, "www.example.org.", kTypeA, IPToData("192.0.2.80"), 600));
  auto zone = AddZone("example.net.");
  Add(zone, "web.example.net.", kTypeCNAME, "www.example.org.");
  const struct {
    std::string name;
    std::string client;
    int rcode;
    std::vector<std::string> answer;
  } rows[] = {
      {"www.example.org.", "10.0.0.9", header::kRCodeRefused, {}},
      {"web.example.net.", "10.0.0.9", header::kRCodeNoError, {"www.example.org."}},
      {"www.example.org.", "192.168.0.3", header::kRCodeNoError, {"192.0.2.80"}},
  };
  for (const auto& row : rows) {
    const Message r = Ask(row.name, kTypeA, 0x01, row.client);
    EXPECT_EQ(r.header.RCode(), row.rcode) << row.name << " from " << row.client;
    EXPECT_EQ(Datas(r.answer), row.answer) << row.name << " from " << row.client;
  }
}

TEST_F(RecursionTest, WithNoNameServerToAskARecursiveQueryFails) {
  // Nothing is known about the name: neither zones nor cache hold a delegation.
  const Message r = Ask("nowhere.test.", kTypeA, 0x01, "192.168.0.3");
  EXPECT_TRUE(r.header.RA());
  EXPECT_EQ(r.header.RCode(), 2);
  EXPECT_EQ(r.header.ancount + r.header.nscount + r.header.arcount, 0);
  EXPECT_TRUE(sender.requests.empty());
}

}  // namespace
}  // namespace vell::test
