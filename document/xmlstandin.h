#pragma once
// Stand-ins for what a SAX reader would lose of a checksum file.
//
// The writer stores a CR as the reference "&#13;", so that no reader turns a CR LF into LF. Wine's
// msxml3 hands a CR from a character reference back as LF all the same. Where the installed
// reader does, the text reaches it with every reference to a CR replaced by a stand-in that it
// keeps: U+FDD0 followed by "1". U+FDD0 is a noncharacter that XML allows in text and attribute
// values but not in names, so a U+FDD0 of the text itself is escaped as U+FDD0 "0" wherever it
// stands; references stay as they are in comments, processing instructions and CDATA sections,
// where they are none. The reader's events restore both. The same reader drops what follows the
// last line end of a CDATA section, so a section is split after each of its line ends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr wchar_t StandInMark = L'\xFDD0';

// Rewrites the bytes of a text for the reader, in the text's own encoding, a piece at a time.
// UTF-8, UTF-16 and the code pages of one or two bytes a character are rewritten; a text in
// another encoding, or one whose encoding its first bytes do not tell, passes as it is.
class TStandInText {
 public:
  // Head: the first bytes of the text, the xml declaration included when there is one.
  explicit TStandInText(std::string_view Head);

  // Appends the rewritten bytes to Out. A reference that the end of Bytes cuts off is completed
  // by the next call.
  void Rewrite(std::string_view Bytes, std::string& Out);
  // At the end of the text: appends what was held back.
  void Finish(std::string& Out);

 private:
  enum class TUnits : uint8_t { AsIs, Bytes, Utf16LE, Utf16BE };
  // Tag and Quote: a declaration of the document type, and a literal in it.
  enum class TMode : uint8_t {
    Text,
    Lt,
    Bang,
    BangDash,
    CDataOpen,
    Tag,
    Quote,
    Comment,
    PI,
    CData
  };
  enum class TRef : uint8_t { None, Amp, Hash, Digits };

  template <typename Unit>
  void Run(const Unit* P, const Unit* End, std::basic_string<Unit>& Out);
  template <typename Unit>
  const Unit* Plain(const Unit* P, const Unit* End) const;
  template <typename Unit>
  void Step(const Unit* P, const Unit*& Copied, std::basic_string<Unit>& Out);
  template <typename Unit>
  bool StepReference(uint32_t C, std::basic_string<Unit>& Out);
  template <typename Unit>
  void FlushReference(std::basic_string<Unit>& Out);
  template <typename Unit>
  void PutStandIn(char Code, std::basic_string<Unit>& Out) const;
  template <typename Unit>
  void SplitCData(const Unit* P, const Unit*& Copied, std::basic_string<Unit>& Out);
  void AppendUnits(std::string& Out) const;

  TUnits Units = TUnits::AsIs;
  bool Utf8 = false;     // U+FDD0 can stand in the text as it is
  bool Dbcs = false;     // a code page of two bytes a character
  bool Lead[256] = {};   // its lead bytes
  bool Trail = false;    // the next byte is the second of a character
  uint8_t Utf8Mark = 0;  // bytes of a literal U+FDD0 seen so far
  TMode Mode = TMode::Text;
  uint8_t Count = 0;  // "CDATA[" matched, or closing "-", "?" or "]" seen
  char Quote = 0;
  bool CDataCR = false;   // a CDATA section's CR, which an LF may follow
  TRef Ref = TRef::None;  // a character reference being read
  bool Hex = false;
  size_t Zeros = 0;     // leading zeros of its digits
  char Digits[5] = {};  // its other digits as written
  uint8_t DigitCount = 0;
  uint32_t Value = 0;
  std::u16string Wide, WideOut;  // UTF-16 as units
  std::string Odd;               // a byte of a unit that the end of a piece cut off
};

// Restores what the stand-ins stand for in the text the reader reports.
class TStandInRestorer {
 public:
  // A piece of character data. A stand-in that the end of a piece cuts off is held and
  // completed by the next piece.
  std::wstring_view Piece(std::wstring_view Text);
  // What is held when markup follows (nothing in text a TStandInText wrote).
  std::wstring_view Flush();
  // A whole value, an attribute's.
  std::wstring_view Value(std::wstring_view Text);

 private:
  std::wstring Buffer;
  bool Held = false;
};
