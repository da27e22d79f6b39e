// Runs an outside command (systemctl); injectable so tests never touch the
// real system.
#pragma once

#include <string>
#include <vector>

namespace vell {

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  // Runs argv[0] with the arguments, waits, returns the exit status (-1
  // when it could not be started). Output is discarded, like a hidden window.
  virtual int Run(const std::vector<std::string>& argv) = 0;
};

class ProcessRunner final : public CommandRunner {
 public:
  int Run(const std::vector<std::string>& argv) override;
};

// Remembers the commands and answers with a set status.
class FakeRunner final : public CommandRunner {
 public:
  int Run(const std::vector<std::string>& argv) override {
    commands.push_back(argv);
    return status;
  }
  std::vector<std::vector<std::string>> commands;
  int status = 0;
};

}  // namespace vell
