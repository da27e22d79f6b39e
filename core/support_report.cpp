#include "core/support_report.h"

#include <sys/utsname.h>

#include <fstream>
#include <sstream>

#include "core/platform/atomic_file.h"
#include "core/text.h"

namespace vell {

namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string SystemText() {
  utsname u{};
  if (uname(&u) != 0) return "unknown";
  return std::string(u.sysname) + " " + u.release + " " + u.version + " " + u.machine;
}

}  // namespace

void SupportReport::Report(std::string_view where, int number, std::string_view description,
                           std::string_view extra) {
  // The report must never fail in turn: it is the last resort of every
  // procedure.
  try {
    if (settings_.NTSERVICE && number > 0 && event_log) {
      event_log("Error:" + NumText(number) + " " + std::string(description) + " in " + std::string(where) +
                " " + std::string(extra));
    }
    WriteSupportFile(where, number, description, extra);
    if (state_.Interactive) {
      boxes_.Show("An error has occured in Vellion!\n\nModule: " + std::string(where) +
                      "\nError:" + NumText(number) + " " + std::string(description) + "\n\nDetails are in " +
                      Path("support.txt"),
                  "Vellion");
    }
  } catch (...) {
  }
}

void SupportReport::WriteSupportFile(std::string_view where, int number, std::string_view description,
                                     std::string_view extra) {
  std::ostringstream out;
  const DateTime now = clock_.Now();
  out << "Vellion support information\r\n\r\n";
  out << "Date: " << DateStamp(now) << " " << TimeOfDayText(now) << "\r\n";
  out << "Error:" << NumText(number) << " " << description << "\r\n";
  out << "Procedure: " << where << (extra.empty() ? "" : " ") << extra << "\r\n\r\n";
  out << "System: " << SystemText() << "\r\n";
  out << "Program directory: " << home_ << "\r\n";
  out << "Local addresses:";
  for (const auto& ip : local_ips_) out << " " << ip;
  out << "\r\n\r\nConfiguration:\r\n" << FileText(Path("vellion.ini"));
  out << "\r\nRecent log lines:\r\n";
  for (const auto& line : log_.LogBuffer) out << line << "\r\n";
  WriteFileAtomically(Path("support.txt"), out.str());
}

}  // namespace vell
