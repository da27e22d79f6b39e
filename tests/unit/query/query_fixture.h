// A context with a recording sender, zones built by hand, and a reader for
// the replies the server sends.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ip.h"
#include "dns/edns.h"
#include "dns/message.h"
#include "dns/record_data.h"
#include "dns/wire_bytes.h"
#include "query/dispatch.h"
#include "query/query_context.h"
#include "query/request.h"
#include "query/sender.h"
#include "query/soa_check.h"
#include "test_support.h"

namespace vell::test {

using ::testing::Contains;
using ::testing::ElementsAre;

class RecordingSender final : public DnsSender {
 public:
  struct Sent {
    std::string ip;
    long port;
    std::string msg;
  };
  void SendRequest(const std::string& ip, const std::string& msg) override {
    requests.push_back({ip, 53, msg});
  }
  void SendRequestOverTcp(const std::string& ip, const std::string& msg) override {
    tcp_requests.push_back({ip, 53, msg});
  }
  void SendAnswer(const std::string& ip, long port, const std::string& msg) override {
    answers.push_back({ip, port, msg});
  }
  std::vector<Sent> requests, tcp_requests, answers;
};

class RecordingSoaCheck final : public SoaCheck {
 public:
  void Offer(const clDNSAnswer& answer) override { offered.push_back(answer); }
  void Que(const std::string& zone) override { queued.push_back(zone); }
  std::vector<clDNSAnswer> offered;
  std::vector<std::string> queued;
};

// Every record's data in order, A records as dotted text.
inline std::vector<std::string> Datas(const std::vector<WireRecord>& records) {
  std::vector<std::string> out;
  for (const auto& r : records) out.push_back(r.type == kTypeA ? DataToIP(r.data) : r.data);
  return out;
}

// Every record as "owner type TTL data", A data as dotted text.
inline std::vector<std::string> Lines(const std::vector<WireRecord>& records) {
  std::vector<std::string> out = Datas(records);
  for (size_t i = 0; i < out.size(); ++i) {
    const WireRecord& r = records[i];
    out[i] = r.name + " " + std::to_string(r.type) + " " + std::to_string(r.ttl) + " " + out[i];
  }
  return out;
}

// A message the server sent: whole, every record of class IN but its OPT.
inline Message ReadReply(const std::string& msg) {
  RecordingErrorSink sink;
  Message m = DecodeMessage(sink, msg);
  EXPECT_EQ(m.cut, Cut::kNone);
  const size_t opt = ReadEdns(sink, msg).status == EdnsQuery::Status::kAbsent ? 0 : 1;
  EXPECT_EQ(m.answer.size() + m.authority.size() + m.additional.size() + opt,
            static_cast<size_t>(m.header.ancount + m.header.nscount + m.header.arcount));
  EXPECT_EQ(m.trailing, 0u) << "octets after the last record";
  EXPECT_TRUE(sink.entries.empty());
  return m;
}

// A query of one question without EDNS; flags1 0x01 asks for recursion.
inline std::string Query(int id, const std::string& name, int32_t type, int32_t qclass = 1,
                         int flags1 = 0x01) {
  RecordingErrorSink sink;
  std::string query = BuildQuery(sink, id, false, {name, type, qclass}, false);
  query[header::kFlags1] = static_cast<char>(flags1);
  return query;
}

class QueryTest : public ::testing::Test {
 protected:
  QueryTest() { ctx.log.KeepLog = true; }

  ZonePtr AddZone(const std::string& name) {
    auto zone = std::make_shared<clZone>();
    zone->Name = name;
    ctx.AuthData.ZoneAdd(zone);
    return zone;
  }
  void Add(const ZonePtr& zone, const std::string& name, int32_t type, const std::string& data,
           int32_t ttl = 3600) {
    if (name[0] == '*') zone->HasWildcards = true;
    zone->AddRec(
        MakeRecord(ctx.clock, Lifetime::kPermanent, name, type, type == kTypeA ? IPToData(data) : data, ttl));
  }
  // example.com. with its SOA and NS.
  ZonePtr ExampleZone() {
    auto zone = AddZone("example.com.");
    Add(zone, "example.com.", kTypeSOA,
        MakeSoaData(ctx.errors, {"ns1.example.com.", "admin.example.com.", 7}));
    Add(zone, "example.com.", kTypeNS, "ns1.example.com.");
    Add(zone, "ns1.example.com.", kTypeA, "192.0.2.1");
    return zone;
  }

  // Sends a query from ip:5353 and returns the one reply it got.
  Message Ask(const std::string& name, int32_t type, int flags1 = 0x01, const std::string& ip = "10.0.0.9") {
    sender.answers.clear();
    ProcDNSRequest(q, ip, 5353, Query(0x4242, name, type, 1, flags1));
    return OnlyReply();
  }
  // The one reply sent so far.
  Message OnlyReply() {
    EXPECT_EQ(sender.answers.size(), 1u);
    return sender.answers.empty() ? Message{} : ReadReply(sender.answers.back().msg);
  }
  // The cached record of name and type (and data, when given).
  RecordPtr Cached(const std::string& name, int32_t type, const std::string& data = {}) const {
    for (const RecordPtr& r : ctx.Cache.Records().items()) {
      if (r->Name == name && r->RecType == type && (data.empty() || r->Data == data)) return r;
    }
    return nullptr;
  }

  std::vector<std::string> Logged() const { return LogTexts(ctx); }

  TestContext t;
  Context& ctx = t.ctx;
  RecordingSender sender;
  RecordingSoaCheck soa_check;
  OutgoingIds ids{t.clock};
  QueryContext q{ctx.env, ctx.LocalIPs, ctx.AuthData, ctx.Cache, ctx.Random, ids, sender, soa_check};
};

}  // namespace vell::test
