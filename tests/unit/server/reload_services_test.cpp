// What the reload commands do to the zones: a secondary
// zone is queued for its primary, a primary zone's secondaries are told,
// but not while the server is paused.
#include <gtest/gtest.h>

#include <filesystem>

#include "server/server.h"
#include "test_support.h"

namespace vell {
namespace {

class ReloadServices : public ::testing::Test {
 protected:
  ReloadServices() {
    t.ctx.log.KeepLog = true;
    t.ctx.ports.peer = 9;  // discard: nothing sent in these tests may reach a server
    std::filesystem::create_directory(t.dir.File("data"));
    Zone("primary.test", "; Notify 127.0.0.9\r\n");
    Zone("secondary.test", "; PrimaryIP 127.0.0.8\r\n");
  }
  void Zone(const std::string& name, const std::string& head) {
    t.dir.Write("data/" + name + ".dns", head + "@ SOA ns1 admin 1 300 300 300 300\r\nwww A 10.0.0.1\r\n");
  }
  bool Logged(const std::string& text) const {
    for (const auto& line : t.ctx.log.LogBuffer) {
      if (line.substr(11) == text) return true;
    }
    return false;
  }
  test::TestContext t;
  Server server{t.ctx};
};

TEST_F(ReloadServices, SecondaryZoneIsQueuedForItsPrimary) {
  server.services.ReloadZone("secondary.test.");
  EXPECT_TRUE(Logged("Loading Zone: secondary.test."));
  EXPECT_EQ(server.soa_check.Queue(), (std::deque<std::string>{"secondary.test."}));
  EXPECT_FALSE(Logged("Sending Zone Update Notification to 127.0.0.8 about secondary.test."));
}

TEST_F(ReloadServices, PrimaryZoneIsNotifiedOnlyWhileRunning) {
  server.services.ReloadZone("primary.test.");
  EXPECT_NE(t.ctx.AuthData.ZoneFind("primary.test."), kNotFound);
  EXPECT_FALSE(Logged("Sending Zone Update Notification to 127.0.0.9 about primary.test."));
  t.ctx.state.ServerRunning = true;
  server.services.ReloadZone("primary.test.");
  EXPECT_TRUE(Logged("Sending Zone Update Notification to 127.0.0.9 about primary.test."));
  EXPECT_TRUE(server.soa_check.Queue().empty());
}

TEST_F(ReloadServices, ReloadAllAndUnload) {
  server.services.ReloadAll();
  EXPECT_EQ(t.ctx.AuthData.Zones().size(), 2u);
  server.services.UnloadZone("primary.test.");
  EXPECT_TRUE(Logged("Removing Zone: primary.test."));
  EXPECT_EQ(t.ctx.AuthData.ZoneFind("primary.test."), kNotFound);
}

}  // namespace
}  // namespace vell
