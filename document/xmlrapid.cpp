// The built-in back end of the checksum file reader: rapidxml parses, and the walk over what it
// parsed raises the SAX events in document order.
//
// rapidxml is told not to touch its input (no terminators, no entity expansion), so every node
// points into the text and the walk can follow the text from node to node: it delivers the
// blanks rapidxml skips between tags, expands references itself and knows where every event
// happens for error positions. rapidxml checks less than an XML reader must, so the walk also
// checks names, attributes, references, comments, processing instructions and characters, and
// the prolog is checked before rapidxml sees the text (xmlsyntax.cpp). When rapidxml fails, the
// part before the failure is parsed again, closed, and walked without the closing events, so that
// the events before an error reach the handlers as a streaming parser would deliver them.
#include <windows.h>

#include <rapidxml.hpp>

#include <memory>
#include <optional>
#include <vector>

#include "document/xml.h"
#include "document/xmlfile.h"
#include "document/xmlsyntax.h"
#include "hash/errors.h"

namespace {

constexpr int ParseFlags = rapidxml::parse_non_destructive | rapidxml::parse_validate_closing_tags |
                           rapidxml::parse_comment_nodes | rapidxml::parse_pi_nodes |
                           rapidxml::parse_doctype_node;
// rapidxml and the walk recurse per level; deeper nesting than this is refused up front.
constexpr size_t MaxDepth = 512;
constexpr size_t None = std::string::npos;

const wchar_t InvalidCharacter[] = L"An invalid character was found in text content.";
const wchar_t BadName[] = L"A name contained an invalid character.";
constexpr std::wstring_view XmlNamespace = L"http://www.w3.org/XML/1998/namespace";

struct TXMLFault {
  std::wstring Message;
  size_t Offset;
};

using TNode = rapidxml::xml_node<char>;

std::wstring WidenAscii(const char* Text) {
  std::wstring text;
  for (const char* p = Text; p && *p; ++p) text.push_back(static_cast<unsigned char>(*p));
  return text;
}

// ---------------------------------------------------------------------------------------------
// Input: the file's bytes as UTF-8.

std::string ReadWholeFile(const std::wstring& FileName) {
  // Closed on every way out, also when a huge file's buffer cannot be had.
  const std::unique_ptr<void, decltype(&CloseHandle)> handle(OpenXMLFileForReading(FileName),
                                                             &CloseHandle);
  const HANDLE file = handle.get();
  std::string bytes;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (ok && done < bytes.size()) {
      DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30)), got = 0;
      ok = ReadFile(file, bytes.data() + done, part, &got, nullptr) && got > 0;
      done += got;
    }
  }
  if (!ok) throw EReadError(L"Stream read error");
  return bytes;
}

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

// Offset of the first byte that is not part of a valid XML character, or None.
size_t FirstInvalidCharacter(const std::string& Text) {
  auto p = reinterpret_cast<const unsigned char*>(Text.data());
  const auto end = p + Text.size();
  for (auto q = p; q < end;) {
    // Plain ASCII text is nearly all of a checksum file.
    if (*q >= 0x20 && *q < 0x80) {
      ++q;
      continue;
    }
    const size_t n = XmlCharLength(q, end);
    if (n == 0) return static_cast<size_t>(q - p);
    q += n;
  }
  return None;
}

