// Writing the cache out: the cache file (learnt records, reloaded at the
// next start) and the snapshot (everything, with the live leases, for the
// operator to read).
#include <cmath>

#include "cache/cache.h"
#include "core/env.h"
#include "core/ip.h"
#include "core/platform/atomic_file.h"
#include "core/text.h"
#include "dns/rdata_text.h"
#include "dns/record_data.h"
#include "dns/tables.h"

namespace vell {

namespace {

constexpr char kSnapshotFile[] = "snapshot.dat";
constexpr char kCacheHeader[] = "; Vellion - Cache";
constexpr char kLineEnd[] = "\r\n";
constexpr double kMillisPerSecond = 1000;

std::string SoaText(const std::string& data) {
  const SoaData soa = ReadSoaData(data);
  return "SOA " + soa.primary + " " + soa.mailbox + NumText(soa.serial) + NumText(soa.refresh) +
         NumText(soa.retry) + NumText(soa.expire) + NumText(soa.minimum);
}

std::string SrvText(const std::string& data) {
  const SrvData srv = ReadSrvData(data);
  return "SRV" + NumText(srv.priority) + NumText(srv.weight) + NumText(srv.port) + " " + srv.target;
}

// The type and data as the record file reads them back; empty for records
// the file does not hold (negative entries).
std::string TypeAndData(const clDNSRecord& record) {
  switch (record.RecType) {
    case kTypeA:
      return "A " + DataToIP(record.Data);
    case kTypeNS:
    case kTypeCNAME:
    case kTypePTR:
      return TypeN(record.RecType) + " " + record.Data;
    case kTypeSOA:
      return SoaText(record.Data);
    case kTypeMX: {
      const MxData mx = ReadMxData(record.Data);
      return "MX" + NumText(mx.preference) + " " + mx.exchange;
    }
    case kTypeTXT:
      return "TXT " + TXTtDisk(record.Data);
    case kTypeSRV:
      return SrvText(record.Data);
    default:
      return IsStoredType(record.RecType) ? OpaqueText(record.RecType, record.Data) : std::string();
  }
}

// To the millisecond: a day count holds time only to some microseconds, and
// the digits beyond would be noise.
double SecondsLeft(DateTime until, DateTime now) {
  return std::round((until - now) * kSecondsPerDay * kMillisPerSecond) / kMillisPerSecond;
}

// Two lines per live lease: its name and its reverse name, with the
// seconds it has left.
std::string LeaseLines(const LeaseTable& leases, DateTime now) {
  std::string out;
  for (const clLease& lease : leases) {
    if (lease.Expires <= now) continue;
    const std::string seconds = NumText(SecondsLeft(lease.Expires, now));
    out += lease.ClientName + seconds + " A " + lease.IPaddr + kLineEnd;
    out += IPToArpa(lease.IPaddr) + seconds + " PTR " + lease.ClientName + kLineEnd;
  }
  return out;
}

}  // namespace

void clDNSCache::SaveCache(bool SnapShot) {
  Trap(env_.errors, "clDNSCache SaveCache", [&] {
    std::string out = SnapShot ? "" : std::string(kCacheHeader) + kLineEnd;
    // The owner is written only when it changes from the line before, so
    // records of one name read back as one owner line and its followers.
    std::string previous_owner;
    for (const RecordPtr& record : records_.items()) {
      const int32_t ttl = record->TTL(env_.clock);
      if (ttl < 0 || (record->Permanent && !SnapShot)) continue;
      const std::string text = TypeAndData(*record);
      if (text.empty()) continue;
      out += (record->Name == previous_owner ? "" : record->Name) + NumText(ttl) + " " + text + kLineEnd;
      previous_owner = record->Name;
    }
    if (SnapShot) out += LeaseLines(leases_, env_.Now());
    WriteFileAtomically(env_.Path(SnapShot ? kSnapshotFile : kCacheFileName), out);
  });
}

}  // namespace vell
