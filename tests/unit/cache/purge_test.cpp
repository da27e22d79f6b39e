// Removing records: the expiry sweep's slices and cursor, clearing the
// learnt cache, and forgetting a name server.
#include <cstdio>

#include "cache_fixture.h"

namespace vell::test {
namespace {

using CachePurge = CacheTest;

TEST_F(CachePurge, EachCallExaminesOneRecordPer3600PlusOne) {
  for (int i = 0; i < 10000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "h%05d.", i);
    cache.AddRec(A(name, "10.0.0.1", 10));
  }
  cache.Purge();
  EXPECT_EQ(cache.Count(), 10000);  // nothing expired yet
  t.clock.AdvanceSeconds(11);
  cache.Purge();
  EXPECT_EQ(cache.Count(), 9997);
  cache.Purge();
  EXPECT_EQ(cache.Count(), 9994);
}

TEST_F(CachePurge, CursorStaysOnARemovalAndStartsOverPastTheEnd) {
  for (const char* name : {"a.", "b.", "c.", "d."}) cache.AddRec(A(name, "10.0.0.1", *name == 'c' ? 60 : 10));
  t.clock.AdvanceSeconds(11);
  const char* expected[] = {
      "b. 1 10.0.0.1, c. 1 10.0.0.1, d. 1 10.0.0.1",  // a removed: the cursor stays at 1
      "c. 1 10.0.0.1, d. 1 10.0.0.1",                 // and b with it
      "c. 1 10.0.0.1, d. 1 10.0.0.1",                 // c still valid: on to 2
      "c. 1 10.0.0.1",                                // d removed; 2 is now past the end
  };
  for (const char* after : expected) {
    cache.Purge();
    EXPECT_EQ(Cached(), after);
  }
  t.clock.AdvanceSeconds(60);
  cache.Purge();  // started over at the first record
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(CachePurge, ClearCacheAndRemoveNSLeavePermanentRecords) {
  cache.AddRec(Rec(".", kTypeNS, "a.root.", 3600, true));
  clDNSAnswer learnt =
      Response({Rec(".", kTypeNS, "a.root."), Rec(".", kTypeNS, "b.root.")}, {}, {A("a.root.", "192.0.2.1")});
  cache.CacheAdd(learnt);
  EXPECT_EQ(Cached(), ". 2 a.root., a.root. 1 192.0.2.1");  // permanent NS data stopped the learnt NS
  cache.AddRec(Rec(".", kTypeNS, "a.root."));
  cache.AddRec(Rec(".", kTypeNS, "b.root."));
  cache.AddRec(Rec(".", kTypeCNAME, "a.root."));
  cache.RemoveNS(".", "a.root.");
  EXPECT_EQ(Cached(), ". 5 a.root., . 2 b.root., . 2 a.root., a.root. 1 192.0.2.1");
  cache.ClearCache();
  EXPECT_EQ(Cached(), ". 2 a.root.");
}

}  // namespace
}  // namespace vell::test
