#pragma once
// Well-formedness rules the built-in XML parser checks itself, because rapidxml passes over them:
// names, references, comments, processing instructions, "]]>" in text, and the whole prolog (the
// xml declaration and the document type declaration with its internal subset).
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A well-formedness error: the message and where in the text it was found.
struct TXMLSyntaxError {
  const wchar_t* Message;
  const char* Where;
};

inline bool IsXmlBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The first C in [P, End), or nullptr; sixteen bytes at a time, since the C library's search
// goes byte by byte where the program runs under Wine.
inline const char* FindByte(const char* P, const char* End, char C) {
  const __m128i c = _mm_set1_epi8(C);
  for (; End - P >= 16; P += 16) {
    const int mask =
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P)), c));
    if (mask) return P + __builtin_ctz(mask);
  }
  for (; P < End; ++P) {
    if (*P == C) return P;
  }
  return nullptr;
}

// The checks below raise TXMLSyntaxError. Text is UTF-8 that passed the character check; End
// bounds what may be read after a piece.
void CheckXmlName(const char* P, size_t N);
// A processing instruction's target and what follows it.
void CheckPITarget(const char* Target, size_t N, const char* End);
// The text between "<!--" and "-->".
void CheckComment(const char* P, size_t N);
// Character data as written between markup.
void CheckCharacterData(const char* P, size_t N);

// Checks a name as CheckXmlName does and decodes it as DecodeXmlText does.
size_t DecodeXmlName(const char* P, size_t N, std::wstring& Out);
// Decodes text to the start of Out, which grows as needed and keeps its size; returns the
// length. Line ends become LF, references are expanded when asked for, and in attribute values
// blanks of any kind become spaces.
size_t DecodeXmlText(const char* P, size_t N, bool References, bool Attribute, std::wstring& Out);

// An attribute value the internal subset gives an element when its start tag leaves it out.
struct TAttributeDefault {
  std::string Element;
  std::wstring Name;
  std::wstring Value;
};

struct TXMLProlog {
  size_t RootStart = 0;  // where the root element's start tag begins
  std::vector<TAttributeDefault> Defaults;
};

// Checks everything before the root element.
TXMLProlog ParseXmlProlog(std::string_view Text);
// The encoding an xml declaration at the start of Bytes names; empty when there is none or the
// declaration is malformed (the prolog check reports that). Place, when given, gets the
// declaration's encoding part, from "encoding" to the closing quote.
std::string DeclaredXmlEncoding(std::string_view Bytes, std::string_view* Place = nullptr);
