#include "server/command_line.h"

#include <cstdint>

#include "core/ip.h"
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

// "off", or a dotted IPv4 address, a colon and a port.
bool ParseConsole(const std::string& text, CommandLine& cl) {
  if (text == "off") {
    cl.console = false;
    return true;
  }
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || CleanIP(text.substr(0, colon)) != text.substr(0, colon)) return false;
  cl.console = true;
  cl.console_address = text.substr(0, colon);
  return ParsePort(text.substr(colon + 1), cl.console_port);
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
  CommandLine cl;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      cl.help = true;
      continue;
    }
    if (arg == "--version") {
      cl.version = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      const std::string plain = LowerCase(Trim(arg));
      if (plain != "-n" && plain != "-u") {
        error = "unknown argument " + arg;
        return std::nullopt;
      }
      if (!cl.command.empty()) {
        error = "only one of -n and -u may be given";
        return std::nullopt;
      }
      cl.command = plain;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = "option " + arg + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--home") {
      cl.home = value;
    } else if (arg == "--console") {
      if (!ParseConsole(value, cl)) {
        error = "bad value for --console (ADDR:PORT or off): " + value;
        return std::nullopt;
      }
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
  return cl;
}

std::string Usage() {
  return "usage: vellmain [-n | -u] [--home DIR] [--dns-port N] [--peer-port N]\n"
         "                [--dhcp-port N] [--dhcp-client-port N] [--console ADDR:PORT | off]\n"
         "       vellmain --help | --version\n"
         "\n"
         "  -n                     run the server in the foreground until SIGTERM or SIGINT\n"
         "  -u                     remove the service and the start with the system\n"
         "  (neither)              run as the service when vellion.ini sets NTService: YES\n"
         "  --home DIR             program directory: vellion.ini, data/, logs/\n"
         "                         (default: the directory of the program)\n"
         "  --dns-port N           DNS service port, UDP and TCP (default 53)\n"
         "  --peer-port N          port of the servers this one asks, transfers from\n"
         "                         and notifies (default 53)\n"
         "  --dhcp-port N          DHCP server port (default 67)\n"
         "  --dhcp-client-port N   DHCP client port (default 68)\n"
         "  --console ADDR:PORT    operator console in the browser (default 127.0.0.1:5380;\n"
         "                         its URL with the access token is printed at start);\n"
         "                         --console off: no console\n"
         "  -h, --help             print this help\n"
         "  --version              print the version\n";
}

}  // namespace vell
