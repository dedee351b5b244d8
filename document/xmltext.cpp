#include "document/xmltext.h"

#include <windows.h>
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "document/xmlfile.h"
#include "document/xmlsyntax.h"
#include "hash/errors.h"

const wchar_t InvalidCharacter[] = L"An invalid character was found in text content.";

namespace {

constexpr size_t ReadSize = 1 << 20;

// Length of the UTF-8 sequence at p holding one character XML 1.0 allows, or 0.
size_t XmlCharLength(const unsigned char* p, const unsigned char* end) {
  const unsigned c = p[0];
  if (c < 0x80) return (c >= 0x20 || c == 0x09 || c == 0x0A || c == 0x0D) ? 1 : 0;
  size_t n;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, cp = c & 0x07;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) < n) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  if (cp == 0xFFFE || cp == 0xFFFF) return 0;
  return n;
}

}  // namespace

uint32_t CodePageOfEncoding(std::string Name) {
  for (char& c : Name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  struct TAlias {
    const char* Name;
    uint32_t CodePage;
  };
  static const TAlias aliases[] = {
      {"utf-8", 65001},     {"utf8", 65001},         {"us-ascii", 20127}, {"ascii", 20127},
      {"latin1", 28591},    {"shift_jis", 932},      {"sjis", 932},       {"x-sjis", 932},
      {"euc-jp", 20932},    {"gb2312", 936},         {"gbk", 936},        {"big5", 950},
      {"euc-kr", 949},      {"ks_c_5601-1987", 949}, {"koi8-r", 20866},   {"koi8-u", 21866},
      {"macintosh", 10000}, {"utf-16", 1200},        {"utf-16le", 1200},  {"utf-16be", 1201},
      {"gb18030", 54936}};
  for (const TAlias& a : aliases) {
    if (Name == a.Name) return a.CodePage;
  }
  auto number = [&](const char* prefix) -> uint32_t {
    const size_t n = strlen(prefix);
    if (Name.compare(0, n, prefix) != 0 || Name.size() == n || Name.size() > n + 5) return 0;
    uint32_t v = 0;
    for (size_t i = n; i < Name.size(); ++i) {
      if (Name[i] < '0' || Name[i] > '9') return 0;
      v = v * 10 + (Name[i] - '0');
    }
    return v;
  };
  // Windows numbers the parts it has (1 to 9, 13 and 15) so; the others are not installed.
  if (uint32_t n = number("iso-8859-"); n >= 1 && n <= 16) return 28590 + n;
  for (const char* prefix : {"windows-", "cp", "ibm", "x-cp"}) {
    if (uint32_t n = number(prefix)) return n;
  }
  return 0;
}

namespace {

// UTF-16 to UTF-8, every character as it is, so that the character check sees what the file
// holds; false with the index of the first lone surrogate.
bool WideToUtf8(std::wstring_view Text, std::string& Out, size_t& Bad) {
  for (size_t i = 0; i < Text.size(); ++i) {
    uint32_t c = static_cast<uint16_t>(Text[i]);
    if (c >= 0xD800 && c <= 0xDFFF) {
      const bool pair =
          c <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF;
      if (!pair) {
        Bad = i;
        return false;
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(Text[++i]) - 0xDC00);
    }
    if (c < 0x80) {
      Out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      Out.push_back(static_cast<char>(0xC0 | c >> 6));
      Out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      Out.push_back(static_cast<char>(0xE0 | c >> 12));
      Out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      Out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      Out.push_back(static_cast<char>(0xF0 | c >> 18));
      Out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      Out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      Out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return true;
}

struct TInput {
  std::string Text;  // UTF-8
  std::optional<TXMLFault> Fault;
};

// A file in UTF-16 or a code page, whole, as UTF-8.
TInput DecodeWhole(std::string Bytes) {
  TInput input;
  auto starts = [&](const char* prefix, size_t n) { return Bytes.compare(0, n, prefix, n) == 0; };
  int utf16 = 0;  // 1 little endian, 2 big endian
  size_t skip = 0;
  if (starts("\xEF\xBB\xBF", 3)) {
    Bytes.erase(0, 3);
  } else if (starts("\xFF\xFE", 2) || starts("<\0?\0", 4)) {
    utf16 = 1, skip = starts("\xFF\xFE", 2) ? 2 : 0;
  } else if (starts("\xFE\xFF", 2) || starts("\0<\0?", 4)) {
    utf16 = 2, skip = starts("\xFE\xFF", 2) ? 2 : 0;
  }
  std::wstring wide;
  if (utf16) {
    for (size_t i = skip; i + 1 < Bytes.size(); i += 2) {
      const auto lo = static_cast<unsigned char>(Bytes[i + (utf16 == 1 ? 0 : 1)]);
      const auto hi = static_cast<unsigned char>(Bytes[i + (utf16 == 1 ? 1 : 0)]);
      wide.push_back(static_cast<wchar_t>(hi << 8 | lo));
    }
  } else {
    const std::string encoding = DeclaredXmlEncoding(Bytes);
    const uint32_t cp = encoding.empty() ? CP_UTF8 : CodePageOfEncoding(encoding);
    if (cp == CP_UTF8) {
      input.Text = std::move(Bytes);
    } else if (cp == 0 || cp == 1200 || cp == 1201 || !IsValidCodePage(cp)) {
      input.Text = std::move(Bytes);
      input.Fault = TXMLFault{L"System does not support the encoding " +
                                  std::wstring(encoding.begin(), encoding.end()) + L".",
                              input.Text.find(encoding)};
      return input;
    } else {
      const int count = static_cast<int>(std::min<size_t>(Bytes.size(), INT32_MAX));
      int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, Bytes.data(), count, nullptr, 0);
      DWORD flags = MB_ERR_INVALID_CHARS;
      if (n == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        n = MultiByteToWideChar(cp, 0, Bytes.data(), count, nullptr, 0);
      }
      if (n == 0 && count > 0) {
        input.Fault = TXMLFault{InvalidCharacter, 0};
        return input;
      }
      wide.resize(n);
      MultiByteToWideChar(cp, flags, Bytes.data(), count, wide.data(), n);
    }
  }
  if (utf16 || !wide.empty()) {
    size_t bad = 0;
    input.Text.reserve(wide.size() + wide.size() / 2);
    if (!WideToUtf8(wide, input.Text, bad)) {
      input.Text.clear();
      WideToUtf8(std::wstring_view(wide).substr(0, bad), input.Text, bad);
      input.Fault = TXMLFault{InvalidCharacter, input.Text.size()};
      return input;
    }
    if (utf16 && (Bytes.size() - skip) % 2 != 0) {
      input.Fault = TXMLFault{InvalidCharacter, input.Text.size()};
      return input;
    }
  }
  return input;
}

}  // namespace

size_t AllowedCharacters(const char* Text, size_t Length, bool Complete, bool& Forbidden) {
  Forbidden = false;
  const auto* p = reinterpret_cast<const unsigned char*>(Text);
  const auto* end = p + Length;
  const __m128i space = _mm_set1_epi8(0x20), tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n');
  while (p < end) {
    // Sixteen bytes at a time while they are printable ASCII, tabs and line feeds: nearly all of
    // a checksum file. As signed bytes, those from 0x80 on are below the blank too.
    while (end - p >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i low = _mm_cmplt_epi8(v, space);
      const __m128i allowed = _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, lf));
      if (_mm_movemask_epi8(_mm_andnot_si128(allowed, low)) != 0) break;
      p += 16;
    }
    const auto* stop = std::min(end, p + 16);
    while (p < stop) {
      const size_t n = XmlCharLength(p, end);
      if (n == 0) {
        const unsigned c = *p;
        const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool cut = !Complete && need > static_cast<size_t>(end - p);  // the rest comes later
        for (const auto* q = p + 1; cut && q < end; ++q) cut = (*q & 0xC0) == 0x80;
        Forbidden = !cut;
        return static_cast<size_t>(p - reinterpret_cast<const unsigned char*>(Text));
      }
      p += n;
    }
  }
  return Length;
}

