// The reload control port: how command texts are read, who may send, what
// hello does, and the MASTERDIR rule.
#include "server/reload_endpoint.h"

#include <gtest/gtest.h>

#include "form_fixture.h"

namespace vell {
namespace {

class ReloadEndpointTest : public test::FormTest {
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
      {"UNLOAD", ""},
  };
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
