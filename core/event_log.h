// The event log: every event line of the program passes AddLine, which
// filters it by level and writes it to the recent-lines buffer, the log
// window and the daily log file.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <string>

#include "core/clock.h"
#include "core/config/settings.h"
#include "core/error_report.h"
#include "core/process_state.h"

namespace vell {

constexpr size_t kLogLines = 150;

// The operator's log window: a list of at most 150 lines, each also handed
// to a line sink (standard output when running in the foreground).
class LogWindow {
 public:
  explicit LogWindow(std::function<void(const std::string&)> sink) : sink_(std::move(sink)) {}
  void Add(const std::string& line);
  void Clear() { lines_.clear(); }
  const std::deque<std::string>& ListDNS() const { return lines_; }

 private:
  std::deque<std::string> lines_;
  std::function<void(const std::string&)> sink_;
};

class EventLog {
 public:
  // Daily files go to logs_dir, created when the first line is written.
  EventLog(const Clock& clock, const Settings& settings, const ProcessState& state, std::string logs_dir,
           ErrorSink& errors)
      : clock_(clock), settings_(settings), state_(state), logs_dir_(std::move(logs_dir)), errors_(errors) {}
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  void AddLine(int level, const std::string& text);
  // Whether a line of this level would be kept anywhere (buffer, window or
  // file), so that callers build costly lines only when they are.
  bool Writes(int level) const;
  void CloseFile();

  bool KeepLog = false;
  std::deque<std::string> LogBuffer;
  std::string LogDate;
  LogWindow* window = nullptr;  // the log window, when one exists

 private:
  void WriteToFile(const std::string& line);
  bool OpenTodaysFile(const std::string& today);

  const Clock& clock_;
  const Settings& settings_;
  const ProcessState& state_;
  const std::string logs_dir_;
  ErrorSink& errors_;
  std::FILE* file_ = nullptr;
};

}  // namespace vell
