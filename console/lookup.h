// The lookup page: a question sent to this server's own DNS port, as any
// client would send it, and the answer as text lines. The page asks, then
// polls for the result, so nothing waits inside the loop.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/env.h"
#include "core/platform/socket.h"

namespace vell {

class ConsoleLookup {
 public:
  ConsoleLookup(Env& env, uint16_t dns_port) : env_(env), dns_port_(dns_port) {}

  // The question's number, or an error text for a name or type that
  // cannot be asked.
  std::string Ask(const std::string& name, const std::string& type, int& id);
  // The answer's lines once it came (or the time-out's), else nothing.
  std::optional<std::vector<std::string>> Result(int id);

 private:
  void Arrived(const std::string& message);

  struct Pending {
    DateTime sent = 0;
    std::optional<std::vector<std::string>> lines;
  };

  Env& env_;
  const uint16_t dns_port_;
  std::unique_ptr<UdpSocket> socket_;
  std::map<int, Pending> asked_;
  std::deque<int> order_;  // the kept numbers, oldest first (numbers wrap)
  int next_id_ = 0;
};

// The lines shown for a response: the header's verdict and each record.
std::vector<std::string> AnswerLines(ErrorSink& sink, const std::string& message);

}  // namespace vell
