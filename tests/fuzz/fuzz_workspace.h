// A scratch directory for the fuzz targets that go through files: under
// $TMPDIR when set, so that runs can use a tmpfs such as /dev/shm (every
// input writes, syncs and renames files).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vell::fuzz {

struct Workspace {
  explicit Workspace(const std::string& name) {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vell-fuzz-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) abort();
    dir = pattern;
  }
  ~Workspace() { std::filesystem::remove_all(dir); }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  std::string File(const std::string& name) const { return dir + "/" + name; }
  void Write(const std::string& name, const uint8_t* data, size_t size) const {
    std::ofstream(File(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<long>(size));
  }
  std::string dir;
};

}  // namespace vell::fuzz
