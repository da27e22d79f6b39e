// vellctl: its command line, a free port, and a master directory (the common
// paths against a real server run in the system tests).
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
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      // arguments, "text|home" (nullptr: a usage error)
      {{"--home", "/srv/v", "reload", "example.com"}, "RELOAD example.com|/srv/v"},
      {{"reload", "example.com", "s"}, "RELOAD S example.com|"},
      {{"RELOAD", "Example.Com.", "P", "--home=/x"}, "RELOAD P Example.Com.|/x"},
      {{"unload", "example.com"}, "UNLOAD example.com|"},
      {{"hello"}, "hello|"},
      {{}, nullptr},
      {{"reload", "example.com", "X"}, nullptr},
      {{"reload", "a", "S", "b"}, nullptr},
      {{"unload"}, nullptr},
      {{"unload", " "}, nullptr},
      {{"hello", "there"}, nullptr},
      {{"--verbose", "reload"}, nullptr},
      {{"reload", "--home"}, nullptr},
  };
  for (const auto& [args, expected] : cases) {
    std::string error;
    const auto inv = ParseArgs(args, error);
    EXPECT_EQ(inv ? inv->text + "|" + inv->home : "error: " + std::to_string(!error.empty()),
              expected ? expected : "error: 1")
        << ::testing::PrintToString(args);
  }
  std::string error;
  EXPECT_TRUE(ParseArgs({"reload", "--help"}, error)->help);
}

TEST(VellctlRun, FreePortFailsAndMasterDirectoryLetsOnlyHelloThrough) {
  testing::TempDir dir;
  std::ostringstream out, err;
  EventLoop loop;
  UdpSocket server(loop);
  server.Bind(0, "127.0.0.1");
  std::vector<std::string> seen;
  server.OnDataArrival = [&](const Datagram& d) { seen.push_back(d.data); };
  const auto run = [&](uint16_t port, std::vector<std::string> args) {
    dir.Write("vellion.ini", "MasterDir: /srv/Master\r\nReloadPort: " + std::to_string(port) + "\r\n");
    err.str("");
    args.insert(args.begin(), {"--home", dir.Path()});
    return ctl::Run(args, "/nonexistent", out, err);
  };
  EXPECT_EQ(ctl::Run({"--home", dir.Path(), "reload"}, "/nonexistent", out, err), kExitNoServer);
  EXPECT_NE(err.str().find("names no reload port"), std::string::npos) << err.str();
  EXPECT_EQ(run(server.LocalPort(), {"unload", "example.com"}), kExitNoServer);
  EXPECT_NE(err.str().find("\"/srv/Master\""), std::string::npos) << err.str();
  EXPECT_EQ(run(server.LocalPort(), {"hello"}), kExitSent);  // hello still means something
  EXPECT_TRUE(test::RunUntil(loop, [&] { return !seen.empty(); }));
  EXPECT_EQ(seen, (std::vector<std::string>{"hello"}));
  EXPECT_EQ(run(server.LocalPort(), {"frobnicate"}), kExitUsage);
  EXPECT_EQ(err.str(), "vellctl: unknown command 'frobnicate'\nTry 'vellctl --help'.\n");
  const uint16_t port = server.LocalPort();
  server.Close();
  EXPECT_EQ(run(port, {"hello"}), kExitNoServer);
  EXPECT_NE(err.str().find("nothing listens on its reload port"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace vell::ctl