// The Windows code page of an encoding name of the XML declaration; 0 when unknown.
uint32_t CodePageOfEncoding(std::string Name) {
  for (char& c : Name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  struct TAlias {
    const char* Name;
    uint32_t CodePage;
  };
  static const TAlias aliases[] = {
      {"utf-8", 65001},     {"utf8", 65001},         {"us-ascii", 20127},   {"ascii", 20127},
      {"latin1", 28591},    {"shift_jis", 932},      {"sjis", 932},         {"x-sjis", 932},
      {"euc-jp", 20932},    {"gb2312", 936},         {"gbk", 936},          {"big5", 950},
      {"euc-kr", 949},      {"ks_c_5601-1987", 949}, {"koi8-r", 20866},     {"koi8-u", 21866},
      {"macintosh", 10000}, {"utf-16", 1200},        {"utf-16le", 1200},    {"utf-16be", 1201},
      {"gb18030", 54936},   {"iso-8859-15", 28605},  {"iso-8859-13", 28603}};
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
  if (uint32_t n = number("iso-8859-"); n >= 1 && n <= 9) return 28590 + n;
  for (const char* prefix : {"windows-", "cp", "ibm", "x-cp"}) {
    if (uint32_t n = number(prefix)) return n;
  }
  return 0;
}

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

TInput DecodeInput(std::string Bytes) {
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
      input.Fault =
          TXMLFault{L"System does not support the specified encoding.", input.Text.find(encoding)};
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
  if (size_t bad = FirstInvalidCharacter(input.Text); bad != None) {
    input.Fault = TXMLFault{InvalidCharacter, bad};
  }
  return input;
}

void LineAndColumn(const std::string& Text, size_t Offset, int32_t& Line, int32_t& Column) {
  Offset = std::min(Offset, Text.size());
  Line = 1;
  size_t start = 0;
  for (size_t i = 0; i < Offset; ++i) {
    if (Text[i] == '\n' || (Text[i] == '\r' && (i + 1 >= Text.size() || Text[i + 1] != '\n'))) {
      ++Line;
      start = i + 1;
    }
  }
  Column = 1;
  for (size_t i = start; i < Offset; ++i) {
    if ((static_cast<unsigned char>(Text[i]) & 0xC0) != 0x80) ++Column;
  }
}

// ---------------------------------------------------------------------------------------------
// A light scan of the markup, as rapidxml divides it: how deep elements nest, and which
// elements are open where the complete markup before a given offset ends.

struct TCut {
  size_t Offset;
  std::vector<std::string_view> Open;  // the elements open there, outermost first
};

struct TScan {
  size_t Boundary = 0;  // end of the last complete piece before the limit
  std::vector<std::string_view> Open;
  size_t TooDeepAt = None;
  std::vector<TCut> Cuts;  // after markup, at least Step bytes apart
};

TScan ScanMarkup(const std::string& Text, size_t From, size_t Limit, size_t Step = None) {
  Limit = std::min(Limit, Text.size());
  TScan scan;
  scan.Boundary = From;
  size_t lastCut = From;
  const std::string_view text(Text);
  auto after = [&](size_t from, std::string_view close) {
    const size_t p = text.find(close, from);
    return p == None ? None : p + close.size();
  };
  size_t i = From;
  while (i < Limit) {
    if (text[i] != '<') {
      const size_t next = text.find('<', i);
      i = next == None || next > Limit ? Limit : next;
      scan.Boundary = i;
      continue;
    }
    size_t end = None;
    bool push = false, pop = false;
    std::string_view name;
    if (text.compare(i, 2, "<?") == 0) {
      end = after(i + 2, "?>");
    } else if (text.compare(i, 4, "<!--") == 0) {
      end = after(i + 4, "-->");
    } else if (text.compare(i, 9, "<![CDATA[") == 0) {
      end = after(i + 9, "]]>");
    } else if (text.compare(i, 2, "<!") == 0) {
      int depth = 0;
      for (size_t j = i + 2; j < text.size(); ++j) {
        if (text[j] == '[') ++depth;
        if (text[j] == ']') --depth;
        if (text[j] == '>' && depth <= 0) {
          end = j + 1;
          break;
        }
      }
    } else if (text.compare(i, 2, "</") == 0) {
      end = after(i + 2, ">");
      pop = true;
    } else {
      size_t j = i + 1;
      while (j < text.size() && !IsXmlBlank(text[j]) && text[j] != '/' && text[j] != '>' &&
             text[j] != '?') {
        ++j;
      }
      name = text.substr(i + 1, j - i - 1);
      // As rapidxml reads a tag: a value is quoted only right after "=" and blanks.
      for (; j < text.size(); ++j) {
        if (text[j] == '=') {
          size_t k = j + 1;
          while (k < text.size() && IsXmlBlank(text[k])) ++k;
          if (k < text.size() && (text[k] == '"' || text[k] == '\'')) {
            j = text.find(text[k], k + 1);
            if (j == None) break;
          }
        } else if (text[j] == '>') {
          end = j + 1;
          push = text[j - 1] != '/';
          break;
        }
      }
    }
    if (end == None || end > Limit) break;
    if (push) {
      if (scan.Open.size() >= MaxDepth) {
        scan.TooDeepAt = i;
        break;
      }
      scan.Open.push_back(name);
    }
    if (pop && !scan.Open.empty()) scan.Open.pop_back();
    i = end;
    scan.Boundary = i;
    if (Step != None && i - lastCut >= Step && i < Limit) {
      scan.Cuts.push_back({i, scan.Open});
      lastCut = i;
    }
  }
  return scan;
}

// ---------------------------------------------------------------------------------------------
// The walk.

// Walks one window of the text after another. A window is parsed as: start tags of the elements
// open where it begins (no events), the window's text, end tags of the elements still open where
// it ends (no events). Offsets are those of the whole text.
class TWalker final : public TSAXAttributes {
 public:
  TWalker(TSAXHandlers& Handlers, const std::vector<TAttributeDefault>& Defaults)
      : Handlers(Handlers), Defaults(Defaults) {}
  bool RootSeen = false;

  // Buffer holds OpenLength bytes of synthetic start tags, then the text from From on.
  void Window(const char* Buffer, size_t OpenLength, size_t From, size_t Stop) {
    this->Buffer = Buffer;
    this->OpenLength = OpenLength;
    this->From = From;
    this->Stop = Stop;
  }
  size_t Offset(const char* P) const {
    const auto i = static_cast<size_t>(P - Buffer);
    return i < OpenLength ? From - 1 : From + (i - OpenLength);
  }

  // The nodes at the top level: the root element (or, in later windows, the elements open where
  // the window begins), then what may follow the root: comments, processing instructions and
  // blanks. TextEnd is where the window's own text ends.
  void Document(const rapidxml::xml_document<char>& Doc, const char* TextEnd) {
    const char* cur = Buffer;
    for (const TNode* n = Doc.first_node(); n; n = n->next_sibling()) {
      const char* start = NodeStart(n);
      TopLevelGap(cur, start);
      switch (n->type()) {
        case rapidxml::node_element:
          if (Offset(start) >= From) {
            if (RootSeen) Fail(L"Only one top level element is allowed in an XML document.", start);
            RootSeen = true;
          }
          Element(n, cur);
          break;
        case rapidxml::node_comment:
          Check([&] { CheckComment(n->value(), n->value_size()); });
          cur = n->value() + n->value_size() + 3;
          break;
        case rapidxml::node_pi:
          ProcessingInstruction(n, cur);
          break;
        default:
          Fail(L"Invalid at the top level of the document.", start);
      }
    }
    if (cur < TextEnd) TopLevelGap(cur, TextEnd);
  }

  int GetLength() const override { return static_cast<int>(Attributes.size()); }
  std::wstring_view GetQName(int Index) const override { return Attributes[Index].first; }
  std::wstring_view GetValue(int Index) const override { return Attributes[Index].second; }

 private:
  [[noreturn]] void Fail(const std::wstring& Message, const char* Where) const {
    throw TXMLFault{Message, Offset(Where)};
  }

  // Runs one of the shared checks; its error becomes a fault at its place in the window.
  template <typename Checks>
  void Check(Checks&& Run) const {
    try {
      Run();
    } catch (const TXMLSyntaxError& e) {
      Fail(e.Message, e.Where);
    }
  }

  // Runs one event; an exception raised by it ends the parse as a fatal error.
  template <typename Event>
  void Raise(const char* Where, Event&& Run) {
    std::optional<std::wstring> message;
    try {
      Run();
    } catch (const Exception& e) {
      message = e.GetMessage();
    } catch (const std::exception& e) {
      message = WidenAscii(e.what());
    }
    if (message) Fail(*message, Where);
  }

  void Decode(const char* P, size_t N, bool References, bool Attribute, std::wstring& Out) const {
    Check([&] { DecodeXmlText(P, N, References, Attribute, Out); });
  }

  void Characters(const char* P, size_t N, bool References) {
    if (N == 0) return;
    Decode(P, N, References, false, Piece);
    Raise(P, [&] { Handlers.Characters(Piece); });
  }

  // Text that rapidxml skipped between nodes: blanks, or markup it passed over.
  void Gap(const char*& Cur, const char* Next) {
    CheckBlanks(Cur, Next);
    Characters(Cur, Next - Cur, false);
    Cur = Next;
  }

  // Blanks outside the root are no character data.
  void TopLevelGap(const char*& Cur, const char* Next) {
    CheckBlanks(Cur, Next);
    Cur = std::max(Cur, Next);
  }

  void CheckBlanks(const char* From, const char* To) const {
    for (const char* p = From; p < To; ++p) {
      if (!IsXmlBlank(*p)) SkippedMarkup(p);
    }
  }

  [[noreturn]] void SkippedMarkup(const char* P) const {
    // The only "<?" rapidxml passes over is one of an xml declaration.
    Fail(P[0] == '<' && P[1] == '?' ? L"Invalid xml declaration." : L"Invalid markup.", P);
  }

  void ProcessingInstruction(const TNode* N, const char*& Cur) {
    Check([&] { CheckPITarget(N->name(), N->name_size(), N->value() + N->value_size() + 2); });
    Cur = N->value() + N->value_size() + 2;
  }

  static const char* NodeStart(const TNode* N) {
    switch (N->type()) {
      case rapidxml::node_element:
        return N->name() - 1;
      case rapidxml::node_cdata:
        return N->value() - 9;
      case rapidxml::node_comment:
        return N->value() - 4;
      case rapidxml::node_pi:
        return N->name() - 2;
      case rapidxml::node_doctype:
        return N->value() - 10;
      default:
        return N->value();
    }
  }

  // Attributes the internal subset declares with a value, where the start tag leaves them out.
  void AddDefaults(const TNode* N) {
    const std::string_view element(N->name(), N->name_size());
    for (const TAttributeDefault& d : Defaults) {
      if (d.Element != element) continue;
      bool given = false;
      for (const auto& a : Attributes) given = given || a.first == d.Name;
      if (given) continue;
      Attributes.emplace_back(d.Name, d.Value);
      AttributePlace.push_back(N->name());
    }
  }

  // Splits a qualified name; false when it is none (an empty part, or a second colon).
  static bool SplitQName(std::wstring_view Name, std::wstring_view& Prefix,
                         std::wstring_view& Local) {
    const size_t colon = Name.find(L':');
    Prefix = colon == std::wstring_view::npos ? std::wstring_view() : Name.substr(0, colon);
    Local = colon == std::wstring_view::npos ? Name : Name.substr(colon + 1);
    if (colon == std::wstring_view::npos) return true;
    const wchar_t first = Local.empty() ? L'0' : Local[0];
    return !Prefix.empty() && Local.find(L':') == std::wstring_view::npos &&
           !(first >= L'0' && first <= L'9') && first != L'-' && first != L'.';
  }

  std::wstring_view NamespaceOf(std::wstring_view Prefix, const char* Where) const {
    if (Prefix == L"xml") return XmlNamespace;
    for (auto b = Bindings.rbegin(); b != Bindings.rend() && Prefix != L"xmlns"; ++b) {
      if (b->Prefix == Prefix) return b->Uri;
    }
    Fail(L"Reference to undeclared namespace prefix: '" + std::wstring(Prefix) + L"'.", Where);
  }

  // A real start tag: its namespace declarations hold until its end tag, also across windows.
  // Every prefix must be declared, declarations must be proper, and no two attributes may have
  // the same namespace and local name.
  void StartNamespaces(const std::wstring& Name, const char* Where) {
    ++Depth;
    bool any = Name.find(L':') != std::wstring::npos;
    for (const auto& a : Attributes)
      any = any || a.first.find(L':') != std::wstring::npos || a.first == L"xmlns";
    if (!any) return;
    static constexpr std::wstring_view xmlns = L"http://www.w3.org/2000/xmlns/";
    std::wstring_view prefix, local;
    for (size_t i = 0; i < Attributes.size(); ++i) {
      const auto& [qname, value] = Attributes[i];
      if (!SplitQName(qname, prefix, local)) Fail(BadName, AttributePlace[i]);
      if (qname != L"xmlns" && prefix != L"xmlns") continue;
      const std::wstring_view declared = prefix.empty() ? std::wstring_view() : local;
      const bool proper = declared == L"xml"
                              ? value == XmlNamespace
                              : declared != L"xmlns" && value != XmlNamespace && value != xmlns &&
                                    (declared.empty() || !value.empty());
      if (!proper) Fail(L"Invalid namespace declaration.", AttributePlace[i]);
      if (!declared.empty()) Bindings.push_back({std::wstring(declared), value, Depth});
    }
    if (!SplitQName(Name, prefix, local)) Fail(BadName, Where);
    if (!prefix.empty()) NamespaceOf(prefix, Where);
    for (size_t i = 0; i < Attributes.size(); ++i) {
      SplitQName(Attributes[i].first, prefix, local);
      if (prefix.empty() || prefix == L"xmlns") continue;
      const std::wstring_view uri = NamespaceOf(prefix, AttributePlace[i]);
      for (size_t j = 0; j < i; ++j) {
        std::wstring_view otherPrefix, otherLocal;
        SplitQName(Attributes[j].first, otherPrefix, otherLocal);
        if (otherPrefix.empty() || otherPrefix == L"xmlns" || otherLocal != local) continue;
        if (NamespaceOf(otherPrefix, AttributePlace[j]) == uri)
          Fail(L"Duplicate attribute.", AttributePlace[i]);
      }
    }
  }

  void EndNamespaces() {
    while (!Bindings.empty() && Bindings.back().Depth == Depth) Bindings.pop_back();
    --Depth;
  }

  void Element(const TNode* N, const char*& Cur) {
    const char* open = N->name() - 1;
    Check([&] { CheckXmlName(N->name(), N->name_size()); });
    Attributes.clear();
    AttributePlace.clear();
    const char* tagEnd = N->name() + N->name_size();
    for (const auto* a = N->first_attribute(); a; a = a->next_attribute()) {
      Check([&] { CheckXmlName(a->name(), a->name_size()); });
      if (!IsXmlBlank(a->name()[-1])) Fail(L"Required white space was missing.", a->name());
      std::wstring name, value;
      Decode(a->name(), a->name_size(), false, false, name);
      for (const auto& other : Attributes) {
        if (other.first == name) Fail(L"Duplicate attribute.", a->name());
      }
      Decode(a->value(), a->value_size(), true, true, value);
      Attributes.emplace_back(std::move(name), std::move(value));
      AttributePlace.push_back(a->name());
      tagEnd = a->value() + a->value_size() + 1;
    }
    if (!Defaults.empty()) AddDefaults(N);
    std::wstring name;
    Decode(N->name(), N->name_size(), false, false, name);
    if (Offset(open) >= From) {
      StartNamespaces(name, N->name());
      Raise(open, [&] { Handlers.StartElement(name, *this); });
    }
    while (IsXmlBlank(*tagEnd)) ++tagEnd;
    if (*tagEnd == '/') {
      Cur = tagEnd + 2;
      End(name, tagEnd);
      return;
    }
    Cur = tagEnd + 1;
    for (const TNode* child = N->first_node(); child; child = child->next_sibling()) {
      Gap(Cur, NodeStart(child));
      switch (child->type()) {
        case rapidxml::node_element:
          Element(child, Cur);
          break;
        case rapidxml::node_data:
          Check([&] { CheckCharacterData(child->value(), child->value_size()); });
          Characters(child->value(), child->value_size(), true);
          Cur = child->value() + child->value_size();
          break;
        case rapidxml::node_cdata:
          Characters(child->value(), child->value_size(), false);
          Cur = child->value() + child->value_size() + 3;
          break;
        case rapidxml::node_comment:
          Check([&] { CheckComment(child->value(), child->value_size()); });
          Cur = child->value() + child->value_size() + 3;
          break;
        case rapidxml::node_pi:
          ProcessingInstruction(child, Cur);
          break;
        default:
          Fail(L"Invalid markup.", NodeStart(child));
      }
    }
    const char* close = Cur;
    while (IsXmlBlank(*close)) ++close;
    if (close[0] != '<' || close[1] != '/') SkippedMarkup(close);
    Gap(Cur, close);
    while (*Cur && *Cur != '>') ++Cur;
    if (*Cur) ++Cur;
    End(name, close);
  }

  void End(const std::wstring& Name, const char* Where) {
    if (Offset(Where) >= Stop) return;
    EndNamespaces();
    Raise(Where, [&] { Handlers.EndElement(Name); });
  }

  TSAXHandlers& Handlers;
  const std::vector<TAttributeDefault>& Defaults;
  const char* Buffer = nullptr;
  size_t OpenLength = 0;
  size_t From = 0;
  size_t Stop = None;
  std::wstring Piece;
  std::vector<std::pair<std::wstring, std::wstring>> Attributes;
  std::vector<const char*> AttributePlace;  // where each attribute's name is written
  struct TBinding {
    std::wstring Prefix;
    std::wstring Uri;
    size_t Depth;
  };
  std::vector<TBinding> Bindings;
  size_t Depth = 0;  // of real start tags, across windows
};

std::string StartTags(const std::vector<std::string_view>& Open) {
  std::string tags;
  for (std::string_view name : Open) tags.append("<").append(name).append(">");
  return tags;
}

std::string EndTags(const std::vector<std::string_view>& Open) {
  std::string tags;
  for (auto name = Open.rbegin(); name != Open.rend(); ++name)
    tags.append("</").append(*name).append(">");
  return tags;
}

// Parses Buffer (which must stay unchanged and end in a zero) and walks it. A parse error comes
// back as a fault before any event, with its place in Buffer; a fault of the walk comes after
// the events before it.
std::optional<TXMLFault> ParseAndWalk(std::string& Buffer, size_t TextEnd, TWalker& Walker,
                                      bool& Walked, size_t& BufferOffset) {
  Walked = false;
  auto doc = std::make_unique<rapidxml::xml_document<char>>();
  try {
    doc->parse<ParseFlags>(Buffer.data());
  } catch (const rapidxml::parse_error& e) {
    BufferOffset = static_cast<size_t>(e.where<char>() - Buffer.data());
    return TXMLFault{WidenAscii(e.what()), Walker.Offset(e.where<char>())};
  }
  Walked = true;
  try {
    Walker.Document(*doc, Buffer.data() + TextEnd);
  } catch (const TXMLFault& fault) {
    return fault;
  }
  return std::nullopt;
}

// One window: the text from From to To with the elements open at either end.
std::optional<TXMLFault> WalkWindow(TWalker& Walker, const std::string& Text, const TCut& From,
                                    const TCut& To) {
  const std::string opening = StartTags(From.Open);
  std::string buffer =
      opening + Text.substr(From.Offset, To.Offset - From.Offset) + EndTags(To.Open);
  Walker.Window(buffer.data(), opening.size(), From.Offset, To.Offset);
  bool walked = false;
  size_t at = 0;
  std::optional<TXMLFault> fault =
      ParseAndWalk(buffer, opening.size() + (To.Offset - From.Offset), Walker, walked, at);
  if (fault && !walked) {
    // Deliver the events of the complete markup before the failure.
    const TScan before = ScanMarkup(buffer, 0, at);
    std::string prefix = buffer.substr(0, before.Boundary) + EndTags(before.Open);
    const size_t stop = Walker.Offset(buffer.data() + before.Boundary);
    Walker.Window(prefix.data(), opening.size(), From.Offset, std::min(stop, To.Offset));
    size_t ignored = 0;
    const std::optional<TXMLFault> early =
        ParseAndWalk(prefix, before.Boundary, Walker, walked, ignored);
    if (early && walked && early->Offset < stop) fault = early;
  }
  return fault;
}

void ReportFault(const std::string& Text, const TXMLFault& Fault, TSAXHandlers& Handlers) {
  int32_t line, column;
  LineAndColumn(Text, Fault.Offset, line, column);
  Handlers.FatalError(Fault.Message, line, column);
}

}  // namespace

