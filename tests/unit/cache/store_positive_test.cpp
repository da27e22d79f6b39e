// Storing the records of a response: order, replacement by type, the
// duplicate rule, what is never stored, the minimum cache TTL and the life
// of negative entries.
#include "cache_fixture.h"

namespace vell::test {
namespace {

using CacheStore = CacheTest;

TEST_F(CacheStore, NewRecordsGoBeforeOlderOnesInReverseOrderOfArrival) {
  clDNSAnswer mx = Response({Rec("host.example.", kTypeMX, "mx")});
  cache.CacheAdd(mx);
  clDNSAnswer response = Response({A("host.example.", "10.0.0.1"), A("host.example.", "10.0.0.2")},
                                  {Rec("example.", kTypeNS, "ns.example.")}, {A("ns.example.", "10.0.0.53")});
  cache.CacheAdd(response);
  EXPECT_EQ(
      Cached(),
      "example. 2 ns.example., host.example. 1 10.0.0.2, host.example. 1 10.0.0.1, host.example. 15 mx, "
      "ns.example. 1 10.0.0.53");
  EXPECT_EQ(cache.Records()[1], response.Section2[1]);  // the response's own object
  EXPECT_EQ(Describe(cache.Ask("host.example.", kTypeA, Recursion::kDesired, LookupKind::kFull)->Section2),
            "host.example. 1 10.0.0.2, host.example. 1 10.0.0.1");
}

TEST_F(CacheStore, ATypeReplacesItsOwnDataAndNegativeEntriesOnly) {
  clDNSAnswer first = Response({A("host.example.", "10.0.0.1"), Rec("host.example.", kTypeTXT, "t")});
  cache.CacheAdd(first);
  clDNSAnswer no_mx = Negative("host.example.", kTypeMX, 0, Soa("example.", 600));
  cache.CacheAdd(no_mx);
  clDNSAnswer no_a = Negative("host.example.", kTypeA, 0, Soa("example.", 600));
  cache.CacheAdd(no_a);
  EXPECT_EQ(Cached(), "example. 6, host.example. " + std::to_string(kNegativeType + 1) +
                          " example., host.example. " + std::to_string(kNegativeType + 15) +
                          " example., host.example. 16 t");

  clDNSAnswer second = Response({A("host.example.", "10.0.0.9")});
  cache.CacheAdd(second);
  EXPECT_EQ(Cached(), "example. 6, host.example. 1 10.0.0.9, host.example. " +
                          std::to_string(kNegativeType + 15) + " example., host.example. 16 t");

  clDNSAnswer gone = Negative("host.example.", kTypeA, 3, Soa("example.", 600));
  cache.CacheAdd(gone);
  EXPECT_EQ(Cached(), "example. 6, host.example. " + std::to_string(kNameErrorType) + " example.");
}

TEST_F(CacheStore, DataThatEndsAnEarlierRecordOfTheGroupIsADuplicate) {
  clDNSAnswer response =
      Response({Rec("example.", kTypeNS, "a.example.net."), Rec("example.", kTypeNS, "ns1.example.net."),
                Rec("example.", kTypeNS, "example.net."), Rec("example.", kTypeNS, "a.example.net."),
                Rec("example.", kTypeCNAME, "example.net.")});
  cache.CacheAdd(response);
  EXPECT_EQ(Cached(), "example. 5 example.net., example. 2 ns1.example.net., example. 2 a.example.net.");
}

TEST_F(CacheStore, PermanentDataIsNeverReplaced) {
  cache.AddRec(Rec("server1.", kTypeA, IPToData("10.0.0.5"), 3600, true));
  clDNSAnswer learnt = Response({A("server1.", "10.9.9.9"), Rec("server1.", kTypeTXT, "t")});
  cache.CacheAdd(learnt);
  EXPECT_EQ(Cached(), "server1. 16 t, server1. 1 10.0.0.5");
  clDNSAnswer gone = Negative("server1.", kTypeA, 3, Soa(".", 600));
  cache.CacheAdd(gone);
  EXPECT_EQ(Cached(), ". 6, server1. 1 10.0.0.5");  // the text went before the permanent record was met
}

TEST_F(CacheStore, TruncatedExpiredAndUnprovenResponsesStoreNothing) {
  clDNSAnswer truncated = Response({A("a.example.", "10.0.0.1")});
  truncated.TC = true;
  cache.CacheAdd(truncated);
  clDNSAnswer spent = Response({A("b.example.", "10.0.0.1", 10)});
  t.clock.AdvanceSeconds(11);
  cache.CacheAdd(spent);
  clDNSAnswer error_without_soa = Response({}, {Rec("example.", kTypeNS, "ns.example.")});
  error_without_soa.RCode = 3;
  cache.CacheAdd(error_without_soa);
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(CacheStore, TwoSoasAreNoProofOfAbsence) {
  clDNSAnswer response = Negative("x.example.", kTypeA, 0, Soa("example.", 600));
  response.Section3.push_back(Soa("example.", 300));
  cache.CacheAdd(response);
  EXPECT_EQ(Cached(), "example. 6, example. 6");
}

using CacheTTL = CacheTest;

TEST_F(CacheTTL, ShortTTLsAreRaisedToTheMinimumButZeroIsNeverStored) {
  t.ctx.settings.CACHETTL = 300;
  clDNSAnswer response = Response(
      {A("a.example.", "10.0.0.1", 60), A("b.example.", "10.0.0.2", 900), A("c.example.", "10.0.0.3", 0)});
  cache.CacheAdd(response);
  ASSERT_EQ(Cached(), "a.example. 1 10.0.0.1, b.example. 1 10.0.0.2");
  EXPECT_EQ(cache.Records()[0]->TTL(t.clock), 300);
  EXPECT_EQ(cache.Records()[1]->TTL(t.clock), 900);
}

TEST_F(CacheTTL, NegativeEntriesLiveForTheSoaMinimumRaisedToTheCacheMinimum) {
  clDNSAnswer gone = Negative("gone.example.", kTypeA, 3, Soa("example.", 600, 3600));
  cache.CacheAdd(gone);
  ASSERT_EQ(Cached(), "example. 6, gone.example. " + std::to_string(kNameErrorType) + " example.");
  EXPECT_EQ(cache.Records()[1]->TTL(t.clock), 600);

  t.ctx.settings.CACHETTL = 900;
  clDNSAnswer nodata = Negative("gone.example.", kTypeMX, 0, Soa("example.", 60, 120));
  cache.CacheAdd(nodata);
  ASSERT_EQ(Cached(), "example. 6, gone.example. " + std::to_string(kNegativeType + 15) + " example.");
  EXPECT_EQ(cache.Records()[0]->TTL(t.clock), 900);
  EXPECT_EQ(cache.Records()[1]->TTL(t.clock), 900);

  clDNSAnswer no_minimum = Negative("gone.example.", kTypeTXT, 0, Soa("example.", 0));
  cache.CacheAdd(no_minimum);
  EXPECT_EQ(Cached(), "example. 6, gone.example. " + std::to_string(kNegativeType + 15) + " example.");
}

}  // namespace
}  // namespace vell::test
