#include "core/clock.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

namespace vell {

namespace {

// Days from 1970-01-01 for a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

// 1899-12-30 is day 0 of the count; 1970-01-01 is day 25569.
constexpr long long kEpochOffset = 25569;

}  // namespace

DateTime SystemClock::Now() const {
  // The coarse clock (a few milliseconds fine) costs a fifth of the exact
  // one, and a query reads the time several times; nothing the server times
  // is shorter than its ticks.
  timespec ts{};
  clock_gettime(CLOCK_REALTIME_COARSE, &ts);
  // The coarse clock repeats itself between ticks: the last result stands.
  if (ts.tv_sec == last_.tv_sec && ts.tv_nsec == last_.tv_nsec) return last_now_;
  last_ = ts;
  if (ts.tv_sec / 60 != offset_minute_) {
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    offset_seconds_ = local.tm_gmtoff;
    offset_minute_ = ts.tv_sec / 60;
  }
  const double local_seconds = static_cast<double>(ts.tv_sec) + static_cast<double>(offset_seconds_) +
                               static_cast<double>(ts.tv_nsec) / 1e9;
  last_now_ = local_seconds / kSecondsPerDay + static_cast<double>(kEpochOffset);
  return last_now_;
}

CalendarTime ToCalendar(DateTime t) {
  // A millisecond of tolerance: far from 1899 the day count carries tens of
  // microseconds of rounding, and a time written as 03:04:00 must read back
  // as 03:04:00, not 03:03:59 (dhcp.dat, up to the year 9999).
  const double total_seconds = std::floor(t * kSecondsPerDay + 1e-3);
  long long days = static_cast<long long>(std::floor(total_seconds / kSecondsPerDay));
  long long secs = static_cast<long long>(total_seconds) - days * 86400;
  CalendarTime c;
  CivilFromDays(days - kEpochOffset, c.year, c.month, c.day);
  c.hour = static_cast<int>(secs / 3600);
  c.minute = static_cast<int>(secs / 60 % 60);
  c.second = static_cast<int>(secs % 60);
  return c;
}

DateTime FromCalendar(const CalendarTime& c) {
  const long long days =
      DaysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) + kEpochOffset;
  return static_cast<double>(days) + (c.hour * 3600 + c.minute * 60 + c.second) / kSecondsPerDay;
}

DateTime FromUnixTime(long long seconds) {
  const time_t unix_time = seconds;
  tm local{};
  localtime_r(&unix_time, &local);
  const double local_seconds = static_cast<double>(seconds) + static_cast<double>(local.tm_gmtoff);
  return local_seconds / kSecondsPerDay + static_cast<double>(kEpochOffset);
}

int SecondOfMinute(DateTime t) {
  const auto total = static_cast<long long>(std::floor(t * kSecondsPerDay + 1e-6));
  return static_cast<int>(((total % 60) + 60) % 60);
}

std::string TimeOfDayText(DateTime t) {
  const CalendarTime c = ToCalendar(t);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", c.hour, c.minute, c.second);
  return buf;
}

std::string DateStamp(DateTime t) {
  const CalendarTime c = ToCalendar(t);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", c.year, c.month, c.day);
  return buf;
}

namespace {

// Reads an unsigned number of 1..max_digits digits at text[pos].
bool Number(const std::string& text, size_t& pos, int max_digits, int& out) {
  int digits = 0;
  out = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < max_digits) {
    out = out * 10 + (text[pos++] - '0');
    ++digits;
  }
  return digits > 0;
}

bool Expect(const std::string& text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::string DateTimeText(DateTime t) {
  const CalendarTime c = ToCalendar(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return buf;
}

bool ParseDateTime(const std::string& text, DateTime& out) {
  CalendarTime c;
  size_t pos = 0;
  if (!Number(text, pos, 4, c.year) || !Expect(text, pos, '-') || !Number(text, pos, 2, c.month) ||
      !Expect(text, pos, '-') || !Number(text, pos, 2, c.day)) {
    return false;
  }
  // Before 1900 the day count goes negative and the time of day no longer
  // converts back to the same second.
  if (c.year < 1900 || c.year > 9999 || c.month < 1 || c.month > 12 || c.day < 1 ||
      c.day > DaysInMonth(c.year, c.month)) {
    return false;
  }
  c.hour = c.minute = c.second = 0;
  if (pos < text.size()) {
    if (!Expect(text, pos, ' ')) return false;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (!Number(text, pos, 2, c.hour) || !Expect(text, pos, ':') || !Number(text, pos, 2, c.minute))
      return false;
    if (pos < text.size() && (!Expect(text, pos, ':') || !Number(text, pos, 2, c.second))) return false;
    if (pos != text.size() || c.hour > 23 || c.minute > 59 || c.second > 59) return false;
  }
  out = FromCalendar(c);
  return true;
}

}  // namespace vell
