#include "core/platform/system_random.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "core/error_report.h"

namespace vell {

namespace {

uint32_t RandomWord() {
  uint32_t word = 0;
  for (;;) {
    const ssize_t n = getrandom(&word, sizeof word, 0);
    if (n == static_cast<ssize_t>(sizeof word)) return word;
    if (n < 0 && errno != EINTR)
      throw RunError(kErrInvalidCall, std::string("getrandom: ") + std::strerror(errno));
  }
}

}  // namespace

uint32_t SystemRandomBelow(uint32_t bound) {
  // Words above the last whole multiple of bound are drawn again, so that
  // no value is more likely than another.
  const uint32_t limit = UINT32_MAX - UINT32_MAX % bound;
  for (;;) {
    const uint32_t word = RandomWord();
    if (word < limit) return word % bound;
  }
}

}  // namespace vell
