// The one place where errno becomes a Windows Sockets error number: the
// protocol code tests those numbers (10054, 10065) and the operator reads
// them in log lines.
#include <cerrno>
#include <cstring>

#include "core/platform/socket.h"

namespace vell {

namespace {

struct ErrnoRow {
  int err;
  int number;
};

// Unreachable networks count as unreachable hosts: the front end falls back
// to an ephemeral-port socket on 10065, whichever of the two the kernel said.
constexpr ErrnoRow kErrnoRows[] = {
    {EBADF, 10009},        {EACCES, 10013},        {EPERM, 10013},        {EINVAL, 10022},
    {EMFILE, 10024},       {EAGAIN, 10035},        {EINPROGRESS, 10036},  {EALREADY, 10037},
    {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039},  {EMSGSIZE, 10040},     {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},     {ENETUNREACH, 10065},
    {ENETRESET, 10052},    {ECONNABORTED, 10053},  {ECONNRESET, 10054},   {ENOBUFS, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},      {EPIPE, 10058},        {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065},
};

struct TextRow {
  int number;
  const char* text;
};

constexpr TextRow kTextRows[] = {
    {10009, "Bad file descriptor"},
    {10013, "Permission denied"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Resource temporarily unavailable"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Cannot assign requested address"},
    {10050, "Network is down"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Cannot send after socket shutdown"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10064, "Host is down"},
    {10065, "No route to host"},
};

// Errors without a Windows Sockets counterpart keep their errno, offset
// into the same range, so the number still identifies them.
constexpr int kFallbackBase = 10000;

}  // namespace

int WinsockErrorNumber(int err, bool udp) {
  // Windows reports a datagram refused by its destination as a reset.
  if (err == ECONNREFUSED && udp) return kWsaConnReset;
  for (const auto& row : kErrnoRows) {
    if (row.err == err) return row.number;
  }
  return kFallbackBase + err;
}

std::string WinsockErrorText(int number) {
  for (const auto& row : kTextRows) {
    if (row.number == number) return row.text;
  }
  if (number > kFallbackBase) return std::strerror(number - kFallbackBase);
  return "Unknown error";
}

}  // namespace vell
