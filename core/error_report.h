// The one way an unexpected error leaves a procedure: trapped, handed to the
// error report with the procedure's context ("modMain StartServer"), and the
// procedure returns with what it had done so far.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vell {

// A run-time error with the number the operator sees in reports.
class RunError : public std::runtime_error {
 public:
  RunError(int number, const std::string& what) : std::runtime_error(what), number_(number) {}
  int Number() const { return number_; }

 private:
  int number_;
};

// Numbers of the run-time errors the code raises on purpose.
constexpr int kErrOverflow = 6;
constexpr int kErrSubscript = 9;
constexpr int kErrInvalidCall = 5;
constexpr int kErrPathFileAccess = 75;

[[noreturn]] inline void RaiseOverflow() { throw RunError(kErrOverflow, "Overflow"); }

class ErrorSink {
 public:
  virtual ~ErrorSink() = default;
  // where: "module procedure"; number: the error number (0 when unknown).
  virtual void Report(std::string_view where, int number, std::string_view description,
                      std::string_view extra) = 0;
};

// Error number and text of whatever was thrown.
void DescribeCurrentException(int& number, std::string& description);

// Runs body; anything it throws is reported under `where` and swallowed.
// Returns true when body finished normally.
template <class Body>
bool Trap(ErrorSink& sink, std::string_view where, Body&& body, std::string_view extra = {}) {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (...) {
    int number = 0;
    std::string description;
    DescribeCurrentException(number, description);
    sink.Report(where, number, description, extra);
    return false;
  }
}

// Like Trap, for a body that computes a value: on error the report is made
// and `fallback` is returned.
template <class T, class Body>
T TrapOr(ErrorSink& sink, std::string_view where, T fallback, Body&& body) {
  T result = std::move(fallback);
  Trap(sink, where, [&] { result = std::forward<Body>(body)(); });
  return result;
}

// Checked narrowing for the settings and fields that are 16-bit or 32-bit
// signed: out-of-range values raise the overflow error instead of wrapping.
short CheckedInt16(double v);
int CheckedInt32(double v);

// An ErrorSink that only remembers the reports; for tests and for code
// running before the real report exists.
class RecordingErrorSink final : public ErrorSink {
 public:
  struct Entry {
    std::string where;
    int number;
    std::string description;
    std::string extra;
  };
  void Report(std::string_view where, int number, std::string_view description,
              std::string_view extra) override {
    entries.push_back({std::string(where), number, std::string(description), std::string(extra)});
  }
  std::vector<Entry> entries;
};

}  // namespace vell
