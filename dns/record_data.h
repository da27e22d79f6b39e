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
//   any other type (AAAA, CAA, HTTPS, ...)
//          the RDATA as on the wire, never compressed (see dns/rdata_text.h)
//
// OPT and the question-only types are never stored. The cache keeps negative entries under
// pseudo-types above 65535 (see cache/cache.h), whose Data is a zone name;
// they never reach a message.
//
// Readers accept short data and give the parts that are present: empty
// names, zero numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/error_report.h"

namespace vell {

enum RecordType : int32_t {
  kTypeA = 1,
  kTypeNS = 2,
  kTypeCNAME = 5,
  kTypeSOA = 6,
  kTypePTR = 12,
  kTypeMX = 15,
  kTypeTXT = 16,
  kTypeAAAA = 28,
  kTypeSRV = 33,
  kTypeOPT = 41,
};
// Question types only: TKEY, TSIG, IXFR, AXFR, MAILB, MAILA, and every
// record of the name.
constexpr int32_t kTypeTKEY = 249;
constexpr int32_t kTypeAXFR = 252;
constexpr int32_t kTypeANY = 255;

// Classes. Questions may ask for IN or ANY; the others are named in the log.
enum RecordClass : int32_t {
  kClassIN = 1,
  kClassCSNET = 2,
  kClassCHAOS = 3,
  kClassHesiod = 4,
  kClassNone = 254,
  kClassANY = 255,
};

// The types the server stores and answers with: every type that a record
// can have (RFC 6895 section 3.1: OPT and the question-only types cannot).
constexpr bool IsStoredType(int32_t type) {
  return type > 0 && type <= 0xFFFF && type != kTypeOPT && (type < kTypeTKEY || type > kTypeANY);
}

// The types whose data holds names as text; the others keep their RDATA.
constexpr bool HoldsNames(int32_t type) {
  return type == kTypeNS || type == kTypeCNAME || type == kTypeSOA || type == kTypePTR || type == kTypeMX ||
         type == kTypeSRV;
}

// Addresses given beside a name server, mail exchange or service target.
constexpr bool IsAddressType(int32_t type) { return type == kTypeA || type == kTypeAAAA; }

// What a lookup of type MX or SRV adds addresses for: the data after the
// numbers (the exchange, the target), whatever the record's own type.
// Empty for other lookup types and for short data.
std::string_view NameAfterNumbers(int32_t lookup_type, const std::string& data);

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
  int32_t preference = 0;
  std::string exchange;
};
std::string MakeMxData(const MxData& mx);
MxData ReadMxData(const std::string& data);

struct SrvData {
  int32_t priority = 0;
  int32_t weight = 0;
  int32_t port = 0;
  std::string target;
};
std::string MakeSrvData(const SrvData& srv);
SrvData ReadSrvData(const std::string& data);

// Each string cut to 255 octets.
std::string MakeTxtData(const std::vector<std::string>& strings);
// A string whose length octet runs past the end keeps the octets present.
std::vector<std::string> ReadTxtData(const std::string& data);

}  // namespace vell
