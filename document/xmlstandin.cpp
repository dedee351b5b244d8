#include "document/xmlstandin.h"

#include <emmintrin.h>

#include <algorithm>
#include <initializer_list>

#include "document/xmlsyntax.h"

namespace {

// The longest reference that can name a CR or a U+FDD0 has this many digits after its leading
// zeros ("64976").
constexpr uint8_t MaxDigits = 5;
constexpr std::string_view Utf8StandInMark = "\xEF\xB7\x90";
constexpr std::string_view CDataSplit = "]]><![CDATA[";

int DigitValue(unsigned C, bool Hex) {
  if (C >= '0' && C <= '9') return static_cast<int>(C - '0');
  if (Hex && C >= 'a' && C <= 'f') return static_cast<int>(C - 'a' + 10);
  if (Hex && C >= 'A' && C <= 'F') return static_cast<int>(C - 'A' + 10);
  return -1;
}

// The first byte of [P, End) that is one of the N (at most 6) in Set, or End.
const char* FindAny(const char* P, const char* End, const unsigned char* Set, size_t N) {
  __m128i sets[6];
  for (size_t i = 0; i < 6; ++i) sets[i] = _mm_set1_epi8(static_cast<char>(Set[i < N ? i : 0]));
  for (; End - P >= 16; P += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
    __m128i hit = _mm_cmpeq_epi8(v, sets[0]);
    for (size_t i = 1; i < 6; ++i) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, sets[i]));
    if (const int mask = _mm_movemask_epi8(hit)) return P + __builtin_ctz(mask);
  }
  for (; P < End; ++P) {
    if (std::find(Set, Set + N, static_cast<unsigned char>(*P)) != Set + N) return P;
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

void TStandInText::Rewrite(std::string_view Bytes, std::string& Out) {
  OutFrom = Out.size();
  Run(Bytes.data(), Bytes.data() + Bytes.size(), Out);
  Locate(Out);
}

void TStandInText::Finish(std::string& Out) {
  OutFrom = Out.size();
  if (Ref != TRef::None) FlushReference(Out);
  if (HeldCR) {
    HeldCR = false;
    Out.push_back('\n');
    Edited(Out, 0, true);
  }
  Locate(Out);
}

void TStandInText::Run(const char* P, const char* End, std::string& Out) {
  const char* copied = P;  // the bytes from here to P go out as they are
  while (P < End) {
    if (Ref == TRef::None && Utf8Mark == 0 && !HeldCR) {
      P = Plain(P, End);
      if (P == End) break;
    }
    Step(P++, copied, Out);
  }
  Out.append(copied, End);
}

// Where the next byte is that matters in the current mode; P itself when every byte does. In
// text, a "<" matters only before "!" or "?": attribute values hold no "<", so nothing in an
// element's tags needs more than the text around them.
const char* TStandInText::Plain(const char* P, const char* End) const {
  unsigned char set[6] = {'&', '<', '\r', 0xEF};
  size_t n = 4;
  const auto add = [&](std::initializer_list<unsigned char> List) {
    n = 0;
    for (const unsigned char c : List) set[n++] = c;
    set[n++] = '\r';
    set[n++] = 0xEF;  // a U+FDD0 begins with it
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
      if (Count) return P;
      add({']', '\n'});
      break;
    default:
      return P;
  }
  return FindAny(P, End, set, n);
}

// One byte that matters. Copied tells where the bytes begin that are not in Out yet.
void TStandInText::Step(const char* P, const char*& Copied, std::string& Out) {
  const auto c = static_cast<unsigned char>(*P);
  if (HeldCR) {
    HeldCR = false;
    Out.push_back(c == '\n' ? '\r' : '\n');
    if (c != '\n') {
      Edited(Out, 0, true);
      if (Mode == TMode::CData) SplitCData(Out);
    }
  }
  if (Ref != TRef::None) {
    const bool taken = StepReference(c, Out);
    Copied = taken ? P + 1 : P;
    if (taken) return;
  }
  const auto tag = [this](unsigned char U) {
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
      const unsigned char closing = Mode == TMode::Comment ? '-' : ']';
      if (c == '>' && Count >= 2) {
        Mode = TMode::Text;
      } else {
        Count = c == closing ? static_cast<uint8_t>(std::min(Count + 1, 2)) : 0;
      }
      if (Mode == TMode::CData && c == '\n') {
        Out.append(Copied, P + 1);
        Copied = P + 1;
        SplitCData(Out);
      }
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
  // A CR waits for the next byte, which tells whether it is a CR alone.
  if (c == '\r') {
    Out.append(Copied, P);
    Copied = P + 1;
    HeldCR = true;
  }
  // A U+FDD0 of the text itself gets its "0".
  const bool mark = Utf8Mark == 2 && c == 0x90;
  Utf8Mark = Utf8Mark == 1 && c == 0xB7 ? 2 : c == 0xEF;
  if (mark) {
    Out.append(Copied, P + 1);
    Out.push_back('0');
    Copied = P + 1;
    Edited(Out, 1);
  }
}

// Ends the CDATA section after a line end and opens another: the same text, which Wine's msxml3
// no longer cuts short at the section's last line end.
void TStandInText::SplitCData(std::string& Out) {
  Out.append(CDataSplit);
  Edited(Out, static_cast<int64_t>(CDataSplit.size()));
}

// One more byte of a character reference: true when it belongs to it. A reference to a CR or a
// U+FDD0 becomes its stand-in; any other goes out as it was written, and a byte that ends it
// otherwise is then taken as it comes.
bool TStandInText::StepReference(unsigned char C, std::string& Out) {
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
        Out.append(Utf8StandInMark);
        Out.push_back(Value == 13 ? '1' : '0');
        // "&#", "x", the digits and ";" became the mark and its digit.
        const auto written = static_cast<int64_t>(3 + Hex + Zeros + DigitCount);
        Edited(Out, static_cast<int64_t>(Utf8StandInMark.size() + 1) - written);
        return true;
      }
      break;
    case TRef::None:
      break;
  }
  FlushReference(Out);
  return false;
}

