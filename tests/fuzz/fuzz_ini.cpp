// Reads any bytes as vellion.ini, writes the settings back and reads them
// again: nothing may crash, and the second reading must give what the first
// one did, apart from the differences the file format allows.
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/config/ini.h"
#include "fuzz_workspace.h"

namespace {

// The settings a rewrite of `first` must read back as; `second` supplies
// the entries whose written form cannot be read back as they were.
vell::Settings Expected(vell::Settings first, const vell::Settings& second) {
  // The DNSBind line follows the PrimaryIP line and sets PRIMARYIP again.
  if (!first.DNSBIND.empty()) first.PRIMARYIP = first.DNSBIND;
  // Lines written only under a condition fall back to their defaults.
  if (first.DNSRECURSION.empty()) first.DNSRECURSION = vell::Settings{}.DNSRECURSION;
  if (first.MASTERDIR.empty()) first.MASTERSYNC = vell::Settings{}.MASTERSYNC;
  first.CACHETTL = std::max(first.CACHETTL, 0);
  first.MINTIMEOUT = std::max(first.MINTIMEOUT, 0);
  // An alias without a client address is written as a blank and its name,
  // which reads back as the client address.
  for (size_t i = 0; i < first.DHCPALIAS.size() && i < second.DHCPALIAS.size(); ++i) {
    if (first.DHCPALIAS[i].ClientID.empty()) first.DHCPALIAS[i] = second.DHCPALIAS[i];
  }
  return first;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vell::fuzz::Workspace workspace("ini");
  static const std::vector<std::string> local_ips{"192.0.2.1"};
  const std::string path = workspace.File("vellion.ini");
  workspace.Write("vellion.ini", data, size);

  vell::RecordingErrorSink first_errors;
  vell::Settings first;
  vell::LoadINI(first, {path, &local_ips, &first_errors});

  vell::RecordingErrorSink errors;
  const vell::IniContext ctx{path, &local_ips, &errors};
  std::string written;
  vell::SaveINI(first, 5353, ctx, written);
  vell::Settings second;
  vell::LoadINI(second, ctx);
  // The rewritten file holds only values in range, so it reads without error.
  if (!errors.entries.empty() || !(second == Expected(first, second))) abort();
  return 0;
}
