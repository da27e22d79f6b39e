#include "core/platform/event_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "loop_runner.h"

namespace vell {
namespace {

using namespace std::chrono_literals;
using test::RunFor;
using test::RunUntil;

// A pipe with one octet waiting: its read end stays readable until drained.
struct ReadyPipe {
  int fds[2] = {-1, -1};
  ReadyPipe() { EXPECT_TRUE(pipe(fds) == 0 && write(fds[1], "x", 1) == 1); }
  ~ReadyPipe() {
    for (int fd : fds) close(fd);
  }
};

TEST(EventLoopTest, NestedDoEventsSkipsTheRunningSourceAndServesOthers) {
  EventLoop loop;
  ReadyPipe a, b;
  std::vector<std::string> trace;
  int a_depth = 0;
  loop.Watch(a.fds[0], false, [&](bool readable, bool) {
    ASSERT_TRUE(readable);
    trace.push_back(a_depth == 0 ? "a" : "a re-entered");
    ++a_depth;
    if (trace.size() == 1) loop.DoEvents();  // a is still readable here
    --a_depth;
  });
  // b is never drained: it is served once per DoEvents, even though the
  // outer batch also holds it after the nested run served it.
  loop.Watch(b.fds[0], false, [&](bool, bool) { trace.push_back("b"); });

  loop.DoEvents();
  const std::vector<std::string> first_turn = trace;
  // a stayed ready (level-triggered) and is served by a later turn.
  loop.DoEvents();

  EXPECT_TRUE(first_turn == (std::vector<std::string>{"a", "b"}) ||
              first_turn == (std::vector<std::string>{"b", "a", "b"}))
      << testing::PrintToString(first_turn);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "a"), 2);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "a re-entered"), 0);
}

TEST(EventLoopTest, SourceRemovedInsideItsOwnCallbackIsNotServedAgain) {
  EventLoop loop;
  ReadyPipe a, b;
  int a_calls = 0, b_calls = 0;
  int a_id = 0, b_id = 0;
  a_id = loop.Watch(a.fds[0], false, [&](bool, bool) {
    ++a_calls;
    loop.Unwatch(a_id);
    loop.Unwatch(b_id);  // also ready, maybe in this same batch
    loop.DoEvents();
  });
  b_id = loop.Watch(b.fds[0], false, [&](bool, bool) {
    ++b_calls;
    loop.Unwatch(b_id);
    loop.Unwatch(a_id);
  });
  RunFor(loop, 20ms);
  EXPECT_EQ(a_calls + b_calls, 1);
  loop.SetWantWrite(a_id, true);  // gone: ignored
  loop.SetWantRead(b_id, false);
}

TEST(EventLoopTest, TimerTicksOnlyWhileEnabledAtItsLatestIntervalAndUntilRemovedInItsOwnTick) {
  EventLoop loop;
  int ticks = 0;
  const int id = loop.AddTimer(10, [&] { ++ticks; });
  RunFor(loop, 50ms);
  EXPECT_EQ(ticks, 0) << "created disabled";

  loop.SetTimerInterval(id, 60000);
  loop.EnableTimer(id, true);
  loop.SetTimerInterval(id, 10);  // starts at once
  EXPECT_TRUE(RunUntil(loop, [&] { return ticks >= 3; }));

  loop.EnableTimer(id, false);
  loop.SetTimerInterval(id, 5);  // stays off
  const int at_disable = ticks;
  RunFor(loop, 50ms);
  EXPECT_EQ(ticks, at_disable);

  int own = 0, self = 0;
  self = loop.AddTimer(5, [&] {
    ++own;
    loop.RemoveTimer(self);
  });
  loop.EnableTimer(self, true);
  RunFor(loop, 60ms);
  EXPECT_EQ(own, 1);
}

TEST(EventLoopTest, LongTickIsNotOverlappedAndDelaysTheNext) {
  EventLoop loop;
  int ticks = 0, depth = 0, max_depth = 0;
  const int id = loop.AddTimer(100, [&] {
    ++ticks;
    max_depth = std::max(max_depth, ++depth);
    if (ticks == 1) RunFor(loop, 350ms);  // three more periods pass inside
    --depth;
  });
  loop.EnableTimer(id, true);
  ASSERT_TRUE(RunUntil(loop, [&] { return ticks >= 1; }));
  EXPECT_EQ(ticks, 1);
  // The expirations that piled up make one tick, not three.
  loop.DoEvents();
  loop.DoEvents();
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(max_depth, 1);
}

TEST(EventLoopTest, SigtermBecomesTheTerminateEventAndSigintWithoutHandlerStopsTheLoop) {
  {
    EventLoop loop;
    int terminations = 0;
    loop.OnTerminate([&] {
      ++terminations;
      loop.Stop();
    });
    int kick = 0;
    kick = loop.AddTimer(10, [&] {
      loop.EnableTimer(kick, false);  // one signal only: a spare one would end the test program
      kill(getpid(), SIGTERM);
    });
    const int guard = loop.AddTimer(2000, [&] { loop.Stop(); });  // bounds Run() if the signal is lost
    loop.EnableTimer(kick, true);
    loop.EnableTimer(guard, true);
    loop.Run();
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(loop.Stopped());
  }
  EventLoop loop;
  kill(getpid(), SIGINT);
  EXPECT_TRUE(RunUntil(loop, [&] { return loop.Stopped(); }));
  loop.Run();  // already stopped: returns at once
}

}  // namespace
}  // namespace vell
