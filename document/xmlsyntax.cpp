#include "document/xmlsyntax.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

const wchar_t BadName[] = L"A name contained an invalid character.";
const wchar_t EndOfData[] = L"unexpected end of data";
const wchar_t MissingBlank[] = L"Required white space was missing.";
const wchar_t BadDeclaration[] = L"Invalid syntax for an xml declaration.";
const wchar_t MisplacedDeclaration[] = L"Invalid xml declaration.";
const wchar_t BadDtd[] = L"Invalid character found in DTD.";
const wchar_t BadModel[] = L"Invalid character in content model.";
const wchar_t BadExternalId[] = L"External ID is invalid.";
const wchar_t ExpectedEnd[] = L"The character '>' was expected.";
const wchar_t UndefinedEntity[] = L"Reference to undefined entity.";
const wchar_t BadReference[] = L"Invalid character reference.";

// Characters that decode as they are.
constexpr struct TPlainCharacters {
  bool Plain[256] = {};
  constexpr TPlainCharacters() {
    for (int c = 0x20; c < 0x80; ++c) Plain[c] = c != '&' && c != '<';
  }
} PlainCharacters;

[[noreturn]] void Fail(const wchar_t* Message, const char* Where) {
  throw TXMLSyntaxError{Message, Where};
}

// Bytes that may start a name (1) or stand in one (2); any from 0x80 on, being part of a
// character beyond ASCII, may do both.
constexpr struct TNameBytes {
  unsigned char Kind[256] = {};
  constexpr TNameBytes() {
    for (int c = 0; c < 256; ++c) {
      const bool start =
          (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
      Kind[c] = start ? 3 : ((c >= '0' && c <= '9') || c == '-' || c == '.') ? 2 : 0;
    }
  }
} NameBytes;

bool IsNameStart(unsigned char c) {
  return NameBytes.Kind[c] & 1;
}

bool IsNameChar(unsigned char c) {
  return NameBytes.Kind[c] != 0;
}

// The character of a character reference's digits, or 0 when they name none XML allows.
uint32_t CharacterReference(std::string_view Digits) {
  const bool hex = !Digits.empty() && Digits[0] == 'x';
  if (hex) Digits.remove_prefix(1);
  if (Digits.empty() || Digits.size() > 8) return 0;
  uint32_t c = 0;
  for (char d : Digits) {
    int v = d >= '0' && d <= '9' ? d - '0' : -1;
    if (hex && v < 0)
      v = d >= 'a' && d <= 'f' ? d - 'a' + 10 : d >= 'A' && d <= 'F' ? d - 'A' + 10 : -1;
    if (v < 0) return 0;
    c = c * (hex ? 16 : 10) + v;
  }
  const bool allowed = c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0xD7FF) ||
                       (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
  return allowed ? c : 0;
}

// The reference after "&" at P, up to its ";"; P moves past it.
std::string_view ReferenceName(const char*& P, const char* End) {
  const char* start = P - 1;
  const char* semicolon = P;
  while (semicolon < End && *semicolon != ';' && semicolon - P < 12) ++semicolon;
  if (semicolon >= End || *semicolon != ';') Fail(L"Illegal reference.", start);
  const std::string_view name(P, semicolon - P);
  P = semicolon + 1;
  return name;
}

// The character of the reference after "&" at P; P moves past its ";".
uint32_t Reference(const char*& P, const char* End) {
  const char* start = P - 1;
  const std::string_view name = ReferenceName(P, End);
  if (name == "amp") return '&';
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "quot") return '"';
  if (name == "apos") return '\'';
  if (name.size() < 2 || name[0] != '#') Fail(UndefinedEntity, start);
  const uint32_t c = CharacterReference(name.substr(1));
  if (c == 0) Fail(BadReference, start);
  return c;
}

// ---------------------------------------------------------------------------------------------
// The prolog: XMLDecl? Misc* (doctypedecl Misc*)?, then the root's start tag.

class TPrologParser {
 public:
  explicit TPrologParser(std::string_view Text)
      : Start(Text.data()), P(Text.data()), End(Text.data() + Text.size()) {}

