#include "core/process_state.h"

namespace vell {

void ProcessState::CountRequest(DateTime now) {
  RequestCount += 1;
  const int second = SecondOfMinute(now);
  // Wider than the 16-bit counters of old: a busy server answers more than
  // 32767 queries a second, and the count must not fail the query.
  ++PerSecond[second];
  PerSecond[(second + 1) % 60] = 0;
}

void ProcessState::SetStatus(const std::string& text) {
  StatusText = text;
  if (WindowOpen[kMainWindow]) StatusPanel[1] = text;
}

}  // namespace vell
