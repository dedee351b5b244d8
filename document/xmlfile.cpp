#include "document/xmlfile.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

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

// The start of the new files' names beside Target: "~jv" and eight hex digits from the target's
// name (letter case ignored, as the file system ignores it). What follows tells the saves apart,
// so the name stays short whatever the target's name is.
std::wstring TempStemOf(const std::wstring& Target) {
  const size_t slash = Target.find_last_of(L"\\/:");
  const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
  std::wstring name = Target.substr(start);
  if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  uint32_t hash = 2166136261u;  // FNV-1a over the UTF-16 units
  for (wchar_t c : name) hash = (hash ^ static_cast<uint16_t>(c)) * 16777619u;
  wchar_t stem[12];
  swprintf(stem, 12, L"~jv%08x", hash);
  return Target.substr(0, start) + stem;
}

// One save's new file: the stem, the id of the process that saves and a number of its own.
std::wstring TempNameOf(const std::wstring& Stem, DWORD Process, unsigned Serial) {
  wchar_t rest[32];
  swprintf(rest, 32, L"-%lx-%x.tmp", static_cast<unsigned long>(Process), Serial);
  return Stem + rest;
}

// An id that another process has taken since counts as running: its file waits for a later save.
bool ProcessHasEnded(DWORD Id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, Id);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no process has that id
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

// Removes what saves of the target left when their process ended before they finished: files
// named exactly as a save names its new file, by a process that no longer runs. Nothing else
// goes: not a folder, a link or a read-only file under such a name, none of which a save makes;
// the file of a save still under way is open, and no one may delete it while it is.
void RemoveLeftovers(const std::wstring& Stem) {
  const std::wstring folder = Stem.substr(0, Stem.find_last_of(L"\\/:") + 1);
  const size_t skip = Stem.size() - folder.size() + 1;  // the stem and its dash
  WIN32_FIND_DATAW d;
  HANDLE find = FindFirstFileW(AddLongPathPrefix(Stem + L"-*.tmp").c_str(), &d);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (d.dwFileAttributes &
        (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY))
      continue;
    // The process and the number, read back and written again: only our own spelling counts.
    if (std::wcslen(d.cFileName) <= skip) continue;
    wchar_t* end = nullptr;
    const unsigned long process = std::wcstoul(d.cFileName + skip, &end, 16);
    const unsigned long serial = *end == L'-' ? std::wcstoul(end + 1, &end, 16) : 0;
    const std::wstring name = folder + d.cFileName;
    if (process == 0 || serial == 0 || name != TempNameOf(Stem, process, serial) ||
        !ProcessHasEnded(process))
      continue;
    DeleteFileW(AddLongPathPrefix(name).c_str());
  } while (FindNextFileW(find, &d));
  FindClose(find);
}

// Gives the finished new file, open as File, the name Target; returns ERROR_SUCCESS or the
// system's error. Renaming the open file moves exactly what this save wrote, whatever another
// program does with names meanwhile; whatever fails, Target keeps the old file.
DWORD MoveIntoPlace(HANDLE File, const std::wstring& Target) {
  WIN32_FILE_ATTRIBUTE_DATA old;
  const bool replace = GetFileAttributesExW(Target.c_str(), GetFileExInfoStandard, &old);
  if (replace) {
    if (IsReadOnlyFile(old.dwFileAttributes)) return ERROR_ACCESS_DENIED;
    // The old file's marks and creation time stay with the name, as a replacement keeps them;
    // its content changed, so backups are to see it as changed.
    constexpr DWORD kept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};
    basic.CreationTime.LowPart = old.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(old.ftCreationTime.dwHighDateTime);
    basic.FileAttributes = (old.dwFileAttributes & kept) | FILE_ATTRIBUTE_ARCHIVE;
    SetFileInformationByHandle(File, FileBasicInfo, &basic, sizeof(basic));
  }
  // A file that appears meanwhile where there was none is not replaced unseen.
  std::vector<char> buffer(offsetof(FILE_RENAME_INFO, FileName) +
                           (Target.size() + 1) * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace;
  info->FileNameLength = static_cast<DWORD>(Target.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, Target.c_str(), Target.size() * sizeof(wchar_t));
  return SetFileInformationByHandle(File, FileRenameInfo, info, static_cast<DWORD>(buffer.size()))
             ? ERROR_SUCCESS
             : GetLastError();
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
  // Beside the target, so that the final rename stays on one volume, under a name no other save
  // takes. The file stays open until it is in place, shared for reading only, so that no one
  // can remove, rename or replace it meanwhile.
  const std::wstring stem = TempStemOf(Target);
  RemoveLeftovers(stem);
  static unsigned serial = 0;
  std::wstring name;
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TempNameOf(stem, GetCurrentProcessId(), ++serial);
    Handle = CreateFileW(AddLongPathPrefix(name).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr);
    if (Handle != INVALID_HANDLE_VALUE) break;
    error = GetLastError();
    // Whatever stands under that name stays, and the next name is tried. The error names what is
    // in the way, or else the target.
    if (GetFileAttributesW(AddLongPathPrefix(name).c_str()) == INVALID_FILE_ATTRIBUTES) {
      name = Target;
      break;
    }
  }
  if (Handle == INVALID_HANDLE_VALUE)
    throw EFCreateError(FileErrorText(L"Cannot create file", name, error));
  Buffer.resize(WriteBlock + 65536);
}

TXMLFileWriter::~TXMLFileWriter() {
  if (Handle != INVALID_HANDLE_VALUE) {
    FILE_DISPOSITION_INFO gone{TRUE};
    SetFileInformationByHandle(Handle, FileDispositionInfo, &gone, sizeof(gone));
    CloseHandle(Handle);
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
  const DWORD error = MoveIntoPlace(Handle, AddLongPathPrefix(Target));
  if (error != ERROR_SUCCESS)
    throw EFCreateError(FileErrorText(L"Cannot create file", Target, error));
  CloseHandle(Handle);
  Handle = INVALID_HANDLE_VALUE;
}

void* OpenXMLFileForReading(const std::wstring& FileName) {
  HANDLE h = CreateFileW(AddLongPathPrefix(FileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    throw EFOpenError(FileErrorText(L"Cannot open file", FileName, GetLastError()));
  }
  return h;
}