  TXMLProlog Parse() {
    if (AtDeclaration()) Declaration();
    bool doctype = false;
    for (;;) {
      Blanks();
      if (P >= End) Fail(L"XML document must have a top level element.", P);
      if (Skip("<?")) {
        ProcessingInstruction();
      } else if (Skip("<!--")) {
        Comment();
      } else if (!doctype && Skip("<!DOCTYPE")) {
        Doctype();
        doctype = true;
      } else if (*P == '<' && (P + 1 >= End || (P[1] != '!' && P[1] != '?'))) {
        Result.RootStart = static_cast<size_t>(P - Start);
        return std::move(Result);
      } else {
        Fail(L"Invalid at the top level of the document.", P);
      }
    }
  }

  bool AtDeclaration() const {
    return At("<?xml") && End - P > 5 && (IsXmlBlank(P[5]) || P[5] == '?');
  }

  // VersionInfo EncodingDecl? SDDecl? S? "?>", with nothing else allowed.
  std::string Declaration() {
    P += 5;
    std::string encoding;
    const char* itemFrom = nullptr;  // where the last item's name begins
    const auto item = [&](std::string_view Name) {
      const char* before = P;
      const bool blanks = Blanks();
      itemFrom = P;
      if (!blanks || !Skip(Name)) {
        P = before;
        return std::string_view();
      }
      Blanks();
      if (!Skip("=")) Fail(BadDeclaration, P);
      Blanks();
      const std::string_view value = Quoted(BadDeclaration);
      if (value.empty()) Fail(BadDeclaration, value.data());
      return value;
    };
    const std::string_view version = item("version");
    if (version.empty()) Fail(P >= End ? EndOfData : BadDeclaration, P);
    if (version.size() < 3 || version.substr(0, 2) != "1.") Fail(BadDeclaration, version.data());
    for (char c : version.substr(2)) {
      if (c < '0' || c > '9') Fail(BadDeclaration, version.data());
    }
    if (const std::string_view name = item("encoding"); !name.empty()) {
      for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-')))
          Fail(BadDeclaration, name.data());
      }
      encoding = name;
      EncodingPlace = {itemFrom, static_cast<size_t>(P - itemFrom)};
    }
    if (const std::string_view standalone = item("standalone"); !standalone.empty()) {
      if (standalone != "yes" && standalone != "no") Fail(BadDeclaration, standalone.data());
    }
    Blanks();
    if (!Skip("?>")) Fail(P >= End ? EndOfData : BadDeclaration, P);
    return encoding;
  }
  // The encoding declaration that Declaration found, from its name to its closing quote.
  std::string_view EncodingPlace;

 private:
  bool At(std::string_view S) const {
    return static_cast<size_t>(End - P) >= S.size() && std::memcmp(P, S.data(), S.size()) == 0;
  }
  bool Skip(std::string_view S) {
    if (!At(S)) return false;
    P += S.size();
    return true;
  }
  bool Blanks() {
    const char* from = P;
    while (P < End && IsXmlBlank(*P)) ++P;
    return P != from;
  }
  void RequireBlanks() {
    if (!Blanks()) Fail(P >= End ? EndOfData : MissingBlank, P);
  }
  void Expect(char C, const wchar_t* Message) {
    if (P >= End) Fail(EndOfData, P);
    if (*P != C) Fail(Message, P);
    ++P;
  }
  std::string_view Name() {
    const char* from = P;
    while (P < End && IsNameChar(static_cast<unsigned char>(*P))) ++P;
    if (P == from && P >= End) Fail(EndOfData, P);
    CheckXmlName(from, P - from);
    return {from, static_cast<size_t>(P - from)};
  }
  std::string_view Quoted(const wchar_t* Message) {
    if (P >= End) Fail(EndOfData, P);
    const char quote = *P;
    if (quote != '"' && quote != '\'') Fail(Message, P);
    const char* from = ++P;
    while (P < End && *P != quote) ++P;
    if (P >= End) Fail(EndOfData, P);
    return {from, static_cast<size_t>(P++ - from)};
  }

  // After "<?".
  void ProcessingInstruction() {
    const char* target = P;
    while (P < End && !IsXmlBlank(*P) && *P != '?' && *P != '/' && *P != '>') ++P;
    if (P == target) Fail(P >= End ? EndOfData : BadName, P);
    CheckPITarget(target, P - target, End);
    SkipPast("?>");
  }

  // After "<!--".
  void Comment() {
    const char* from = P;
    SkipPast("-->");
    CheckComment(from, P - 3 - from);
  }

  void SkipPast(std::string_view Close) {
    const std::string_view rest(P, End - P);
    const size_t at = rest.find(Close);
    if (at == std::string_view::npos) Fail(EndOfData, End);
    P += at + Close.size();
  }

  // After "<!DOCTYPE": S Name (S ExternalID)? S? ('[' intSubset ']' S?)? '>'.
  void Doctype() {
    RequireBlanks();
    Name();
    if (Blanks() && (At("SYSTEM") || At("PUBLIC"))) {
      ExternalId(false);
      Blanks();
    }
    if (Skip("[")) {
      InternalSubset();
      Blanks();
    }
    Expect('>', ExpectedEnd);
  }

  // SYSTEM S SystemLiteral | PUBLIC S PubidLiteral S SystemLiteral; in a notation the system
  // literal after a public one may be left out.
  void ExternalId(bool Notation) {
    if (Skip("SYSTEM")) {
      RequireBlanks();
      Quoted(BadExternalId);
      return;
    }
    if (!Skip("PUBLIC")) Fail(BadExternalId, P);
    RequireBlanks();
    for (char c : Quoted(BadExternalId)) {
      const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (!plain && !std::strchr(" \r\n-'()+,./:=?;!*#@$_%", c)) Fail(BadExternalId, P - 1);
    }
    if (Notation) {
      const char* before = P;
      if (!Blanks() || P >= End || (*P != '"' && *P != '\'')) {
        P = before;
        return;
      }
    } else {
      RequireBlanks();
    }
    Quoted(BadExternalId);
  }

  // (markupdecl | S)* up to the closing "]".
  void InternalSubset() {
    for (;;) {
      Blanks();
      if (P >= End) Fail(EndOfData, P);
      if (Skip("]")) return;
      // Entities are not expanded, parameter entities no more than others.
      if (*P == '%') {
        Fail(UndefinedEntity, P);
      } else if (Skip("<?")) {
        ProcessingInstruction();
      } else if (Skip("<!--")) {
        Comment();
      } else if (Skip("<!ELEMENT")) {
        ElementDeclaration();
      } else if (Skip("<!ATTLIST")) {
        AttributeListDeclaration();
      } else if (Skip("<!ENTITY")) {
        EntityDeclaration();
      } else if (Skip("<!NOTATION")) {
        RequireBlanks();
        Name();
        RequireBlanks();
        ExternalId(true);
        EndOfDeclaration();
      } else {
        Fail(BadDtd, P);
      }
    }
  }

  void EndOfDeclaration() {
    Blanks();
    Expect('>', ExpectedEnd);
  }

  // After "<!ELEMENT": S Name S ('EMPTY' | 'ANY' | Mixed | children) S? '>'.
  void ElementDeclaration() {
    RequireBlanks();
    Name();
    RequireBlanks();
    if (!Skip("EMPTY") && !Skip("ANY")) {
      Expect('(', BadModel);
      Blanks();
      if (Skip("#PCDATA")) {
        Blanks();
        bool names = false;
        while (Skip("|")) {
          Blanks();
          Name();
          Blanks();
          names = true;
        }
        Expect(')', BadModel);
        if (!Skip("*") && names) Fail(BadModel, P);
      } else {
        Group(0);
      }
    }
    EndOfDeclaration();
  }

  // A choice or sequence after its "(", with its quantifier.
  void Group(int Depth) {
    if (Depth > 64) Fail(BadModel, P);
    char separator = 0;
    for (;;) {
      Blanks();
      if (Skip("(")) {
        Group(Depth + 1);
      } else {
        Name();
        Quantifier();
      }
      Blanks();
      if (P < End && (*P == '|' || *P == ',') && (!separator || *P == separator)) {
        separator = *P++;
        continue;
      }
      Expect(')', BadModel);
      Quantifier();
      return;
    }
  }

  void Quantifier() {
    if (P < End && (*P == '?' || *P == '*' || *P == '+')) ++P;
  }

  // After "<!ATTLIST": S Name (S Name S AttType S DefaultDecl)* S? '>'. The first declaration
  // of an attribute counts.
  void AttributeListDeclaration() {
    RequireBlanks();
    const std::string element(Name());
    for (;;) {
      const bool blank = Blanks();
      if (Skip(">")) return;
      if (!blank) Fail(P >= End ? EndOfData : MissingBlank, P);
      const std::string_view name = Name();
      RequireBlanks();
      bool normalize = true;
      if (Skip("(")) {
        Enumeration(false);
      } else {
        const std::string_view type = Name();
        static const std::set<std::string_view> types = {"CDATA",   "ID",       "IDREF",
                                                         "IDREFS",  "ENTITY",   "ENTITIES",
                                                         "NMTOKEN", "NMTOKENS", "NOTATION"};
        if (!types.count(type)) Fail(BadDtd, type.data());
        normalize = type != "CDATA";
        if (type == "NOTATION") {
          RequireBlanks();
          Expect('(', BadDtd);
          Enumeration(true);
        }
      }
      RequireBlanks();
      std::wstring wideName;
      wideName.resize(DecodeXmlText(name.data(), name.size(), false, false, wideName));
      const bool first = Declared.insert(element + '\0' + std::string(name)).second;
      if (Skip("#REQUIRED") || Skip("#IMPLIED")) continue;
      if (Skip("#FIXED")) RequireBlanks();
      const std::string_view literal = Quoted(
          L"A string literal was expected, but no opening "
          L"quote character was found.");
      std::wstring value;
      value.resize(DecodeXmlText(literal.data(), literal.size(), true, true, value));
      if (normalize) value = Collapsed(value);
      if (first) Result.Defaults.push_back({element, std::move(wideName), std::move(value)});
    }
  }

  // After "(": names (or name tokens) separated by "|", then ")".
  void Enumeration(bool Names) {
    for (;;) {
      Blanks();
      if (Names) {
        Name();
      } else {
        const char* from = P;
        while (P < End && IsNameChar(static_cast<unsigned char>(*P))) ++P;
        if (P == from) Fail(P >= End ? EndOfData : BadName, P);
      }
      Blanks();
      if (!Skip("|")) break;
    }
    Expect(')', BadDtd);
  }

  static std::wstring Collapsed(const std::wstring& Value) {
    std::wstring out;
    for (wchar_t c : Value) {
      if (c != L' ' || (!out.empty() && out.back() != L' ')) out.push_back(c);
    }
    if (!out.empty() && out.back() == L' ') out.pop_back();
    return out;
  }

  // After "<!ENTITY": S ('%' S)? Name S (EntityValue | ExternalID NDataDecl?) S? '>'.
  void EntityDeclaration() {
    RequireBlanks();
    const bool parameter = Skip("%");
    if (parameter) RequireBlanks();
    Name();
    RequireBlanks();
    if (P < End && (*P == '"' || *P == '\'')) {
      const std::string_view value = Quoted(BadDtd);
      for (const char* p = value.data(); p < value.data() + value.size();) {
        if (*p == '%')
          Fail(
              L"Parameter entities cannot be used inside markup declarations in an internal "
              L"subset.",
              p);
        if (*p++ != '&') continue;
        const char* at = p - 1;
        const std::string_view reference = ReferenceName(p, value.data() + value.size());
        if (reference.empty()) Fail(UndefinedEntity, at);
        if (reference[0] == '#') {
          if (CharacterReference(reference.substr(1)) == 0) Fail(BadReference, at);
        } else {
          CheckXmlName(reference.data(), reference.size());
        }
      }
    } else {
      ExternalId(false);
      const char* before = P;
      if (!parameter && Blanks() && Skip("NDATA")) {
        RequireBlanks();
        Name();
      } else {
        P = before;
      }
    }
    EndOfDeclaration();
  }

  const char* Start;
  const char* P;
  const char* End;
  TXMLProlog Result;
  std::set<std::string> Declared;  // element and attribute, joined by a zero
};

}  // namespace

