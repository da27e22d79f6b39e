// Hand-made DHCP requests for the tests: a BOOTREQUEST with the magic cookie
// and whatever options the test names.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vell::test {

// A hardware address 02:00:00:00:00:last, or with the first three octets
// given.
inline std::string Mac(int last, const std::string& first = std::string("\x02\x00\x00", 3)) {
  return first + std::string(2, '\0') + static_cast<char>(last);
}

struct DhcpPacket {
  explicit DhcpPacket(int message_type = 1) : type(message_type) {}
  DhcpPacket& Hw(std::string v) {
    hw = std::move(v);
    return *this;
  }
  DhcpPacket& Ciaddr(std::string v) {
    ciaddr = std::move(v);
    return *this;
  }
  DhcpPacket& Tail(std::string v) {
    tail = std::move(v);
    return *this;
  }

  int type;
  std::string hw = Mac(1);
  std::string ciaddr = std::string(4, '\0');
  std::vector<std::pair<int, std::string>> options;  // after option 53
  std::string tail = "\xff";                         // after the options

  DhcpPacket& Opt(int code, std::string value) {
    options.emplace_back(code, std::move(value));
    return *this;
  }
  std::string Build() const {
    std::string m(240, '\0');
    m[0] = 1;
    m[1] = 1;
    m[2] = static_cast<char>(hw.size());
    m.replace(4, 4, "\x11\x22\x33\x44");
    m.replace(12, 4, ciaddr);
    m.replace(28, hw.size(), hw);
    m.replace(236, 4, std::string{99, static_cast<char>(130), 83, 99});
    m += std::string{53, 1, static_cast<char>(type)};
    for (const auto& [code, value] : options) {
      m += static_cast<char>(code);
      m += static_cast<char>(value.size());
      m += value;
    }
    return m + tail;
  }
};

inline std::string Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)};
}

}  // namespace vell::test
