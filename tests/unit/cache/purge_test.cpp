// Removing records: the expiry sweep's slices and cursor, clearing the
// learnt cache, forgetting a name server, and the bound on the cache's size.
#include "cache_fixture.h"

namespace vell::test {
namespace {

using CachePurge = CacheTest;

TEST_F(CachePurge, EachCallExaminesOneRecordPer3600PlusOne) {
  for (int i = 0; i < 10000; ++i) cache.AddRec(A("h" + std::to_string(10000 + i) + ".", "10.0.0.1", 10));
  cache.Purge();
  EXPECT_EQ(cache.Count(), 10000);  // nothing expired yet
  t.clock.AdvanceSeconds(11);
  for (const long left : {9997, 9994}) {
    cache.Purge();
    EXPECT_EQ(cache.Count(), left);
  }
}

TEST_F(CachePurge, CursorStaysOnARemovalAndStartsOverPastTheEnd) {
  for (const char* name : {"a.", "b.", "c.", "d."}) cache.AddRec(A(name, "10.0.0.1", *name == 'c' ? 60 : 10));
  t.clock.AdvanceSeconds(11);
  // a removed: the cursor stays at 1, and b with it; c still valid: on to
  // 2; d removed, and 2 is now past the end.
  for (const char* after : {"b. 1 10.0.0.1, c. 1 10.0.0.1, d. 1 10.0.0.1", "c. 1 10.0.0.1, d. 1 10.0.0.1",
                            "c. 1 10.0.0.1, d. 1 10.0.0.1", "c. 1 10.0.0.1"}) {
    cache.Purge();
    EXPECT_EQ(Cached(), after);
  }
  t.clock.AdvanceSeconds(60);
  cache.Purge();  // started over at the first record
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(CachePurge, ClearCacheAndRemoveNSLeavePermanentRecords) {
  cache.AddRec(Rec(".", kTypeNS, "a.root.", 3600, true));
  Add(Response({Rec(".", kTypeNS, "a.root."), Rec(".", kTypeNS, "b.root.")}, {},
               {A("a.root.", "192.0.2.1")}));
  EXPECT_EQ(Cached(), ". 2 a.root., a.root. 1 192.0.2.1");  // permanent NS data stopped the learnt NS
  cache.AddRec(Rec(".", kTypeNS, "a.root."));
  cache.AddRec(Rec(".", kTypeNS, "b.root."));
  cache.AddRec(Rec(".", kTypeCNAME, "a.root."));
  cache.RemoveNS(".", "a.root.");
  EXPECT_EQ(Cached(), ". 5 a.root., . 2 b.root., . 2 a.root., a.root. 1 192.0.2.1");
  cache.ClearCache();
  EXPECT_EQ(Cached(), ". 2 a.root.");
}

TEST_F(CachePurge, AtTheBoundTheRecordsClosestToExpiryGoAndPermanentOnesStay) {
  t.ctx.settings.CACHERECORDS = 10;
  t.ctx.log.KeepLog = true;
  cache.AddRec(Rec("hint.", kTypeA, IPToData("192.0.2.1"), 1, true));
  for (int ttl = 1; ttl <= 9; ++ttl) cache.AddRec(A("h" + std::to_string(ttl) + ".", "10.0.0.1", ttl * 100));
  const clDNSAnswer one_more = Response({A("new.", "10.0.0.2", 50)});
  Add(one_more);  // 11 records: down to 9, the two closest to expiry gone
  EXPECT_EQ(Cached(),
            "h2. 1 10.0.0.1, h3. 1 10.0.0.1, h4. 1 10.0.0.1, h5. 1 10.0.0.1, h6. 1 10.0.0.1, "
            "h7. 1 10.0.0.1, h8. 1 10.0.0.1, h9. 1 10.0.0.1, hint. 1 192.0.2.1");
  EXPECT_EQ(t.ctx.log.LogBuffer.back().substr(11),
            "** Limit reached: 10 cache records; those closest to expiry removed");
  // Below what the permanent records alone take: every learnt one goes.
  t.ctx.settings.CACHERECORDS = 1;
  cache.AddRec(Rec("hint2.", kTypeA, IPToData("192.0.2.2"), 1, true));
  Add(one_more);
  EXPECT_EQ(Cached(), "hint. 1 192.0.2.1, hint2. 1 192.0.2.2");
}

}  // namespace
}  // namespace vell::test
