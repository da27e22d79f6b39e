#include "core/platform/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/error_report.h"
#include "temp_dir.h"

namespace vell {
namespace {

TEST(AtomicFile, ReplacesWholeFileAndLeavesNoTemporary) {
  testing::TempDir dir;
  dir.Write("data.dat", "old contents that are longer");
  WriteFileAtomically(dir.File("data.dat"), "new");
  EXPECT_EQ(dir.Read("data.dat"), "new");
  EXPECT_FALSE(std::filesystem::exists(dir.File("data.dat.tmp")));
}

TEST(AtomicFile, FailedRenameKeepsTargetAndCleansUp) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir.File("target/inner"));
  try {
    WriteFileAtomically(dir.File("target"), "x");
    FAIL() << "no error raised";
  } catch (const RunError& e) {
    EXPECT_EQ(e.Number(), kErrPathFileAccess);
  }
  EXPECT_TRUE(std::filesystem::exists(dir.File("target/inner")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("target.tmp")));
}

}  // namespace
}  // namespace vell
