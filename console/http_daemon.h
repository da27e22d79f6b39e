// The console's HTTP server: libmicrohttpd driven from our one event loop.
// Its epoll descriptor is a source of the loop, and a timer is armed for
// whenever the library next needs to run unprompted (a connection's
// time-out); it has no thread of its own, and since it answers from what is
// in memory, a slow browser only ever waits on its own socket.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "console/http.h"
#include "core/platform/event_loop.h"

struct MHD_Daemon;

namespace vell {

class HttpDaemon {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;

  // Binds address:port (throws SocketError when it cannot) and starts
  // serving through the loop; a connection silent for timeout_s is closed.
  HttpDaemon(EventLoop& loop, const std::string& address, uint16_t port, unsigned timeout_s, Handler handler);
  ~HttpDaemon();
  HttpDaemon(const HttpDaemon&) = delete;
  HttpDaemon& operator=(const HttpDaemon&) = delete;

  // The port bound (the one chosen by the system for port 0).
  uint16_t Port() const { return port_; }

  // Called by the library for each request (public for its C callback).
  HttpResponse Serve(const HttpRequest& request) const { return handler_(request); }

 private:
  void Run();

  EventLoop& loop_;
  Handler handler_;
  uint16_t port_ = 0;
  MHD_Daemon* daemon_ = nullptr;
  int watch_id_ = -1;
  int timer_id_ = -1;
};

}  // namespace vell
