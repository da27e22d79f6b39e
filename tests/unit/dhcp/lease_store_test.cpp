// The lease store: ValidLease's two-directional reuse rule, Remove, rename
// and delete, and dhcp.dat in both line forms.
#include "dhcp/lease_store.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace vell {
namespace {

class LeaseStoreTest : public ::testing::Test {
 protected:
  LeaseStoreTest() {
    scope.IPaddr = "10.0.0.1";
    scope.ScopeFrom = "10.0.0.1";
    scope.ScopeTo = "10.0.0.20";
    t.ctx.settings.NAME = "server";
  }
  clLease Lease(const std::string& ip, const std::string& name, double seconds_left) {
    return {ip, name, t.ctx.Now() + Seconds(seconds_left), "id-" + name, "hw"};
  }
  test::TestContext t;
  LeaseStore& store = t.ctx.DHCPLeases;
  clDHCPif scope;
};

TEST_F(LeaseStoreTest, ValidLeaseFollowsItsRulesInOrder) {
  store.Add(Lease("10.0.0.5", "live.lan.", 60));
  store.Add(Lease("10.0.0.6", "old.lan.", -60));
  struct Case {
    const char* address;
    const char* name;
    bool reuse;
    bool valid;
  } cases[] = {
      {"", "a.lan.", true, false},
      {"0.0.0.0", "a.lan.", true, false},
      {"10.0.0.1", "a.lan.", true, false},    // the interface's own address
      {"10.0.0.21", "a.lan.", true, false},   // past ScopeTo
      {"10.0.0.20", "a.lan.", true, true},    // ScopeTo itself
      {"10.0.0.5", "a.lan.", true, false},    // live lease on the address
      {"10.0.0.6", "a.lan.", true, true},     // reuse frees an expired address
      {"10.0.0.6", "a.lan.", false, false},   // ... without reuse any lease counts
      {"10.0.0.7", "server.", false, false},  // the server's own name
      {"10.0.0.7", "live.lan.", false, false},
      {"10.0.0.7", "old.lan.", false, true},  // an expired name is free without reuse
      {"10.0.0.7", "old.lan.", true, false},  // ... and still held with reuse
  };
  for (const Case& c : cases) {
    EXPECT_EQ(store.ValidLease(scope, c.address, c.name, c.reuse), c.valid)
        << c.address << " " << c.name << " reuse " << c.reuse;
  }
}

TEST_F(LeaseStoreTest, FirstValidIsTheFirstAddressValidLeaseAccepts) {
  scope.ScopeFrom = "10.0.0.0";
  scope.ScopeTo = "10.0.0.3";
  store.Add(Lease("10.0.0.2", "live.lan.", 60));
  store.Add(Lease("10.0.0.3", "old.lan.", -60));
  store.Add(Lease("10.0.0.1", "offered.lan.", 0));  // an offer made this instant counts as expired
  for (const char* name : {"a.lan.", "live.lan.", "old.lan.", "server."}) {
    for (bool reuse : {false, true}) {
      std::string expected;
      for (const char* a : {"10.0.0.0", "10.0.0.1", "10.0.0.2", "10.0.0.3"}) {
        if (expected.empty() && store.ValidLease(scope, a, name, reuse)) expected = a;
      }
      EXPECT_EQ(store.FirstValid(scope, name, reuse), expected) << name << " reuse " << reuse;
    }
  }
  scope.IPaddr = "10.0.0.0";
  EXPECT_EQ(store.FirstValid(scope, "a.lan.", true), "10.0.0.1");  // never the server's own address
}

TEST_F(LeaseStoreTest, RemoveTakesEveryLeaseOfTheAddressOrTheName) {
  store.Add(Lease("10.0.0.5", "a.lan.", 60));
  store.Add(Lease("10.0.0.6", "b.lan.", 60));
  store.Add(Lease("10.0.0.7", "b.lan.", 60));
  store.Add(Lease("10.0.0.8", "c.lan.", 60));
  store.Remove("10.0.0.5", "b.lan.");
  ASSERT_EQ(store.Table().size(), 1u);
  EXPECT_EQ(store.Table()[0].ClientName, "c.lan.");
}

// A taken name and a rename that saves the alias: tests/unit/server/lease_commands_test.cpp.
TEST_F(LeaseStoreTest, RenameKeepsTheOldNameOrReplacesTheClientsAlias) {
  store.Add(Lease("10.0.0.5", "a.lan.", 60));
  std::vector<clDHCPAlias> aliases = {{"id-a.lan.", "older"}, {"other", "x"}};
  EXPECT_EQ(store.Rename("10.0.0.9", "x", aliases), RenameOutcome::kNoLease);
  EXPECT_EQ(store.Rename("10.0.0.5", "", aliases), RenameOutcome::kKept);
  EXPECT_EQ(store.Rename("10.0.0.5", "A", aliases), RenameOutcome::kKept);
  EXPECT_EQ(store.Rename("10.0.0.5", "Printer.other", aliases), RenameOutcome::kRenamed);
  EXPECT_EQ(store.Table()[0].ClientName, "printer.lan.");
  EXPECT_EQ(aliases, (std::vector<clDHCPAlias>{{"other", "x"}, {"id-a.lan.", "printer"}}));
}

TEST_F(LeaseStoreTest, FileRoundTripsAndReadsBothLineForms) {
  store.Add(
      {"10.0.0.5", "pc.lan.", FromCalendar({2026, 12, 8, 9, 5, 7}), std::string("\x01\xAB", 2), "\xAB"});
  store.SaveLeases();
  EXPECT_EQ(t.dir.Read(kLeaseFileName),
            "; Vellion - DHCP Leases\r\npc.lan. 10.0.0.5 01AB AB 2026-12-08 09:05:07\r\n");
  t.dir.Write(kLeaseFileName,
              "; Vellion - DHCP Leases\r\n"
              "Old.Lan 10.0.0.007 0A0B 2026-12-08 09:05:07 ; the older form\r\n"
              "new.lan. 10.0.0.8 0A0C 0A0C 2024-12-31 23:59:59\r\n"
              "nodate.lan. 10.0.0.9 0A 0B\r\n"
              "noblank\r\n"
              "name 10.0.0.9\r\n"
              "name 10.0.0.9 0A\r\n"
              "noid.lan. 10.0.0.9 0 0B 2026-12-09 23:59:59\r\n"
              "bad.lan. 10.0.0.9 0A 0B 2026-13-01 00:00:00\r\n"
              "bad.lan. 10.0.0.9 0A 0B 2026-02-30 00:00:00\r\n"
              "  \r\n");
  store.Load();
  ASSERT_EQ(store.Table().size(), 2u);
  EXPECT_EQ(store.Table()[0],
            (clLease{"10.0.0.7", "old.lan.", FromCalendar({2026, 12, 8, 9, 5, 7}), "\x0A\x0B", ""}));
  EXPECT_EQ(store.Table()[1], (clLease{"10.0.0.8", "new.lan.", FromCalendar({2024, 12, 31, 23, 59, 59}),
                                       "\x0A\x0C", "\x0A\x0C"}));
}

TEST_F(LeaseStoreTest, TheTickWritesOnlyWhenTheTableChanged) {
  store.Load();  // no file: empty, unchanged
  store.SaveIfChanged();
  EXPECT_FALSE(std::filesystem::exists(t.dir.File(kLeaseFileName)));
  store.Add(Lease("10.0.0.5", "a.lan.", 60));
  store.SaveIfChanged();
  EXPECT_NE(t.dir.Read(kLeaseFileName).find("a.lan. 10.0.0.5"), std::string::npos);
  t.dir.Write(kLeaseFileName, "kept");
  store.SaveIfChanged();
  EXPECT_EQ(t.dir.Read(kLeaseFileName), "kept");
  store.Release("id-a.lan.");
  store.SaveIfChanged();
  EXPECT_NE(t.dir.Read(kLeaseFileName), "kept");
  store.Delete("10.0.0.5");
  EXPECT_TRUE(store.Changed());
}

}  // namespace
}  // namespace vell
