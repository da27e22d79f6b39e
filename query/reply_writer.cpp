#include "query/reply_writer.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "dns/edns.h"
#include "dns/header.h"
#include "dns/message.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/record_wire.h"
#include "dns/tables.h"
#include "dns/wire.h"
#include "query/query_context.h"
#include "query/request.h"

namespace vell {

namespace {

constexpr size_t kLongestRun = 100;  // a rotated run ends at this position at the latest

// The order in which the records of a section are written (0-based).
// Each run of A records of one name starts at the record's RoRo and moves
// it on, so successive replies rotate the run; RoRo lives on the shared
// record, so the rotation carries across requests.
std::vector<size_t> RoundRobin(const RecordList& section) {
  const size_t n = section.size();
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) {
    order[i] = i;
    const clDNSRecord& first = *section[i];
    if (first.RecType != kTypeA) continue;
    size_t j = i;
    while (j + 1 < n && j + 1 < kLongestRun && section[j + 1]->RecType == kTypeA &&
           section[j + 1]->Name == first.Name) {
      ++j;
    }
    if (j == i) continue;
    const size_t span = j - i;
    const size_t k0 = static_cast<size_t>(first.RoRo) > span ? 0 : static_cast<size_t>(first.RoRo);
    size_t k = k0;
    for (size_t m = i; m <= j; ++m) {
      order[m] = i + k;
      k = k == span ? 0 : k + 1;
    }
    section[i]->RoRo = static_cast<int16_t>(k0 + 1 > span ? 0 : k0 + 1);
    i = j;
  }
  return order;
}

void WriteRecord(QueryContext& ctx, std::string& message, int section, const clDNSRecord& record) {
  message += ZipName(ctx.errors, message, record.Name);
  message += MakeInt(record.RecType);
  message += MakeInt(kClassIN);  // whatever the question's class
  const int32_t ttl = record.TTL(ctx.clock);
  message += MakeLong(ctx.errors, ttl < 0 ? 0 : ttl);
  const std::string rdata = WireRData(ctx.errors, message, record);
  message += MakeInt(static_cast<int32_t>(rdata.size()));
  message += rdata;
  if (ctx.log.Writes(1)) {
    ctx.log.AddLine(1, "-> " + std::string(SectionNames(section)) + ": " + RecText(record));
  }
}

// Where the reply may be cut: after a whole RRset, with the records written
// to each section so far.
struct Boundary {
  size_t size = 0;
  std::array<int32_t, 3> counts{};
};

class SectionWriter {
 public:
  SectionWriter(QueryContext& ctx, std::string& message) : ctx_(ctx), message_(message) {
    boundaries_.reserve(8);  // one allocation for the usual few RRsets
    boundaries_.push_back({message.size(), {}});
  }

  void Write(int section, const RecordList& records) {
    if (!ctx_.settings.ROUNDROBIN) {
      for (const RecordPtr& record : records) Add(section, *record);
    } else {
      for (size_t i : RoundRobin(records)) Add(section, *records[i]);
    }
    Mark();
  }

  // The reply cut back to the last boundary that leaves room octets free
  // within limit; true when records of the answer or authority section
  // had to go (RFC 2181 section 9: additional records go silently).
  bool Fit(size_t limit, size_t room) {
    auto fits = boundaries_.rbegin();
    while (fits != boundaries_.rend() && fits->size + room > limit) ++fits;
    if (fits == boundaries_.rbegin() || fits == boundaries_.rend()) return false;
    const Boundary& whole = boundaries_.back();
    message_.resize(fits->size);
    counts_ = fits->counts;
    return counts_[0] != whole.counts[0] || counts_[1] != whole.counts[1];
  }

  const std::array<int32_t, 3>& Counts() const { return counts_; }

 private:
  void Add(int section, const clDNSRecord& record) {
    if (last_ != nullptr && (last_->Name != record.Name || last_->RecType != record.RecType)) Mark();
    WriteRecord(ctx_, message_, section, record);
    ++counts_[section - 2];
    last_ = &record;
  }

  void Mark() {
    if (boundaries_.back().size != message_.size()) boundaries_.push_back({message_.size(), counts_});
    last_ = nullptr;
  }

  QueryContext& ctx_;
  std::string& message_;
  std::vector<Boundary> boundaries_;
  std::array<int32_t, 3> counts_{};
  const clDNSRecord* last_ = nullptr;
};

// The client's EDNS and the most octets its reply may have.
std::pair<ClientEdns, size_t> ClientLimits(const RequestOrigin& origin) {
  if (const auto* udp = std::get_if<UdpClient>(&origin)) return {udp->edns, UdpLimit(udp->edns)};
  if (const auto* tcp = std::get_if<TcpClient>(&origin)) return {tcp->edns, kMaxTcpMessage};
  return {std::nullopt, kMaxTcpMessage};
}

}  // namespace

std::string WriteReply(QueryContext& ctx, const clDNSRequest& request, const clDNSAnswer& answer) {
  std::string message;
  message.reserve(512);
  message += MakeInt(request.requestID);
  message +=
      static_cast<char>(header::kQR | (answer.AA ? header::kAA : 0) | (request.RequestRD ? header::kRD : 0));
  message += static_cast<char>((answer.RA ? header::kRA : 0) + answer.RCode);
  message += MakeInt(1);    // QDCOUNT
  message.append(6, '\0');  // the section counts, written once known
  const Question& q = request.Request;
  message += ZipName(ctx.errors, message, q.sent.empty() ? q.name : q.sent);
  message += MakeInt(q.type);
  message += MakeInt(q.qclass);
  SectionWriter writer(ctx, message);
  writer.Write(2, answer.Section2);
  writer.Write(3, answer.Section3);
  writer.Write(4, answer.Section4);
  const auto [edns, limit] = ClientLimits(request.Origin);
  const std::string opt = edns ? OptRecord() : std::string();
  if (writer.Fit(limit, opt.size()))
    message[header::kFlags1] = static_cast<char>(message[header::kFlags1] | header::kTC);
  const auto& counts = writer.Counts();
  message.replace(header::kAnCount, 6,
                  MakeInt(counts[0]) + MakeInt(counts[1]) + MakeInt(counts[2] + (edns ? 1 : 0)));
  return message += opt;
}

}  // namespace vell
