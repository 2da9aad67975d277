#include "swf/avm1/date_time.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orrivel::swf::avm1 {
namespace {

constexpr double kRecorded = 981152406000;  // 2001-02-02 22:20:06 UTC, a Friday
constexpr double kNepal = 345 * 60000.0;    // GMT+0545

TEST(DateTimeTest, FieldsAndTimeValuesRoundTrip) {
  struct Case {
    double t, offset;
    DateFields f;
  };
  const Case cases[] = {
      {0, 0, {1970, 0, 1, 0, 0, 0, 0, 4}},
      {-1, 0, {1969, 11, 31, 23, 59, 59, 999, 3}},
      {kRecorded, 0, {2001, 1, 2, 22, 20, 6, 0, 5}},
      {kRecorded, kNepal, {2001, 1, 3, 4, 5, 6, 0, 6}},
      {951782400000, 0, {2000, 1, 29, 0, 0, 0, 0, 2}},  // a leap day
      {-2208988800000, 0, {1900, 0, 1, 0, 0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    const DateFields f = FieldsOf(c.t, c.offset);
    EXPECT_EQ(f.year, c.f.year) << c.t;
    EXPECT_EQ(f.month, c.f.month) << c.t;
    EXPECT_EQ(f.date, c.f.date) << c.t;
    EXPECT_EQ(f.hours, c.f.hours) << c.t;
    EXPECT_EQ(f.ms, c.f.ms) << c.t;
    EXPECT_EQ(f.day, c.f.day) << c.t;
    EXPECT_EQ(TimeOf(f), c.t + c.offset) << c.t;
  }
}

TEST(DateTimeTest, OutOfRangeFieldsRollOverAndBadOnesGiveNaN) {
  const double jan2001 = TimeOf({2001, 0, 1});
  EXPECT_EQ(TimeOf({2000, 12, 1}), jan2001);
  EXPECT_EQ(TimeOf({2001, -12, 1}), TimeOf({2000, 0, 1}));
  EXPECT_EQ(TimeOf({2001, 0, 0}), TimeOf({2000, 11, 31}));
  EXPECT_EQ(TimeOf({2001, 0, 1, 24}), TimeOf({2001, 0, 2}));
  for (const DateFields& bad :
       {DateFields{NAN}, DateFields{2001, INFINITY}, DateFields{1e12}, DateFields{275761, 0, 1}}) {
    EXPECT_TRUE(std::isnan(TimeOf(bad)));
  }
  EXPECT_TRUE(std::isnan(TimeClip(8.64e15 + 1)));
  EXPECT_EQ(TimeClip(-5.5), -5.5);  // fractions of a millisecond are kept
}

TEST(DateTimeTest, PrintsAsThePlayer) {
  EXPECT_EQ(FormatDate(kRecorded, kNepal), "Sat Feb 3 04:05:06 GMT+0545 2001");
  EXPECT_EQ(FormatDate(0, -8 * 3600000.0), "Wed Dec 31 16:00:00 GMT-0800 1969");
  EXPECT_EQ(FormatDate(NAN, 0), "Invalid Date");
}

}  // namespace
}  // namespace orrivel::swf::avm1
