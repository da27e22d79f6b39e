// The TCP connections this server's own queries take when an answer came
// back truncated over UDP: one connection per query, closed on its answer,
// on an error or the peer's close, and at its time-out, whichever comes
// first. The answer reaches the query layer only when it echoes the query
// sent on that connection; otherwise the query just goes unanswered and its
// request asks again after its own time-out, as after a lost datagram.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/platform/socket.h"
#include "query/outgoing_ids.h"
#include "server/context.h"
#include "server/inbound.h"

namespace vell {

class OutgoingTcp {
 public:
  OutgoingTcp(Context& ctx, InboundHandler& inbound, OutgoingIds& ids)
      : ctx_(ctx), inbound_(inbound), ids_(ids) {}
  ~OutgoingTcp();
  OutgoingTcp(const OutgoingTcp&) = delete;
  OutgoingTcp& operator=(const OutgoingTcp&) = delete;

  // Connects to ip's DNS port, sends msg there once connected and opens the
  // query; raises SocketError.
  void Send(const std::string& ip, const std::string& msg);
  size_t Connections() const { return connections_.size(); }

 private:
  struct Connection {
    std::unique_ptr<TcpSocket> socket;
    OutgoingQuery query;
    std::string msg;       // sent once connected, behind its length
    std::string received;  // octets read so far
    int timer = 0;
  };
  void OnData(uint64_t key, const std::string& data);
  void End(uint64_t key);

  Context& ctx_;
  InboundHandler& inbound_;
  OutgoingIds& ids_;
  std::map<uint64_t, Connection> connections_;
  uint64_t next_key_ = 0;
};

}  // namespace vell
