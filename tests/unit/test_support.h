// Shared test fixtures: a temporary program directory and a fresh context
// with a fake clock.
#pragma once

#include <string>
#include <vector>

#include "core/clock.h"
#include "core/platform/event_loop.h"
#include "core/platform/message_box.h"
#include "dns/answer.h"
#include "server/context.h"
#include "temp_dir.h"

namespace vell::test {

using testing::TempDir;

// The log lines kept so far, without their time of day ("hh:mm:ss   ").
inline std::vector<std::string> LogTexts(const Context& ctx) {
  std::vector<std::string> texts;
  for (const std::string& line : ctx.log.LogBuffer) texts.push_back(line.substr(11));
  return texts;
}

// 2026-12-05 10:00:00 unless a test sets another time.
// "AA rcode | answers | authority | additional", each section as join shows its records.
template <class Join>
std::string ShowAnswer(const clDNSAnswer& a, Join join) {
  return (a.AA ? "AA " : "") + std::to_string(a.RCode) + " | " + join(a.Section2) + " | " + join(a.Section3) +
         " | " + join(a.Section4);
}

inline DateTime TestStart() { return FromCalendar({2026, 12, 5, 10, 0, 0}); }

struct TestContext {
  TempDir dir;
  FakeClock clock{TestStart()};
  FakeMessageBoxes boxes;
  EventLoop loop;
  Context ctx{clock, dir.Path(), boxes, loop};
};

}  // namespace vell::test
