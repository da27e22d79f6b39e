// Resolving from the root hints: referrals, glue and sub-requests for
// server addresses, CNAME restarts. (Clients asking the same question share
// one outgoing query: the request queue's unit test and the system test of
// forwarding.)
#include <filesystem>

#include "resolver_fixture.h"

namespace vell::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

TEST_F(ResolverTest, ReferralsWithGlueAreFollowedDownToTheAnswer) {
  ClientAsks("www.example.com.");
  EXPECT_EQ(LastAsked(), "198.51.100.1 www.example.com.");
  Refer("com.", "a.gtld.", "198.51.100.2");
  EXPECT_EQ(LastAsked(), "198.51.100.2 www.example.com.");
  Refer("example.com.", "ns1.example.com.", "198.51.100.3");
  EXPECT_EQ(LastAsked(), "198.51.100.3 www.example.com.");
  EXPECT_TRUE(sender.answers.empty());
  Respond(0x84, 0, {{"www.example.com.", kTypeA, "192.0.2.80"}});

  // Iterative queries: no RD, type A.
  ASSERT_EQ(sender.requests.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const Message q = ReadReply(sender.requests[i].msg);
    EXPECT_EQ(q.header.flags1, 0);
    EXPECT_EQ(q.question.type, kTypeA);
  }
  const Message r = ClientReply();
  EXPECT_EQ(r.header.id, 0x4242);
  EXPECT_FALSE(r.header.AA());
  EXPECT_TRUE(r.header.RA());
  EXPECT_THAT(Datas(r.answer), ElementsAre("192.0.2.80"));
  EXPECT_THAT(Logged(), Contains("Sending request to ns1.example.com. (198.51.100.3) for A-record for "
                                 "www.example.com."));

  // What was learnt answers the next client without any query.
  sender.answers.clear();
  ClientAsks("www.example.com.", kTypeA, "10.0.0.8");
  EXPECT_EQ(sender.requests.size(), 3u);
  EXPECT_THAT(Datas(ClientReply().answer), ElementsAre("192.0.2.80"));
}

TEST_F(ResolverTest, AServerNamedOutsideTheZoneIsFoundByASubRequest) {
  ClientAsks("www.example.com.");
  Refer("com.", "a.gtld.", "198.51.100.2");
  Refer("example.com.", "ns.hoster.net.");  // no glue, and none needed
  // The sub-request starts from the closest delegation it knows: the root.
  EXPECT_EQ(LastAsked(), "198.51.100.1 ns.hoster.net.");
  Respond(0x84, 0, {{"ns.hoster.net.", kTypeA, "198.51.100.7"}});
  EXPECT_EQ(LastAsked(), "198.51.100.7 www.example.com.");
  Respond(0x84, 0, {{"www.example.com.", kTypeA, "192.0.2.80"}});
  EXPECT_THAT(Datas(ClientReply().answer), ElementsAre("192.0.2.80"));
}

TEST_F(ResolverTest, AServerInsideItsZoneWithoutAddressIsResolvedFromTheRoot) {
  // The cache knows the delegation but not the server's address.
  Hint("example.com.", kTypeNS, "ns1.example.com.");
  ClientAsks("www.example.com.");
  // Starting from the cached delegation would only lead back to it.
  EXPECT_EQ(LastAsked(), "198.51.100.1 ns1.example.com.");
  Respond(0x84, 0, {{"ns1.example.com.", kTypeA, "198.51.100.3"}});
  EXPECT_EQ(LastAsked(), "198.51.100.3 www.example.com.");
}

TEST_F(ScriptedServersTest, ASubRequestFromTheRootThatMeetsAnAddresslessRootServerDropsIt) {
  Hint(".", kTypeNS, "b.root.");  // hints without an address
  ClientAsks("www.example.com.");
  EXPECT_TRUE(sender.requests.empty());
  EXPECT_EQ(ClientReply().header.RCode(), 2);
  EXPECT_FALSE(std::filesystem::exists(ctx.Path("support.txt")));
}

TEST_F(ResolverTest, AnAliasFoundByRecursionIsFollowedToItsTarget) {
  ClientAsks("www.example.com.");
  Respond(0x84, 0, {{"www.example.com.", kTypeCNAME, "web.example.net."}});
  EXPECT_EQ(LastAsked(), "198.51.100.1 web.example.net.");
  Respond(0x84, 0, {{"web.example.net.", kTypeA, "192.0.2.90"}});
  const Message r = ClientReply();
  EXPECT_EQ(r.question.name, "www.example.com.");
  EXPECT_THAT(Datas(r.answer), ElementsAre("web.example.net.", "192.0.2.90"));
}

}  // namespace
}  // namespace vell::test
