// The layout of clDNSRecord::Data for each stored type. Zones, cache,
// message parsers and writers all build and read record data through here.
//
// Names inside Data are text (lower case, trailing dot), never wire form:
// the message writer encodes and compresses them, the parser decodes them.
//
//   A      the 4 address octets, network order (see dns/ip.h)
//   NS, CNAME, PTR
//          the target name
//   SOA    primary server name, 0 octet, mailbox name, 0 octet, then serial,
//          refresh, retry, expire, minimum: 4 octets each (MakeLong/GetLong)
//   MX     2 octets preference (MakeInt/GetInt), then the exchange name
//   TXT    the RDATA as on the wire: character-strings, each a length octet
//          and that many octets
//   SRV    priority, weight, port: 2 octets each (MakeInt/GetInt), then the
//          target name
//
// Other DNS types are never stored. The cache keeps negative entries under
// the pseudo-types 1000 + T and 2000, whose Data is a zone name; they never
// reach a message.
//
// Readers accept short data and give the parts that are present: empty
// names, zero numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/error_report.h"

namespace vell {

enum RecordType : int16_t {
  kTypeA = 1,
  kTypeNS = 2,
  kTypeCNAME = 5,
  kTypeSOA = 6,
  kTypePTR = 12,
  kTypeMX = 15,
  kTypeTXT = 16,
  kTypeSRV = 33,
};
// Question types only: a whole zone, and every record of the name.
constexpr int16_t kTypeAXFR = 252;
constexpr int16_t kTypeANY = 255;

// Classes. Questions may ask for IN or ANY; the others are named in the log.
enum RecordClass : int16_t {
  kClassIN = 1,
  kClassCSNET = 2,
  kClassCHAOS = 3,
  kClassHesiod = 4,
  kClassNone = 254,
  kClassANY = 255,
};

// The eight types the server stores and answers with.
constexpr bool IsStoredType(int16_t type) {
  switch (type) {
    case kTypeA:
    case kTypeNS:
    case kTypeCNAME:
    case kTypeSOA:
    case kTypePTR:
    case kTypeMX:
    case kTypeTXT:
    case kTypeSRV:
      return true;
    default:
      return false;
  }
}

// What a lookup of type MX or SRV adds addresses for: the data after the
// numbers (the exchange, the target), whatever the record's own type.
// Empty for other lookup types and for short data.
std::string_view NameAfterNumbers(int16_t lookup_type, const std::string& data);

struct SoaData {
  std::string primary;  // up to the first zero octet (all of Data if none)
  std::string mailbox;
  int32_t serial = 0;
  int32_t refresh = 0;
  int32_t retry = 0;
  int32_t expire = 0;
  int32_t minimum = 0;
};
std::string MakeSoaData(ErrorSink& sink, const SoaData& soa);
SoaData ReadSoaData(const std::string& data);

struct MxData {
  int16_t preference = 0;
  std::string exchange;
};
std::string MakeMxData(const MxData& mx);
MxData ReadMxData(const std::string& data);

struct SrvData {
  int16_t priority = 0;
  int16_t weight = 0;
  int16_t port = 0;  // read with the top bit cleared, like every 16-bit field
  std::string target;
};
std::string MakeSrvData(const SrvData& srv);
SrvData ReadSrvData(const std::string& data);

// Each string cut to 255 octets.
std::string MakeTxtData(const std::vector<std::string>& strings);
// A string whose length octet runs past the end keeps the octets present.
std::vector<std::string> ReadTxtData(const std::string& data);

}  // namespace vell
