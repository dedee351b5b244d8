#pragma once
// The text of a checksum file as the built-in XML parser reads it: UTF-8, a piece at a time, with
// the characters XML forbids found as it goes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// A fatal error of the built-in parser: its message and its offset in the text.
struct TXMLFault {
  std::wstring Message;
  size_t Offset;
};

// A UTF-8 file (the checksum file's own encoding) is read as it is, after a byte-order mark; a
// file in another encoding is decoded whole when it is opened.
class TXMLText {
 public:
  // Raises EFOpenError when the file cannot be opened, EReadError when it cannot be read.
  explicit TXMLText(const std::wstring& FileName);
  // Of the file open for reading by the handle, which it then owns; raises EReadError.
  explicit TXMLText(void* File);
  ~TXMLText();
  TXMLText(const TXMLText&) = delete;
  TXMLText& operator=(const TXMLText&) = delete;

  // The text for another XML reader, before the first Read: a UTF-8 file's byte-order mark stays
  // in front, and the encoding the declaration names is blanked over, so that the reader takes
  // the UTF-8 text as it is, with every character where it was in the file.
  void ForAnotherReader();

  // Appends up to Count more bytes of text to Buffer; false when the text has ended.
  bool Read(std::string& Buffer, size_t Count);
  // Where an offset of the text is, counting lines and characters from its start.
  void Position(size_t Offset, int32_t& Line, int32_t& Column);
  // An encoding the system lacks, or bytes that are no text in the file's encoding: the text
  // ends at the offset.
  std::optional<TXMLFault> Fault;

 private:
  void ReadFile(std::string& Buffer, size_t Count);

  void* File;
  size_t Skip = 0;       // bytes of the file before its text
  bool Decoded = false;  // the whole text is in Whole
  std::string Whole;     // what was read or decoded ahead of the text read so far
  size_t Delivered = 0;  // bytes of Whole handed out
  bool FileEnded = false;
};

// The length of Text's longest prefix of characters XML allows; Forbidden tells whether a
// character XML forbids ends it. When Complete is false, a sequence that the end of Text cuts off
// ends the prefix without being forbidden: the rest of it comes later.
size_t AllowedCharacters(const char* Text, size_t Length, bool Complete, bool& Forbidden);

// The Windows code page of an encoding name of the XML declaration; 0 when unknown.
uint32_t CodePageOfEncoding(std::string Name);

extern const wchar_t InvalidCharacter[];
