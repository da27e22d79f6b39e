// mnuGetRoot's fetch of a fresh named.root: the operator's command runs in
// the program directory while the loop goes on answering, and once it has
// ended well the new root hints are loaded at once.
#pragma once

#include <functional>
#include <string>

#include "core/env.h"
#include "core/platform/command_runner.h"

namespace vell {

class RootFetch {
 public:
  // A fetch still running after this long is killed; the default command's
  // own limit is 30 s.
  static constexpr int kLimitMs = 120 * 1000;

  // load_perm: what reads the root hints, hosts file and permanent records.
  RootFetch(Env& env, CommandRunner& runner, std::string command, std::function<void()> load_perm)
      : env_(env), runner_(runner), command_(std::move(command)), load_perm_(std::move(load_perm)) {}

  // One fetch at a time: two would write the same files.
  void Start();

 private:
  void Finished(int status);

  Env& env_;
  CommandRunner& runner_;
  const std::string command_;
  const std::function<void()> load_perm_;
  bool running_ = false;
};

}  // namespace vell
