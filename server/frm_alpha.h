// The hidden main form: the lifecycle of the server. It opens and closes
// the endpoints, runs the one-second housekeeping tick, and starts, pauses
// and ends the server.
#pragma once

#include <string>

#include "server/context.h"
#include "server/endpoints.h"
#include "server/server_duties.h"

namespace vell {

// "Uptime: 1 Day, 2 Hours, 1 Minute" for the time since start.
std::string UptimeText(DateTime start, DateTime now);

class frmAlpha final {
 public:
  frmAlpha(Context& ctx, ServerDuties& duties, Endpoints& endpoints);

  void Begin();
  void StartServer();
  void PauseServer();
  void Shutdown();
  void Timer();
  void SetStatus(const std::string& text) { ctx_.state.SetStatus(text); }
  // Unload request; mode 2 is a logoff or system shutdown.
  void QueryUnload(int mode);
  void ServiceStart();
  void ServiceStop();

  bool DataLoaded() const { return data_loaded_; }
  bool ServiceStopped() const { return service_stopped_; }
  bool TimerEnabled() const { return timer_enabled_; }

 private:
  bool OpenDnsService(const std::string& address);
  void FailToStart(const std::string& status, const std::string& log, const std::string& box);
  void LoadData();
  void SecondaryDuty(DateTime now);
  void ShowStatus();
  void EnableTimer(bool on);

  Context& ctx_;
  ServerDuties& duties_;
  Endpoints& endpoints_;
  int timer_id_ = -1;
  bool timer_enabled_ = false;
  bool data_loaded_ = false;
  bool service_stopped_ = false;
  DateTime LastSecondaryCheck = 0;
};

}  // namespace vell
