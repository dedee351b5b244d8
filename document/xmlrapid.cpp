// The built-in back end of the checksum file reader: rapidxml parses, and the walk over what it
// parsed raises the SAX events in document order.
//
// The text streams through a window at a time (xmltext.cpp reads it and finds forbidden
// characters): a light scan finds where complete markup ends past the window's size and which
// elements are open there, and rapidxml parses the window's text between start tags of the
// elements open where it begins and end tags of those open where it ends. So memory stays small
// whatever the size of the file.
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

// Node memory in fewer, larger blocks; it is kept from window to window.
#define RAPIDXML_DYNAMIC_POOL_SIZE (1024 * 1024)
#include <rapidxml.hpp>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "document/xml.h"
#include "document/xmlsyntax.h"
#include "document/xmltext.h"
#include "hash/errors.h"

using namespace std::string_view_literals;

namespace {

constexpr int ParseFlags = rapidxml::parse_non_destructive | rapidxml::parse_validate_closing_tags |
                           rapidxml::parse_comment_nodes | rapidxml::parse_pi_nodes |
                           rapidxml::parse_doctype_node;
// rapidxml and the walk recurse per level; deeper nesting than this is refused up front.
constexpr size_t MaxDepth = 512;
constexpr size_t None = std::string::npos;
// Bytes of text read at a time.
constexpr size_t ReadSize = 1 << 20;

const wchar_t BadName[] = L"A name contained an invalid character.";
const wchar_t EndOfData[] = L"unexpected end of data";
constexpr std::wstring_view XmlNamespace = L"http://www.w3.org/XML/1998/namespace";

using TNode = rapidxml::xml_node<char>;

std::wstring WidenAscii(const char* Text) {
  std::wstring text;
  for (const char* p = Text; p && *p; ++p) text.push_back(static_cast<unsigned char>(*p));
  return text;
}

// ---------------------------------------------------------------------------------------------
// A light scan of the markup, as rapidxml divides it: how deep elements nest, and which
// elements are open where complete markup ends.

// The names of the elements open at a place, outermost first, end to end.
class TOpenElements {
 public:
  bool empty() const { return Ends.empty(); }
  void Push(const char* Name, size_t Length) {
    Names.append(Name, Length);
    Ends.push_back(Names.size());
  }
  void Pop() {
    Ends.pop_back();
    Names.resize(Ends.empty() ? 0 : Ends.back());
  }
  size_t Depth() const { return Ends.size(); }
  void AppendStartTags(std::string& Out) const {
    for (size_t i = 0, from = 0; i < Ends.size(); from = Ends[i++])
      Out.append("<").append(Names, from, Ends[i] - from).append(">");
  }
  void AppendEndTags(std::string& Out) const {
    for (size_t i = Ends.size(); i-- > 0;) {
      const size_t from = i ? Ends[i - 1] : 0;
      Out.append("</").append(Names, from, Ends[i] - from).append(">");
    }
  }

 private:
  std::string Names;
  std::vector<size_t> Ends;
};

enum class TScanStop { Cut, Limit, NeedMore };

struct TScan {
  size_t Boundary = 0;  // end of the last complete piece scanned
  TOpenElements Open;   // the elements open there
  size_t TooDeepAt = None;

