#include "dns/wire.h"

#include <algorithm>
#include <cmath>

namespace vell {

namespace {

unsigned Octet(std::string_view data, size_t i) { return static_cast<unsigned char>(data[i]); }

// Removes n octets from the front, or all when fewer remain.
void Consume(std::string_view& data, size_t n) { data.remove_prefix(std::min(n, data.size())); }
void Consume(std::string& data, size_t n) { data.erase(0, std::min(n, data.size())); }

int32_t ReadUInt16(std::string_view data) {
  return data.size() < 2 ? 0 : Octet(data, 0) << 8 | Octet(data, 1);
}

int32_t ReadInt31(std::string_view data) {
  if (data.size() < 4) return 0;
  return static_cast<int32_t>((Octet(data, 0) & 0x7F) << 24 | Octet(data, 1) << 16 | Octet(data, 2) << 8 |
                              Octet(data, 3));
}

template <class Data, class Reader>
auto ReadAndConsume(Data& data, bool consume, size_t width, Reader read) {
  const auto value = read(std::string_view(data));
  if (consume) Consume(data, width);
  return value;
}

char Byte(int32_t v) { return static_cast<char>(v & 0xFF); }

}  // namespace

int32_t GetInt(std::string_view& data, bool consume) { return ReadAndConsume(data, consume, 2, ReadUInt16); }
int32_t GetInt(std::string& data, bool consume) { return ReadAndConsume(data, consume, 2, ReadUInt16); }
int32_t GetLong(std::string_view& data, bool consume) { return ReadAndConsume(data, consume, 4, ReadInt31); }
int32_t GetLong(std::string& data, bool consume) { return ReadAndConsume(data, consume, 4, ReadInt31); }

std::string MakeInt(int32_t value) { return {Byte(value >> 8), Byte(value)}; }

std::string MakeLong(ErrorSink& sink, double value) {
  return TrapOr(sink, "modDNS MakeLong", std::string(), [&] {
    const int32_t whole = CheckedInt32(value);  // overflow at 2^31
    const auto quotient = [&](double divisor) { return CheckedInt32(std::floor(value / divisor)); };
    return std::string{Byte(quotient(16777216.0) & 0x7F), Byte(quotient(65536.0)), Byte(quotient(256.0)),
                       Byte(whole)};
  });
}

}  // namespace vell
