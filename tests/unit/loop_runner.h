// Bounded ways to drive an event loop in tests: never longer than a limit.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "core/platform/event_loop.h"

namespace vell::test {

// Serves the loop until done() holds or the limit passes; returns done().
inline bool RunUntil(EventLoop& loop, const std::function<bool()>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(2)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    loop.DoEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Serves the loop for the whole duration.
inline void RunFor(EventLoop& loop, std::chrono::milliseconds duration) {
  RunUntil(
      loop, [] { return false; }, duration);
}

}  // namespace vell::test
