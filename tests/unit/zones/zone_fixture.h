// A fresh context with a data directory, zone files written into it, and
// answers and zones shown as text for comparison.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dns/tables.h"
#include "test_support.h"
#include "zones/zone_files.h"

namespace vell::test {

class ZoneTest : public ::testing::Test {
 protected:
  ZoneTest() {
    std::filesystem::create_directory(t.dir.File("data"));
    t.ctx.log.KeepLog = true;
  }

  clDNSAuthData& auth() { return t.ctx.AuthData; }

  void WriteFile(const std::string& name, const std::string& text) { t.dir.Write("data/" + name, text); }

  // Writes the zone's file and loads it; the zone, or nullptr when the load
  // added none.
  const clZone* Load(const std::string& zone, const std::string& text) {
    WriteFile(ZoneFileName(zone), text);
    auth().LoadZone(zone, 0);
    return Zone(zone);
  }

  const clZone* Zone(const std::string& name) {
    const size_t i = auth().ZoneFind(name);
    return i == kNotFound ? nullptr : auth().Zones()[i].get();
  }

  // The flags as bools, so that a test can loop over both values of each.
  std::shared_ptr<clDNSAnswer> Ask(const std::string& name, int32_t type, bool rd = false,
                                   bool quick = false) {
    return auth().Ask(name, type, rd ? Recursion::kDesired : Recursion::kNotDesired,
                      quick ? LookupKind::kQuick : LookupKind::kFull);
  }

  static std::vector<std::string> Texts(const RecordList& records) {
    std::vector<std::string> texts;
    for (const RecordPtr& r : records) texts.push_back(RecText(*r));
    return texts;
  }

  std::vector<std::string> LogTexts() const { return test::LogTexts(t.ctx); }

  bool ErrorReported(const std::string& where) const {
    return t.dir.Read("support.txt").find("Procedure: " + where) != std::string::npos;
  }

  TestContext t;
};

}  // namespace vell::test
