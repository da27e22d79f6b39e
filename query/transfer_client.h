// The zone-transfer client ctlZTS: works through a queue of secondary zones
// one at a time, asks each zone's primary for its SOA over UDP, and fetches
// the zone by AXFR over TCP when the primary is newer or the zone is empty.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "dns/record.h"
#include "query/soa_check.h"

namespace vell {

struct QueryContext;
class EventLoop;

// The TCP connection to a primary; its events come back through the
// client's OnConnect, OnData, OnClosed and OnError.
class TransferLink {
 public:
  virtual ~TransferLink() = default;
  // Asynchronous; may raise SocketError at once.
  virtual void Connect(const std::string& host, uint16_t port) = 0;
  virtual void Send(const std::string& data) = 0;
  virtual void Close() = 0;
};

class ctlZTS final : public SoaCheck {
 public:
  // ctx is only kept here, not used, so the client may be made before it.
  // Without a link of its own the client connects with a TcpSocket.
  ctlZTS(EventLoop& loop, QueryContext& ctx, uint16_t peer_port,
         std::unique_ptr<TransferLink> link = nullptr);
  ~ctlZTS() override;
  ctlZTS(const ctlZTS&) = delete;
  ctlZTS& operator=(const ctlZTS&) = delete;

  void Offer(const clDNSAnswer& answer) override;
  void Que(const std::string& ZName) override;
  void Resume() override;

  void ProcQ();
  void DoTransfer();
  void GotSOA(int32_t Serial);

  // Events of the link and the 5 s timer.
  void OnConnect();
  void OnData(const std::string& data);
  void OnClosed();
  void OnError(int number, const std::string& text);
  void Tick();

  std::string CurName;
  int32_t SoaID = 0;
  int16_t State = 0;  // 0 idle, 1 SOA query sent, 2 connecting, 3 receiving

  const std::deque<std::string>& Queue() const { return queue_; }
  bool TimerEnabled() const { return timer_on_; }

 private:
  void SetTimer(bool on);
  // One whole transfer message; false when the request is being sent again.
  bool ParseMessage(const std::string& msg);
  void Finish();

  EventLoop& loop_;
  QueryContext& ctx_;
  uint16_t peer_port_;
  std::unique_ptr<TransferLink> link_;
  int timer_ = 0;
  bool timer_on_ = false;
  std::string primary_;
  std::deque<std::string> queue_;
  std::vector<RecordPtr> received_;
  std::string buffer_;
  bool done_ = false;
  // Whether the transfer request carries "MS"; cleared for one retry when a
  // primary rejects it with FORMERR.
  bool ask_ms_ = true;
};

// The once-a-minute check: expires zones whose data are too old and queues
// the zones whose refresh time has come.
void CheckSecondaries(QueryContext& ctx);

}  // namespace vell
