#pragma once
// Byte streams for the text lists: a file by its wide path, and memory (tests, clipboard).
#include <cstdint>
#include <string>

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to Count bytes at the position; returns how many, 0 at the end. Raises EReadError.
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  // Writes up to Count bytes at the position; returns how many were accepted (fewer means the
  // medium refused the rest, e.g. a full disk).
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
};

enum TFileStreamMode { fmOpenRead, fmCreate };

class TFileStream : public TStream {
 public:
  // fmOpenRead opens an existing file shared for reading (EFOpenError); fmCreate creates or
  // empties the file for writing (EFCreateError).
  TFileStream(const std::wstring& FileName, TFileStreamMode Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;

 private:
  std::wstring FileName;
  void* Handle;
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string Bytes) : Data(std::move(Bytes)) {}

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;

  std::string Data;
  size_t Position = 0;
};
