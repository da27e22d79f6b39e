#include "core/ip.h"

#include <cmath>
#include <string_view>

#include "core/text.h"

namespace vell {

namespace {

constexpr std::string_view kArpaSuffix = ".in-addr.arpa.";

// One part of an address text by the leading-number rule.
char PartOctet(const std::string& part) {
  const double value = std::nearbyint(std::fabs(LeadingNumber(part)));
  return static_cast<char>(value > 255 ? 0 : static_cast<int>(value));
}

// The first four "."-separated parts of text; missing ones are empty.
template <class Each>
void ForFourParts(const std::string& text, Each each) {
  const std::string padded = text + "....";
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t dot = padded.find('.', start);
    each(padded.substr(start, dot - start));
    start = dot + 1;
  }
}

// The reverse name of the first four octets of data (which has them).
std::string ArpaOfData(const std::string& data) {
  std::string name;
  for (int i = 3; i >= 0; --i) {
    name += std::to_string(static_cast<unsigned char>(data[i]));
    name += '.';
  }
  name += kArpaSuffix.substr(1);
  return name;
}

// Length of the network part: position of the last "1" of the mask's bits.
size_t NetBits(const std::string& mask_bits) {
  const size_t last = mask_bits.rfind('1');
  return last == std::string::npos ? 0 : last + 1;
}

std::string Bits(const std::string& data) {
  std::string bits;
  for (unsigned char octet : data) {
    for (int bit = 7; bit >= 0; --bit) bits += (octet >> bit & 1) ? '1' : '0';
  }
  return bits;
}

}  // namespace

std::string IPToData(const std::string& text) {
  std::string data;
  ForFourParts(text, [&](const std::string& part) { data += PartOctet(part); });
  return data;
}

std::string DataToIP(const std::string& data) {
  // Written digit by digit: every datagram's sender is turned into text.
  char text[16];
  size_t n = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (i > 0) text[n++] = '.';
    const unsigned octet = i < data.size() ? static_cast<unsigned char>(data[i]) : 0U;
    if (octet >= 100) text[n++] = static_cast<char>('0' + octet / 100);
    if (octet >= 10) text[n++] = static_cast<char>('0' + octet / 10 % 10);
    text[n++] = static_cast<char>('0' + octet % 10);
  }
  return std::string(text, n);
}

std::string CleanIP(const std::string& text) { return DataToIP(IPToData(text)); }

std::string NextIP(const std::string& text) {
  std::string data = IPToData(text);
  for (int i = 3; i >= 0; --i) {
    data[i] = static_cast<char>(static_cast<unsigned char>(data[i]) + 1);
    if (data[i] != '\0') break;  // no wrap: the carry stops here
  }
  return DataToIP(data);
}

std::string IPToBin(ErrorSink& sink, const std::string& text) {
  return TrapOr(sink, "modIP IPToBin", std::string(), [&] { return Bits(IPToData(text)); });
}

bool SameNet(ErrorSink& sink, const std::string& a, const std::string& b, const std::string& mask) {
  return TrapOr(sink, "modIP SameNet", false, [&] {
    const size_t n = NetBits(Bits(IPToData(mask)));
    return Bits(IPToData(a)).compare(0, n, Bits(IPToData(b)), 0, n) == 0;
  });
}

bool ValidIP(ErrorSink& sink, const std::string& address, const std::string& mask) {
  return TrapOr(sink, "modIP ValidIP", false, [&] {
    if (address.empty()) return false;
    const std::string host = Bits(IPToData(address)).substr(NetBits(Bits(IPToData(mask))));
    // An empty host part (mask of all ones) is both all-ones and all-zeros.
    const bool broadcast = host.find('0') == std::string::npos;
    const bool network = host.find('1') == std::string::npos;
    if (broadcast || network) return false;
    return address.rfind("127.", 0) != 0;
  });
}

std::string ArpaToData(ErrorSink& sink, const std::string& name) {
  return TrapOr(sink, "modIP ArpaToData", std::string(), [&] {
    if (!name.ends_with(kArpaSuffix)) return std::string(4, '\0');
    std::string data;
    ForFourParts(name.substr(0, name.size() - kArpaSuffix.size()),
                 [&](const std::string& part) { data.insert(data.begin(), PartOctet(part)); });
    return data;
  });
}

std::string ArpaToIP(ErrorSink& sink, const std::string& name) {
  return TrapOr(sink, "modIP ArpaToIP", std::string(), [&] { return DataToIP(ArpaToData(sink, name)); });
}

std::string DataToArpa(ErrorSink& sink, const std::string& data) {
  return TrapOr(sink, "modIP DataToArpa", std::string(), [&] {
    if (data.size() < 4) throw RunError(kErrInvalidCall, "Address data shorter than four octets");
    return ArpaOfData(data);
  });
}

std::string IPToArpa(const std::string& text) { return ArpaOfData(IPToData(text)); }

}  // namespace vell
