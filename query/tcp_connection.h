// DNS over TCP: one connection handler (ctlZT) per accepted connection, and
// the handlers of the process (TCPcon), kept and reused.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/socket.h"
#include "dns/message.h"
#include "zones/transfer_sink.h"

namespace vell {

struct QueryContext;

// Octets a connection may still have waiting to be written when it asks for
// more. One transfer is queued whole, however large, so that it leaves in
// order without blocking the loop; but a peer that stopped reading is not
// given a second one behind it (nor an answer): its connection is closed.
constexpr size_t kMaxPendingOutput = 64 * 1024;

class ctlZT final : public TransferSink {
 public:
  ctlZT(QueryContext& ctx, int32_t& connections);
  ~ctlZT() override;
  ctlZT(const ctlZT&) = delete;
  ctlZT& operator=(const ctlZT&) = delete;

  bool Busy = false;
  int32_t ConID = 0;

  // Takes over the connection waiting on listener.
  void Accept(TcpSocket& listener, int request_id);
  // Octets received: whole length-prefixed messages go to ProcReq, then the
  // request queue runs once.
  void DataArrival(const std::string& data);
  // One message without its length prefix.
  void ProcReq(const std::string& msg);
  // The reply to a query this connection queued.
  void SendAnswer(const std::string& msg);
  // The 30 s timer: the idle allowance runs down and ends the connection.
  void TimerTick();
  int16_t IdleAllowance() const { return idle_; }
  const TcpSocket& Socket() const { return *socket_; }

  // Sends msg with its length prefix (while a transfer is written, once a
  // batch is full); false after a send error (logged).
  bool SendMessage(const std::string& msg) override;

 private:
  void NotImplemented(const std::string& msg, const std::string& topic);
  // A NOTIFY that came over this connection.
  void Notified(const Question& q, const std::string& msg);
  void Incomplete();
  // Writes what SendMessage has gathered; false after a send error (logged).
  bool Flush();
  // True (after closing) when the peer has not read what it was sent.
  bool Backlogged();
  void OnError(int number, const std::string& text);
  void OnPeerClose();
  void Free();

  QueryContext& ctx_;
  int32_t& connections_;  // the process-wide connection counter
  std::unique_ptr<TcpSocket> socket_;
  int timer_ = 0;
  std::string buffer_;     // received octets not yet taken as whole messages
  std::string out_;        // framed messages not yet handed to the socket
  bool batching_ = false;  // a transfer is being written
  std::string ip_;
  int16_t idle_ = 0;  // seconds the connection may stay idle
};

class TcpHandlers {
 public:
  TcpHandlers(QueryContext& ctx, std::function<void()> activity)
      : ctx_(ctx), activity_(std::move(activity)) {}

  // The first free handler takes the connection; with none free a new one
  // is added. Handlers are never destroyed while the server runs.
  void Accept(TcpSocket& listener, int request_id);
  // Routes a reply to the busy handler with that ConID; dropped when the
  // connection is gone.
  void SendAnswer(int32_t con_id, const std::string& msg);
  // A send or arrival on a connection: the tray shows activity.
  void Activity() const { activity_(); }

  std::vector<std::unique_ptr<ctlZT>> TCPcon;

 private:
  QueryContext& ctx_;
  std::function<void()> activity_;
  int32_t connections_ = 0;
};

}  // namespace vell
