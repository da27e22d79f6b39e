#include "console/lookup.h"

#include "core/text.h"
#include "dns/message.h"
#include "dns/rdata_text.h"
#include "dns/record.h"
#include "dns/tables.h"

namespace vell {

namespace {

// Questions kept for the page to collect; older ones are forgotten.
constexpr size_t kKept = 16;
constexpr double kTimeOutSeconds = 5;

void AddSection(std::vector<std::string>& lines, const char* title, const std::vector<WireRecord>& records) {
  for (const WireRecord& r : records) {
    const RecordPtr record = MakeRecordWithoutTTL(Lifetime::kLearnt, r.name, r.type, r.data);
    lines.push_back(std::string(title) + ": " + RecText(*record) + " (TTL " + Trim(NumText(r.ttl)) + ")");
  }
}

// A mnemonic of the type table, or the generic "TYPEn"; 0 for neither.
int32_t TypeNumber(const std::string& word) {
  for (int32_t type = 1; type <= 255; ++type) {
    if (TypeN(type) == word) return type;
  }
  return TypeFromText(word);
}

}  // namespace

std::vector<std::string> AnswerLines(ErrorSink& sink, const std::string& message) {
  const Message m = DecodeMessage(sink, message);
  std::vector<std::string> lines{"Header: " + RCodeN(sink, m.header.RCode()) +
                                 (m.header.AA() ? " (authoritative)" : "")};
  AddSection(lines, "Answer", m.answer);
  AddSection(lines, "Authority", m.authority);
  AddSection(lines, "Additional", m.additional);
  return lines;
}

std::string ConsoleLookup::Ask(const std::string& name, const std::string& type, int& id) {
  std::string qname = LowerCase(Trim(name));
  if (qname.empty()) return "Please enter a name.";
  if (qname.back() != '.') qname += '.';
  const int32_t qtype = TypeNumber(UpperCase(Trim(type)));
  if (qtype == 0) return "Unknown record type " + type;
  if (!socket_) {
    socket_ = std::make_unique<UdpSocket>(env_.loop);
    socket_->OnDataArrival = [this](const Datagram& d) { Arrived(d.data); };
    socket_->OnError = [](int, const std::string&) {};
    socket_->Bind(0, "127.0.0.1");
  }
  id = next_id_ = next_id_ % 65535 + 1;
  const std::string server = env_.settings.DNSBIND.empty() ? "127.0.0.1" : env_.settings.DNSBIND;
  socket_->SendTo(server, dns_port_, BuildQuery(env_.errors, id, true, Question{qname, qtype, 1}));
  if (order_.size() >= kKept) {
    asked_.erase(order_.front());
    order_.pop_front();
  }
  asked_[id] = Pending{env_.Now(), std::nullopt};
  order_.push_back(id);
  return "";
}

void ConsoleLookup::Arrived(const std::string& message) {
  const auto it = asked_.find(ReadHeader(message).id);
  if (it != asked_.end() && !it->second.lines) it->second.lines = AnswerLines(env_.errors, message);
}

std::optional<std::vector<std::string>> ConsoleLookup::Result(int id) {
  const auto it = asked_.find(id);
  if (it == asked_.end()) return std::vector<std::string>{"No such question."};
  if (!it->second.lines && env_.Now() > it->second.sent + Seconds(kTimeOutSeconds)) {
    it->second.lines = std::vector<std::string>{"No answer (timed out)."};
  }
  return it->second.lines;
}

}  // namespace vell
