// Runs an outside command (systemctl, the root-hints fetch); injectable so
// tests never touch the real system.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/platform/event_loop.h"

namespace vell {

class CommandRunner {
 public:
  // The command's exit status; -1 when it could not be started, was killed
  // or ran past its time limit.
  using Finished = std::function<void(int status)>;

  virtual ~CommandRunner() = default;
  // Runs argv[0] with the arguments, waits, returns the exit status.
  // Output is discarded, like a hidden window.
  virtual int Run(const std::vector<std::string>& argv) = 0;
  // Starts argv[0] and returns at once: the loop goes on serving while the
  // command runs, and calls finished when it ends. One still running after
  // limit_ms is killed with whatever it started. A command that cannot be
  // started calls finished before Start returns.
  virtual void Start(const std::vector<std::string>& argv, int limit_ms, Finished finished) = 0;
};

class ProcessRunner final : public CommandRunner {
 public:
  explicit ProcessRunner(EventLoop& loop) : loop_(loop) {}
  // Commands still running are killed: none outlives the run.
  ~ProcessRunner() override;
  ProcessRunner(const ProcessRunner&) = delete;
  ProcessRunner& operator=(const ProcessRunner&) = delete;

  int Run(const std::vector<std::string>& argv) override;
  void Start(const std::vector<std::string>& argv, int limit_ms, Finished finished) override;

 private:
  // A started command: its exit is watched through a pidfd, its limit by a
  // timer.
  struct Child {
    int pidfd = -1;
    int watch = -1;
    int timer = -1;
    Finished finished;
  };
  void Ended(pid_t pid);
  void Forget(const Child& child);

  EventLoop& loop_;
  std::map<pid_t, Child> children_;
};

// Remembers the commands; Run answers with a set status, and a started
// command runs until the test calls its Finished.
class FakeRunner final : public CommandRunner {
 public:
  int Run(const std::vector<std::string>& argv) override {
    commands.push_back(argv);
    return status;
  }
  void Start(const std::vector<std::string>& argv, int /*limit_ms*/, Finished finished) override {
    commands.push_back(argv);
    started.push_back(std::move(finished));
  }
  std::vector<std::vector<std::string>> commands;
  std::vector<Finished> started;
  int status = 0;
};

}  // namespace vell
