#include "dns/tables.h"

#include <array>
#include <optional>
#include <stdexcept>

#include "core/ip.h"
#include "dns/header.h"
#include "dns/rdata_text.h"
#include "dns/record_data.h"

namespace vell {

namespace {

using TypeTable = std::array<std::string, 258>;  // index = type number; 0 unused

void FillNames(TypeTable& table, int first, std::initializer_list<const char*> names) {
  for (const char* name : names) table[first++] = name;
}

// Built by appending: g++ 12 warns falsely (-Wrestrict) on "literal" + std::string&&.
std::string Framed(const char* before, int number, const char* after) {
  std::string text = before;
  text += std::to_string(number);
  text += after;
  return text;
}

std::string Unnamed(int number) { return Framed("?", number, "?"); }

TypeTable BuildTypeNames() {
  TypeTable table;
  for (int type = 1; type < static_cast<int>(table.size()); ++type) table[type] = Unnamed(type);
  FillNames(table, 1,
            {"A", "NS", "MD", "MF", "CNAME", "SOA", "MB", "MG", "MR", "NULL", "WKS", "PTR", "HINFO", "MINFO",
             "MX", "TXT"});
  FillNames(table, 17, {"RP", "AFSDB", "X25", "ISDN", "RT", "NSAP", "NSAP-PTR"});
  FillNames(table, 24, {"SIG", "KEY", "PX", "GPOS", "AAAA", "LOC", "NXT", "EID", "NIMLOC"});
  FillNames(table, 33, {"SRV", "ATMA", "NAPTR", "KX", "CERT", "A6", "DNAME", "SINK", "OPT"});
  // Types with a text form in zone files (dns/rdata_text.cpp).
  FillNames(table, 43, {"DS", "SSHFP"});
  FillNames(table, 48, {"DNSKEY"});
  FillNames(table, 52, {"TLSA"});
  FillNames(table, 64, {"SVCB", "HTTPS"});
  FillNames(table, 257, {"CAA"});
  FillNames(table, 100, {"UINFO", "UID", "GID", "UNSPEC"});
  FillNames(table, 248, {"ADDRS", "TKEY", "TSIG", "IXFR", "AXFR", "MAILB", "MAILA", "*"});
  return table;
}

// Built once, read-only afterwards.
const TypeTable& TypeNames() {
  static const TypeTable table = BuildTypeNames();
  return table;
}

constexpr std::array<const char*, 11> kRCodeTexts = {
    "No Error",
    "Format Error - could not interpret the query.",
    "Server Failure.",
    "Name does not exist!",
    "Not implemented - no support for this query type.",
    "Refused - will not answer this client or this query type.",
    "Name Exists when it should not",
    "RR Set Exists when it should not",
    "RR Set that should exist does not",
    "Server Not Authoritative for zone",
    "Name not contained in zone",
};

constexpr std::array<std::string_view, 4> kSectionNames = {"Question", "Answer", "Authority", "Additional"};

std::string Num(int32_t v) { return Framed(" ", v, ""); }

// The part of RecText after " = "; nothing for types shown by head alone.
std::optional<std::string> RecDetail(const clDNSRecord& record) {
  switch (record.RecType) {
    case kTypeA:
      return DataToIP(record.Data.substr(0, 4));
    case kTypeAAAA: {
      std::string address = IPv6Text(record.Data);
      return address.empty() ? std::nullopt : std::optional(std::move(address));
    }
    case kTypeNS:
    case kTypeCNAME:
    case kTypePTR:
      return record.Data;
    case kTypeSOA: {
      const SoaData soa = ReadSoaData(record.Data);
      return soa.primary + " (Serial" + Num(soa.serial) + ")";
    }
    case kTypeMX: {
      const MxData mx = ReadMxData(record.Data);
      return mx.exchange + " (Preference" + Num(mx.preference) + ")";
    }
    case kTypeTXT: {
      std::string quoted = "\"";  // appended for the same g++ 12 warning as in Framed
      quoted += TxtText(record.Data);
      return quoted + "\"";
    }
    case kTypeSRV: {
      const SrvData srv = ReadSrvData(record.Data);
      return srv.target + " (Priority" + Num(srv.priority) + ", Weight" + Num(srv.weight) + ", Port" +
             Num(srv.port) + ")";
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

void InitTypeNames() { TypeNames(); }

std::string TypeN(int32_t type) {
  return type >= 1 && type < static_cast<int32_t>(TypeNames().size()) ? TypeNames()[type] : Unnamed(type);
}

std::string RCodeN(ErrorSink& sink, int16_t rcode) {
  return TrapOr(sink, "modDNS RCodeN", std::string(), [&] {
    return std::string(rcode >= 0 && rcode < static_cast<int>(kRCodeTexts.size()) ? kRCodeTexts[rcode]
                                                                                  : "Unknown error.");
  });
}

std::string OpCodeN(int opcode) {
  switch (opcode) {
    case header::kOpQuery:
      return "Standard Query";
    case header::kOpInverseQuery:
      return "Inverse Query Request";
    case header::kOpStatus:
      return "Server Status Request";
    case header::kOpNotify:
      return "Notification Request";
    case header::kOpUpdate:
      return "Update Request";
    default:
      return Framed("Unknown Query Type (OpCode ", opcode, ")");
  }
}

std::string ClassN(int32_t dns_class) {
  switch (dns_class) {
    case kClassIN:
      return "Internet class record";
    case kClassCSNET:
      return "CSNET class record";
    case kClassCHAOS:
      return "CHAOS class record";
    case kClassHesiod:
      return "Hesiod [Dyer 87] class record";
    case kClassNone:
      return "No-class record";
    case kClassANY:
      return "Any (*) class record";
    default:
      return Framed("Unknown class (", dns_class, ") record");
  }
}

std::string RecText(const clDNSRecord& record) {
  std::string text = TypeN(record.RecType) + "-record for " + record.Name;
  if (const auto detail = RecDetail(record)) text += " = " + *detail;
  return text;
}

std::string TxtText(const std::string& data) {
  const std::vector<std::string> strings = ReadTxtData(data);
  std::string joined;
  for (size_t i = 0; i < strings.size(); ++i) {
    if (i > 0) joined += ", ";
    joined += strings[i];
  }
  std::erase_if(joined, [](char c) {
    const auto octet = static_cast<unsigned char>(c);
    return octet < 32 || octet > 126;
  });
  return joined;
}

std::string_view SectionNames(int section) { return kSectionNames.at(section - 1); }

}  // namespace vell
