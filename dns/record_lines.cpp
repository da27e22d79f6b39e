#include "dns/record_lines.h"

#include <algorithm>
#include <cmath>

#include "core/ip.h"
#include "core/text.h"
#include "dns/names.h"
#include "dns/rdata_text.h"
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

// Calls mark(i) for each parenthesis at position i outside quoted text.
template <class Mark>
void ForGroupMarks(std::string_view text, Mark mark) {
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && (text[i] == '(' || text[i] == ')')) {
      mark(i);
    }
  }
}

// Parentheses opened, less those closed.
int OpenGroups(std::string_view text) {
  int open = 0;
  ForGroupMarks(text, [&](size_t i) { open += text[i] == '(' ? 1 : -1; });
  return open;
}

// Parentheses only group lines (RFC 1035 section 5.1): they read as blanks.
void BlankGroupMarks(std::string& line) {
  ForGroupMarks(line, [&](size_t i) { line[i] = ' '; });
}

// Tells a listening checker what the reader does with the current line.
void Note(const LineRules& rules, const LineState& state, const std::string& effect) {
  if (rules.note) rules.note(state.line_number, state.text, effect);
}

std::string Quoted(const std::string& word) { return "\"" + word + "\""; }

std::string Uncommented(const std::string& raw) {
  std::string line = CutAt(raw, ';');
  TabsToBlanks(line);
  return line;
}

// A name below the zone. A record file has no origin: its names stay as
// written.
std::string TakeZoneName(std::string& rest, const LineState& state) {
  return QualifyName(state.origin.value_or(std::string()), NextToken(rest));
}

// In a zone file, SOA names lie below the owner of their line.
std::string TakeSoaName(std::string& rest, const LineState& state) {
  return QualifyName(state.origin ? state.owner : std::string(), NextToken(rest));
}

