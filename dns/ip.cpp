#include "dns/ip.h"

#include <cmath>

#include "core/text.h"

namespace vell {

namespace {

char OctetOf(const std::string& part) {
  const double v = std::nearbyint(std::fabs(LeadingNumber(part)));
  return static_cast<char>(v > 255 ? 0 : static_cast<int>(v));
}

}  // namespace

std::string IPToData(const std::string& text) {
  // The appended dots guarantee four parts even for "10.1" or "".
  const std::string padded = text + "....";
  std::string data;
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t dot = padded.find('.', start);
    data += OctetOf(padded.substr(start, dot - start));
    start = dot + 1;
  }
  return data;
}

std::string DataToIP(const std::string& data) {
  const std::string padded = data + std::string(4, '\0');
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(static_cast<unsigned char>(padded[i]));
  }
  return text;
}

std::string CleanIP(const std::string& text) { return DataToIP(IPToData(text)); }

}  // namespace vell
