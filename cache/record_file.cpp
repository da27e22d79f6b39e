// Reading a record file: the root hints as permanent records, and the saved
// cache as learnt records that kept counting down while the server was
// stopped.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cache/cache.h"
#include "core/env.h"
#include "core/platform/file_time.h"
#include "dns/record_lines.h"

namespace vell {

namespace {

// Whole seconds since the file was last written; false when unknown.
bool FileAge(const std::string& path, DateTime now, double& age) {
  DateTime modified = 0;
  if (!FileModified(path, modified)) return false;
  age = std::round((now - modified) * kSecondsPerDay);
  return true;
}

}  // namespace

void clDNSCache::LoadCache() {
  LoadFile(env_.Path(kCacheFileName), false);
  Bound();
}

bool clDNSCache::LoadFile(const std::string& path, bool permanent) {
  LineRules rules;
  rules.default_ttl = false;
  rules.lifetime = permanent ? Lifetime::kPermanent : Lifetime::kLearnt;
  if (!permanent && !FileAge(path, env_.Now(), rules.ttl_age)) return false;
  std::error_code ec;
  std::ifstream in(path, std::ios::binary);
  if (!in || !std::filesystem::is_regular_file(path, ec)) return false;
  // Inserted together, in the order inserting them one by one would give,
  // without moving the whole list for every record of a large file. What
  // was read before a failure is kept.
  std::vector<RecordPtr> loaded;
  const bool read_all = Trap(env_.errors, "clDNSCache LoadFile", [&] {
    LineState state;
    ReadRecordLines(in, rules, state, env_.clock, env_.errors, loaded);
  });
  records_.InsertMany(std::move(loaded));
  return read_all;
}

}  // namespace vell
