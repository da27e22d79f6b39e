// Answers from the records at the name, referrals to the closest cached
// name servers, and answers from negative entries (name errors, missing
// types, entries whose proving SOA has gone).
#include "cache_fixture.h"

namespace vell::test {
namespace {

class CacheAsk : public CacheTest {
 protected:
  void SetUp() override {
    clDNSAnswer learnt =
        Response({A("www.example.", "10.0.0.1"), Rec("example.", kTypeMX, MakeMxData({10, "mail.example."})),
                  Rec("alias.example.", kTypeCNAME, "www.example."), Rec("example.", kTypeNS, "ns.example.")},
                 {}, {A("mail.example.", "10.0.0.25", 60), A("ns.example.", "10.0.0.53")});
    cache.CacheAdd(learnt);
    cache.AddRec(Rec(".", kTypeNS, "a.root.", 3600, true));
    cache.AddRec(Rec("a.root.", kTypeA, IPToData("192.0.2.1"), 3600, true));
  }
};

TEST_F(CacheAsk, AnyGivesEveryRecordAndMxBringsTheExchangeAddressEvenExpired) {
  t.clock.AdvanceSeconds(61);
  EXPECT_EQ(Describe(cache.Ask("example.", 255, Recursion::kDesired, LookupKind::kFull)->Section2),
            "example. 2 ns.example., example. 15 " + MakeMxData({10, "mail.example."}));
  auto mx = cache.Ask("example.", kTypeMX, Recursion::kDesired, LookupKind::kFull);
  EXPECT_EQ(mx->Section2.size(), 1u);
  EXPECT_EQ(Describe(mx->Section4), "mail.example. 1 10.0.0.25");
}

TEST_F(CacheAsk, ACnameIsTheWholeAnswerForAnyOtherType) {
  clDNSAnswer older_address = Response({A("alias.example.", "10.0.0.2")});
  cache.CacheAdd(older_address);
  clDNSAnswer newer_alias = Response({Rec("alias.example.", kTypeCNAME, "www.example.")});
  cache.CacheAdd(newer_alias);
  auto answer = cache.Ask("alias.example.", kTypeA, Recursion::kDesired, LookupKind::kFull);
  EXPECT_EQ(Describe(answer->Section2), "alias.example. 5 www.example.");
  EXPECT_TRUE(answer->Section3.empty() && answer->Section4.empty());
}

TEST_F(CacheAsk, ReferralComesFromTheClosestNameWithServersTheRootLast) {
  auto inside = cache.Ask("a.b.example.", kTypeA, Recursion::kDesired, LookupKind::kFull);
  EXPECT_EQ(Describe(inside->Section3), "example. 2 ns.example.");
  EXPECT_EQ(Describe(inside->Section4), "ns.example. 1 10.0.0.53");

  auto outside = cache.Ask("host.other.", kTypeA, Recursion::kDesired, LookupKind::kFull);
  EXPECT_EQ(Describe(outside->Section3), ". 2 a.root.");
  EXPECT_EQ(Describe(outside->Section4), "a.root. 1 192.0.2.1");

  EXPECT_TRUE(cache.Ask("host.other.", kTypeA, Recursion::kDesired, LookupKind::kQuick)->Section3.empty());
}

TEST_F(CacheAsk, WithoutRecursionTheReferralFollowsEvenAnAnswer) {
  auto answer = cache.Ask("www.example.", kTypeA, Recursion::kNotDesired, LookupKind::kFull);
  EXPECT_EQ(answer->Section2.size(), 1u);
  EXPECT_EQ(Describe(answer->Section3), "example. 2 ns.example.");
  EXPECT_TRUE(cache.Ask("www.example.", kTypeA, Recursion::kDesired, LookupKind::kFull)->Section3.empty());
}

TEST_F(CacheAsk, ExpiredRecordsAreSkippedButCountedUntilSwept) {
  const long before = cache.Count();
  t.clock.AdvanceSeconds(3601);
  auto answer = cache.Ask("www.example.", kTypeA, Recursion::kDesired, LookupKind::kFull);
  EXPECT_TRUE(answer->Section2.empty());
  EXPECT_EQ(Describe(answer->Section3), ". 2 a.root.");
  EXPECT_EQ(cache.Count(), before);
  for (long i = 0; i < before; ++i) cache.Purge();
  EXPECT_EQ(Cached(), ". 2 a.root., a.root. 1 192.0.2.1");
}

TEST_F(CacheAsk, LiveLeasesComeFirstInBothDirections) {
  const DateTime now = t.clock.Now();
  t.ctx.Leases = {{"10.0.0.7", "www.example.", now + Minutes(5), "", ""},
                  {"10.0.0.8", "www.example.", now, "", ""}};
  EXPECT_EQ(Describe(cache.Ask("www.example.", kTypeA, Recursion::kDesired, LookupKind::kFull)->Section2),
            "www.example. 1 10.0.0.7, www.example. 1 10.0.0.1");
  EXPECT_EQ(
      Describe(cache.Ask("7.0.0.10.in-addr.arpa.", 255, Recursion::kDesired, LookupKind::kFull)->Section2),
      "7.0.0.10.in-addr.arpa. 12 www.example.");
  EXPECT_TRUE(cache.Ask("8.0.0.10.in-addr.arpa.", kTypePTR, Recursion::kDesired, LookupKind::kFull)
                  ->Section2.empty());
}

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
