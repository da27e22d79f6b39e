#include "server/frm_alpha.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form_fixture.h"

namespace vell {
namespace {

using test::FormTest;
using test::TestContext;

TEST(UptimeText, DaysHoursAndMinutes) {
  const DateTime start = test::TestStart();
  struct Case {
    double seconds;
    const char* text;
  } cases[] = {
      {0, "Uptime: 0 Minutes"},
      {59, "Uptime: 0 Minutes"},
      {60, "Uptime: 1 Minute"},
      {3600 + 60, "Uptime: 1 Hour, 1 Minute"},
      {2 * 3600, "Uptime: 2 Hours, 0 Minutes"},
      {86400 + 2 * 3600 + 60, "Uptime: 1 Day, 2 Hours, 1 Minute"},
      {3 * 86400 + 5 * 60, "Uptime: 3 Days, 5 Minutes"},
  };
  for (const auto& c : cases) EXPECT_EQ(UptimeText(start, start + Seconds(c.seconds)), c.text) << c.seconds;
}

TEST_F(FormTest, FirstRunningTickLoadsDataOnceThenRunsDutiesInOrder) {
  t.ctx.settings.CACHERELOAD = true;
  form.Timer();  // not running yet: nothing is loaded
  EXPECT_EQ(duties.calls, (std::vector<std::string>{"RequestTimeOuts", "Purge", "CheckSecondaries"}));
  EXPECT_FALSE(form.DataLoaded());

  duties.calls.clear();
  form.StartServer();
  ASSERT_TRUE(t.ctx.state.ServerRunning);
  t.clock.AdvanceSeconds(61);
  form.Timer();
  EXPECT_EQ(duties.calls,
            (std::vector<std::string>{"LoadAll", "LoadPerm", "LoadCache", "LoadBlocks", "LoadLeases",
                                      "RequestTimeOuts", "Purge", "CheckSecondaries"}));
  EXPECT_TRUE(form.DataLoaded());

  duties.calls.clear();
  t.clock.AdvanceSeconds(1);
  form.Timer();  // loaded already, and the secondary check ran a second ago
  EXPECT_EQ(duties.calls, (std::vector<std::string>{"RequestTimeOuts", "Purge"}));
}

TEST_F(FormTest, MasterDirectoryReplacesSecondaryChecksBySync) {
  t.ctx.settings.MASTERDIR = "/srv/master";
  t.ctx.settings.MASTERSYNC = 5;
  duties.last_sync = t.clock.Now() - Minutes(4);
  form.Timer();
  EXPECT_EQ(duties.calls, (std::vector<std::string>{"RequestTimeOuts", "Purge"}));
  duties.calls.clear();
  t.clock.AdvanceSeconds(61);
  form.Timer();
  EXPECT_EQ(duties.calls, (std::vector<std::string>{"RequestTimeOuts", "Purge", "MLSync"}));
}

// The per-second slot ahead, the status panels (while the main window is
// open) and the activity icon, which falls back after a second.
TEST_F(FormTest, TickKeepsCountersPanelsAndIcon) {
  t.ctx.state.WindowOpen[kMainWindow] = true;
  t.ctx.state.RequestCount = 1234;
  form.StartServer();
  t.ctx.state.StartTime = FromCalendar({2026, 12, 5, 8, 59, 59});
  t.ctx.state.PerSecond.fill(7);
  t.clock.Set(FromCalendar({2026, 12, 5, 10, 0, 59}));
  t.ctx.tray.DoTray(1);
  form.Timer();
  EXPECT_EQ(t.ctx.state.PerSecond[0], 0);
  EXPECT_EQ(t.ctx.state.PerSecond[59], 7);
  EXPECT_EQ(t.ctx.tray.icon.icon, 1);
  t.ctx.state.PerSecond.fill(7);
  t.clock.AdvanceSeconds(1.5);
  form.Timer();
  EXPECT_EQ(t.ctx.state.PerSecond[1], 0);
  EXPECT_EQ(t.ctx.state.PerSecond[0], 7);
  EXPECT_EQ(t.ctx.tray.icon.icon, 0);
  EXPECT_EQ(t.ctx.state.StatusText, "Uptime: 1 Hour, 1 Minute");
  EXPECT_EQ(t.ctx.state.StatusPanel[2], "Requests: 1234 ");
  EXPECT_EQ(t.ctx.state.StatusPanel[3], "Cache: 42 ");
}

TEST_F(FormTest, TakenPortFailsWithTheServiceMessages) {
  UdpSocket squatter(loop);
  squatter.Bind(0, "127.0.0.1");
  t.ctx.ports.dns = squatter.LocalPort();
  t.ctx.state.Interactive = true;
  form.StartServer();
  EXPECT_FALSE(t.ctx.state.ServerRunning);
  EXPECT_EQ(t.ctx.state.StatusText, "Could not start DNS service.");
  EXPECT_EQ(t.ctx.tray.icon.icon, 2);
  EXPECT_EQ(Logged(), (std::vector<std::string>{"Binding DNS service failed - DNS service not started!"}));
  EXPECT_EQ(t.boxes.shown,
            (std::vector<std::string>{"Could not start DNS service!\n\nPort used by other DNS server."}));

  form.Timer();
  EXPECT_FALSE(form.DataLoaded());
}

TEST_F(FormTest, BoundAddressFailureNamesTheAddress) {
  t.ctx.settings.DNSBIND = "192.0.2.77";  // not an address of this machine
  form.StartServer();
  EXPECT_FALSE(t.ctx.state.ServerRunning);
  EXPECT_EQ(t.ctx.state.StatusText, "Could not start DNS service on 192.0.2.77");
  EXPECT_EQ(
      Logged(),
      (std::vector<std::string>{"Binding DNS service to 192.0.2.77 failed - DNS service not started!"}));
  EXPECT_TRUE(t.boxes.shown.empty());  // not interactive
}

TEST_F(FormTest, PauseAndStartRecreateDhcpSocketsAndSkipFailedOnes) {
  t.ctx.settings.DNSBIND = "127.0.0.1";
  clDHCPif good;
  good.IPaddr = "127.0.0.1";
  clDHCPif foreign;
  foreign.IPaddr = "192.0.2.1";
  t.ctx.settings.DHCP = {foreign, good};
  form.StartServer();
  EXPECT_TRUE(t.ctx.state.ServerRunning);
  EXPECT_EQ(endpoints.dhcp.Count(), 1u);
  EXPECT_EQ(Logged(), (std::vector<std::string>{"DNS service started on 127.0.0.1",
                                                "Binding DHCP service to 192.0.2.1 failed!",
                                                "DHCP service started on 127.0.0.1"}));
  form.PauseServer();
  EXPECT_FALSE(t.ctx.state.ServerRunning);
  EXPECT_EQ(endpoints.dhcp.Count(), 0u);
  EXPECT_EQ(t.ctx.state.StatusText, "Paused");
  EXPECT_EQ(duties.calls, (std::vector<std::string>{"DropActiveRequests"}));
  form.StartServer();
  EXPECT_EQ(endpoints.dhcp.Count(), 1u);
}

TEST_F(FormTest, ShutdownSavesOnlyLoadedData) {
  form.Shutdown();
  EXPECT_TRUE(duties.calls.empty());

  t.ctx.settings.CACHERELOAD = true;
  form.StartServer();
  form.Timer();
  duties.calls.clear();
  form.QueryUnload(0);
  EXPECT_FALSE(form.TimerEnabled());
  EXPECT_FALSE(t.ctx.state.ServerRunning);
  EXPECT_EQ(duties.calls, (std::vector<std::string>{"DropActiveRequests", "SaveCache", "SaveBlocks",
                                                    "SaveLeases", "SaveZoneTTL"}));
}

TEST_F(FormTest, LogoffSavesWithoutPausing) {
  t.ctx.state.Interactive = true;
  form.StartServer();
  form.QueryUnload(2);
  EXPECT_TRUE(t.ctx.state.ServerRunning);
  EXPECT_FALSE(t.ctx.state.Interactive);
  EXPECT_EQ(Logged().back(), "Windows Logout/Shutdown.");
}

TEST_F(FormTest, ServiceStopEndsOnceAndIgnoresTheUnloadAfterIt) {
  form.StartServer();
  form.ServiceStop();
  EXPECT_TRUE(form.ServiceStopped());
  const auto lines = Logged().size();
  form.QueryUnload(0);
  EXPECT_EQ(Logged().size(), lines);
}

}  // namespace
}  // namespace vell
