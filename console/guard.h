// Who may use the console: requests must carry the access token (in the
// URL's "token" argument, or the cookie the first page sets), name the
// console's own address and port in Host (a page of another site that
// rebinds its name to us is refused), and state-changing requests must be
// POSTs carrying the CSRF token. Each kind of refusal is logged once per
// run, and never with the secret in it.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "console/http.h"

namespace vell {

class ConsoleGuard {
 public:
  ConsoleGuard(std::string host, std::string token, std::string csrf,
               std::function<void(const std::string&)> log)
      : host_(std::move(host)), token_(std::move(token)), csrf_(std::move(csrf)), log_(std::move(log)) {}

  // Empty when the request may pass, otherwise why it is refused.
  std::string Refusal(const HttpRequest& request, bool changes_state);
  // The answer to a refused request (403), logged the first time its
  // cause is seen.
  HttpResponse Refuse(const std::string& cause);

  // The cookie that carries the token after the first page.
  std::string CookieName() const;
  std::string SetCookie() const;
  const std::string& Csrf() const { return csrf_; }

 private:
  const std::string host_;  // "ADDR:PORT"
  const std::string token_;
  const std::string csrf_;
  std::function<void(const std::string&)> log_;
  std::set<std::string> logged_;
};

}  // namespace vell
