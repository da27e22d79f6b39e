#include "core/platform/command_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace vell {

namespace {

// Starts argv in a process group of its own, so that a kill reaches what
// it starts in turn (the shell's children); 0 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& argv) {
  if (argv.empty()) return 0;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // All three standard streams on /dev/null: the command runs unseen and
  // cannot read the console of an interactive run.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  // The loop blocks SIGTERM and SIGINT; the command must not inherit that.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
  pid_t pid = 0;
  // posix_spawnp forks and execs; unlike a bare fork/exec it reports a
  // command that cannot be started to the parent.
  const int spawned = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : 0;
}

int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Never 0: kill(0) would reach this process's own group.
void KillGroup(pid_t pid) {
  if (pid > 0) ::kill(-pid, SIGKILL);
}

// Through the system call: glibc 2.36's <sys/pidfd.h> declares pidfd_open
// without C linkage, so C++ cannot link against it. The descriptor is
// close-on-exec.
int PidFd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

}  // namespace

int ProcessRunner::Run(const std::vector<std::string>& argv) {
  const pid_t pid = Spawn(argv);
  return pid > 0 ? Wait(pid) : -1;
}

void ProcessRunner::Start(const std::vector<std::string>& argv, int limit_ms, Finished finished) {
  const pid_t pid = Spawn(argv);
  const int pidfd = pid > 0 ? PidFd(pid) : -1;
  if (pidfd < 0) {
    if (pid > 0) {
      KillGroup(pid);
      Wait(pid);
    }
    finished(-1);
    return;
  }
  Child& child = children_[pid];
  child.pidfd = pidfd;
  child.finished = std::move(finished);
  // The pidfd turns readable when the process has ended.
  child.watch = loop_.Watch(pidfd, false, [this, pid](bool, bool) { Ended(pid); });
  // Killed, it ends at once, and its end comes through the pidfd as usual.
  child.timer = loop_.AddTimer(limit_ms, [pid] { KillGroup(pid); });
  loop_.EnableTimer(child.timer, true);
}

void ProcessRunner::Ended(pid_t pid) {
  const auto it = children_.find(pid);
  if (it == children_.end()) return;
  const Finished finished = std::move(it->second.finished);
  Forget(it->second);
  children_.erase(it);
  finished(Wait(pid));
}

void ProcessRunner::Forget(const Child& child) {
  loop_.RemoveTimer(child.timer);
  loop_.Unwatch(child.watch);
  ::close(child.pidfd);
}

ProcessRunner::~ProcessRunner() {
  for (const auto& [pid, child] : children_) {
    KillGroup(pid);
    Wait(pid);
    Forget(child);
  }
}

}  // namespace vell
