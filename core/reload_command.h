// The commands of the reload control port: one line of text per
// datagram, without line end. The server parses them; vellctl writes them.
// Command words are compared without regard to case, except "hello".
#pragma once

#include <string>

namespace vell {

struct ReloadCommand {
  enum Kind { kNone, kReloadAll, kReloadZone, kUnloadZone };
  Kind kind = kNone;
  std::string zone;  // cleaned leniently, lower case, with the final dot
  bool operator==(const ReloadCommand&) const = default;
};

// Exactly "hello": a companion announcing itself.
bool IsHello(const std::string& text);
// "RELOAD", "RELOAD [S |P ]zone", "UNLOAD zone"; anything else is kNone.
ReloadCommand ParseReloadCommand(const std::string& text);

// The texts a companion sends. letter is "", "S" or "P" (it is skipped by
// the server and changes nothing).
std::string HelloText();
std::string ReloadAllText();
std::string ReloadZoneText(const std::string& zone, const std::string& letter = "");
std::string UnloadZoneText(const std::string& zone);

}  // namespace vell
