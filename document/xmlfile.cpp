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

// The new file's name beside Target: "~jv", eight hex digits from the target's name (letter case
// ignored, as the file system ignores it) and ".tmp"; short whatever the target's name is. One
// name per target, so a save the process did not live to finish leaves its file under a name
// the next save of that target knows.
std::wstring TempNameOf(const std::wstring& Target) {
  const size_t slash = Target.find_last_of(L"\\/:");
  const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
  std::wstring name = Target.substr(start);
  if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  uint32_t hash = 2166136261u;  // FNV-1a over the UTF-16 units
  for (wchar_t c : name) hash = (hash ^ static_cast<uint16_t>(c)) * 16777619u;
  wchar_t derived[20];
  swprintf(derived, 20, L"~jv%08x.tmp", hash);
  return Target.substr(0, start) + derived;
}

// A file under one of our derived names is ours unless it is something we never make: a folder,
// a link, or a file someone made read-only. Returns why it stays when it is ours, or
// ERROR_SUCCESS.
DWORD RemoveLeftover(const std::wstring& Name) {
  const DWORD attributes = GetFileAttributesW(Name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
      IsReadOnlyFile(attributes))
    return ERROR_SUCCESS;
  return DeleteFileW(Name.c_str()) ? ERROR_SUCCESS : GetLastError();
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
  // and leaves that file behind when the replacement fails. One left by a replacement the
  // process did not live to finish is older than the target, which exists.
  const std::wstring backup = Temp.substr(0, Temp.find_last_of(L'.')) + L".bak";
  RemoveLeftover(backup);
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
  // Beside the target, so that the final rename stays on one volume. What a save of this
  // target left when its process was ended goes first; a save of it still running elsewhere
  // keeps its file open, and this one then fails rather than take it away.
  TempName = TempNameOf(Target);
  const std::wstring temp = AddLongPathPrefix(TempName);
  const DWORD kept = RemoveLeftover(temp);
  Handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    throw EFCreateError(FileErrorText(L"Cannot create file", Target,
                                      error == ERROR_FILE_EXISTS && kept ? kept : error));
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
