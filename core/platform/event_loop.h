// The one event loop of the process: every socket and timer is a source in
// it, and events are delivered one at a time on the one thread. DoEvents()
// runs what is ready now, once, and may be called from inside a handler; a
// source already being dispatched further up the stack is skipped then, so a
// handler is never re-entered through its own source.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

namespace vell {

class EventLoop {
 public:
  using Callback = std::function<void()>;
  // readable / writable as reported by the kernel for the watched descriptor.
  using FdCallback = std::function<void(bool readable, bool writable)>;

  EventLoop();
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Watch a descriptor for readability, and for writability while
  // want_write is set. Returns the source id.
  int Watch(int fd, bool want_write, FdCallback cb);
  void SetWantWrite(int id, bool want_write);
  // Stops (or resumes) watching for readability, e.g. after end of stream,
  // where the descriptor would otherwise stay readable for ever.
  void SetWantRead(int id, bool want_read);
  // Safe to call from inside the source's own callback.
  void Unwatch(int id);

  // A periodic timer, created disabled. Ticks never overlap: a tick that
  // runs long simply delays the next.
  int AddTimer(int interval_ms, Callback cb);
  void EnableTimer(int id, bool enabled);
  // A new period; an enabled timer starts it from now.
  void SetTimerInterval(int id, int interval_ms);
  void RemoveTimer(int id);

  // SIGTERM and SIGINT become this loop event (never handled inside the
  // signal handler itself). The loop blocks both signals for its lifetime;
  // without a handler a termination request simply stops the loop.
  void OnTerminate(Callback cb);

  // Runs until Stop(); returns at once when Stop() came earlier (say from a
  // termination request served by a DoEvents() before Run()).
  void Run();
  void Stop();
  bool Stopped() const;

  // Runs whatever is ready now, once, without blocking.
  void DoEvents();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vell
