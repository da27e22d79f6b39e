// The base facilities the subsystems below the server share: the clock, the
// settings, the event log, the error report, the process state, the
// program directory and the event loop. The server builds one per run and
// hands it to the data stores and the query layer when it makes them.
#pragma once

#include <string>

#include "core/clock.h"
#include "core/config/settings.h"
#include "core/error_report.h"
#include "core/event_log.h"
#include "core/platform/event_loop.h"
#include "core/process_state.h"

namespace vell {

struct Env {
  const Clock& clock;
  const Settings& settings;
  EventLog& log;
  ErrorSink& errors;
  ProcessState& state;
  EventLoop& loop;
  const std::string& home;

  // A file of the program directory: Path("vellion.ini").
  std::string Path(const std::string& name) const { return home + "/" + name; }
  DateTime Now() const { return clock.Now(); }
  // Lets pending events run once.
  void DoEvents() { loop.DoEvents(); }
  void SetStatus(const std::string& text) { state.SetStatus(text); }
};

}  // namespace vell
