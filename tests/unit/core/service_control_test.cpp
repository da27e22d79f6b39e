#include "core/platform/service_control.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "temp_dir.h"

namespace vell {
namespace {

using Commands = std::vector<std::vector<std::string>>;

class Service : public ::testing::Test {
 protected:
  Service() {
    control.ServiceName = "vellion";
    control.DisplayName = "Vellion 100%";
  }
  testing::TempDir dir;
  FakeRunner runner;
  ServiceControl control{dir.Path(),
                         runner,
                         {"/opt/vell/vellmain", "--home", "/srv/my dns", "$HOME", "a\"b"},
                         {"/opt/vell/vellctl", "--home", "/srv/my dns", "reload"}};
};

TEST_F(Service, InstallWritesUnitAndEnablesIt) {
  ASSERT_TRUE(control.Install());
  EXPECT_EQ(control.UnitPath(), dir.File("vellion.service"));
  const std::string unit = dir.Read("vellion.service");
  // A program directory that does not exist: no user is named.
  EXPECT_TRUE(
      unit.starts_with("[Unit]\nDescription=Vellion 100%%\n"
                       "Wants=network-online.target\nAfter=network-online.target\n\n"
                       "[Service]\nExecStart=/opt/vell/vellmain --home \"/srv/my dns\" $$HOME \"a\\\"b\"\n"
                       "ExecReload=/opt/vell/vellctl --home \"/srv/my dns\" reload\nType=simple\n"
                       "ReadWritePaths=\"/srv/my dns\"\nAmbientCapabilities=CAP_NET_BIND_SERVICE\n"))
      << unit;
  EXPECT_TRUE(unit.ends_with("\n\n[Install]\nWantedBy=multi-user.target\n")) << unit;
  EXPECT_EQ(runner.commands, (Commands{{"systemctl", "daemon-reload"}, {"systemctl", "enable", "vellion"}}));
}

TEST_F(Service, TheUnitRunsAsTheOwnerOfTheProgramDirectoryLockedDown) {
  if (geteuid() == 0) {
    ASSERT_EQ(chown(dir.Path().c_str(), 65534, 65534), 0);
  }
  struct stat st {};
  ASSERT_EQ(stat(dir.Path().c_str(), &st), 0);
  ServiceControl owned{dir.Path(), runner, {"/opt/vell/vellmain", "--home", dir.Path()}};
  owned.ServiceName = "vellion";
  ASSERT_TRUE(owned.Install());
  const std::string user =
      "\nUser=" + std::to_string(st.st_uid) + "\nGroup=" + std::to_string(st.st_gid) + "\n";
  const std::string unit = dir.Read("vellion.service");
  EXPECT_NE(unit.find(user), std::string::npos);
  EXPECT_EQ(unit.find("ExecReload"), std::string::npos) << "no companion given";
  if (std::system("command -v systemd-analyze >/dev/null") != 0) GTEST_SKIP() << "no systemd-analyze";
  const std::string check =
      "systemd-analyze security --offline=true " + dir.File("vellion.service") +
      " 2>&1 | grep -Eq 'Overall exposure level for vellion.service: [0-9.]+ (SAFE|OK)'";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

// A program directory owned by root ("/" here; the fake runner touches
// nothing) is given to a system user named after the service, never root.
TEST_F(Service, ARootOwnedProgramDirectoryIsGivenToAServiceUser) {
  const std::string user =
      "useradd --system --user-group --no-create-home --home-dir / --shell /usr/sbin/nologin ";
  const struct {
    std::string name;
    int status;
    std::string commands;
  } cases[] = {
      {"vellion-no-such-user", 0,
       user + "vellion-no-such-user; chown -R -h -- vellion-no-such-user:vellion-no-such-user /; "
              "systemctl daemon-reload; systemctl enable vellion-no-such-user; "},
      {"vellion-no-such-user", 1, user + "vellion-no-such-user; "},
      {"nobody", 0, "chown -R -h -- nobody:nobody /; systemctl daemon-reload; systemctl enable nobody; "},
      {"root", 0, ""},
  };
  for (const auto& c : cases) {
    FakeRunner fake;
    fake.status = c.status;
    ServiceControl root_owned{dir.Path(), fake, {"/opt/vell/vellmain", "--home", "/"}};
    root_owned.ServiceName = c.name;
    const bool installed = c.status == 0 && c.name != "root";
    EXPECT_EQ(root_owned.Install(), installed) << c.name;
    std::string commands;
    for (const auto& argv : fake.commands) {
      for (const auto& word : argv) commands += word + (&word == &argv.back() ? "; " : " ");
    }
    EXPECT_EQ(commands, c.commands);
    EXPECT_EQ(std::filesystem::exists(root_owned.UnitPath()), installed) << c.name;
    const std::string unit = installed ? dir.Read(c.name + ".service") : "";
    EXPECT_EQ(unit.find("\nUser=" + c.name + "\nGroup=" + c.name + "\n") != std::string::npos, installed);
    std::filesystem::remove(root_owned.UnitPath());
  }
}

TEST_F(Service, InstallFailures) {
  runner.status = 1;
  EXPECT_FALSE(control.Install());
  control.ServiceName = "";
  EXPECT_FALSE(control.Install());
  ServiceControl nowhere{dir.File("missing"), runner, {"/bin/true"}};
  nowhere.ServiceName = "vellion";
  runner.commands.clear();
  EXPECT_FALSE(nowhere.Install());
  EXPECT_TRUE(runner.commands.empty());
}

TEST_F(Service, StartStopAndRemoveGoThroughSystemctl) {
  ASSERT_TRUE(control.Install());
  runner.commands.clear();
  control.StartService();
  control.StopService();
  EXPECT_TRUE(control.Remove());
  EXPECT_FALSE(std::filesystem::exists(control.UnitPath()));
  EXPECT_EQ(runner.commands, (Commands{{"systemctl", "start", "vellion"},
                                       {"systemctl", "stop", "vellion"},
                                       {"systemctl", "disable", "vellion"},
                                       {"systemctl", "daemon-reload"}}));
  EXPECT_FALSE(control.Remove());  // nothing left to remove
}

}  // namespace
}  // namespace vell
