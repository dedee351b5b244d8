#include "document/uniconv.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

// Wine does not enumerate the Unicode code pages (65000, 65001); Windows does. The pick lists
// follow the system list in order, with the system names or their descriptions.
TEST(CodePageList, HoldsTheCommonWindowsCodePagesInPickLists) {
  ASSERT_NE(CodePageList(), nullptr);
  const TCodePageItems& list = *CodePageList();
  std::set<uint32_t> seen;
  for (const TCodePageItem& item : list) {
    EXPECT_FALSE(item.Name.empty()) << item.CodePage;
    EXPECT_TRUE(seen.insert(item.CodePage).second) << "listed twice: " << item.CodePage;
  }
  for (uint32_t cp : {437u,  850u,  866u,  874u,  932u,  936u,  949u,  950u,   1250u,  1251u,
                      1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u, 10000u, 20866u, 28591u})
    EXPECT_TRUE(seen.count(cp)) << cp;

  TCodePageItems full{{L"stale", 1}}, brief;
  const int index = FillCodePageList(full, true);
  EXPECT_EQ(FillCodePageList(brief, false), index);
  ASSERT_EQ(full.size(), list.size());
  ASSERT_EQ(brief.size(), list.size());
  for (size_t i = 0; i < list.size(); ++i) {  // system names unchanged, numbers included
    EXPECT_EQ(std::tie(full[i].Name, full[i].CodePage), std::tie(list[i].Name, list[i].CodePage));
    EXPECT_EQ(std::make_pair(brief[i].Name, brief[i].CodePage),
              std::make_pair(ShortCodePageName(list[i].Name), list[i].CodePage));
  }
  ASSERT_GE(index, 0);
  EXPECT_EQ(full[index].CodePage, GetACP());

  EXPECT_EQ(ShortCodePageName(L"1252  (ANSI - Latin I)"), L"ANSI - Latin I");
  EXPECT_EQ(ShortCodePageName(L"932 (ANSI/OEM - Japanese (Shift-JIS))"),
            L"ANSI/OEM - Japanese (Shift-JIS)");
  EXPECT_EQ(ShortCodePageName(L"20127"), L"20127");
  EXPECT_EQ(ShortCodePageName(L"x (y"), L"y");
  EXPECT_EQ(ShortCodePageName(L"x) y"), L"x");
}

// Conversions stop at a zero; a missing letter becomes the default character; an unknown code
// page gives nothing. (The system's converters themselves are not tested here.)
TEST(CodePageConversion, EdgeCases) {
  EXPECT_EQ(CodePageToWide(std::string("caf\xC3\xA9\0cd", 7), CP_UTF8), L"caf\u00E9");
  EXPECT_EQ(CodePageToWide("", CP_UTF8), L"");
  EXPECT_EQ(WideToCodePage(std::wstring(L"\U0001F600\0cd", 5), CP_UTF8), "\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToCodePage(L"a\u0416b", 1252), "a?b");
  EXPECT_EQ(CodePageToWide("abc", 12345), L"");
  EXPECT_EQ(WideToCodePage(L"abc", 12345), "");
}

TEST(WideStrings, Utf8AndAsciiTests) {
  // One- to three-byte sequences only.
  for (const char* yes : {"caf\xC3\xA9", "plain ASCII", "", "\xE2\x82\xAC"})
    EXPECT_TRUE(LooksLikeUTF8(yes)) << yes;
  for (const char* no : {"caf\xE9", "caf\xC3", "\x80", "\xE2\x82", "\xE2\x28\xAC",
                         "\xF0\x9F\x98\x80", "\xF0\x9F\x98"})
    EXPECT_FALSE(LooksLikeUTF8(no)) << no;
  EXPECT_TRUE(IsAsciiString(L""));
  EXPECT_TRUE(IsAsciiString(L"abc\x7F"));
  EXPECT_FALSE(IsAsciiString(L"ab\x80"));
  EXPECT_TRUE(IsAsciiBuffer(L"\x80", 0));
  EXPECT_TRUE(IsAsciiBuffer(nullptr, -1));
}

TEST(WideStrings, StringOfCharPosExAndReplaceAll) {
  EXPECT_EQ(WideStringOfChar(L' ', 4), L"    ");
  EXPECT_EQ(WideStringOfChar(L'x', 0) + WideStringOfChar(L'x', -3), L"");

  EXPECT_EQ(WidePosEx(L"b", L"abcb"), 2);
  EXPECT_EQ(WidePosEx(L"b", L"abcb", 3), 4);
  EXPECT_EQ(WidePosEx(L"cb", L"abcb", 3), 3);
  for (int zero : {WidePosEx(L"B", L"abcb"), WidePosEx(L"", L"abc"), WidePosEx(L"cb", L"abcb", 4),
                   WidePosEx(L"abcde", L"abc"), WidePosEx(L"a", L"abc", 0)})
    EXPECT_EQ(zero, 0);

  // Inserted text is never searched again.
  EXPECT_EQ(WideReplaceAll(L"a\\b", L"\\", L"\\\\"), L"a\\\\b");
  EXPECT_EQ(WideReplaceAll(L"a/b/c", L"/", L"\\"), L"a\\b\\c");
  EXPECT_EQ(WideReplaceAll(L"&&", L"&", L"&amp;"), L"&amp;&amp;");
  EXPECT_EQ(WideReplaceAll(L"aaa", L"aa", L"b"), L"ba");
  EXPECT_EQ(WideReplaceAll(L"abc", L"abc", L""), L"");
  EXPECT_EQ(WideReplaceAll(L"abc", L"x", L"y"), L"abc");
}
