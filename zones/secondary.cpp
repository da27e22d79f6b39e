// Secondary zones: expiry, storing a transfer, and the remaining life kept
// across runs in zonettl.dat.
#include <cmath>
#include <string>
#include <vector>

#include "core/ip.h"
#include "core/platform/atomic_file.h"
#include "core/text.h"
#include "dns/rdata_text.h"
#include "dns/record_data.h"
#include "dns/tables.h"
#include "zones/auth_data.h"
#include "zones/zone_files.h"

namespace vell {

namespace {

constexpr char kCrLf[] = "\r\n";

// The comment lines the loader reads the zone's settings from.
std::string HeaderLines(const clZone& zone) {
  std::string text = "; PrimaryIP " + zone.PrimaryIP + kCrLf;
  if (!zone.Slaves.empty()) {
    text += "; Notify";
    for (const std::string& slave : zone.Slaves) text += " " + slave;
    text += kCrLf;
  }
  if (!zone.Secure) text += std::string("; NotSecure") + kCrLf;
  return text;
}

// A name inside the zone's file: empty for the apex, the first label alone
// when the rest is the zone, otherwise in full.
std::string OwnerField(const std::string& name, const std::string& zone) {
  if (name == zone) return "";
  const size_t dot = name.find('.');
  if (dot != std::string::npos && name.substr(dot + 1) == zone) return name.substr(0, dot);
  return name;
}

// A target is written in full when it is the apex itself: an empty word
// would read as nothing.
std::string TargetField(const std::string& name, const std::string& zone) {
  return name == zone ? name : OwnerField(name, zone);
}

// The type and data of one record line; empty for a type without a form.
std::string TypePart(const clDNSRecord& rec, const std::string& zone) {
  switch (rec.RecType) {
    case kTypeA:
      return "A " + DataToIP(rec.Data);
    case kTypeNS:
    case kTypeCNAME:
    case kTypePTR:
      return TypeN(rec.RecType) + " " + TargetField(rec.Data, zone);
    case kTypeMX: {
      const MxData mx = ReadMxData(rec.Data);
      return "MX" + NumText(mx.preference) + " " + TargetField(mx.exchange, zone);
    }
    case kTypeTXT:
      return "TXT " + TXTtDisk(rec.Data);
    case kTypeSRV: {
      const SrvData srv = ReadSrvData(rec.Data);
      return "SRV" + NumText(srv.priority) + NumText(srv.weight) + NumText(srv.port) + " " +
             TargetField(srv.target, zone);
    }
    default:
      return OpaqueText(rec.RecType, rec.Data);
  }
}

std::string SoaLine(const clDNSRecord& soa) {
  const SoaData d = ReadSoaData(soa.Data);
  return "@" + NumText(soa.mTTL) + " SOA " + d.primary + " " + d.mailbox + NumText(d.serial) +
         NumText(d.refresh) + NumText(d.retry) + NumText(d.expire) + NumText(d.minimum) + kCrLf;
}

}  // namespace

void clDNSAuthData::ZonePrimIP(const std::string& ZName, std::string& ip) const {
  const size_t i = ZoneFind(ZName);
  ip = i == kNotFound ? "" : zones_[i]->PrimaryIP;
}

void clDNSAuthData::ZoneExpired(const std::string& ZName, bool& expired) const {
  const size_t i = ZoneFind(ZName);
  expired = i != kNotFound && zones_[i]->Records.size() == 0;
}

void clDNSAuthData::ExpireZone(clZone& zone) {
  Trap(env_.errors, "clDNSAuthData ExpireZone", [&] {
    env_.log.AddLine(0, "Zone has expired: " + zone.Name);
    WriteFileAtomically(env_.Path("data") + "/" + ZoneFileName(zone.Name), HeaderLines(zone));
    zone.ClearRecs();
  });
}

bool clDNSAuthData::GotZTransfer(const std::string& ZName, const std::vector<RecordPtr>& Records) {
  const size_t i = ZoneFind(ZName);
  if (i == kNotFound || Records.empty()) return false;
  return Trap(env_.errors, "clDNSAuthData GotZTransfer", [&] {
    clZone& zone = *zones_[i];
    zone.ClearRecs();
    const clDNSRecord& soa = *Records.front();
    std::string text = HeaderLines(zone) + SoaLine(soa);
    for (size_t r = 1; r < Records.size(); ++r) {
      const clDNSRecord& rec = *Records[r];
      const std::string part = TypePart(rec, ZName);
      if (part.empty()) continue;
      text += OwnerField(rec.Name, ZName) + NumText(rec.mTTL) + " " + part + kCrLf;
    }
    // The file first: when it cannot be written the old copy stays whole.
    WriteFileAtomically(env_.Path("data") + "/" + ZoneFileName(ZName), text);
    const SoaData d = ReadSoaData(soa.Data);
    zone.SOASerial = d.serial;
    zone.SOARefresh = d.refresh;
    zone.SOARetry = d.retry;
    zone.SOAExpire = d.expire;
    zone.Expires = env_.Now() + Seconds(zone.SOAExpire);
    zone.NextRefresh = env_.Now() + Seconds(zone.SOARefresh);
    zone.AddRecs(Records);
  });
}

void clDNSAuthData::SaveZoneTTL() {
  if (zones_.size() == 0) return;
  Trap(env_.errors, "clDNSAuthData SaveZoneTTL", [&] {
    std::string text;
    for (size_t i = 0; i < zones_.size(); ++i) {
      const clZone& zone = *zones_[i];
      if (zone.PrimaryIP.empty()) continue;
      // Rounded to the millisecond: day fractions would otherwise leave
      // noise digits such as 7200.00000020955.
      const double left = std::round((zone.Expires - env_.Now()) * kSecondsPerDay * 1000) / 1000;
      text += zone.Name + " " + NumText(left) + kCrLf;
    }
    WriteFileAtomically(env_.Path("data") + "/zonettl.dat", text);
  });
}

}  // namespace vell
