// Storing the records of a response: order, replacement by type, the
// duplicate rule, what is never stored, the minimum cache TTL and the life
// of negative entries.
#include "cache_fixture.h"

namespace vell::test {
namespace {

using CacheStore = CacheTest;

const std::string kNoA = " " + std::to_string(kNegativeType + kTypeA) + " example.";
const std::string kNoMx = " " + std::to_string(kNegativeType + kTypeMX) + " example.";
const std::string kGone = " " + std::to_string(kNameErrorType) + " example.";

TEST_F(CacheStore, NewRecordsGoBeforeOlderOnesInReverseOrderOfArrival) {
  Add(Response({Rec("host.example.", kTypeMX, "mx")}));
  clDNSAnswer response = Response({A("host.example.", "10.0.0.1"), A("host.example.", "10.0.0.2")},
                                  {Rec("example.", kTypeNS, "ns.example.")}, {A("ns.example.", "10.0.0.53")});
  cache.CacheAdd(response);
  EXPECT_EQ(
      Cached(),
      "example. 2 ns.example., host.example. 1 10.0.0.2, host.example. 1 10.0.0.1, host.example. 15 mx, "
      "ns.example. 1 10.0.0.53");
  EXPECT_EQ(cache.Records()[1], response.Section2[1]);  // the response's own object
  EXPECT_EQ(Describe(Ask("host.example.", kTypeA)->Section2),
            "host.example. 1 10.0.0.2, host.example. 1 10.0.0.1");
}

TEST_F(CacheStore, ATypeReplacesItsOwnDataAndNegativeEntriesOnly) {
  Add(Response({A("host.example.", "10.0.0.1"), Rec("host.example.", kTypeTXT, "t")}));
  Add(Negative("host.example.", kTypeMX, 0, Soa("example.", 600)));
  Add(Negative("host.example.", kTypeA, 0, Soa("example.", 600)));
  EXPECT_EQ(Cached(),
            "example. 6, host.example." + kNoA + ", host.example." + kNoMx + ", host.example. 16 t");
  Add(Response({A("host.example.", "10.0.0.9")}));
  EXPECT_EQ(Cached(), "example. 6, host.example. 1 10.0.0.9, host.example." + kNoMx + ", host.example. 16 t");
  Add(Negative("host.example.", kTypeA, 3, Soa("example.", 600)));
  EXPECT_EQ(Cached(), "example. 6, host.example." + kGone);
}

TEST_F(CacheStore, DataThatEndsAnEarlierRecordOfTheGroupIsADuplicate) {
  Add(Response({Rec("example.", kTypeNS, "a.example.net."), Rec("example.", kTypeNS, "ns1.example.net."),
                Rec("example.", kTypeNS, "example.net."), Rec("example.", kTypeNS, "a.example.net."),
                Rec("example.", kTypeCNAME, "example.net.")}));
  EXPECT_EQ(Cached(), "example. 5 example.net., example. 2 ns1.example.net., example. 2 a.example.net.");
}

TEST_F(CacheStore, PermanentDataIsNeverReplaced) {
  cache.AddRec(Rec("server1.", kTypeA, IPToData("10.0.0.5"), 3600, true));
  Add(Response({A("server1.", "10.9.9.9"), Rec("server1.", kTypeTXT, "t")}));
  EXPECT_EQ(Cached(), "server1. 16 t, server1. 1 10.0.0.5");
  Add(Negative("server1.", kTypeA, 3, Soa(".", 600)));
  EXPECT_EQ(Cached(), ". 6, server1. 1 10.0.0.5");  // the text went before the permanent record was met
}

// Truncated, expired and unproven responses store nothing; two SOAs are no
// proof of absence.
TEST_F(CacheStore, WhatIsNeverStored) {
  clDNSAnswer truncated = Response({A("a.example.", "10.0.0.1")});
  truncated.TC = true;
  Add(truncated);
  clDNSAnswer spent = Response({A("b.example.", "10.0.0.1", 10)});
  t.clock.AdvanceSeconds(11);
  Add(spent);
  clDNSAnswer error_without_soa = Response({}, {Rec("example.", kTypeNS, "ns.example.")});
  error_without_soa.RCode = 3;
  Add(error_without_soa);
  EXPECT_EQ(cache.Count(), 0);

  clDNSAnswer two_soas = Negative("x.example.", kTypeA, 0, Soa("example.", 600));
  two_soas.Section3.push_back(Soa("example.", 300));
  Add(two_soas);
  EXPECT_EQ(Cached(), "example. 6, example. 6");
}

// Short TTLs are raised to the minimum, but zero is never stored; negative
// entries live for the SOA minimum, raised too.
TEST_F(CacheStore, MinimumCacheTTL) {
  t.ctx.settings.CACHETTL = 300;
  Add(Response(
      {A("a.example.", "10.0.0.1", 60), A("b.example.", "10.0.0.2", 900), A("c.example.", "10.0.0.3", 0)}));
  ASSERT_EQ(Cached(), "a.example. 1 10.0.0.1, b.example. 1 10.0.0.2");
  EXPECT_EQ(cache.Records()[0]->TTL(t.clock), 300);
  EXPECT_EQ(cache.Records()[1]->TTL(t.clock), 900);
  cache.ClearCache();

  t.ctx.settings.CACHETTL = 0;
  Add(Negative("gone.example.", kTypeA, 3, Soa("example.", 600, 3600)));
  ASSERT_EQ(Cached(), "example. 6, gone.example." + kGone);
  EXPECT_EQ(cache.Records()[1]->TTL(t.clock), 600);

  t.ctx.settings.CACHETTL = 900;
  Add(Negative("gone.example.", kTypeMX, 0, Soa("example.", 60, 120)));
  ASSERT_EQ(Cached(), "example. 6, gone.example." + kNoMx);
  EXPECT_EQ(cache.Records()[0]->TTL(t.clock), 900);
  EXPECT_EQ(cache.Records()[1]->TTL(t.clock), 900);

  Add(Negative("gone.example.", kTypeTXT, 0, Soa("example.", 0)));
  EXPECT_EQ(Cached(), "example. 6, gone.example." + kNoMx);
}

}  // namespace
}  // namespace vell::test
