// Data files are rewritten whole: the new text goes to a temporary file
// beside the target (path + ".tmp"), synced to disk, then renamed over it and
// the directory synced, so that a crash or power loss during a write leaves
// the old file or the new one, never a part. Readers never take a ".tmp"
// file: what a crash left there is overwritten by the next write.
#pragma once

#include <string>

namespace vell {

// Replaces the file at path with contents. Raises RunError (path/file access)
// when the file cannot be written; the old file is then unchanged.
void WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace vell
