// Files replaced whole, and the key-value store kept in one.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/error_report.h"
#include "core/platform/atomic_file.h"
#include "core/platform/kv_store.h"
#include "temp_dir.h"

namespace vell {
namespace {

TEST(AtomicFile, ReplacesWholeFileOrOnFailureKeepsTheTarget) {
  testing::TempDir dir;
  dir.Write("data.dat", "old contents that are longer");
  WriteFileAtomically(dir.File("data.dat"), "new");
  EXPECT_EQ(dir.Read("data.dat"), "new");
  std::filesystem::create_directories(dir.File("target/inner"));
  try {
    WriteFileAtomically(dir.File("target"), "x");
    ADD_FAILURE() << "no error raised";
  } catch (const RunError& e) {
    EXPECT_EQ(e.Number(), kErrPathFileAccess);
  }
  EXPECT_TRUE(std::filesystem::exists(dir.File("target/inner")));
  for (const char* temporary : {"data.dat.tmp", "target.tmp"}) {
    EXPECT_FALSE(std::filesystem::exists(dir.File(temporary))) << temporary;
  }
}

TEST(KeyValueStore, ValuesSurviveReopeningAndWhatOneLineCannotHoldIsRefused) {
  testing::TempDir dir;
  KeyValueStore store(dir.File("settings.kv"));
  EXPECT_EQ(store.Get("Vellion"), "");
  EXPECT_TRUE(store.Set("Vellion", "/opt/vell/vellmain -n"));
  EXPECT_TRUE(store.Set("Layout", "a=b"));
  EXPECT_TRUE(store.Set("Vellion", ""));
  const std::pair<const char*, const char*> refused[] = {{"a=b", "x"}, {"", "x"}, {"key", "two\nlines"}};
  for (const auto& [key, value] : refused) EXPECT_FALSE(store.Set(key, value)) << key;

  KeyValueStore reopened(dir.File("settings.kv"));
  EXPECT_EQ(reopened.Get("Vellion"), "");
  EXPECT_EQ(reopened.Get("Layout"), "a=b");
  EXPECT_EQ(dir.Read("settings.kv"), "Layout=a=b\nVellion=\n");
  EXPECT_FALSE(KeyValueStore(dir.File("missing/settings.kv")).Set("key", "x"));
}

}  // namespace
}  // namespace vell
