// Master-list rules the shared-directory system test does not reach: file
// names, notifications, missing or relative directories, and ml.dat's lines.
#include <gtest/gtest.h>
#include <utime.h>

#include <filesystem>
#include <set>

#include "zone_fixture.h"

namespace vell::test {
namespace {

class MasterListTest : public ZoneTest {
 protected:
  // Master file `name` with the given modification time (Unix seconds).
  void Master(const std::string& name, time_t when = 1700000000) {
    std::filesystem::create_directories(t.dir.File("Master"));
    t.dir.Write("Master/" + name, "; PRIMARYIP \r\n@ SOA ns1 admin 1 300 300 300 300\r\n");
    const utimbuf times{when, when};
    ASSERT_EQ(utime(t.dir.File("Master/" + name).c_str(), &times), 0);
  }
  // One pass: its log lines after "Synchronizing with", and the zones notified.
  std::set<std::string> Sync() {
    t.ctx.log.LogBuffer.clear();
    notified.clear();
    auth().MLSync([this](const std::string& zone) { notified.insert(zone); });
    const auto lines = LogTexts();
    return lines.empty() ? std::set<std::string>{} : std::set<std::string>(lines.begin() + 1, lines.end());
  }
  std::set<std::string> notified;
};

TEST_F(MasterListTest, NamesNotificationsMissingDirectoryAndMasterListLines) {
  std::filesystem::remove_all(t.dir.File("data"));  // a fresh installation has none yet
  t.ctx.settings.MASTERDIR = "Master";              // relative: under the program directory
  Master("_root.dns");
  Master("0~25.2.0.192.in-addr.arpa.dns", 1700000500);
  Master("notes.txt");
  EXPECT_EQ(Sync(),
            (std::set<std::string>{"-> New zone: <root>", "-> New zone: 0/25.2.0.192.in-addr.arpa."}));
  EXPECT_EQ(notified, (std::set<std::string>{".", "0/25.2.0.192.in-addr.arpa."}));
  EXPECT_EQ(Zone(".")->FILETIME, FromUnixTime(1700000000));
  EXPECT_TRUE(Sync().empty() && notified.empty());  // nothing changed

  // The next run: zones from the data directory, then ml.dat, whose other
  // lines are ignored; nothing is reloaded.
  auth().MLSave();
  auth().LoadAll();
  t.dir.Write("ml.dat",
              t.dir.Read("ml.dat") + "junk\r\n  missing. 2026-01-01 00:00:00\r\n. 2026-13-01 00:00:00\r\n");
  auth().MLLoad();
  EXPECT_TRUE(Sync().empty());
  auth().LoadAll();  // without ml.dat every zone counts as updated
  EXPECT_EQ(Sync().size(), 2u);

  t.ctx.settings.MASTERDIR = t.dir.File("Gone");
  EXPECT_EQ(Sync(), (std::set<std::string>{"** Failed to synchronize!"}));
  EXPECT_EQ(auth().Zones().items().size(), 2u);
  t.ctx.settings.MASTERDIR.clear();
  t.clock.AdvanceSeconds(5);
  Sync();
  EXPECT_TRUE(LogTexts().empty());  // no pass without a master directory, but its time is kept
  EXPECT_EQ(auth().LastMLSync(), t.clock.Now());
}

}  // namespace
}  // namespace vell::test
