// The hidden main form: owns every endpoint, the one-second housekeeping
// tick and the tray state, and runs the start, pause and end of the server.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/front_end.h"
#include "core/platform/event_loop.h"
#include "core/platform/socket.h"
#include "core/platform/tray.h"
#include "core/server_duties.h"

namespace vell {

// "Uptime: 1 Day, 2 Hours, 1 Minute" for the time since start.
std::string UptimeText(DateTime start, DateTime now);

class frmAlpha final : public DnsSender {
 public:
  frmAlpha(Context& ctx, EventLoop& loop, ServerDuties& duties, InboundHandler& inbound);

  void Begin();
  void StartServer();
  void PauseServer();
  void Shutdown();
  void Timer();
  void DoTray(int state);
  void SetStatus(const std::string& text);
  // Unload request; mode 2 is a logoff or system shutdown.
  void QueryUnload(int mode);
  void ServiceStart();
  void ServiceStop();

  void SendRequest(const std::string& ip, const std::string& msg) override;
  void SendAnswer(const std::string& ip, long port, const std::string& msg) override;

  bool DataLoaded() const { return data_loaded_; }
  bool ServiceStopped() const { return service_stopped_; }
  bool TimerEnabled() const { return timer_enabled_; }
  const TrayIcon& Tray() const { return tray_; }
  uint16_t ReloadPort() const;
  // Bound DHCP sockets, in the order of the DHCP lines (1-based).
  size_t DhcpSocketCount() const { return WSDHCP.size() - 1; }
  uint16_t DhcpPort(size_t index) const { return WSDHCP.at(index)->LocalPort(); }
  // The port the DNS service socket is bound to (0 while paused).
  uint16_t DnsPort() const { return WSDNS ? WSDNS->LocalPort() : 0; }

 private:
  bool BindDnsService(const std::string& address);
  void FailToStart(const std::string& status, const std::string& log, const std::string& box);
  void StartDhcp();
  void LoadData();
  void SecondaryDuty(DateTime now);
  void ShowStatus();
  void EnableTimer(bool on);

  // Socket events of the front end.
  void OnWSDNS(const Datagram& d);
  void OnWSDNS2(const Datagram& d);
  void OnWSZTRequest(int request_id);
  void OnWSDHCP(size_t index, const Datagram& d);
  void OnSocketError(const char* prefix, int number, const std::string& text);
  bool Blocked(const std::string& ip, const char* what);
  void SendFromWSDNS2(const std::string& ip, const std::string& msg);

  Context& ctx_;
  EventLoop& loop_;
  ServerDuties& duties_;
  InboundHandler& inbound_;

  std::unique_ptr<UdpSocket> WSDNS;
  std::unique_ptr<UdpSocket> WSDNS2;
  std::unique_ptr<TcpSocket> WSZT;
  std::vector<std::unique_ptr<UdpSocket>> WSDHCP;  // element 0: the template, never bound
  std::unique_ptr<UdpSocket> WSReload;
  int timer_id_ = -1;
  // Receive buffers of the DHCP sockets, indexed like WSDHCP.
  std::array<std::string, 11> DHCPBuffer;

  TrayIcon tray_;
  bool timer_enabled_ = false;
  bool data_loaded_ = false;
  bool service_stopped_ = false;
  int TrayState = -1;
  DateTime TrayChanged = 0;
  DateTime LastSecondaryCheck = 0;
};

}  // namespace vell
