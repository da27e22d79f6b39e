#include "core/platform/event_loop.h"

#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

namespace vell {

namespace {

[[noreturn]] void ThrowSystem(const char* what) {
  throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

struct Source {
  int fd = -1;
  bool owns_fd = false;  // timerfd and signalfd belong to the loop
  uint32_t interest = 0;
  EventLoop::FdCallback cb;
  bool busy = false;           // being dispatched further up the stack
  uint64_t last_dispatch = 0;  // dispatch sequence number of its latest run
  int interval_ms = 0;         // timers only
  bool enabled = false;        // timers only
};

void Arm(int timer_fd, int interval_ms) {
  itimerspec period{};
  if (interval_ms > 0) {
    period.it_interval.tv_sec = interval_ms / 1000;
    period.it_interval.tv_nsec = static_cast<long>(interval_ms % 1000) * 1000000L;
    period.it_value = period.it_interval;
  }
  if (timerfd_settime(timer_fd, 0, &period, nullptr) != 0) ThrowSystem("timerfd_settime");
}

// Reads the one pending record of a timerfd or signalfd; false when nothing
// was pending (it was consumed or disarmed since the kernel reported it).
template <class Record>
bool ReadRecord(int fd, Record& record) {
  return ::read(fd, &record, sizeof record) == static_cast<ssize_t>(sizeof record);
}

}  // namespace

struct EventLoop::Impl {
  int epoll_fd = -1;
  std::unordered_map<int, std::shared_ptr<Source>> sources;
  int next_id = 1;
  uint64_t dispatch_seq = 0;
  bool stopped = false;
  Callback on_terminate;
  sigset_t old_mask{};

