// What the endpoints hand on: every message that passes their filters goes
// to an InboundHandler, so tests can feed messages in and capture them.
#pragma once

#include <string>

#include "query/dispatch.h"

namespace vell {

class TcpSocket;

class InboundHandler {
 public:
  virtual ~InboundHandler() = default;
  virtual void ProcDNSRequest(const std::string& ip, long port, const std::string& msg) = 0;
  virtual void ProcDNSAnswer(const std::string& ip, const std::string& msg, Transport via) = 0;
  // The flood guard's verdict on a datagram from ip: true drops it.
  virtual bool FloodBlocked(const std::string& ip) = 0;
  // A TCP connection waits on the listener; false leaves it unanswered.
  virtual bool AcceptConnection(TcpSocket& listener, int request_id) = 0;
  // A complete DHCP request sits in buffer (the endpoint's join buffer).
  virtual void Arrival(int index, const std::string& ip, std::string& buffer) = 0;
  // Commands of the reload port; zone names are normalised,
  // with the final dot.
  virtual void ReloadAll() = 0;
  virtual void ReloadZone(const std::string& zone) = 0;
  virtual void UnloadZone(const std::string& zone) = 0;
};

}  // namespace vell
