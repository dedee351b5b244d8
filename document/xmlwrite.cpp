// The checksum file writer: the text is built here, line by line, and written as UTF-8.
#include <windows.h>

#include "document/datetext.h"
#include "document/product.h"
#include "document/uniconv.h"
#include "document/xml.h"
#include "document/xmlfile.h"
#include "hash/errors.h"

namespace {

// Narrow fields are ANSI text; nearly always plain ASCII, which needs no conversion.
std::wstring WidenAnsi(const std::string& Text) {
  for (char c : Text) {
    if (static_cast<unsigned char>(c) >= 0x80) return CodePageToWide(Text, CP_ACP);
  }
  return std::wstring(Text.begin(), Text.end());
}

// A reader turns a CR, or a CR LF pair, into LF; as a character reference it stays. Notes typed
// in a multi-line edit hold CR LF line ends.
std::wstring EscapeText(const std::wstring& Value) {
  if (Value.find_first_of(L"&<>\"'\r") == std::wstring::npos) return Value;
  return WideReplaceAll(XMLEscape(Value), L"\r", L"&#13;");
}

// A reader turns TAB, LF and CR in an attribute value into blanks unless they are references.
std::wstring EscapeAttribute(const std::wstring& Value) {
  std::wstring text = EscapeText(Value);
  if (text.find_first_of(L"\t\n") == std::wstring::npos) return text;
  text = WideReplaceAll(text, L"\t", L"&#9;");
  return WideReplaceAll(text, L"\n", L"&#10;");
}

void AppendTimeElements(std::wstring& Chunk, int Indent, const wchar_t* TimeName,
                        const wchar_t* DateName, int64_t Time) {
  if (Time <= 0) return;
  Chunk += XMLElementText(Indent, TimeName, FormatTimeText(Time));
  Chunk += XMLElementText(Indent, DateName, FormatDateText(Time));
}

std::wstring HeaderChunk(const TFileList& List) {
  std::wstring chunk = L"<?xml version=\"1.0\"?>\n<jurnValt>\n  ";
  chunk += CreatedByText();
  chunk += L"\n";
  chunk += XMLElementText(2, L"updateFolder", List.UpdateFolder);
  chunk += XMLElementText(2, L"updateMask", List.UpdateMask);
  chunk += XMLFlagElementText(2, L"updateFind", List.UpdateFind);
  chunk += XMLElementText(2, L"updateMode", WidenAnsi(FormatUpdateMode(List.UpdateMode)));
  chunk += XMLFlagElementText(2, L"updateRecurse", List.UpdateRecurse);
  chunk += XMLElementText(2, L"updateHash", WidenAnsi(List.UpdateHash));
  chunk += XMLElementText(2, L"updateCode", WidenAnsi(List.UpdateCode));
  AppendTimeElements(chunk, 2, L"updateTime", L"updateDate", List.LastUpdate);
  chunk += XMLElementText(2, L"verifyFolder", List.VerifyFolder);
  chunk += XMLFlagElementText(2, L"verifyTime", List.VerifyTime);
  chunk += XMLFlagElementText(2, L"verifySize", List.VerifySize);
  return chunk;
}

void BuildItemChunk(const TFileItem& Item, std::wstring& Chunk) {
  Chunk = L"  <jurnItem>\n";
  Chunk += XMLElementText(4, L"fileName", Item.FileName);
  if (Item.FileSize >= 0) Chunk += XMLElementText(4, L"fileSize", std::to_wstring(Item.FileSize));
  AppendTimeElements(Chunk, 4, L"fileTime", L"fileDate", Item.FileTime);
  Chunk += XMLElementText(4, L"fileNote", Item.FileNote);
  if (!Item.HashValue.empty()) {
    Chunk += L"    <fileHash type=\"";
    Chunk += EscapeAttribute(WidenAnsi(Item.HashType));
    Chunk += L"\" code=\"";
    Chunk += EscapeAttribute(WidenAnsi(Item.HashCode));
    Chunk += L"\">";
    Chunk += EscapeText(WidenAnsi(Item.HashValue));
    Chunk += L"</fileHash>\n";
  }
  Chunk += L"  </jurnItem>\n";
}

}  // namespace

std::wstring XMLEscape(const std::wstring& Value) {
  std::wstring text = WideReplaceAll(Value, L"&", L"&amp;");
  text = WideReplaceAll(text, L"<", L"&lt;");
  text = WideReplaceAll(text, L">", L"&gt;");
  text = WideReplaceAll(text, L"\"", L"&quot;");
  return WideReplaceAll(text, L"'", L"&apos;");
}

std::wstring XMLElementText(int Indent, const std::wstring& Name, const std::wstring& Value) {
  if (Value.empty()) return {};
  return WideStringOfChar(L' ', Indent) + L"<" + Name + L">" + EscapeText(Value) + L"</" + Name +
         L">\n";
}

std::wstring XMLEmptyElementText(int Indent, const std::wstring& Name) {
  return WideStringOfChar(L' ', Indent) + L"<" + Name + L"/>\n";
}

std::wstring XMLFlagElementText(int Indent, const std::wstring& Name, bool Flag) {
  return Flag ? XMLEmptyElementText(Indent, Name) : XMLElementText(Indent, Name, L"Disabled");
}

void AppendXMLUtf8(std::string& Out, std::wstring_view Text) {
  const size_t n = Text.size();
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = static_cast<uint16_t>(Text[i]);
    if (c < 0x80) {
      if (c >= 0x20 || c == 0x09 || c == 0x0A || c == 0x0D) {
        Out.push_back(static_cast<char>(c));
        continue;
      }
      c = 0xFFFD;
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && Text[i + 1] >= 0xDC00 &&
               Text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(Text[++i]) - 0xDC00);
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) {
      c = 0xFFFD;
    }
    if (c < 0x800) {
      Out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    } else if (c < 0x10000) {
      Out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      Out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    } else {
      Out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      Out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      Out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    }
    Out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool TFileList::SaveToXML(const std::wstring& FileName) {
  // The previous file is replaced only once the new one is complete on disk.
  TXMLFileWriter file(FileName);
  file.Write(HeaderChunk(*this));
  std::wstring chunk;
  for (const auto& item : Items) {
    BuildItemChunk(*item, chunk);
    file.Write(chunk);
  }
  file.Write(L"</jurnValt>\n");
  file.Commit();
  Modified = false;
  return true;
}
