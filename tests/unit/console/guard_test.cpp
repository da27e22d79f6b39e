// The console guard's verdict on each kind of request, and that each cause
// is logged once.
#include "console/guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vell {
namespace {

constexpr char kHost[] = "127.0.0.1:5380";
const std::string kToken(32, 'a');
const std::string kCsrf(32, 'c');

struct Case {
  const char* what;
  const char* method;
  const char* host;
  std::string arg_token;
  std::string cookie_token;
  const char* origin;
  std::string csrf;
  bool changes_state;
  const char* refusal;
};

HttpRequest Make(const Case& c) {
  HttpRequest r;
  r.method = c.method;
  r.headers["host"] = c.host;
  if (!c.arg_token.empty()) r.query["token"] = c.arg_token;
  if (!c.cookie_token.empty()) r.cookies["vellion_5380"] = c.cookie_token;
  if (*c.origin != '\0') r.headers["origin"] = c.origin;
  if (!c.csrf.empty()) r.headers["x-csrf-token"] = c.csrf;
  return r;
}

TEST(ConsoleGuard, VerdictPerRequest) {
  const std::string near_token = std::string(31, 'a') + "b";
  const std::vector<Case> cases = {
      {"page with the URL's token", "GET", kHost, kToken, "", "", "", false, ""},
      {"call with the cookie", "GET", kHost, "", kToken, "", "", false, ""},
      {"no token", "GET", kHost, "", "", "", "", false, "no token"},
      {"token one digit off", "GET", kHost, near_token, "", "", "", false, "wrong token"},
      {"token too short", "GET", kHost, "", "aaaa", "", "", false, "wrong token"},
      {"wrong argument beats a right cookie", "GET", kHost, near_token, kToken, "", "", false, "wrong token"},
      {"rebound host name", "GET", "evil.example:5380", kToken, "", "", "", false, "wrong Host header"},
      {"other port", "GET", "127.0.0.1:5381", kToken, "", "", "", false, "wrong Host header"},
      {"no Host", "GET", "", kToken, "", "", "", false, "wrong Host header"},
      {"command with CSRF token", "POST", kHost, "", kToken, "http://127.0.0.1:5380", kCsrf, true, ""},
      {"command without Origin", "POST", kHost, "", kToken, "", kCsrf, true, ""},
      {"command by GET", "GET", kHost, "", kToken, "", kCsrf, true, "state change without POST"},
      {"command without CSRF token", "POST", kHost, "", kToken, "", "", true, "no CSRF token"},
      {"command with another CSRF token", "POST", kHost, "", kToken, "", kToken, true, "no CSRF token"},
      {"command from another site", "POST", kHost, "", kToken, "http://evil.example", kCsrf, true,
       "cross-site request"},
  };
  ConsoleGuard guard(kHost, kToken, kCsrf, [](const std::string&) {});
  for (const Case& c : cases) EXPECT_EQ(guard.Refusal(Make(c), c.changes_state), c.refusal) << c.what;
}

TEST(ConsoleGuard, EachCauseLoggedOnceWithoutSecrets) {
  std::vector<std::string> logged;
  ConsoleGuard guard(kHost, kToken, kCsrf, [&logged](const std::string& line) { logged.push_back(line); });
  for (const char* cause : {"no token", "wrong token", "no token", "wrong token", "no token"}) {
    EXPECT_EQ(guard.Refuse(cause).status, 403);
  }
  EXPECT_EQ(logged, (std::vector<std::string>{"Console request refused: no token",
                                              "Console request refused: wrong token"}));
  EXPECT_EQ(guard.SetCookie(), "vellion_5380=" + kToken + "; Path=/; HttpOnly; SameSite=Strict");
}

}  // namespace
}  // namespace vell
