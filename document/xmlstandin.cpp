#include "document/xmlstandin.h"

#include <windows.h>
#include <emmintrin.h>

#include <algorithm>

#include "document/xmlsyntax.h"
#include "document/xmltext.h"

using namespace std::string_view_literals;

namespace {

// The longest reference that can name a CR or a U+FDD0 has this many digits after its leading
// zeros ("64976").
constexpr uint8_t MaxDigits = 5;

int DigitValue(uint32_t C, bool Hex) {
  if (C >= '0' && C <= '9') return static_cast<int>(C - '0');
  if (Hex && C >= 'a' && C <= 'f') return static_cast<int>(C - 'a' + 10);
  if (Hex && C >= 'A' && C <= 'F') return static_cast<int>(C - 'A' + 10);
  return -1;
}

// The first unit of [P, End) that is one of the N in Set, or End.
const char* FindAny(const char* P, const char* End, const uint32_t* Set, size_t N) {
  __m128i sets[5];
  for (size_t i = 0; i < 5; ++i) sets[i] = _mm_set1_epi8(static_cast<char>(Set[i < N ? i : 0]));
  for (; End - P >= 16; P += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
    __m128i hit = _mm_cmpeq_epi8(v, sets[0]);
    for (size_t i = 1; i < 5; ++i) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, sets[i]));
    if (const int mask = _mm_movemask_epi8(hit)) return P + __builtin_ctz(mask);
  }
  for (; P < End; ++P) {
    if (std::find(Set, Set + N, static_cast<unsigned char>(*P)) != Set + N) return P;
  }
  return End;
}

const char16_t* FindAny(const char16_t* P, const char16_t* End, const uint32_t* Set, size_t N) {
  for (; P < End; ++P) {
    if (std::find(Set, Set + N, static_cast<uint32_t>(*P)) != Set + N) return P;
  }
  return End;
}

const wchar_t* FindMark(const wchar_t* P, const wchar_t* End) {
  const __m128i mark = _mm_set1_epi16(static_cast<short>(StandInMark));
  for (; End - P >= 8; P += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
    if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(v, mark)))
      return P + __builtin_ctz(mask) / 2;
  }
  while (P < End && *P != StandInMark) ++P;
  return P;
}

}  // namespace

TStandInText::TStandInText(std::string_view Head) {
  const auto starts = [&](std::string_view Prefix) {
    return Head.substr(0, Prefix.size()) == Prefix;
  };
  if (starts("\xFF\xFE\0\0"sv) || starts("\0\0\xFE\xFF"sv) || starts("<\0\0\0"sv) ||
      starts("\0\0\0<"sv))
    return;  // UTF-32, which no reader here takes
  if (starts("\xFF\xFE"sv) || starts("<\0?\0"sv)) {
    Units = TUnits::Utf16LE;
    return;
  }
  if (starts("\xFE\xFF"sv) || starts("\0<\0?"sv)) {
    Units = TUnits::Utf16BE;
    return;
  }
  if (starts("\xEF\xBB\xBF"sv)) {
    Units = TUnits::Bytes;
    Utf8 = true;
    return;
  }
  // Otherwise the text starts with markup or blanks in ASCII, and its declaration names the
  // encoding; one cut off by the end of the head tells nothing.
  if (Head.empty() || !(Head[0] == '<' || IsXmlBlank(Head[0]))) return;
  if (starts("<?xml"sv) && Head.find("?>"sv) == std::string_view::npos) return;
  const std::string encoding = DeclaredXmlEncoding(Head);
  const uint32_t codePage = encoding.empty() ? CP_UTF8 : CodePageOfEncoding(encoding);
  if (codePage == CP_UTF8) {
    Units = TUnits::Bytes;
    Utf8 = true;
    return;
  }
  CPINFO info;
  if (codePage == 0 || codePage == 1200 || codePage == 1201 || !GetCPInfo(codePage, &info)) return;
  if (info.MaxCharSize == 1) {
    Units = TUnits::Bytes;
  } else if (codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950) {
    // Their second bytes are never "&", "<", quotes, "-", "?" or ">".
    for (size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2) {
      for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) Lead[b] = true;
    }
    Units = TUnits::Bytes;
    Dbcs = true;
  }
}

