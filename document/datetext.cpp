#include "document/datetext.h"

#include <windows.h>

#include "document/uniconv.h"
#include "hash/daycount.h"
#include "hash/errors.h"

namespace {
std::wstring_view TrimControls(std::wstring_view Text) {
  size_t b = 0, e = Text.size();
  while (b < e && Text[b] <= 32) ++b;
  while (e > b && Text[e - 1] <= 32) --e;
  return Text.substr(b, e - b);
}

template <typename Char>
int HexDigit(Char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Within [-Limit - 1, Limit]; see TryStrToInt64.
template <typename Char>
bool TryStrToIntLimit(std::basic_string_view<Char> S, uint64_t Limit, int64_t& Value) {
  size_t i = 0;
  const size_t n = S.size();
  while (i < n && S[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (S[i] == '+' || S[i] == '-')) negative = S[i++] == '-';
  int base = 10;
  if (i < n && (S[i] == '$' || S[i] == 'x' || S[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < n && S[i] == '0' && S[i + 1] == 'x') {
    base = 16;
    i += 2;
  }
  if (i == n) return false;
  const uint64_t limit = negative ? Limit + 1 : Limit;
  // Past this, one more digit overflows; dividing once here beats dividing for every digit.
  const uint64_t most = base == 16 ? limit / 16 : limit / 10;
  const int last = static_cast<int>(base == 16 ? limit % 16 : limit % 10);
  uint64_t v = 0;
  for (; i < n; ++i) {
    const int d = base == 16 ? HexDigit(S[i]) : (S[i] >= '0' && S[i] <= '9' ? S[i] - '0' : -1);
    if (d < 0) return false;
    if (v > most || (v == most && d > last)) return false;
    v = v * base + d;
  }
  Value = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

// Wide text converts as its ANSI form does. Text that converts as it is holds only ASCII, whose
// ANSI form is the same; only other text (which may narrow to digits) needs the conversion.
bool TryWideToIntLimit(std::wstring_view S, uint64_t Limit, int64_t& Value) {
  if (TryStrToIntLimit(S, Limit, Value)) return true;
  for (wchar_t c : S) {
    if (c >= 0x80) {
      const std::string narrow = NarrowAnsi(std::wstring(S));
      return TryStrToIntLimit(std::string_view(narrow), Limit, Value);
    }
  }
  return false;
}

bool TryPiece(std::wstring_view Piece, int32_t& Value) {
  int64_t v = 0;
  if (!TryWideToIntLimit(Piece, INT32_MAX, v)) return false;
  Value = static_cast<int32_t>(v);
  return true;
}

// Splits Text at the first two Separators: the third piece keeps any further separators.
// Returns false when a piece is not a number.
bool ParseThree(std::wstring_view Text, wchar_t Separator, bool YearRule, uint16_t (&Out)[3]) {
  const std::wstring_view t = TrimControls(Text);
  const size_t first = t.find(Separator);
  int32_t v[3];
  if (!TryPiece(t.substr(0, first), v[0])) return false;
  std::wstring_view rest =
      first == std::wstring_view::npos ? std::wstring_view() : t.substr(first + 1);
  const size_t second = rest.find(Separator);
  if (YearRule && v[0] < 100) v[0] += 1900;
  if (!TryPiece(rest.substr(0, second), v[1])) return false;
  rest = second == std::wstring_view::npos ? std::wstring_view() : rest.substr(second + 1);
  if (!TryPiece(rest, v[2])) return false;
  for (int k = 0; k < 3; ++k) Out[k] = static_cast<uint16_t>(v[k]);
  return true;
}

std::wstring JoinThree(int64_t A, int64_t B, int64_t C, wchar_t Separator) {
  return std::to_wstring(A) + Separator + std::to_wstring(B) + Separator + std::to_wstring(C);
}
}  // namespace

std::string NarrowAnsi(const std::wstring& Text) {
  for (wchar_t c : Text) {
    if (c >= 0x80) return WideToCodePage(Text, CP_ACP);
  }
  return std::string(Text.begin(), Text.end());
}

bool TryStrToInt64(const std::string& S, int64_t& Value) {
  return TryStrToIntLimit(std::string_view(S), INT64_MAX, Value);
}

bool TryStrToInt64(std::wstring_view S, int64_t& Value) {
  return TryWideToIntLimit(S, INT64_MAX, Value);
}

std::wstring FormatDateText(int64_t Seconds) {
  int year, month, day;
  DecodeDate(Seconds / SecondsPerDay, year, month, day);
  return JoinThree(year, month, day, L'-');
}

std::wstring FormatTimeText(int64_t Seconds) {
  const int64_t r = Seconds % SecondsPerDay;
  return JoinThree(r / 3600, (r / 60) % 60, r % 60, L':');
}

int64_t ParseDateText(std::wstring_view Text) {
  uint16_t p[3];
  if (!ParseThree(Text, L'-', true, p)) return 0;
  int64_t days;
  if (!TryEncodeDate(p[0], p[1], p[2], days))
    throw EConvertError(L"Invalid argument to date encode");
  return days * SecondsPerDay;
}

int64_t ParseTimeText(std::wstring_view Text) {
  uint16_t p[3];
  if (!ParseThree(Text, L':', false, p)) return 0;
  return (int64_t{p[0]} * 60 + p[1]) * 60 + p[2];
}

std::string FormatUpdateMode(TUpdateModes Modes) {
  std::string text;
  const auto add = [&text](const char* Word) {
    if (!text.empty()) text += ", ";
    text += Word;
  };
  if (Modes & umSize) add("Size");
  if (Modes & umTime) add("Time");
  if (Modes & umHash) add("Hash");
  return text;
}

TUpdateModes ParseUpdateMode(const std::string& Text) {
  TUpdateModes modes = 0;
  const auto control = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  size_t i = 0;
  const size_t n = Text.size();
  while (i < n) {
    while (i < n && control(Text[i])) ++i;
    const size_t start = i;
    while (i < n && Text[i] != ',') ++i;
    size_t end = i;
    while (end > start && control(Text[end - 1])) --end;
    std::string word = Text.substr(start, end - start);
    for (char& c : word)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (word == "size")
      modes |= umSize;
    else if (word == "time")
      modes |= umTime;
    else if (word == "hash" || word == "empty")
      modes |= umHash;
    ++i;  // past the comma
  }
  return modes;
}
