#include "hash/coders.h"

#include <cstring>

constinit const TCoder TCoder::ClassInfo{};
constinit const TCoder_HEX TCoder_HEX::ClassInfo{};
constinit const TCoder_HEXi TCoder_HEXi::ClassInfo{};
constinit const TCoder_MIME64 TCoder_MIME64::ClassInfo{};
constinit const TCoder_UU TCoder_UU::ClassInfo{};
constinit const TCoder_XX TCoder_XX::ClassInfo{};

namespace {

// Alphabets; the comments give how many leading characters carry a value.
const char HexTable[] =  // 16 digits, "X" and "$" prefix markers
    "0123456789ABCDEF"
    "X$ abcdefhHx()[]{},;:-_/\\*+\"'\t\n\r";
const char Mime64Table[] =  // 64 digits, "=" pad
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
    "= $()[]{},;:-_\\*\"'\t\n\r";
const char UUTable[] =  // 64 digits: grave accent, then "!" to "_"
    "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_"
    " \t\n\r";
const char XXTable[] =  // 64 digits
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
    " \"()[]'\t\n\r";
static_assert(sizeof(HexTable) - 1 == 48 && sizeof(Mime64Table) - 1 == 85);
static_assert(sizeof(UUTable) - 1 == 68 && sizeof(XXTable) - 1 == 74);

constexpr int32_t UULineBytes = 45;

// A negative length means a zero-terminated text.
int32_t TextLength(const char* Text, int32_t Len) {
  if (Len >= 0) return Len;
  size_t n = std::strlen(Text);
  return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
}

// Position of C among the first Count characters of Table, or -1. memchr rather than strchr so
// that a zero byte in the text never matches the table's terminator.
int ValueOf(const char* Table, size_t Count, char C) {
  const void* p = std::memchr(Table, C, Count);
  return p ? static_cast<int>(static_cast<const char*>(p) - Table) : -1;
}

char UpperAscii(char C) {
  return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C;
}

// Every character of the text occurs somewhere in the table.
bool AllInTable(const char* Table, const char* Text, int32_t Len) {
  size_t count = std::strlen(Table);
  for (int32_t i = 0; i < Len; ++i)
    if (ValueOf(Table, count, Text[i]) < 0) return false;
  return true;
}

// The common start of encoding and decoding: the result is emptied, a nil pointer counts as
// no input, a negative length is measured. Returns the length to work on.
int32_t StartWith(const void* Input, int32_t Len, std::string& Result) {
  Result.clear();
  return Input ? TextLength(static_cast<const char*>(Input), Len) : 0;
}

std::wstring Widen(const std::string& S) {
  return std::wstring(S.begin(), S.end());
}

void PutHexByte(const char* Table, uint8_t B, std::string& Text) {
  Text.push_back(Table[B >> 4]);
  Text.push_back(Table[B & 15]);
}

// The 6-bit groups of 3 bytes, most significant first.
void PutGroup(const char* Table, const uint8_t* p, size_t n, std::string& Text) {
  uint32_t v = p[0] << 16;
  if (n > 1) v |= p[1] << 8;
  if (n > 2) v |= p[2];
  for (int shift = 18; shift >= 0; shift -= 6) Text.push_back(Table[(v >> shift) & 63]);
}

void PutBytes(uint32_t Value, std::string& Bytes, size_t Count) {
  const char b[3] = {static_cast<char>(Value >> 16), static_cast<char>(Value >> 8),
                     static_cast<char>(Value)};
  Bytes.append(b, Count);
}

}  // namespace

std::string CoderNameOf(const char* ClassName) {
  std::string name = ClassName ? ClassName : "";
  if (auto p = name.find('_'); p != std::string::npos) name.erase(0, p + 1);
  return name;
}

// TCoder ------------------------------------------------------------------

void TCoder::Decode(const char* Text, int32_t Len, std::string& Bytes) const {
  Bytes.clear();
  if (Text && Len > 0) Bytes.assign(Text, Len);
}

void TCoder::Encode(const void* Data, int32_t Size, std::string& Text) const {
  Text.clear();
  if (Data && Size > 0) Text.assign(static_cast<const char*>(Data), Size);
}

std::string TCoder::CoderName() const {
  return CoderNameOf(ClassName());
}

std::string TCoder::DisplayName() const {
  return this == &TCoder::ClassInfo ? "Binary" : CoderName();
}