void TStandInText::Rewrite(std::string_view Bytes, std::string& Out) {
  if (Units == TUnits::AsIs) {
    Out.append(Bytes);
    return;
  }
  if (Units == TUnits::Bytes) {
    Run(Bytes.data(), Bytes.data() + Bytes.size(), Out);
    return;
  }
  const bool little = Units == TUnits::Utf16LE;
  const auto unit = [little](char A, char B) {
    const auto a = static_cast<unsigned char>(A), b = static_cast<unsigned char>(B);
    return static_cast<char16_t>(little ? a | b << 8 : a << 8 | b);
  };
  Wide.clear();
  size_t i = 0;
  if (!Odd.empty() && !Bytes.empty()) {
    Wide.push_back(unit(Odd[0], Bytes[0]));
    Odd.clear();
    i = 1;
  }
  for (; i + 1 < Bytes.size(); i += 2) Wide.push_back(unit(Bytes[i], Bytes[i + 1]));
  if (i < Bytes.size()) Odd.assign(1, Bytes[i]);
  WideOut.clear();
  Run(Wide.data(), Wide.data() + Wide.size(), WideOut);
  AppendUnits(Out);
}

void TStandInText::Finish(std::string& Out) {
  if (Ref != TRef::None) {
    if (Units == TUnits::Bytes) {
      FlushReference(Out);
    } else {
      WideOut.clear();
      FlushReference(WideOut);
      AppendUnits(Out);
    }
  }
  Out.append(Odd);
  Odd.clear();
}

void TStandInText::AppendUnits(std::string& Out) const {
  const bool little = Units == TUnits::Utf16LE;
  for (const char16_t u : WideOut) {
    const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
    Out.push_back(little ? low : high);
    Out.push_back(little ? high : low);
  }
}

template <typename Unit>
void TStandInText::Run(const Unit* P, const Unit* End, std::basic_string<Unit>& Out) {
  const Unit* copied = P;  // the units from here to P go out as they are
  while (P < End) {
    if (Ref == TRef::None && !Trail && Utf8Mark == 0 && !CDataCR) {
      P = Plain(P, End);
      if (P == End) break;
    }
    Step(P++, copied, Out);
  }
  Out.append(copied, End);
}

// Where the next unit is that matters in the current mode; P itself when every unit does. In
// text, a "<" matters only before "!" or "?": attribute values hold no "<", so nothing in an
// element's tags needs more than the text around them.
template <typename Unit>
const Unit* TStandInText::Plain(const Unit* P, const Unit* End) const {
  const uint32_t mark = sizeof(Unit) == 2 ? StandInMark : Utf8 ? 0xEF : '&';
  uint32_t set[5] = {'&', '<', mark};
  size_t n = 3;
  const auto add = [&](std::initializer_list<uint32_t> List) {
    n = 0;
    for (uint32_t u : List) set[n++] = u;
    set[n++] = mark;
  };
  switch (Mode) {
    case TMode::Text:
      for (;;) {
        P = FindAny(P, End, set, n);
        if (P == End || *P != '<' || P + 1 == End || P[1] == '!' || P[1] == '?') return P;
        ++P;
      }
    case TMode::Quote:
      add({'&', static_cast<unsigned char>(Quote)});
      break;
    case TMode::Tag:
      if (Dbcs) return P;  // "[" can be a second byte
      add({'"', '\'', '>', '['});
      break;
    case TMode::Comment:
      if (Count) return P;
      add({'-'});
      break;
    case TMode::PI:
      if (Count) return P;
      add({'?'});
      break;
    case TMode::CData:
      if (Count || Dbcs) return P;
      add({']', '\r', '\n'});
      break;
    default:
      return P;
  }
  return FindAny(P, End, set, n);
}

