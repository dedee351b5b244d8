#pragma once
// Code pages and the small wide-string routines the writers need.
//
// The installed code pages are enumerated once at program start; pick lists are filled from that
// table. Conversions never raise: a failing conversion gives an empty result.
#include <cstdint>
#include <string>
#include <vector>

// Code page numbers with a meaning of their own (CP_ACP, CP_OEMCP, CP_MACCP).
constexpr uint32_t CodePageAnsi = 0;
constexpr uint32_t CodePageOem = 1;
constexpr uint32_t CodePageMac = 2;

struct TCodePageItem {
  std::wstring Name;  // the system's name, e.g. "1252  (ANSI - Latin I)", or the number as text
  uint32_t CodePage = 0;
};
using TCodePageItems = std::vector<TCodePageItem>;

// The installed code pages in the order the system enumerates them; nullptr when the system
// reported none.
const TCodePageItems* CodePageList();

// Refills List from the code-page list (indices match). With FullName false only the description
// between the first "(" and the last ")" is kept. Returns the index of the system ANSI code page,
// or -1.
int FillCodePageList(TCodePageItems& List, bool FullName);

// The description part of a system code-page name (see FillCodePageList).
std::wstring ShortCodePageName(const std::wstring& Name);

// Both stop at the first zero byte or unit.
std::wstring CodePageToWide(const std::string& Bytes, uint32_t CodePage);
// Characters the code page lacks become its default character.
std::string WideToCodePage(const std::wstring& Text, uint32_t CodePage);

bool IsAsciiBuffer(const wchar_t* P, int Count);
bool IsAsciiString(const std::wstring& Text);

// One- to three-byte sequences only; four-byte sequences are not accepted.
bool LooksLikeUTF8(const std::string& Bytes);

std::wstring WideStringOfChar(wchar_t Ch, int Count);

// 1-based position of SubStr in S at or after Offset, exact comparison; 0 when none, when SubStr
// is empty or when Offset is below 1.
int WidePosEx(const std::wstring& SubStr, const std::wstring& S, int Offset = 1);

// Replaces every OldText by NewText; inserted text is never searched again.
std::wstring WideReplaceAll(const std::wstring& Text, const std::wstring& OldText,
                            const std::wstring& NewText);
