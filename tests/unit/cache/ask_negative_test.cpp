// Answers from negative entries: name errors, missing types, and entries
// whose proving SOA has gone.
#include "cache_fixture.h"

namespace vell::test {
namespace {

using CacheAskNegative = CacheTest;

TEST_F(CacheAskNegative, NameErrorCarriesTheSoaOnlyWithoutRecursion) {
  RecordPtr soa = Soa("example.", 600);
  clDNSAnswer gone = Negative("gone.example.", kTypeA, 3, soa);
  cache.CacheAdd(gone);

  auto plain = cache.Ask("gone.example.", kTypeMX, Recursion::kNotDesired, LookupKind::kFull);
  EXPECT_EQ(plain->RCode, 3);
  EXPECT_TRUE(plain->AA);
  ASSERT_EQ(plain->Section3.size(), 1u);
  EXPECT_EQ(plain->Section3[0], soa);

  auto recursive = cache.Ask("gone.example.", kTypeA, Recursion::kDesired, LookupKind::kFull);
  EXPECT_EQ(recursive->RCode, 3);
  EXPECT_FALSE(recursive->AA);
  EXPECT_TRUE(recursive->Section2.empty() && recursive->Section3.empty());
}

TEST_F(CacheAskNegative, MissingTypeAnswersNoDataButQuickieCallsItANameError) {
  clDNSAnswer no_mx = Negative("host.example.", kTypeMX, 0, Soa("example.", 600));
  cache.CacheAdd(no_mx);

  auto nodata = cache.Ask("host.example.", kTypeMX, Recursion::kDesired, LookupKind::kFull);
  EXPECT_EQ(nodata->RCode, 0);
  EXPECT_TRUE(nodata->AA);
  EXPECT_EQ(Describe(nodata->Section3), "example. 6");

  EXPECT_EQ(cache.Ask("host.example.", kTypeMX, Recursion::kDesired, LookupKind::kQuick)->RCode, 3);
  auto other_type = cache.Ask("host.example.", kTypeA, Recursion::kDesired, LookupKind::kFull);
  EXPECT_EQ(other_type->RCode, 0);
  EXPECT_FALSE(other_type->AA);
}

TEST_F(CacheAskNegative, EntryOutlivingItsSoaIsPassedOver) {
  clDNSAnswer gone = Negative("gone.example.", kTypeA, 3, Soa("example.", 600, 100));
  cache.CacheAdd(gone);
  cache.AddRec(Rec(".", kTypeNS, "a.root-servers.net.", 3600, true));
  t.clock.AdvanceSeconds(101);

  auto answer = cache.Ask("gone.example.", kTypeA, Recursion::kNotDesired, LookupKind::kFull);
  EXPECT_EQ(answer->RCode, 0);
  EXPECT_FALSE(answer->AA);
  EXPECT_EQ(Describe(answer->Section3), ". 2 a.root-servers.net.");
}

}  // namespace
}  // namespace vell::test
