#include "console/http_daemon.h"

#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "core/platform/socket_core.h"

namespace vell {

namespace {

// The longest the timer waits, whatever the library asks for.
constexpr int kMaxWaitMs = 60 * 1000;

// A request body larger than this is refused: the console's forms are small.
constexpr size_t kMaxBody = size_t{64} * 1024;

// What the library keeps per connection between the calls of one request.
struct Pending {
  std::string body;
  bool too_large = false;
};

MHD_Result CollectPair(void* cls, MHD_ValueKind /*kind*/, const char* key, const char* value) {
  auto& map = *static_cast<std::map<std::string, std::string>*>(cls);
  std::string name(key);
  map[std::move(name)] = value == nullptr ? "" : value;
  return MHD_YES;
}

std::map<std::string, std::string> Values(MHD_Connection* c, MHD_ValueKind kind) {
  std::map<std::string, std::string> map;
  MHD_get_connection_values(c, kind, &CollectPair, &map);
  return map;
}

std::map<std::string, std::string> LowerKeys(const std::map<std::string, std::string>& in) {
  std::map<std::string, std::string> out;
  for (const auto& [key, value] : in) {
    std::string lower = key;
    for (char& ch : lower) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    out[lower] = value;
  }
  return out;
}

MHD_Result Queue(MHD_Connection* c, const HttpResponse& answer) {
  MHD_Response* response = MHD_create_response_from_buffer(
      answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) return MHD_NO;
  MHD_add_response_header(response, "Content-Type", answer.content_type.c_str());
  for (const auto& [name, value] : answer.headers)
    MHD_add_response_header(response, name.c_str(), value.c_str());
  const MHD_Result queued = MHD_queue_response(c, static_cast<unsigned>(answer.status), response);
  MHD_destroy_response(response);
  return queued;
}

MHD_Result Access(void* cls, MHD_Connection* c, const char* url, const char* method, const char* /*version*/,
                  const char* upload_data, size_t* upload_data_size, void** con_cls) {
  if (*con_cls == nullptr) {
    *con_cls = new Pending;
    return MHD_YES;
  }
  auto* pending = static_cast<Pending*>(*con_cls);
  if (*upload_data_size != 0) {
    if (pending->body.size() + *upload_data_size > kMaxBody) {
      pending->too_large = true;
    } else {
      pending->body.append(upload_data, *upload_data_size);
    }
    *upload_data_size = 0;
    return MHD_YES;
  }
  if (pending->too_large) return Queue(c, HttpResponse::Text(413, "request too large"));
  HttpRequest request;
  request.method = method;
  request.path = url;
  request.query = Values(c, MHD_GET_ARGUMENT_KIND);
  request.headers = LowerKeys(Values(c, MHD_HEADER_KIND));
  request.cookies = Values(c, MHD_COOKIE_KIND);
  request.body = std::move(pending->body);
  return Queue(c, static_cast<const HttpDaemon*>(cls)->Serve(request));
}

void Completed(void* /*cls*/, MHD_Connection* /*c*/, void** con_cls, MHD_RequestTerminationCode /*code*/) {
  delete static_cast<Pending*>(*con_cls);
  *con_cls = nullptr;
}

// The listening socket is ours, so that a failed bind carries its reason.
int Listen(const std::string& address, uint16_t port) {
  const int fd = sockets::OpenBound(SOCK_STREAM, port, address, SO_REUSEADDR);
  if (::listen(fd, 16) != 0) {
    const int err = errno;
    ::close(fd);
    sockets::ThrowErrno(err, false);
  }
  return fd;
}

}  // namespace

HttpDaemon::HttpDaemon(EventLoop& loop, const std::string& address, uint16_t port, unsigned timeout_s,
                       Handler handler)
    : loop_(loop), handler_(std::move(handler)) {
  const int fd = Listen(address, port);
  port_ = ntohs(sockets::LocalAddress(fd).sin_port);
  daemon_ = MHD_start_daemon(MHD_USE_EPOLL, 0, nullptr, nullptr, &Access, this, MHD_OPTION_LISTEN_SOCKET, fd,
                             MHD_OPTION_NOTIFY_COMPLETED, &Completed, nullptr, MHD_OPTION_CONNECTION_LIMIT,
                             32U, MHD_OPTION_PER_IP_CONNECTION_LIMIT, 16U, MHD_OPTION_CONNECTION_TIMEOUT,
                             timeout_s, MHD_OPTION_END);
  if (daemon_ == nullptr) {
    ::close(fd);
    sockets::ThrowErrno(EINVAL, false);
  }
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD);
  watch_id_ = loop_.Watch(info->epoll_fd, false, [this](bool, bool) { Run(); });
  timer_id_ = loop_.AddTimer(kMaxWaitMs, [this] { Run(); });
}

HttpDaemon::~HttpDaemon() {
  loop_.RemoveTimer(timer_id_);
  loop_.Unwatch(watch_id_);
  MHD_stop_daemon(daemon_);  // closes the listening socket given to it
}

// One pass of the library over what is ready. A connection that can go on
// at once (the rest of a response) makes its time-out zero; those passes
// are repeated a bounded number of times, the rest waits for the next event
// or for the time-out the library asks for.
void HttpDaemon::Run() {
  MHD_UNSIGNED_LONG_LONG timeout = 0;
  bool wanted = true;
  for (int pass = 0; pass < 8 && wanted && timeout == 0; ++pass) {
    MHD_run(daemon_);
    wanted = MHD_get_timeout(daemon_, &timeout) == MHD_YES;
  }
  // Without a time-out to keep (no connection open) the timer stays off;
  // the wait may be shorter than the library's, never longer.
  if (wanted) {
    loop_.SetTimerInterval(timer_id_,
                           static_cast<int>(std::clamp<MHD_UNSIGNED_LONG_LONG>(timeout, 1, kMaxWaitMs)));
  }
  loop_.EnableTimer(timer_id_, wanted);
}

}  // namespace vell
