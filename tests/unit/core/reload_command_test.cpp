// The reload port's command texts, as the server reads them and
// as vellctl writes them.
#include "core/reload_command.h"

#include <gtest/gtest.h>

namespace vell {
namespace {

TEST(ReloadCommand, TextsAsTheServerReadsThem) {
  using K = ReloadCommand;
  struct Case {
    const char* text;
    ReloadCommand expected;
  } cases[] = {
      {"RELOAD", {K::kReloadAll, ""}},
      {"reload", {K::kReloadAll, ""}},
      {"Reload", {K::kReloadAll, ""}},
      {"RELOAD example.com", {K::kReloadZone, "example.com."}},
      {"RELOAD S Example.Com.", {K::kReloadZone, "example.com."}},
      {"reload p example.com", {K::kReloadZone, "example.com."}},
      {"RELOAD Sexample.com", {K::kReloadZone, "sexample.com."}},
      {"RELOAD X example.com", {K::kReloadZone, "xexample.com."}},
      {"RELOAD 0/25.2.0.192.in-addr.arpa", {K::kReloadZone, "0/25.2.0.192.in-addr.arpa."}},
      {"RELOAD ", {K::kReloadZone, "."}},
      {"RELOAD .", {K::kReloadZone, "."}},
      {"UNLOAD  example.com", {K::kUnloadZone, "example.com."}},
      {"unload ex ample.com", {K::kUnloadZone, "example.com."}},
      {"RELOAD\r\n", {}},
      {" RELOAD", {}},
      {"RELOADexample.com", {}},
      {"UNLOAD", {}},
      {"hello", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseReloadCommand(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ReloadCommand, OnlyLowerCaseHelloIsHello) {
  EXPECT_TRUE(IsHello("hello"));
  EXPECT_FALSE(IsHello("HELLO"));
  EXPECT_FALSE(IsHello("hello "));
}

TEST(ReloadCommand, CompanionTextsReadBackAsSent) {
  EXPECT_EQ(HelloText(), "hello");
  EXPECT_EQ(ReloadAllText(), "RELOAD");
  EXPECT_EQ(ReloadZoneText("example.com"), "RELOAD example.com");
  EXPECT_EQ(ReloadZoneText("example.com", "s"), "RELOAD S example.com");
  EXPECT_EQ(UnloadZoneText("example.com."), "UNLOAD example.com.");
  EXPECT_EQ(ParseReloadCommand(ReloadZoneText("Example.COM", "P")).zone, "example.com.");
  EXPECT_EQ(ParseReloadCommand(UnloadZoneText(".")), (ReloadCommand{ReloadCommand::kUnloadZone, "."}));
}

}  // namespace
}  // namespace vell
