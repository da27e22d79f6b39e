// The zone list and its files: file names both ways, loading the whole data
// directory with the expiry carried over in zonettl.dat, unloading, the
// master-list pass, and zone names from outside that must not leave data/.
#include <gtest/gtest.h>
#include <utime.h>

#include <ctime>
#include <set>

#include "core/reload_command.h"
#include "zone_fixture.h"

namespace vell::test {
namespace {

using Names = std::set<std::string>;

// The other ways are seen through the loads below.
TEST(ZoneFileNames, ReadBackLowerCased) {
  EXPECT_EQ(ZoneOfFileName("Example.COM.dns"), "example.com.");
  EXPECT_EQ(ZoneOfFileName("_ROOT.dns"), ".");
}

class LoadAllTest : public ZoneTest {
 protected:
  // Gives a file a modification time `seconds_ago` before the real now.
  void Age(const std::string& path, long seconds_ago, time_t now = std::time(nullptr)) {
    const utimbuf times{now - seconds_ago, now - seconds_ago};
    ASSERT_EQ(utime(t.dir.File(path).c_str(), &times), 0);
  }
  // Every file under the program directory, relative to it.
  Names Files() const {
    Names files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(t.dir.Path())) {
      if (entry.is_regular_file())
        files.insert(std::filesystem::relative(entry.path(), t.dir.Path()).string());
    }
    return files;
  }
  // One master-list pass: its log lines after "Synchronizing with", and the zones notified.
  Names Sync() {
    t.ctx.log.LogBuffer.clear();
    notified.clear();
    auth().MLSync([this](const std::string& zone) { notified.insert(zone); });
    const auto lines = LogTexts();
    return lines.empty() ? Names{} : Names(lines.begin() + 1, lines.end());
  }
  // A master file with the given modification time (Unix seconds).
  void Master(const std::string& name, time_t when = 1700000000) {
    std::filesystem::create_directories(t.dir.File("Master"));
    t.dir.Write("Master/" + name, "; PRIMARYIP \r\n@ SOA ns1 admin 1 300 300 300 300\r\n");
    Age("Master/" + name, 0, when);
  }
  Names notified;
};

TEST_F(LoadAllTest, ReplacesEveryZoneByTheFilesOfTheDataDirectory) {
  Load("old.example.", "a A 10.0.0.1\n");
  std::filesystem::remove(t.dir.File("data/old.example.dns"));
  WriteFile("example.com.dns", "www A 10.0.0.1\n");
  WriteFile("0~25.2.0.192.in-addr.arpa.dns", "1 PTR www.example.com.\n");
  WriteFile("_root.dns", "@ NS a.root-servers.net.\n");
  WriteFile("notes.txt", "not a zone\n");
  std::filesystem::create_directory(t.dir.File("data/dir.dns"));
  t.ctx.state.SetStatus("Running");

  auth().LoadAll();
  EXPECT_EQ(ZoneNames(), (TextList{".", "0/25.2.0.192.in-addr.arpa.", "example.com."}));
  EXPECT_EQ(t.ctx.state.StatusText, "Running");
  EXPECT_EQ(Join(Ask("1.0/25.2.0.192.in-addr.arpa.", 12)->Section2),
            "PTR 1.0/25.2.0.192.in-addr.arpa. = www.example.com.");

  std::filesystem::remove_all(t.dir.File("data"));
  auth().LoadAll();
  EXPECT_TRUE(ZoneNames().empty());
}

TEST_F(LoadAllTest, ExpiryIsTheCarriedOverRemainderLessTheFileAge) {
  t.clock.Set(SystemClock().Now());
  for (const char* file : {"example.com.dns", "other.org.dns", "fresh.net.dns"}) WriteFile(file, "");
  WriteFile("zonettl.dat", "\r\nexample.com.  3600\r\nother.org. -30.5\r\nexample.com. 99999\r\n");
  Age("data/zonettl.dat", 7200);

  auth().LoadAll();
  const DateTime now = t.ctx.Now();
  const auto seconds_left = [&](const std::string& zone) {
    return (Zone(zone)->Expires - now) * kSecondsPerDay;
  };
  EXPECT_NEAR(seconds_left("example.com."), -3600, 2);  // the first entry of a zone counts
  EXPECT_NEAR(seconds_left("other.org."), -7230.5, 2);
  EXPECT_EQ(Zone("fresh.net.")->Expires, now);
}

TEST_F(LoadAllTest, UnloadRemovesAKnownZoneWithALogLine) {
  Load("example.com.", "");
  Load("example.org.", "");
  auth().UnloadZone("example.com.");
  auth().UnloadZone("example.net.");
  EXPECT_EQ(ZoneNames(), TextList{"example.org."});
  EXPECT_EQ(LogTexts(), (TextList{"Loading Zone: example.com.", "Loading Zone: example.org.",
                                  "Removing Zone: example.com."}));
}

TEST_F(LoadAllTest, MasterListNamesNotificationsMissingDirectoryAndMasterListLines) {
  std::filesystem::remove_all(t.dir.File("data"));  // a fresh installation has none yet
  t.ctx.settings.MASTERDIR = "Master";              // relative: under the program directory
  Master("_root.dns");
  Master("0~25.2.0.192.in-addr.arpa.dns", 1700000500);
  Master("notes.txt");
  EXPECT_EQ(Sync(), (Names{"-> New zone: <root>", "-> New zone: 0/25.2.0.192.in-addr.arpa."}));
  EXPECT_EQ(notified, (Names{".", "0/25.2.0.192.in-addr.arpa."}));
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
  EXPECT_EQ(Sync(), (Names{"** Failed to synchronize!"}));
  EXPECT_EQ(auth().Zones().items().size(), 2u);
  t.ctx.settings.MASTERDIR.clear();
  t.clock.AdvanceSeconds(5);
  Sync();
  EXPECT_TRUE(LogTexts().empty());  // no pass without a master directory, but its time is kept
  EXPECT_EQ(auth().LastMLSync(), t.clock.Now());
}

// Decoys where an unmapped name would lead: beside data/ and, for a NUL,
// the name cut at it. A master file name becomes a safe file name in data/.
TEST_F(LoadAllTest, ZoneNamesFromOutsideStayInData) {
  const std::string zone_text = "@ SOA ns1 admin 1 300 300 300 300\r\n@ A 192.0.2.66\r\n";
  std::filesystem::create_directories(t.dir.File("etc"));
  t.dir.Write("outside.dns", zone_text);
  t.dir.Write("etc/passwd.dns", zone_text);
  WriteFile("a", zone_text);
  for (const std::string& command :
       TextList{"RELOAD ../outside", "RELOAD ../etc/passwd", "RELOAD /etc/passwd",
                std::string("RELOAD a\0b", 10), "RELOAD a\x01\x7F"}) {
    const std::string zone = ParseReloadCommand(command).zone;
    auth().LoadZone(zone, 0);
    const clZone* loaded = Zone(zone);
    EXPECT_TRUE(loaded == nullptr || loaded->Records.empty()) << command;
  }

  t.ctx.settings.MASTERDIR = "Master";
  std::filesystem::create_directories(t.dir.File("Master"));
  t.dir.Write("Master/ctl\x01\x1b.dns", zone_text);
  const Names before = Files();
  auth().MLSync([](const std::string&) {});
  Names added;
  for (const std::string& file : Files()) {
    if (!before.contains(file)) added.insert(file);
  }
  EXPECT_EQ(added, Names{"data/ctl~~.dns"});
}

}  // namespace
}  // namespace vell::test
