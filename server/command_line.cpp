#include "server/command_line.h"

#include <cstdint>

#include "core/text.h"

namespace vell {

namespace {

bool ParsePort(const std::string& text, uint16_t& port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long v = std::stoul(text);
  if (v > 65535) return false;
  port = static_cast<uint16_t>(v);
  return true;
}

// The option's target, or nullptr when it is not a port option.
uint16_t* PortOption(const std::string& name, Ports& ports) {
  if (name == "--dns-port") return &ports.dns;
  if (name == "--peer-port") return &ports.peer;
  if (name == "--dhcp-port") return &ports.dhcp;
  if (name == "--dhcp-client-port") return &ports.dhcp_client;
  return nullptr;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
  CommandLine cl;
  std::string plain;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0) {
      plain += (plain.empty() ? "" : " ") + arg;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = "option " + arg + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--home") {
      cl.home = value;
    } else if (uint16_t* port = PortOption(arg, cl.ports)) {
      if (!ParsePort(value, *port)) {
        error = "bad port for " + arg;
        error += ": " + value;
        return std::nullopt;
      }
    } else {
      error = "unknown option " + arg;
      return std::nullopt;
    }
    cl.options.push_back(arg);
    cl.options.push_back(value);
  }
  cl.command = LowerCase(Trim(plain));
  return cl;
}

}  // namespace vell
