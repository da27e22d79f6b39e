// Loading the whole data directory, the zone file names both ways, the
// expiry carried over in zonettl.dat, and unloading.
#include <gtest/gtest.h>
#include <utime.h>

#include <ctime>

#include "zone_fixture.h"

namespace vell::test {
namespace {

using Texts_ = std::vector<std::string>;

TEST(ZoneFileNames, BothWays) {
  EXPECT_EQ(ZoneFileName("example.com."), "example.com.dns");
  EXPECT_EQ(ZoneFileName("0/25.2.0.192.in-addr.arpa."), "0~25.2.0.192.in-addr.arpa.dns");
  EXPECT_EQ(ZoneFileName("."), "_root.dns");
  EXPECT_EQ(ZoneOfFileName("0~25.2.0.192.in-addr.arpa.dns"), "0/25.2.0.192.in-addr.arpa.");
  EXPECT_EQ(ZoneOfFileName("Example.COM.dns"), "example.com.");
  EXPECT_EQ(ZoneOfFileName("_root.dns"), ".");
  EXPECT_EQ(ZoneOfFileName("_ROOT.dns"), ".");
}

class LoadAllTest : public ZoneTest {
 protected:
  Texts_ ZoneNames() {
    Texts_ names;
    for (const ZonePtr& z : auth().Zones().items()) names.push_back(z->Name);
    return names;
  }
  // Gives a data file a modification time `seconds_ago` before the real now.
  void Age(const std::string& name, long seconds_ago) {
    const time_t when = std::time(nullptr) - seconds_ago;
    const utimbuf times{when, when};
    ASSERT_EQ(utime(t.dir.File("data/" + name).c_str(), &times), 0);
  }
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
  EXPECT_EQ(ZoneNames(), (Texts_{".", "0/25.2.0.192.in-addr.arpa.", "example.com."}));
  EXPECT_EQ(t.ctx.state.StatusText, "Running");
  EXPECT_EQ(Texts(Ask("1.0/25.2.0.192.in-addr.arpa.", 12)->Section2),
            Texts_{"PTR-record for 1.0/25.2.0.192.in-addr.arpa. = www.example.com."});
}

TEST_F(LoadAllTest, EmptyOrMissingDataDirectoryLeavesNoZones) {
  Load("example.com.", "");
  std::filesystem::remove_all(t.dir.File("data"));
  auth().LoadAll();
  EXPECT_TRUE(ZoneNames().empty());
}

TEST_F(LoadAllTest, ExpiryIsTheCarriedOverRemainderLessTheFileAge) {
  t.clock.Set(SystemClock().Now());
  WriteFile("example.com.dns", "");
  WriteFile("other.org.dns", "");
  WriteFile("fresh.net.dns", "");
  WriteFile("zonettl.dat",
            "\r\n"
            "example.com.  3600\r\n"
            "other.org. -30.5\r\n"
            "example.com. 99999\r\n");
  Age("zonettl.dat", 7200);

  auth().LoadAll();
  const DateTime now = t.ctx.Now();
  const auto seconds_left = [&](const std::string& zone) {
    return (Zone(zone)->Expires - now) * kSecondsPerDay;
  };
  EXPECT_NEAR(seconds_left("example.com."), -3600, 2);  // the first entry of a zone counts
  EXPECT_NEAR(seconds_left("other.org."), -7230.5, 2);
  EXPECT_EQ(Zone("fresh.net.")->Expires, now);
}

TEST_F(ZoneTest, UnloadRemovesAKnownZoneWithALogLine) {
  Load("example.com.", "");
  Load("example.org.", "");
  auth().UnloadZone("example.com.");
  auth().UnloadZone("example.net.");
  EXPECT_EQ(Zone("example.com."), nullptr);
  EXPECT_NE(Zone("example.org."), nullptr);
  EXPECT_EQ(LogTexts(), (Texts_{"Loading Zone: example.com.", "Loading Zone: example.org.",
                                "Removing Zone: example.com."}));
}

}  // namespace
}  // namespace vell::test
