// Any octets as the primary's TCP stream to the transfer client, cut into
// pieces sized by the first octet. Nothing may crash, a stored zone must
// hold an SOA, and the time-outs must leave the client idle.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "core/platform/message_box.h"
#include "fuzz_workspace.h"
#include "query/query_context.h"
#include "query/transfer_client.h"
#include "server/context.h"

using namespace vell;

struct Silent final : DnsSender, TransferLink {
  void SendRequest(const std::string&, const std::string&) override {}
  void SendRequestOverTcp(const std::string&, const std::string&) override {}
  void SendAnswer(const std::string&, long, const std::string&) override {}
  void Connect(const std::string&, uint16_t) override {}
  void Send(const std::string&) override {}
  void Close() override {}
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FakeClock clock{46000.5};
  static FakeMessageBoxes boxes;
  static EventLoop loop;
  static Silent silent;
  static NoSoaCheck none;
  static const fuzz::Workspace home("xfr");
  [[maybe_unused]] static const bool data_dir = std::filesystem::create_directories(home.File("data"));
  static Context ctx{clock, home.dir, boxes, loop};
  static OutgoingIds ids{clock};
  static QueryContext query{ctx.env, ctx.LocalIPs, ctx.AuthData, ctx.Cache, ctx.Random, ids, silent, none};
  static ctlZTS client{loop, query, 53, std::unique_ptr<TransferLink>(new Silent)};
  static const ZonePtr zone = [] {
    auto z = std::make_shared<clZone>();
    z->Name = "example.com.";
    z->PrimaryIP = "192.0.2.1";
    ctx.AuthData.ZoneAdd(z);
    ctx.state.ServerRunning = true;
    return z;
  }();
  if (size == 0) return 0;
  zone->ClearRecs();
  client.Que("example.com.");  // empty: transferred at once
  client.OnConnect();
  const std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);
  for (size_t at = 0; at < stream.size(); at += 1 + data[0] % 61)
    client.OnData(stream.substr(at, 1 + data[0] % 61));
  // The transfer opens with an SOA, though not always one of the zone's apex.
  const auto& stored = zone->Records.items();
  if (!stored.empty() &&
      std::none_of(stored.begin(), stored.end(), [](const RecordPtr& r) { return r->RecType == kTypeSOA; })) {
    abort();
  }
  for (int tick = 0; tick < 3 && client.State != 0; ++tick) client.Tick();
  if (client.State != 0) abort();
  return 0;
}
