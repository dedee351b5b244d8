// The checksum file writer. Each entry goes straight into the file's output buffer as UTF-8,
// escaped on the way: no line or value is built as text of its own first.
#include <windows.h>

#include <charconv>
#include <cstring>

#include "document/datetext.h"
#include "document/product.h"
#include "document/uniconv.h"
#include "document/xml.h"
#include "document/xmlfile.h"
#include "hash/daycount.h"

namespace {

// Bytes one UTF-16 unit or one ANSI byte can take at most once escaped ("&quot;").
constexpr size_t MaxBytesPerUnit = 6;

// What an ASCII character needs. Control: U+FFFD, since XML cannot carry it. Markup: an entity
// or a reference, in element text and attributes; a reader turns a CR, or a CR LF pair, into LF,
// but keeps it as a reference. AttributeOnly: a reference in attributes alone, where a reader
// turns TAB and LF into blanks.
enum : uint8_t { Control = 1, Markup = 2, AttributeOnly = 4 };
constexpr uint8_t TextMask = Control | Markup, AttributeMask = TextMask | AttributeOnly;

constexpr auto AsciiClasses = [] {
  struct {
    uint8_t Of[128] = {};
  } t;
  for (int c = 0; c < 0x20; ++c) t.Of[c] = Control;
  t.Of['\t'] = t.Of['\n'] = AttributeOnly;
  for (char c : {'&', '<', '>', '"', '\'', '\r'}) t.Of[static_cast<int>(c)] = Markup;
  return t;
}();

template <size_t N>
char* Put(char* P, const char (&Text)[N]) {
  std::memcpy(P, Text, N - 1);
  return P + N - 1;
}

char* PutEscapedAscii(char* P, unsigned C) {
  switch (C) {
    case '&':
      return Put(P, "&amp;");
    case '<':
      return Put(P, "&lt;");
    case '>':
      return Put(P, "&gt;");
    case '"':
      return Put(P, "&quot;");
    case '\'':
      return Put(P, "&apos;");
    case '\r':
      return Put(P, "&#13;");
    case '\t':
      return Put(P, "&#9;");
    case '\n':
      return Put(P, "&#10;");
    default:
      return Put(P, "\xEF\xBF\xBD");
  }
}

char* PutAscii(char* P, unsigned C, uint8_t Mask) {
  if (AsciiClasses.Of[C] & Mask) return PutEscapedAscii(P, C);
  *P = static_cast<char>(C);
  return P + 1;
}

// UTF-8 as the file carries it: a surrogate pair as one four-byte sequence, a lone surrogate
// and the two non-characters U+FFFE and U+FFFF as U+FFFD. ASCII runs are copied as they are.
char* PutEscaped(char* P, std::wstring_view Text, uint8_t Mask) {
  const wchar_t* s = Text.data();
  const size_t n = Text.size();
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = static_cast<uint16_t>(s[i]);
    if (c < 0x80) {
      P = PutAscii(P, c, Mask);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(s[++i]) - 0xDC00);
      *P++ = static_cast<char>(0xF0 | (c >> 18));
      *P++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *P++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
      if ((c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE) c = 0xFFFD;
      if (c < 0x800) {
        *P++ = static_cast<char>(0xC0 | (c >> 6));
      } else {
        *P++ = static_cast<char>(0xE0 | (c >> 12));
        *P++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      }
    }
    *P++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return P;
}

// Narrow fields are ANSI text; nearly always plain ASCII, which is escaped byte by byte.
char* PutEscaped(char* P, std::string_view Text, uint8_t Mask) {
  char* const start = P;
  for (char ch : Text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80) return PutEscaped(start, CodePageToWide(std::string(Text), CP_ACP), Mask);
    P = PutAscii(P, c, Mask);
  }
  return P;
}

// Indent blanks, "<" and the name.
char* PutTagStart(char* P, int Indent, std::string_view Name) {
  std::memset(P, ' ', Indent);
  P[Indent] = '<';
  std::memcpy(P + Indent + 1, Name.data(), Name.size());
  return P + Indent + 1 + Name.size();
}

char* PutOpenTag(char* P, int Indent, std::string_view Name) {
  P = PutTagStart(P, Indent, Name);
  *P = '>';
  return P + 1;
}

char* PutCloseTag(char* P, std::string_view Name) {
  P = Put(P, "</");
  std::memcpy(P, Name.data(), Name.size());
  return Put(P + Name.size(), ">\n");
}

char* PutNumber(char* P, int64_t Value) {
  return std::to_chars(P, P + 20, Value).ptr;
}

// The line builders of the writer, Indent being a count of blanks. Each writes at P and
// returns the end. An empty value writes nothing: the element is left out.
template <class Text>
char* XMLElementText(char* P, int Indent, std::string_view Name, const Text& Value) {
  if (Value.empty()) return P;
  return PutCloseTag(PutEscaped(PutOpenTag(P, Indent, Name), Value, TextMask), Name);
}

char* XMLEmptyElementText(char* P, int Indent, std::string_view Name) {
  return Put(PutTagStart(P, Indent, Name), "/>\n");
}

char* XMLFlagElementText(char* P, int Indent, std::string_view Name, bool Flag) {
  return Flag ? XMLEmptyElementText(P, Indent, Name)
              : XMLElementText(P, Indent, Name, std::string_view("Disabled"));
}

// A number, a time or a date: nothing to escape.
template <class Format>
char* PutPlainElement(char* P, int Indent, std::string_view Name, Format Value) {
  return PutCloseTag(Value(PutOpenTag(P, Indent, Name)), Name);
}

