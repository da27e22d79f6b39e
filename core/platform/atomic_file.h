// Data files are rewritten whole: the new text goes to a temporary file
// beside the target, which is then renamed over it, so that a crash during a
// write leaves the old file intact.
#pragma once

#include <string>

namespace vell {

// Replaces the file at path with contents. Raises RunError (path/file access)
// when the file cannot be written; the old file is then unchanged.
void WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace vell
