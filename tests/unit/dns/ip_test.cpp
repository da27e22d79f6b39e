// IPv4 conversions between text, data, bits and reverse names.
#include "dns/ip.h"

#include <gtest/gtest.h>

#include <string>

namespace vell {
namespace {

using namespace std::string_literals;

struct TextCase {
  std::string text, clean;
};

class CleanIPTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CleanIPTest, ReadsLeniently) { EXPECT_EQ(CleanIP(GetParam().text), GetParam().clean); }

INSTANTIATE_TEST_SUITE_P(IP, CleanIPTest,
                         ::testing::Values(TextCase{" 10.0.0.1", "10.0.0.1"}, TextCase{"10.1", "10.1.0.0"},
                                           TextCase{"abc", "0.0.0.0"}, TextCase{"", "0.0.0.0"},
                                           TextCase{"300.1.2.3", "0.1.2.3"}, TextCase{"-5.1.2.3", "5.1.2.3"},
                                           TextCase{"1.2.3.4.5", "1.2.3.4"},
                                           TextCase{"010.2x.3 .255", "10.2.3.255"},
                                           TextCase{"1..3.4", "1.0.3.4"},
                                           TextCase{"256.255.-255.-256", "0.255.255.0"}));

TEST(IPTest, DataForms) {
  EXPECT_EQ(IPToData("1.2.3.4.5"), "\x01\x02\x03\x04"s);
  EXPECT_EQ(IPToData("192.168.0.1"), "\xC0\xA8\x00\x01"s);
  EXPECT_EQ(DataToIP("\x01\x02"s), "1.2.0.0");
  EXPECT_EQ(DataToIP(""), "0.0.0.0");
  EXPECT_EQ(DataToIP("\xFF\x00\x01\x02\x09"s), "255.0.1.2");
}

TEST(IPTest, NextIPCarries) {
  EXPECT_EQ(NextIP("10.0.0.1"), "10.0.0.2");
  EXPECT_EQ(NextIP("10.0.0.255"), "10.0.1.0");
  EXPECT_EQ(NextIP("10.255.255.255"), "11.0.0.0");
  EXPECT_EQ(NextIP("255.255.255.255"), "0.0.0.0");
}

TEST(IPTest, Bits) {
  RecordingErrorSink sink;
  EXPECT_EQ(IPToBin(sink, "255.255.255.0"), std::string(24, '1') + std::string(8, '0'));
  EXPECT_EQ(IPToBin(sink, "128.0.0.5"), "10000000000000000000000000000101");
}

struct NetCase {
  std::string a, b, mask;
  bool same;
};

class SameNetTest : public ::testing::TestWithParam<NetCase> {};

TEST_P(SameNetTest, ComparesUpToLastMaskBit) {
  RecordingErrorSink sink;
  EXPECT_EQ(SameNet(sink, GetParam().a, GetParam().b, GetParam().mask), GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(IP, SameNetTest,
                         ::testing::Values(NetCase{"192.168.1.10", "192.168.1.200", "255.255.255.0", true},
                                           NetCase{"192.168.1.10", "192.168.1.200", "255.255.255.128", false},
                                           NetCase{"192.168.1.10", "192.168.2.10", "255.255.255.0", false},
                                           NetCase{"1.2.3.4", "200.9.9.9", "0.0.0.0", true},
                                           // A non-contiguous mask acts like 255.255.255.0.
                                           NetCase{"10.0.1.1", "10.9.1.2", "255.0.255.0", false},
                                           NetCase{"10.0.1.1", "10.0.1.2", "0.0.0.255", false},
                                           NetCase{"10.0.1.1", "10.0.1.1", "255.255.255.255", true}));

struct ValidCase {
  std::string address, mask;
  bool valid;
};

class ValidIPTest : public ::testing::TestWithParam<ValidCase> {};

TEST_P(ValidIPTest, RejectsNetworkBroadcastLoopbackAndEmpty) {
  RecordingErrorSink sink;
  EXPECT_EQ(ValidIP(sink, GetParam().address, GetParam().mask), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(IP, ValidIPTest,
                         ::testing::Values(ValidCase{"192.168.1.1", "255.255.255.0", true},
                                           ValidCase{"192.168.1.0", "255.255.255.0", false},
                                           ValidCase{"192.168.1.255", "255.255.255.0", false},
                                           ValidCase{"192.168.1.127", "255.255.255.128", false},
                                           ValidCase{"192.168.1.128", "255.255.255.128", false},
                                           ValidCase{"192.168.1.129", "255.255.255.128", true},
                                           ValidCase{"127.0.0.1", "255.0.0.0", false},
                                           ValidCase{"127.0.0.1", "0.0.0.0", false},
                                           ValidCase{"10.0.0.1", "255.255.255.255", false},
                                           ValidCase{"0.0.0.0", "0.0.0.0", false},
                                           ValidCase{"", "0.0.0.0", false}));

TEST(ArpaTest, ReverseNames) {
  RecordingErrorSink sink;
  EXPECT_EQ(ArpaToData(sink, "4.3.2.1.in-addr.arpa."), "\x01\x02\x03\x04"s);
  EXPECT_EQ(ArpaToData(sink, "3.2.1.in-addr.arpa."), "\x00\x01\x02\x03"s);
  EXPECT_EQ(ArpaToData(sink, "4.3.2.1.IN-ADDR.ARPA."), "\x00\x00\x00\x00"s);
  EXPECT_EQ(ArpaToData(sink, "4.3.2.1.in-addr.arpa"), "\x00\x00\x00\x00"s);
  EXPECT_EQ(ArpaToData(sink, "in-addr.arpa."), "\x00\x00\x00\x00"s);
  EXPECT_EQ(ArpaToIP(sink, "1.0.168.192.in-addr.arpa."), "192.168.0.1");
  EXPECT_EQ(DataToArpa(sink, "\x01\x02\x03\x04"s), "4.3.2.1.in-addr.arpa.");
  EXPECT_EQ(IPToArpa("192.168.0.1"), "1.0.168.192.in-addr.arpa.");
  EXPECT_EQ(IPToArpa("junk"), "0.0.0.0.in-addr.arpa.");
  EXPECT_TRUE(sink.entries.empty());
}

TEST(ArpaTest, ShortDataIsReported) {
  RecordingErrorSink sink;
  EXPECT_EQ(DataToArpa(sink, "\x01\x02\x03"s), "");
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].where, "modIP DataToArpa");
}

}  // namespace
}  // namespace vell
