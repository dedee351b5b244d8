#include "hash/daycount.h"

#include <gtest/gtest.h>

#include <array>

TEST(DayCount, KnownDaysAndImpossibleDates) {
  const struct {
    int Year, Month, Day;
    int64_t Number;
  } known[] = {{1899, 12, 30, 0}, {2004, 2, 29, 38046}, {1601, 1, 1, -109205}, {1, 1, 1, -693593}};
  for (const auto& k : known) {
    int64_t d = -1;
    EXPECT_TRUE(TryEncodeDate(k.Year, k.Month, k.Day, d));
    EXPECT_EQ(d, k.Number) << k.Year;
  }
  const std::array<int, 3> impossible[] = {{2004, 2, 30}, {1900, 2, 29}, {0, 1, 1},
                                           {10000, 1, 1}, {2000, 13, 1}, {2000, 0, 1}};
  int64_t d = 0;
  for (const auto& [y, m, day] : impossible)
    EXPECT_FALSE(TryEncodeDate(y, m, day, d)) << y << '-' << m << '-' << day;
}

// Consecutive day numbers advance the calendar by exactly one day, and encode back.
TEST(DayCount, EveryDayRoundTrips) {
  int64_t first = 0, last = 0;
  ASSERT_TRUE(TryEncodeDate(1, 1, 1, first));
  ASSERT_TRUE(TryEncodeDate(9999, 12, 31, last));
  int py = 1, pm = 1, pd = 0;
  for (int64_t n = first; n <= last; ++n) {
    int y, m, d;
    DecodeDate(n, y, m, d);
    if (d != pd + 1 || m != pm || y != py) {
      ASSERT_EQ(d, 1) << n;
      ASSERT_TRUE((m == pm + 1 && y == py) || (m == 1 && pm == 12 && y == py + 1)) << n;
      ASSERT_EQ(pd, DaysInMonth(py, pm)) << n;
    }
    int64_t back = 0;
    ASSERT_TRUE(TryEncodeDate(y, m, d, back));
    ASSERT_EQ(back, n);
    py = y, pm = m, pd = d;
  }
}