// One unit that matters. Copied tells where the units begin that are not in Out yet.
template <typename Unit>
void TStandInText::Step(const Unit* P, const Unit*& Copied, std::basic_string<Unit>& Out) {
  uint32_t c = static_cast<uint32_t>(*P);
  if constexpr (sizeof(Unit) == 1) c &= 0xFF;
  if (Trail) {
    Trail = false;
    return;
  }
  if (Ref != TRef::None) {
    const bool taken = StepReference(c, Out);
    Copied = taken ? P + 1 : P;
    if (taken) return;
  }
  if (CDataCR && c != '\n') SplitCData(P, Copied, Out);  // after a CR alone
  CDataCR = false;
  const auto tag = [this](uint32_t U) {
    if (U == '"' || U == '\'') {
      Quote = static_cast<char>(U);
      Mode = TMode::Quote;
    } else if (U == '>' || U == '[') {  // "[" opens a document type's internal subset
      Mode = TMode::Text;
    }
  };
  switch (Mode) {
    case TMode::Lt:
      Count = 0;
      if (c != '?' && c != '!') {
        Mode = TMode::Text;
        Step(P, Copied, Out);
        return;
      }
      Mode = c == '?' ? TMode::PI : TMode::Bang;
      break;
    case TMode::Text:
    case TMode::Quote:
      if (c == '&') {
        Out.append(Copied, P);
        Copied = P + 1;
        Ref = TRef::Amp;
        Hex = false;
        Zeros = 0;
        DigitCount = 0;
        Value = 0;
        Utf8Mark = 0;
        return;
      }
      if (Mode == TMode::Text && c == '<') Mode = TMode::Lt;
      if (Mode == TMode::Quote && c == static_cast<unsigned char>(Quote)) Mode = TMode::Tag;
      break;
    case TMode::Bang:
      if (c == '-') {
        Mode = TMode::BangDash;
      } else if (c == '[') {
        Mode = TMode::CDataOpen;
      } else {
        Mode = TMode::Tag;  // a declaration
        tag(c);
      }
      break;
    case TMode::BangDash:
      Mode = c == '-' ? TMode::Comment : TMode::Tag;
      if (Mode == TMode::Tag) tag(c);
      break;
    case TMode::CDataOpen:
      if (c == static_cast<unsigned char>("CDATA["[Count])) {
        if (++Count == 6) Mode = TMode::CData, Count = 0;
      } else {
        Mode = TMode::Tag;
        tag(c);
      }
      break;
    case TMode::Tag:
      tag(c);
      break;
    case TMode::Comment:
    case TMode::CData: {
      const uint32_t closing = Mode == TMode::Comment ? '-' : ']';
      if (c == '>' && Count >= 2) {
        Mode = TMode::Text;
      } else {
        Count = c == closing ? static_cast<uint8_t>(std::min(Count + 1, 2)) : 0;
      }
      if (Mode == TMode::CData && c == '\n') SplitCData(P + 1, Copied, Out);
      CDataCR = Mode == TMode::CData && c == '\r';
      break;
    }
    case TMode::PI:
      if (c == '>' && Count) {
        Mode = TMode::Text;
      } else {
        Count = c == '?';
      }
      break;
  }
  // A U+FDD0 of the text itself gets its "0".
  bool mark = false;
  if constexpr (sizeof(Unit) == 1) {
    if (Lead[c]) {
      Trail = true;
    } else if (Utf8) {
      mark = Utf8Mark == 2 && c == 0x90;
      Utf8Mark = Utf8Mark == 1 && c == 0xB7 ? 2 : c == 0xEF;
    }
  } else {
    mark = c == StandInMark;
  }
  if (mark) {
    Out.append(Copied, P + 1);
    Out.push_back('0');
    Copied = P + 1;
  }
}

