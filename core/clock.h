// Time as the server counts it: local wall-clock date-times held as days
// since 1899-12-30, the fraction being the time of day. Every "now" comes
// from one injectable Clock so that tests move time instead of sleeping.
#pragma once

#include <ctime>
#include <string>

namespace vell {

using DateTime = double;

constexpr double kSecondsPerDay = 86400.0;
constexpr DateTime Seconds(double s) { return s / kSecondsPerDay; }
constexpr DateTime Minutes(double m) { return m / 1440.0; }

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() const = 0;
};

// The machine's local time.
class SystemClock final : public Clock {
 public:
  DateTime Now() const override;

 private:
  // The offset from UTC, looked up again once a minute: Now() runs for
  // every query, and a time-zone conversion each time costs more than the
  // rest of the clock.
  mutable long long offset_minute_ = -1;
  mutable long offset_seconds_ = 0;
  mutable timespec last_{};
  mutable DateTime last_now_ = 0;
};

// A clock that stands still until a test moves it.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(DateTime start = 0) : now_(start) {}
  DateTime Now() const override { return now_; }
  void Set(DateTime t) { now_ = t; }
  void AdvanceSeconds(double s) { now_ += Seconds(s); }

 private:
  DateTime now_;
};

struct CalendarTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// Conversions between the day count and calendar fields, to the whole second.
CalendarTime ToCalendar(DateTime t);
DateTime FromCalendar(const CalendarTime& c);
// "yyyy-mm-dd hh:mm:ss" (dhcp.dat, ml.dat), and its reading: the date with
// or without the time, years 1900..9999 (before 1900 the day count goes
// negative and the time of day no longer converts back to the same second).
std::string DateTimeText(DateTime t);
bool ParseDateTime(const std::string& text, DateTime& out);
// A moment counted in seconds since 1970-01-01 00:00 UTC, as the local
// date-time by the time zone in force at that moment.
DateTime FromUnixTime(long long seconds);

// The seconds field (0..59) of the clock time; cheap enough for every query.
int SecondOfMinute(DateTime t);

std::string TimeOfDayText(DateTime t);  // "hh:mm:ss"
std::string DateStamp(DateTime t);      // "yyyymmdd"

}  // namespace vell
