// When a file was last written, in the server's own time count.
#pragma once

#include <string>

#include "core/clock.h"

namespace vell {

// The file's modification time as a local date-time; false when the file
// cannot be examined.
bool FileModified(const std::string& path, DateTime& when);

}  // namespace vell
