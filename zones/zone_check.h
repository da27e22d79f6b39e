// What an administrator learns before the server loads a zone file: every
// line the loader skips, cuts or reads otherwise than written.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/line_finding.h"

namespace vell {

struct ZoneCheck {
  std::vector<LineFinding> findings;
  size_t records = 0;  // what the server would serve
  double serial = 0;
};

// Reads in as the server loads the zone named zone (trailing dot).
ZoneCheck CheckZoneFile(std::istream& in, const std::string& zone, const Clock& clock);

}  // namespace vell
