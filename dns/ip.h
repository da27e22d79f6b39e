// IPv4 address conversions between dotted text and four-octet data.
#pragma once

#include <string>

namespace vell {

// Four octets, most significant first. Each dot-separated part is read by the
// leading-number rule; its absolute value is taken, above 255 gives 0,
// missing parts give 0 and parts beyond the fourth are ignored.
std::string IPToData(const std::string& text);
// The first four octets (missing ones as 0) in decimal joined by ".".
std::string DataToIP(const std::string& data);
// Canonical dotted text of any text; junk gives "0.0.0.0".
std::string CleanIP(const std::string& text);

}  // namespace vell
