// Text checksum lists: MD5SUM ('hash *name'), BSD ('TYPE (name) = hash') and SFV ('name hash').
#include <algorithm>
#include <cstring>
#include <vector>

#include "document/data.h"
#include "document/product.h"
#include "document/stream.h"
#include "document/uniconv.h"
#include "hash/checksums.h"
#include "hash/coders.h"
#include "hash/hashers.h"
#include "hash/registry.h"

namespace {

constexpr int32_t BlockSize = 64 * 1024;

bool IsHexDigit(char C) {
  return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f');
}
bool IsBlank(char C) {
  return static_cast<unsigned char>(C) <= 32;
}

// The hasher a bare run of hex digits stands for, by its length alone.
THasherClass HasherOfLength(size_t Digits) {
  switch (Digits) {
    case 8:
      return &TCRC32CheckSum::ClassInfo;
    case 32:
      return &TMD5Hasher::ClassInfo;
    case 40:
      return &TSHA1Hasher::ClassInfo;
    default:
      return nullptr;
  }
}

struct TListLine {
  THasherClass Hasher = nullptr;
  std::string HashText;
  std::string RawName;
};

// 'hash *name', 'hash name', 'hash|name'. Start is the first byte above blank.
bool ParseMD5SUM(const char* L, size_t N, size_t Start, TListLine& Out) {
  size_t p = Start;
  while (p < N && IsHexDigit(L[p])) ++p;
  Out.Hasher = HasherOfLength(p - Start);
  if (!Out.Hasher || N - p < 2) return false;
  Out.HashText.assign(L + Start, p - Start);
  if (L[p] == ' ') {
    ++p;
    if (L[p] == '*' || L[p] == ' ') ++p;  // the mode mark; p < N as two bytes followed the run
  } else if (L[p] == '|') {
    ++p;
  }
  Out.RawName.assign(L + p, N - p);
  return true;
}

// 'TYPE (name) = hash'. Returns -1 when the form does not apply, 0 when it applies but the line
// is to be skipped, 1 when it gave an entry.
int ParseBSD(const char* L, size_t N, size_t Start, TListLine& Out) {
  size_t open = N, close = N, equals = N;
  for (size_t i = N; i-- > Start;) {
    if (open == N && L[i] == '(') open = i;
    if (close == N && L[i] == ')') close = i;
    if (equals == N && L[i] == '=') equals = i;
    if (open != N && close != N && equals != N) break;
  }
  if (open == N || close == N || equals == N || !(open < close && close < equals)) return -1;
  size_t from = Start, to = open;
  while (from < to && IsBlank(L[from])) ++from;
  while (to > from && IsBlank(L[to - 1])) --to;
  Out.Hasher = FindHasher(std::string_view(L + from, to - from));
  if (!Out.Hasher) return -1;
  size_t p = equals + 1;
  while (p < N && IsBlank(L[p])) ++p;
  size_t q = p;
  while (q < N && IsHexDigit(L[q])) ++q;
  if (q - p != static_cast<size_t>(Out.Hasher->DigestSize()) * 2) return 0;
  Out.HashText.assign(L + p, q - p);
  Out.RawName.assign(L + open + 1, close - open - 1);
  return 1;
}

// 'name hash'. A CRC-32 is printed byte-reversed; it is stored in memory order like the
// document's own CRC-32 values.
bool ParseSFV(const char* L, size_t N, size_t Start, TListLine& Out) {
  size_t end = N;
  while (end > Start && IsBlank(L[end - 1])) --end;
  size_t run = end;
  while (run > Start && IsHexDigit(L[run - 1])) --run;
  Out.Hasher = HasherOfLength(end - run);
  if (!Out.Hasher || run < 2) return false;
  if (end - run == 8) {
    std::string bytes;
    TCoder_HEXi::ClassInfo.Decode(L + run, 8, bytes);
    Out.HashText.clear();
    TCoder_HEX::ClassInfo.Encode(bytes.data(), static_cast<int32_t>(bytes.size()), Out.HashText);
  } else {
    Out.HashText.assign(L + run, end - run);
  }
  size_t nameEnd = run;
  while (nameEnd > Start && IsBlank(L[nameEnd - 1])) --nameEnd;
  Out.RawName.assign(L + Start, nameEnd > Start ? nameEnd - Start : 0);
  return true;
}

bool ParseLine(const char* L, size_t N, TListLine& Out) {
  size_t start = 0;
  while (start < N && IsBlank(L[start])) ++start;
  if (start == N || L[start] == ';' || L[start] == '#') return false;
  if (ParseMD5SUM(L, N, start, Out)) return true;
  const int bsd = ParseBSD(L, N, start, Out);
  if (bsd >= 0) return bsd > 0;
  return ParseSFV(L, N, start, Out);
}

// Collects bytes into the stream and checks each write; short once, short for good.
class TLineWriter {
 public:
  explicit TLineWriter(TStream& Stream) : Stream(Stream) { Buffer.reserve(BlockSize + 1024); }
  void Add(const std::string& Bytes) {
    Buffer += Bytes;
    if (Buffer.size() >= BlockSize) Flush();
  }
  bool Flush() {
    // Big lines go out in pieces a 32-bit count can carry.
    size_t from = 0;
    while (Ok && from < Buffer.size()) {
      const int32_t n = static_cast<int32_t>(std::min<size_t>(Buffer.size() - from, 1u << 30));
      Ok = Stream.Write(Buffer.data() + from, n) == n;
      from += n;
    }
    Buffer.clear();
    return Ok;
  }
  bool Good() const { return Ok; }

