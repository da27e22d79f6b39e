#include "console/message_boxes.h"

#include <utility>

namespace vell {

namespace {

// A page that stops asking must not make the queue grow without end.
constexpr size_t kMaxPending = 20;
// The page asks every second; one that has not asked for this long is gone.
constexpr double kPageGoneSeconds = 5;

}  // namespace

void ConsoleMessageBoxes::Show(const std::string& text, const std::string& title) {
  if (last_poll_ < 0 || clock_.Now() > last_poll_ + Seconds(kPageGoneSeconds)) {
    fallback_.Show(text, title);
    return;
  }
  if (pending_.size() >= kMaxPending) pending_.pop_front();
  pending_.push_back(text);
}

std::deque<std::string> ConsoleMessageBoxes::Take() { return std::exchange(pending_, {}); }

}  // namespace vell