TXMLText::TXMLText(const std::wstring& FileName) : TXMLText(OpenXMLFileForReading(FileName)) {}

TXMLText::TXMLText(void* AFile) : File(AFile) {
  try {
    ReadFile(Whole, ReadSize);
    auto starts = [&](const char* Prefix, size_t N) { return Whole.compare(0, N, Prefix, N) == 0; };
    const bool utf16 = starts("\xFF\xFE", 2) || starts("<\0?\0", 4) || starts("\xFE\xFF", 2) ||
                       starts("\0<\0?", 4);
    const size_t bom = starts("\xEF\xBB\xBF", 3) ? 3 : 0;
    const std::string encoding =
        utf16 ? std::string() : DeclaredXmlEncoding(std::string_view(Whole).substr(bom));
    if (!utf16 && (encoding.empty() || CodePageOfEncoding(encoding) == CP_UTF8)) {
      Skip = Delivered = bom;
      return;
    }
    while (!FileEnded) ReadFile(Whole, ReadSize);
    TInput input = DecodeWhole(std::move(Whole));
    Whole = std::move(input.Text);
    Fault = std::move(input.Fault);
    Decoded = true;
    CloseHandle(File);
    File = nullptr;
  } catch (...) {
    if (File) CloseHandle(File);
    throw;
  }
}

