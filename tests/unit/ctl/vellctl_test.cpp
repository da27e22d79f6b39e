// vellctl: its command line, and what it does against a port that is held,
// free, or ruled out by a master directory.
#include "ctl/vellctl.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/platform/event_loop.h"
#include "core/platform/socket.h"
#include "loop_runner.h"
#include "temp_dir.h"

namespace vell::ctl {
namespace {

TEST(VellctlArgs, CommandsAndTheirTexts) {
  struct Case {
    std::vector<std::string> args;
    const char* text;  // nullptr: a usage error
    const char* home;
  } cases[] = {
      {{"reload"}, "RELOAD", ""},
      {{"--home", "/srv/v", "reload", "example.com"}, "RELOAD example.com", "/srv/v"},
      {{"reload", "example.com", "s"}, "RELOAD S example.com", ""},
      {{"RELOAD", "Example.Com.", "P", "--home=/x"}, "RELOAD P Example.Com.", "/x"},
      {{"unload", "example.com"}, "UNLOAD example.com", ""},
      {{"hello"}, "hello", ""},
      {{}, nullptr, ""},
      {{"reload", "example.com", "X"}, nullptr, ""},
      {{"reload", "a", "S", "b"}, nullptr, ""},
      {{"unload"}, nullptr, ""},
      {{"unload", " "}, nullptr, ""},
      {{"hello", "there"}, nullptr, ""},
      {{"restart"}, nullptr, ""},
      {{"--verbose", "reload"}, nullptr, ""},
      {{"reload", "--home"}, nullptr, ""},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto inv = ParseArgs(c.args, error);
    const std::string shown = ::testing::PrintToString(c.args);
    if (c.text == nullptr) {
      EXPECT_FALSE(inv) << shown;
      EXPECT_FALSE(error.empty()) << shown;
      continue;
    }
    ASSERT_TRUE(inv) << shown << ": " << error;
    EXPECT_EQ(inv->text, c.text) << shown;
    EXPECT_EQ(inv->home, c.home) << shown;
  }
  std::string error;
  EXPECT_TRUE(ParseArgs({"reload", "--help"}, error)->help);
}

class VellctlRun : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    args.insert(args.begin(), {"--home", dir.Path()});
    return ctl::Run(args, "/nonexistent", out, err);
  }
  void Ini(uint16_t port, const std::string& extra = "") {
    dir.Write("vellion.ini", "HostsTTL: 3600\r\n" + extra + "ReloadPort: " + std::to_string(port) + "\r\n");
  }
  testing::TempDir dir;
  std::ostringstream out, err;
  EventLoop loop;
};

TEST_F(VellctlRun, SendsFromLoopbackToThePublishedPort) {
  UdpSocket server(loop);
  server.Bind(0, "127.0.0.1");
  std::vector<Datagram> seen;
  server.OnDataArrival = [&](const Datagram& d) { seen.push_back(d); };
  Ini(server.LocalPort());
  EXPECT_EQ(Run({"reload", "example.com", "S"}), kExitSent);
  ASSERT_TRUE(test::RunUntil(loop, [&] { return !seen.empty(); }));
  EXPECT_EQ(seen[0].data, "RELOAD S example.com");
  EXPECT_EQ(seen[0].host, "127.0.0.1");
  EXPECT_NE(out.str().find("sent \"RELOAD S example.com\""), std::string::npos) << out.str();
}

TEST_F(VellctlRun, StoppedServerFailsWithAClearMessage) {
  EXPECT_EQ(Run({"reload"}), kExitNoServer);  // no vellion.ini at all
  EXPECT_NE(err.str().find("the server is not running"), std::string::npos) << err.str();
  uint16_t free_port = 0;
  {
    UdpSocket gone(loop);
    gone.Bind(0, "127.0.0.1");
    free_port = gone.LocalPort();
  }
  Ini(free_port);
  EXPECT_EQ(Run({"hello"}), kExitNoServer);
  EXPECT_NE(err.str().find("nothing listens on its reload port"), std::string::npos) << err.str();
  EXPECT_TRUE(out.str().empty());
}

TEST_F(VellctlRun, MasterDirectorySendsNoZoneCommands) {
  UdpSocket server(loop);
  server.Bind(0, "127.0.0.1");
  int seen = 0;
  server.OnDataArrival = [&](const Datagram&) { ++seen; };
  Ini(server.LocalPort(), "MasterDir: /srv/Master\r\n");
  EXPECT_EQ(Run({"unload", "example.com"}), kExitNoServer);
  EXPECT_NE(err.str().find("\"/srv/Master\""), std::string::npos) << err.str();
  EXPECT_EQ(Run({"hello"}), kExitSent);  // hello still means something
  EXPECT_TRUE(test::RunUntil(loop, [&] { return seen == 1; }));
}

TEST_F(VellctlRun, HelpAndUsage) {
  EXPECT_EQ(Run({"--help"}), kExitSent);
  EXPECT_EQ(out.str().rfind("NAME\n    vellctl - ", 0), 0u);
  for (const char* section : {"SYNOPSIS", "COMMANDS", "EXIT STATUS", "ExecReload="}) {
    EXPECT_NE(out.str().find(section), std::string::npos) << section;
  }
  EXPECT_EQ(Run({"frobnicate"}), kExitUsage);
  EXPECT_EQ(err.str(), "vellctl: unknown command 'frobnicate'\nTry 'vellctl --help'.\n");
}

}  // namespace
}  // namespace vell::ctl
