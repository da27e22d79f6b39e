#include "core/event_log.h"

#include <sys/stat.h>

namespace vell {

void LogWindow::Add(const std::string& line) {
  if (lines_.size() >= kLogLines) lines_.pop_front();
  lines_.push_back(line);
  if (sink_) sink_(line);
}

EventLog::~EventLog() { CloseFile(); }

bool EventLog::Writes(int level) const {
  const Settings& s = settings_;
  if (level > 1 && s.LOGINONLY) return false;
  if ((level == 1 || level == 3) && !s.LOGDETAIL) return false;
  return KeepLog || (state_.WindowOpen[kLogWindow] && window != nullptr) || s.WRITELOG;
}

void EventLog::AddLine(int level, const std::string& text) {
  if (!Writes(level)) return;
  const Settings& s = settings_;
  const DateTime now = clock_.Now();
  const std::string line = TimeOfDayText(now) + "   " + text;
  if (KeepLog) {
    if (LogBuffer.size() >= kLogLines) LogBuffer.pop_front();
    LogBuffer.push_back(line);
  }
  if (state_.WindowOpen[kLogWindow] && window != nullptr) window->Add(line);
  if (s.WRITELOG) WriteToFile(line);
}

void EventLog::WriteToFile(const std::string& line) {
  const std::string today = DateStamp(clock_.Now());
  // The day check happens only when a line is written, so the file switches
  // at the first line after midnight.
  if (!LogDate.empty() && LogDate != today) {
    LogDate.clear();
    CloseFile();
  }
  if (LogDate.empty() && !OpenTodaysFile(today)) return;
  Trap(errors_, "modMain AddLine", [&] {
    const std::string out = line + "\r\n";
    if (std::fwrite(out.data(), 1, out.size(), file_) != out.size() || std::fflush(file_) != 0) {
      throw RunError(57, "Device I/O error");
    }
  });
}

bool EventLog::OpenTodaysFile(const std::string& today) {
  const std::string& dir = logs_dir_;
  ::mkdir(dir.c_str(), 0755);  // usually exists already
  file_ = std::fopen((dir + "/" + today + ".log").c_str(), "ab");
  if (file_ == nullptr) {
    LogDate.clear();
    return false;
  }
  LogDate = today;
  return true;
}

void EventLog::CloseFile() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  LogDate.clear();
}

}  // namespace vell
