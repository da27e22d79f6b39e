#include "console/guard.h"

#include <cstddef>

namespace vell {

namespace {

// Compares secrets in time independent of where they first differ.
bool SameSecret(const std::string& given, const std::string& secret) {
  if (given.size() != secret.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < given.size(); ++i) diff |= static_cast<unsigned char>(given[i] ^ secret[i]);
  return diff == 0;
}

}  // namespace

std::string ConsoleGuard::CookieName() const {
  // Cookies are kept per host, not per port: two consoles on one machine
  // must not overwrite each other's.
  return "vellion_" + host_.substr(host_.rfind(':') + 1);
}

std::string ConsoleGuard::SetCookie() const {
  return CookieName() + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict";
}

std::string ConsoleGuard::Refusal(const HttpRequest& request, bool changes_state) {
  if (request.Header("host") != host_) return "wrong Host header";
  const std::string given =
      request.Arg("token").empty() ? request.Cookie(CookieName()) : request.Arg("token");
  if (given.empty()) return "no token";
  if (!SameSecret(given, token_)) return "wrong token";
  if (!changes_state) return "";
  if (request.method != "POST") return "state change without POST";
  const std::string origin = request.Header("origin");
  if (!origin.empty() && origin != "http://" + host_) return "cross-site request";
  if (!SameSecret(request.Header("x-csrf-token"), csrf_)) return "no CSRF token";
  return "";
}

HttpResponse ConsoleGuard::Refuse(const std::string& cause) {
  if (logged_.insert(cause).second) log_("Console request refused: " + cause);
  return HttpResponse::Text(403, "Forbidden: " + cause);
}

}  // namespace vell