void CheckXmlName(const char* P, size_t N) {
  if (N == 0 || !IsNameStart(static_cast<unsigned char>(P[0]))) Fail(BadName, P);
  for (size_t i = 1; i < N; ++i) {
    if (!IsNameChar(static_cast<unsigned char>(P[i]))) Fail(BadName, P + i);
  }
}

size_t DecodeXmlName(const char* P, size_t N, std::wstring& Out) {
  if (N == 0 || !IsNameStart(static_cast<unsigned char>(P[0]))) Fail(BadName, P);
  if (Out.size() < N) Out.resize(std::max(N, 2 * Out.size()));
  for (size_t i = 0; i < N; ++i) {
    const auto c = static_cast<unsigned char>(P[i]);
    if (c >= 0x80) {
      CheckXmlName(P, N);
      return DecodeXmlText(P, N, false, false, Out);
    }
    if (!IsNameChar(c)) Fail(BadName, P + i);
    Out[i] = c;
  }
  return N;
}

void CheckPITarget(const char* Target, size_t N, const char* End) {
  CheckXmlName(Target, N);
  if (N == 3 && (Target[0] | 0x20) == 'x' && (Target[1] | 0x20) == 'm' && (Target[2] | 0x20) == 'l')
    Fail(MisplacedDeclaration, Target - 2);
  if (const void* colon = std::memchr(Target, ':', N))
    Fail(BadName, static_cast<const char*>(colon));
  const char* after = Target + N;
  if (after < End && !IsXmlBlank(*after) &&
      !(after + 1 < End && after[0] == '?' && after[1] == '>'))
    Fail(MissingBlank, after);
}

