#include "server/root_fetch.h"

namespace vell {

namespace {
constexpr char kContext[] = "frmMain mnuGetRoot";
}

void RootFetch::Start() {
  if (running_) {
    env_.log.AddLine(0, "Root hints fetch already running.");
    return;
  }
  running_ = true;
  // The command runs in the program directory, given to the shell as $1.
  const bool started = Trap(env_.errors, kContext, [&] {
    runner_.Start({"/bin/sh", "-c", "cd \"$1\" && " + command_, "sh", env_.home}, kLimitMs,
                  [this](int status) { Finished(status); });
  });
  if (!started) running_ = false;
}

void RootFetch::Finished(int status) {
  running_ = false;
  Trap(env_.errors, kContext, [&] {
    if (status != 0) {
      env_.log.AddLine(0, "Root hints fetch failed.");
      return;
    }
    load_perm_();
  });
}

}  // namespace vell
