// A context with a recording sender, zones built by hand, and a reader for
// the replies the server sends.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/ip.h"
#include "dns/names.h"
#include "dns/record_data.h"
#include "dns/wire.h"
#include "dns/wire_bytes.h"
#include "query/dispatch.h"
#include "query/query_context.h"
#include "query/sender.h"
#include "query/soa_check.h"
#include "query/request.h"
#include "test_support.h"

namespace vell::test {

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
  void SendAnswer(const std::string& ip, long port, const std::string& msg) override {
    answers.push_back({ip, port, msg});
  }
  std::vector<Sent> requests, answers;
};

// Keeps every response offered to the transfer client.
class RecordingSoaCheck final : public SoaCheck {
 public:
  void Offer(const clDNSAnswer& answer) override { offered.push_back(answer); }
  std::vector<clDNSAnswer> offered;
};

// One record of a reply; names in data decoded, A data as dotted text.
struct ReplyRecord {
  std::string name;
  int type;
  int32_t ttl;
  std::string data;
};

struct Reply {
  int id = 0;
  int flags1 = 0;
  int flags2 = 0;
  int qd = 0, an = 0, ns = 0, ar = 0;
  std::string qname;
  int qtype = 0, qclass = 0;
  std::vector<ReplyRecord> answer, authority, additional;
  bool AA() const { return (flags1 & 0x04) != 0; }
  bool RA() const { return (flags2 & 0x80) != 0; }
  int RCode() const { return flags2 & 0x0F; }
};

// Every answer record's data in order, e.g. {"10.0.0.1", "10.0.0.2"}.
inline std::vector<std::string> Datas(const std::vector<ReplyRecord>& records) {
  std::vector<std::string> out;
  for (const auto& r : records) out.push_back(r.data);
  return out;
}

inline Reply ReadReply(const std::string& msg) {
  RecordingErrorSink sink;
  Reply r;
  std::string_view rest = msg;
  r.id = GetUInt(rest, true);
  r.flags1 = static_cast<unsigned char>(msg.at(2));
  r.flags2 = static_cast<unsigned char>(msg.at(3));
  rest.remove_prefix(2);
  r.qd = GetInt(rest, true);
  r.an = GetInt(rest, true);
  r.ns = GetInt(rest, true);
  r.ar = GetInt(rest, true);
  r.qname = ExtractName(sink, msg, rest, true);
  r.qtype = GetInt(rest, true);
  r.qclass = GetInt(rest, true);
  for (auto [section, count] : {std::pair{&r.answer, r.an}, {&r.authority, r.ns}, {&r.additional, r.ar}}) {
    for (int i = 0; i < count; ++i) {
      ReplyRecord rr;
      rr.name = ExtractName(sink, msg, rest, true);
      rr.type = GetInt(rest, true);
      EXPECT_EQ(GetInt(rest, true), 1);
      rr.ttl = GetLong(rest, true);
      std::string_view rdata = rest.substr(0, GetInt(rest, true));
      rest.remove_prefix(rdata.size());
      if (rr.type == kTypeA) {
        rr.data = DataToIP(std::string(rdata));
      } else if (rr.type == kTypeNS || rr.type == kTypeCNAME || rr.type == kTypeSOA) {
        rr.data = ExtractName(sink, msg, rdata, true);
      } else {
        rr.data = rdata;
      }
      section->push_back(rr);
    }
  }
  EXPECT_TRUE(rest.empty()) << "octets after the last record";
  EXPECT_TRUE(sink.entries.empty());
  return r;
}

// A query of one question; flags1 0x01 asks for recursion.
inline std::string Query(int id, const std::string& name, int type, int qclass = 1, int flags1 = 0x01) {
  RecordingErrorSink sink;
  return Octets({id >> 8, id & 0xFF, flags1, 0, 0, 1, 0, 0, 0, 0, 0, 0}) + ZipName(sink, "", name) +
         Octets({0, type, qclass >> 8, qclass & 0xFF});
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
  RecordPtr Add(const ZonePtr& zone, const std::string& name, int16_t type, const std::string& data,
                int32_t ttl = 3600) {
    RecordPtr record =
        MakeRecord(ctx.clock, Lifetime::kPermanent, name, type, type == kTypeA ? IPToData(data) : data, ttl);
    if (name[0] == '*') zone->HasWildcards = true;
    zone->AddRec(record);
    return record;
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

  // Sends a query from 10.0.0.9:5353 and returns the one reply it got.
  Reply Ask(const std::string& name, int type, int flags1 = 0x01, const std::string& ip = "10.0.0.9") {
    sender.answers.clear();
    ProcDNSRequest(q, ip, 5353, Query(0x4242, name, type, 1, flags1));
    EXPECT_EQ(sender.answers.size(), 1u);
    return sender.answers.empty() ? Reply{} : ReadReply(sender.answers.back().msg);
  }

  std::vector<std::string> Logged() const {
    std::vector<std::string> texts;
    for (const auto& line : ctx.log.LogBuffer) texts.push_back(line.substr(11));
    return texts;
  }

  TestContext t;
  Context& ctx = t.ctx;
  RecordingSender sender;
  RecordingSoaCheck soa_check;
  QueryContext q{ctx.env, ctx.LocalIPs, ctx.AuthData, ctx.Cache, ctx.Random, sender, soa_check};
};

}  // namespace vell::test
