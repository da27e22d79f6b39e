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
}

}  // namespace vell
