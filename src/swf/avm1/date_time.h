// Date arithmetic of ActionScript's Date: time values are milliseconds since
// 1970-01-01 00:00 UTC, as doubles; local time is UTC plus the system's
// offset for that moment. Pure functions, so the calendar rules are tested
// apart from the system's time zone.
#pragma once

#include <cstdint>
#include <string>

namespace orrivel::swf::avm1 {

inline constexpr double kMsPerDay = 86400000;

struct DateFields {
  double year = 1970, month = 0, date = 1;  // month 0..11, date 1..31
  double hours = 0, minutes = 0, seconds = 0, ms = 0;
  int day = 4;  // weekday, 0 = Sunday
};

// NaN when out of the range Dates hold (±8.64e15 ms) or not finite.
double TimeClip(double t);
// The fields of time value t, shifted by offsetMs (0 for UTC).
DateFields FieldsOf(double t, double offsetMs);
// The time value of the fields; months and days out of range roll over,
// as Date's setters let them. NaN for non-finite fields.
double TimeOf(const DateFields& f);
// The system's offset of local time from UTC at t, in milliseconds.
double LocalOffsetMs(double t);
// Local fields to a time value, with the offset that holds at that moment.
double LocalTimeOf(const DateFields& f);
// "Sat Jan 1 00:00:00 GMT+0100 2000", as the player prints a Date.
std::string FormatDate(double t, double offsetMs);
// The wall clock now, in milliseconds since 1970.
double WallClockMs();

}  // namespace orrivel::swf::avm1
