// Feeds any octets to the transfer client as the primary's TCP stream, cut
// into pieces whose sizes the first octet chooses. Nothing may crash, a
// stored zone must start with its SOA, and a time-out must leave the client
// idle.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/platform/message_box.h"
#include "query/query_context.h"
#include "query/sender.h"
#include "query/soa_check.h"
#include "query/transfer_client.h"
#include "server/context.h"

namespace {

using namespace vell;

class Silent final : public DnsSender {
 public:
  void SendRequest(const std::string&, const std::string&) override {}
  void SendAnswer(const std::string&, long, const std::string&) override {}
};

class NoLink final : public TransferLink {
 public:
  void Connect(const std::string&, uint16_t) override {}
  void Send(const std::string&) override {}
  void Close() override {}
};

struct Client {
  Client() {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vell-fuzz-xfr-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) abort();
    home = pattern;
    std::filesystem::create_directories(home + "/data");
    ctx = std::make_unique<Context>(clock, home, boxes, loop);
    query = std::make_unique<QueryContext>(ctx->env, ctx->LocalIPs, ctx->AuthData, ctx->Cache, ctx->Random,
                                           sender, soa_check);
    client = std::make_unique<ctlZTS>(loop, *query, 53, std::make_unique<NoLink>());
    ctx->state.ServerRunning = true;
    zone = std::make_shared<clZone>();
    zone->Name = "example.com.";
    zone->PrimaryIP = "192.0.2.1";
    ctx->AuthData.ZoneAdd(zone);
  }
  ~Client() {
    client.reset();
    query.reset();
    ctx.reset();
    std::filesystem::remove_all(home);
  }

  FakeClock clock{46000.5};
  FakeMessageBoxes boxes;
  EventLoop loop;
  Silent sender;
  NoSoaCheck soa_check;
  std::string home;
  std::unique_ptr<Context> ctx;
  std::unique_ptr<QueryContext> query;
  std::unique_ptr<ctlZTS> client;
  ZonePtr zone;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Client c;
  if (size == 0) return 0;
  c.zone->Records.clear();
  // An empty zone is transferred at once.
  c.client->Que("example.com.");
  c.client->OnConnect();
  const size_t piece = 1 + data[0] % 61;
  const std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);
  for (size_t at = 0; at < stream.size(); at += piece) c.client->OnData(stream.substr(at, piece));
  if (c.zone->Records.size() > 0 && c.zone->FindRec("example.com.") == kNotFound) abort();
  c.client->Tick();
  if (c.client->State == 3) c.client->Tick();
  if (c.client->State != 0 && c.client->State != 2) abort();
  c.client->Tick();
  if (c.client->State != 0) abort();
  return 0;
}
