#pragma once
// Text encodings of hash values. Encoders hold no state and are never created: each class has
// one constant object, and a class reference (TCoderClass) points to it.
//
//   TCoderClass c = &TCoder_HEX::ClassInfo;   // or FindCoder("HEX")
//   std::string text;
//   c->Encode(digest, size, text);
//
// Every text or data argument is a pointer and a length; a negative length means the text is
// zero-terminated and is measured.
#include <cstdint>
#include <string>

#include "hash/errors.h"

class TCoder;
using TCoderClass = const TCoder*;

// The registry name of an encoder class: the class name after its first underscore
// ("TCoder_MIME64" -> "MIME64"); a name without an underscore is returned whole.
std::string CoderNameOf(const char* ClassName);

// The base class copies bytes unchanged ("Binary").
class TCoder {
 public:
  TCoder(const TCoder&) = delete;
  TCoder& operator=(const TCoder&) = delete;

  virtual void Decode(const char* Text, int32_t Len, std::string& Bytes) const;
  virtual void Encode(const void* Data, int32_t Size, std::string& Text) const;
  virtual std::string CoderName() const;
  virtual std::string DisplayName() const;
  // Whether Text can be a value of this encoding; without Strict every text passes.
  virtual bool IsValid(const char* Text, int32_t Len, bool Strict) const;
  // False: values compare ignoring the case of ASCII letters.
  virtual bool CaseSensitive() const;
  virtual const char* ClassName() const;

  static const TCoder ClassInfo;

 protected:
  constexpr TCoder() = default;
};

class TCoder_HEX : public TCoder {
 public:
  void Decode(const char* Text, int32_t Len, std::string& Bytes) const override;
  void Encode(const void* Data, int32_t Size, std::string& Text) const override;
  std::string DisplayName() const override;
  bool IsValid(const char* Text, int32_t Len, bool Strict) const override;
  bool CaseSensitive() const override;
  const char* ClassName() const override;
  // The alphabet: digits in value order, special characters, then characters the strict
  // validity test accepts and the decoders skip.
  virtual const char* CharTable() const;

  static const TCoder_HEX ClassInfo;

 protected:
  constexpr TCoder_HEX() = default;
};

// Hexadecimal with the bytes in reverse order: the usual way a little-endian CRC-32 is printed.
class TCoder_HEXi : public TCoder_HEX {
 public:
  void Decode(const char* Text, int32_t Len, std::string& Bytes) const override;
  void Encode(const void* Data, int32_t Size, std::string& Text) const override;
  std::string DisplayName() const override;
  const char* ClassName() const override;

  static const TCoder_HEXi ClassInfo;

 protected:
  constexpr TCoder_HEXi() = default;
};

// Base64 without line breaks.
class TCoder_MIME64 : public TCoder_HEX {
 public:
  void Decode(const char* Text, int32_t Len, std::string& Bytes) const override;
  void Encode(const void* Data, int32_t Size, std::string& Text) const override;
  std::string DisplayName() const override;
  bool CaseSensitive() const override;
  const char* ClassName() const override;
  const char* CharTable() const override;

  static const TCoder_MIME64 ClassInfo;

 protected:
  constexpr TCoder_MIME64() = default;
};

// Uuencoding: lines of at most 45 bytes, each led by its length character, with no separator.
// Decode raises EStringFormat when a line-length character is not one.
class TCoder_UU : public TCoder {
 public:
  void Decode(const char* Text, int32_t Len, std::string& Bytes) const override;
  void Encode(const void* Data, int32_t Size, std::string& Text) const override;
  std::string DisplayName() const override;
  bool IsValid(const char* Text, int32_t Len, bool Strict) const override;
  const char* ClassName() const override;
  virtual const char* CharTable() const;

  static const TCoder_UU ClassInfo;

 protected:
  constexpr TCoder_UU() = default;
};

// Xxencoding: uuencoding with another alphabet.
class TCoder_XX : public TCoder_UU {
 public:
  std::string DisplayName() const override;
  const char* ClassName() const override;
  const char* CharTable() const override;

  static const TCoder_XX ClassInfo;

 protected:
  constexpr TCoder_XX() = default;
};
