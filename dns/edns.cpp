#include "dns/edns.h"

#include <algorithm>
#include <array>

#include "dns/header.h"
#include "dns/message.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/wire.h"

namespace vell {

namespace {

using header::kQuestionFixedSize;
using header::kRecordFixedSize;
constexpr int kAdditional = 2;  // index of the additional section

// Moves rest past the questions; false when they run off the end.
bool SkipQuestions(ErrorSink& sink, std::string_view message, std::string_view& rest, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    ExtractName(sink, message, rest, true);
    if (rest.size() < kQuestionFixedSize) return false;
    rest.remove_prefix(kQuestionFixedSize);
  }
  return true;
}

}  // namespace

EdnsQuery ReadEdns(ErrorSink& sink, std::string_view message) {
  EdnsQuery edns;
  const Header h = ReadHeader(message);
  if (h.ancount == 0 && h.nscount == 0 && h.arcount == 0) return edns;
  std::string_view rest = Body(message);
  if (!SkipQuestions(sink, message, rest, h.qdcount)) return edns;
  const std::array<int32_t, 3> counts = {h.ancount, h.nscount, h.arcount};
  bool seen = false;
  for (int section = 0; section < 3; ++section) {
    for (int32_t i = 0; i < counts[section]; ++i) {
      const std::string owner = ExtractName(sink, message, rest, true);
      if (rest.size() < kRecordFixedSize) return edns;
      const int32_t type = GetInt(rest, true);
      const int32_t payload = GetInt(rest, true);
      const auto rcode_high = static_cast<unsigned char>(rest[0]);  // TTL: ext. RCODE, version, flags
      const auto version = static_cast<unsigned char>(rest[1]);
      rest.remove_prefix(4);
      const auto length = static_cast<size_t>(GetInt(rest, true));
      if (rest.size() < length) return edns;
      rest.remove_prefix(length);
      if (type != kTypeOPT) continue;
      if (section != kAdditional || owner != "." || seen) return {EdnsQuery::Status::kFormErr, 0};
      seen = true;
      edns = {version == 0 ? EdnsQuery::Status::kPresent : EdnsQuery::Status::kBadVers, payload, rcode_high};
    }
  }
  return edns;
}

std::string OptRecord(int ext_rcode) {
  std::string opt(1, '\0');  // the root
  opt += MakeInt(kTypeOPT);
  opt += MakeInt(kEdnsPayload);
  opt += static_cast<char>(ext_rcode);
  opt.append(5, '\0');  // version 0, flags 0, RDLENGTH 0
  return opt;
}

size_t UdpLimit(std::optional<int32_t> payload) {
  if (!payload) return kPlainUdpLimit;
  return std::clamp(static_cast<size_t>(*payload), kPlainUdpLimit, static_cast<size_t>(kEdnsPayload));
}

std::string EdnsErrorReply(ErrorSink& sink, std::string_view query, EdnsQuery::Status status) {
  std::string_view rest = Body(query);
  const bool questioned = ReadHeader(query).qdcount > 0 && SkipQuestions(sink, query, rest, 1);
  std::string reply(questioned ? query.substr(0, query.size() - rest.size())
                               : query.substr(0, header::kSize));
  const bool badvers = status == EdnsQuery::Status::kBadVers;
  const auto kept = static_cast<unsigned char>(reply[header::kFlags1]) & (header::kOpCodeMask | header::kRD);
  reply[header::kFlags1] = static_cast<char>(kept | header::kQR);
  reply[header::kFlags2] =
      static_cast<char>(badvers ? kRCodeBadVers & header::kRCodeMask : header::kRCodeFormErr);
  reply.replace(header::kQdCount, 8,
                MakeInt(questioned ? 1 : 0) + MakeInt(0) + MakeInt(0) + MakeInt(badvers ? 1 : 0));
  if (badvers) reply += OptRecord(kRCodeBadVers >> kRCodeLowBits);
  return reply;
}

}  // namespace vell
