// Answers from the zones: exact records, referrals, name errors and no
// data, wildcards, the choice of zone, and DHCP leases.
#include <gtest/gtest.h>

#include "zone_fixture.h"

namespace vell::test {
namespace {

constexpr int16_t kA = 1, kNS = 2, kSOA = 6, kPTR = 12, kMX = 15, kTXT = 16, kSRV = 33, kANY = 255;

class LookupTest : public ZoneTest {
 protected:
  LookupTest() {
    Load("example.com.",
         "@ IN SOA ns1 hostmaster 7 3600 600 86400 3600\r\n@ NS ns1\r\nns1 A 192.0.2.1\r\n"
         "mail AAAA 2001:db8::25\r\nmail A 10.0.0.1\r\nmail A 10.0.0.2\r\n@ MX 10 mail\r\n"
         "@ MX 20 mx.other.org.\r\n_sip._udp SRV 0 5 5060 mail\r\nalias CNAME www\r\nwww A 10.0.0.80\r\n"
         "www TXT \"web\"\r\nglued NS ns.glued\r\nns.glued A 192.0.2.53\r\n"
         "bare NS ns.bare\r\nhost.bare A 10.0.0.9\r\n"  // a server inside the child without address
         "mixed NS ns.mixed\r\nmixed NS ns.example.net.\r\n"
         "d DFCN target\r\n");  // without a "*" owner: no wildcards
    Load("sub.example.com.", "@ SOA ns hm 1 2 3 4 5\nx A 10.9.9.9\n");
    Load(".", "@ SOA a.root. hm. 1 2 3 4 5\ncom NS a.gtld.\n");
    Load("wild.example.",
         "@ SOA ns1 hm 1 2 3 4 5\n* A 10.1.1.1\n* MX 10 mail\nmail A 10.0.0.25\nb TXT \"b exists\"\n"
         "*.c A 10.3.3.3\nd DFCN target\n");
    Load("0.0.10.in-addr.arpa.", "@ SOA ns1.example.com. hm 1 2 3 4 5\n1 PTR mail.example.com.\n");
    const DateTime now = t.ctx.Now();
    t.ctx.Leases = {{"10.0.0.77", "mail.example.com.", now + Minutes(5), "", ""},
                    {"10.0.0.78", "gone.example.com.", now - Minutes(5), "", ""},
                    {"10.0.0.1", "pc.example.com.", now + Minutes(5), "", ""}};
  }
};

const std::string kSoa = "SOA example.com. = ns1.example.com. (Serial 7)";
const std::string kNoData = "AA 0 |  | " + kSoa + " | ";
const std::string kNameError = "AA 3 |  | " + kSoa + " | ";
const std::string kNameErrorFlagged = "AA 3 |  |  | ";  // recursion desired or a quick lookup
const std::string kOutside = "0 |  |  | ";
const std::string kWildSoa = "SOA wild.example. = ns1.wild.example. (Serial 1)";

// Each name with each type, with every combination of the two flags; only
// a name error depends on them (flagged: the answer with either flag).
TEST_F(LookupTest, Answers) {
  struct Row {
    const char* name;
    int32_t type;
    std::string expected;
    std::string flagged = "";
  };
  const std::string alias = "AA 0 | CNAME alias.example.com. = www.example.com. |  | ";
  const std::string glued =
      "0 |  | NS glued.example.com. = ns.glued.example.com. | A ns.glued.example.com. = 192.0.2.53";
  const Row rows[] = {
      // Records of one name in reverse file order, live leases first.
      {"mail.example.com.", kA,
       "AA 0 | A mail.example.com. = 10.0.0.77, A mail.example.com. = 10.0.0.2, A mail.example.com. = "
       "10.0.0.1 |  | "},
      {"1.0.0.10.in-addr.arpa.", kPTR,
       "AA 0 | PTR 1.0.0.10.in-addr.arpa. = pc.example.com., PTR 1.0.0.10.in-addr.arpa. = mail.example.com. "
       "|  | "},
      {"gone.example.com.", kA, kNameError, kNameErrorFlagged},  // an expired lease
      {"78.0.0.10.in-addr.arpa.", kANY, "AA 3 |  | SOA 0.0.10.in-addr.arpa. = ns1.example.com. (Serial 1) | ",
       kNameErrorFlagged},
      // An existing name without the type, and an empty non-terminal.
      {"www.example.com.", kMX, kNoData},
      {"www.example.com.", 28, kNoData},
      {"www.example.com.", 65, kNoData},
      {"www.example.com.", 65534, kNoData},
      {"_udp.example.com.", kSRV, kNoData},
      {"nothing.example.com.", kA, kNameError, kNameErrorFlagged},
      // A CNAME answers every type and is not followed.
      {"alias.example.com.", kA, alias},
      {"alias.example.com.", kMX, alias},
      {"alias.example.com.", kTXT, alias},
      // Mail and service targets get addresses only from the zone.
      {"example.com.", kMX,
       "AA 0 | MX example.com. = mx.other.org. (Preference 20), MX example.com. = mail.example.com. "
       "(Preference 10) |  | A mail.example.com. = 10.0.0.2, A mail.example.com. = 10.0.0.1, AAAA "
       "mail.example.com. = 2001:db8::25"},
      {"_sip._udp.example.com.", kSRV,
       "AA 0 | SRV _sip._udp.example.com. = mail.example.com. (Priority 0, Weight 5, Port 5060) |  | A "
       "mail.example.com. = 10.0.0.2, A mail.example.com. = 10.0.0.1, AAAA mail.example.com. = 2001:db8::25"},
      {"example.com.", kANY,
       "AA 0 | MX example.com. = mx.other.org. (Preference 20), MX example.com. = mail.example.com. "
       "(Preference 10), NS example.com. = ns1.example.com., " +
           kSoa + " |  | "},
      // Delegations refer for every type; the apex NS never does.
      {"glued.example.com.", kA, glued},
      {"glued.example.com.", kSOA, glued},
      {"deep.below.glued.example.com.", kA, glued},
      {"example.com.", kNS, "AA 0 | NS example.com. = ns1.example.com. |  | "},
      // A server inside the child without address is left out: with no
      // other, the parent answers.
      {"host.bare.example.com.", kA, "AA 0 | A host.bare.example.com. = 10.0.0.9 |  | "},
      {"x.bare.example.com.", kA, kNameError, kNameErrorFlagged},
      {"mixed.example.com.", kA, "0 |  | NS mixed.example.com. = ns.example.net. | "},
      // The most specific zone answers; the root zone only for the root.
      {"x.sub.example.com.", kA, "AA 0 | A x.sub.example.com. = 10.9.9.9 |  | "},
      {"y.sub.example.com.", kA, "AA 3 |  | SOA sub.example.com. = ns.sub.example.com. (Serial 1) | ",
       kNameErrorFlagged},
      {"example.org.", kA, kOutside},
      {"com.", kA, kOutside},
      {"xexample.com.", kA, kOutside},
      {"", kA, kOutside},
      {".", kSOA, "AA 0 | SOA . = a.root. (Serial 1) |  | "},
      // Wildcards: the query's name below an existing one; the stored record
      // keeps its own; the closest level that exists ends the search.
      {"a.b.wild.example.", kA, "AA 0 | A a.b.wild.example. = 10.1.1.1 |  | "},
      {"*.wild.example.", kA, "AA 0 | A *.wild.example. = 10.1.1.1 |  | "},
      {"y.x.c.wild.example.", kA, "AA 0 | A y.x.c.wild.example. = 10.3.3.3 |  | "},
      {"x.c.wild.example.", kMX, "AA 0 |  | " + kWildSoa + " | "},
      {"x.wild.example.", kTXT, "AA 0 |  | " + kWildSoa + " | "},
      {"b.wild.example.", kA, "AA 0 |  | " + kWildSoa + " | "},
      {"q.wild.example.", kMX,
       "AA 0 | MX q.wild.example. = mail.wild.example. (Preference 10) |  | A mail.wild.example. = "
       "10.0.0.25"},
      {"host.d.wild.example.", kA, "AA 0 | CNAME host.d.wild.example. = target.wild.example. |  | "},
      {"host.d.example.com.", kA, kNameError, kNameErrorFlagged},
  };
  for (const Row& row : rows) {
    for (const int flags : {0, 1, 2, 3}) {
      SCOPED_TRACE(std::string(row.name) + " type " + std::to_string(row.type) + " flags " +
                   std::to_string(flags));
      EXPECT_EQ(Show(*Ask(row.name, row.type, flags & 1, flags & 2)),
                flags == 0 || row.flagged.empty() ? row.expected : row.flagged);
    }
  }
}

TEST_F(LookupTest, ZoneRecordsAreHandedOutNotCopiedAndLeaseRecordsHaveNoTTL) {
  const auto a = Ask("mail.example.com.", kA);
  const clZone* zone = Zone("example.com.");
  EXPECT_EQ(a->Section2[1], zone->Records[zone->FindRec("mail.example.com.")]);
  EXPECT_EQ(a->Section2[0]->TTL(t.clock), 0);
}

}  // namespace
}  // namespace vell::test