void CheckComment(const char* P, size_t N) {
  const std::string_view text(P, N);
  const size_t dashes = text.find("--");
  if (dashes != std::string_view::npos) {
    Fail(L"Incorrect syntax was used in a comment.", P + dashes);
  }
  if (N > 0 && P[N - 1] == '-') Fail(L"Incorrect syntax was used in a comment.", P + N - 1);
}

void CheckCharacterData(const char* P, size_t N) {
  const char* end = P + N;
  for (const char* p = P; (p = FindByte(p, end, ']')) != nullptr; ++p) {
    if (end - p >= 3 && p[1] == ']' && p[2] == '>')
      Fail(L"The sequence ']]>' is not allowed in text content.", p);
  }
}

size_t DecodeXmlText(const char* P, size_t N, bool References, bool Attribute, std::wstring& Out) {
  // Never more UTF-16 units than UTF-8 bytes.
  if (Out.size() < N) Out.resize(std::max(N, 2 * Out.size()));
  wchar_t* out = Out.data();
  const char* p = P;
  const char* end = P + N;
  const __m128i blank = _mm_set1_epi8(0x20), amp = _mm_set1_epi8('&'), lt = _mm_set1_epi8('<');
  const __m128i zero = _mm_setzero_si128();
  while (p < end) {
    // Plain ASCII, nearly all there is, sixteen characters at a time. As signed bytes, those
    // from 0x80 on are below the blank too.
    while (end - p >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i special = _mm_or_si128(
          _mm_cmplt_epi8(v, blank), _mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, lt)));
      if (_mm_movemask_epi8(special) != 0) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(v, zero));
      out += 16;
      p += 16;
    }
    while (p < end && PlainCharacters.Plain[static_cast<unsigned char>(*p)])
      *out++ = static_cast<unsigned char>(*p++);
    if (p >= end) break;
    uint32_t c = static_cast<unsigned char>(*p);
    if (c < 0x80) {
      ++p;
      if (c == '\r') {
        if (p < end && *p == '\n') ++p;
        c = '\n';
      }
      if (c == '&' && References) {
        const char* q = p;
        c = Reference(q, end);
        p = q;
      } else if (Attribute && (c == '\n' || c == '\t')) {
        c = ' ';
      } else if (Attribute && c == '<') {
        Fail(L"A '<' character cannot be used in an attribute value.", p - 1);
      }
    } else {
      const size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      c &= n == 4 ? 0x07 : n == 3 ? 0x0F : 0x1F;
      for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(p[k]) & 0x3F);
      p += n;
    }
    if (c >= 0x10000) {
      *out++ = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      *out++ = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      *out++ = static_cast<wchar_t>(c);
    }
  }
  return static_cast<size_t>(out - Out.data());
}

TXMLProlog ParseXmlProlog(std::string_view Text) {
  return TPrologParser(Text).Parse();
}

std::string DeclaredXmlEncoding(std::string_view Bytes, std::string_view* Place) {
  TPrologParser parser(Bytes);
  if (!parser.AtDeclaration()) return {};
  try {
    std::string encoding = parser.Declaration();
    if (Place) *Place = parser.EncodingPlace;
    return encoding;
  } catch (const TXMLSyntaxError&) {
    return {};
  }
}
