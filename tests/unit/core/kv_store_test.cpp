#include "core/platform/kv_store.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace vell {
namespace {

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
