// UDP and TCP sockets over the event loop, with the events the protocol code
// expects. Errors carry the Windows Sockets numbers the protocol code tests
// (10054 connection reset, 10065 host unreachable), mapped from errno in one
// place. A socket must not outlive its loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/error_report.h"

namespace vell {

class EventLoop;

constexpr int kWsaConnReset = 10054;
constexpr int kWsaHostUnreach = 10065;

// A failed socket operation; thrown by Bind, Listen, Send and friends.
class SocketError : public RunError {
 public:
  SocketError(int number, const std::string& text) : RunError(number, text) {}
};

// errno -> Windows Sockets error number, and that number's description.
int WinsockErrorNumber(int err, bool udp);
std::string WinsockErrorText(int number);

// Socket states, as the operator sees them in log lines.
enum SocketState {
  kSockClosed = 0,
  kSockOpen = 1,
  kSockListening = 2,
  kSockConnectionPending = 3,
  kSockConnecting = 6,
  kSockConnected = 7,
  kSockClosing = 8,
  kSockError = 9,
};

struct Datagram {
  std::string data;
  std::string host;  // sender, dotted IPv4
  uint16_t port = 0;
};

class UdpSocket {
 public:
  explicit UdpSocket(EventLoop& loop);
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Port 0 lets the system choose; an empty address binds to all.
  void Bind(uint16_t port, const std::string& address = "");
  void EnableBroadcast();
  // Asks for a receive queue of that many octets (best effort: the
  // system may cap it), so that bursts wait instead of being dropped.
  void SetReceiveBuffer(int bytes);
  // Receives everything that arrives on port of the interface that owns
  // address, broadcasts included: bound to all addresses and tied to that
  // interface (SO_BINDTODEVICE). LocalIP() then reports address. An address
  // no interface of the machine owns fails like a bind to it (10049).
  void BindInterface(uint16_t port, const std::string& address);
  // Sends one datagram; an unbound socket is bound to a system-chosen port
  // first.
  void SendTo(const std::string& host, uint16_t port, const std::string& data);
  // Like SendTo, but while this socket's own arrivals are being handled the
  // datagram waits and leaves with the others of the batch, in order, in one
  // system call. A failure then comes as OnError, not as an exception.
  void QueueTo(const std::string& host, uint16_t port, const std::string& data);
  void Close();

  uint16_t LocalPort() const;
  std::string LocalIP() const;
  int State() const;

  std::function<void(const Datagram&)> OnDataArrival;
  std::function<void(int number, const std::string& text)> OnError;
  // A datagram of QueueTo that could not leave; OnError when not set.
  std::function<void(int number, const std::string& text)> OnSendError;

 private:
  struct Impl;
  // Shared with the loop's dispatch, so a handler may destroy its socket.
  std::shared_ptr<Impl> impl_;
};

class TcpSocket {
 public:
  explicit TcpSocket(EventLoop& loop);
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Bind and start listening; port 0 lets the system choose.
  void Listen(uint16_t port, const std::string& address = "");
  // Takes over the connection announced by listener's OnConnectionRequest.
  void Accept(TcpSocket& listener, int request_id);
  // Asynchronous; completion raises OnConnect, failure OnError.
  void Connect(const std::string& host, uint16_t port);
  // Appends octets to the stream, in order.
  void Send(const std::string& data);
  // Octets handed to Send that the kernel has not taken yet.
  size_t PendingOutput() const;
  void Close();

  uint16_t LocalPort() const;
  std::string LocalIP() const;
  // The peer; on a listener, the requester of the connection being announced.
  std::string RemoteHostIP() const;
  uint16_t RemotePort() const;
  int State() const;

  // On a listener: a connection is waiting. Not accepting it inside the
  // handler leaves it unanswered (it is dropped).
  std::function<void(int request_id)> OnConnectionRequest;
  std::function<void()> OnConnect;
  // The octets received since the last event.
  std::function<void(const std::string& data)> OnDataArrival;
  std::function<void()> OnClose;
  std::function<void(int number, const std::string& text)> OnError;

 private:
  struct Impl;
  // Shared with the loop's dispatch, so a handler may destroy its socket.
  std::shared_ptr<Impl> impl_;
};

}  // namespace vell
