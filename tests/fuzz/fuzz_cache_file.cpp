// Reads any bytes as a saved cache, writes the cache file and a snapshot
// from it and reads the cache file back: nothing may crash, and the records
// must stay sorted by owner.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/platform/file_time.h"
#include "fuzz_workspace.h"
#include "server/context.h"

namespace {

void CheckSorted(const vell::clDNSCache& cache) {
  const auto& records = cache.Records().items();
  for (size_t i = 1; i < records.size(); ++i) {
    if (records[i]->Name < records[i - 1]->Name) abort();
  }
}

vell::FakeClock fake_clock;

// The clock stands where the file was written, so the records do not age
// between the loads.
void StopClockAtWrite(const std::string& path) {
  vell::DateTime written = 0;
  if (!vell::FileModified(path, written)) abort();
  fake_clock.Set(written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vell::fuzz::Workspace workspace("cache");
  static vell::FakeMessageBoxes boxes;
  static vell::EventLoop loop;
  static vell::Context ctx(fake_clock, workspace.dir, boxes, loop);
  const std::string path = ctx.Path(vell::kCacheFileName);
  workspace.Write(vell::kCacheFileName, data, size);
  StopClockAtWrite(path);

  vell::clDNSCache& cache = ctx.Cache;
  cache.ClearCache();
  cache.LoadCache();
  CheckSorted(cache);
  cache.SaveCache(false);
  cache.SaveCache(true);
  cache.ClearCache();
  StopClockAtWrite(path);
  cache.LoadCache();
  CheckSorted(cache);
  cache.Ask(".", 1, vell::Recursion::kNotDesired, vell::LookupKind::kFull);
  return 0;
}
