// The active requests of the process: admission with duplicate folding and
// the limit, the queue run, and the busy flag that keeps request processing
// to one at a time while pending events are let in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "query/request.h"

namespace vell {

struct QueryContext;

class RequestQueue {
 public:
  explicit RequestQueue(QueryContext& ctx) : ctx_(ctx) {}

  // A UDP query (Level 0): answered at once unless it asks for recursion or
  // another request is being processed, in which case it is queued.
  void AdmitUDP(const std::shared_ptr<clDNSRequest>& request);
  // A query read by the TCP connection handler whose ConID is given; it
  // waits in the queue until the handler runs it.
  void QueTCPRequest(int32_t ID, bool RD, Question question, ClientEdns edns, const std::string& IP,
                     int32_t ConID);
  // A sub-request skips the duplicate and limit checks; it is processed
  // now unless another request is being processed.
  void AddSubRequest(const std::shared_ptr<clDNSRequest>& request);
  // The active request with that key, or nullptr.
  std::shared_ptr<clDNSRequest> Find(const std::string& key) const;
  // Processes every queued request; returns at once while busy.
  void ProcRequestQue();
  // The timer's walk: requests whose outgoing query went unanswered ask again.
  void RequestTimeOuts();
  // Pausing the server forgets every active request without answering it.
  void DropAll() { active_.clear(); }

  // The next key: "K" and the counter in seven digits; wraps after 999999.
  std::string NewKey();
  const std::vector<std::shared_ptr<clDNSRequest>>& Active() const { return active_; }
  bool Busy() const { return busy_; }

 private:
  // False when the request was folded into an identical active one, or
  // dropped because the limit is reached.
  bool Admissible(const std::shared_ptr<clDNSRequest>& request);
  void Add(const std::shared_ptr<clDNSRequest>& request);
  void RunQueue();
  void YieldCheck();

  QueryContext& ctx_;
  std::vector<std::shared_ptr<clDNSRequest>> active_;  // in admission order
  bool busy_ = false;
  int32_t key_counter_ = 0;
  float yield_mark_ = 0;  // seconds since midnight of the next yield
};

}  // namespace vell
