// The reload control port: who may send, what hello does, and
// the MASTERDIR rule.
#include "server/reload_endpoint.h"

#include <gtest/gtest.h>

#include "core/config/ini.h"
#include "form_fixture.h"
#include "loop_runner.h"

namespace vell {
namespace {

class ReloadEndpointTest : public test::FormTest {
 protected:
  void Receive(const std::string& text, const std::string& from = "127.0.0.1") {
    endpoints.reload.OnDatagram(Datagram{text, from, 40000});
  }
};

TEST_F(ReloadEndpointTest, PortIsPublishedAndCommandsArriveFromLoopback) {
  EXPECT_EQ(endpoints.reload.Port(), 0);
  form.Begin();
  const uint16_t port = endpoints.reload.Port();
  ASSERT_NE(port, 0);
  EXPECT_EQ(ReadReloadPort(t.ctx.Path("vellion.ini")), port);

  UdpSocket local(loop), other(loop);
  local.Bind(0, "127.0.0.1");
  other.Bind(0, "127.0.0.2");  // another local address of the machine
  other.SendTo("127.0.0.1", port, "RELOAD");
  local.SendTo("127.0.0.1", port, "RELOAD S Example.Com.");
  ASSERT_TRUE(test::RunUntil(loop, [&] { return !inbound.reloads.empty(); }));
  test::RunFor(loop, std::chrono::milliseconds(30));
  EXPECT_EQ(inbound.reloads, (std::vector<std::string>{"RELOAD example.com."}));
}

TEST_F(ReloadEndpointTest, EachCommandReachesItsOperation) {
  for (const char* text :
       {"reload", "RELOAD example.com", "UNLOAD  example.com", "RELOAD\n", "HELLO", "Unload"}) {
    Receive(text);
  }
  EXPECT_EQ(inbound.reloads,
            (std::vector<std::string>{"RELOAD", "RELOAD example.com.", "UNLOAD example.com."}));
}

TEST_F(ReloadEndpointTest, AnyLoopbackDatagramMakesTheServiceInteractive) {
  t.ctx.state.Interactive = false;  // service mode
  Receive("HELLO", "127.0.0.2");
  EXPECT_FALSE(t.ctx.state.Interactive);
  Receive("HELLO");  // not hello, but a companion is there
  EXPECT_TRUE(t.ctx.state.Interactive);
  EXPECT_TRUE(t.ctx.tray.icon.shown);
  t.ctx.tray.icon.shown = false;
  Receive("nonsense");  // interactive already: only hello shows the icon
  EXPECT_FALSE(t.ctx.tray.icon.shown);
  Receive("hello");
  EXPECT_TRUE(t.ctx.tray.icon.shown);
  EXPECT_TRUE(inbound.reloads.empty());
}

TEST_F(ReloadEndpointTest, MasterDirectoryIgnoresReloadsButNotHello) {
  t.ctx.settings.MASTERDIR = "/srv/Master";
  t.ctx.state.Interactive = false;
  Receive("RELOAD");
  Receive("UNLOAD example.com");
  EXPECT_TRUE(inbound.reloads.empty());
  EXPECT_TRUE(t.ctx.state.Interactive);
}

}  // namespace
}  // namespace vell
