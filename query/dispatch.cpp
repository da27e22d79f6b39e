// Inbound queries: checks, the "Not implemented" reply, and admission.
#include "query/dispatch.h"

#include <memory>
#include <string>

#include "dns/header.h"
#include "dns/message.h"
#include "dns/record_data.h"
#include "dns/tables.h"
#include "query/client_edns.h"
#include "query/notify.h"
#include "query/query_context.h"
#include "query/request.h"
#include "query/request_queue.h"
#include "query/sender.h"

namespace vell {

namespace {

// Unsupported opcodes, classes and types get "Not implemented": the query
// sent back with QR set and RA + RCODE 4, everything else as received. Other
// servers answer some of these with FORMERR or REFUSED; we never do.
void NotImplemented(QueryContext& ctx, const std::string& ip, long port, const std::string& msg,
                    const std::string& topic) {
  ctx.log.AddLine(0, "Sending answer to " + ip + " about " + topic);
  ctx.log.AddLine(0, "-> Header: Not implemented.");
  ctx.sender.SendAnswer(ip, port, EchoReply(msg, header::kRA | header::kRCodeNotImplemented));
}

std::string TypeTopic(const Question& question) {
  return TypeN(question.type) + "-record for " + question.name;
}

void Dispatch(QueryContext& ctx, const std::string& ip, long port, const std::string& msg) {
  ctx.state.CountRequest(ctx.Now());
  ParsedQuery query = ParseQuestion(ctx.errors, msg);
  const int opcode = query.header.OpCode();
  // The opcode is looked at once a question is announced, before it is read.
  if (query.header.qdcount >= 1 && opcode != header::kOpQuery && opcode != header::kOpNotify) {
    const std::string topic = OpCodeN(opcode);
    ctx.log.AddLine(0, topic + " from " + ip);
    NotImplemented(ctx, ip, port, msg, topic);
    return;
  }
  if (!query.question) {
    ctx.log.AddLine(0, "Incomplete DNS Request from " + ip);
    return;
  }
  Question& question = *query.question;
  if (question.qclass != kClassIN && question.qclass != kClassANY) {
    const std::string topic = ClassN(question.qclass);
    ctx.log.AddLine(0, "DNS Request from " + ip + " for " + topic);
    NotImplemented(ctx, ip, port, msg, topic);
    return;
  }
  if (opcode == header::kOpNotify) {
    if (question.type == kTypeSOA) {
      ctx.log.AddLine(0, "Zone Update Notification from " + ip + " about " + question.name);
      ProcNotify(ctx, ip, question.name, msg,
                 [&](const std::string& reply) { ctx.sender.SendAnswer(ip, port, reply); });
    }
    return;
  }
  EdnsCheck edns = CheckEdns(ctx, ip, msg);
  if (!edns.error_reply.empty()) {
    ctx.sender.SendAnswer(ip, port, edns.error_reply);
    return;
  }
  if (!IsStoredType(question.type) && question.type != kTypeANY) {
    const std::string topic = TypeTopic(question);
    ctx.log.AddLine(0, "Request from " + ip + " for " + topic);
    NotImplemented(ctx, ip, port, msg, topic);
    return;
  }
  if (ctx.log.Writes(0)) ctx.log.AddLine(0, "Request from " + ip + " for " + TypeTopic(question));
  ctx.Requests.AdmitUDP(std::make_shared<clDNSRequest>(ctx, UdpClient{ip, port, edns.edns}, query.header.id,
                                                       query.header.RD(), std::move(question)));
}

}  // namespace

void ProcDNSRequest(QueryContext& ctx, const std::string& ip, long port, const std::string& msg) {
  Trap(ctx.errors, "modDNS ProcDNSRequest", [&] { Dispatch(ctx, ip, port, msg); });
}

}  // namespace vell
