// The minimum cache TTL, and records whose time is already up.
#include "cache_fixture.h"

namespace vell::test {
namespace {

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
