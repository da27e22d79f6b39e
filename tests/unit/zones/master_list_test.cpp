// Master-list synchronisation: new, touched, unchanged and gone
// master files, the failures that remove nothing, and ml.dat.
#include <gtest/gtest.h>
#include <utime.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "zone_fixture.h"

namespace vell::test {
namespace {

constexpr char kZone[] = "; PRIMARYIP \r\n@ SOA ns1 admin 1 300 300 300 300\r\nwww A 10.0.0.1\r\n";

class MasterListTest : public ZoneTest {
 protected:
  MasterListTest() {
    std::filesystem::create_directory(t.dir.File("Master"));
    t.ctx.settings.MASTERDIR = t.dir.File("Master");
  }
  // Writes a master file with the given modification time (Unix seconds).
  void Master(const std::string& name, time_t when = 1700000000) {
    t.dir.Write("Master/" + name, kZone);
    const utimbuf times{when, when};
    ASSERT_EQ(utime(t.dir.File("Master/" + name).c_str(), &times), 0);
  }
  // One pass; returns its log lines and the zones it notified.
  std::vector<std::string> Sync() {
    t.ctx.log.LogBuffer.clear();
    notified.clear();
    auth().MLSync([this](const std::string& zone) { notified.push_back(zone); });
    return LogTexts();
  }
  std::vector<std::string> ZoneNames() {
    std::vector<std::string> names;
    for (const ZonePtr& z : auth().Zones().items()) names.push_back(z->Name);
    return names;
  }
  std::vector<std::string> notified;
  std::string synchronizing = "Synchronizing with \"" + t.dir.File("Master") + "\"";
};

TEST_F(MasterListTest, NewTouchedUnchangedAndGoneFiles) {
  Master("example.com.dns");
  Master("_root.dns");
  Master("0~25.2.0.192.in-addr.arpa.dns");
  Master("notes.txt");
  const auto first = Sync();
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first[0], synchronizing);
  EXPECT_EQ(std::set<std::string>(first.begin() + 1, first.end()),
            (std::set<std::string>{"-> New zone: example.com.", "-> New zone: <root>",
                                   "-> New zone: 0/25.2.0.192.in-addr.arpa."}));
  EXPECT_EQ(ZoneNames(), (std::vector<std::string>{".", "0/25.2.0.192.in-addr.arpa.", "example.com."}));
  EXPECT_EQ(notified.size(), 3u);
  EXPECT_EQ(t.dir.Read("data/example.com.dns"), kZone);  // copied under the same name
  EXPECT_EQ(Zone("example.com.")->FILETIME, FromUnixTime(1700000000));
  EXPECT_TRUE(Ask("www.example.com.", 1)->AA);

  EXPECT_EQ(Sync(), (std::vector<std::string>{synchronizing}));  // nothing changed
  EXPECT_TRUE(notified.empty());

  Master("example.com.dns", 1700000100);  // touched: same content, new time
  std::filesystem::remove(t.dir.File("Master/_root.dns"));
  EXPECT_EQ(Sync(), (std::vector<std::string>{synchronizing, "-> Updated zone: example.com.",
                                              "-> Removed Zone: <root>"}));
  EXPECT_EQ(notified, (std::vector<std::string>{"example.com."}));
  EXPECT_EQ(ZoneNames(), (std::vector<std::string>{"0/25.2.0.192.in-addr.arpa.", "example.com."}));
  EXPECT_FALSE(std::filesystem::exists(t.dir.File("data/_root.dns")));
}

TEST_F(MasterListTest, EmptyOrMissingMasterDirectoryRemovesNothing) {
  Load("example.com.", kZone);
  EXPECT_EQ(Sync(), (std::vector<std::string>{synchronizing, "** Failed to synchronize!"}));
  t.ctx.settings.MASTERDIR = t.dir.File("Gone");
  EXPECT_EQ(Sync().back(), "** Failed to synchronize!");
  EXPECT_EQ(ZoneNames(), (std::vector<std::string>{"example.com."}));
  EXPECT_TRUE(std::filesystem::exists(t.dir.File("data/example.com.dns")));
}

TEST_F(MasterListTest, PassTimeIsKeptAndNothingHappensWithoutMasterDirectory) {
  EXPECT_EQ(auth().LastMLSync(), 0);
  t.ctx.settings.MASTERDIR.clear();
  t.clock.AdvanceSeconds(5);
  EXPECT_TRUE(Sync().empty());
  EXPECT_EQ(auth().LastMLSync(), t.clock.Now());
}

TEST_F(MasterListTest, MasterListSurvivesARestart) {
  Master("example.com.dns");
  Master("example.org.dns", 1700000500);
  Sync();
  auth().MLSave();
  const std::string saved = t.dir.Read("ml.dat");
  EXPECT_NE(saved.find("example.com. "), std::string::npos);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 2);

  // The next run: every zone loaded again from the data directory, then
  // ml.dat (its other lines ignored); nothing is reloaded.
  auth().LoadAll();
  t.dir.Write("ml.dat",
              saved + "junk\r\n  missing.zone. 2026-01-01 00:00:00\r\nexample.org. 2026-13-01 00:00:00\r\n");
  auth().MLLoad();
  EXPECT_EQ(Sync(), (std::vector<std::string>{synchronizing}));
  // Without ml.dat every zone counts as updated.
  auth().LoadAll();
  EXPECT_EQ(Sync().size(), 3u);
}

TEST_F(MasterListTest, MasterDirectoryRelativeToTheProgramDirectoryAndNoDataDirectoryYet) {
  std::filesystem::remove_all(t.dir.File("data"));
  t.ctx.settings.MASTERDIR = "Master";
  Master("example.com.dns");
  EXPECT_EQ(Sync().back(), "-> New zone: example.com.");
}

}  // namespace
}  // namespace vell::test
