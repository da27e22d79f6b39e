// The operator console: the pages and their JSON calls, served by the
// server itself on the event loop, behind the guard. Made after the server,
// before the loop runs; its URL (with the access token) is printed and the
// token written to console.token in the program directory.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "console/guard.h"
#include "console/http_daemon.h"
#include "console/lookup.h"
#include "console/message_boxes.h"
#include "console/operations.h"
#include "core/env.h"
#include "core/platform/tray.h"
#include "dhcp/lease_table.h"

namespace vell {

// What the pages show, read straight from the server's data.
struct ConsoleData {
  Env& env;
  const LeaseTable& leases;
  const TrayIcon& tray;
  const std::vector<std::string>& addresses;  // the machine's, for the address chooser
  ConsoleMessageBoxes& boxes;
  uint16_t dns_port;  // where the lookup page asks
};

class Console {
 public:
  // Throws SocketError when address:port cannot be bound.
  Console(ConsoleData data, ConsoleOperations& ops, const std::string& address, uint16_t port);
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // http://ADDR:PORT/?token=...
  std::string Url() const;

  HttpResponse Serve(const HttpRequest& request);

 private:
  HttpResponse Get(const HttpRequest& request);
  HttpResponse Post(const HttpRequest& request);
  HttpResponse Page(const HttpRequest& request);
  HttpResponse State();
  HttpResponse Leases() const;
  HttpResponse Blocks();
  HttpResponse Metrics();
  HttpResponse Command(const std::string& name);
  HttpResponse RenameLease(const std::string& address, const std::string& name);
  HttpResponse Ask(const std::string& name, const std::string& type);
  HttpResponse Answer(const std::string& id);
  HttpResponse Options();
  HttpResponse CleanField(const HttpRequest& request) const;
  HttpResponse ApplyOptions(const std::map<std::string, std::string>& fields);
  HttpResponse ApplyBlocks(const std::string& rate, const std::string& noblock, const std::string& blocks);

  ConsoleData data_;
  ConsoleOperations& ops_;
  std::string host_;  // ADDR:PORT
  std::string token_;
  ConsoleLookup lookup_;
  std::unique_ptr<ConsoleGuard> guard_;
  std::unique_ptr<HttpDaemon> daemon_;
};

}  // namespace vell