  // Scans Text, which holds the text from offset Base up to Available, from Boundary on. Stops
  // after the first markup that ends at or past Target (Cut), at Limit or where nesting gets
  // too deep (Limit), or where a piece runs past what is there while more text may follow
  // (NeedMore).
  TScanStop Run(const char* Text, size_t Base, size_t Available, size_t Limit, size_t Target,
                bool Final) {
    const char* const begin = Text - Base;  // so that begin + offset is the byte at offset
    const char* const limit = begin + Limit;
    const bool more = !Final && Limit == Available;
    const char* p = begin + Boundary;
    const auto find = [&](const char* From, std::string_view Close) -> const char* {
      for (const char* q = From; q + Close.size() <= limit; ++q) {
        q = FindByte(q, limit, Close[0]);
        if (!q || q + Close.size() > limit) break;
        if (std::memcmp(q, Close.data(), Close.size()) == 0) return q + Close.size();
      }
      return nullptr;
    };
    while (p < limit) {
      if (*p != '<') {
        const char* next = FindByte(p, limit, '<');
        p = next ? next : limit;
        Boundary = static_cast<size_t>(p - begin);
        continue;
      }
      const char* end = nullptr;
      bool push = false, pop = false;
      const char* name = nullptr;
      size_t nameLength = 0;
      const size_t left = static_cast<size_t>(limit - p);
      const auto at = [&](std::string_view S) {
        return left >= S.size() && std::memcmp(p, S.data(), S.size()) == 0;
      };
      if (left < 9 && more) return TScanStop::NeedMore;  // too little to tell the kind
      if (at("<?")) {
        end = find(p + 2, "?>");
      } else if (at("<!--")) {
        end = find(p + 4, "-->");
      } else if (at("<![CDATA[")) {
        end = find(p + 9, "]]>");
      } else if (at("<!")) {
        int depth = 0;
        for (const char* q = p + 2; q < limit; ++q) {
          if (*q == '[') ++depth;
          if (*q == ']') --depth;
          if (*q == '>' && depth <= 0) {
            end = q + 1;
            break;
          }
        }
      } else if (at("</")) {
        const char* close = FindByte(p + 2, limit, '>');
        end = close ? close + 1 : nullptr;
        pop = true;
      } else {
        const char* q = p + 1;
        while (q < limit && !IsXmlBlank(*q) && *q != '/' && *q != '>' && *q != '?') ++q;
        name = p + 1;
        nameLength = static_cast<size_t>(q - name);
        // As rapidxml reads a tag: a value is quoted only right after "=" and blanks.
        for (; q < limit; ++q) {
          if (*q == '=') {
            const char* v = q + 1;
            while (v < limit && IsXmlBlank(*v)) ++v;
            if (v < limit && (*v == '"' || *v == '\'')) {
              q = FindByte(v + 1, limit, *v);
              if (!q) break;
            }
          } else if (*q == '>') {
            end = q + 1;
            push = q[-1] != '/';
            break;
          }
        }
      }
      if (!end) return more ? TScanStop::NeedMore : TScanStop::Limit;
      if (push) {
        if (Open.Depth() >= MaxDepth) {
          TooDeepAt = static_cast<size_t>(p - begin);
          return TScanStop::Limit;
        }
        Open.Push(name, nameLength);
      }
      if (pop && !Open.empty()) Open.Pop();
      p = end;
      Boundary = static_cast<size_t>(p - begin);
      if (Boundary >= Target && p < limit) return TScanStop::Cut;
    }
    return more ? TScanStop::NeedMore : TScanStop::Limit;
  }
};

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
    Level = 0;
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

  int GetLength() const override { return static_cast<int>(AttributeCount); }
  std::wstring_view GetQName(int Index) const override { return Attributes[Index].Name; }
  std::wstring_view GetValue(int Index) const override { return Attributes[Index].Value; }

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

  // Decoded text in a buffer that is used again and again.
  struct TText {
    std::wstring Buffer;  // grows, never shrinks
    size_t Length = 0;
    operator std::wstring_view() const { return {Buffer.data(), Length}; }
    void Assign(std::wstring_view Text) {
      if (Buffer.size() < Text.size()) Buffer.resize(Text.size());
      std::copy(Text.begin(), Text.end(), Buffer.begin());
      Length = Text.size();
    }
  };

  void Decode(const char* P, size_t N, bool References, bool Attribute, TText& Out) const {
    Check([&] { Out.Length = DecodeXmlText(P, N, References, Attribute, Out.Buffer); });
  }

  void Characters(const char* P, size_t N, bool References) {
    if (N == 0) return;
    Decode(P, N, References, false, Piece);
    Raise(P, [&] { Handlers.Characters(Piece); });
  }

