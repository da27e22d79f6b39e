// Integer readers and writers.
#include "dns/wire.h"

#include <gtest/gtest.h>

#include <tuple>

#include "dns/wire_bytes.h"

namespace vell {
namespace {

using test::Octets;

TEST(ReadersTest, ReadAndConsume) {
  const std::tuple<std::string, int32_t, int32_t> cases[] = {
      // data, GetInt, GetLong
      {"", 0, 0},
      {Octets({1}), 0, 0},
      {Octets({0x80, 1}), 32769, 0},  // 16-bit fields are unsigned
      {Octets({0xFF, 0xFF, 0xFF}), 65535, 0},
      {Octets({0xFF, 0xFF, 0xFF, 0xFF}), 65535, 2147483647},  // TTL: top bit cleared
      {Octets({0x12, 0x34, 0x56, 0x78, 9}), 0x1234, 0x12345678}};
  for (const auto& [original, get_int, get_long] : cases) {
    std::string data = original;
    EXPECT_EQ(GetInt(data, false), get_int);
    EXPECT_EQ(GetLong(data, false), get_long);
    EXPECT_EQ(data, original);
    // Consuming removes the field's width even from data that was too short.
    EXPECT_EQ(GetInt(data, true), get_int);
    EXPECT_EQ(data, original.substr(std::min<size_t>(2, original.size())));
    std::string_view view = original;
    EXPECT_EQ(GetLong(view, true), get_long);
    EXPECT_EQ(view, original.substr(std::min<size_t>(4, original.size())));
  }
}

TEST(WritersTest, TwoOctetWriters) {
  EXPECT_EQ(MakeInt(300), Octets({1, 0x2C}));
  EXPECT_EQ(MakeInt(40000), Octets({0x9C, 0x40}));
  EXPECT_EQ(MakeInt(0xABCD), Octets({0xAB, 0xCD}));
  EXPECT_EQ(MakeInt(-2), Octets({0xFF, 0xFE}));
}

TEST(WritersTest, MakeLongWritesFourOctetsAndReportsOverflow) {
  RecordingErrorSink sink;
  EXPECT_EQ(MakeLong(sink, 3600), Octets({0, 0, 0x0E, 0x10}));
  EXPECT_EQ(MakeLong(sink, 0x12345678), Octets({0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(MakeLong(sink, 2147483647.0), Octets({0x7F, 0xFF, 0xFF, 0xFF}));
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(MakeLong(sink, 2147483648.0), "");
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].where, "modDNS MakeLong");
  EXPECT_EQ(sink.entries[0].number, kErrOverflow);
}

}  // namespace
}  // namespace vell
