#include "query/tcp_connection.h"

#include <string_view>

#include "core/text.h"
#include "dns/header.h"
#include "dns/message.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/tables.h"
#include "dns/wire.h"
#include "query/client_edns.h"
#include "query/notify.h"
#include "query/query_context.h"

namespace vell {

namespace {

constexpr int kIdleTimerMs = 30000;
constexpr int16_t kTickSeconds = 30;
constexpr int16_t kIdleSeconds = 60;
constexpr int16_t kTransferIdleSeconds = 600;
// A transfer's messages are written in batches of about this many octets,
// not one write each: the secondary then reads few large segments instead
// of one per record.
constexpr size_t kBatchSize = size_t{64} * 1024;

// A transfer request asks for many records per message when exactly "MS"
// follows the question.
bool HasMsTrailer(const std::string& msg) {
  RecordingErrorSink ignored;  // the question was read already; its faults are reported there
  std::string_view rest = std::string_view(msg).substr(header::kSize);
  ExtractName(ignored, msg, rest, true);
  return rest.size() == 6 && rest.substr(4) == "MS";
}

}  // namespace

ctlZT::ctlZT(QueryContext& ctx, int32_t& connections)
    : ctx_(ctx), connections_(connections), socket_(std::make_unique<TcpSocket>(ctx.env.loop)) {
  timer_ = ctx_.env.loop.AddTimer(kIdleTimerMs, [this] { TimerTick(); });
}

ctlZT::~ctlZT() { ctx_.env.loop.RemoveTimer(timer_); }

void ctlZT::Accept(TcpSocket& listener, int request_id) {
  Trap(ctx_.errors, "ctlZT Accept", [&] {
    ConID = ++connections_;
    last_active_ = ctx_.Now();
    buffer_.clear();
    Busy = true;
    idle_ = kIdleSeconds;
    ctx_.env.loop.EnableTimer(timer_, true);
    // A fresh socket per connection: output of the previous one that is
    // still draining is not mixed in.
    socket_ = std::make_unique<TcpSocket>(ctx_.env.loop);
    socket_->OnDataArrival = [this](const std::string& data) { DataArrival(data); };
    socket_->OnClose = [this] { OnPeerClose(); };
    socket_->OnError = [this](int number, const std::string& text) { OnError(number, text); };
    socket_->Accept(listener, request_id);
    ip_ = socket_->RemoteHostIP();
  });
}

void ctlZT::DataArrival(const std::string& data) {
  Trap(ctx_.errors, "ctlZT DataArrival", [&] {
    buffer_ += data;
    idle_ = kIdleSeconds;
    last_active_ = ctx_.Now();
    ip_ = socket_->RemoteHostIP();
    ctx_.TCPcon.Activity();
    size_t pos = 0;
    while (Busy && pos < buffer_.size()) {
      std::string_view prefix = std::string_view(buffer_).substr(pos);
      const auto length = static_cast<size_t>(GetInt(prefix, false));
      if (buffer_.size() - pos < length + 2) break;
      const std::string msg = buffer_.substr(pos + 2, length);
      pos += length + 2;
      if (msg.size() > header::kSize) ProcReq(msg);
    }
    // A close inside ProcReq has emptied the buffer already.
    buffer_.erase(0, std::min(pos, buffer_.size()));
    ctx_.Requests.ProcRequestQue();
  });
}

void ctlZT::ProcReq(const std::string& msg) {
  Trap(ctx_.errors, "ctlZT ProcReq", [&] {
    if ((ReadHeader(msg).flags1 & header::kQR) != 0) return;
    ctx_.state.CountRequest(ctx_.Now());
    const ParsedQuery query = ParseQuestion(ctx_.errors, msg);
    if (query.header.qdcount == 0 || msg.size() <= header::kSize) return Incomplete();
    const int opcode = query.header.OpCode();
    if (opcode != header::kOpQuery && opcode != header::kOpNotify) {
      ctx_.log.AddLine(0, OpCodeN(opcode) + " from " + ip_ + " (TCP)");
      return NotImplemented(msg, OpCodeN(opcode));
    }
    if (!query.question) return Incomplete();
    const Question& q = *query.question;
    if (q.qclass != kClassIN && q.qclass != kClassANY) {
      ctx_.log.AddLine(0, "DNS Request from " + ip_ + " for " + ClassN(q.qclass) + " (TCP)");
      return NotImplemented(msg, ClassN(q.qclass));
    }
    // Knot sends its NOTIFY over TCP: it is handled as one over UDP and
    // acknowledged on this connection.
    if (opcode == header::kOpNotify) return Notified(q, msg);
    if (q.type == kTypeAXFR) {
      ctx_.log.AddLine(0, "Zone Transfer Request from " + ip_ + " for " + q.name);
      idle_ = kTransferIdleSeconds;
      if (Backlogged()) return;
      batching_ = true;
      ctx_.AuthData.ZoneTransfer(query.header.id, query.header.RD(), q.name, HasMsTrailer(msg), ip_, *this);
      batching_ = false;
      Flush();
      return;
    }
    const std::string topic = TypeN(q.type) + "-record for " + q.name;
    ctx_.log.AddLine(0, "Request from " + ip_ + " for " + topic + " (TCP)");
    const EdnsCheck edns = CheckEdns(ctx_, ip_, msg);
    if (!edns.error_reply.empty()) {
      SendMessage(edns.error_reply);
      return;
    }
    if (!IsStoredType(q.type) && q.type != kTypeANY) return NotImplemented(msg, topic);
    idle_ = kIdleSeconds;
    ctx_.Requests.QueTCPRequest(query.header.id, query.header.RD(), q, edns.edns, ip_, ConID);
  });
}

void ctlZT::Notified(const Question& q, const std::string& msg) {
  if (q.type != kTypeSOA) return;
  ctx_.log.AddLine(0, "Zone Update Notification from " + ip_ + " about " + q.name);
  ProcNotify(ctx_, ip_, q.name, msg, [this](const std::string& reply) { SendMessage(reply); });
}

void ctlZT::Incomplete() { ctx_.log.AddLine(0, "Incomplete DNS Request from " + ip_ + " (TCP)"); }

// The request sent back with QR set and RCODE 4 (RA clear), everything else
// as received.
void ctlZT::NotImplemented(const std::string& msg, const std::string& topic) {
  ctx_.log.AddLine(0, "Sending answer to " + ip_ + " about " + topic);
  ctx_.log.AddLine(0, "-> Header: Not implemented.");
  SendMessage(EchoReply(msg, header::kRCodeNotImplemented));
}

void ctlZT::SendAnswer(const std::string& msg) {
  Trap(ctx_.errors, "ctlZT SendAnswer", [&] {
    idle_ = kIdleSeconds;
    last_active_ = ctx_.Now();
    if (!Backlogged()) SendMessage(msg);
  });
}

bool ctlZT::SendMessage(const std::string& msg) {
  out_ += MakeInt(static_cast<int32_t>(msg.size()));
  out_ += msg;
  return (batching_ && out_.size() < kBatchSize) || Flush();
}

bool ctlZT::Flush() {
  if (out_.empty()) return true;
  try {
    std::string batch;
    batch.swap(out_);
    socket_->Send(batch);
    ctx_.TCPcon.Activity();
    return true;
  } catch (const SocketError& e) {
    ctx_.log.AddLine(0, "ctlZT-WS Error" + NumText(e.Number()) + " " + e.what());
    return false;
  }
}

bool ctlZT::Backlogged() {
  const auto limit = static_cast<size_t>(std::max(0, ctx_.settings.TCPBUFFER));
  if (socket_->PendingOutput() <= limit) return false;
  ctx_.TCPcon.backlog_notice.Hit(std::to_string(limit) + " octets waiting for " + ip_ + " (TCP); closed");
  Free();
  return true;
}

void ctlZT::TimerTick() {
  idle_ = static_cast<int16_t>(idle_ - kTickSeconds);
  if (idle_ < 1) Free();
}

void ctlZT::OnPeerClose() {
  // A peer that closed its side right after asking still gets what was
  // queued for it; the idle allowance ends the connection after that.
  if (socket_->PendingOutput() == 0) Free();
}

void ctlZT::OnError(int number, const std::string& text) {
  Trap(ctx_.errors, "ctlZT DataArrival", [&] {
    Free();
    if (number != kWsaConnReset) throw SocketError(number, text);
  });
}

void ctlZT::Free() {
  ctx_.env.loop.EnableTimer(timer_, false);
  socket_->Close();
  buffer_.clear();
  out_.clear();
  Busy = false;
}

void TcpHandlers::Accept(TcpSocket& listener, int request_id) {
  MakeRoom(listener.RemoteHostIP(), ctx_.settings.TCPPERADDRESS, per_address_notice_);
  MakeRoom("", ctx_.settings.TCPCONNECTIONS, total_notice_);
  for (const auto& handler : TCPcon) {
    if (!handler->Busy) return handler->Accept(listener, request_id);
  }
  TCPcon.push_back(std::make_unique<ctlZT>(ctx_, connections_));
  TCPcon.back()->Accept(listener, request_id);
}

void TcpHandlers::MakeRoom(const std::string& ip, int limit, LimitNotice& notice) {
  int open = 0;
  ctlZT* idlest = nullptr;
  for (const auto& handler : TCPcon) {
    if (!handler->Busy || (!ip.empty() && handler->RemoteIP() != ip)) continue;
    ++open;
    if (idlest == nullptr || handler->LastActive() < idlest->LastActive()) idlest = handler.get();
  }
  if (idlest == nullptr || open < std::max(1, limit)) return;
  notice.Hit(std::to_string(limit) + " TCP connections" + (ip.empty() ? "" : " from " + ip) +
             "; the one idle longest closed");
  idlest->Close();
}

void TcpHandlers::SendAnswer(int32_t con_id, const std::string& msg) {
  for (const auto& handler : TCPcon) {
    if (handler->Busy && handler->ConID == con_id) return handler->SendAnswer(msg);
  }
}

}  // namespace vell
