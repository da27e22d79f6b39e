// Zone names from outside never make a path that leaves data/: a reload
// command's zone and a master directory's file names, with "../", "/", NUL
// and control characters. (NOTIFY and transfers act only on zones already
// loaded; lease names are cut to name characters and never make a path.)
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/reload_command.h"
#include "zone_fixture.h"

namespace vell::test {
namespace {

class ZonePathTest : public ZoneTest {
 protected:
  // Every file under the program directory, relative to it.
  std::set<std::string> Files() const {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(t.dir.Path())) {
      if (entry.is_regular_file())
        files.insert(std::filesystem::relative(entry.path(), t.dir.Path()).string());
    }
    return files;
  }
};

const std::string kZoneText = "@ SOA ns1 admin 1 300 300 300 300\r\n@ A 192.0.2.66\r\n";

TEST_F(ZonePathTest, AReloadCommandReadsOnlyFromData) {
  // Decoys where an unmapped name would lead: beside data/ and, for a NUL,
  // the name cut at it.
  std::filesystem::create_directories(t.dir.File("etc"));
  t.dir.Write("outside.dns", kZoneText);
  t.dir.Write("etc/passwd.dns", kZoneText);
  WriteFile("a", kZoneText);
  for (const std::string& command :
       std::vector<std::string>{"RELOAD ../outside", "RELOAD ../etc/passwd", "RELOAD /etc/passwd",
                                std::string("RELOAD a\0b", 10), "RELOAD a\x01\x7F"}) {
    const std::string zone = ParseReloadCommand(command).zone;
    auth().LoadZone(zone, 0);
    const clZone* loaded = Zone(zone);
    EXPECT_TRUE(loaded == nullptr || loaded->Records.empty()) << command;
  }
}

TEST_F(ZonePathTest, AMasterDirectoryFileIsCopiedIntoDataUnderASafeName) {
  t.ctx.settings.MASTERDIR = "Master";
  std::filesystem::create_directories(t.dir.File("Master"));
  t.dir.Write("Master/ctl\x01\x1b.dns", kZoneText);
  const std::set<std::string> before = Files();
  auth().MLSync([](const std::string&) {});
  std::set<std::string> added;
  for (const std::string& file : Files()) {
    if (!before.contains(file)) added.insert(file);
  }
  EXPECT_EQ(added, std::set<std::string>{"data/ctl~~.dns"});
}

}  // namespace
}  // namespace vell::test