// The time of day and the date of a point in time; a file's entries often share their day.
class TTimeText {
 public:
  char* PutElements(char* P, int Indent, std::string_view TimeName, std::string_view DateName,
                    int64_t Time) {
    if (Time <= 0) return P;
    P = PutPlainElement(P, Indent, TimeName, [Time](char* Q) {
      const int64_t r = Time % SecondsPerDay;
      Q = PutNumber(Q, r / 3600);
      *Q++ = ':';
      Q = PutNumber(Q, (r / 60) % 60);
      *Q++ = ':';
      return PutNumber(Q, r % 60);
    });
    return PutPlainElement(P, Indent, DateName, [this, Time](char* Q) {
      const int64_t days = Time / SecondsPerDay;
      if (days != Day) {
        int year, month, day;
        DecodeDate(days, year, month, day);
        char* d = PutNumber(Date, year);
        *d++ = '-';
        d = PutNumber(d, month);
        *d++ = '-';
        DateLength = PutNumber(d, day) - Date;
        Day = days;
      }
      std::memcpy(Q, Date, DateLength);
      return Q + DateLength;
    });
  }

 private:
  int64_t Day = -1;  // the day of Date; no time that is written falls on it
  char Date[64];
  size_t DateLength = 0;
};

// Generous room for the markup of a line, numbers, times and dates included.
constexpr size_t LineRoom = 80;

size_t RoomFor(std::wstring_view Text) {
  return Text.size() * MaxBytesPerUnit + LineRoom;
}
size_t RoomFor(std::string_view Text) {
  return Text.size() * MaxBytesPerUnit + LineRoom;
}

void WriteHeader(const TFileList& List, TXMLFileWriter& File, TTimeText& Times) {
  const std::string mode = FormatUpdateMode(List.UpdateMode);
  const std::wstring createdBy = CreatedByText();
  char* p = File.Room(RoomFor(createdBy) + RoomFor(List.UpdateFolder) + RoomFor(List.UpdateMask) +
                      RoomFor(mode) + RoomFor(List.UpdateHash) + RoomFor(List.UpdateCode) +
                      RoomFor(List.VerifyFolder) + 6 * LineRoom);
  p = Put(p, "<?xml version=\"1.0\"?>\n<jurnValt>\n  ");
  p = Put(PutEscaped(p, createdBy, Control), "\n");
  p = XMLElementText(p, 2, "updateFolder", List.UpdateFolder);
  p = XMLElementText(p, 2, "updateMask", List.UpdateMask);
  p = XMLFlagElementText(p, 2, "updateFind", List.UpdateFind);
  p = XMLElementText(p, 2, "updateMode", mode);
  p = XMLFlagElementText(p, 2, "updateRecurse", List.UpdateRecurse);
  p = XMLElementText(p, 2, "updateHash", List.UpdateHash);
  p = XMLElementText(p, 2, "updateCode", List.UpdateCode);
  p = Times.PutElements(p, 2, "updateTime", "updateDate", List.LastUpdate);
  p = XMLElementText(p, 2, "verifyFolder", List.VerifyFolder);
  p = XMLFlagElementText(p, 2, "verifyTime", List.VerifyTime);
  p = XMLFlagElementText(p, 2, "verifySize", List.VerifySize);
  File.Written(p);
}

// What an entry without a hash element reads back as.
const TFileItem Unhashed;

void WriteItem(const TFileItem& Item, TXMLFileWriter& File, TTimeText& Times) {
  char* p = File.Room(RoomFor(Item.FileName) + RoomFor(Item.FileNote) + RoomFor(Item.HashType) +
                      RoomFor(Item.HashCode) + RoomFor(Item.HashValue) + 4 * LineRoom);
  p = Put(p, "  <jurnItem>\n");
  p = XMLElementText(p, 4, "fileName", Item.FileName);
  if (Item.FileSize >= 0)
    p = PutPlainElement(p, 4, "fileSize", [&Item](char* Q) { return PutNumber(Q, Item.FileSize); });
  p = Times.PutElements(p, 4, "fileTime", "fileDate", Item.FileTime);
  p = XMLElementText(p, 4, "fileNote", Item.FileNote);
  // An entry without a value still keeps a hash type or an encoding the user chose (choosing one
  // empties the value); the element is left out only when it would tell nothing.
  if (!Item.HashValue.empty() || Item.HashType != Unhashed.HashType ||
      Item.HashCode != Unhashed.HashCode) {
    p = Put(p, "    <fileHash type=\"");
    p = PutEscaped(p, std::string_view(Item.HashType), AttributeMask);
    p = Put(p, "\" code=\"");
    p = PutEscaped(p, std::string_view(Item.HashCode), AttributeMask);
    p = Put(p, "\">");
    p = PutEscaped(p, std::string_view(Item.HashValue), TextMask);
    p = Put(p, "</fileHash>\n");
  }
  File.Written(Put(p, "  </jurnItem>\n"));
}

}  // namespace

void AppendXMLUtf8(std::string& Out, std::wstring_view Text) {
  const size_t start = Out.size();
  Out.resize(start + Text.size() * 3);  // a unit never takes more than three bytes unescaped
  Out.resize(PutEscaped(Out.data() + start, Text, Control) - Out.data());
}

bool TFileList::SaveToXML(const std::wstring& FileName) {
  // The previous file is replaced only once the new one is complete on disk.
  TXMLFileWriter file(FileName);
  TTimeText times;
  WriteHeader(*this, file, times);
  for (const auto& item : Items) WriteItem(*item, file, times);
  file.WriteBytes("</jurnValt>\n");
  file.Commit();
  Modified = false;
  return true;
}
