#include "query/request_queue.h"

#include <cmath>

#include "query/query_context.h"
#include "query/request.h"

namespace vell {

namespace {

constexpr int32_t kLastKey = 999999;
constexpr float kHalfDaySeconds = 43200;

// Sets the flag for the lifetime of the scope and clears it on every exit,
// errors included, so that the queue keeps running after one.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyScope() { flag_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& flag_;
};

bool SameQuestion(const clDNSRequest& a, const clDNSRequest& b) {
  return a.Request.name == b.Request.name && a.Request.type == b.Request.type && a.RequestRD == b.RequestRD;
}

}  // namespace

std::string RequestQueue::NewKey() {
  key_counter_ = key_counter_ >= kLastKey ? 0 : key_counter_ + 1;
  // "K" and seven digits, written without printf: one key per query.
  std::string key = "K0000000";
  size_t pos = key.size();
  for (int32_t n = key_counter_; n > 0; n /= 10) key[--pos] = static_cast<char>('0' + n % 10);
  return key;
}

void RequestQueue::Add(const std::shared_ptr<clDNSRequest>& request) {
  request->RequestKey = NewKey();
  active_.push_back(request);
}

bool RequestQueue::Admissible(const std::shared_ptr<clDNSRequest>& request) {
  int walked = 0;
  for (const auto& active : active_) {
    if (active->State == RequestState::kAnswered) continue;
    if (SameQuestion(*active, *request)) {
      active->TagRequests.push_back(request);
      return false;
    }
    ++walked;
  }
  if (walked >= ctx_.settings.MAXACTDNSREQ) {
    ctx_.log.AddLine(0, "*** Request dropped!");
    return false;
  }
  return true;
}

void RequestQueue::AdmitUDP(const std::shared_ptr<clDNSRequest>& request) {
  if (!Admissible(request)) return;
  if (request->RequestRD || busy_) {
    Add(request);
    if (busy_) return;
  }
  {
    BusyScope busy(busy_);
    YieldCheck();
    request->InitRequest();
    request->ProcRequest();
  }
  ProcRequestQue();
}

void RequestQueue::AddSubRequest(const std::shared_ptr<clDNSRequest>& request) {
  Add(request);
  ProcRequestQue();
}

std::shared_ptr<clDNSRequest> RequestQueue::Find(const std::string& key) const {
  for (const auto& request : active_) {
    if (request->RequestKey == key) return request;
  }
  return nullptr;
}

void RequestQueue::QueTCPRequest(int32_t ID, bool RD, Question question, ClientEdns edns,
                                 const std::string& IP, int32_t ConID) {
  Trap(ctx_.errors, "modDNS QueTCPRequest", [&] {
    auto request =
        std::make_shared<clDNSRequest>(ctx_, TcpClient{IP, ConID, edns}, ID, RD, std::move(question));
    if (Admissible(request)) Add(request);
  });
}

void RequestQueue::ProcRequestQue() {
  if (busy_) return;
  BusyScope busy(busy_);
  Trap(ctx_.errors, "modDNS ProcRequestQue", [&] { RunQueue(); });
}

void RequestQueue::RunQueue() {
  YieldCheck();
  size_t pos = 0;
  while (pos < active_.size()) {
    const std::shared_ptr<clDNSRequest> request = active_[pos];
    if (request->State == RequestState::kQueued) {
      request->InitRequest();
      request->ProcRequest();
      // A request whose processing failed would be found queued again and
      // again; it is given up instead.
      if (request->State == RequestState::kQueued) request->State = RequestState::kAnswered;
      // Processing may have changed the collection: start over.
      YieldCheck();
      pos = 0;
    } else if (request->State == RequestState::kAnswered) {
      active_.erase(active_.begin() + static_cast<std::ptrdiff_t>(pos));
    } else {
      ++pos;
    }
  }
}

void RequestQueue::RequestTimeOuts() {
  const DateTime now = ctx_.Now();
  // The count is read again at every step: asking may end or add requests.
  for (size_t pos = 0; pos < active_.size(); ++pos) {
    const std::shared_ptr<clDNSRequest> request = active_[pos];
    if (request->State == RequestState::kWaitingForServer && request->TimeOut < now) request->AskNS();
  }
}

void RequestQueue::YieldCheck() {
  const DateTime now = ctx_.Now();
  const float seconds = static_cast<float>((now - std::floor(now)) * kSecondsPerDay);
  // A mark far ahead means the clock has passed midnight since it was set.
  if (seconds >= yield_mark_ || yield_mark_ - seconds > kHalfDaySeconds) {
    yield_mark_ = seconds + 1;
    ctx_.DoEvents();
  }
}

}  // namespace vell
