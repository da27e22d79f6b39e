// The identifier of every query this server sends to another server. One
// counter for the process: recursion, the transfer client and NOTIFY all
// take theirs from it, so no two outstanding queries share an identifier
// until 32767 more have been sent.
#pragma once

#include <cstdint>

namespace vell {

class QueryIdCounter {
 public:
  // Incremented before each use; runs 1..32767 and starts over at 1.
  int32_t Next() {
    value_ = value_ >= kLast ? 1 : value_ + 1;
    return value_;
  }

 private:
  static constexpr int32_t kLast = 32767;
  int32_t value_ = 0;
};

}  // namespace vell
