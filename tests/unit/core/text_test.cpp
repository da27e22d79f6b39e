#include "core/text.h"

#include <gtest/gtest.h>

#include <tuple>

namespace vell {
namespace {

// CleanName keeps only name characters; CleanNameF only removes blanks and stray dots.
TEST(Text, CleanNameAndCleanNameF) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {" Host_1.Example..COM. ", "host_1.example.com", "host_1.example.com"},
      {"my host", "myhost", "myhost"},
      {"...", "", ""},
      {"", "", ""},
      {"a+b", "ab", "a+b"},
      {"*.Wild/X-1", "*.wild/x-1", "*.wild/x-1"},
      {" ..A..b.. ", "a.b", "a.b"},
      {"Zz.Biz", "zz.biz", "zz.biz"},
      {"\xC9t\xE9.com", "t.com", "\xC9t\xE9.com"}};  // accented letters are dropped, not folded
  for (const auto& [in, name, name_f] : cases) {
    EXPECT_EQ(CleanName(in), name) << in;
    EXPECT_EQ(CleanNameF(in), name_f) << in;
  }
}

TEST(Text, NextTokenSplitsOnBlanksOnly) {
  std::string s = "  10.0.0.1   mydomain";
  EXPECT_EQ(NextToken(s), "10.0.0.1");
  EXPECT_EQ(s, "mydomain");
  EXPECT_EQ(NextToken(s), "mydomain");
  EXPECT_EQ(s, "");
  EXPECT_EQ(NextToken(s), "");
  s = "a\tb c   ";
  EXPECT_EQ(NextToken(s), "a\tb");
  EXPECT_EQ(NextToken(s), "c");
  EXPECT_EQ(s, "");
}

// Character strings on disk: quoted, with what a zone file cannot hold as
// \ddd; read back, quoted or bare; every octet makes the round trip.
TEST(Text, TXTOnDisk) {
  const std::pair<std::string, std::string> to_disk[] = {
      {"\010say \"hi\"", "\"say \\042hi\\042\" "},
      {"\003a;b", "\"a\\073b\" "},
      {"\006\310\177\037\\()", "\"\\310\\177\\037\\134\\050\\051\" "},
      {std::string("\001a\000", 3), "\"a\" \"\" "},
      {"\005ab", "\"ab\" "},  // a length beyond the data takes what is there
      {"", ""}};
  for (const auto& [data, text] : to_disk) EXPECT_EQ(TXTtDisk(data), text) << text;
  const std::pair<std::string, std::string> from_disk[] = {
      {"hello world", "\013hello world"},
      {" \"abc def ", "\007abc def"},  // no closing quote: the rest of the text
      {"\"a\\042b\"  \"c\"", "\003a\"b\001c"},
      {"\"\" \"\"", ""},
      {"\"" + std::string(300, 'x') + "\"", "\377" + std::string(255, 'x')}};
  for (const auto& [text, data] : from_disk) EXPECT_EQ(TXTfDisk(text), data) << text;
  std::string data;
  for (int first = 0; first < 256; first += 64) {
    data += static_cast<char>(64);
    for (int c = first; c < first + 64; ++c) data += static_cast<char>(c);
  }
  EXPECT_EQ(TXTfDisk(TXTtDisk(data)), data);
}

TEST(Text, HexAndNumbers) {
  const std::string octets("\x00\x0A\xFF", 3);
  EXPECT_EQ(HWToHex(octets), "000AFF");
  EXPECT_EQ(HexToHW("000AFF"), octets);
  EXPECT_EQ(HexToHW("000aff7"), octets);  // odd trailing digit ignored
  EXPECT_EQ(HWToHex("") + HexToHW("A"), "");
  const std::pair<std::string, double> in[] = {
      {" 12abc", 12},  {"-3.5x", -3.5},  {".5", 0.5},  {"abc", 0}, {"1e3", 1000},
      {"1e", 1},       {"+7", 7},        {"-", 0},     {".", 0},   {"1.2.3", 1.2},
      {"2e19x", 2e19}, {"2e-3x", 0.002}, {"1E+2", 100}};
  for (const auto& [text, value] : in) EXPECT_DOUBLE_EQ(LeadingNumber(text), value) << text;
  EXPECT_EQ(NumText(3600) + "|" + NumText(0) + "|" + NumText(-5) + "|" + NumText(2.5), " 3600| 0|-5| 2.5");
}

}  // namespace
}  // namespace vell
