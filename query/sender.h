// Where the query layer's DNS messages leave: the server's UDP endpoint in a
// run, a recorder in tests.
#pragma once

#include <string>

namespace vell {

class DnsSender {
 public:
  virtual ~DnsSender() = default;
  // A query to another server's DNS port.
  virtual void SendRequest(const std::string& ip, const std::string& msg) = 0;
  // The same over a TCP connection of its own, for an answer that came back
  // truncated; the answer comes in through ProcDNSAnswer over TCP.
  virtual void SendRequestOverTcp(const std::string& ip, const std::string& msg) = 0;
  // A reply from the service port to a client.
  virtual void SendAnswer(const std::string& ip, long port, const std::string& msg) = 0;
};

}  // namespace vell