// Takes the owner off the front of line into state; false when the line
// names none and no earlier line did either.
bool TakeOwner(std::string& line, LineState& state) {
  if (state.origin && line[0] == '@') {
    state.owner = *state.origin;
    line = line.size() > 2 ? Trim(line.substr(2)) : "";
    return true;
  }
  if (line[0] != ' ') {
    state.owner = TakeZoneName(line, state);
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

double UnitSeconds(char unit) {
  switch (unit) {
    case 's':
    case 'S':
      return 1;
    case 'm':
    case 'M':
      return 60;
    case 'h':
    case 'H':
      return 3600;
    case 'd':
    case 'D':
      return 86400;
    case 'w':
    case 'W':
      return 604800;
    default:
      return 0;
  }
}

// Seconds of a TTL word: a plain number, or BIND's units ("1h30m", "2w");
// nothing for any other word.
std::optional<double> TtlSeconds(const std::string& word) {
  if (IsPlainNumber(word)) return LeadingNumber(word);
  if (word.empty()) return std::nullopt;
  double total = 0;
  for (size_t i = 0; i < word.size();) {
    const size_t unit = word.find_first_not_of("0123456789", i);
    if (unit == i || unit == std::string::npos || unit - i > kMaxPlainNumberDigits) return std::nullopt;
    const double seconds = UnitSeconds(word[unit]);
    if (seconds == 0) return std::nullopt;
    total += LeadingNumber(word.substr(i, unit - i)) * seconds;
    i = unit + 1;
  }
  return total;
}

// The TTL a record without its own takes: $TTL, else the last SOA minimum.
int32_t DefaultTtl(const LineState& state) {
  if (state.ttl_directive) return *state.ttl_directive;
  return state.default_ttl > 0 ? state.default_ttl : kTTLWithoutDefault;
}

// Class and TTL in either order; leaves the type in word. The TTL is the
// line's own, else the default of a zone file; none in a record file.
bool TakeClassAndTTL(std::string& line, const LineRules& rules, const LineState& state, std::string& word,
                     std::optional<int32_t>& ttl) {
  word = UpperCase(NextToken(line));
  if (!PassClass(word, line)) return false;
  if (const auto seconds = TtlSeconds(word)) {
    ttl = CheckedInt32(*seconds);
    word = UpperCase(NextToken(line));
  } else if (rules.default_ttl) {
    ttl = DefaultTtl(state);
  }
  return PassClass(word, line);
}

// How a number field reads its word.
enum class NumberForm {
  kPlain,      // the leading number: "12abc" is 12, "abc" is 0
  kTimer,      // SOA timers may be written with units, like TTLs
  kMagnitude,  // MX and SRV numbers: sign and fraction dropped; 16 bits kept
};

int32_t TakeNumber(std::string& rest, NumberForm form, const LineRules& rules, const LineState& state) {
  const std::string word = NextToken(rest);
  const std::optional<double> timer = form == NumberForm::kTimer ? TtlSeconds(word) : std::nullopt;
  double value = timer.value_or(LeadingNumber(word));
  if (form == NumberForm::kMagnitude) value = std::trunc(std::fabs(value));
  const int32_t number = CheckedInt32(value);
  const int32_t served = form == NumberForm::kMagnitude ? number & 0xFFFF : number;
  if (rules.note && !timer && word != std::to_string(served))
    Note(rules, state, Quoted(word) + " reads as " + std::to_string(served));
  return number;
}

// The line may stop before the refresh, retry, expire or minimum, and then
// adds no record; the values read before stay known to the zone.
bool ReadSoa(std::string& rest, const LineRules& rules, LineState& state, ErrorSink& sink,
             std::string& data) {
  SoaData soa;
  soa.primary = TakeSoaName(rest, state);
  soa.mailbox = TakeSoaName(rest, state);
  soa.serial = TakeNumber(rest, NumberForm::kPlain, rules, state);
  state.zone.serial = soa.serial;
  const std::pair<int32_t*, std::optional<int32_t>*> later[] = {{&soa.refresh, &state.zone.refresh},
                                                                {&soa.retry, &state.zone.retry},
                                                                {&soa.expire, &state.zone.expire}};
  for (const auto& [field, fact] : later) {
    if (rest.empty()) return false;
    *field = TakeNumber(rest, NumberForm::kTimer, rules, state);
    *fact = *field;
  }
  if (rest.empty()) return false;
  soa.minimum = TakeNumber(rest, NumberForm::kTimer, rules, state);
  state.default_ttl = soa.minimum;
  data = MakeSoaData(sink, soa);
  return true;
}

// The parts of a record a line names; the TTL is taken apart.
struct RecordFields {
  std::string Name;
  int32_t RecType = 0;
  std::string Data;
};

// Type and data from the rest of the line; false when the type is not
// stored or the data makes no record.
bool ReadTypeAndData(const std::string& type, std::string& rest, const LineRules& rules, LineState& state,
                     ErrorSink& sink, RecordFields& rec) {
  if (type == "A") {
    rec.RecType = kTypeA;
    rec.Data = IPToData(rest);
    if (rec.Data == std::string(4, '\0')) {
      Note(rules, state, "address " + Quoted(rest) + " reads as 0.0.0.0: line skipped");
      return false;
    }
    // Only a listening checker pays for the address read back as text.
    if (rules.note && DataToIP(rec.Data) != rest)
      Note(rules, state, "address " + Quoted(rest) + " reads as " + DataToIP(rec.Data));
    return true;
  }
  if (type == "NS" || type == "CNAME" || type == "PTR") {
    rec.RecType = type == "NS" ? kTypeNS : type == "CNAME" ? kTypeCNAME : kTypePTR;
    rec.Data = TakeZoneName(rest, state);
    return true;
  }
  if (type == "DFCN" && state.origin) {  // a CNAME for every name directly below the owner
    rec.Name = "*." + rec.Name;
    rec.RecType = kTypeCNAME;
    rec.Data = TakeZoneName(rest, state);
    return true;
  }
  if (type == "SOA") {
    rec.RecType = kTypeSOA;
    if (ReadSoa(rest, rules, state, sink, rec.Data)) return true;
    Note(rules, state, "SOA stops before its minimum: no SOA record");
    return false;
  }
  if (type == "MX") {
    rec.RecType = kTypeMX;
    const int32_t preference = TakeNumber(rest, NumberForm::kMagnitude, rules, state);
    rec.Data = MakeInt(preference) + TakeZoneName(rest, state);
    return true;
  }
  if (type == "SRV") {
    rec.RecType = kTypeSRV;
    const int32_t priority = TakeNumber(rest, NumberForm::kMagnitude, rules, state);
    const int32_t weight = TakeNumber(rest, NumberForm::kMagnitude, rules, state);
    const int32_t port = TakeNumber(rest, NumberForm::kMagnitude, rules, state);
    rec.Data = MakeInt(priority) + MakeInt(weight) + MakeInt(port) + TakeZoneName(rest, state);
    return true;
  }
  if (type == "TXT") {
    rec.RecType = kTypeTXT;
    rec.Data = TXTfDisk(rest);
    return true;
  }
  rec.RecType = TypeFromText(type);
  if (rec.RecType == 0) {
    Note(rules, state, "unknown type " + Quoted(type) + ": line skipped");
    return false;
  }
  if (!IsStoredType(rec.RecType) || HoldsNames(rec.RecType)) {
    Note(rules, state, "type " + type + " cannot be written here: line skipped");
    return false;
  }
  auto data = OpaqueDataFromText(sink, rec.RecType, rest, state.origin.value_or(std::string()));
  if (!data) {
    Note(rules, state, "no valid " + type + " data: line skipped");
    return false;
  }
  rec.Data = std::move(*data);
  return true;
}

// $TTL and $ORIGIN (in a zone file) change how later lines read; other
// directives ($INCLUDE, $GENERATE) are skipped.
void ReadDirective(std::string line, const LineRules& rules, LineState& state) {
  const std::string directive = UpperCase(NextToken(line));
  const std::string value = NextToken(line);
  if (directive == "$TTL") {
    if (const auto seconds = TtlSeconds(value)) {
      state.ttl_directive = CheckedInt32(*seconds);
    } else {
      Note(rules, state, "no TTL in " + Quoted(value) + ": line skipped");
    }
  } else if (directive == "$ORIGIN" && state.origin && !value.empty()) {
    state.origin = QualifyName(*state.origin, value);
  } else {
    Note(rules, state, "directive not supported: line skipped");
  }
}

// The line as read (see ReadRecordLines); counts the lines it joins to it.
// False when the file ends before its parentheses close.
bool CleanLine(std::istream& in, const std::string& raw, std::string& line, int& joined) {
  line = Uncommented(raw);
  std::string next;
  for (int open = OpenGroups(line); open > 0; open += OpenGroups(next)) {
    if (!ReadRawLine(in, next)) return false;
    ++joined;
    next = Uncommented(next);
    line += ' ';
    line += next;
  }
  BlankGroupMarks(line);
  line.erase(line.find_last_not_of(' ') + 1);
  return true;
}

// The record a cleaned, non-empty line describes, or nullptr when it
// describes none.
RecordPtr ParseRecordLine(std::string line, const LineRules& rules, LineState& state, const Clock& clock,
                          ErrorSink& sink) {
  if (rules.origin && !state.origin) state.origin = rules.origin;
  if (line[0] == '$') {
    ReadDirective(std::move(line), rules, state);
    return nullptr;
  }
  if (!TakeOwner(line, state)) {
    Note(rules, state, "no owner named on this line or before it: line skipped");
    return nullptr;
  }
  if (state.owner.starts_with('*')) state.zone.wildcard_owner = true;
  std::string type;
  std::optional<int32_t> ttl;
  if (!TakeClassAndTTL(line, rules, state, type, ttl)) {
    Note(rules, state,
         type == "CH" ? "class CH is not served: line skipped" : "no type and data: line skipped");
    return nullptr;
  }
  if (ttl) ttl = CheckedInt32(*ttl - rules.ttl_age);
  RecordFields rec;
  rec.Name = state.owner;
  if (!ReadTypeAndData(type, line, rules, state, sink, rec)) return nullptr;
  if (!ttl)
    return MakeRecordWithoutTTL(rules.lifetime, std::move(rec.Name), rec.RecType, std::move(rec.Data));
  return MakeRecord(clock, rules.lifetime, std::move(rec.Name), rec.RecType, std::move(rec.Data), *ttl);
}

}  // namespace

bool ReadRawLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void ReadRecordLines(std::istream& in, const LineRules& rules, LineState& state, const Clock& clock,
                     ErrorSink& sink, std::vector<RecordPtr>& out,
                     const std::function<void(const std::string&)>& raw_line) {
  std::string raw;
  std::string line;
  int next_line = 1;
  while (ReadRawLine(in, raw)) {
    if (raw_line) raw_line(raw);
    state.line_number = next_line++;
    if (!CleanLine(in, raw, line, next_line)) {
      state.text = Trim(Uncommented(raw));
      Note(rules, state, "\"(\" is never closed: the rest of the file is not read");
      return;
    }
    if (line.empty()) continue;
    if (rules.note) state.text = Trim(line);
    try {
      if (RecordPtr rec = ParseRecordLine(std::move(line), rules, state, clock, sink))
        out.push_back(std::move(rec));
    } catch (...) {
      Note(rules, state, "a number out of range: reading stops here");
      throw;
    }
  }
}

}  // namespace vell
