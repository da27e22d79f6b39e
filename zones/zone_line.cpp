#include "zones/zone_line.h"

#include <cmath>

#include "core/text.h"
#include "core/ip.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/wire.h"

namespace vell {

namespace {

// The TTL of a record that names none while no SOA minimum is known.
constexpr int32_t kTTLWithoutDefault = 86400;
// A longer run of digits does not read back as itself once held as a
// floating-point number, so it is not taken for a TTL.
constexpr size_t kMaxPlainNumberDigits = 15;

// What names without a final dot are relative to: the zone, or nothing.
const std::string& Origin(const std::string& zone_or_owner, const LineRules& rules) {
  static const std::string kNone;
  return rules.zone_names ? zone_or_owner : kNone;
}

// Takes the owner off the front of line into state; false when the line
// names none and no earlier line did either.
bool TakeOwner(std::string& line, const clZone& zone, ZoneLineState& state, const LineRules& rules) {
  if (rules.zone_names && line[0] == '@') {
    state.owner = zone.Name;
    line = line.size() > 2 ? Trim(line.substr(2)) : "";
    return true;
  }
  if (line[0] != ' ') {
    state.owner = QualifyName(Origin(zone.Name, rules), NextToken(line));
    return true;
  }
  return !state.owner.empty();
}

// Drops a class "IN" from word; false for "CH" and when the line has nothing
// left for a type and its data.
bool PassClass(std::string& word, std::string& rest) {
  if (word == "CH") return false;
  if (word == "IN") word = UpperCase(NextToken(rest));
  return !word.empty() && !rest.empty();
}

// A word that is exactly the decimal text of its own value: "3600", not
// "03600" or "3600.0".
bool IsPlainNumber(const std::string& word) {
  if (word.empty() || word.size() > kMaxPlainNumberDigits) return false;
  if (word.size() > 1 && word[0] == '0') return false;
  return word.find_first_not_of("0123456789") == std::string::npos;
}

// Class and TTL in either order; leaves the type in word. has_ttl tells
// whether the line gave a TTL.
bool TakeClassAndTTL(std::string& line, std::string& word, const ZoneLineState& state, int32_t& ttl,
                     bool& has_ttl) {
  word = UpperCase(NextToken(line));
  if (!PassClass(word, line)) return false;
  ttl = state.default_ttl > 0 ? state.default_ttl : kTTLWithoutDefault;
  has_ttl = IsPlainNumber(word);
  if (has_ttl) {
    ttl = CheckedInt32(LeadingNumber(word));
    word = UpperCase(NextToken(line));
  }
  return PassClass(word, line);
}

int32_t TakeNumber(std::string& rest) { return CheckedInt32(LeadingNumber(NextToken(rest))); }

// MX and SRV numbers: sign and fraction dropped.
int32_t TakeMagnitude(std::string& rest) {
  return CheckedInt32(std::trunc(std::fabs(LeadingNumber(NextToken(rest)))));
}

// Each SOA value goes to the zone as soon as it is read; the line may stop
// before the refresh, retry, expire or minimum, and then adds no record.
bool ReadSoa(std::string& rest, clZone& zone, ZoneLineState& state, const LineRules& rules, ErrorSink& sink,
             std::string& data) {
  SoaData soa;
  soa.primary = QualifyName(Origin(state.owner, rules), NextToken(rest));
  soa.mailbox = QualifyName(Origin(state.owner, rules), NextToken(rest));
  soa.serial = TakeNumber(rest);
  zone.SOASerial = soa.serial;
  const std::pair<int32_t*, double*> later[] = {
      {&soa.refresh, &zone.SOARefresh}, {&soa.retry, &zone.SOARetry}, {&soa.expire, &zone.SOAExpire}};
  for (const auto& [field, zone_field] : later) {
    if (rest.empty()) return false;
    *field = TakeNumber(rest);
    *zone_field = *field;
  }
  if (rest.empty()) return false;
  soa.minimum = TakeNumber(rest);
  state.default_ttl = soa.minimum;
  data = MakeSoaData(sink, soa);
  return true;
}

// Type and data from the rest of the line; false when the type is not
// stored or the data makes no record.
bool ReadTypeAndData(const std::string& type, std::string& rest, clDNSRecord& rec, clZone& zone,
                     ZoneLineState& state, const LineRules& rules, ErrorSink& sink) {
  const auto target = [&] { return QualifyName(Origin(zone.Name, rules), NextToken(rest)); };
  if (type == "A") {
    rec.RecType = kTypeA;
    rec.Data = IPToData(rest);
    return rec.Data != std::string(4, '\0');
  }
  if (type == "NS" || type == "CNAME" || type == "PTR") {
    rec.RecType = type == "NS" ? kTypeNS : type == "CNAME" ? kTypeCNAME : kTypePTR;
    rec.Data = target();
    return true;
  }
  if (type == "DFCN" && rules.zone_names) {  // a CNAME for every name directly below the owner
    rec.Name = "*." + rec.Name;
    rec.RecType = kTypeCNAME;
    rec.Data = target();
    return true;
  }
  if (type == "SOA") {
    rec.RecType = kTypeSOA;
    return ReadSoa(rest, zone, state, rules, sink, rec.Data);
  }
  if (type == "MX") {
    rec.RecType = kTypeMX;
    const int32_t preference = TakeMagnitude(rest);
    rec.Data = MakeInt(preference) + target();
    return true;
  }
  if (type == "SRV") {
    rec.RecType = kTypeSRV;
    const int32_t priority = TakeMagnitude(rest);
    const int32_t weight = TakeMagnitude(rest);
    const int32_t port = TakeMagnitude(rest);
    rec.Data = MakeInt(priority) + MakeInt(weight) + MakeInt(port) + target();
    return true;
  }
  if (type == "TXT") {
    rec.RecType = kTypeTXT;
    rec.Data = TXTfDisk(rest);
    return true;
  }
  return false;
}

}  // namespace

RecordPtr ParseZoneLine(std::string line, clZone& zone, ZoneLineState& state, const Clock& clock,
                        ErrorSink& sink, const LineRules& rules) {
  if (!TakeOwner(line, zone, state, rules)) return nullptr;
  auto rec = std::make_shared<clDNSRecord>();
  rec->Permanent = rules.permanent;
  rec->Name = state.owner;
  if (!rec->Name.empty() && rec->Name[0] == '*') zone.HasWildcards = true;
  std::string type;
  int32_t ttl = 0;
  bool has_ttl = false;
  if (!TakeClassAndTTL(line, type, state, ttl, has_ttl)) return nullptr;
  if (has_ttl || rules.default_ttl) rec->SetTTL(clock, CheckedInt32(ttl - rules.ttl_age));
  if (!ReadTypeAndData(type, line, *rec, zone, state, rules, sink)) return nullptr;
  return rec;
}

}  // namespace vell
