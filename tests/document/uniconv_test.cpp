#include "document/uniconv.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <set>

namespace {

bool Listed(uint32_t codePage) {
  const TCodePageItems* list = CodePageList();
  return list && std::any_of(list->begin(), list->end(),
                             [&](const TCodePageItem& i) { return i.CodePage == codePage; });
}

}  // namespace

// Wine does not enumerate the Unicode code pages (65000, 65001); Windows does.
TEST(CodePageList, HoldsTheCommonWindowsCodePages) {
  const TCodePageItems* list = CodePageList();
  ASSERT_NE(list, nullptr);
  for (uint32_t cp : {437u, 850u, 866u, 874u, 932u, 936u, 949u, 950u, 1250u, 1251u, 1252u, 1253u,
                      1254u, 1255u, 1256u, 1257u, 1258u, 10000u, 20866u, 28591u}) {
    EXPECT_TRUE(Listed(cp)) << cp;
  }
  std::set<uint32_t> seen;
  for (const TCodePageItem& item : *list) {
    EXPECT_FALSE(item.Name.empty()) << item.CodePage;
    EXPECT_TRUE(seen.insert(item.CodePage).second) << "listed twice: " << item.CodePage;
  }
}

TEST(CodePageList, FillKeepsOrderAndFindsTheAnsiCodePage) {
  TCodePageItems full, brief;
  full.push_back({L"stale", 1});
  const int index = FillCodePageList(full, true);
  EXPECT_EQ(FillCodePageList(brief, false), index);
  const TCodePageItems& list = *CodePageList();
  ASSERT_EQ(full.size(), list.size());
  ASSERT_EQ(brief.size(), list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(full[i].Name, list[i].Name);  // system names unchanged, numbers included
    EXPECT_EQ(full[i].CodePage, list[i].CodePage);
    EXPECT_EQ(brief[i].Name, ShortCodePageName(list[i].Name));
    EXPECT_EQ(brief[i].CodePage, list[i].CodePage);
  }
  ASSERT_GE(index, 0);
  EXPECT_EQ(full[index].CodePage, GetACP());
}

TEST(CodePageList, ShortNameIsTheTextInsideTheParentheses) {
  EXPECT_EQ(ShortCodePageName(L"1252  (ANSI - Latin I)"), L"ANSI - Latin I");
  EXPECT_EQ(ShortCodePageName(L"932 (ANSI/OEM - Japanese (Shift-JIS))"),
            L"ANSI/OEM - Japanese (Shift-JIS)");
  EXPECT_EQ(ShortCodePageName(L"20127"), L"20127");
  EXPECT_EQ(ShortCodePageName(L"x (y"), L"y");
  EXPECT_EQ(ShortCodePageName(L"x) y"), L"x");
}

