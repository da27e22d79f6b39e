#include "core/process_state.h"

#include "core/error_report.h"

namespace vell {

void ProcessState::CountRequest(DateTime now) {
  RequestCount += 1;
  const int second = ToCalendar(now).second;
  // The slots are 16-bit counters: the 32768th request within one second
  // overflows and ends the caller through its error report.
  PerSecond[second] = CheckedInt16(PerSecond[second] + 1.0);
  PerSecond[(second + 1) % 60] = 0;
}

}  // namespace vell
