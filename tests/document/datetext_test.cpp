#include "document/datetext.h"

#include "gtest/gtest.h"
#include "hash/daycount.h"
#include "hash/errors.h"

// Day and time texts without leading zeros, at the ends of the range, of a minute, an hour and a
// day, read back; so does every second of a day. (Every day of the calendar is walked in the day
// count's own test.)
TEST(DateText, FormatsWithoutLeadingZerosAndReadsBack) {
  constexpr int64_t last = (int64_t{2958465} + 1) * 86400 - 1;  // 9999-12-31 23:59:59
  const struct {
    int64_t Seconds;
    const wchar_t *Date, *Time;
  } texts[] = {{0, L"1899-12-30", L"0:0:0"},
               {59, L"1899-12-30", L"0:0:59"},
               {60, L"1899-12-30", L"0:1:0"},
               {3599, L"1899-12-30", L"0:59:59"},
               {3600, L"1899-12-30", L"1:0:0"},
               {86399, L"1899-12-30", L"23:59:59"},
               {86400, L"1899-12-31", L"0:0:0"},
               {3287174400 + 32700, L"2004-2-29", L"9:5:0"},
               {-109205 * int64_t{86400}, L"1601-1-1", L"0:0:0"},
               {last, L"9999-12-31", L"23:59:59"}};
  for (const auto& t : texts) {
    EXPECT_EQ(FormatDateText(t.Seconds), t.Date);
    EXPECT_EQ(FormatTimeText(t.Seconds), t.Time);
    EXPECT_EQ(ParseDateText(t.Date) + ParseTimeText(t.Time), t.Seconds) << t.Seconds;
  }
  for (int64_t s = 0; s < 86400; ++s) ASSERT_EQ(ParseTimeText(FormatTimeText(3287174400 + s)), s);
}

TEST(DateText, ParsesDates) {
  EXPECT_EQ(ParseDateText(L" \t2004-02-29\r\n "), 38046 * 86400LL);
  EXPECT_EQ(ParseDateText(L"04-2-29"), ParseDateText(L"1904-2-29"));
  EXPECT_EQ(ParseDateText(L"99-1-1"), ParseDateText(L"1999-1-1"));
  int64_t year100;
  ASSERT_TRUE(TryEncodeDate(100, 1, 1, year100));
  EXPECT_EQ(ParseDateText(L"100-1-1"), year100 * 86400) << "100 is not a two-digit year";
  EXPECT_EQ(ParseDateText(L"1899-12-29"), -86400);
  EXPECT_EQ(ParseDateText(L"$7D4-x2-0x1D"), 38046 * 86400LL);
  EXPECT_EQ(ParseDateText(L"+2004- 2-  29"), 38046 * 86400LL);
  // Missing, empty or malformed pieces give 0.
  for (const wchar_t* t :
       {L"2004-2", L"2004-2-29-1", L"2004", L"", L"   ", L"2004--29", L"2004-2-", L"2004 -2-29",
        L"2004-2-29x", L"-2-29", L"2004/2/29", L"2004-2-0X1D", L"99999999999-1-1"})
    EXPECT_EQ(ParseDateText(t), 0) << testing::PrintToString(std::wstring(t));
}

TEST(DateText, ImpossibleDatesRaiseAConversionError) {
  for (const wchar_t* t : {L"2004-2-30", L"2003-2-29", L"10000-1-1", L"2004-13-1", L"2004-0-1",
                           L"2004-1-0", L"1900-2-29", L"0-2-29", L"2004-1-65568"}) {
    try {
      ParseDateText(t);
      ADD_FAILURE() << "no exception for " << testing::PrintToString(std::wstring(t));
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.GetMessage(), L"Invalid argument to date encode");
    }
  }
  // Numbers wrap to 16 bits before the check: 65537 is month 1.
  EXPECT_EQ(ParseDateText(L"2004-65537-1"), ParseDateText(L"2004-1-1"));
}

TEST(TimeText, ParsesWithoutRangeChecks) {
  EXPECT_EQ(ParseTimeText(L"9:05:00"), 32700);
  EXPECT_EQ(ParseTimeText(L"  9:5:0 \n"), 32700);
  EXPECT_EQ(ParseTimeText(L"$A:0:0"), 36000);
  EXPECT_EQ(ParseTimeText(L"25:61:61"), 93721);
  EXPECT_EQ(ParseTimeText(L"65535:65535:65535"), 65535LL * 3661);
  EXPECT_EQ(ParseTimeText(L"-1:0:0"), 65535LL * 3600) << "wraps to 16 bits";
  EXPECT_EQ(ParseTimeText(L"65536:1:1"), 61);
  EXPECT_EQ(ParseTimeText(L"2147483647:0:0"), 65535LL * 3600);
  for (const wchar_t* t : {L"9:5", L"9", L"", L"9:5:0:0", L"9::0", L"9 :5:0", L"a:5:0",
                           L"2147483648:0:0", L"$:0:0", L"0x:0:0", L"--1:0:0"})
    EXPECT_EQ(ParseTimeText(t), 0) << testing::PrintToString(std::wstring(t));
  EXPECT_EQ(ParseTimeText(L"-2147483648:1:0"), 60) << "-2^31 fits and wraps to 0 hours";
  EXPECT_EQ(ParseTimeText(L"-2147483649:1:0"), 0);
  EXPECT_EQ(ParseTimeText(L"0x10:x10:X10"), (16 * 60 + 16) * 60 + 16);
}

TEST(UpdateModeText, FormatsInFixedOrderAndParsesMessyInput) {
  const char* texts[] = {"",     "Size",       "Time",       "Size, Time",
                         "Hash", "Size, Hash", "Time, Hash", "Size, Time, Hash"};
  for (TUpdateModes m = 0; m < 8; ++m) {
    EXPECT_EQ(FormatUpdateMode(m), texts[m]);
    EXPECT_EQ(ParseUpdateMode(texts[m]), m);
  }
  // Messy input.
  EXPECT_EQ(ParseUpdateMode("  Size \t, HASH,empty, ,bogus"), umSize | umHash);
  EXPECT_EQ(ParseUpdateMode("size;time"), 0);
  EXPECT_EQ(ParseUpdateMode(""), 0);
  EXPECT_EQ(ParseUpdateMode(",,,"), 0);
  EXPECT_EQ(ParseUpdateMode("Empty"), umHash);
  EXPECT_EQ(ParseUpdateMode("\x01time\x1f\x7f"), 0) << "only codes up to 32 are trimmed";
  EXPECT_EQ(ParseUpdateMode("\x01time\x1f"), umTime);
  EXPECT_EQ(ParseUpdateMode("si ze, t ime"), 0);
  EXPECT_EQ(ParseUpdateMode("TIME,"), umTime);
  EXPECT_EQ(ParseUpdateMode("\xe9size, time"), umTime);
}

TEST(DateText, IntegerSyntaxCoversTheWhole64BitRange) {
  int64_t v = 0;
  ASSERT_TRUE(TryStrToInt64("9223372036854775807", v));
  EXPECT_EQ(v, INT64_MAX);
  ASSERT_TRUE(TryStrToInt64(" -9223372036854775808", v));
  EXPECT_EQ(v, INT64_MIN);
  ASSERT_TRUE(TryStrToInt64("-$7fffFFFFffffFFFF", v));
  EXPECT_EQ(v, -INT64_MAX);
  for (const char* s : {"9223372036854775808", "-9223372036854775809", "$10000000000000000", "",
                        " ", "-", "0x", "0X1F", "1 "})
    EXPECT_FALSE(TryStrToInt64(s, v)) << s;
}