size_t BuiltinParseWindow = 1 << 20;

void ParseWithRapidXml(const std::wstring& FileName, TSAXHandlers& Handlers) {
  TInput input = DecodeInput(ReadWholeFile(FileName));
  std::optional<TXMLFault> fault = input.Fault;
  const size_t limit = fault ? fault->Offset : input.Text.size();
  TXMLProlog prolog;
  try {
    prolog = ParseXmlProlog(std::string_view(input.Text).substr(0, limit));
  } catch (const TXMLSyntaxError& e) {
    const size_t at = static_cast<size_t>(e.Where - input.Text.data());
    if (!fault || at < fault->Offset) fault = TXMLFault{e.Message, at};
    ReportFault(input.Text, *fault, Handlers);
    return;
  }
  // rapidxml keeps a node per element and text; parsing the text a window at a time keeps that
  // memory small whatever the size of the file.
  const TScan scan =
      ScanMarkup(input.Text, prolog.RootStart, limit, std::max<size_t>(BuiltinParseWindow, 1));
  if (scan.TooDeepAt != None) fault = TXMLFault{L"Elements are nested too deeply.", scan.TooDeepAt};
  std::vector<TCut> cuts;
  cuts.push_back({prolog.RootStart, {}});
  cuts.insert(cuts.end(), scan.Cuts.begin(), scan.Cuts.end());
  cuts.push_back({scan.Boundary, scan.Open});
  TWalker walker(Handlers, prolog.Defaults);
  std::optional<TXMLFault> late;
  for (size_t i = 0; i + 1 < cuts.size() && !late; ++i) {
    late = WalkWindow(walker, input.Text, cuts[i], cuts[i + 1]);
  }
  if (!late && !fault) {
    if (scan.Boundary < input.Text.size() || !scan.Open.empty()) {
      late = TXMLFault{L"unexpected end of data", input.Text.size()};
    } else if (!walker.RootSeen) {
      late = TXMLFault{L"XML document must have a top level element.", input.Text.size()};
    }
  }
  if (late && (!fault || late->Offset < fault->Offset)) fault = late;
  if (fault) ReportFault(input.Text, *fault, Handlers);
}
