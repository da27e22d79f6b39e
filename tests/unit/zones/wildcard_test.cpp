// Wildcard owners: every level from the name up to the apex, closest first.
#include <gtest/gtest.h>

#include "zone_fixture.h"

namespace vell::test {
namespace {

using Texts_ = std::vector<std::string>;

constexpr int16_t kA = 1, kMX = 15, kTXT = 16;

class WildcardTest : public ZoneTest {
 protected:
  WildcardTest() {
    Load("example.com.",
         "@ SOA ns1 hm 1 2 3 4 5\n"
         "* A 10.1.1.1\n"
         "* MX 10 mail\n"
         "mail A 10.0.0.25\n"
         "b TXT \"b exists\"\n"
         "*.c A 10.3.3.3\n"
         "d DFCN target\n");
  }
};

TEST_F(WildcardTest, AnswersBelowAnExistingNameWithTheQueryName) {
  const auto a = Ask("a.b.example.com.", kA);
  EXPECT_TRUE(a->AA);
  EXPECT_EQ(Texts(a->Section2), Texts_{"A-record for a.b.example.com. = 10.1.1.1"});
  // The stored wildcard record keeps its own name.
  EXPECT_EQ(Texts(Ask("*.example.com.", kA)->Section2), Texts_{"A-record for *.example.com. = 10.1.1.1"});
}

TEST_F(WildcardTest, ClosestLevelWinsAndItsExistenceEndsTheSearch) {
  EXPECT_EQ(Texts(Ask("y.x.c.example.com.", kA)->Section2),
            Texts_{"A-record for y.x.c.example.com. = 10.3.3.3"});
  // *.c.example.com. exists without MX: no data, not the MX of *.example.com.
  const auto mx = Ask("x.c.example.com.", kMX);
  EXPECT_EQ(mx->RCode, 0);
  EXPECT_TRUE(mx->Section2.empty());
  EXPECT_EQ(mx->Section3.size(), 1u);
}

TEST_F(WildcardTest, SynthesisedMxGetsAddressesAndExistingNamesAreNotWildcarded) {
  const auto mx = Ask("q.example.com.", kMX);
  EXPECT_EQ(Texts(mx->Section2), Texts_{"MX-record for q.example.com. = mail.example.com. (Preference 10)"});
  EXPECT_EQ(Texts(mx->Section4), Texts_{"A-record for mail.example.com. = 10.0.0.25"});

  const auto b = Ask("b.example.com.", kA);
  EXPECT_TRUE(b->Section2.empty());
  EXPECT_EQ(b->RCode, 0);
  EXPECT_EQ(Ask("x.example.com.", kTXT)->RCode, 0);  // the wildcard exists, without TXT
}

TEST_F(WildcardTest, DfcnAliasesEveryNameDirectlyBelowItsOwner) {
  EXPECT_EQ(Texts(Ask("host.d.example.com.", kA)->Section2),
            Texts_{"CNAME-record for host.d.example.com. = target.example.com."});
}

TEST_F(ZoneTest, DfcnAloneDoesNotSwitchWildcardsOn) {
  const clZone* zone = Load("example.com.", "@ SOA ns1 hm 1 2 3 4 5\nd DFCN target\n");
  ASSERT_NE(zone, nullptr);
  EXPECT_FALSE(zone->HasWildcards);
  EXPECT_EQ(Ask("host.d.example.com.", kA)->RCode, 3);
}

}  // namespace
}  // namespace vell::test
