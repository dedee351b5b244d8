#include "document/xmlfile.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "document/xml.h"
#include "hash/misc.h"
#include "hash/errors.h"

namespace {

constexpr size_t WriteBlock = 1 << 20;

std::wstring FileErrorText(const wchar_t* What, const std::wstring& FileName, DWORD Code) {
  return std::wstring(What) + L" \"" + FileName + L"\". " + SystemErrorText(Code);
}

}  // namespace

std::wstring SystemErrorText(unsigned long Code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, Code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", n);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) message = L"System error " + std::to_wstring(Code);
  return message;
}

TXMLFileWriter::TXMLFileWriter(const std::wstring& FileName)
    : Target(FileName), Handle(INVALID_HANDLE_VALUE) {
  // A short name of our own in the target's folder, so that the final rename stays on one
  // volume and the name stays within the limits of a name component.
  const size_t slash = Target.find_last_of(L"\\/:");
  const std::wstring folder = slash == std::wstring::npos ? L"" : Target.substr(0, slash + 1);
  static unsigned counter = 0;
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[40];
    swprintf(name, 40, L"~jv%lx_%x.tmp", GetCurrentProcessId(), ++counter);
    TempName = folder + name;
    Handle = CreateFileW(AddLongPathPrefix(TempName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (Handle != INVALID_HANDLE_VALUE) break;
    error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  if (Handle == INVALID_HANDLE_VALUE) {
    throw EFCreateError(FileErrorText(L"Cannot create file", Target, error));
  }
  Buffer.reserve(WriteBlock + 4096);
}

TXMLFileWriter::~TXMLFileWriter() {
  if (Handle != INVALID_HANDLE_VALUE) {
    CloseHandle(Handle);
    DeleteFileW(AddLongPathPrefix(TempName).c_str());
  }
}

void TXMLFileWriter::Write(std::wstring_view Text) {
  AppendXMLUtf8(Buffer, Text);
  if (Buffer.size() >= WriteBlock) FlushBuffer();
}

void TXMLFileWriter::WriteBytes(std::string_view Bytes) {
  Buffer.append(Bytes);
  if (Buffer.size() >= WriteBlock) FlushBuffer();
}

void TXMLFileWriter::FlushBuffer() {
  size_t done = 0;
  while (done < Buffer.size()) {
    const DWORD part = static_cast<DWORD>(std::min<size_t>(Buffer.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(Handle, Buffer.data() + done, part, &written, nullptr) || written != part) {
      throw EWriteError(L"Stream write error");
    }
    done += written;
  }
  Buffer.clear();
}

void TXMLFileWriter::Commit() {
  FlushBuffer();
  if (!FlushFileBuffers(Handle)) throw EWriteError(L"Stream write error");
  CloseHandle(Handle);
  Handle = INVALID_HANDLE_VALUE;
  const std::wstring temp = AddLongPathPrefix(TempName);
  if (!MoveFileExW(temp.c_str(), AddLongPathPrefix(Target).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileW(temp.c_str());
    throw EFCreateError(FileErrorText(L"Cannot create file", Target, error));
  }
}

void* OpenXMLFileForReading(const std::wstring& FileName) {
  HANDLE h = CreateFileW(AddLongPathPrefix(FileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    throw EFOpenError(FileErrorText(L"Cannot open file", FileName, GetLastError()));
  }
  return h;
}
