// Any bytes as a DHCP request that passed the front end (op 1 and the magic
// cookie are put in place): Arrival must not crash, must empty the buffer,
// and every lease it makes must lie inside the scope.
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "dhcp/mod_dhcp.h"
#include "fuzz_workspace.h"
#include "server/context.h"

namespace {

class NullSender final : public vell::DhcpSender {
 public:
  std::string LocalIP(int) const override { return "10.0.0.1"; }
  void SendDhcp(int, const std::string&, uint16_t, const std::string& msg) override {
    if (msg.size() < 241 || msg[0] != 2) abort();
  }
};

vell::clDHCPif Scope() {
  vell::clDHCPif scope;
  scope.IPaddr = "10.0.0.1";
  scope.ScopeFrom = "10.0.0.1";
  scope.ScopeTo = "10.0.0.8";
  scope.Subnet = "255.255.255.0";
  scope.Gateway = "10.0.0.254";
  scope.TTL = 60;
  scope.Domain = "lan.";
  return scope;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vell::fuzz::Workspace workspace("dhcp");
  static vell::FakeClock clock(46000);
  static vell::FakeMessageBoxes boxes;
  static vell::EventLoop loop;
  static vell::Context ctx(clock, workspace.dir, boxes, loop);
  static NullSender sender;
  static vell::modDHCP dhcp(ctx.env, ctx.DHCPLeases, sender, 68);
  if (ctx.settings.DHCP.empty()) {
    ctx.settings.DHCP = {Scope()};
    ctx.settings.DHCPALIAS = {{"\x01\x02", "alias"}};
  }
  if (size < 1) return 0;
  // The first octet chooses the sender: no address yet, or the client's own.
  const bool from_client = (data[0] & 1) != 0;
  std::string msg(reinterpret_cast<const char*>(data + 1), size - 1);
  if (msg.size() < 241) msg.resize(241, '\0');
  msg[0] = 1;
  msg.replace(236, 4, std::string{99, static_cast<char>(130), 83, 99});
  const std::string from =
      from_client ? "10.0.0." + std::to_string(static_cast<unsigned char>(msg[15])) : "0.0.0.0";
  dhcp.Arrival(1, from, msg);
  if (!msg.empty()) abort();
  for (const vell::clLease& lease : ctx.Leases) {
    if (lease.IPaddr == "10.0.0.1" || lease.IPaddr.rfind("10.0.0.", 0) != 0 || lease.IPaddr.size() != 8)
      abort();
  }
  clock.AdvanceSeconds(7);
  return 0;
}
