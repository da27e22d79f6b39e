// The lookup page's question: names and types it refuses, the answer as
// lines, the time-out on the fake clock, and only the latest 16 kept.
#include "console/lookup.h"

#include <gtest/gtest.h>

#include "dns/message.h"
#include "loop_runner.h"
#include "test_support.h"

namespace vell {
namespace {

TEST(ConsoleLookup, AnswersTimeOutsAndTheLatestSixteenQuestions) {
  test::TestContext t;
  UdpSocket server(t.loop);
  server.Bind(0, "127.0.0.1");
  std::vector<Datagram> asked;
  server.OnDataArrival = [&](const Datagram& d) { asked.push_back(d); };
  ConsoleLookup lookup(t.ctx.env, server.LocalPort());
  int id = 0;
  EXPECT_EQ(lookup.Ask(" ", "A", id), "Please enter a name.");
  EXPECT_EQ(lookup.Ask("x", "BOGUS", id), "Unknown record type BOGUS");
  std::vector<int> ids;
  for (const char* type :
       {"mx", "TYPE65534", "a", "A", "A", "A", "A", "A", "A", "A", "A", "A", "A", "A", "A", "A", "A"}) {
    ASSERT_EQ(lookup.Ask(" Host.Example ", type, id), "");
    ids.push_back(id);
  }
  ASSERT_TRUE(test::RunUntil(t.loop, [&] { return asked.size() == 17; }));
  RecordingErrorSink sink;
  const Question question = DecodeMessage(sink, asked[1].data).question;
  EXPECT_EQ((std::pair{question.name, question.type}), (std::pair{std::string("host.example."), 65534}));

  EXPECT_EQ(lookup.Result(ids[0]), std::vector<std::string>{"No such question."});  // the 17th pushed it out
  EXPECT_EQ(lookup.Result(ids[1]), std::nullopt);
  server.SendTo(asked[1].host, asked[1].port, EchoReply(asked[1].data, 0x80));
  ASSERT_TRUE(test::RunUntil(t.loop, [&] { return lookup.Result(ids[1]).has_value(); }));
  EXPECT_EQ(*lookup.Result(ids[1]), std::vector<std::string>{"Header: No Error"});
  t.clock.AdvanceSeconds(5);
  EXPECT_EQ(lookup.Result(ids[2]), std::nullopt);
  t.clock.AdvanceSeconds(1);
  EXPECT_EQ(lookup.Result(ids[2]), std::vector<std::string>{"No answer (timed out)."});
  EXPECT_EQ(*lookup.Result(ids[1]), std::vector<std::string>{"Header: No Error"});
}

// Question numbers wrap after 65,535: the oldest question is forgotten, not
// the one with the smallest number.
TEST(ConsoleLookup, KeepsTheLatestQuestionsAcrossTheNumbersWrap) {
  test::TestContext t;
  ConsoleLookup lookup(t.ctx.env, 9);  // the discard port: nobody answers
  int id = 0;
  std::vector<int> ids;
  for (int i = 0; i < 65537; ++i) {
    ASSERT_EQ(lookup.Ask("x", "A", id), "");
    ids.push_back(id);
  }
  EXPECT_EQ(ids[65535], 1);
  EXPECT_EQ(lookup.Result(ids[65535]), std::nullopt);
  EXPECT_EQ(lookup.Result(ids[65520]), std::vector<std::string>{"No such question."});
}

}  // namespace
}  // namespace vell
