// QualifyName: relative zone-file names placed under their origin.
#include <gtest/gtest.h>

#include <tuple>

#include "dns/names.h"

namespace vell {
namespace {

TEST(QualifyNameTest, CleansAndPlacesUnderOrigin) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"example.com.", "www", "www.example.com."},
      {"example.com.", "Mail.Server", "mail.server.example.com."},
      {"example.com.", "WWW.Other.Org.", "www.other.org."},
      {"example.com.", " a .. b. ", "a.b.example.com."},  // ends in a blank, so relative
      {"example.com.", ".", "."},
      {".", "host", "host."},
      {"", "host", "host."}};
  for (const auto& [origin, name, expected] : cases) EXPECT_EQ(QualifyName(origin, name), expected) << name;
}

}  // namespace
}  // namespace vell
