// A fresh context with a data directory, zone files written into it, and
// records and answers shown as text for comparison.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dns/tables.h"
#include "test_support.h"
#include "zones/zone_files.h"

namespace vell::test {

using TextList = std::vector<std::string>;

// RecText without its constant middle: "A www.example.com. = 10.0.0.1".
inline std::string Text(const clDNSRecord& r) {
  std::string text = RecText(r);
  const size_t at = text.find("-record for ");
  return at == std::string::npos ? text : text.replace(at, 12, " ");
}

inline std::string Join(const RecordList& records) {
  std::string out;
  for (const RecordPtr& r : records) out += (out.empty() ? "" : ", ") + Text(*r);
  return out;
}

inline std::string Show(const clDNSAnswer& a) { return ShowAnswer(a, Join); }

class ZoneTest : public ::testing::Test {
 protected:
  ZoneTest() {
    std::filesystem::create_directory(t.dir.File("data"));
    t.ctx.log.KeepLog = true;
  }

  clDNSAuthData& auth() { return t.ctx.AuthData; }

  void WriteFile(const std::string& name, const std::string& text) { t.dir.Write("data/" + name, text); }

  // Writes the zone's file and loads it; the zone, or nullptr when the load added none.
  const clZone* Load(const std::string& zone, const std::string& text) {
    WriteFile(ZoneFileName(zone), text);
    auth().LoadZone(zone, 0);
    return Zone(zone);
  }

  const clZone* Zone(const std::string& name) {
    const size_t i = auth().ZoneFind(name);
    return i == kNotFound ? nullptr : auth().Zones()[i].get();
  }

  std::shared_ptr<clDNSAnswer> Ask(const std::string& name, int32_t type, bool rd = false,
                                   bool quick = false) {
    return auth().Ask(name, type, rd ? Recursion::kDesired : Recursion::kNotDesired,
                      quick ? LookupKind::kQuick : LookupKind::kFull);
  }

  TextList ZoneNames() {
    TextList names;
    for (const ZonePtr& z : auth().Zones().items()) names.push_back(z->Name);
    return names;
  }

  TextList LogTexts() const { return test::LogTexts(t.ctx); }

  bool ErrorReported(const std::string& where) const {
    return t.dir.Read("support.txt").find("Procedure: " + where) != std::string::npos;
  }

  TestContext t;
};

}  // namespace vell::test
