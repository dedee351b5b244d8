#include "document/xmlfile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "hash/misc.h"
#include "hash/errors.h"

namespace {

constexpr size_t WriteBlock = 1 << 20;

std::wstring FileErrorText(const wchar_t* What, const std::wstring& FileName, DWORD Code) {
  return std::wstring(What) + L" \"" + FileName + L"\". " + SystemErrorText(Code);
}

// Windows refuses to create a file over a read-only one; Wine's rename would replace it and drop
// the mark. The user protected the file, so it is refused before anything is written.
bool IsReadOnlyFile(DWORD Attributes) {
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_READONLY) &&
         !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Gives the finished new file Temp the name Target; returns ERROR_SUCCESS or the system's error.
// Whatever fails, Target keeps the old file.
DWORD MoveIntoPlace(const std::wstring& Temp, const std::wstring& Target) {
  const DWORD attributes = GetFileAttributesW(Target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // A new file. A file that appears meanwhile is not replaced unseen.
    return MoveFileExW(Temp.c_str(), Target.c_str(), MOVEFILE_WRITE_THROUGH) ? ERROR_SUCCESS
                                                                             : GetLastError();
  }
  if (IsReadOnlyFile(attributes)) return ERROR_ACCESS_DENIED;
  // ReplaceFileW keeps the old file's security and creation time, but Wine's drops its marks, so
  // the new file takes them first. Its content changed: backups are to see it as changed.
  constexpr DWORD kept =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  SetFileAttributesW(Temp.c_str(), (attributes & kept) | FILE_ATTRIBUTE_ARCHIVE);
  // The old file goes to a name of our own: without one, Wine parks it under a name it makes up
  // and leaves that file behind when the replacement fails.
  const std::wstring backup = Temp.substr(0, Temp.find_last_of(L'.')) + L".bak";
  if (ReplaceFileW(Target.c_str(), Temp.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                   nullptr, nullptr)) {
    DeleteFileW(backup.c_str());
    return ERROR_SUCCESS;
  }
  const DWORD error = GetLastError();
  // A replacement that failed half-way leaves the old file under the backup name.
  if (GetFileAttributesW(Target.c_str()) == INVALID_FILE_ATTRIBUTES)
    MoveFileExW(backup.c_str(), Target.c_str(), MOVEFILE_WRITE_THROUGH);
  return error;
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
  if (IsReadOnlyFile(GetFileAttributesW(AddLongPathPrefix(Target).c_str())))
    throw EFCreateError(FileErrorText(L"Cannot create file", Target, ERROR_ACCESS_DENIED));
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
  Buffer.resize(WriteBlock + 65536);
}

TXMLFileWriter::~TXMLFileWriter() {
  if (Handle != INVALID_HANDLE_VALUE) {
    CloseHandle(Handle);
    DeleteFileW(AddLongPathPrefix(TempName).c_str());
  }
}

char* TXMLFileWriter::Room(size_t Count) {
  if (Buffer.size() - Used < Count) {
    FlushBuffer();
    if (Buffer.size() < Count) Buffer.resize(Count);
  }
  return Buffer.data() + Used;
}

void TXMLFileWriter::Written(char* End) {
  Used = End - Buffer.data();
  if (Used >= WriteBlock) FlushBuffer();
}

void TXMLFileWriter::WriteBytes(std::string_view Bytes) {
  char* p = Room(Bytes.size());
  std::memcpy(p, Bytes.data(), Bytes.size());
  Written(p + Bytes.size());
}

void TXMLFileWriter::FlushBuffer() {
  size_t done = 0;
  while (done < Used) {
    const DWORD part = static_cast<DWORD>(std::min<size_t>(Used - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(Handle, Buffer.data() + done, part, &written, nullptr) || written != part) {
      throw EWriteError(L"Stream write error");
    }
    done += written;
  }
  Used = 0;
}

void TXMLFileWriter::Commit() {
  FlushBuffer();
  if (!FlushFileBuffers(Handle)) throw EWriteError(L"Stream write error");
  CloseHandle(Handle);
  Handle = INVALID_HANDLE_VALUE;
  const std::wstring temp = AddLongPathPrefix(TempName);
  const DWORD error = MoveIntoPlace(temp, AddLongPathPrefix(Target));
  if (error != ERROR_SUCCESS) {
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
