#pragma once
// Stand-ins for what a SAX reader would lose of a checksum file.
//
// The writer stores a CR as the reference "&#13;", so that no reader turns a CR LF into LF. Wine's
// msxml3 hands a CR from a character reference back as LF all the same. Where the installed
// reader does, it gets the text as UTF-8 with every reference to a CR replaced by a stand-in that
// it keeps: U+FDD0 followed by "1". U+FDD0 is a noncharacter that XML allows in text and attribute
// values but not in names, so a U+FDD0 of the text itself is escaped as U+FDD0 "0" wherever it
// stands; references stay as they are in comments, processing instructions and CDATA sections,
// where they are none. The reader's events restore both. The same reader drops what follows the
// last line end of a CDATA section, so a section is split after each of its line ends. A CR
// alone, at which it starts its columns again but not its lines, reaches it as the LF that XML
// makes of it anyway: so each place it names lies on one line of the text.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

constexpr wchar_t StandInMark = L'\xFDD0';

// Rewrites UTF-8 text for the reader a piece at a time, and keeps where the rewritten text differs
// in length from the text, so that a place the reader names can be named in the text itself.
class TStandInText {
 public:
  // Appends the rewritten bytes to Out. A reference or a CR that the end of Bytes cuts off is
  // completed by the next call.
  void Rewrite(std::string_view Bytes, std::string& Out);
  // At the end of the text: appends what was held back.
  void Finish(std::string& Out);

  // A place as msxml3 names it in the rewritten text, its line counted at LFs only and its column
  // in bytes from the line's start, made the same place in the text.
  void Place(int32_t& Line, int32_t& Column) const;
  // The reader has left the lines before Line: their places are needed no more.
  void Forget(int32_t Line);

 private:
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

  void Run(const char* P, const char* End, std::string& Out);
  const char* Plain(const char* P, const char* End) const;
  void Step(const char* P, const char*& Copied, std::string& Out);
  bool StepReference(unsigned char C, std::string& Out);
  void FlushReference(std::string& Out);
  void SplitCData(std::string& Out);
  void Edited(const std::string& Out, int64_t Delta, bool LoneCR = false);
  void Locate(const std::string& Out);

  TMode Mode = TMode::Text;
  uint8_t Count = 0;  // "CDATA[" matched, or closing "-", "?" or "]" seen
  char Quote = 0;
  bool HeldCR = false;    // a CR, which an LF may follow
  uint8_t Utf8Mark = 0;   // bytes of a literal U+FDD0 seen so far
  TRef Ref = TRef::None;  // a character reference being read
  bool Hex = false;
  size_t Zeros = 0;     // leading zeros of its digits
  char Digits[5] = {};  // its other digits as written
  uint8_t DigitCount = 0;
  uint32_t Value = 0;

  // An edit of the text, placed in the rewritten text just after it: bytes it added (removed
  // when negative), or a CR alone made an LF, which begins a line the text does not count.
  struct TEdit {
    int64_t Offset;  // in the rewritten text
    int64_t Line = 0;
    int64_t Column = 0;
    int64_t Delta = 0;
    bool LoneCR = false;
  };
  std::deque<TEdit> Edits;
  size_t Unplaced = 0;       // edits at the end whose line and column are not known yet
  size_t OutFrom = 0;        // where the current call began to write
  int64_t Written = 0;       // bytes of rewritten text before the current call
  int64_t Line = 1;          // of the rewritten text at Written
  int64_t LineStart = 0;     // where that line begins
  int64_t ForgottenCRs = 0;  // lone CRs among the forgotten edits
};

// Restores what the stand-ins stand for in the text the reader reports.
class TStandInRestorer {
 public:
  // A piece of character data. A stand-in that the end of a piece cuts off is held and
  // completed by the next piece.
  std::wstring_view Piece(std::wstring_view Text);
  // What is held when markup follows (nothing in text a TStandInText wrote).
  std::wstring_view Flush();
  // The value of the start tag's attribute Index. Each stays valid, wherever it is read, until a
  // value of the same index is asked for again for the next start tag.
  std::wstring_view Value(size_t Index, std::wstring_view Text);

 private:
  static void Restore(std::wstring_view Text, std::wstring& Out, bool& Held);
  std::wstring Buffer;
  bool Held = false;
  std::deque<std::wstring> Values;  // stay in place as they grow in number
};
