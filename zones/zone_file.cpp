// Loading one zone from its file in the data directory.
#include "zones/zone_file.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "core/env.h"
#include "core/text.h"
#include "dns/record_lines.h"
#include "zones/auth_data.h"
#include "zones/zone_files.h"

namespace vell {

namespace {

constexpr char kPrimaryIPComment[] = "; PRIMARYIP ";
constexpr char kNotifyComment[] = "; NOTIFY ";
constexpr char kNotSecureComment[] = "; NOTSECURE";

bool StartsWithNoCase(const std::string& line, const std::string& head) {
  return line.size() >= head.size() && UpperCase(line.substr(0, head.size())) == head;
}

// Settings carried in comments; the line is still read as a (comment) line.
void ApplyControlComment(const std::string& raw, clZone& zone) {
  if (StartsWithNoCase(raw, kPrimaryIPComment)) {
    zone.PrimaryIP = Trim(raw.substr(sizeof kPrimaryIPComment - 1));
  }
  if (StartsWithNoCase(raw, kNotifyComment)) {
    std::string rest = Trim(raw.substr(sizeof kNotifyComment - 1));
    while (!rest.empty()) zone.Slaves.push_back(NextToken(rest));
  }
  if (StartsWithNoCase(raw, kNotSecureComment)) zone.Secure = false;
}

// What the lines told the zone: the SOA values read, the wildcard owners.
void TakeFacts(const ZoneFacts& facts, clZone& zone) {
  if (facts.serial) zone.SOASerial = *facts.serial;
  if (facts.refresh) zone.SOARefresh = *facts.refresh;
  if (facts.retry) zone.SOARetry = *facts.retry;
  if (facts.expire) zone.SOAExpire = *facts.expire;
  zone.HasWildcards = facts.wildcard_owner;
}

}  // namespace

void ReadZoneFile(std::istream& in, clZone& zone, const Clock& clock, ErrorSink& sink, const LineNote& note) {
  LineRules rules;
  rules.origin = zone.Name;
  rules.note = note;
  LineState state;
  std::vector<RecordPtr> records;
  ReadRecordLines(in, rules, state, clock, sink, records,
                  [&zone](const std::string& raw) { ApplyControlComment(raw, zone); });
  TakeFacts(state.zone, zone);
  zone.AddRecs(std::move(records));
}

namespace {

ZonePtr NewZone(const std::string& name, double ttl, DateTime file_time, DateTime now) {
  auto zone = std::make_shared<clZone>();
  zone->Name = name;
  zone->NextRefresh = now;
  zone->Expires = now + Seconds(ttl);
  if (file_time != kNoFileTime) {
    zone->FILETIME = file_time;
    zone->Checked = true;
  }
  return zone;
}

}  // namespace

void clDNSAuthData::LoadZone(const std::string& ZoneName, double ZoneTTL, DateTime FILETIME) {
  const size_t loaded = ZoneFind(ZoneName);
  if (loaded != kNotFound) zones_.erase(loaded);
  ZonePtr zone = NewZone(ZoneName, ZoneTTL, FILETIME, env_.Now());
  if (FILETIME == kNoFileTime)
    env_.log.AddLine(0, "Loading Zone: " + (ZoneName == "." ? "<root>" : ZoneName));

  const std::string path = env_.Path("data") + "/" + ZoneFileName(ZoneName);
  std::error_code ec;
  std::ifstream in(path, std::ios::binary);
  if (!in || !std::filesystem::is_regular_file(path, ec)) {
    env_.log.AddLine(0, "** Error accessing file!");
    return;
  }
  if (Trap(env_.errors, "clDNSAuthData LoadZone",
           [&] { ReadZoneFile(in, *zone, env_.clock, env_.errors); })) {
    ZoneAdd(std::move(zone));
  }
}

}  // namespace vell
