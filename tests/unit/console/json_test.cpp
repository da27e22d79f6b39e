// The console's JSON strings and the form bodies it reads.
#include "console/json.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace vell {
namespace {

TEST(ConsoleJson, Strings) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"10:00   line\r\n", "\"10:00   line\\u000d\\u000a\""},
      {std::string("caf\xe9\x7f", 5), "\"caf\\u00e9\\u007f\""},
      {"~ ", "\"~ \""},
  };
  for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json) << text;
  EXPECT_EQ(JsonList({}), "[]");
  EXPECT_EQ(JsonList({"a", "b"}), "[\"a\",\"b\"]");
}

TEST(ConsoleJson, FormBodies) {
  using Form = std::map<std::string, std::string>;
  const std::vector<std::pair<std::string, Form>> cases = {
      {"name=mnuReload", {{"name", "mnuReload"}}},
      {"address=127.0.0.1&name=new+name", {{"address", "127.0.0.1"}, {"name", "new name"}}},
      {"blocks=10.0.0.1%0A10.0.0.2&rate=", {{"blocks", "10.0.0.1\n10.0.0.2"}, {"rate", ""}}},
      {"a=%4", {{"a", "%4"}}},
      {"a=%zz%41", {{"a", "%zzA"}}},
      {"path=%2fsrv%2Fzones%2g", {{"path", "/srv/zones%2g"}}},
      {"a%3Db=1&&flag", {{"a=b", "1"}, {"flag", ""}}},
      {"", {}},
  };
  for (const auto& [body, form] : cases) EXPECT_EQ(ParseForm(body), form) << body;
  EXPECT_EQ(Lines("10.0.0.1\r\n\n10.0.0.2"), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
  EXPECT_TRUE(Lines("").empty());
}

}  // namespace
}  // namespace vell
