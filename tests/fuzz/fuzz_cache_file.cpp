// Reads any bytes as a saved cache, writes the cache file and a snapshot
// from it and reads the cache file back: nothing may crash, and the records
// must stay sorted by owner.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/context.h"
#include "zones/zone_files.h"

namespace {

// Under $TMPDIR when set, so that runs can use a tmpfs.
struct Workspace {
  Workspace() {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vell-fuzz-cache-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) abort();
    dir = pattern;
  }
  ~Workspace() { std::filesystem::remove_all(dir); }
  std::string dir;
};

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
  static const Workspace workspace;
  static vell::FakeMessageBoxes boxes;
  static vell::Context ctx(fake_clock, workspace.dir, boxes);
  const std::string path = ctx.Path(vell::kCacheFileName);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
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
  cache.Ask(".", 1, false, false);
  return 0;
}
