// One thing a checker found in a file the server reads.
#pragma once

#include <string>

namespace vell {

struct LineFinding {
  int line = 0;      // 1-based; 0 for the file as a whole
  std::string text;  // the line as read
  std::string effect;
};

}  // namespace vell