bool TCoder::IsValid(const char*, int32_t, bool) const {
  return true;
}
bool TCoder::CaseSensitive() const {
  return true;
}
const char* TCoder::ClassName() const {
  return "TCoder";
}

// TCoder_HEX --------------------------------------------------------------

void TCoder_HEX::Decode(const char* Text, int32_t Len, std::string& Bytes) const {
  Len = StartWith(Text, Len, Bytes);
  const char* table = CharTable();
  Bytes.resize(Len / 2 + 1);
  size_t pos = 0;
  uint32_t digits = 0;
  bool marker = false;
  for (int32_t i = 0; i < Len; ++i) {
    int v = ValueOf(table, 18, UpperAscii(Text[i]));
    if (v < 0) continue;
    if (v < 16) {
      if (digits % 2 == 0) {
        Bytes[pos] = static_cast<char>(v << 4);
      } else {
        Bytes[pos] = static_cast<char>(Bytes[pos] | v);
        ++pos;
      }
      ++digits;
    } else if (!marker) {
      // "0x" and "$": whatever came before the first marker is not part of the value.
      marker = true;
      pos = 0;
      digits = 0;
    }
  }
  Bytes.resize(pos);
}

void TCoder_HEX::Encode(const void* Data, int32_t Size, std::string& Text) const {
  Size = StartWith(Data, Size, Text);
  const char* table = CharTable();
  const uint8_t* p = static_cast<const uint8_t*>(Data);
  Text.reserve(size_t(Size) * 2);
  for (int32_t i = 0; i < Size; ++i) PutHexByte(table, p[i], Text);
}

std::string TCoder_HEX::DisplayName() const {
  return "Hexadecimal";
}

bool TCoder_HEX::IsValid(const char* Text, int32_t Len, bool Strict) const {
  if (!Strict || !Text) return true;
  return AllInTable(CharTable(), Text, TextLength(Text, Len));
}

bool TCoder_HEX::CaseSensitive() const {
  return false;
}
const char* TCoder_HEX::ClassName() const {
  return "TCoder_HEX";
}
const char* TCoder_HEX::CharTable() const {
  return HexTable;
}

// TCoder_HEXi -------------------------------------------------------------

void TCoder_HEXi::Decode(const char* Text, int32_t Len, std::string& Bytes) const {
  Len = StartWith(Text, Len, Bytes);
  const char* table = CharTable();
  // Read right to left, so a prefix marker ends the value instead of starting it: "0x0A0B0C"
  // is the number 0A0B0C. Markers further right are skipped like any other non-digit.
  int32_t first = 0;
  for (int32_t i = 0; i < Len; ++i)
    if (ValueOf(table, 18, UpperAscii(Text[i])) >= 16) {
      first = i + 1;
      break;
    }
  Bytes.reserve(Len / 2);
  uint32_t digits = 0;
  char low = 0;
  for (int32_t i = Len - 1; i >= first; --i) {
    int v = ValueOf(table, 16, UpperAscii(Text[i]));
    if (v < 0) continue;
    if (digits++ % 2 == 0)
      low = static_cast<char>(v);
    else
      Bytes.push_back(static_cast<char>(v << 4 | low));
  }
}

void TCoder_HEXi::Encode(const void* Data, int32_t Size, std::string& Text) const {
  Size = StartWith(Data, Size, Text);
  const char* table = CharTable();
  const uint8_t* p = static_cast<const uint8_t*>(Data);
  Text.reserve(size_t(Size) * 2);
  for (int32_t i = Size - 1; i >= 0; --i) PutHexByte(table, p[i], Text);
}

std::string TCoder_HEXi::DisplayName() const {
  return "Hexadecimal inversed";
}
const char* TCoder_HEXi::ClassName() const {
  return "TCoder_HEXi";
}

// TCoder_MIME64 -----------------------------------------------------------

void TCoder_MIME64::Decode(const char* Text, int32_t Len, std::string& Bytes) const {
  Len = StartWith(Text, Len, Bytes);
  const char* table = CharTable();
  // Only digits and "=" take part: padding and the byte count are reckoned from them, so a
  // blank or line end inside or after the value adds no bytes.
  std::string values;
  values.reserve(Len + 3);
  for (int32_t i = 0; i < Len; ++i) {
    int v = ValueOf(table, 65, Text[i]);
    if (v >= 0) values.push_back(static_cast<char>(v));
  }
  while (values.size() % 4 != 0) values.push_back(64);
  int64_t n = int64_t(values.size()) * 3 / 4;
  int64_t pos = 0;  // output length so far
  Bytes.reserve(n);
  for (size_t i = 0; n > 0 && i < values.size(); i += 4) {
    uint32_t value = 0;
    for (size_t k = i; k < i + 4; ++k) {
      value <<= 6;
      if (values[k] < 64)
        value |= values[k];
      else
        --n;
    }
    Bytes.resize(pos);
    PutBytes(value, Bytes, 3);
    // "=" in the middle of the text can make n negative: never step back before the start.
    pos += n > 3 ? 3 : n;
    if (pos < 0) pos = 0;
    n -= 3;
  }
  Bytes.resize(pos);
}

