// RecText, TxtText and the record data layouts they read.
#include <gtest/gtest.h>

#include "dns/record_data.h"
#include "dns/tables.h"
#include "dns/wire_bytes.h"

namespace vell {
namespace {

using test::Octets;

// Serial 2025, refresh 3600, retry 900, expire 604800, minimum 300.
const std::string kSoa =
    Octets({"ns1.example.com.", 0, "hostmaster.example.com.", 0}) +
    Octets({0, 0, 0x07, 0xE9, 0, 0, 0x0E, 0x10, 0, 0, 0x03, 0x84, 0, 0x09, 0x3A, 0x80, 0, 0, 0x01, 0x2C});

std::string Text(int16_t type, const std::string& data) {
  clDNSRecord record;
  record.RecType = type;
  record.Name = "h.example.";
  record.Data = data;
  return RecText(record);
}

TEST(RecTextTest, MainDataByType) {
  EXPECT_EQ(Text(1, Octets({192, 168, 0, 1, 9})), "A-record for h.example. = 192.168.0.1");
  EXPECT_EQ(Text(1, Octets({10})), "A-record for h.example. = 10.0.0.0");
  EXPECT_EQ(Text(2, "ns1.example."), "NS-record for h.example. = ns1.example.");
  EXPECT_EQ(Text(5, ""), "CNAME-record for h.example. = ");
  EXPECT_EQ(Text(6, kSoa), "SOA-record for h.example. = ns1.example.com. (Serial 2025)");
  EXPECT_EQ(Text(6, "ns1."), "SOA-record for h.example. = ns1. (Serial 0)");
  EXPECT_EQ(Text(15, Octets({0, 10, "mx.example."})),
            "MX-record for h.example. = mx.example. (Preference 10)");
  EXPECT_EQ(Text(15, Octets({1})), "MX-record for h.example. =  (Preference 0)");
  EXPECT_EQ(Text(16, Octets({2, "ab", 1, "c"})), "TXT-record for h.example. = \"ab, c\"");
  EXPECT_EQ(Text(33, Octets({0, 1, 0, 2, 0, 53, "sip."})),
            "SRV-record for h.example. = sip. (Priority 1, Weight 2, Port 53)");
  EXPECT_EQ(Text(28, Octets({0x20, 1, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1})),
            "AAAA-record for h.example. = 2001:db8::1");
  EXPECT_EQ(Text(28, Octets({0x20, 1, 0x0D, 0xB8})), "AAAA-record for h.example.");  // cut short
  EXPECT_EQ(Text(257, Octets({0, 5, "issue", "ca"})), "CAA-record for h.example.");
  EXPECT_EQ(Text(1002, "example."), "?1002?-record for h.example.");
}

TEST(RecTextTest, TxtTextJoinsStringsAndDropsUnprintableOctets) {
  EXPECT_EQ(TxtText(Octets({3, "a\tb", 2, 0xC8, "c"})), "ab, c");
  EXPECT_EQ(TxtText(Octets({0, 1, "x"})), ", x");
  EXPECT_EQ(TxtText(Octets({5, "ab"})), "ab");  // a cut string keeps what is there
}

TEST(RecordDataTest, BuildersAndReadersAgree) {
  RecordingErrorSink sink;
  EXPECT_EQ(MakeSoaData(sink, {"ns1.example.com.", "hostmaster.example.com.", 2025, 3600, 900, 604800, 300}),
            kSoa);
  const SoaData soa = ReadSoaData(kSoa);
  EXPECT_EQ(soa.mailbox, "hostmaster.example.com.");
  EXPECT_EQ(soa.expire, 604800);
  EXPECT_EQ(soa.minimum, 300);
  EXPECT_EQ(ReadMxData(MakeMxData({10, "mx."})).exchange, "mx.");
  EXPECT_EQ(MakeTxtData({"ab", "", std::string(300, 'x')}),
            Octets({2, "ab", 0, 255}) + std::string(255, 'x'));
}

TEST(RecordDataTest, SrvNumbersAreUnsigned) {
  const std::string data = MakeSrvData({1, 65000, 40000, "t."});
  EXPECT_EQ(data, Octets({0, 1, 0xFD, 0xE8, 0x9C, 0x40, "t."}));
  EXPECT_EQ(ReadSrvData(data).weight, 65000);
  EXPECT_EQ(ReadSrvData(data).port, 40000);
}

}  // namespace
}  // namespace vell
