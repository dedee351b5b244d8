#pragma once
// The program's exception family. Every failure that reaches the user carries a wide message;
// the application catches at the message-loop level and shows it in a message box.
#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::wstring message) : Message(std::move(message)) {}
  const std::wstring& GetMessage() const noexcept { return Message; }
#ifndef GetMessage
  // <windows.h> turns GetMessage into GetMessageW; this keeps e.GetMessage() working when that
  // header comes after this one in a translation unit.
  const std::wstring& GetMessageW() const noexcept { return Message; }
#endif
  // Narrow form for diagnostics only (non-ASCII characters become '?').
  const char* what() const noexcept override;

 private:
  std::wstring Message;
  mutable std::string Narrow;
};

// Text that cannot be decoded by an encoder (uuencoded or xxencoded values).
class EStringFormat : public Exception {
  using Exception::Exception;
};
// A conversion of text to a number or date failed.
class EConvertError : public Exception {
  using Exception::Exception;
};
// The document found one of its invariants broken.
class EAssertionFailed : public Exception {
  using Exception::Exception;
};
// Streams and files: opening, creating, reading, writing.
class EStreamError : public Exception {
  using Exception::Exception;
};
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
  using EStreamError::EStreamError;
};
