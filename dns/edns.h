// EDNS(0) (RFC 6891): the OPT record of a query, the OPT record of our
// replies and queries, and the size a UDP reply may reach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/error_report.h"

namespace vell {

// The payload size we offer and accept at most: the DNS flag day 2020 value,
// which fits any path's MTU without fragmenting.
constexpr int32_t kEdnsPayload = 1232;
// A reply without EDNS fits 512 octets (RFC 1035 section 4.2.1).
constexpr size_t kPlainUdpLimit = 512;
// The most a TCP message can hold: its length prefix has two octets.
constexpr size_t kMaxTcpMessage = 65535;
constexpr int kRCodeBadVers = 16;  // extended RCODE: the high 8 bits sit in OPT
constexpr int kRCodeLowBits = 4;   // of an extended RCODE, those in the header

struct EdnsQuery {
  enum class Status { kAbsent, kPresent, kFormErr, kBadVers };
  Status status = Status::kAbsent;
  int32_t payload = 0;  // the client's UDP payload size, as sent
  int rcode_high = 0;   // the high 8 bits of an extended RCODE (a response's)
};

// The OPT record of a message: one, in the additional section, owned by the
// root, version 0. A second OPT or one elsewhere is a format error; a later
// version is BADVERS. A message cut short counts what was read before.
EdnsQuery ReadEdns(ErrorSink& sink, std::string_view message);

// Our OPT record: payload 1232, version 0, no options; ext_rcode is the
// high 8 bits of an extended RCODE.
std::string OptRecord(int ext_rcode = 0);

// How large a UDP reply may be for a client that sent payload (nothing: no
// OPT): 512 without EDNS, else the client's size between 512 and 1232.
size_t UdpLimit(std::optional<int32_t> payload);

// The reply to a query whose OPT is in error: header and first question of
// the query, with QR set and FORMERR (no OPT), or BADVERS (with OPT).
std::string EdnsErrorReply(ErrorSink& sink, std::string_view query, EdnsQuery::Status status);

}  // namespace vell
