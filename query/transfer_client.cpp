// The zone-transfer client: queue, SOA check, AXFR over TCP and the
// periodic check of the secondary zones.
#include "query/transfer_client.h"

#include <algorithm>
#include <utility>

#include "core/platform/event_loop.h"
#include "core/platform/socket.h"
#include "core/text.h"
#include "dns/header.h"
#include "dns/message.h"
#include "dns/record_data.h"
#include "dns/wire.h"
#include "query/notify.h"
#include "query/query_context.h"

namespace vell {

namespace {

constexpr int kTransferTimerMs = 5000;
constexpr size_t kLengthOctets = 2;

class TcpTransferLink final : public TransferLink {
 public:
  TcpTransferLink(EventLoop& loop, ctlZTS& client) : loop_(loop), client_(client) {}

  void Connect(const std::string& host, uint16_t port) override {
    // A fresh socket per attempt: nothing of the last connection carries over.
    socket_ = std::make_unique<TcpSocket>(loop_);
    socket_->OnConnect = [this] { client_.OnConnect(); };
    socket_->OnDataArrival = [this](const std::string& data) { client_.OnData(data); };
    socket_->OnClose = [this] { client_.OnClosed(); };
    socket_->OnError = [this](int number, const std::string& text) { client_.OnError(number, text); };
    socket_->Connect(host, port);
  }
  void Send(const std::string& data) override {
    if (socket_) socket_->Send(data);
  }
  void Close() override {
    if (socket_) socket_->Close();
  }

