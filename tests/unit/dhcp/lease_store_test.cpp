// The lease rules on a fake clock, where the system tests cannot reach them
// cheaply: reuse in both directions, expiry, Remove, dhcp.dat's line forms,
// the operator's rename and delete.
#include "dhcp/lease_store.h"

#include <gtest/gtest.h>

#include <random>

#include "server/lease_commands.h"
#include "test_support.h"

namespace vell {
namespace {

class LeaseStoreTest : public ::testing::Test {
 protected:
  LeaseStoreTest() {
    scope.IPaddr = scope.ScopeFrom = "10.0.0.1";
    scope.ScopeTo = "10.0.0.20";
    t.ctx.settings.NAME = "server";
  }
  void Add(const std::string& ip, const std::string& name, double seconds_left) {
    store.Add({ip, name, t.ctx.Now() + Seconds(seconds_left), "id-" + name, "hw"});
  }
  test::TestContext t;
  LeaseStore& store = t.ctx.DHCPLeases;
  clDHCPif scope;
};

TEST_F(LeaseStoreTest, ValidLeaseRulesAndFirstValidTheFirstItAccepts) {
  Add("10.0.0.2", "live.lan.", 60);
  Add("10.0.0.3", "old.lan.", -60);
  Add("10.0.0.4", "offered.lan.", 0);  // an offer made this instant counts as expired
  const std::tuple<const char*, const char*, bool, bool> cases[] = {
      {"", "a.lan.", true, false},
      {"0.0.0.0", "a.lan.", true, false},
      {"10.0.0.21", "a.lan.", true, false},
      {"10.0.0.1", "a.lan.", true, false},   // the interface's own address
      {"10.0.0.20", "a.lan.", true, true},   // ScopeTo is in
      {"10.0.0.2", "a.lan.", true, false},   // a live lease holds its address
      {"10.0.0.3", "a.lan.", true, true},    // reuse frees an expired lease's address ...
      {"10.0.0.3", "a.lan.", false, false},  // ... without reuse any lease holds it
      {"10.0.0.4", "a.lan.", true, true},
      {"10.0.0.7", "server.", false, false},
      {"10.0.0.7", "live.lan.", false, false},
      {"10.0.0.7", "old.lan.", false, true},   // an expired name is free without reuse ...
      {"10.0.0.7", "old.lan.", true, false}};  // ... and held with reuse
  for (const auto& [address, name, reuse, valid] : cases) {
    EXPECT_EQ(store.ValidLease(scope, address, name, reuse), valid) << address << name << reuse;
    std::string first;
    for (int i = 20; i >= 0; --i) {
      const std::string a = "10.0.0." + std::to_string(i);
      if (store.ValidLease(scope, a, name, reuse)) first = a;
    }
    EXPECT_EQ(store.FirstValid(scope, name, reuse), first) << name << reuse;
  }
  store.Remove("10.0.0.2", "old.lan.");  // every lease of the address or the name
  EXPECT_EQ(store.Table().All(),
            (std::vector<clLease>{{"10.0.0.4", "offered.lan.", t.ctx.Now(), "id-offered.lan.", "hw"}}));
}

// The runs of carried addresses merge and split as leases come and go; the
// first free address must always be what a scan of the table finds.
TEST(LeaseTableTest, FirstUncarriedMatchesAScanWhateverTheOrderOfChanges) {
  LeaseTable table;
  std::mt19937 random(5);
  for (int step = 0; step < 3000; ++step) {
    const uint32_t n = random() % 24;
    const std::string address = "10.0.0." + std::to_string(n);
    const auto held = table.OfAddress(address);
    if (!held.empty() && random() % 2 == 0) {
      table.Erase(held[random() % held.size()]);
    } else {
      table.Add({address, "n" + std::to_string(step) + ".", 0, "", ""});
    }
    std::vector<bool> carried(32);
    for (const clLease& lease : table) carried[LeaseAddressNumber(lease.IPaddr) & 0xFF] = true;
    const uint32_t from = 0x0A000000 + random() % 24, to = from + random() % 8,
                   own = 0x0A000000 + random() % 24;
    std::optional<uint32_t> expected;
    for (uint32_t a = from; a <= to && !expected; ++a) {
      if (a != own && !carried[a & 0xFF]) expected = a;
    }
    ASSERT_EQ(table.FirstUncarried(from, to, own), expected) << step;
  }
}

TEST_F(LeaseStoreTest, DhcpDatIsWrittenOnlyAfterAChangeAndReadInBothLineForms) {
  store.Add(
      {"10.0.0.5", "pc.lan.", FromCalendar({2026, 12, 8, 9, 5, 7}), std::string("\x01\xAB", 2), "\xAB"});
  store.SaveIfChanged();
  EXPECT_EQ(t.dir.Read(kLeaseFileName),
            "; Vellion - DHCP Leases\r\npc.lan. 10.0.0.5 01AB AB 2026-12-08 09:05:07\r\n");
  t.dir.Write(kLeaseFileName, "kept");
  store.SaveIfChanged();
  EXPECT_EQ(t.dir.Read(kLeaseFileName), "kept");
  store.Release(std::string("\x01\xAB", 2));
  EXPECT_EQ(store.Table().All()[0].Expires, t.ctx.Now());
  store.SaveIfChanged();
  EXPECT_NE(t.dir.Read(kLeaseFileName), "kept");
  t.dir.Write(kLeaseFileName,
              "; Vellion - DHCP Leases\r\n"
              "Old.Lan 10.0.0.007 0A0B 2026-12-08 09:05:07 ; the older form\r\n"
              "new.lan. 10.0.0.8 0A0C 0A0C 2024-12-31 23:59:59\r\n"
              "nodate.lan. 10.0.0.9 0A 0B\r\nnoblank\r\nname 10.0.0.9\r\nname 10.0.0.9 0A\r\n"
              "noid.lan. 10.0.0.9 0 0B 2026-12-09 23:59:59\r\n"
              "bad.lan. 10.0.0.9 0A 0B 2026-13-01 00:00:00\r\n"
              "bad.lan. 10.0.0.9 0A 0B 2026-02-30 00:00:00\r\n  \r\n"
              "stale.lan. 10.0.0.5 0F 0F 2026-12-09 23:59:59\r\n");
  // pc.lan., given before the file was read, stays; the file's lease of its address gives way.
  const clLease given = store.Table().All()[0];
  store.Load();
  EXPECT_EQ(store.Table().All(),
            (std::vector<clLease>{
                {"10.0.0.7", "old.lan.", FromCalendar({2026, 12, 8, 9, 5, 7}), "\x0A\x0B", ""},
                {"10.0.0.8", "new.lan.", FromCalendar({2024, 12, 31, 23, 59, 59}), "\x0A\x0C", "\x0A\x0C"},
                given}));
  EXPECT_TRUE(store.Changed());
  store.SaveIfChanged();
  store.Delete("10.0.0.9");  // no lease there: unchanged
  EXPECT_FALSE(store.Changed());
  store.Delete("10.0.0.8");
  EXPECT_TRUE(store.Changed() && store.Table().size() == 2 && store.Table().All()[0].IPaddr == "10.0.0.7");
}

TEST_F(LeaseStoreTest, RenameKeepsTheNameAsTheClientsAliasInTheIniOrSaysWhyNot) {
  t.ctx.state.Interactive = true;
  t.ctx.settings.DHCPALIAS = {{"\x01\x02", "older"}, {"other", "x"}};
  t.ctx.Leases = {{"10.0.0.5", "a.lan.", t.ctx.Now(), "\x01\x02", "\x01\x02"},
                  {"10.0.0.6", "b.lan.", {}, "\x03", ""}};
  using enum RenameOutcome;
  const std::pair<const char*, RenameOutcome> cases[] = {
      {"", kKept}, {"A", kKept}, {"b", kNameExists}, {"Printer.other", kRenamed}};
  for (const auto& [edited, outcome] : cases)
    EXPECT_EQ(RenameLease(t.ctx, "10.0.0.5", edited, 0), outcome) << edited;
  EXPECT_EQ(RenameLease(t.ctx, "10.0.0.9", "x", 0), kNoLease);
  EXPECT_EQ(t.boxes.shown, (std::vector<std::string>{"Name already exists!"}));
  EXPECT_EQ(t.ctx.settings.DHCPALIAS, (std::vector<clDHCPAlias>{{"other", "x"}, {"\x01\x02", "printer"}}));
  EXPECT_NE(t.dir.Read("vellion.ini").find("DHCPAlias: 0102 printer\r\n"), std::string::npos);
  DelLease(t.ctx, "10.0.0.6");
  ASSERT_EQ(t.ctx.Leases.size(), 1u);
  EXPECT_EQ(t.ctx.Leases.All()[0].ClientName, "printer.lan.");
}

}  // namespace
}  // namespace vell
