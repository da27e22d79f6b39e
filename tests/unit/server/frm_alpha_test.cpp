#include "server/frm_alpha.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "form_fixture.h"
#include "server/reload_endpoint.h"

namespace vell {
namespace {

using test::FormTest;
using Lines = std::vector<std::string>;

TEST(UptimeText, DaysHoursAndMinutes) {
  const DateTime start = test::TestStart();
  const std::pair<double, const char*> cases[] = {{0, "Uptime: 0 Minutes"},
                                                  {59, "Uptime: 0 Minutes"},
                                                  {60, "Uptime: 1 Minute"},
                                                  {3600 + 60, "Uptime: 1 Hour, 1 Minute"},
                                                  {2 * 3600, "Uptime: 2 Hours, 0 Minutes"},
                                                  {86400 + 2 * 3600 + 60, "Uptime: 1 Day, 2 Hours, 1 Minute"},
                                                  {3 * 86400 + 5 * 60, "Uptime: 3 Days, 5 Minutes"}};
  for (const auto& [seconds, text] : cases)
    EXPECT_EQ(UptimeText(start, start + Seconds(seconds)), text) << seconds;
}

TEST_F(FormTest, FirstRunningTickLoadsDataOnceThenRunsDutiesInOrder) {
  t.ctx.settings.CACHERELOAD = true;
  form.Timer();  // not running yet: nothing is loaded
  EXPECT_EQ(duties.calls, (Lines{"RequestTimeOuts", "Purge", "CheckSecondaries"}));
  EXPECT_FALSE(form.DataLoaded());

  duties.calls.clear();
  form.StartServer();
  ASSERT_TRUE(t.ctx.state.ServerRunning);
  t.clock.AdvanceSeconds(61);
  form.Timer();
  EXPECT_EQ(duties.calls, (Lines{"LoadAll", "LoadPerm", "LoadCache", "LoadBlocks", "LoadLeases",
                                 "RequestTimeOuts", "Purge", "CheckSecondaries"}));
  EXPECT_TRUE(form.DataLoaded());

  duties.calls.clear();
  t.clock.AdvanceSeconds(1);
  form.Timer();  // loaded already, and the secondary check ran a second ago
  EXPECT_EQ(duties.calls, (Lines{"RequestTimeOuts", "Purge"}));
}

TEST_F(FormTest, MasterDirectoryReplacesSecondaryChecksBySync) {
  t.ctx.settings.MASTERDIR = "/srv/master";
  t.ctx.settings.MASTERSYNC = 5;
  duties.last_sync = t.clock.Now() - Minutes(4);
  form.Timer();
  EXPECT_EQ(duties.calls, (Lines{"RequestTimeOuts", "Purge"}));
  duties.calls.clear();
  t.clock.AdvanceSeconds(61);
  form.Timer();
  EXPECT_EQ(duties.calls, (Lines{"RequestTimeOuts", "Purge", "MLSync"}));
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
  const auto& slots = t.ctx.state.PerSecond;
  form.Timer();
  EXPECT_EQ(std::tuple(slots[0], slots[59], t.ctx.tray.icon.icon), std::tuple(0, 7, 1));
  t.ctx.state.PerSecond.fill(7);
  t.clock.AdvanceSeconds(1.5);
  form.Timer();
  EXPECT_EQ(std::tuple(slots[1], slots[0], t.ctx.tray.icon.icon), std::tuple(0, 7, 0));
  EXPECT_EQ(t.ctx.state.StatusText, "Uptime: 1 Hour, 1 Minute");
  EXPECT_EQ(t.ctx.state.StatusPanel[2] + "|" + t.ctx.state.StatusPanel[3], "Requests: 1234 |Cache: 42 ");
}

// A taken port, with a message box in interactive mode, then a bound
// address that is not this machine's.
TEST_F(FormTest, FailedStartsNameTheCause) {
  UdpSocket squatter(loop);
  squatter.Bind(0, "127.0.0.1");
  t.ctx.ports.dns = squatter.LocalPort();
  t.ctx.state.Interactive = true;
  form.StartServer();
  EXPECT_FALSE(t.ctx.state.ServerRunning);
  EXPECT_EQ(t.ctx.state.StatusText, "Could not start DNS service.");
  EXPECT_EQ(t.ctx.tray.icon.icon, 2);
  EXPECT_EQ(t.boxes.shown, Lines{"Could not start DNS service!\n\nPort used by other DNS server."});
  form.Timer();
  EXPECT_FALSE(form.DataLoaded());

  t.ctx.ports.dns = 0;
  t.ctx.state.Interactive = false;
  t.ctx.settings.DNSBIND = "192.0.2.77";
  form.StartServer();
  EXPECT_FALSE(t.ctx.state.ServerRunning);
  EXPECT_EQ(t.ctx.state.StatusText, "Could not start DNS service on 192.0.2.77");
  EXPECT_EQ(Logged(), (Lines{"Binding DNS service failed - DNS service not started!",
                             "Binding DNS service to 192.0.2.77 failed - DNS service not started!"}));
  EXPECT_EQ(t.boxes.shown.size(), 1u);
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
  EXPECT_EQ(Logged(), (Lines{"DNS service started on 127.0.0.1", "Binding DHCP service to 192.0.2.1 failed!",
                             "DHCP service started on 127.0.0.1"}));
  form.PauseServer();
  EXPECT_FALSE(t.ctx.state.ServerRunning);
  EXPECT_EQ(endpoints.dhcp.Count(), 0u);
  EXPECT_EQ(t.ctx.state.StatusText, "Paused");
  EXPECT_EQ(duties.calls, Lines{"DropActiveRequests"});
  form.StartServer();
  EXPECT_EQ(endpoints.dhcp.Count(), 1u);
}

// Only loaded data is saved; a logoff saves without pausing; after a
// service stop the unload that follows does nothing.
TEST_F(FormTest, ClosingSavesLoadedDataAndAServiceStopEndsOnce) {
  form.Shutdown();
  EXPECT_TRUE(duties.calls.empty());
  t.ctx.settings.CACHERELOAD = true;
  t.ctx.state.Interactive = true;
  form.StartServer();
  form.Timer();
  duties.calls.clear();
  form.QueryUnload(2);
  EXPECT_TRUE(t.ctx.state.ServerRunning);
  EXPECT_FALSE(t.ctx.state.Interactive);
  EXPECT_EQ(Logged().back(), "Windows Logout/Shutdown.");
  EXPECT_EQ(duties.calls, (Lines{"SaveCache", "SaveBlocks", "SaveLeases", "SaveZoneTTL"}));
  duties.calls.clear();
  form.QueryUnload(0);
  EXPECT_FALSE(form.TimerEnabled());
  EXPECT_FALSE(t.ctx.state.ServerRunning);
  EXPECT_EQ(duties.calls,
            (Lines{"DropActiveRequests", "SaveCache", "SaveBlocks", "SaveLeases", "SaveZoneTTL"}));

  form.StartServer();
  form.ServiceStop();
  EXPECT_TRUE(form.ServiceStopped());
  const auto lines = Logged().size();
  form.QueryUnload(0);
  EXPECT_EQ(Logged().size(), lines);
}

// The reload control port: how command texts are read, who may send, what
// hello does, and the MASTERDIR rule.
class ReloadEndpointTest : public FormTest {
 protected:
  void Receive(const std::string& text, const std::string& from = "127.0.0.1") {
    endpoints.reload.OnDatagram(Datagram{text, from, 40000});
  }
};

TEST_F(ReloadEndpointTest, CommandsReachTheirOperations) {
  const std::pair<const char*, const char*> cases[] = {
      {"reload", "RELOAD"},
      {"RELOAD S Example.Com.", "RELOAD example.com."},
      {"reload p 0/25.2.0.192.in-addr.arpa", "RELOAD 0/25.2.0.192.in-addr.arpa."},
      {"RELOAD Sexample.com", "RELOAD sexample.com."},
      {"RELOAD ", "RELOAD ."},
      {"unload  ex ample.com", "UNLOAD example.com."},
      {"RELOAD\r\n", ""},
      {"RELOADexample.com", ""},
      {"UNLOAD", ""}};
  for (const auto& [text, expected] : cases) {
    inbound.reloads.clear();
    Receive(text);
    EXPECT_EQ(inbound.reloads.empty() ? "" : inbound.reloads.back(), expected) << '"' << text << '"';
    EXPECT_LE(inbound.reloads.size(), 1u);
  }
}

TEST_F(ReloadEndpointTest, OnlyLoopbackHelloShowsTheIconAndMasterDirectoryIgnoresReloads) {
  t.ctx.state.Interactive = false;  // service mode
  Receive("RELOAD", "127.0.0.2");
  EXPECT_FALSE(t.ctx.state.Interactive);
  EXPECT_TRUE(inbound.reloads.empty());
  Receive("HELLO");  // not hello, but a companion is there
  EXPECT_TRUE(t.ctx.state.Interactive && t.ctx.tray.icon.shown);
  t.ctx.tray.icon.shown = false;
  Receive("hello ");  // interactive already: only hello shows the icon
  EXPECT_FALSE(t.ctx.tray.icon.shown);
  t.ctx.settings.MASTERDIR = "/srv/Master";
  Receive("hello");
  EXPECT_TRUE(t.ctx.tray.icon.shown);
  Receive("RELOAD");
  EXPECT_TRUE(inbound.reloads.empty());
}

}  // namespace
}  // namespace vell
