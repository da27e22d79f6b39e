// Inbound responses: parsed into an answer, cached, and handed to the
// request whose outgoing query they answer.
#include <algorithm>
#include <memory>
#include <string_view>

#include "query/query_context.h"
#include "dns/header.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/tables.h"
#include "dns/wire.h"
#include "query/dispatch.h"
#include "query/request.h"
#include "query/request_queue.h"
#include "query/soa_check.h"

namespace vell {

namespace {

constexpr int32_t kMaxTTL = 604800;  // learnt records are kept a week at most
constexpr size_t kRecordFixedSize = 10;

class ResponseParser {
 public:
  ResponseParser(QueryContext& ctx, const std::string& ip, std::string_view message, clDNSAnswer& answer)
      : ctx_(ctx), ip_(ip), message_(message), rest_(message.substr(header::kSize)), answer_(answer) {}

  // False when the message ended early; what was read before stays.
  bool Parse() {
    std::string_view counts = message_.substr(header::kQdCount);
    const int16_t qd = GetInt(counts, true);
    const int16_t an = GetInt(counts, true);
    const int16_t ns = GetInt(counts, true);
    const int16_t ar = GetInt(counts, true);
    if (!Questions(qd)) return false;
    LogHeader(an);
    return Records(2, an) && Records(3, ns) && Records(4, ar);
  }

 private:
  std::string Name(std::string_view& from) { return ExtractName(ctx_.errors, message_, from, true); }

  bool Questions(int16_t qd) {
    if (qd == 0) {
      if (ctx_.log.Writes(2)) ctx_.log.AddLine(2, "Reply from " + ip_ + ":");
      return true;
    }
    answer_.RqName = Name(rest_);
    if (rest_.size() < 4) return false;
    answer_.RqType = GetInt(rest_, true);
    rest_.remove_prefix(2);  // the class is not looked at
    if (ctx_.log.Writes(2)) {
      ctx_.log.AddLine(
          2, "Reply from " + ip_ + " about " + TypeN(answer_.RqType) + "-record for " + answer_.RqName + ":");
    }
    for (int16_t i = 1; i < qd; ++i) {
      Name(rest_);
      if (rest_.size() < 4) return false;
      rest_.remove_prefix(4);
    }
    return true;
  }

  void LogHeader(int16_t an) {
    if (!ctx_.log.Writes(2)) return;
    if (answer_.RCode == 0 && an == 0 && (answer_.AA || ctx_.settings.RECURSIONOUT)) {
      ctx_.log.AddLine(2, "-> Answer: No Matching Records exist!");
    }
    if (answer_.RCode != 0) ctx_.log.AddLine(2, "-> Header: " + RCodeN(ctx_.errors, answer_.RCode));
  }

  bool Records(int section, int16_t count) {
    for (int16_t i = 0; i < count; ++i) {
      if (!Record(section)) return false;
    }
    return true;
  }

  bool Record(int section) {
    std::string name = Name(rest_);
    if (rest_.size() < kRecordFixedSize) return false;
    const int16_t type = GetInt(rest_, true);
    const int16_t rclass = GetInt(rest_, true);
    const int32_t ttl = GetLong(rest_, true);
    const int16_t length = GetInt(rest_, true);
    if (rest_.size() < static_cast<size_t>(length)) return false;
    const std::string_view rdata = rest_.substr(0, static_cast<size_t>(length));
    rest_.remove_prefix(static_cast<size_t>(length));
    if (rclass != 1) return true;
    const bool keep = IsStoredType(type);
    const bool log = ctx_.log.Writes(3);
    if (!keep && !log) return true;
    auto record = std::make_shared<clDNSRecord>();
    record->RecType = type;
    record->Name = std::move(name);
    record->SetTTL(ctx_.clock, std::min(ttl, kMaxTTL));
    if (keep) {
      record->Data = Data(type, rdata);
      answer_.Section(static_cast<int16_t>(section))->push_back(record);
    }
    if (log) ctx_.log.AddLine(3, "-> " + std::string(SectionNames(section)) + ": " + RecText(*record));
    return true;
  }

  // The stored form of RDATA; names are decoded against the whole message.
  std::string Data(int16_t type, std::string_view rdata) {
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

  QueryContext& ctx_;
  const std::string& ip_;
  std::string_view message_;
  std::string_view rest_;
  clDNSAnswer& answer_;
};

void Match(QueryContext& ctx, const std::shared_ptr<clDNSAnswer>& answer) {
  // Matching is by identifier only; the sender's address is not compared.
  for (const RequestPtr& request : ctx.Requests.Active()) {
    if (request->State != clDNSRequest::kWaitingForServer) continue;
    const auto& out = request->OpenRqOut;
    if (std::any_of(out.begin(), out.end(), [&](const clDNSRequestOut& o) { return o.Id == answer->Id; })) {
      const RequestPtr waiting = request;  // the collection may change while it works
      waiting->ProcAnswer(answer);
      return;
    }
  }
  // It may answer the transfer client's SOA check; anything else is dropped
  // without a word.
  ctx.soa_check.Offer(*answer);
}

void Receive(QueryContext& ctx, const std::string& ip, const std::string& msg) {
  const std::string_view message = msg;
  auto answer = std::make_shared<clDNSAnswer>();
  std::string_view id = message;
  answer->Id = GetUInt(id, false);
  const auto flags1 = static_cast<unsigned char>(msg[header::kFlags1]);
  answer->TC = (flags1 & header::kTC) != 0;
  answer->AA = (flags1 & header::kAA) != 0;
  answer->RCode = static_cast<int16_t>(header::RCodeOf(static_cast<unsigned char>(msg[header::kFlags2])));
  const int opcode = header::OpCodeOf(flags1);
  if (opcode == header::kOpNotify) {
    if (answer->RCode != 0) {
      ctx.log.AddLine(2, "Reply from " + ip + " about Notification:");
      ctx.log.AddLine(2, "-> Header: " + RCodeN(ctx.errors, answer->RCode));
    } else {
      ctx.log.AddLine(2, "Notification Acknowledgement from " + ip);
    }
    return;
  }
  if (opcode != header::kOpQuery) {
    ctx.log.AddLine(2,
                    "Reply from " + ip + " about " + OpCodeN(opcode) + ": Ignored - No matching requests.");
    return;
  }
  if (ResponseParser(ctx, ip, message, *answer).Parse()) {
    if (!ctx.settings.SPOOFSECURE) ctx.Cache.CacheAdd(*answer);
  } else {
    // Not cached, but still delivered with what was read.
    answer->TC = true;
    ctx.log.AddLine(2, "-> Incomplete...");
  }
  Match(ctx, answer);
}

}  // namespace

void ProcDNSAnswer(QueryContext& ctx, const std::string& ip, const std::string& msg) {
  // The front end passes only messages of at least a header's length.
  if (msg.size() < header::kSize) return;
  Trap(ctx.errors, "modDNS ProcDNSAnswer", [&] { Receive(ctx, ip, msg); });
}

}  // namespace vell
