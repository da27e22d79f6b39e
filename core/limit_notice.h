// The log line of a resource bound that was hit: written at most once a
// minute per bound, so that a client pressing against it cannot fill the log.
#pragma once

#include <string>

#include "core/clock.h"
#include "core/event_log.h"

namespace vell {

class LimitNotice {
 public:
  LimitNotice(const Clock& clock, EventLog& log) : clock_(clock), log_(log) {}

  // Logs "** Limit reached: " + text unless this bound did so within the
  // last minute.
  void Hit(const std::string& text) {
    const DateTime now = clock_.Now();
    if (now < quiet_until_) return;
    quiet_until_ = now + Minutes(1);
    log_.AddLine(0, "** Limit reached: " + text);
  }

 private:
  const Clock& clock_;
  EventLog& log_;
  DateTime quiet_until_ = 0;
};

}  // namespace vell
