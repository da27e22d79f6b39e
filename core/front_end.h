// The two seams between the socket front end and the protocol code: what
// arrives goes to an InboundHandler, and the protocol code sends only
// through a DnsSender, so tests can feed messages in and capture replies.
#pragma once

#include <string>

namespace vell {

class TcpSocket;

class DnsSender {
 public:
  virtual ~DnsSender() = default;
  // A query to another server's DNS port.
  virtual void SendRequest(const std::string& ip, const std::string& msg) = 0;
  // A reply from the service port to a client.
  virtual void SendAnswer(const std::string& ip, long port, const std::string& msg) = 0;
};

class InboundHandler {
 public:
  virtual ~InboundHandler() = default;
  virtual void ProcDNSRequest(const std::string& ip, long port, const std::string& msg) = 0;
  virtual void ProcDNSAnswer(const std::string& ip, const std::string& msg) = 0;
  // The flood guard's verdict on a datagram from ip: true drops it.
  virtual bool FloodBlocked(const std::string& ip) = 0;
  // A TCP connection waits on the listener; false leaves it unanswered.
  virtual bool AcceptConnection(TcpSocket& listener, int request_id) = 0;
  // A complete DHCP request sits in buffer (the socket's receive buffer).
  virtual void Arrival(int index, const std::string& ip, std::string& buffer) = 0;
};

}  // namespace vell
