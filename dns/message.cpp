#include "dns/message.h"

#include <algorithm>
#include <utility>

#include "core/text.h"
#include "dns/edns.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/wire.h"

namespace vell {

namespace {

using header::kQuestionFixedSize;
using header::kRecordFixedSize;
constexpr unsigned kMaxLabelOctets = 64;  // a length octet of 64 or more is no plain label

// False when the message ends before QTYPE and QCLASS; the name read stays.
bool ReadQuestion(ErrorSink& sink, std::string_view message, std::string_view& rest, Question& question) {
  question.name = ExtractName(sink, message, rest, true);
  if (rest.size() < kQuestionFixedSize) return false;
  question.type = GetInt(rest, true);
  question.qclass = GetInt(rest, true);
  return true;
}

class Decoder {
 public:
  Decoder(ErrorSink& sink, std::string_view message) : sink_(sink), message_(message), rest_(Body(message)) {}

  Message Decode() {
    Message m;
    m.header = ReadHeader(message_);
    m.cut = Questions(m.header.qdcount, m.question);
    if (m.cut != Cut::kNone) return m;
    const bool complete = Records(m.header.ancount, m.answer) && Records(m.header.nscount, m.authority) &&
                          Records(m.header.arcount, m.additional);
    if (complete) {
      m.trailing = rest_.size();
    } else {
      m.cut = Cut::kRecords;
    }
    return m;
  }

 private:
  std::string Name(std::string_view& from) { return ExtractName(sink_, message_, from, true); }

  Cut Questions(int32_t count, Question& first) {
    if (count == 0) return Cut::kNone;
    if (!ReadQuestion(sink_, message_, rest_, first)) return Cut::kFirstQuestion;
    for (int32_t i = 1; i < count; ++i) {
      Question skipped;
      if (!ReadQuestion(sink_, message_, rest_, skipped)) return Cut::kLaterQuestion;
    }
    return Cut::kNone;
  }

  bool Records(int32_t count, std::vector<WireRecord>& section) {
    for (int32_t i = 0; i < count; ++i) {
      if (!Record(section)) return false;
    }
    return true;
  }

  bool Record(std::vector<WireRecord>& section) {
    WireRecord record;
    record.name = Name(rest_);
    if (rest_.size() < kRecordFixedSize) return false;
    record.type = GetInt(rest_, true);
    const int32_t rclass = GetInt(rest_, true);
    record.ttl = GetLong(rest_, true);
    const auto length = static_cast<size_t>(GetInt(rest_, true));
    if (rest_.size() < length) return false;
    const std::string_view rdata = rest_.substr(0, length);
    rest_.remove_prefix(length);
    if (rclass != kClassIN) return true;
    if (IsStoredType(record.type)) record.data = Data(record.type, rdata);
    section.push_back(std::move(record));
    return true;
  }

  // The stored form of RDATA.
  std::string Data(int32_t type, std::string_view rdata) {
    switch (type) {
      case kTypeA:
        return std::string(rdata.substr(0, 4));
      case kTypeNS:
      case kTypeCNAME:
      case kTypePTR:
        return Name(rdata);
      case kTypeSOA: {
        std::string data = Name(rdata);
        data += '\0';
        data += Name(rdata);
        data += '\0';
        data += rdata.substr(0, 20);
        return data;
      }
      case kTypeMX:
        return Prefixed(rdata, 2);
      case kTypeSRV:
        return Prefixed(rdata, 6);
      default:  // TXT
        return std::string(rdata);
    }
  }

  // The first n octets as they are, then the name that follows them.
  std::string Prefixed(std::string_view rdata, size_t n) {
    std::string data(rdata.substr(0, n));
    std::string_view name = rdata.substr(std::min(n, rdata.size()));
    return data += Name(name);
  }

  ErrorSink& sink_;
  std::string_view message_;
  std::string_view rest_;
};

// The labels of the first question as written, when no pointer is among
// them; empty otherwise.
std::string NameAsSent(std::string_view message, const std::string& name) {
  std::string text;
  for (size_t pos = header::kSize; pos < message.size();) {
    const auto length = static_cast<unsigned char>(message[pos]);
    if (length == 0) return LowerCase(text) == name ? text : std::string();
    if (length >= kMaxLabelOctets || pos + 1 + length > message.size()) break;
    text.append(message.substr(pos + 1, length)) += '.';
    pos += 1 + length;
  }
  return {};
}

}  // namespace

std::string_view Body(std::string_view message) {
  return message.substr(std::min(message.size(), header::kSize));
}

Header ReadHeader(std::string_view message) {
  Header h;
  h.id = GetInt(message, true);
  const int32_t flags = GetInt(message, true);
  h.flags1 = static_cast<unsigned>(flags) >> 8;
  h.flags2 = static_cast<unsigned>(flags) & 0xFF;
  for (int32_t* count : {&h.qdcount, &h.ancount, &h.nscount, &h.arcount}) *count = GetInt(message, true);
  return h;
}

ParsedQuery ParseQuestion(ErrorSink& sink, std::string_view message) {
  ParsedQuery query{ReadHeader(message), std::nullopt};
  if (query.header.qdcount < 1) return query;
  std::string_view rest = Body(message);
  Question question;
  if (ReadQuestion(sink, message, rest, question)) {
    question.sent = NameAsSent(message, question.name);
    query.question = std::move(question);
  }
  return query;
}

Message DecodeMessage(ErrorSink& sink, std::string_view message) { return Decoder(sink, message).Decode(); }

std::string EchoReply(std::string request, int flags2) {
  request[header::kFlags1] = static_cast<char>(request[header::kFlags1] | header::kQR);
  if (flags2 >= 0) request[header::kFlags2] = static_cast<char>(flags2);
  return request;
}

std::string BuildQuery(ErrorSink& sink, int32_t id, bool rd, const Question& question, bool edns) {
  std::string query = MakeInt(id);
  query += static_cast<char>(rd ? header::kRD : 0);
  query += '\0';        // flags 2
  query += MakeInt(1);  // QDCOUNT
  query.append(4, '\0');
  query += MakeInt(edns ? 1 : 0);  // ARCOUNT: our OPT record
  query += ZipName(sink, query, question.name);
  query += MakeInt(question.type);
  query += MakeInt(question.qclass);
  return edns ? query += OptRecord() : query;
}

}  // namespace vell
