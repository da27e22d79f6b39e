#include "server/frm_alpha.h"

#include <cmath>

#include "core/text.h"
#include "dns/tables.h"

namespace vell {

namespace {

std::string Counted(long n, const char* unit) { return std::to_string(n) + " " + unit + (n == 1 ? "" : "s"); }

}  // namespace

std::string UptimeText(DateTime start, DateTime now) {
  // A hair of tolerance so that exactly one hour is not 59.999... minutes.
  const double up = now - start + Seconds(0.001);
  const long d = static_cast<long>(std::floor(up));
  const double hours = (up - d) * 24;
  const long h = static_cast<long>(std::floor(hours));
  const long m = static_cast<long>(std::floor((hours - h) * 60));
  std::string text = "Uptime: ";
  if (d > 0) text += Counted(d, "Day") + ", ";
  if (h > 0) text += Counted(h, "Hour") + ", ";
  return text + Counted(m, "Minute");
}

frmAlpha::frmAlpha(Context& ctx, ServerDuties& duties, Endpoints& endpoints)
    : ctx_(ctx), duties_(duties), endpoints_(endpoints) {
  timer_id_ = ctx_.loop.AddTimer(1000, [this] { Timer(); });
}

void frmAlpha::EnableTimer(bool on) {
  timer_enabled_ = on;
  ctx_.loop.EnableTimer(timer_id_, on);
}

void frmAlpha::Begin() {
  Trap(ctx_.errors, "frmAlpha Begin", [&] {
    ProcessState& st = ctx_.state;
    st.StartTime = ctx_.Now();
    InitTypeNames();
    st.Interactive = !ctx_.settings.NTSERVICE;
    ctx_.Random.seed(static_cast<unsigned>(std::fmod(st.StartTime, 1.0) * kSecondsPerDay * 1000));
    if (!ctx_.settings.NAME.empty()) ctx_.tray.icon.tip = ctx_.settings.NAME;
    ctx_.tray.icon.shown = true;
    // In the foreground the console stands in for the main window and its
    // log window, unless the operator asked to start minimised.
    if (st.Interactive && !ctx_.settings.STARTMINI) {
      st.WindowOpen[kMainWindow] = true;
      st.WindowOpen[kLogWindow] = true;
      ctx_.log.KeepLog = true;
    }
    endpoints_.reload.Open();
    EnableTimer(true);
    ctx_.log.AddLine(0, "Program started.");
    StartServer();
    ctx_.SaveSettings(endpoints_.reload.Port());
  });
}

bool frmAlpha::OpenDnsService(const std::string& address) {
  if (endpoints_.dns.Open(address) && endpoints_.tcp.Open(address)) return true;
  endpoints_.dns.Close();
  endpoints_.tcp.Close();
  return false;
}

void frmAlpha::FailToStart(const std::string& status, const std::string& log, const std::string& box) {
  ctx_.state.ServerRunning = false;
  SetStatus(status);
  ctx_.tray.DoTray(2);
  ctx_.log.AddLine(0, log);
  if (ctx_.state.Interactive) ctx_.boxes.Show(box, "Vellion");
}

void frmAlpha::StartServer() {
  Trap(ctx_.errors, "modMain StartServer", [&] {
    ProcessState& st = ctx_.state;
    if (st.ServerRunning) return;
    const std::string& bind = ctx_.settings.DNSBIND;
    if (!OpenDnsService(bind)) {
      if (!bind.empty()) {
        FailToStart("Could not start DNS service on " + bind,
                    "Binding DNS service to " + bind + " failed - DNS service not started!",
                    "Could not start DNS service on " + bind);
      } else {
        FailToStart("Could not start DNS service.", "Binding DNS service failed - DNS service not started!",
                    "Could not start DNS service!\n\nPort used by other DNS server.");
      }
      return;
    }
    ctx_.log.AddLine(0, bind.empty() ? "DNS service started." : "DNS service started on " + bind);
    st.ServerRunning = true;
    SetStatus("Uptime...");
    ctx_.tray.DoTray(0);
    duties_.ProcessTransferQueueIfIdle();
    endpoints_.dhcp.Open();
  });
}

void frmAlpha::PauseServer() {
  Trap(ctx_.errors, "modMain PauseServer", [&] {
    if (!ctx_.state.ServerRunning) return;
    duties_.DropActiveRequests();
    endpoints_.dns.Close();
    endpoints_.tcp.Close();
    endpoints_.dhcp.Close();
    ctx_.state.ServerRunning = false;
    ctx_.log.AddLine(0, "Server paused.");
    SetStatus("Paused");
    ctx_.tray.DoTray(2);
  });
}

void frmAlpha::Timer() {
  Trap(ctx_.errors, "frmAlpha Timer", [&] {
    ProcessState& st = ctx_.state;
    if (!data_loaded_ && st.ServerRunning) LoadData();
    duties_.RequestTimeOuts();
    duties_.Purge();
    if (data_loaded_) duties_.SaveChangedLeases();
    const DateTime now = ctx_.Now();
    SecondaryDuty(now);
    // Clear the slot about to be counted.
    st.PerSecond[(SecondOfMinute(now) + 1) % 60] = 0;
    if (st.WindowOpen[kMainWindow]) ShowStatus();
    ctx_.tray.Settle();
  });
}

void frmAlpha::LoadData() {
  duties_.LoadAll();
  if (!ctx_.settings.MASTERDIR.empty()) duties_.MLLoad();
  duties_.LoadPerm();
  if (ctx_.settings.CACHERELOAD) {
    ctx_.log.AddLine(0, "Loading Cache...");
    SetStatus("Loading Cache...");
    ctx_.loop.DoEvents();
    duties_.LoadCache();
  }
  ctx_.log.AddLine(0, "Loading IP address blocks...");
  duties_.LoadBlocks();
  ctx_.log.AddLine(0, "Loading DHCP Leases...");
  duties_.LoadLeases();
  data_loaded_ = true;
}

void frmAlpha::SecondaryDuty(DateTime now) {
  if (ctx_.settings.MASTERDIR.empty()) {
    if (now > LastSecondaryCheck + Seconds(60)) {
      LastSecondaryCheck = now;
      duties_.CheckSecondaries();
    }
  } else if (now > duties_.LastMLSync() + Minutes(ctx_.settings.MASTERSYNC)) {
    duties_.MLSync();
  }
}

void frmAlpha::ShowStatus() {
  ProcessState& st = ctx_.state;
  if (st.ServerRunning) {
    st.StatusText = UptimeText(st.StartTime, ctx_.Now());
    st.StatusPanel[1] = st.StatusText;
  }
  st.StatusPanel[2] = "Requests:" + NumText(st.RequestCount) + " ";
  st.StatusPanel[3] = "Cache:" + NumText(static_cast<double>(duties_.CacheCount())) + " ";
}

void frmAlpha::Shutdown() {
  Trap(ctx_.errors, "frmAlpha Shutdown", [&] {
    ctx_.tray.icon.shown = false;
    if (data_loaded_) {
      if (ctx_.settings.CACHERELOAD) duties_.SaveCache();
      duties_.SaveBlocks();
      duties_.SaveLeases();
      if (ctx_.settings.MASTERDIR.empty()) {
        duties_.SaveZoneTTL();
      } else {
        duties_.MLSave();
      }
    }
    ctx_.log.CloseFile();
  });
}

void frmAlpha::QueryUnload(int mode) {
  Trap(ctx_.errors, "frmAlpha QueryUnload", [&] {
    if (service_stopped_) return;
    if (mode == 2) {
      ctx_.log.AddLine(0, "Windows Logout/Shutdown.");
      ctx_.state.Interactive = false;
      Shutdown();
      return;
    }
    ctx_.log.AddLine(0, "Program closed by user.");
    EnableTimer(false);
    PauseServer();
    Shutdown();
  });
}

void frmAlpha::ServiceStart() {
  ctx_.log.AddLine(0, "NT Service Started.");
  Begin();
}

void frmAlpha::ServiceStop() {
  ctx_.log.AddLine(0, "NT Service Stopped.");
  EnableTimer(false);
  PauseServer();
  Shutdown();
  service_stopped_ = true;
}

}  // namespace vell
