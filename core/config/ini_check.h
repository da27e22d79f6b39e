// What an administrator learns before the server reads vellion.ini: the
// lines it ignores, stops at, or drops or changes when it rewrites the file.
#pragma once

#include <string>
#include <vector>

#include "core/line_finding.h"

namespace vell {

struct IniCheck {
  bool found = false;  // the file exists
  std::vector<LineFinding> findings;
  std::string recursion;  // who may use recursion, in words
};

IniCheck CheckINI(const std::string& path);

}  // namespace vell