// Ends the CDATA section at P, after a line end, and opens another: the same text, which Wine's
// msxml3 no longer cuts short at the section's last line end.
template <typename Unit>
void TStandInText::SplitCData(const Unit* P, const Unit*& Copied, std::basic_string<Unit>& Out) {
  Out.append(Copied, P);
  for (const char c : "]]><![CDATA["sv) Out.push_back(static_cast<unsigned char>(c));
  Copied = P;
}

// One more unit of a character reference: true when it belongs to it. A reference to a CR or a
// U+FDD0 becomes its stand-in; any other goes out as it was written, and a unit that ends it
// otherwise is then taken as it comes.
template <typename Unit>
bool TStandInText::StepReference(uint32_t C, std::basic_string<Unit>& Out) {
  switch (Ref) {
    case TRef::Amp:
      if (C != '#') break;
      Ref = TRef::Hash;
      return true;
    case TRef::Hash:
      if (C == 'x') {
        Hex = true;
        Ref = TRef::Digits;
        return true;
      }
      if (DigitValue(C, false) < 0) break;
      Ref = TRef::Digits;
      [[fallthrough]];
    case TRef::Digits:
      if (const int digit = DigitValue(C, Hex); digit >= 0) {
        if (DigitCount == 0 && digit == 0) {
          ++Zeros;
          return true;
        }
        if (DigitCount == MaxDigits) break;  // more than a CR or a U+FDD0
        Digits[DigitCount++] = static_cast<char>(C);
        Value = Value * (Hex ? 16 : 10) + static_cast<uint32_t>(digit);
        return true;
      }
      if (C == ';' && (Value == 13 || Value == StandInMark)) {
        Ref = TRef::None;
        PutStandIn(Value == 13 ? '1' : '0', Out);
        return true;
      }
      break;
    case TRef::None:
      break;
  }
  FlushReference(Out);
  return false;
}

template <typename Unit>
void TStandInText::FlushReference(std::basic_string<Unit>& Out) {
  Out.push_back('&');
  if (Ref != TRef::Amp) Out.push_back('#');
  if (Hex) Out.push_back('x');
  Out.append(Zeros, '0');
  for (uint8_t i = 0; i < DigitCount; ++i) Out.push_back(static_cast<unsigned char>(Digits[i]));
  Ref = TRef::None;
}

template <typename Unit>
void TStandInText::PutStandIn(char Code, std::basic_string<Unit>& Out) const {
  if constexpr (sizeof(Unit) == 2) {
    Out.push_back(StandInMark);
  } else if (Utf8) {
    Out.append("\xEF\xB7\x90");
  } else {
    Out.append("&#xFDD0;");
  }
  Out.push_back(static_cast<Unit>(Code));
}

std::wstring_view TStandInRestorer::Piece(std::wstring_view Text) {
  const wchar_t* const end = Text.data() + Text.size();
  if (!Held && FindMark(Text.data(), end) == end) return Text;
  Buffer.clear();
  for (const wchar_t c : Text) {
    if (Held) {
      Held = false;
      if (c == L'1' || c == L'0') {
        Buffer.push_back(c == L'1' ? L'\r' : StandInMark);
        continue;
      }
      Buffer.push_back(StandInMark);
    }
    if (c == StandInMark) {
      Held = true;
    } else {
      Buffer.push_back(c);
    }
  }
  return Buffer;
}

std::wstring_view TStandInRestorer::Flush() {
  static const wchar_t mark[] = {StandInMark};
  if (!Held) return {};
  Held = false;
  return {mark, 1};
}

std::wstring_view TStandInRestorer::Value(std::wstring_view Text) {
  const bool held = Held;
  Held = false;
  std::wstring_view value = Piece(Text);
  if (Held) {
    Buffer.push_back(StandInMark);
    value = Buffer;
  }
  Held = held;
  return value;
}
