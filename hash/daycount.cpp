#include "hash/daycount.h"

namespace {
// Days from 1 January 1 to 30 December 1899 in the proleptic Gregorian calendar.
constexpr int64_t kEpochOffset = 693593;

int64_t DaysBeforeYear(int64_t y) {  // days from 1 January 1 to 1 January y
  --y;
  return y * 365 + y / 4 - y / 100 + y / 400;
}

constexpr int kCumulative[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};
}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  const int leap = IsLeapYear(year) ? 1 : 0;
  return kCumulative[leap][month] - kCumulative[leap][month - 1];
}

bool TryEncodeDate(int year, int month, int day, int64_t& days) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  days = DaysBeforeYear(year) + kCumulative[IsLeapYear(year) ? 1 : 0][month - 1] + day - 1 -
         kEpochOffset;
  return true;
}

void DecodeDate(int64_t days, int& year, int& month, int& day) {
  int64_t n = days + kEpochOffset;  // days since 1 January 1
  // Estimate the year, then correct it.
  int64_t y = n * 400 / 146097 + 1;
  while (DaysBeforeYear(y) > n) --y;
  while (DaysBeforeYear(y + 1) <= n) ++y;
  int doy = static_cast<int>(n - DaysBeforeYear(y));
  const int leap = IsLeapYear(static_cast<int>(y)) ? 1 : 0;
  int m = 1;
  while (m < 12 && kCumulative[leap][m] <= doy) ++m;
  year = static_cast<int>(y);
  month = m;
  day = doy - kCumulative[leap][m - 1] + 1;
}