 private:
  EventLoop& loop_;
  ctlZTS& client_;
  std::unique_ptr<TcpSocket> socket_;
};

}  // namespace

ctlZTS::ctlZTS(EventLoop& loop, QueryContext& ctx, uint16_t peer_port, std::unique_ptr<TransferLink> link)
    : loop_(loop), ctx_(ctx), peer_port_(peer_port), link_(std::move(link)) {
  if (!link_) link_ = std::make_unique<TcpTransferLink>(loop_, *this);
  timer_ = loop_.AddTimer(kTransferTimerMs, [this] { Tick(); });
}

ctlZTS::~ctlZTS() { loop_.RemoveTimer(timer_); }

void ctlZTS::SetTimer(bool on) {
  timer_on_ = on;
  loop_.EnableTimer(timer_, on);
}

void ctlZTS::Offer(const clDNSAnswer& answer) {
  if (State != 1 || answer.Id != SoaID || answer.Section2.empty()) return;
  const clDNSRecord& first = *answer.Section2.front();
  if (first.Name != CurName || first.RecType != kTypeSOA) return;
  GotSOA(ReadSoaData(first.Data).serial);
}

void ctlZTS::Que(const std::string& ZName) {
  Trap(ctx_.errors, "ctlZTS Que", [&] {
    // The zone being refreshed right now needs no second refresh.
    if (ZName == CurName && State != 0) return;
    if (std::find(queue_.begin(), queue_.end(), ZName) == queue_.end()) queue_.push_back(ZName);
    if (State == 0) ProcQ();
  });
}

void ctlZTS::Resume() {
  // A refresh cut short by a pause left its state behind with no timer to
  // end it; the zone's NextRefresh brings it back later.
  if (State == 0 || !timer_on_) {
    link_->Close();
    State = 0;
    ProcQ();
  }
}

void ctlZTS::ProcQ() {
  Trap(ctx_.errors, "ctlZTS ProcQ", [&] {
    SetTimer(false);
    if (!ctx_.state.ServerRunning) return;
    do {
      if (queue_.empty()) {
        State = 0;
        return;
      }
      CurName = queue_.front();
      queue_.pop_front();
      ctx_.AuthData.ZonePrimIP(CurName, primary_);
    } while (primary_.empty());
    ask_ms_ = true;
    bool expired = false;
    ctx_.AuthData.ZoneExpired(CurName, expired);
    if (expired) {
      // No data to compare serials with.
      DoTransfer();
      return;
    }
    SoaID = ctx_.QueryIds.Next();
    const std::string msg = BuildQuery(ctx_.errors, SoaID, false, {CurName, kTypeSOA, kClassIN});
    ctx_.log.AddLine(2, "Sending request to " + primary_ + " for SOA-record for " + CurName);
    SetTimer(true);
    State = 1;
    ctx_.sender.SendRequest(primary_, msg);
  });
}

void ctlZTS::GotSOA(int32_t Serial) {
  const size_t i = ctx_.AuthData.ZoneFind(CurName);
  if (i == kNotFound || ctx_.AuthData.Zones()[i]->PrimaryIP.empty()) {
    ProcQ();
    return;
  }
  clZone& zone = *ctx_.AuthData.Zones()[i];
  if (zone.Records.size() == 0) {
    DoTransfer();
    return;
  }
  // A plain comparison: serial-number arithmetic is not applied.
  if (zone.SOASerial >= Serial) {
    zone.Expires = ctx_.Now() + Seconds(zone.SOAExpire);
    zone.NextRefresh = ctx_.Now() + Seconds(zone.SOARefresh);
    ProcQ();
    return;
  }
  // The zone answers without records until the transfer is stored.
  ctx_.AuthData.ExpireZone(zone);
  DoTransfer();
}

void ctlZTS::DoTransfer() {
  SetTimer(true);
  State = 2;
  try {
    link_->Connect(primary_, peer_port_);
  } catch (const SocketError& e) {
    ctx_.log.AddLine(0, "ctlZTS StartZT WS Error" + NumText(e.Number()) + " " + e.what());
    link_->Close();
    SetTimer(false);
    ProcQ();
  }
}

void ctlZTS::OnConnect() {
  Trap(ctx_.errors, "ctlZTS WSConnect", [&] {
    if (State != 2) return;
    SetTimer(false);
    received_.clear();
    buffer_.clear();
    done_ = false;
    SoaID = ctx_.QueryIds.Next();
    std::string request = BuildQuery(ctx_.errors, SoaID, false, {CurName, kTypeAXFR, kClassIN});
    // "MS" asks for many records per message.
    if (ask_ms_) request += "MS";
    ctx_.log.AddLine(2, "Sending Zone Transfer Request to " + primary_ + " for " + CurName);
    SetTimer(true);
    State = 3;
    try {
      link_->Send(MakeInt(static_cast<int32_t>(request.size())) + request);
    } catch (const SocketError& e) {
      ctx_.log.AddLine(0, "ctlZTS WSConnect WS Error" + NumText(e.Number()) + " " + e.what());
      link_->Close();
      SetTimer(false);
      ProcQ();
    }
  });
}

void ctlZTS::OnData(const std::string& data) {
  Trap(ctx_.errors, "ctlZTS WS-DataArrival", [&] {
    if (State != 3) return;
    SetTimer(false);
    buffer_ += data;
    while (buffer_.size() >= kLengthOctets + 1 && !done_) {
      const size_t length = (static_cast<uint8_t>(buffer_[0]) << 8) | static_cast<uint8_t>(buffer_[1]);
      if (buffer_.size() < length + kLengthOctets) break;
      const std::string msg = buffer_.substr(kLengthOctets, length);
      buffer_.erase(0, length + kLengthOctets);
      if (!ParseMessage(msg)) return;
    }
    if (done_) {
      Finish();
      return;
    }
    // The time-out also covers the wait for the rest of a message.
    SetTimer(true);
  });
}

bool ctlZTS::ParseMessage(const std::string& msg) {
  const Header head = ReadHeader(msg);
  if (head.RCode() != 0) {
    // Some primaries reject the "MS" octets; they are asked once more
    // without them.
    if (head.RCode() == header::kRCodeFormErr && ask_ms_ && received_.empty()) {
      ask_ms_ = false;
      link_->Close();
      DoTransfer();
      return false;
    }
    return true;
  }
  const Message m = DecodeMessage(ctx_.errors, msg);
  for (const WireRecord& w : m.answer) {
    if (received_.empty() && w.type != kTypeSOA) break;
    if (!received_.empty() && w.type == kTypeSOA && w.name == CurName) {
      done_ = true;
      break;
    }
    if (!IsStoredType(w.type)) continue;
    received_.push_back(MakeRecord(ctx_.clock, Lifetime::kPermanent, w.name, w.type, w.data, w.ttl));
  }
  return true;
}

void ctlZTS::Finish() {
  State = 0;
  link_->Close();
  ctx_.log.AddLine(2, "Received Zone Transfer from " + primary_ + " for " + CurName);
  const std::vector<RecordPtr> records = std::move(received_);
  received_.clear();
  const std::string zone = CurName;
  // This server's own secondaries learn of the new copy.
  if (ctx_.AuthData.GotZTransfer(zone, records)) Notify(ctx_, zone);
  ProcQ();
}

void ctlZTS::OnClosed() {
  // The time-out ends the attempt unless the closing SOA came already.
  link_->Close();
}

void ctlZTS::OnError(int number, const std::string& text) {
  if (number == kWsaConnReset) return;
  // A refused or failed connection ends with the time-out's log line.
  (void)text;
  link_->Close();
}

void ctlZTS::Tick() {
  Trap(ctx_.errors, "ctlZTS Timer", [&] {
    SetTimer(false);
    if (State == 2 || State == 3) {
      link_->Close();
      ctx_.log.AddLine(2, "Failed to receive Zone Transfer from " + primary_ + " for " + CurName);
    }
    ProcQ();
  });
}

void CheckSecondaries(QueryContext& ctx) {
  Trap(ctx.errors, "clDNSAuthData CheckSecondaries", [&] {
    // A copy: queueing may start work that changes the zones' records.
    std::vector<ZonePtr> zones;
    for (size_t i = 0; i < ctx.AuthData.Zones().size(); ++i) zones.push_back(ctx.AuthData.Zones()[i]);
    for (const ZonePtr& zone : zones) {
      if (zone->PrimaryIP.empty()) continue;
      const DateTime now = ctx.Now();
      if (zone->Expires < now && zone->Records.size() > 0) {
        ctx.AuthData.ExpireZone(*zone);
        zone->SOARetry = 300;
        zone->NextRefresh = now + Seconds(300);
        ctx.soa_check.Que(zone->Name);
      } else if (zone->NextRefresh <= now) {
        // A failed attempt is retried after the retry interval.
        zone->NextRefresh = now + Seconds(zone->SOARetry);
        ctx.soa_check.Que(zone->Name);
      }
    }
  });
}

}  // namespace vell
