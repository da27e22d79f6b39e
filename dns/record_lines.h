// Resource records as text lines: the form zone files share with the
// cache's record files (root hints, saved cache). First the line rules
// (comments, tabs, trailing blanks, "(" continuations), then one line as one
// record: owner, class and TTL in either order, type and data.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>

#include "core/clock.h"
#include "core/error_report.h"
#include "dns/record.h"

namespace vell {

// The next line without its line end; false at the end of the file.
bool ReadRawLine(std::istream& in, std::string& line);

// raw with its comment cut off, tabs as blanks and trailing blanks removed
// (leading blanks stay: they mean "same owner"). A line that opens more
// parentheses than it closes is joined with the following lines until all
// are closed; the parentheses then read as blanks. False when the file ends
// before that; the pending line is then dropped.
bool CleanLine(std::istream& in, const std::string& raw, std::string& line);

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
};

// The record a cleaned, non-empty line describes, or nullptr when it
// describes none. A directive line ($TTL, $ORIGIN; others are skipped)
// changes state instead. A TTL or number that does not fit 32 bits throws.
RecordPtr ParseRecordLine(std::string line, const LineRules& rules, LineState& state, const Clock& clock,
                          ErrorSink& sink);

}  // namespace vell
