// Inbound responses: decoded into an answer, cached, and handed to the
// request whose outgoing query they answer.
#include <algorithm>
#include <memory>
#include <utility>

#include "dns/edns.h"
#include "dns/header.h"
#include "dns/message.h"
#include "dns/record_data.h"
#include "dns/tables.h"
#include "query/dispatch.h"
#include "query/query_context.h"
#include "query/request.h"
#include "query/request_queue.h"
#include "query/soa_check.h"

namespace vell {

namespace {

constexpr int32_t kMaxTTL = 604800;  // learnt records are kept a week at most

// The log reads as if written while reading the message: the question, the
// header once every question was read, then each record of class IN.
void LogQuestion(QueryContext& ctx, const std::string& ip, const Message& m) {
  if (!ctx.log.Writes(2)) return;
  if (m.header.qdcount == 0) {
    ctx.log.AddLine(2, "Reply from " + ip + ":");
  } else if (m.cut != Cut::kFirstQuestion) {
    ctx.log.AddLine(
        2, "Reply from " + ip + " about " + TypeN(m.question.type) + "-record for " + m.question.name + ":");
  }
}

void LogHeader(QueryContext& ctx, const Message& m, const clDNSAnswer& answer) {
  if (!ctx.log.Writes(2)) return;
  if (answer.RCode == header::kRCodeNoError && m.header.ancount == 0 &&
      (answer.AA || ctx.settings.RECURSIONOUT)) {
    ctx.log.AddLine(2, "-> Answer: No Matching Records exist!");
  }
  if (answer.RCode != header::kRCodeNoError) {
    ctx.log.AddLine(2, "-> Header: " + RCodeN(ctx.errors, answer.RCode));
  }
}

// Keeps the records of a stored type and logs every one.
void TakeSection(QueryContext& ctx, int16_t section, std::vector<WireRecord>& records, clDNSAnswer& answer) {
  const bool log = ctx.log.Writes(3);
  for (WireRecord& r : records) {
    const RecordPtr record = MakeRecord(ctx.clock, Lifetime::kLearnt, std::move(r.name), r.type,
                                        std::move(r.data), std::min(r.ttl, kMaxTTL));
    if (IsStoredType(record->RecType)) answer.Section(section)->push_back(record);
    if (log) ctx.log.AddLine(3, "-> " + std::string(SectionNames(section)) + ": " + RecText(*record));
  }
}

// False when the message ended early; what was read before the cut stays.
bool Take(QueryContext& ctx, const std::string& ip, Message m, clDNSAnswer& answer) {
  answer.RqName = m.question.name;
  answer.RqType = m.question.type;
  LogQuestion(ctx, ip, m);
  if (m.cut == Cut::kFirstQuestion || m.cut == Cut::kLaterQuestion) return false;
  LogHeader(ctx, m, answer);
  TakeSection(ctx, 2, m.answer, answer);
  TakeSection(ctx, 3, m.authority, answer);
  TakeSection(ctx, 4, m.additional, answer);
  return m.cut == Cut::kNone;
}

// The request whose outgoing query the answer's identifier belongs to.
RequestPtr Waiting(QueryContext& ctx, const clDNSAnswer& answer) {
  for (const RequestPtr& request : ctx.Requests.Active()) {
    if (request->State != RequestState::kWaitingForServer) continue;
    const auto& out = request->OpenRqOut;
    if (std::any_of(out.begin(), out.end(), [&](const clDNSRequestOut& o) { return o.Id == answer.Id; })) {
      return request;
    }
  }
  return nullptr;
}

// A server that does not know EDNS may reject our OPT record instead of
// ignoring it (RFC 6891 section 7).
bool RejectsEdns(QueryContext& ctx, const Header& head, const std::string& msg) {
  const int rcode = head.RCode();
  if (rcode == header::kRCodeFormErr || rcode == header::kRCodeNotImplemented) return true;
  return (ReadEdns(ctx.errors, msg).rcode_high << kRCodeLowBits | rcode) == kRCodeBadVers;
}

void Receive(QueryContext& ctx, const std::string& ip, const std::string& msg, Transport via) {
  const Header head = ReadHeader(msg);
  auto answer = std::make_shared<clDNSAnswer>();
  answer->Id = head.id;
  answer->TC = head.TC();
  answer->AA = head.AA();
  answer->RCode = head.RCode();
  if (head.OpCode() == header::kOpNotify) {
    if (answer->RCode != header::kRCodeNoError) {
      ctx.log.AddLine(2, "Reply from " + ip + " about Notification:");
      ctx.log.AddLine(2, "-> Header: " + RCodeN(ctx.errors, answer->RCode));
    } else {
      ctx.log.AddLine(2, "Notification Acknowledgement from " + ip);
    }
    return;
  }
  if (head.OpCode() != header::kOpQuery) {
    ctx.log.AddLine(
        2, "Reply from " + ip + " about " + OpCodeN(head.OpCode()) + ": Ignored - No matching requests.");
    return;
  }
  const bool whole = Take(ctx, ip, DecodeMessage(ctx.errors, msg), *answer);
  if (!whole) {
    // Not cached, but still delivered with what was read.
    answer->TC = true;
    ctx.log.AddLine(2, "-> Incomplete...");
  }
  // Held by a copy: the collection may change while it works.
  const RequestPtr waiting = Waiting(ctx, *answer);
  if (!waiting) {
    // It may answer the transfer client's SOA check; anything else is
    // dropped without a word, and never cached: nobody asked for it.
    ctx.soa_check.Offer(*answer);
    return;
  }
  // Neither is cached: the first holds only part of the answer, the second
  // none of it.
  if (head.TC() && via == Transport::kUdp) {
    waiting->AskAgainOverTcp(answer->Id);
    return;
  }
  if (RejectsEdns(ctx, head, msg) && waiting->AskAgainWithoutEdns(answer->Id)) return;
  if (whole && !ctx.settings.SPOOFSECURE) ctx.Cache.CacheAdd(*answer);
  waiting->ProcAnswer(answer);
}

}  // namespace

void ProcDNSAnswer(QueryContext& ctx, const std::string& ip, const std::string& msg, Transport via) {
  // The front end passes only messages of at least a header's length.
  if (msg.size() < header::kSize) return;
  Trap(ctx.errors, "modDNS ProcDNSAnswer", [&] { Receive(ctx, ip, msg, via); });
}

}  // namespace vell
