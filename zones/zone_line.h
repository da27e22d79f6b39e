// One line of a zone file, already freed of comments and continuations,
// turned into a record.
#pragma once

#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/error_report.h"
#include "dns/record.h"
#include "zones/zone.h"

namespace vell {

// What one line leaves to the next.
struct ZoneLineState {
  std::string owner;        // the owner most recently named; empty until one is
  int32_t default_ttl = 0;  // the minimum of the last SOA line
};

// Where the cache's record files (root hints, saved cache) part from zone
// files; the zone loader keeps the defaults.
struct LineRules {
  // "@" is the zone, names without a final dot lie below the zone (SOA
  // names below the owner), and DFCN is known. Without, every name is
  // absolute as written.
  bool zone_names = true;
  // A record without TTL takes the last SOA minimum, else 86400. Without,
  // it gets no expiry moment and counts as expired at once.
  bool default_ttl = true;
  bool permanent = true;
  // Seconds taken off every TTL: the age of a saved cache.
  double ttl_age = 0;
};

// The record the line describes, or nullptr when it describes none. An SOA
// line also sets the zone's SOA fields; an owner starting with "*" sets
// HasWildcards. A TTL or number that does not fit 32 bits throws.
RecordPtr ParseZoneLine(std::string line, clZone& zone, ZoneLineState& state, const Clock& clock,
                        ErrorSink& sink, const LineRules& rules = {});

}  // namespace vell
