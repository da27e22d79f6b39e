// Message boxes while a console page is open (it has asked for the state
// within the last few seconds): kept until the page fetches them and shows
// each one; standard error otherwise.
#pragma once

#include <deque>
#include <string>

#include "core/clock.h"
#include "core/platform/message_box.h"

namespace vell {

class ConsoleMessageBoxes final : public MessageBoxes {
 public:
  explicit ConsoleMessageBoxes(const Clock& clock) : clock_(clock) {}
  void Show(const std::string& text, const std::string& title) override;
  // The boxes shown since the last call; they are then gone.
  std::deque<std::string> Take();
  // A page asked for the state now.
  void Polled() { last_poll_ = clock_.Now(); }

 private:
  const Clock& clock_;
  DateTime last_poll_ = -1;
  std::deque<std::string> pending_;
  StderrMessageBoxes fallback_;
};

}  // namespace vell