  // Text that rapidxml skipped between nodes: blanks, or markup it passed over. Blanks are
  // character data; without a CR among them they stand as they are.
  void Gap(const char*& Cur, const char* Next) {
    if (Next <= Cur) return;
    const size_t n = static_cast<size_t>(Next - Cur);
    if (Piece.Buffer.size() < n) Piece.Buffer.resize(n);
    bool cr = false;
    for (size_t i = 0; i < n; ++i) {
      if (!IsXmlBlank(Cur[i])) SkippedMarkup(Cur + i);
      cr = cr || Cur[i] == '\r';
      Piece.Buffer[i] = static_cast<unsigned char>(Cur[i]);
    }
    Piece.Length = n;
    if (cr) Decode(Cur, n, false, false, Piece);
    Raise(Cur, [&] { Handlers.Characters(Piece); });
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
      for (size_t i = 0; i < AttributeCount; ++i)
        given = given || std::wstring_view(Attributes[i].Name) == d.Name;
      if (given) continue;
      TAttribute& added = AddAttribute(N->name());
      added.Name.Assign(d.Name);
      added.Value.Assign(d.Value);
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
  void StartNamespaces(std::wstring_view Name, const char* Where) {
    ++Depth;
    const auto colon = [](std::wstring_view Text) {
      return std::find(Text.begin(), Text.end(), L':') != Text.end();
    };
    bool any = colon(Name);
    for (size_t i = 0; i < AttributeCount; ++i) {
      const std::wstring_view name = Attributes[i].Name;
      any = any || colon(name) || name == L"xmlns"sv;
    }
    if (!any) return;
    static constexpr std::wstring_view xmlns = L"http://www.w3.org/2000/xmlns/";
    std::wstring_view prefix, local;
    for (size_t i = 0; i < AttributeCount; ++i) {
      const std::wstring_view qname = Attributes[i].Name, value = Attributes[i].Value;
      if (!SplitQName(qname, prefix, local)) Fail(BadName, Attributes[i].Place);
      if (qname != L"xmlns" && prefix != L"xmlns") continue;
      const std::wstring_view declared = prefix.empty() ? std::wstring_view() : local;
      const bool proper = declared == L"xml"
                              ? value == XmlNamespace
                              : declared != L"xmlns" && value != XmlNamespace && value != xmlns &&
                                    (declared.empty() || !value.empty());
      if (!proper) Fail(L"Invalid namespace declaration.", Attributes[i].Place);
      if (!declared.empty())
        Bindings.push_back({std::wstring(declared), std::wstring(value), Depth});
    }
    if (!SplitQName(Name, prefix, local)) Fail(BadName, Where);
    if (!prefix.empty()) NamespaceOf(prefix, Where);
    for (size_t i = 0; i < AttributeCount; ++i) {
      SplitQName(Attributes[i].Name, prefix, local);
      if (prefix.empty() || prefix == L"xmlns") continue;
      const std::wstring_view uri = NamespaceOf(prefix, Attributes[i].Place);
      for (size_t j = 0; j < i; ++j) {
        std::wstring_view otherPrefix, otherLocal;
        SplitQName(Attributes[j].Name, otherPrefix, otherLocal);
        if (otherPrefix.empty() || otherPrefix == L"xmlns" || otherLocal != local) continue;
        if (NamespaceOf(otherPrefix, Attributes[j].Place) == uri)
          Fail(L"Duplicate attribute.", Attributes[i].Place);
      }
    }
  }

  void EndNamespaces() {
    while (!Bindings.empty() && Bindings.back().Depth == Depth) Bindings.pop_back();
    --Depth;
  }

  struct TAttribute {
    TText Name;
    TText Value;
    const char* Place;  // where the name is written
  };

  // The next attribute, reusing the buffers of an earlier start tag.
  TAttribute& AddAttribute(const char* Where) {
    if (AttributeCount == Attributes.size()) Attributes.emplace_back();
    Attributes[AttributeCount].Place = Where;
    return Attributes[AttributeCount++];
  }

  void Element(const TNode* N, const char*& Cur) {
    const char* open = N->name() - 1;
    // Names of the elements being walked, kept for their end tags; the strings are reused.
    if (Level == Names.size()) Names.emplace_back();
    TText& name = Names[Level];
    const struct TLevel {
      size_t& Level;
      explicit TLevel(size_t& L) : Level(++L) {}
      ~TLevel() { --Level; }
    } level(Level);
    Check([&] { name.Length = DecodeXmlName(N->name(), N->name_size(), name.Buffer); });
    AttributeCount = 0;
    const char* tagEnd = N->name() + N->name_size();
    for (const auto* a = N->first_attribute(); a; a = a->next_attribute()) {
      TAttribute& added = AddAttribute(a->name());
      Check(
          [&] { added.Name.Length = DecodeXmlName(a->name(), a->name_size(), added.Name.Buffer); });
      if (!IsXmlBlank(a->name()[-1])) Fail(L"Required white space was missing.", a->name());
      for (size_t i = 0; i + 1 < AttributeCount; ++i) {
        if (std::wstring_view(Attributes[i].Name) == std::wstring_view(added.Name))
          Fail(L"Duplicate attribute.", a->name());
      }
      Decode(a->value(), a->value_size(), true, true, added.Value);
      tagEnd = a->value() + a->value_size() + 1;
    }
    if (!Defaults.empty()) AddDefaults(N);
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

  void End(std::wstring_view Name, const char* Where) {
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
  TText Piece;
  std::deque<TText> Names;  // stays in place as it grows
  size_t Level = 0;
  std::vector<TAttribute> Attributes;
  size_t AttributeCount = 0;
  struct TBinding {
    std::wstring Prefix;
    std::wstring Uri;
    size_t Depth;
  };
  std::vector<TBinding> Bindings;
  size_t Depth = 0;  // of real start tags, across windows
};

// rapidxml's node memory: its blocks serve window after window instead of going back to the
// system and coming fresh (and unpaged) each time. One set per parse, on the parsing thread.
class TNodeBlocks {
 public:
  TNodeBlocks() : Outer(Current) { Current = this; }
  ~TNodeBlocks() {
    Current = Outer;
    for (void* block : Free) ::operator delete(block);
  }
  TNodeBlocks(const TNodeBlocks&) = delete;
  TNodeBlocks& operator=(const TNodeBlocks&) = delete;

  // Each block starts with its size, ahead of what rapidxml gets.
  static void* Allocate(size_t Size) {
    std::vector<void*>& free = Current->Free;
    for (size_t i = free.size(); i-- > 0;) {
      if (*static_cast<size_t*>(free[i]) >= Size) {
        void* block = free[i];
        free.erase(free.begin() + static_cast<ptrdiff_t>(i));
        return static_cast<char*>(block) + Header;
      }
    }
    void* block = ::operator new(Size + Header);
    *static_cast<size_t*>(block) = Size;
    return static_cast<char*>(block) + Header;
  }
  static void Release(void* Memory) {
    Current->Free.push_back(static_cast<char*>(Memory) - Header);
  }

 private:
  static constexpr size_t Header = 16;
  static inline thread_local TNodeBlocks* Current = nullptr;
  TNodeBlocks* Outer;
  std::vector<void*> Free;
};

// Parses Buffer (which must stay unchanged and end in a zero) and walks it. A parse error comes
// back as a fault before any event, with its place in Buffer; a fault of the walk comes after
// the events before it.
std::optional<TXMLFault> ParseAndWalk(rapidxml::xml_document<char>& Doc, char* Buffer,
                                      size_t TextEnd, TWalker& Walker, bool& Walked,
                                      size_t& BufferOffset) {
  Walked = false;
  struct TCleared {
    rapidxml::xml_document<char>& Doc;
    ~TCleared() { Doc.clear(); }
  } cleared{Doc};
  try {
    Doc.parse<ParseFlags>(Buffer);
  } catch (const rapidxml::parse_error& e) {
    BufferOffset = static_cast<size_t>(e.where<char>() - Buffer);
    return TXMLFault{WidenAscii(e.what()), Walker.Offset(e.where<char>())};
  }
  Walked = true;
  try {
    Walker.Document(Doc, Buffer + TextEnd);
  } catch (const TXMLFault& fault) {
    return fault;
  }
  return std::nullopt;
}

// Reads the text a window at a time and walks each.
class TBuiltinParser {
 public:
  TBuiltinParser(const std::wstring& FileName, TSAXHandlers& Handlers)
      : Text(FileName), Handlers(Handlers), Doc(std::make_unique<rapidxml::xml_document<char>>()) {
    Doc->set_allocator(&TNodeBlocks::Allocate, &TNodeBlocks::Release);
    if (Text.Fault) Forbidden = Text.Fault;
  }

  void Run() {
    TXMLProlog prolog;
    if (!Prolog(prolog)) return;
    TWalker walker(Handlers, prolog.Defaults);
    TScan scan;  // where the window ends, and the elements open there
    scan.Boundary = prolog.RootStart;
    size_t from = prolog.RootStart;
    Advance(from, scan.Open);
    const size_t window = std::max<size_t>(BuiltinParseWindow, 1);
    std::optional<TXMLFault> late;
    for (;;) {
      TScanStop stop;
      while ((stop = scan.Run(Data.data() + Head, Start, Available(), Limit(), from + window,
                              Ended)) == TScanStop::NeedMore) {
        More();
      }
      late = WalkWindow(walker, from, scan.Boundary, scan.Open);
      if (late || stop != TScanStop::Cut) break;
      from = scan.Boundary;
      Advance(from, scan.Open);
    }
    std::optional<TXMLFault> fault = Forbidden;
    if (scan.TooDeepAt != None)
      fault = TXMLFault{L"Elements are nested too deeply.", scan.TooDeepAt};
    if (!late && !fault) {
      if (scan.Boundary < Available() || !scan.Open.empty()) {
        late = TXMLFault{EndOfData, Available()};
      } else if (!walker.RootSeen) {
        late = TXMLFault{L"XML document must have a top level element.", Available()};
      }
    }
    if (late && (!fault || late->Offset < fault->Offset)) fault = late;
    if (fault) Report(*fault);
  }

 private:
  size_t Available() const { return Start + Data.size() - Head; }
  // Where parsing must stop: at a forbidden character, or where the text read so far ends.
  size_t Limit() const { return Forbidden ? Forbidden->Offset : Available(); }

  // Reads more text and looks for forbidden characters in it.
  void More() {
    if (!Ended && !Text.Read(Data, ReadSize)) Ended = true;
    if (Forbidden) return;
    bool forbidden = false;
    Checked += AllowedCharacters(Data.data() + Head + (Checked - Start), Available() - Checked,
                                 Ended, forbidden);
    if (forbidden) Forbidden = TXMLFault{InvalidCharacter, Checked};
  }

  // Drops the text before From and puts the start tags of the elements open there in front of
  // what is left, where rapidxml parses the next window without a copy of it.
  void Advance(size_t From, const TOpenElements& Open) {
    Tags.clear();
    Open.AppendStartTags(Tags);
    Data.replace(0, Head + (From - Start), Tags);
    Head = Tags.size();
    Start = From;
  }

  // Checks everything before the root element, reading on until it is all there.
  bool Prolog(TXMLProlog& Prolog) {
    More();
    for (;;) {
      try {
        Prolog = ParseXmlProlog(std::string_view(Data).substr(0, Limit()));
        return true;
      } catch (const TXMLSyntaxError& e) {
        const size_t at = static_cast<size_t>(e.Where - Data.data());
        if (at >= Limit() && !Forbidden && !Ended) {
          More();
          continue;
        }
        Report(Forbidden && Forbidden->Offset <= at ? *Forbidden : TXMLFault{e.Message, at});
        return false;
      }
    }
  }

  // One window: the text from From (at Head, after the start tags) to To, closed for the time of
  // the parse by end tags of the elements open at To.
  std::optional<TXMLFault> WalkWindow(TWalker& Walker, size_t From, size_t To,
                                      const TOpenElements& OpenTo) {
    const size_t textEnd = Head + (To - From), had = Data.size();
    Tags.clear();
    OpenTo.AppendEndTags(Tags);
    Tags.push_back('\0');
    Saved.assign(Data, textEnd, Tags.size());
    if (Data.size() < textEnd + Tags.size()) Data.resize(textEnd + Tags.size());
    Data.replace(textEnd, Tags.size(), Tags);
    Walker.Window(Data.data(), Head, From, To);
    bool walked = false;
    size_t at = 0;
    std::optional<TXMLFault> fault = ParseAndWalk(*Doc, Data.data(), textEnd, Walker, walked, at);
    if (fault && !walked) {
      // Deliver the events of the complete markup before the failure.
      TScan before;
      before.Run(Data.data(), 0, at, at, None, true);
      Prefix.assign(Data, 0, before.Boundary);
      before.Open.AppendEndTags(Prefix);
      const size_t stop = Walker.Offset(Data.data() + before.Boundary);
      Walker.Window(Prefix.data(), Head, From, std::min(stop, To));
      size_t ignored = 0;
      const std::optional<TXMLFault> early =
          ParseAndWalk(*Doc, Prefix.data(), before.Boundary, Walker, walked, ignored);
      if (early && walked && early->Offset < stop) fault = early;
    }
    Data.replace(textEnd, Saved.size(), Saved);
    Data.resize(had);
    return fault;
  }

  void Report(const TXMLFault& Fault) {
    int32_t line, column;
    Text.Position(Fault.Offset, line, column);
    Handlers.FatalError(Fault.Message, line, column);
  }

  TXMLText Text;
  TSAXHandlers& Handlers;
  TNodeBlocks Blocks;  // outlives Doc, which returns its blocks when it goes
  std::unique_ptr<rapidxml::xml_document<char>> Doc;
  // Start tags of the elements open at Start, then the text from Start on as far as it is read.
  std::string Data;
  size_t Head = 0;
  size_t Start = 0;
  bool Ended = false;  // all text is read
  size_t Checked = 0;  // characters are allowed up to here
  std::optional<TXMLFault> Forbidden;
  std::string Tags;    // start or end tags to put around a window
  std::string Saved;   // the text the end tags cover while a window is parsed
  std::string Prefix;  // a window's complete part before a parse error, closed
};

}  // namespace

size_t BuiltinParseWindow = 1 << 20;

void ParseWithRapidXml(const std::wstring& FileName, TSAXHandlers& Handlers) {
  TBuiltinParser(FileName, Handlers).Run();
}
