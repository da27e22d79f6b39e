// Reads any bytes as the zone file of example.com., then asks the loaded
// zone about a few names, among them names the file itself defined: nothing
// may crash, and the records must come out sorted by owner.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_workspace.h"
#include "server/context.h"

namespace {

constexpr char kZone[] = "example.com.";

void AskAbout(vell::clDNSAuthData& auth, const std::string& name) {
  for (const int16_t type : {1, 2, 5, 6, 12, 15, 16, 33, 255})
    auth.Ask(name, type, vell::Recursion::kNotDesired, vell::LookupKind::kFull);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vell::fuzz::Workspace workspace("zone");
  static const bool made = std::filesystem::create_directory(workspace.File("data"));
  static vell::FakeClock clock(46000);
  static vell::FakeMessageBoxes boxes;
  static vell::EventLoop loop;
  static vell::Context ctx(clock, workspace.dir, boxes, loop);
  (void)made;
  workspace.Write("data/example.com.dns", data, size);

  ctx.Leases = {{"10.0.0.1", "www.example.com.", clock.Now() + 1, "", ""}};
  vell::clDNSAuthData& auth = ctx.AuthData;
  auth.LoadZone(kZone, 0);
  const size_t found = auth.ZoneFind(kZone);
  if (found == vell::kNotFound) return 0;
  const vell::clZone& zone = *auth.Zones()[found];
  const auto& records = zone.Records.items();
  for (size_t i = 1; i < records.size(); ++i) {
    if (records[i]->Name < records[i - 1]->Name) abort();
  }
  for (const char* name :
       {"example.com.", "www.example.com.", "a.b.example.com.", "1.0.0.10.in-addr.arpa."}) {
    AskAbout(auth, name);
  }
  for (size_t i = 0; i < records.size() && i < 4; ++i) {
    AskAbout(auth, records[i]->Name);
    AskAbout(auth, "x." + records[i]->Name);
  }
  return 0;
}
