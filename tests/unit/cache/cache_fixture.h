// A fresh context on a fake clock, and short ways to build the responses and
// records the cache tests feed in.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/ip.h"
#include "dns/record_data.h"
#include "test_support.h"

namespace vell::test {

class CacheTest : public ::testing::Test {
 protected:
  RecordPtr Rec(const std::string& name, int32_t type, const std::string& data, int32_t ttl = 3600,
                bool permanent = false) {
    return MakeRecord(t.clock, permanent ? Lifetime::kPermanent : Lifetime::kLearnt, name, type, data, ttl);
  }
  RecordPtr A(const std::string& name, const std::string& ip, int32_t ttl = 3600) {
    return Rec(name, kTypeA, IPToData(ip), ttl);
  }
  RecordPtr Soa(const std::string& zone, int32_t minimum, int32_t ttl = 3600) {
    return Rec(zone, kTypeSOA,
               MakeSoaData(sink, {"ns." + zone, "admin." + zone, 1, 900, 300, 86400, minimum}), ttl);
  }
  static clDNSAnswer Response(RecordList answers, RecordList authority = {}, RecordList additional = {}) {
    clDNSAnswer response;
    response.Section2 = std::move(answers);
    response.Section3 = std::move(authority);
    response.Section4 = std::move(additional);
    return response;
  }
  // A response that proves name has no data of type (rcode 0) or does not
  // exist (rcode 3), with the zone's SOA as its whole authority section.
  clDNSAnswer Negative(const std::string& name, int32_t type, int16_t rcode, RecordPtr soa) {
    clDNSAnswer response = Response({}, {std::move(soa)});
    response.RqName = name;
    response.RqType = type;
    response.RCode = rcode;
    return response;
  }

  // "name type data" per record, A data as an address, SOA data left out.
  static std::string Describe(const RecordList& records) {
    std::string out;
    for (const RecordPtr& r : records) {
      if (!out.empty()) out += ", ";
      out += r->Name + " " + std::to_string(r->RecType);
      if (r->RecType == kTypeA) out += " " + DataToIP(r->Data);
      if (r->RecType != kTypeA && r->RecType != kTypeSOA) out += " " + r->Data;
    }
    return out;
  }
  std::string Cached() const { return Describe({cache.Records().begin(), cache.Records().end()}); }
  static std::string Show(const clDNSAnswer& a) { return ShowAnswer(a, Describe); }
  std::shared_ptr<clDNSAnswer> Ask(const std::string& name, int32_t type, bool rd = true,
                                   bool quick = false) {
    return cache.Ask(name, type, rd ? Recursion::kDesired : Recursion::kNotDesired,
                     quick ? LookupKind::kQuick : LookupKind::kFull);
  }
  void Add(clDNSAnswer response) { cache.CacheAdd(response); }

  TestContext t;
  RecordingErrorSink sink;
  clDNSCache& cache = t.ctx.Cache;
};

}  // namespace vell::test
