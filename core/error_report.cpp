#include "core/error_report.h"

#include <cmath>
#include <exception>
#include <new>

namespace vell {

void DescribeCurrentException(int& number, std::string& description) {
  try {
    throw;
  } catch (const RunError& e) {
    number = e.Number();
    description = e.what();
  } catch (const std::bad_alloc&) {
    number = 7;
    description = "Out of memory";
  } catch (const std::out_of_range& e) {
    number = kErrSubscript;
    description = std::string("Subscript out of range: ") + e.what();
  } catch (const std::exception& e) {
    number = kErrInvalidCall;
    description = e.what();
  } catch (...) {
    number = kErrInvalidCall;
    description = "Unknown error";
  }
}

namespace {
// Whole-number conversion with ties to even, as the settings reader does.
double RoundHalfEven(double v) { return std::nearbyint(v); }
}  // namespace

short CheckedInt16(double v) {
  const double r = RoundHalfEven(v);
  if (!(r >= -32768.0 && r <= 32767.0)) RaiseOverflow();
  return static_cast<short>(r);
}

int CheckedInt32(double v) {
  const double r = RoundHalfEven(v);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) RaiseOverflow();
  return static_cast<int>(r);
}

}  // namespace vell
