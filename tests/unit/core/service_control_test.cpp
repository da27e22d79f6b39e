#include "core/platform/service_control.h"

#include <gtest/gtest.h>

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
  ServiceControl control{
      dir.Path(), runner, {"/opt/vell/vellmain", "--home", "/srv/my dns", "$HOME", "a\"b"}};
};

TEST_F(Service, InstallWritesUnitAndEnablesIt) {
  ASSERT_TRUE(control.Install());
  EXPECT_EQ(control.UnitPath(), dir.File("vellion.service"));
  EXPECT_EQ(
      dir.Read("vellion.service"),
      "[Unit]\nDescription=Vellion 100%%\n\n"
      "[Service]\nExecStart=/opt/vell/vellmain --home \"/srv/my dns\" $$HOME \"a\\\"b\"\nType=simple\n\n"
      "[Install]\nWantedBy=multi-user.target\n");
  EXPECT_EQ(runner.commands, (Commands{{"systemctl", "daemon-reload"}, {"systemctl", "enable", "vellion"}}));
}

TEST_F(Service, ReloadGoesThroughTheCompanion) {
  ServiceControl with_reload{dir.Path(),
                             runner,
                             {"/opt/vell/vellmain", "-n"},
                             {"/opt/vell/vellctl", "--home", "/srv/my dns", "reload"}};
  with_reload.ServiceName = "vellion";
  with_reload.DisplayName = "Vellion";
  ASSERT_TRUE(with_reload.Install());
  EXPECT_EQ(dir.Read("vellion.service"),
            "[Unit]\nDescription=Vellion\n\n"
            "[Service]\nExecStart=/opt/vell/vellmain -n\n"
            "ExecReload=/opt/vell/vellctl --home \"/srv/my dns\" reload\nType=simple\n\n"
            "[Install]\nWantedBy=multi-user.target\n");
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

TEST_F(Service, RemoveDisablesDeletesAndReloads) {
  ASSERT_TRUE(control.Install());
  runner.commands.clear();
  EXPECT_TRUE(control.Remove());
  EXPECT_FALSE(std::filesystem::exists(control.UnitPath()));
  EXPECT_EQ(runner.commands, (Commands{{"systemctl", "disable", "vellion"}, {"systemctl", "daemon-reload"}}));
  EXPECT_FALSE(control.Remove());  // nothing left to remove
}

TEST_F(Service, StartAndStopGoThroughSystemctl) {
  control.StartService();
  control.StopService();
  EXPECT_EQ(runner.commands, (Commands{{"systemctl", "start", "vellion"}, {"systemctl", "stop", "vellion"}}));
}

}  // namespace
}  // namespace vell
