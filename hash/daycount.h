#pragma once
// Calendar arithmetic on the day scale whose day 0 is 30 December 1899 (proleptic Gregorian).
// File times are seconds on this scale; the date text of the checksum file uses the same days.
#include <cstdint>

constexpr int64_t SecondsPerDay = 86400;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Days since 30 December 1899 for a calendar date; false when the date is not a date of years
// 1 to 9999 (month 1 to 12, day within the month).
bool TryEncodeDate(int year, int month, int day, int64_t& days);

// The calendar date of a day number (any day from 1 January 1 to 31 December 9999).
void DecodeDate(int64_t days, int& year, int& month, int& day);
