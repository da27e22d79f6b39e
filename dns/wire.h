// Big-endian integer readers and writers for DNS messages and record data.
//
// The readers take the data as an in/out octet string and, when asked to,
// consume what they read from its front. Short data reads as 0 and is still
// consumed (the data then becomes empty). 16-bit fields are unsigned
// (0..65535: an SRV port of 40000 stays 40000); TTLs are read with their top
// bit cleared, as RFC 2181 section 8 has them.
//
// Each reader has a std::string_view overload for parsers that walk a
// message without copying; the std::string overload behaves identically.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/error_report.h"

namespace vell {

// First two octets, unsigned: 0..65535.
int32_t GetInt(std::string_view& data, bool consume);
int32_t GetInt(std::string& data, bool consume);
// First four octets, top bit cleared: 0..2147483647 (TTLs, SOA values).
int32_t GetLong(std::string_view& data, bool consume);
int32_t GetLong(std::string& data, bool consume);

// Two octets, unsigned: the value's low 16 bits.
std::string MakeInt(int32_t value);
// Four octets with the top bit written as 0. A value of 2^31 or more is an
// overflow: reported as "modDNS MakeLong", result empty.
std::string MakeLong(ErrorSink& sink, double value);

}  // namespace vell
