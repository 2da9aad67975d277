#include "swf/avm1/date_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace orrivel::swf::avm1 {
namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date (month 1..12).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2);
}

}  // namespace

double TimeClip(double t) {
  if (!std::isfinite(t) || std::fabs(t) > 8.64e15) return NAN;
  return t + 0.0;  // fractions of a millisecond are kept
}

DateFields FieldsOf(double t, double offsetMs) {
  DateFields f;
  if (std::isnan(t)) {
    f.year = f.month = f.date = f.hours = f.minutes = f.seconds = f.ms = NAN;
    return f;
  }
  const double local = t + offsetMs;
  // A time taken unclipped may lie past any calendar the day count holds.
  if (!(std::fabs(local) < 8.64e24)) {
    f.year = f.month = f.date = f.hours = f.minutes = f.seconds = f.ms = NAN;
    return f;
  }
  const double days = std::floor(local / kMsPerDay);
  double inDay = local - days * kMsPerDay;
  int64_t y = 0, m = 0, d = 0;
  CivilFromDays(static_cast<int64_t>(days), y, m, d);
  f.year = static_cast<double>(y);
  f.month = static_cast<double>(m - 1);
  f.date = static_cast<double>(d);
  f.day = static_cast<int>(((static_cast<int64_t>(days) % 7) + 11) % 7);  // 1970-01-01: Thursday
  f.hours = std::floor(inDay / 3600000);
  inDay -= f.hours * 3600000;
  f.minutes = std::floor(inDay / 60000);
  inDay -= f.minutes * 60000;
  f.seconds = std::floor(inDay / 1000);
  f.ms = std::floor(inDay - f.seconds * 1000);
  return f;
}

double TimeOf(const DateFields& f) {
  for (double v : {f.year, f.month, f.date, f.hours, f.minutes, f.seconds, f.ms}) {
    if (!std::isfinite(v)) return NAN;
  }
  // Years far outside what a Date holds would overflow the day count.
  if (std::fabs(f.year) > 400000 || std::fabs(f.month) > 4800000) return NAN;
  const double month = std::trunc(f.month);
  const double year = std::trunc(f.year) + std::floor(month / 12);
  const double month0 = month - std::floor(month / 12) * 12;
  const double days = static_cast<double>(DaysFromCivil(static_cast<int64_t>(year),
                                                        static_cast<int64_t>(month0) + 1, 1)) +
                      std::trunc(f.date) - 1;
  return TimeClip(days * kMsPerDay + std::trunc(f.hours) * 3600000 + std::trunc(f.minutes) * 60000 +
                  std::trunc(f.seconds) * 1000 + std::trunc(f.ms));
}

double LocalOffsetMs(double t) {
  if (!std::isfinite(t)) return 0;
  // The system's tables cover the years a time_t holds; further out, the
  // offset at the nearest end of them.
  const double seconds = std::clamp(std::floor(t / 1000), -6.2e10, 2.5e11);
  const auto when = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  const std::tm* got = std::localtime(&when);  // per-thread storage there
  if (got == nullptr) return 0;
  local = *got;
#else
  if (localtime_r(&when, &local) == nullptr) return 0;
#endif
  const double localSeconds =
      static_cast<double>(DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday)) *
          86400 +
      local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  return (localSeconds - seconds) * 1000;
}

double LocalTimeOf(const DateFields& f) {
  const double asUtc = TimeOf(f);
  if (std::isnan(asUtc)) return NAN;
  // The offset at the moment meant, found from a first guess.
  const double guess = asUtc - LocalOffsetMs(asUtc);
  return TimeClip(asUtc - LocalOffsetMs(guess));
}

std::string FormatDate(double t, double offsetMs) {
  if (std::isnan(t)) return "Invalid Date";
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const DateFields f = FieldsOf(t, offsetMs);
  const int offsetMinutes = static_cast<int>(std::lround(offsetMs / 60000));
  const int absMinutes = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[96];
  std::snprintf(text, sizeof text, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %.0f", kDays[f.day],
                kMonths[static_cast<int>(f.month)], static_cast<int>(f.date),
                static_cast<int>(f.hours), static_cast<int>(f.minutes), static_cast<int>(f.seconds),
                offsetMinutes < 0 ? '-' : '+', absMinutes / 60, absMinutes % 60, f.year);
  return text;
}

double WallClockMs() {
  using namespace std::chrono;
  return static_cast<double>(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace orrivel::swf::avm1