  int Add(int fd, bool owns_fd, uint32_t interest, FdCallback cb);
  std::shared_ptr<Source> Find(int id) const;
  void Remove(int id);
  void SetInterest(int id, uint32_t flag, bool on);
  void Dispatch(int timeout_ms);
  void Serve(const epoll_event& ev, uint64_t batch_start);
};

int EventLoop::Impl::Add(int fd, bool owns_fd, uint32_t interest, FdCallback cb) {
  const int id = next_id++;
  epoll_event ev{};
  ev.events = interest;
  ev.data.u64 = static_cast<uint64_t>(id);
  if (epoll_ctl(epoll_fd, EPOLL_CTL_ADD, fd, &ev) != 0) {
    if (owns_fd) ::close(fd);
    ThrowSystem("epoll_ctl add");
  }
  auto src = std::make_shared<Source>();
  src->fd = fd;
  src->owns_fd = owns_fd;
  src->interest = interest;
  src->cb = std::move(cb);
  sources.emplace(id, std::move(src));
  return id;
}

std::shared_ptr<Source> EventLoop::Impl::Find(int id) const {
  auto it = sources.find(id);
  return it == sources.end() ? nullptr : it->second;
}

// The Source object itself lives on while a dispatch further up the stack
// holds it, so a callback may remove its own source.
void EventLoop::Impl::Remove(int id) {
  auto it = sources.find(id);
  if (it == sources.end()) return;
  epoll_ctl(epoll_fd, EPOLL_CTL_DEL, it->second->fd, nullptr);
  if (it->second->owns_fd) ::close(it->second->fd);
  sources.erase(it);
}

void EventLoop::Impl::SetInterest(int id, uint32_t flag, bool on) {
  auto src = Find(id);
  if (!src) return;
  const uint32_t interest = on ? (src->interest | flag) : (src->interest & ~flag);
  if (interest == src->interest) return;
  epoll_event ev{};
  ev.events = interest;
  ev.data.u64 = static_cast<uint64_t>(id);
  if (epoll_ctl(epoll_fd, EPOLL_CTL_MOD, src->fd, &ev) != 0) ThrowSystem("epoll_ctl mod");
  src->interest = interest;
}

void EventLoop::Impl::Dispatch(int timeout_ms) {
  constexpr int kBatch = 64;
  epoll_event events[kBatch];
  const uint64_t batch_start = dispatch_seq;
  const int n = epoll_wait(epoll_fd, events, kBatch, timeout_ms);
  if (n < 0 && errno != EINTR) ThrowSystem("epoll_wait");
  for (int i = 0; i < n; ++i) Serve(events[i], batch_start);
}

void EventLoop::Impl::Serve(const epoll_event& ev, uint64_t batch_start) {
  auto src = Find(static_cast<int>(ev.data.u64));
  // Skipped: removed sources, sources running further up the stack (they
  // stay ready and are served later), and sources a nested DoEvents already
  // served after this batch was collected (their readiness is stale).
  if (!src || src->busy || src->last_dispatch > batch_start) return;
  const bool readable = ev.events & (EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP);
  const bool writable = ev.events & (EPOLLOUT | EPOLLERR);
  src->busy = true;
  src->last_dispatch = ++dispatch_seq;
  struct Release {
    Source& s;
    ~Release() { s.busy = false; }
  } release{*src};
  src->cb(readable, writable);
}

EventLoop::EventLoop() : impl_(std::make_unique<Impl>()) {
  impl_->epoll_fd = epoll_create1(EPOLL_CLOEXEC);
  if (impl_->epoll_fd < 0) ThrowSystem("epoll_create1");
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGINT);
  // Blocked, the signals wait in the kernel until the loop reads them, so
  // nothing runs inside a signal handler.
  sigprocmask(SIG_BLOCK, &mask, &impl_->old_mask);
  const int sig_fd = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
  if (sig_fd < 0) ThrowSystem("signalfd");
  impl_->Add(sig_fd, true, EPOLLIN, [this, sig_fd](bool, bool) {
    signalfd_siginfo info{};
    if (!ReadRecord(sig_fd, info)) return;
    if (impl_->on_terminate) {
      Callback cb = impl_->on_terminate;
      cb();
    } else {
      Stop();
    }
  });
}

EventLoop::~EventLoop() {
  for (auto& [id, src] : impl_->sources) {
    if (src->owns_fd) ::close(src->fd);
  }
  ::close(impl_->epoll_fd);
  sigprocmask(SIG_SETMASK, &impl_->old_mask, nullptr);
}

int EventLoop::Watch(int fd, bool want_write, FdCallback cb) {
  return impl_->Add(fd, false, EPOLLIN | (want_write ? EPOLLOUT : 0u), std::move(cb));
}

void EventLoop::SetWantWrite(int id, bool want_write) { impl_->SetInterest(id, EPOLLOUT, want_write); }

void EventLoop::SetWantRead(int id, bool want_read) { impl_->SetInterest(id, EPOLLIN, want_read); }

void EventLoop::Unwatch(int id) { impl_->Remove(id); }

int EventLoop::AddTimer(int interval_ms, Callback cb) {
  const int timer_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (timer_fd < 0) ThrowSystem("timerfd_create");
  // Expirations that piled up during a long tick are read as one: the tick
  // runs once, and the next comes at the following period boundary.
  const int id = impl_->Add(timer_fd, true, EPOLLIN, [timer_fd, cb = std::move(cb)](bool, bool) {
    uint64_t expirations = 0;
    if (ReadRecord(timer_fd, expirations)) cb();
  });
  impl_->sources.at(id)->interval_ms = interval_ms;
  return id;
}

void EventLoop::EnableTimer(int id, bool enabled) {
  auto src = impl_->Find(id);
  if (!src || src->enabled == enabled) return;  // enabling again keeps the cadence
  Arm(src->fd, enabled ? src->interval_ms : 0);
  src->enabled = enabled;
}

void EventLoop::SetTimerInterval(int id, int interval_ms) {
  auto src = impl_->Find(id);
  if (!src) return;
  src->interval_ms = interval_ms;
  if (src->enabled) Arm(src->fd, interval_ms);
}

void EventLoop::RemoveTimer(int id) { impl_->Remove(id); }

void EventLoop::OnTerminate(Callback cb) { impl_->on_terminate = std::move(cb); }

void EventLoop::Run() {
  while (!impl_->stopped) impl_->Dispatch(-1);
}

void EventLoop::Stop() { impl_->stopped = true; }

bool EventLoop::Stopped() const { return impl_->stopped; }

void EventLoop::DoEvents() { impl_->Dispatch(0); }

}  // namespace vell
