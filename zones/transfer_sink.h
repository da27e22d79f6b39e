// Where a zone transfer's messages go: the connection that asked for it.
#pragma once

#include <string>

namespace vell {

class TransferSink {
 public:
  virtual ~TransferSink() = default;
  // Sends one whole DNS message (the sink adds any framing). False when the
  // send failed (the sink has reported it): the transfer is abandoned.
  virtual bool SendMessage(const std::string& message) = 0;
};

}  // namespace vell
