// Reads any bytes as a request to the operator console: the first octet
// picks the method, the path and which credentials the request carries;
// the rest, split at line ends, is the path (when the octet names none),
// the URL's arguments and the body. Nothing may crash; a request that
// fails (a value out of range gives a 500 and an error report) or is
// refused for want of the right Host and token changes nothing; a POST
// with every credential is never refused.
#include <stdlib.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/json.h"
#include "core/platform/message_box.h"
#include "fuzz_workspace.h"
#include "server/context.h"

namespace {

using namespace vell;

constexpr const char* kPaths[] = {
    "/api/state",
    "/api/leases",
    "/api/blocks",
    "/api/support",
    "/metrics",
    "/api/options",
    "/api/lookup",
    "/api/options/clean",
    "/api/do/command",
    "/api/do/lease-rename",
    "/api/do/lease-delete",
    "/api/do/options",
    "/api/do/lookup",
    "/api/do/blocks",
    "/",
    "/console.js",
};
constexpr size_t kPathCount = std::size(kPaths);

// Counts the calls that would change the server.
class Operations final : public ConsoleOperations {
 public:
  void StartStop() override { ++calls; }
  void Reload() override { ++calls; }
  void ClearCache() override { ++calls; }
  void ClearWindow() override { ++calls; }
  void Dump() override { ++calls; }
  void GetRoot() override { ++calls; }
  void Exit() override { ++calls; }
  std::string SnapShot() override { return Counted(std::string("/nonexistent")); }
  RenameOutcome RenameLease(const std::string&, const std::string&) override {
    return Counted(RenameOutcome::kNoLease);
  }
  void DeleteLease(const std::string&) override { ++calls; }
  BlockLists OpenBlocks() override { return lists; }
  void ApplyBlocks(const BlockLists& given) override { lists = Counted(given); }
  std::string ApplyOptions(const OptionsForm&) override { return Counted(std::string()); }
  long CacheCount() const override { return 0; }

  BlockLists lists;
  int calls = 0;

 private:
  template <class T>
  T Counted(T value) {
    ++calls;
    return value;
  }
};

struct Server {
  Server()
      : ctx(clock, home.dir, boxes, loop),
        console(ConsoleData{ctx.env, ctx.Leases, ctx.tray.icon, ctx.LocalIPs, console_boxes, 9}, ops,
                "127.0.0.1", 0) {
    const std::string url = console.Url();
    host = url.substr(7, url.find('/', 7) - 7);
    token = url.substr(url.find("token=") + 6);
    HttpRequest state{"GET", "/api/state", {{"token", token}}, {{"host", host}}, {}, ""};
    const std::string body = console.Serve(state).body;
    const size_t at = body.find("\"csrf\":\"") + 8;
    csrf = body.substr(at, body.find('"', at) - at);
  }

  const fuzz::Workspace home{"console"};  // members go in reverse order: the directory last
  FakeClock clock{46000.5};
  FakeMessageBoxes boxes;
  EventLoop loop;
  Context ctx;
  ConsoleMessageBoxes console_boxes{clock};
  Operations ops;
  Console console;
  std::string host, token, csrf;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Server server;
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  std::vector<std::string> fields(3);
  size_t field = 0;
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == '\n' && field + 1 < fields.size()) {
      ++field;
    } else {
      fields[field] += static_cast<char>(data[i]);
    }
  }
  HttpRequest request;
  const bool post = (flags & 0x10) != 0, host = (flags & 0x20) != 0, token = (flags & 0x40) != 0,
             csrf = (flags & 0x80) != 0;
  request.method = post ? "POST" : "GET";
  request.path = (flags & 0x0F) < kPathCount ? kPaths[flags & 0x0F] : fields[0];
  request.query = ParseForm(fields[1]);
  request.body = fields[2];
  if (host) request.headers["host"] = server.host;
  if (token) request.query["token"] = server.token;
  if (csrf) request.headers["x-csrf-token"] = server.csrf;
  request.headers["origin"] = "http://" + server.host;

  const int calls = server.ops.calls;
  const HttpResponse response = server.console.Serve(request);
  if (response.status == 500 && server.ops.calls != calls) abort();
  if ((!host || !token) && (response.status != 403 || server.ops.calls != calls)) abort();
  if (post && host && token && csrf && response.status == 403) abort();
  return 0;
}
