// Zone transfers refused before anything of the zone is sent.
#include "zone_fixture.h"
#include "zones/transfer_sink.h"

namespace vell::test {
namespace {

class RecordingSink final : public TransferSink {
 public:
  bool SendMessage(const std::string& message) override {
    sent.push_back(message);
    return true;
  }
  std::vector<std::string> sent;
};

TEST_F(ZoneTest, TransferOfAZoneWithoutSoaIsRefused) {
  // The apex sorts after its children: the search for its SOA runs to the zone's last record.
  Load("example.com.", "; NOTSECURE\na A 10.0.0.1\n@ NS ns1\n");
  RecordingSink sink;
  auth().ZoneTransfer(7, false, "example.com.", false, "192.0.2.9", sink);
  ASSERT_EQ(sink.sent.size(), 1u);
  EXPECT_EQ(sink.sent[0][3] & 0x0F, 5);  // Refused
  EXPECT_EQ(LogTexts().back(), "-> Header: Refused.");
}

}  // namespace
}  // namespace vell::test
