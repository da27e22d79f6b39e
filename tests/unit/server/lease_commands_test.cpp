// The lease window's operations as the operator console calls them.
#include "server/lease_commands.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace vell {
namespace {

TEST(LeaseCommands, RenameKeepsTheNameAsAnAliasInTheIniOrSaysItIsTaken) {
  test::TestContext t;
  t.ctx.state.Interactive = true;
  const DateTime later = t.ctx.Now() + Minutes(5);
  t.ctx.Leases = {{"10.0.0.5", "a.lan.", later, "\x01\x02", "\x01\x02"},
                  {"10.0.0.6", "b.lan.", later, "\x03", "\x03"}};

  EXPECT_EQ(RenameLease(t.ctx, "10.0.0.5", "b", 0), RenameOutcome::kNameExists);
  EXPECT_EQ(t.boxes.shown, (std::vector<std::string>{"Name already exists!"}));

  EXPECT_EQ(RenameLease(t.ctx, "10.0.0.5", "printer", 0), RenameOutcome::kRenamed);
  EXPECT_EQ(t.ctx.Leases[0].ClientName, "printer.lan.");
  EXPECT_NE(t.dir.Read("vellion.ini").find("DHCPAlias: 0102 printer\r\n"), std::string::npos);

  DelLease(t.ctx, "10.0.0.6");
  EXPECT_EQ(t.ctx.Leases.size(), 1u);
}

}  // namespace
}  // namespace vell
