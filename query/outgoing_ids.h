// The identifiers of the queries this server sends to other servers, and the
// queries still open. One object for the process: recursion, the SOA checks,
// the transfer client and NOTIFY all take their identifiers here. An
// identifier is drawn from the system's random source and is never one an
// open query holds; a response is let in only when it echoes an open query:
// the socket it left from, the address and port it went to, its identifier
// and question. Anyone who can send us datagrams then has to guess 16 bits
// of identifier and the socket's port, not count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/clock.h"
#include "dns/message.h"

namespace vell {

// A query sent, or the response that may answer one.
struct OutgoingQuery {
  uint16_t local_port = 0;  // of the socket the query left from
  std::string ip;           // the other server
  uint16_t port = 0;
  int32_t id = 0;
  Question question;
};

// The query or response msg as it went between local_port and ip:port;
// false when msg holds no whole question.
bool ReadOutgoing(ErrorSink& sink, std::string_view msg, OutgoingQuery& out);

class OutgoingIds {
 public:
  // A query's answer is waited for a second at most before it is asked
  // again elsewhere; one later than this answers nothing any more.
  static constexpr int kOpenSeconds = 10;

  explicit OutgoingIds(const Clock& clock) : clock_(clock) {}

  // A random identifier that no open query holds.
  int32_t Next();
  // The query has left.
  void Opened(OutgoingQuery query);
  // True when response answers an open query, which is then closed.
  bool Answered(const OutgoingQuery& response);
  size_t OpenCount() const { return open_.size(); }

 private:
  struct Open {
    OutgoingQuery query;
    DateTime until;
  };
  void ForgetExpired();

  const Clock& clock_;
  std::unordered_multimap<int32_t, Open> open_;
  DateTime next_sweep_ = 0;
};

}  // namespace vell
