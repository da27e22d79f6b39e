// ExtractName on hand-made messages. Offsets in comments are 0-based. That
// the string_view overload agrees is checked by fuzz_dns_names on its corpus.
#include <gtest/gtest.h>

#include "dns/names.h"
#include "dns/wire_bytes.h"

namespace vell {
namespace {

using test::kHeader;
using test::Octets;

class ExtractNameTest : public ::testing::Test {
 protected:
  // Decodes with advance from offset; rest_ keeps what is left.
  std::string At(const std::string& message, size_t offset, bool advance = true) {
    rest_ = message.substr(offset);
    return ExtractName(sink_, message, rest_, advance);
  }
  void TearDown() override { EXPECT_TRUE(sink_.entries.empty()); }
  RecordingErrorSink sink_;
  std::string rest_;
};

TEST_F(ExtractNameTest, NamesEndAtZeroOctet) {
  EXPECT_EQ(At(kHeader + Octets({3, "WwW", 7, "Example", 3, "COM", 0, 0, 1, 0, 1}), 12), "www.example.com.");
  EXPECT_EQ(rest_, Octets({0, 1, 0, 1}));
  EXPECT_EQ(At(Octets({0, 0, 2}), 0), ".");
  EXPECT_EQ(rest_, Octets({0, 2}));
  // No escaping: a "." octet stays inside the label; only A-Z are folded.
  EXPECT_EQ(At(Octets({4, "a.B@", 3, 0xC4, "Q[", 0}), 0), "a.b@.\xC4q[.");
}

TEST_F(ExtractNameTest, OnlyTheFirstPointerMovesRest) {
  // 12: example.com.  25: www -> 12  31: ftp -> 25, then TYPE.
  const std::string message =
      kHeader + Octets({7, "example", 3, "com", 0, 3, "www", 0xC0, 12, 3, "ftp", 0xC0, 25, 0, 5});
  EXPECT_EQ(At(message, 31), "ftp.www.example.com.");
  EXPECT_EQ(rest_, Octets({0, 5}));
  EXPECT_EQ(At(message, 31, false), "ftp.www.example.com.");
  EXPECT_EQ(rest_, message.substr(31));
}

TEST_F(ExtractNameTest, FollowsForwardPointers) {
  EXPECT_EQ(At(kHeader + Octets({1, "a", 0xC0, 20, 0xFF, 0xFF, 0xFF, 0xFF, 1, "b", 0}), 12), "a.b.");
}

TEST_F(ExtractNameTest, RunningOffTheEndIsIncomplete) {
  EXPECT_EQ(At(Octets({1, "a", 5, "bc"}), 0), "a.bc.incomplete.");  // cut label keeps its octets
  EXPECT_EQ(rest_, "");
  EXPECT_EQ(At(Octets({1, "a"}), 0), "a.incomplete.");  // no zero octet
  EXPECT_EQ(rest_, "");
  // A pointer past the end: rest has already moved behind the pointer.
  EXPECT_EQ(At(kHeader + Octets({1, "a", 0xC0, 0x40, 0, 1}), 12), "a.incomplete.");
  EXPECT_EQ(rest_, Octets({0, 1}));
}

// n pointers at offsets 0, 2, 4, ... each to the next, then the name "end".
std::string PointerChain(int n) {
  std::string message;
  for (int i = 1; i <= n; ++i) message += Octets({0xC0, 2 * i});
  return message + Octets({3, "end", 0});
}

TEST_F(ExtractNameTest, TwentyPointersDecodeTheTwentyFirstStops) {
  EXPECT_EQ(At(PointerChain(20), 0), "end.");
  EXPECT_EQ(At(PointerChain(21), 0), "incomplete.");
  std::string looped;  // a pointer to its own label: the labels read so far are kept
  for (int i = 0; i < 21; ++i) looped += "a.";
  EXPECT_EQ(At(Octets({1, "a", 0xC0, 0}), 0), looped + "incomplete.");
}

TEST_F(ExtractNameTest, PointerAsLastOctetReadsMissingOctetAsZero) {
  EXPECT_EQ(At(Octets({1, "b", 0, 0xC0}), 3), "b.");
  EXPECT_EQ(rest_, "");
  EXPECT_EQ(At(Octets({1, "b", 0, 0xC1}), 3), "incomplete.");  // offset 256
}

TEST_F(ExtractNameTest, LengthOctetsUpTo191AreLabelLengths) {
  const std::string label64(64, 'x'), label191(191, 'y');
  EXPECT_EQ(At(Octets({64, label64.c_str(), 0}), 0), label64 + ".");
  EXPECT_EQ(At(Octets({191, label191.c_str(), 0}), 0), label191 + ".");
  EXPECT_EQ(At(Octets({191, "abc"}), 0), "abc.incomplete.");
}

}  // namespace
}  // namespace vell
