#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "ctl/vellctl.h"

int main(int argc, char** argv) {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  const std::string home = ec ? std::string(".") : self.parent_path().string();
  return vell::ctl::Run(std::vector<std::string>(argv + 1, argv + argc), home, std::cout, std::cerr);
}
