// Shared test fixtures: a temporary program directory and a fresh context
// with a fake clock.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "core/clock.h"
#include "core/platform/event_loop.h"
#include "core/platform/message_box.h"
#include "server/context.h"
#include "temp_dir.h"

namespace vell::test {

using testing::TempDir;

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// 2026-12-05 10:00:00 unless a test sets another time.
inline DateTime TestStart() { return FromCalendar({2026, 12, 5, 10, 0, 0}); }

struct TestContext {
  TempDir dir;
  FakeClock clock{TestStart()};
  FakeMessageBoxes boxes;
  EventLoop loop;
  Context ctx{clock, dir.Path(), boxes, loop};
};

}  // namespace vell::test
