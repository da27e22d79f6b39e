// ZipName: encoding and compression against hand-made messages.
#include <gtest/gtest.h>

#include "dns/names.h"
#include "dns/wire_bytes.h"

namespace vell {
namespace {

using test::kHeader;
using test::Octets;

// The question www.example.com. A IN; labels at 12 (www), 16 (example), 24 (com).
const std::string kQuery = kHeader + Octets({3, "www", 7, "example", 3, "com", 0, 0, 1, 0, 1});

class ZipNameTest : public ::testing::Test {
 protected:
  std::string Zip(const std::string& message, const std::string& name) {
    return ZipName(sink_, message, name);
  }
  RecordingErrorSink sink_;
};

TEST_F(ZipNameTest, EncodesLabelsSkippingEmptyOnes) {
  for (const char* root : {".", "", ".."})
    EXPECT_EQ(Zip(kQuery, root), Octets({0})) << root;  // never a pointer
  for (const char* name : {"a.bc.", "a.bc", "a..bc.", ".a.bc"}) {
    EXPECT_EQ(Zip("", name), Octets({1, "a", 2, "bc", 0})) << name;
  }
}

TEST_F(ZipNameTest, LongestSuffixFoundBecomesAPointer) {
  EXPECT_EQ(Zip(kQuery, "www.example.com."), Octets({0xC0, 12}));
  EXPECT_EQ(Zip(kQuery + Octets({3, "www", 7, "example", 3, "com", 0}), "example.com."), Octets({0xC0, 16}));
  EXPECT_EQ(Zip(kQuery, "a.b.example.com."), Octets({1, "a", 1, "b", 0xC0, 16}));
  EXPECT_EQ(Zip(kQuery, "ftp.com."), Octets({3, "ftp", 0xC0, 24}));
  EXPECT_EQ(Zip(kQuery, "example.org."), Octets({7, "example", 3, "org", 0}));
}

TEST_F(ZipNameTest, CompressesAgainstRecordDataToo) {
  // An answer whose RDATA (at 45) happens to hold the octets 03 "net" 00.
  const std::string message = kQuery + Octets({0xC0, 12, 0, 1, 0, 1, 0, 0, 14, 16, 0, 5, 3, "net", 0});
  EXPECT_EQ(Zip(message, "ns.net."), Octets({2, "ns", 0xC0, 45}));
}

TEST_F(ZipNameTest, SecondPassPointsAtAnEarlierCompressedName) {
  // 12: example.com.  25: www -> 12  31: ftp -> 25.
  const std::string message = kHeader + Octets({7, "example", 3, "com", 0, 3, "www", 0xC0, 12});
  EXPECT_EQ(Zip(message, "www.example.com."), Octets({0xC0, 25}));
  EXPECT_EQ(Zip(message + Octets({3, "ftp", 0xC0, 25}), "a.ftp.www.example.com."),
            Octets({1, "a", 0xC0, 31}));
}

TEST_F(ZipNameTest, MatchingIsCaseSensitive) {
  EXPECT_EQ(Zip(kQuery, "WWW.EXAMPLE.COM."), Octets({3, "WWW", 7, "EXAMPLE", 3, "COM", 0}));
  EXPECT_EQ(Zip(kQuery, "WWW.example.com."), Octets({3, "WWW", 0xC0, 16}));
}

TEST_F(ZipNameTest, MatchesAtOffset16384OrBeyondAreNotUsed) {
  const std::string com = Octets({3, "com", 0});
  EXPECT_EQ(Zip(std::string(16383, 'z') + com, "a.com."), Octets({1, "a", 0xFF, 0xFF}));
  EXPECT_EQ(Zip(std::string(16384, 'z') + com, "a.com."), Octets({1, "a"}) + com);
}

TEST_F(ZipNameTest, LabelOver255OctetsIsReportedAndGivesNothing) {
  const std::string label255(255, 'x');
  EXPECT_EQ(Zip("", label255 + ".").size(), 257u);
  EXPECT_TRUE(sink_.entries.empty());
  EXPECT_EQ(Zip("", label255 + "x.com."), "");
  ASSERT_EQ(sink_.entries.size(), 1u);
  EXPECT_EQ(sink_.entries[0].where, "modDNS ZipName");
  EXPECT_EQ(sink_.entries[0].number, kErrOverflow);
}

}  // namespace
}  // namespace vell
