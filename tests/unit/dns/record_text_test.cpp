// RecText, TxtText and the record data layouts they read.
#include <gtest/gtest.h>

#include <string>

#include "dns/record_data.h"
#include "dns/tables.h"

namespace vell {
namespace {

using namespace std::string_literals;

struct RecTextCase {
  int16_t type;
  std::string data;
  std::string text;
};

class RecTextTest : public ::testing::TestWithParam<RecTextCase> {};

TEST_P(RecTextTest, DescribesRecord) {
  clDNSRecord record;
  record.RecType = GetParam().type;
  record.Name = "host.example.com.";
  record.Data = GetParam().data;
  EXPECT_EQ(RecText(record), GetParam().text);
}

const std::string kSoa =
    "ns1.example.com.\x00hostmaster.example.com.\x00"
    "\x00\x00\x07\xE9\x00\x00\x0E\x10\x00\x00\x03\x84\x00\x09\x3A\x80\x00\x00\x01\x2C"s;

INSTANTIATE_TEST_SUITE_P(
    Tables, RecTextTest,
    ::testing::Values(
        RecTextCase{1, "\xC0\xA8\x00\x01\x09"s, "A-record for host.example.com. = 192.168.0.1"},
        RecTextCase{1, "\x0A"s, "A-record for host.example.com. = 10.0.0.0"},
        RecTextCase{2, "ns1.example.com.", "NS-record for host.example.com. = ns1.example.com."},
        RecTextCase{5, "", "CNAME-record for host.example.com. = "},
        RecTextCase{12, "a.example.", "PTR-record for host.example.com. = a.example."},
        RecTextCase{6, kSoa, "SOA-record for host.example.com. = ns1.example.com. (Serial 2025)"},
        RecTextCase{6, "ns1.", "SOA-record for host.example.com. = ns1. (Serial 0)"},
        RecTextCase{15, "\x00\x0Amail.example.com."s,
                    "MX-record for host.example.com. = mail.example.com. (Preference 10)"},
        RecTextCase{15, "\x01"s, "MX-record for host.example.com. =  (Preference 0)"},
        RecTextCase{16,
                    "\x02"
                    "ab\x01"
                    "c"s,
                    "TXT-record for host.example.com. = \"ab, c\""},
        RecTextCase{33, "\x00\x01\x00\x02\x00\x35sip.example.com."s,
                    "SRV-record for host.example.com. = sip.example.com. (Priority 1, Weight 2, Port 53)"},
        RecTextCase{28, "\x20\x01\x0d\xb8"s, "AAAA-record for host.example.com."},
        RecTextCase{1002, "example.com.", "?1002?-record for host.example.com."}));

TEST(TxtTextTest, JoinsStringsAndDropsUnprintableOctets) {
  EXPECT_EQ(TxtText("\x02"
                    "ab\x01"
                    "c"s),
            "ab, c");
  EXPECT_EQ(TxtText("\x03"
                    "a\tb\x02"
                    "\xC8"
                    "c"s),
            "ab, c");
  EXPECT_EQ(TxtText("\x00\x01"
                    "x"s),
            ", x");
  EXPECT_EQ(TxtText("\x05"
                    "ab"s),
            "ab");  // cut string keeps what is there
  EXPECT_EQ(TxtText(""), "");
}

TEST(RecordDataTest, SoaRoundTrip) {
  RecordingErrorSink sink;
  const SoaData soa{"ns1.example.com.", "hostmaster.example.com.", 2025, 3600, 900, 604800, 300};
  EXPECT_EQ(MakeSoaData(sink, soa), kSoa);
  const SoaData back = ReadSoaData(kSoa);
  EXPECT_EQ(back.primary, soa.primary);
  EXPECT_EQ(back.mailbox, soa.mailbox);
  EXPECT_EQ(back.serial, 2025);
  EXPECT_EQ(back.refresh, 3600);
  EXPECT_EQ(back.retry, 900);
  EXPECT_EQ(back.expire, 604800);
  EXPECT_EQ(back.minimum, 300);
}

TEST(RecordDataTest, SixteenBitFieldsLoseTheirTopBit) {
  const std::string data = MakeSrvData({1, 2, static_cast<int16_t>(-25536), "t."});  // port 40000 as 16 bits
  EXPECT_EQ(data, "\x00\x01\x00\x02\x1C\x40t."s);
  EXPECT_EQ(ReadSrvData(data).port, 7232);
  EXPECT_EQ(ReadMxData(MakeMxData({10, "mx."})).exchange, "mx.");
}

TEST(RecordDataTest, TxtStrings) {
  EXPECT_EQ(MakeTxtData({"ab", "", std::string(300, 'x')}),
            "\x02"
            "ab\x00\xFF"s +
                std::string(255, 'x'));
  EXPECT_EQ(ReadTxtData("\x02"
                        "ab\x00\x01"
                        "c"s),
            (std::vector<std::string>{"ab", "", "c"}));
}

}  // namespace
}  // namespace vell
