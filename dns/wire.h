// Big-endian integer readers and writers for DNS messages and record data.
//
// The readers take the data as an in/out octet string and, when asked to,
// consume what they read from its front. Short data reads as 0 and is still
// consumed (the data then becomes empty). 16-bit fields and TTLs are read
// with their top bit cleared, so a TYPE of 32769 reads as 1.
//
// Each reader has a std::string_view overload for parsers that walk a
// message without copying; the std::string overload behaves identically.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/error_report.h"

namespace vell {

// First two octets, top bit cleared: 0..32767.
int16_t GetInt(std::string_view& data, bool consume);
int16_t GetInt(std::string& data, bool consume);
// First two octets, unsigned: 0..65535 (message identifiers).
int32_t GetUInt(std::string_view& data, bool consume);
int32_t GetUInt(std::string& data, bool consume);
// First four octets, top bit cleared: 0..2147483647 (TTLs, SOA values).
int32_t GetLong(std::string_view& data, bool consume);
int32_t GetLong(std::string& data, bool consume);

// Two octets; the top bit of the high octet is dropped.
std::string MakeInt(int32_t value);
// Two octets, unsigned.
std::string MakeUInt(int32_t value);
// Four octets with the top bit written as 0. A value of 2^31 or more is an
// overflow: reported as "modDNS MakeLong", result empty.
std::string MakeLong(ErrorSink& sink, double value);

}  // namespace vell
