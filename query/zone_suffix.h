// The "lies inside" test of the resolver.
#pragma once

#include <string>

namespace vell {

// Whether name lies inside zone: a textual suffix test on both names with
// "." appended. The suffix need not start at a label boundary, so
// "badexample.com." counts as inside "example.com."; every name lies
// inside the root ".".
inline bool LiesInside(const std::string& name, const std::string& zone) {
  return (name + ".").ends_with(zone + ".");
}

}  // namespace vell
