// Reads any bytes as the master list (ml.dat) for a few loaded zones, writes
// it and reads it back: nothing may crash, and the file times read the
// second time are those read the first.
#include <stdlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/clock.h"
#include "fuzz_workspace.h"
#include "server/context.h"

namespace {

std::vector<std::string> FileTimes(const vell::clDNSAuthData& auth) {
  std::vector<std::string> times;
  for (const vell::ZonePtr& zone : auth.Zones().items()) times.push_back(vell::DateTimeText(zone->FILETIME));
  return times;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vell::fuzz::Workspace workspace("ml");
  static vell::FakeClock clock(46000.5);
  static vell::FakeMessageBoxes boxes;
  static vell::EventLoop loop;
  static vell::Context ctx(clock, workspace.dir, boxes, loop);
  vell::clDNSAuthData& auth = ctx.AuthData;
  for (const char* name : {".", "example.com.", "0/25.2.0.192.in-addr.arpa."}) {
    if (auth.ZoneFind(name) == vell::kNotFound) {
      auto zone = std::make_shared<vell::clZone>();
      zone->Name = name;
      auth.ZoneAdd(zone);
    }
  }
  for (const vell::ZonePtr& zone : auth.Zones().items()) zone->FILETIME = 0;
  workspace.Write("ml.dat", data, size);
  auth.MLLoad();
  const std::vector<std::string> first = FileTimes(auth);
  auth.MLSave();
  for (const vell::ZonePtr& zone : auth.Zones().items()) zone->FILETIME = 0;
  auth.MLLoad();
  if (FileTimes(auth) != first) abort();
  return 0;
}
