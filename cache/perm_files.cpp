// The permanent records: the root hints, the hosts file and the loopback
// names. They are never replaced by learnt data and survive ClearCache.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "cache/cache.h"
#include "core/env.h"
#include "core/ip.h"
#include "core/text.h"
#include "dns/record_data.h"
#include "dns/record_lines.h"

namespace vell {

namespace {

constexpr char kRootHints[] = "named.root";
constexpr char kLocalhost[] = "localhost.";
constexpr char kLoopback[] = "127.0.0.1";

RecordPtr PermanentRecord(const Env& ctx, const std::string& name, int32_t type, const std::string& data) {
  return MakeRecord(ctx.clock, Lifetime::kPermanent, name, type, data, ctx.settings.HOSTSTTL);
}

bool Holds(const SortedRecords& records, const std::string& name, int32_t type) {
  for (size_t i = records.Find(name); records.NameAt(i, name); ++i) {
    if (records[i]->RecType == type) return true;
  }
  return false;
}

// "address host alias...": the host's address, its reverse name, and a
// CNAME to it per alias. Lines are taken as they are: no duplicate check.
void AddHostLine(clDNSCache& cache, const Env& ctx, std::string line) {
  line = line.substr(0, line.find('#'));
  std::replace(line.begin(), line.end(), '\t', ' ');
  line = Trim(line);
  if (line.find(' ') == std::string::npos) return;
  const std::string address = NextToken(line);
  const std::string host = CleanName(NextToken(line)) + ".";
  cache.AddRec(PermanentRecord(ctx, host, kTypeA, IPToData(address)));
  cache.AddRec(PermanentRecord(ctx, IPToArpa(address), kTypePTR, host));
  while (!line.empty())
    cache.AddRec(PermanentRecord(ctx, CleanName(NextToken(line)) + ".", kTypeCNAME, host));
}

// A relative path in the setting is taken from the program directory.
std::string HostsPath(const Env& ctx) {
  const std::string& setting = ctx.settings.HOSTS;
  return setting[0] == '/' ? setting : ctx.Path(setting);
}

void LoadHostsFile(clDNSCache& cache, Env& ctx) {
  ctx.log.AddLine(0, "Loading hosts file \"" + ctx.settings.HOSTS + "\"...");
  const std::string path = HostsPath(ctx);
  std::error_code ec;
  std::ifstream in(path, std::ios::binary);
  if (!in || !std::filesystem::is_regular_file(path, ec)) {
    ctx.log.AddLine(0, "-> File not found!");
    return;
  }
  std::string line;
  while (ReadRawLine(in, line)) AddHostLine(cache, ctx, std::move(line));
}

}  // namespace

void clDNSCache::LoadPerm(bool root_zone_held) {
  Trap(env_.errors, "clDNSCache LoadPerm", [&] {
    records_.EraseIf([](const RecordPtr& record) { return record->Permanent; });
    // A server holding the root zone answers for the root servers itself.
    if (!root_zone_held) {
      env_.log.AddLine(0, "Loading Root DNS server records...");
      LoadFile(env_.Path(kRootHints), true);
    }
    if (!env_.settings.HOSTS.empty()) LoadHostsFile(*this, env_);
    // The loopback names, unless the hosts file gave them already.
    if (!Holds(records_, kLocalhost, kTypeA)) {
      AddRec(PermanentRecord(env_, kLocalhost, kTypeA, IPToData(kLoopback)));
    }
    const std::string loopback_name = IPToArpa(kLoopback);
    if (!Holds(records_, loopback_name, kTypePTR)) {
      AddRec(PermanentRecord(env_, loopback_name, kTypePTR, kLocalhost));
    }
  });
}

}  // namespace vell
