// DNS over TCP: one connection handler (ctlZT) per accepted connection, and
// the handlers of the process (TCPcon), kept and reused.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/limit_notice.h"
#include "core/platform/socket.h"
#include "dns/message.h"
#include "zones/transfer_sink.h"

namespace vell {

struct QueryContext;

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
  const std::string& RemoteIP() const { return ip_; }
  // When the peer last sent, or was sent, something.
  DateTime LastActive() const { return last_active_; }
  // Ends the connection to make room for another.
  void Close() { Free(); }

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
  // True (after closing) when the peer has not read what it was sent: more
  // than TCPBUFFER octets wait. One transfer is queued whole, however large,
  // so that it leaves in order without blocking the loop; but a peer that
  // stopped reading is not given a second one behind it (nor an answer).
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
  DateTime last_active_ = 0;
};

class TcpHandlers {
 public:
  TcpHandlers(QueryContext& ctx, const Clock& clock, EventLog& log, std::function<void()> activity)
      : backlog_notice(clock, log),
        ctx_(ctx),
        activity_(std::move(activity)),
        per_address_notice_(clock, log),
        total_notice_(clock, log) {}

  // The first free handler takes the connection; with none free a new one
  // is added. Handlers are never destroyed while the server runs. At
  // TCPPERADDRESS connections from the requester, or TCPCONNECTIONS in all,
  // the one idle longest (of that address, or of all) is closed first.
  void Accept(TcpSocket& listener, int request_id);
  // Routes a reply to the busy handler with that ConID; dropped when the
  // connection is gone.
  void SendAnswer(int32_t con_id, const std::string& msg);
  // A send or arrival on a connection: the tray shows activity.
  void Activity() const { activity_(); }

  std::vector<std::unique_ptr<ctlZT>> TCPcon;
  LimitNotice backlog_notice;

 private:
  // Closes the busy connection idle longest among those from ip (every
  // one when ip is empty) when there are limit of them or more.
  void MakeRoom(const std::string& ip, int limit, LimitNotice& notice);

  QueryContext& ctx_;
  std::function<void()> activity_;
  int32_t connections_ = 0;
  LimitNotice per_address_notice_;
  LimitNotice total_notice_;
};

}  // namespace vell
