// Reads any bytes as blocks.dat, writes the list back and reads it again:
// nothing may crash, every address read is in canonical dotted form, and
// the second reading gives exactly the first one's list.
#include <stdlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/ip.h"
#include "fuzz_workspace.h"
#include "server/context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vell::fuzz::Workspace workspace("blocks");
  static vell::FakeClock clock;
  static vell::FakeMessageBoxes boxes;
  static vell::EventLoop loop;
  static vell::Context ctx(clock, workspace.dir, boxes, loop);
  workspace.Write("blocks.dat", data, size);

  vell::BlockList& blocks = ctx.blocks;
  blocks.Blocks.clear();
  blocks.LoadBlocks();
  const std::vector<std::string> first = blocks.Blocks;
  for (const std::string& ip : first) {
    if (vell::CleanIP(ip) != ip) abort();
  }
  blocks.SaveBlocks();
  blocks.Blocks.clear();
  blocks.LoadBlocks();
  if (blocks.Blocks != first) abort();
  return 0;
}
