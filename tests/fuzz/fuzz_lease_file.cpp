// Any bytes as dhcp.dat: loading must not crash, and what is loaded must
// survive a write and a second load unchanged.
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "fuzz_workspace.h"
#include "server/context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vell::fuzz::Workspace workspace("leases");
  static vell::FakeClock clock(46000);
  static vell::FakeMessageBoxes boxes;
  static vell::EventLoop loop;
  static vell::Context ctx(clock, workspace.dir, boxes, loop);
  workspace.Write(vell::kLeaseFileName, data, size);
  // Each load starts from an empty table, as at a server's start: leases
  // already held would be merged in (those given before the first load).
  ctx.Leases = std::vector<vell::clLease>();
  ctx.DHCPLeases.Load();
  const std::vector<vell::clLease> first = ctx.Leases.All();
  ctx.DHCPLeases.SaveLeases();
  ctx.Leases = std::vector<vell::clLease>();
  ctx.DHCPLeases.Load();
  if (ctx.Leases.All() != first) abort();
  return 0;
}
