#include "server/command_line.h"

#include <gtest/gtest.h>

namespace vell {
namespace {

TEST(CommandLine, PlainArgumentIsOneOfStartOrUninstallInAnyCase) {
  const struct {
    std::vector<std::string> args;
    std::string command;
  } cases[] = {{{"-N"}, "-n"}, {{"-u"}, "-u"}, {{}, ""}, {{"--help", "-n"}, "-n"}};
  for (const auto& c : cases) {
    std::string error;
    const auto cl = ParseCommandLine(c.args, error);
    ASSERT_TRUE(cl) << error;
    EXPECT_EQ(cl->command, c.command);
  }
}

TEST(CommandLine, OptionsSetHomeAndPorts) {
  std::string error;
  const auto cl = ParseCommandLine({"--home", "/srv/v", "-n", "--dns-port", "5353", "--peer-port", "5300",
                                    "--dhcp-port", "6767", "--dhcp-client-port", "6868"},
                                   error);
  ASSERT_TRUE(cl) << error;
  EXPECT_EQ(cl->command, "-n");
  EXPECT_EQ(cl->home, "/srv/v");
  EXPECT_EQ(cl->ports.dns, 5353);
  EXPECT_EQ(cl->ports.peer, 5300);
  EXPECT_EQ(cl->ports.dhcp, 6767);
  EXPECT_EQ(cl->ports.dhcp_client, 6868);
  EXPECT_EQ(cl->options.size(), 10u);
}

TEST(CommandLine, DefaultsAreTheStandardPorts) {
  std::string error;
  const auto cl = ParseCommandLine({"-n"}, error);
  EXPECT_EQ(cl->ports.dns, 53);
  EXPECT_EQ(cl->ports.peer, 53);
  EXPECT_EQ(cl->ports.dhcp, 67);
  EXPECT_EQ(cl->ports.dhcp_client, 68);
}

TEST(CommandLine, BadOptionsAreRefused) {
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
