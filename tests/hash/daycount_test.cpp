#include "hash/daycount.h"

#include <gtest/gtest.h>

TEST(DayCount, KnownDays) {
  int64_t d = -1;
  ASSERT_TRUE(TryEncodeDate(1899, 12, 30, d));
  EXPECT_EQ(d, 0);
  ASSERT_TRUE(TryEncodeDate(2004, 2, 29, d));
  EXPECT_EQ(d, 38046);
  ASSERT_TRUE(TryEncodeDate(1601, 1, 1, d));
  EXPECT_EQ(d, -109205);
  ASSERT_TRUE(TryEncodeDate(1, 1, 1, d));
  EXPECT_EQ(d, -693593);
}

TEST(DayCount, RejectsImpossibleDates) {
  int64_t d = 0;
  EXPECT_FALSE(TryEncodeDate(2004, 2, 30, d));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(2000, 13, 1, d));
  EXPECT_FALSE(TryEncodeDate(2000, 0, 1, d));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
}

TEST(DayCount, EveryDayRoundTrips) {
  int64_t first = 0, last = 0;
  ASSERT_TRUE(TryEncodeDate(1, 1, 1, first));
  ASSERT_TRUE(TryEncodeDate(9999, 12, 31, last));
  int py = 1, pm = 1, pd = 0;
  for (int64_t n = first; n <= last; ++n) {
    int y, m, d;
    DecodeDate(n, y, m, d);
    // Consecutive days advance the calendar by exactly one day.
    if (d == pd + 1 && m == pm && y == py) {
    } else {
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
