#include "core/reload_command.h"

#include "core/text.h"

namespace vell {

namespace {

constexpr char kHello[] = "hello";
constexpr char kReload[] = "RELOAD";
constexpr char kReloadZone[] = "RELOAD ";
constexpr char kUnloadZone[] = "UNLOAD ";
constexpr size_t kWordLength = 7;  // "RELOAD " and "UNLOAD "

// The zone named by the text after the command word: blanks anywhere
// removed, lower case, the final dot added.
std::string ZoneOf(const std::string& rest) { return CleanNameF(rest) + "."; }

// "S " or "P " before the zone name is dropped.
std::string SkipLetter(const std::string& rest) {
  const std::string head = UpperCase(rest.substr(0, 2));
  return head == "S " || head == "P " ? rest.substr(2) : rest;
}

}  // namespace

bool IsHello(const std::string& text) { return text == kHello; }

ReloadCommand ParseReloadCommand(const std::string& text) {
  if (UpperCase(text) == kReload) return {ReloadCommand::kReloadAll, ""};
  const std::string word = UpperCase(text.substr(0, kWordLength));
  const std::string rest = text.size() > kWordLength ? text.substr(kWordLength) : "";
  if (word == kUnloadZone) return {ReloadCommand::kUnloadZone, ZoneOf(rest)};
  if (word == kReloadZone) return {ReloadCommand::kReloadZone, ZoneOf(SkipLetter(rest))};
  return {};
}

std::string HelloText() { return kHello; }
std::string ReloadAllText() { return kReload; }

std::string ReloadZoneText(const std::string& zone, const std::string& letter) {
  return kReloadZone + (letter.empty() ? "" : UpperCase(letter) + " ") + zone;
}

std::string UnloadZoneText(const std::string& zone) { return kUnloadZone + zone; }

}  // namespace vell