TEST(CodePageConversion, Utf8DecodesAndStopsAtZero) {
  EXPECT_EQ(CodePageToWide("caf\xC3\xA9", CP_UTF8), L"caf\u00E9");
  EXPECT_EQ(CodePageToWide(std::string("ab\0cd", 5), CP_UTF8), L"ab");
  EXPECT_EQ(CodePageToWide("", CP_UTF8), L"");
  EXPECT_EQ(WideToCodePage(std::wstring(L"ab\0cd", 5), CP_UTF8), "ab");
  EXPECT_EQ(WideToCodePage(L"\u00E9\U0001F600", CP_UTF8), "\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(CodePageConversion, MissingLetterBecomesTheDefaultCharacter) {
  EXPECT_EQ(WideToCodePage(L"a\u0416b", 1252), "a?b");
  EXPECT_EQ(WideToCodePage(L"\u0416", 1251), "\xC6");
  EXPECT_EQ(CodePageToWide("\xC6", 1251), L"\u0416");
}

TEST(CodePageConversion, UnknownCodePageGivesEmptyResults) {
  EXPECT_EQ(CodePageToWide("abc", 12345), L"");
  EXPECT_EQ(WideToCodePage(L"abc", 12345), "");
}

// Every character a listed code page decodes must encode back to bytes that decode to the same
// character (byte forms may differ where a code page has duplicates).
TEST(CodePageConversion, EveryListedCodePageRoundTripsItsPrintableCharacters) {
  int tested = 0;
  for (const TCodePageItem& item : *CodePageList()) {
    const uint32_t cp = item.CodePage;
    CPINFO info{};
    if (!GetCPInfo(cp, &info)) continue;  // listed but not convertible
    ++tested;
    std::vector<std::string> sequences;
    for (int b = 1; b < 256; ++b) {
      if (info.MaxCharSize == 2 && IsDBCSLeadByteEx(cp, static_cast<BYTE>(b))) {
        for (int t = 1; t < 256; ++t) sequences.push_back({char(b), char(t)});
      } else {
        sequences.push_back(std::string(1, char(b)));
      }
    }
    int failures = 0;
    for (const std::string& bytes : sequences) {
      const std::wstring text = CodePageToWide(bytes, cp);
      if (text.size() != 1 || text[0] == 0xFFFD || !std::iswprint(text[0])) continue;
      if (text[0] >= 0xD800 && text[0] <= 0xDFFF) continue;
      const std::string encoded = WideToCodePage(text, cp);
      if (CodePageToWide(encoded, cp) != text && ++failures <= 3) {
        ADD_FAILURE() << "code page " << cp << ": U+" << std::hex << unsigned(text[0]);
      }
    }
  }
  EXPECT_GT(tested, 20);
}

TEST(Utf8Plausibility, AcceptsOnlyOneToThreeByteSequences) {
  EXPECT_TRUE(LooksLikeUTF8("caf\xC3\xA9"));
  EXPECT_FALSE(LooksLikeUTF8("caf\xE9"));
  EXPECT_FALSE(LooksLikeUTF8("caf\xC3"));
  EXPECT_FALSE(LooksLikeUTF8("\x80"));
  EXPECT_TRUE(LooksLikeUTF8("plain ASCII"));
  EXPECT_TRUE(LooksLikeUTF8(""));
  EXPECT_TRUE(LooksLikeUTF8("\xE2\x82\xAC"));
  EXPECT_FALSE(LooksLikeUTF8("\xE2\x82"));
  EXPECT_FALSE(LooksLikeUTF8("\xE2\x28\xAC"));
  EXPECT_FALSE(LooksLikeUTF8("\xF0\x9F\x98\x80"));
}

TEST(WideStrings, AsciiTests) {
  EXPECT_TRUE(IsAsciiString(L""));
  EXPECT_TRUE(IsAsciiString(L"abc\x7F"));
  EXPECT_FALSE(IsAsciiString(L"ab\x80"));
  EXPECT_TRUE(IsAsciiBuffer(L"\x80", 0));
  EXPECT_TRUE(IsAsciiBuffer(nullptr, -1));
}

TEST(WideStrings, StringOfChar) {
  EXPECT_EQ(WideStringOfChar(L' ', 4), L"    ");
  EXPECT_EQ(WideStringOfChar(L'x', 0), L"");
  EXPECT_EQ(WideStringOfChar(L'x', -3), L"");
}

TEST(WideStrings, PosEx) {
  EXPECT_EQ(WidePosEx(L"b", L"abcb"), 2);
  EXPECT_EQ(WidePosEx(L"b", L"abcb", 3), 4);
  EXPECT_EQ(WidePosEx(L"B", L"abcb"), 0);
  EXPECT_EQ(WidePosEx(L"", L"abc"), 0);
  EXPECT_EQ(WidePosEx(L"cb", L"abcb", 3), 3);
  EXPECT_EQ(WidePosEx(L"cb", L"abcb", 4), 0);  // beyond the last possible start
  EXPECT_EQ(WidePosEx(L"abcde", L"abc"), 0);
}

TEST(WideStrings, ReplaceAllNeverRescansInsertedText) {
  EXPECT_EQ(WideReplaceAll(L"a\\b", L"\\", L"\\\\"), L"a\\\\b");
  EXPECT_EQ(WideReplaceAll(L"a/b/c", L"/", L"\\"), L"a\\b\\c");
  EXPECT_EQ(WideReplaceAll(L"&&", L"&", L"&amp;"), L"&amp;&amp;");
  EXPECT_EQ(WideReplaceAll(L"aaa", L"aa", L"b"), L"ba");
  EXPECT_EQ(WideReplaceAll(L"abc", L"abc", L""), L"");
  EXPECT_EQ(WideReplaceAll(L"abc", L"x", L"y"), L"abc");
}