 private:
  TStream& Stream;
  std::string Buffer;
  bool Ok = true;
};

uint32_t CodePageOf(TListCharset Charset, uint32_t CodePage) {
  switch (Charset) {
    case csANSI:
      return CodePageAnsi;
    case csOEM:
      return CodePageOem;
    case csCodePage:
      return CodePage;
    case csMac:
      return CodePageMac;
    default:
      return 65001;  // UTF-8, no byte-order mark
  }
}

void ToLetterCase(std::string& Text, bool Lower) {
  for (char& c : Text) {
    if (Lower && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!Lower && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

}  // namespace

bool TFileList::ImportTextList(TStream& Stream) {
  std::vector<char> block(BlockSize);
  std::string pending;  // a line not yet ended, carried from block to block
  bool first = true;
  bool afterCR = false;  // an LF right after a CR, even across blocks, ends no line
  bool ended = false;    // a zero byte ends the text
  TListLine line;

  auto takeLine = [&](const char* L, size_t N) {
    if (!ParseLine(L, N, line)) return true;
    return AddItem(line.RawName, line.Hasher->HashName(), "HEX", line.HashText);
  };

  while (!ended) {
    // Fill the block, so that the first read sees a whole byte-order mark.
    int32_t got = 0;
    while (got < BlockSize) {
      const int32_t n = Stream.Read(block.data() + got, BlockSize - got);
      if (n <= 0) break;
      got += n;
    }
    if (got == 0) break;
    const char* p = block.data();
    const char* end = p + got;
    if (first) {
      first = false;
      // Editors on Windows put one in front of UTF-8 text; left there it spoils the first line.
      if (got >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    }
    if (afterCR && p < end && *p == '\n') ++p;
    afterCR = false;
    while (p < end) {
      const char* q = p;
      while (q < end && *q != '\r' && *q != '\n' && *q != '\0') ++q;
      if (q == end) {
        pending.append(p, q);
        break;
      }
      const char* lineStart = p;
      size_t lineLength = q - p;
      if (!pending.empty()) {
        pending.append(p, q);
        lineStart = pending.data();
        lineLength = pending.size();
      }
      if (!takeLine(lineStart, lineLength)) return false;
      pending.clear();
      if (*q == '\0') {
        ended = true;
        break;
      }
      p = q + 1;
      if (*q == '\r') {
        if (p == end)
          afterCR = true;
        else if (*p == '\n')
          ++p;
      }
    }
  }
  if (!pending.empty() && !takeLine(pending.data(), pending.size())) return false;
  return true;
}

bool TFileList::AddItem(const std::string& RawName, const std::string& HashType,
                        const std::string& HashCode, const std::string& HashValue) {
  auto item = std::make_unique<TFileItem>();
  std::wstring name;
  if (!DoConvertName(RawName, name)) return false;
  // Lists from other systems write "/" or an escaped "\\"; a single "\" anywhere means the
  // name is already ours.
  size_t singles = 0, doubles = 0, slashes = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == L'\\') {
      if (i + 1 < name.size() && name[i + 1] == L'\\') {
        ++doubles;
        ++i;
      } else {
        ++singles;
      }
    } else if (name[i] == L'/') {
      ++slashes;
    }
  }
  if (singles == 0) {
    if (slashes > 0)
      std::replace(name.begin(), name.end(), L'/', L'\\');
    else if (doubles > 0)
      name = WideReplaceAll(name, L"\\\\", L"\\");
  }
  item->FileName = std::move(name);
  item->HashType = HashType;
  item->HashCode = HashCode;
  item->HashValue = HashValue;
  item->Owner = this;
  Items.push_back(std::move(item));
  Modified = true;
  return true;
}

bool TFileList::ExportTextList(TStream& Stream, TListFormat Format, TLineEnd LineEnd,
                               TPathDelimiter Delimiter, TListCharset Charset, uint32_t CodePage,
                               bool LowerCase, int32_t* Unconverted) const {
  const std::string eol = LineEnd == leLF ? "\n" : LineEnd == leCR ? "\r" : "\r\n";
  const std::wstring delimiter = Delimiter == pdDoubleBackslash ? L"\\\\"
                                 : Delimiter == pdSlash         ? L"/"
                                                                : L"\\";
  const uint32_t codePage = CodePageOf(Charset, CodePage);
  int32_t unconverted = 0;
  if (Unconverted) *Unconverted = 0;

  TLineWriter out(Stream);
  const std::wstring createdBy = CreatedByText();  // plain ASCII
  out.Add(";" + eol + "; " + std::string(createdBy.begin(), createdBy.end()) + eol + ";" + eol);

  std::string hash, bytes, line;
  std::wstring replaced;
  try {
    for (const auto& item : Items) {
      if (!out.Good()) break;
      const std::string& value = item->HashValue;
      if (std::all_of(value.begin(), value.end(), IsBlank)) continue;
      if (Format == lfMD5SUM && item->HashType != "MD5") continue;
      if (Format == lfSFV && item->HashType != "CRC32") continue;

      if (Format == lfSFV || item->HashCode != "HEX") {
        TCoderClass coder = FindCoder(item->HashCode);
        if (!coder) {
          ++unconverted;
          continue;
        }
        coder->Decode(value.data(), static_cast<int32_t>(value.size()), bytes);
        const TCoder& hex = Format == lfSFV ? static_cast<const TCoder&>(TCoder_HEXi::ClassInfo)
                                            : TCoder_HEX::ClassInfo;
        hash.clear();
        hex.Encode(bytes.data(), static_cast<int32_t>(bytes.size()), hash);
      } else {
        hash = value;
      }
      ToLetterCase(hash, LowerCase);

      const std::wstring& name =
          delimiter == L"\\" ? item->FileName
                             : (replaced = WideReplaceAll(item->FileName, L"\\", delimiter));
      const std::string nameBytes = WideToCodePage(name, codePage);

      if (Format == lfMD5SUM)
        line = hash + " *" + nameBytes;
      else if (Format == lfSFV)
        line = nameBytes + " " + hash;
      else
        line = item->HashType + " (" + nameBytes + ") = " + hash;
      line += eol;
      out.Add(line);
    }
  } catch (...) {
    out.Flush();  // what was written before the bad value stays in the stream
    if (Unconverted) *Unconverted = unconverted;
    throw;
  }
  if (Unconverted) *Unconverted = unconverted;
  return out.Flush();
}
