// Reads any bytes as the hosts file: nothing may crash, the records must
// stay sorted by owner, and every name the file gave is answered.
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "fuzz_workspace.h"
#include "server/context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vell::fuzz::Workspace workspace("hosts");
  static vell::FakeClock clock(46000.5);
  static vell::FakeMessageBoxes boxes;
  static vell::EventLoop loop;
  static vell::Context ctx(clock, workspace.dir, boxes, loop);
  ctx.settings.HOSTS = "hosts";
  workspace.Write("hosts", data, size);
  vell::clDNSCache& cache = ctx.Cache;
  cache.LoadPerm(true);  // the root hints are not read: only the hosts file
  const auto& records = cache.Records().items();
  for (size_t i = 1; i < records.size(); ++i) {
    if (records[i]->Name < records[i - 1]->Name) abort();
  }
  for (const vell::RecordPtr& r : records) {
    if (cache.Ask(r->Name, r->RecType, vell::Recursion::kNotDesired, vell::LookupKind::kFull)
            ->Section2.empty()) {
      abort();
    }
  }
  ctx.log.LogBuffer.clear();
  return 0;
}
