// Whole DNS messages: the header, the question, the records of the three
// sections, and the one query this server builds for other servers.
//
// Decoding never fails: a message that ends early gives what was read
// before the cut and says where the cut came, so that callers can keep what
// was read and still act on the rest.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error_report.h"
#include "dns/header.h"
#include "dns/record_data.h"

namespace vell {

struct Question {
  std::string name;  // lower case, trailing dot
  int32_t type = 0;
  int32_t qclass = 0;
  // A client's question name in the letter case it was sent: the reply
  // repeats it (resolvers that randomise case check it). Empty otherwise.
  std::string sent{};
};

// The 12 header octets. Fields missing from a short message read as 0.
struct Header {
  int32_t id = 0;  // unsigned, 0..65535
  unsigned flags1 = 0;
  unsigned flags2 = 0;
  int32_t qdcount = 0;
  int32_t ancount = 0;
  int32_t nscount = 0;
  int32_t arcount = 0;

  int OpCode() const { return header::OpCodeOf(flags1); }
  bool AA() const { return (flags1 & header::kAA) != 0; }
  bool TC() const { return (flags1 & header::kTC) != 0; }
  bool RD() const { return (flags1 & header::kRD) != 0; }
  bool RA() const { return (flags2 & header::kRA) != 0; }
  int16_t RCode() const { return static_cast<int16_t>(header::RCodeOf(flags2)); }
};
Header ReadHeader(std::string_view message);
// Everything after the header.
std::string_view Body(std::string_view message);

// A query's header and first question; further questions and the other
// sections are not looked at. No question when QDCOUNT is 0 or the question
// is cut short.
struct ParsedQuery {
  Header header;
  std::optional<Question> question;
};
ParsedQuery ParseQuestion(ErrorSink& sink, std::string_view message);

// One record of class IN. data has the stored layout of its type (see
// dns/record_data.h), names decoded against the whole message; it is empty
// for the types that are never stored.
struct WireRecord {
  std::string name;
  int32_t type = 0;
  int32_t ttl = 0;  // as sent
  std::string data;
};

// Where a message ended early.
enum class Cut { kNone, kFirstQuestion, kLaterQuestion, kRecords };

struct Message {
  Header header;
  // The first question. Cut short, it keeps the name that was read and
  // type and class 0; empty when QDCOUNT is 0.
  Question question;
  // Records of other classes are skipped; a record cut short is not kept.
  std::vector<WireRecord> answer;
  std::vector<WireRecord> authority;
  std::vector<WireRecord> additional;
  Cut cut = Cut::kNone;
  size_t trailing = 0;  // octets after the last record, which nothing reads
};
Message DecodeMessage(ErrorSink& sink, std::string_view message);

// A request sent back as its own reply: QR set, flags octet 2 as given (the
// request's own when flags2 is negative), every other octet as received.
// The request holds at least the header.
std::string EchoReply(std::string request, int flags2 = -1);

// A query of one question with RD as given and every other flag clear,
// offering EDNS(0) with our payload size unless edns is false.
std::string BuildQuery(ErrorSink& sink, int32_t id, bool rd, const Question& question, bool edns = true);

}  // namespace vell