void TCoder_MIME64::Encode(const void* Data, int32_t Size, std::string& Text) const {
  Size = StartWith(Data, Size, Text);
  const char* table = CharTable();
  const uint8_t* p = static_cast<const uint8_t*>(Data);
  Text.reserve((size_t(Size) + 2) / 3 * 4);
  for (int32_t i = 0; i < Size; i += 3) {
    int32_t n = Size - i < 3 ? Size - i : 3;
    PutGroup(table, p + i, n, Text);
    for (int32_t k = n; k < 3; ++k) Text[Text.size() - 3 + k] = table[64];
  }
}

std::string TCoder_MIME64::DisplayName() const {
  return "MIME Base 64";
}
bool TCoder_MIME64::CaseSensitive() const {
  return true;
}
const char* TCoder_MIME64::ClassName() const {
  return "TCoder_MIME64";
}
const char* TCoder_MIME64::CharTable() const {
  return Mime64Table;
}

// TCoder_UU and TCoder_XX -------------------------------------------------

void TCoder_UU::Decode(const char* Text, int32_t Len, std::string& Bytes) const {
  Len = StartWith(Text, Len, Bytes);
  const char* table = CharTable();
  Bytes.reserve(Len);
  int32_t i = 0;
  while (i < Len) {
    int n = ValueOf(table, 64, Text[i++]);
    if (n < 0 || n > UULineBytes)
      throw EStringFormat(L"Input is not an valid " + Widen(DisplayName()) + L" Format.");
    while (n > 0) {
      uint32_t value = 0;
      int taken = 0;
      while (taken < 4 && i < Len) {
        int v = ValueOf(table, 64, Text[i++]);
        if (v < 0) continue;
        value = value << 6 | v;
        ++taken;
      }
      // A text that ends inside a line yields only the bytes its characters carry.
      if (taken == 0) break;
      value <<= 6 * (4 - taken);
      int carried = taken * 6 / 8;
      int count = n > 3 ? 3 : n;
      PutBytes(value, Bytes, count < carried ? count : carried);
      n -= 3;
    }
  }
}

void TCoder_UU::Encode(const void* Data, int32_t Size, std::string& Text) const {
  Size = StartWith(Data, Size, Text);
  const char* table = CharTable();
  const uint8_t* p = static_cast<const uint8_t*>(Data);
  Text.reserve(size_t(Size) / 3 * 4 + size_t(Size) / UULineBytes + 6);
  for (int32_t line = 0; line < Size; line += UULineBytes) {
    int32_t n = Size - line < UULineBytes ? Size - line : UULineBytes;
    Text.push_back(table[n]);
    for (int32_t i = 0; i < n; i += 3) PutGroup(table, p + line + i, n - i, Text);
  }
}

std::string TCoder_UU::DisplayName() const {
  return "UU Coding";
}

bool TCoder_UU::IsValid(const char* Text, int32_t Len, bool Strict) const {
  if (!Strict || !Text) return true;
  Len = TextLength(Text, Len);
  const char* table = CharTable();
  size_t whole = std::strlen(table);
  int32_t expected = 0;  // data characters still due in the current line
  for (int32_t i = 0; i < Len; ++i) {
    int v = ValueOf(table, whole, Text[i]);
    if (v < 0) return false;
    if (expected == 0) {
      if (v > UULineBytes) return false;
      expected = (4 * v + 2) / 3;
    } else if (v < 64) {
      --expected;
    }
  }
  return expected == 0;
}

const char* TCoder_UU::ClassName() const {
  return "TCoder_UU";
}
const char* TCoder_UU::CharTable() const {
  return UUTable;
}

std::string TCoder_XX::DisplayName() const {
  return "XX Coding";
}
const char* TCoder_XX::ClassName() const {
  return "TCoder_XX";
}
const char* TCoder_XX::CharTable() const {
  return XXTable;
}