void TStandInText::FlushReference(std::string& Out) {
  Out.push_back('&');
  if (Ref != TRef::Amp) Out.push_back('#');
  if (Hex) Out.push_back('x');
  Out.append(Zeros, '0');
  Out.append(Digits, DigitCount);
  Ref = TRef::None;
}

void TStandInText::Edited(const std::string& Out, int64_t Delta, bool LoneCR) {
  TEdit edit;
  edit.Offset = Written + static_cast<int64_t>(Out.size() - OutFrom);
  edit.Delta = Delta;
  edit.LoneCR = LoneCR;
  Edits.push_back(edit);
  ++Unplaced;
}

// Counts the lines of what the current call wrote, and places its edits.
void TStandInText::Locate(const std::string& Out) {
  const char* const base = Out.data() + OutFrom;  // the byte at Written
  const char* p = base;
  const auto lines = [&](const char* To) {
    while (const char* lf = FindByte(p, To, '\n')) {
      ++Line;
      p = lf + 1;
      LineStart = Written + (p - base);
    }
    p = To;
  };
  for (auto e = Edits.end() - static_cast<ptrdiff_t>(Unplaced); e != Edits.end(); ++e) {
    lines(base + (e->Offset - Written));
    e->Line = Line;
    e->Column = e->Offset - LineStart;
  }
  Unplaced = 0;
  lines(Out.data() + Out.size());
  Written += static_cast<int64_t>(Out.size() - OutFrom);
}

void TStandInText::Place(int32_t& ALine, int32_t& AColumn) const {
  if (ALine <= 0) return;
  int64_t crs = ForgottenCRs, delta = 0;
  for (const TEdit& e : Edits) {
    if (e.Line > ALine) break;
    if (e.LoneCR) {
      ++crs;
    } else if (e.Line == ALine && e.Column < AColumn) {
      delta += e.Delta;
    }
  }
  if (crs) ALine = static_cast<int32_t>(std::max<int64_t>(ALine - crs, 1));
  if (delta) AColumn = static_cast<int32_t>(std::clamp<int64_t>(AColumn - delta, 1, INT32_MAX));
}

void TStandInText::Forget(int32_t ALine) {
  while (!Edits.empty() && Edits.front().Line < ALine) {
    ForgottenCRs += Edits.front().LoneCR;
    Edits.pop_front();
  }
}

void TStandInRestorer::Restore(std::wstring_view Text, std::wstring& Out, bool& Held) {
  for (const wchar_t c : Text) {
    if (Held) {
      Held = false;
      if (c == L'1' || c == L'0') {
        Out.push_back(c == L'1' ? L'\r' : StandInMark);
        continue;
      }
      Out.push_back(StandInMark);
    }
    if (c == StandInMark) {
      Held = true;
    } else {
      Out.push_back(c);
    }
  }
}

std::wstring_view TStandInRestorer::Piece(std::wstring_view Text) {
  const wchar_t* const end = Text.data() + Text.size();
  if (!Held && FindMark(Text.data(), end) == end) return Text;
  Buffer.clear();
  Restore(Text, Buffer, Held);
  return Buffer;
}

std::wstring_view TStandInRestorer::Flush() {
  static const wchar_t mark[] = {StandInMark};
  if (!Held) return {};
  Held = false;
  return {mark, 1};
}

std::wstring_view TStandInRestorer::Value(size_t Index, std::wstring_view Text) {
  const wchar_t* const end = Text.data() + Text.size();
  if (FindMark(Text.data(), end) == end) return Text;
  if (Values.size() <= Index) Values.resize(Index + 1);
  std::wstring& value = Values[Index];
  value.clear();
  bool held = false;
  Restore(Text, value, held);
  if (held) value.push_back(StandInMark);
  return value;
}
