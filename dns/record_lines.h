// Resource records as text lines: the form zone files share with the
// cache's record files (root hints, saved cache). First the line rules
// (comments, tabs, trailing blanks, "(" continuations), then one line as one
// record: owner, class and TTL in either order, type and data.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/error_report.h"
#include "dns/record.h"

namespace vell {

// The next line without its line end; false at the end of the file.
bool ReadRawLine(std::istream& in, std::string& line);

// What the reader does with a line it does not take as written: the number
// of the line where the record starts, the line as cleaned, and the effect.
// Checkers listen; the server does not.
using LineNote = std::function<void(int line, const std::string& text, const std::string& effect)>;

// Where record files part from zone files; a zone file takes the defaults
// and its zone as origin.
struct LineRules {
  // A zone file's names without a final dot lie below the origin (SOA
  // names below their owner), "@" stands for it, and DFCN is known. A
  // record file has none: every name is absolute as written.
  std::optional<std::string> origin;
  // A record without TTL takes the last SOA minimum, else 86400. Without,
  // it gets no expiry moment and counts as expired at once.
  bool default_ttl = true;
  Lifetime lifetime = Lifetime::kPermanent;
  // Seconds taken off every TTL: the age of a saved cache.
  double ttl_age = 0;
  LineNote note;
};

// What the lines read so far tell their zone. Each SOA value is kept as soon
// as it is read, even when its line stops before the record is complete.
struct ZoneFacts {
  std::optional<int32_t> serial;
  std::optional<int32_t> refresh;
  std::optional<int32_t> retry;
  std::optional<int32_t> expire;
  bool wildcard_owner = false;  // an owner starting with "*" was named
};

// What one line leaves to the next.
struct LineState {
  std::string owner;                     // the owner most recently named; empty until one is
  int32_t default_ttl = 0;               // the minimum of the last SOA line
  std::optional<int32_t> ttl_directive;  // the last $TTL: it outranks the SOA minimum
  std::optional<std::string> origin;     // the last $ORIGIN in a zone file
  ZoneFacts zone;
  int line_number = 0;  // where the current record starts
  std::string text;     // the current record's cleaned line, kept only for a note
};

// Reads the records of a file into out, in file order. Comments are cut off,
// tabs read as blanks and trailing blanks are dropped (leading blanks stay:
// they mean "same owner"). A line that opens more parentheses than it closes
// is joined with the following lines until all are closed; the parentheses
// then read as blanks; when the file ends before that, the pending lines are
// dropped. A directive line ($TTL, $ORIGIN; others are skipped) changes how
// later lines read. raw_line sees every line as written, before it is read.
// A TTL or number that does not fit 32 bits throws; out keeps what was read.
void ReadRecordLines(std::istream& in, const LineRules& rules, LineState& state, const Clock& clock,
                     ErrorSink& sink, std::vector<RecordPtr>& out,
                     const std::function<void(const std::string&)>& raw_line = {});

}  // namespace vell