TXMLText::~TXMLText() {
  if (File) CloseHandle(File);
}

void TXMLText::ForAnotherReader() {
  Delivered = 0;
  const size_t from = Decoded ? 0 : Skip;
  std::string_view place;
  DeclaredXmlEncoding(std::string_view(Whole).substr(from), &place);
  if (!place.empty())
    Whole.replace(static_cast<size_t>(place.data() - Whole.data()), place.size(), place.size(),
                  ' ');
}

void TXMLText::ReadFile(std::string& Buffer, size_t Count) {
  const size_t size = Buffer.size();
  Buffer.resize(size + Count);
  DWORD got = 0;
  if (!::ReadFile(File, Buffer.data() + size, static_cast<DWORD>(Count), &got, nullptr))
    throw EReadError(L"Stream read error");
  Buffer.resize(size + got);
  FileEnded = got == 0;
}

bool TXMLText::Read(std::string& Buffer, size_t Count) {
  if (Delivered < Whole.size()) {
    const size_t n = std::min(Count, Whole.size() - Delivered);
    Buffer.append(Whole, Delivered, n);
    Delivered += n;
    if (Delivered == Whole.size() && !Decoded) {
      Whole = std::string();
      Delivered = 0;
    }
    return true;
  }
  if (Decoded || FileEnded) return false;
  const size_t size = Buffer.size();
  ReadFile(Buffer, Count);
  return Buffer.size() > size;
}

void TXMLText::Position(size_t Offset, int32_t& Line, int32_t& Column) {
  // A CR ends a line unless an LF follows; the LF then does. Columns count characters, that is
  // bytes other than UTF-8 continuation bytes.
  int64_t line = 1, column = 0;
  bool cr = false;
  size_t at = 0;
  const auto count = [&](const char* P, size_t N) {
    for (size_t i = 0; i < N; ++i, ++at) {
      const auto c = static_cast<unsigned char>(P[i]);
      if (cr) {
        cr = false;
        if (c != '\n') ++line, column = 0;
      }
      if (at == Offset) return false;
      if (c == '\n') {
        ++line, column = 0;
        continue;
      }
      if ((c & 0xC0) != 0x80) ++column;
      cr = c == '\r';
    }
    return true;
  };
  bool more = true;
  if (Decoded) {
    more = count(Whole.data(), Whole.size());
  } else {
    LARGE_INTEGER start;
    start.QuadPart = static_cast<LONGLONG>(Skip);
    if (!SetFilePointerEx(File, start, nullptr, FILE_BEGIN)) throw EReadError(L"Stream read error");
    std::string chunk;
    FileEnded = false;
    while (more && !FileEnded) {
      chunk.clear();
      ReadFile(chunk, ReadSize);
      more = count(chunk.data(), chunk.size());
    }
  }
  if (more && cr) ++line, column = 0;  // a CR at the very end
  Line = static_cast<int32_t>(std::min<int64_t>(line, INT32_MAX));
  Column = static_cast<int32_t>(std::min<int64_t>(column + 1, INT32_MAX));
}
