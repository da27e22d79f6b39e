// Inbound queries: checks, the "Not implemented" reply, and admission.
#include "query/dispatch.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "query/query_context.h"
#include "query/sender.h"
#include "dns/header.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/tables.h"
#include "dns/wire.h"
#include "query/request.h"
#include "query/request_queue.h"

namespace vell {

namespace {

constexpr int16_t kClassIN = 1;
constexpr int16_t kClassANY = 255;
constexpr char kRAWithNotImplemented = '\x84';

// Unsupported opcodes, classes and types get "Not implemented": the query
// sent back with QR set and RA + RCODE 4, everything else as received. Other
// servers answer some of these with FORMERR or REFUSED; we never do.
void NotImplemented(QueryContext& ctx, const std::string& ip, long port, const std::string& msg,
                    const std::string& topic) {
  ctx.log.AddLine(0, "Sending answer to " + ip + " about " + topic);
  ctx.log.AddLine(0, "-> Header: Not implemented.");
  std::string reply = msg;
  reply[header::kFlags1] = static_cast<char>(reply[header::kFlags1] | header::kQR);
  reply[header::kFlags2] = kRAWithNotImplemented;
  ctx.sender.SendAnswer(ip, port, reply);
}

std::string TypeTopic(int16_t type, const std::string& name) { return TypeN(type) + "-record for " + name; }

void Dispatch(QueryContext& ctx, const std::string& ip, long port, const std::string& msg) {
  ctx.state.CountRequest(ctx.Now());
  const std::string_view message = msg;
  std::string_view counts = message.substr(std::min(message.size(), header::kQdCount));
  if (GetInt(counts, false) < 1) {
    ctx.log.AddLine(0, "Incomplete DNS Request from " + ip);
    return;
  }
  const int opcode = header::OpCodeOf(static_cast<unsigned char>(msg[header::kFlags1]));
  if (opcode != header::kOpQuery && opcode != header::kOpNotify) {
    const std::string topic = OpCodeN(opcode);
    ctx.log.AddLine(0, topic + " from " + ip);
    NotImplemented(ctx, ip, port, msg, topic);
    return;
  }
  auto request = std::make_shared<clDNSRequest>(ctx);
  std::string_view id = message;
  request->requestID = GetUInt(id, false);
  request->RequestRD = (static_cast<unsigned char>(msg[header::kFlags1]) & header::kRD) != 0;
  std::string_view rest = message.substr(header::kSize);
  request->RequestName = ExtractName(ctx.errors, message, rest, true);
  if (rest.size() < 4) {
    ctx.log.AddLine(0, "Incomplete DNS Request from " + ip);
    return;
  }
  request->RequestType = GetInt(rest, true);
  request->RequestClass = GetInt(rest, true);
  if (request->RequestClass != kClassIN && request->RequestClass != kClassANY) {
    const std::string topic = ClassN(request->RequestClass);
    ctx.log.AddLine(0, "DNS Request from " + ip + " for " + topic);
    NotImplemented(ctx, ip, port, msg, topic);
    return;
  }
  if (opcode == header::kOpNotify) {
    // Acting on the NOTIFY and acknowledging it is the zone subsystem's
    // (ProcNotify), which is not wired in yet.
    if (request->RequestType == kTypeSOA) {
      ctx.log.AddLine(0, "Zone Update Notification from " + ip + " about " + request->RequestName);
    }
    return;
  }
  if (!IsStoredType(request->RequestType) && request->RequestType != kTypeANY) {
    const std::string topic = TypeTopic(request->RequestType, request->RequestName);
    ctx.log.AddLine(0, "Request from " + ip + " for " + topic);
    NotImplemented(ctx, ip, port, msg, topic);
    return;
  }
  if (ctx.log.KeepLog || ctx.settings.WRITELOG) {
    ctx.log.AddLine(0,
                    "Request from " + ip + " for " + TypeTopic(request->RequestType, request->RequestName));
  }
  request->RequestIP = ip;
  request->RequestPort = static_cast<int32_t>(port);
  ctx.Requests.AdmitUDP(request);
}

}  // namespace

void ProcDNSRequest(QueryContext& ctx, const std::string& ip, long port, const std::string& msg) {
  Trap(ctx.errors, "modDNS ProcDNSRequest", [&] { Dispatch(ctx, ip, port, msg); });
}

}  // namespace vell
