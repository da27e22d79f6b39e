#include "dns/record_lines.h"

#include <algorithm>
#include <cmath>

#include "core/ip.h"
#include "core/text.h"
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

void TabsToBlanks(std::string& line) { std::replace(line.begin(), line.end(), '\t', ' '); }

std::string CutAt(const std::string& line, char c) { return line.substr(0, line.find(c)); }

// Appends the lines after one ending in "(" up to the one holding ")".
bool JoinContinuation(std::istream& in, std::string& line) {
  line.pop_back();
  std::string next;
  for (;;) {
    if (!ReadRawLine(in, next)) return false;
    TabsToBlanks(next);
    next = Trim(CutAt(Trim(next), ';'));
    const size_t close = next.find(')');
    line += ' ';
    line += close == std::string::npos ? next : Trim(next.substr(0, close));
    if (close != std::string::npos) return true;
  }
}

// A name below the zone. A record file has no origin: its names stay as
// written.
std::string TakeZoneName(std::string& rest, const LineRules& rules) {
  return QualifyName(rules.origin.value_or(std::string()), NextToken(rest));
}

// In a zone file, SOA names lie below the owner of their line.
std::string TakeSoaName(std::string& rest, const LineRules& rules, const std::string& owner) {
  return QualifyName(rules.origin ? owner : std::string(), NextToken(rest));
}

// Takes the owner off the front of line into state; false when the line
// names none and no earlier line did either.
bool TakeOwner(std::string& line, const LineRules& rules, LineState& state) {
  if (rules.origin && line[0] == '@') {
    state.owner = *rules.origin;
    line = line.size() > 2 ? Trim(line.substr(2)) : "";
    return true;
  }
  if (line[0] != ' ') {
    state.owner = TakeZoneName(line, rules);
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

// Class and TTL in either order; leaves the type in word. The TTL is the
// line's own, else the default of a zone file; none in a record file.
bool TakeClassAndTTL(std::string& line, const LineRules& rules, const LineState& state, std::string& word,
                     std::optional<int32_t>& ttl) {
  word = UpperCase(NextToken(line));
  if (!PassClass(word, line)) return false;
  if (IsPlainNumber(word)) {
    ttl = CheckedInt32(LeadingNumber(word));
    word = UpperCase(NextToken(line));
  } else if (rules.default_ttl) {
    ttl = state.default_ttl > 0 ? state.default_ttl : kTTLWithoutDefault;
  }
  return PassClass(word, line);
}

int32_t TakeNumber(std::string& rest) { return CheckedInt32(LeadingNumber(NextToken(rest))); }

// MX and SRV numbers: sign and fraction dropped.
int32_t TakeMagnitude(std::string& rest) {
  return CheckedInt32(std::trunc(std::fabs(LeadingNumber(NextToken(rest)))));
}

// The line may stop before the refresh, retry, expire or minimum, and then
// adds no record; the values read before stay known to the zone.
bool ReadSoa(std::string& rest, const LineRules& rules, LineState& state, ErrorSink& sink,
             std::string& data) {
  SoaData soa;
  soa.primary = TakeSoaName(rest, rules, state.owner);
  soa.mailbox = TakeSoaName(rest, rules, state.owner);
  soa.serial = TakeNumber(rest);
  state.zone.serial = soa.serial;
  const std::pair<int32_t*, std::optional<int32_t>*> later[] = {{&soa.refresh, &state.zone.refresh},
                                                                {&soa.retry, &state.zone.retry},
                                                                {&soa.expire, &state.zone.expire}};
  for (const auto& [field, fact] : later) {
    if (rest.empty()) return false;
    *field = TakeNumber(rest);
    *fact = *field;
  }
  if (rest.empty()) return false;
  soa.minimum = TakeNumber(rest);
  state.default_ttl = soa.minimum;
  data = MakeSoaData(sink, soa);
  return true;
}

// The parts of a record a line names; the TTL is taken apart.
struct RecordFields {
  std::string Name;
  int16_t RecType = 0;
  std::string Data;
};

// Type and data from the rest of the line; false when the type is not
// stored or the data makes no record.
bool ReadTypeAndData(const std::string& type, std::string& rest, const LineRules& rules, LineState& state,
                     ErrorSink& sink, RecordFields& rec) {
  if (type == "A") {
    rec.RecType = kTypeA;
    rec.Data = IPToData(rest);
    return rec.Data != std::string(4, '\0');
  }
  if (type == "NS" || type == "CNAME" || type == "PTR") {
    rec.RecType = type == "NS" ? kTypeNS : type == "CNAME" ? kTypeCNAME : kTypePTR;
    rec.Data = TakeZoneName(rest, rules);
    return true;
  }
  if (type == "DFCN" && rules.origin) {  // a CNAME for every name directly below the owner
    rec.Name = "*." + rec.Name;
    rec.RecType = kTypeCNAME;
    rec.Data = TakeZoneName(rest, rules);
    return true;
  }
  if (type == "SOA") {
    rec.RecType = kTypeSOA;
    return ReadSoa(rest, rules, state, sink, rec.Data);
  }
  if (type == "MX") {
    rec.RecType = kTypeMX;
    const int32_t preference = TakeMagnitude(rest);
    rec.Data = MakeInt(preference) + TakeZoneName(rest, rules);
    return true;
  }
  if (type == "SRV") {
    rec.RecType = kTypeSRV;
    const int32_t priority = TakeMagnitude(rest);
    const int32_t weight = TakeMagnitude(rest);
    const int32_t port = TakeMagnitude(rest);
    rec.Data = MakeInt(priority) + MakeInt(weight) + MakeInt(port) + TakeZoneName(rest, rules);
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

bool ReadRawLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool CleanLine(std::istream& in, const std::string& raw, std::string& line) {
  line = CutAt(raw, ';');
  TabsToBlanks(line);
  line.erase(line.find_last_not_of(' ') + 1);
  return line.empty() || line.back() != '(' || JoinContinuation(in, line);
}

RecordPtr ParseRecordLine(std::string line, const LineRules& rules, LineState& state, const Clock& clock,
                          ErrorSink& sink) {
  if (!TakeOwner(line, rules, state)) return nullptr;
  if (state.owner.starts_with('*')) state.zone.wildcard_owner = true;
  std::string type;
  std::optional<int32_t> ttl;
  if (!TakeClassAndTTL(line, rules, state, type, ttl)) return nullptr;
  if (ttl) ttl = CheckedInt32(*ttl - rules.ttl_age);
  RecordFields rec;
  rec.Name = state.owner;
  if (!ReadTypeAndData(type, line, rules, state, sink, rec)) return nullptr;
  if (!ttl)
    return MakeRecordWithoutTTL(rules.lifetime, std::move(rec.Name), rec.RecType, std::move(rec.Data));
  return MakeRecord(clock, rules.lifetime, std::move(rec.Name), rec.RecType, std::move(rec.Data), *ttl);
}

}  // namespace vell
