// The common error report: every procedure hands its unexpected errors here.
// It writes support.txt, an error entry in the system log when running as a
// service, and a warning box when someone is watching.
#pragma once

#include <functional>
#include <string>

#include "core/error_report.h"

namespace vell {

struct Context;

class SupportReport final : public ErrorSink {
 public:
  explicit SupportReport(Context& ctx) : ctx_(ctx) {}
  void Report(std::string_view where, int number, std::string_view description,
              std::string_view extra) override;

  // Where service-mode entries go (syslog in a real run).
  std::function<void(const std::string&)> event_log;

 private:
  void WriteSupportFile(std::string_view where, int number, std::string_view description,
                        std::string_view extra);
  Context& ctx_;
};

}  // namespace vell
