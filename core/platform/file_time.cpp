#include "core/platform/file_time.h"

#include <sys/stat.h>

namespace vell {

bool FileModified(const std::string& path, DateTime& when) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  when = FromUnixTime(st.st_mtim.tv_sec);
  return true;
}

}  // namespace vell
