#include "core/platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/error_report.h"

namespace vell {

namespace {

[[noreturn]] void RaiseAccess(const std::string& path, int err) {
  throw RunError(kErrPathFileAccess, "Path/File access error: " + path + ": " + std::strerror(err));
}

bool WriteAll(int fd, const std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const ssize_t n = write(fd, contents.data() + done, contents.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// The rename is an entry of the directory: until the directory is on disk a
// power loss can bring the old file back. A directory that cannot be opened
// or synced leaves the new file in place all the same.
void SyncDirectory(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

void WriteFileAtomically(const std::string& path, const std::string& contents) {
  const std::string temp = path + ".tmp";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) RaiseAccess(temp, errno);
  // fsync before the rename: otherwise a power loss can leave an empty file
  // under the old name.
  const bool written = WriteAll(fd, contents) && fsync(fd) == 0;
  const int write_errno = errno;
  if (close(fd) != 0 || !written) {
    unlink(temp.c_str());
    RaiseAccess(temp, written ? errno : write_errno);
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int rename_errno = errno;
    unlink(temp.c_str());
    RaiseAccess(path, rename_errno);
  }
  SyncDirectory(path);
}

}  // namespace vell
