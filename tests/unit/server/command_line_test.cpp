#include "server/command_line.h"

#include <gtest/gtest.h>

namespace vell {
namespace {

TEST(CommandLine, PlainArgumentInAnyCaseAndOptionsSetHomeAndPortsOrAreRefused) {
  const struct {
    std::vector<std::string> args;
    std::string command, home;
    std::vector<int> ports;  // DNS, peer, DHCP, DHCP client
  } cases[] = {
      {{"-N"}, "-n", "", {53, 53, 67, 68}},
      {{"-u"}, "-u", "", {53, 53, 67, 68}},
      {{}, "", "", {53, 53, 67, 68}},
      {{"--help", "-n"}, "-n", "", {53, 53, 67, 68}},
      {{"--home", "/srv/v", "-n", "--dns-port", "5353", "--peer-port", "5300", "--dhcp-port", "6767",
        "--dhcp-client-port", "6868"},
       "-n",
       "/srv/v",
       {5353, 5300, 6767, 6868}},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto cl = ParseCommandLine(c.args, error);
    ASSERT_TRUE(cl) << error;
    EXPECT_EQ(cl->command, c.command);
    EXPECT_EQ(cl->home, c.home);
    EXPECT_EQ((std::vector<int>{cl->ports.dns, cl->ports.peer, cl->ports.dhcp, cl->ports.dhcp_client}),
              c.ports);
    EXPECT_EQ(cl->options.size(), c.home.empty() ? 0u : 10u);  // what a service unit repeats
  }
  // Bad options are refused.
  for (const auto& args : std::vector<std::vector<std::string>>{{"--dns-port", "65536"},
                                                                {"--dns-port", "53x"},
                                                                {"--dns-port"},
                                                                {"--colour", "red"},
                                                                {"foo"},
                                                                {"-x"},
                                                                {"-n", "-u"},
                                                                {"-n", "-n"}}) {
    std::string error;
    EXPECT_FALSE(ParseCommandLine(args, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace vell
