// dhcp.dat: written whole through the atomic writer, read line by line in
// both forms (with and without the hardware address).
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/ip.h"
#include "core/platform/atomic_file.h"
#include "core/text.h"
#include "dhcp/lease_store.h"

namespace vell {

namespace {

constexpr const char* kLineEnd = "\r\n";

std::string DateTimeText(DateTime t) {
  const CalendarTime c = ToCalendar(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return buf;
}

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

// Takes the text up to the next blank off the front of rest (rest is then
// trimmed); false when there is no blank.
bool TakeField(std::string& rest, std::string& field) {
  const auto blank = rest.find(' ');
  if (blank == std::string::npos) return false;
  field = rest.substr(0, blank);
  rest = Trim(rest.substr(blank + 1));
  return true;
}

bool ReadLeaseLine(std::string line, clLease& lease) {
  line = Trim(line.substr(0, line.find(';')));
  std::string name, address, id, hw;
  if (!TakeField(line, name)) return false;
  lease.ClientName = CleanNameF(name) + ".";
  if (!TakeField(line, address)) return false;
  lease.IPaddr = CleanIP(address);
  if (!TakeField(line, id)) return false;
  lease.ClientID = HexToHW(id);
  // A lease must name its client: an empty identifier would be written as
  // an empty field, which no reader can tell from the next one.
  if (lease.ClientID.empty()) return false;
  if (ParseDateTime(line, lease.Expires)) return true;  // the older form
  if (!TakeField(line, hw)) return false;
  lease.HWAddr = HexToHW(hw);
  return ParseDateTime(line, lease.Expires);
}

}  // namespace

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

std::string LeaseFileText(const std::vector<clLease>& leases) {
  std::string out = std::string("; Vellion - DHCP Leases") + kLineEnd;
  for (const clLease& l : leases) {
    out += l.ClientName + " " + l.IPaddr + " " + HWToHex(l.ClientID) + " " + HWToHex(l.HWAddr) + " " +
           DateTimeText(l.Expires) + kLineEnd;
  }
  return out;
}

std::vector<clLease> ReadLeaseFile(const std::string& text) {
  std::vector<clLease> leases;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    clLease lease;
    if (ReadLeaseLine(line, lease)) leases.push_back(std::move(lease));
    start = end + 1;
  }
  return leases;
}

void LeaseStore::SaveLeases() {
  Trap(env_.errors, "modDHCP SaveLeases", [&] {
    WriteFileAtomically(env_.Path(kLeaseFileName), LeaseFileText(table_));
    changed_ = false;
  });
}

void LeaseStore::SaveIfChanged() {
  if (changed_) SaveLeases();
}

void LeaseStore::Load() {
  Trap(env_.errors, "modDHCP Load", [&] {
    table_.clear();
    std::ifstream in(env_.Path(kLeaseFileName), std::ios::binary);
    if (in) table_ = ReadLeaseFile({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    changed_ = false;
  });
}

}  // namespace vell
