// The common error report: every procedure hands its unexpected errors here.
// It writes support.txt, an error entry in the system log when running as a
// service, and a warning box when someone is watching.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/config/settings.h"
#include "core/error_report.h"
#include "core/event_log.h"
#include "core/platform/message_box.h"
#include "core/process_state.h"

namespace vell {

class SupportReport final : public ErrorSink {
 public:
  // What the report tells besides the error: the time, the configuration,
  // the machine's addresses and the recent log lines.
  SupportReport(const Clock& clock, const Settings& settings, const ProcessState& state, MessageBoxes& boxes,
                std::string home, const std::vector<std::string>& local_ips, const EventLog& log)
      : clock_(clock),
        settings_(settings),
        state_(state),
        boxes_(boxes),
        home_(std::move(home)),
        local_ips_(local_ips),
        log_(log) {}
  void Report(std::string_view where, int number, std::string_view description,
              std::string_view extra) override;

  // Where service-mode entries go (syslog in a real run).
  std::function<void(const std::string&)> event_log;

 private:
  void WriteSupportFile(std::string_view where, int number, std::string_view description,
                        std::string_view extra);
  std::string Path(const std::string& name) const { return home_ + "/" + name; }

  const Clock& clock_;
  const Settings& settings_;
  const ProcessState& state_;
  MessageBoxes& boxes_;
  const std::string home_;
  const std::vector<std::string>& local_ips_;
  const EventLog& log_;
};

}  // namespace vell
