// One HTTP request as the console's handlers see it, and the answer they
// give: plain values, so the handlers are tested without a socket.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vell {

struct HttpRequest {
  std::string method;                          // "GET", "POST", ...
  std::string path;                            // without the query
  std::map<std::string, std::string> query;    // the URL's arguments
  std::map<std::string, std::string> headers;  // names in lower case
  std::map<std::string, std::string> cookies;
  std::string body;

  // The header, the argument or the cookie; empty when absent.
  std::string Header(const std::string& lower_name) const { return Find(headers, lower_name); }
  std::string Arg(const std::string& name) const { return Find(query, name); }
  std::string Cookie(const std::string& name) const { return Find(cookies, name); }

 private:
  static std::string Find(const std::map<std::string, std::string>& m, const std::string& key) {
    const auto it = m.find(key);
    return it == m.end() ? std::string() : it->second;
  }
};

struct HttpResponse {
  int status = 200;
  std::string content_type = "application/json";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;

  static HttpResponse Text(int status, const std::string& text) {
    return {status, "text/plain; charset=utf-8", text + "\n", {}};
  }
};

}  // namespace vell
