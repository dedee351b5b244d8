#include "document/stream.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "document/xmlfile.h"
#include "hash/errors.h"
#include "hash/misc.h"

TFileStream::TFileStream(const std::wstring& FileName, TFileStreamMode Mode) : FileName(FileName) {
  const std::wstring path = AddLongPathPrefix(FileName);
  if (Mode == fmCreate)
    Handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  else
    Handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) {
    const std::wstring why = SystemErrorText(GetLastError());
    if (Mode == fmCreate) throw EFCreateError(L"Cannot create file \"" + FileName + L"\". " + why);
    throw EFOpenError(L"Cannot open file \"" + FileName + L"\". " + why);
  }
}

TFileStream::~TFileStream() {
  CloseHandle(Handle);
}

int32_t TFileStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  DWORD done = 0;
  if (!ReadFile(Handle, Buffer, static_cast<DWORD>(Count), &done, nullptr))
    throw EReadError(L"Error reading file \"" + FileName + L"\". " +
                     SystemErrorText(GetLastError()));
  return static_cast<int32_t>(done);
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  DWORD done = 0;
  if (!WriteFile(Handle, Buffer, static_cast<DWORD>(Count), &done, nullptr)) return 0;
  return static_cast<int32_t>(done);
}

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0 || Position >= Data.size()) return 0;
  const size_t n = std::min(Data.size() - Position, static_cast<size_t>(Count));
  std::memcpy(Buffer, Data.data() + Position, n);
  Position += n;
  return static_cast<int32_t>(n);
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  const size_t n = static_cast<size_t>(Count);
  if (Data.size() < Position + n) Data.resize(Position + n);
  std::memcpy(Data.data() + Position, Buffer, n);
  Position += n;
  return Count;
}
