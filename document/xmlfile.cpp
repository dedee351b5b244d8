#include "document/xmlfile.h"

#include <windows.h>
#include <aclapi.h>

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

// Why a save failed, as the user reads it. The system's text for a file held open without
// letting it be deleted does not say that another program holds it (Wine's says only "Sharing
// violation").
std::wstring ReasonText(DWORD Code) {
  return Code == ERROR_SHARING_VIOLATION ? L"The file is in use by another program"
                                         : SystemErrorText(Code);
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

// A name of this process's own for a file of a save.
std::wstring NextTempName(const std::wstring& Stem) {
  static unsigned serial = 0;
  return TempNameOf(Stem, GetCurrentProcessId(), ++serial);
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
// named exactly as a save names its files, by a process that no longer runs. Nothing else goes:
// not a folder, a link or a read-only file under such a name, none of which a save makes; the
// file of a save still under way is open, and no one may delete it while it is.
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

// A handle closed when it goes.
class THandle {
 public:
  explicit THandle(HANDLE H) : H(H) {}
  ~THandle() {
    if (H != INVALID_HANDLE_VALUE) CloseHandle(H);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  operator HANDLE() const { return H; }
  explicit operator bool() const { return H != INVALID_HANDLE_VALUE; }

 private:
  HANDLE H;
};

// Renaming with POSIX semantics, which replaces a file that others hold open, is Windows 10's;
// MinGW's headers declare it only for that target.
constexpr auto FileRenameInfoExClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD RenameReplaceIfExists = 0x1, RenamePosixSemantics = 0x2;

// Gives the open File the name To; with FileRenameInfoExClass, Flags are its flags, otherwise
// RenameReplaceIfExists alone counts. Returns ERROR_SUCCESS or the system's error.
DWORD Rename(HANDLE File, const std::wstring& To, FILE_INFO_BY_HANDLE_CLASS Class, DWORD Flags) {
  std::vector<char> buffer(offsetof(FILE_RENAME_INFO, FileName) +
                           (To.size() + 1) * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  if (Class == FileRenameInfoExClass)
    std::memcpy(info, &Flags, sizeof(Flags));  // the flags share their place with the Boolean
  else
    info->ReplaceIfExists = (Flags & RenameReplaceIfExists) != 0;
  info->FileNameLength = static_cast<DWORD>(To.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, To.c_str(), To.size() * sizeof(wchar_t));
  return SetFileInformationByHandle(File, Class, info, static_cast<DWORD>(buffer.size()))
             ? ERROR_SUCCESS
             : GetLastError();
}

// The old file's marks and creation time stay with the name, as a replacement keeps them; its
// content changed, so backups are to see it as changed.
void KeepMarksAndCreationTime(HANDLE File, const BY_HANDLE_FILE_INFORMATION& Old) {
  constexpr DWORD kept =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO basic{};
  basic.CreationTime.LowPart = Old.ftCreationTime.dwLowDateTime;
  basic.CreationTime.HighPart = static_cast<LONG>(Old.ftCreationTime.dwHighDateTime);
  basic.FileAttributes = (Old.dwFileAttributes & kept) | FILE_ATTRIBUTE_ARCHIVE;
  SetFileInformationByHandle(File, FileBasicInfo, &basic, sizeof(basic));
}

// The entries of Dacl set on the file itself, without those it inherits from its folder; false
// when there are none.
bool ExplicitEntries(PACL Dacl, std::vector<char>& Storage) {
  ACL_SIZE_INFORMATION size;
  if (!GetAclInformation(Dacl, &size, sizeof(size), AclSizeInformation)) return false;
  Storage.resize(size.AclBytesInUse);
  auto* acl = reinterpret_cast<PACL>(Storage.data());
  if (!InitializeAcl(acl, size.AclBytesInUse, Dacl->AclRevision)) return false;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(Dacl, i, reinterpret_cast<void**>(&ace)) || (ace->AceFlags & INHERITED_ACE))
      continue;
    if (!AddAce(acl, Dacl->AclRevision, MAXDWORD, ace, ace->AceSize)) return false;
  }
  return acl->AceCount > 0;
}

// What a replacement keeps of the old file's security, as ReplaceFileW keeps it: an access list
// set on the file itself, with its protection from what the folder passes on (an inherited one
// the new file inherits alike). The owner stays the user who saves, as ReplaceFileW, which may
// not change owners, leaves it. A file system without access lists, or Wine's that keeps none,
// changes nothing, and the save goes on.
void CarrySecurity(HANDLE Old, HANDLE File) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(Old, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                      nullptr, &descriptor) != ERROR_SUCCESS)
    return;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  std::vector<char> storage;
  const bool present = control & SE_DACL_PRESENT, isProtected = control & SE_DACL_PROTECTED;
  // A null list (everyone may do everything) goes as it is, and so does a protected one.
  if (present && (!dacl || isProtected || ExplicitEntries(dacl, storage)))
    SetSecurityInfo(
        File, SE_FILE_OBJECT,
        DACL_SECURITY_INFORMATION | (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                 : UNPROTECTED_DACL_SECURITY_INFORMATION),
        nullptr, nullptr, dacl && !isProtected ? reinterpret_cast<PACL>(storage.data()) : dacl,
        nullptr);
  LocalFree(descriptor);
}

// Copies the stream From into To, which it creates; a stream half copied goes again.
void CopyStream(const std::wstring& From, const std::wstring& To, std::vector<char>& Buffer) {
  THandle in(CreateFileW(AddLongPathPrefix(From).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in) return;
  const std::wstring to = AddLongPathPrefix(To);
  THandle out(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!out) return;
  Buffer.resize(65536);
  DWORD n = 0, written = 0;
  while (ReadFile(in, Buffer.data(), static_cast<DWORD>(Buffer.size()), &n, nullptr) && n > 0) {
    if (!WriteFile(out, Buffer.data(), n, &written, nullptr) || written != n) {
      FILE_DISPOSITION_INFO gone{TRUE};
      SetFileInformationByHandle(out, FileDispositionInfo, &gone, sizeof(gone));
      return;
    }
  }
}

// The old file's named streams (a download's zone mark, what other programs note on the file)
// go into the new file, as a replacement keeps them. File systems without them, Wine's among
// them, list none.
void CarryStreams(const std::wstring& Old, const std::wstring& File) {
  WIN32_FIND_STREAM_DATA d;
  HANDLE find = FindFirstStreamW(AddLongPathPrefix(Old).c_str(), FindStreamInfoStandard, &d, 0);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<char> buffer;
  do {
    // ":name:$DATA"; "::$DATA" is the content itself.
    if (std::wcsncmp(d.cStreamName, L"::", 2) != 0)
      CopyStream(Old + d.cStreamName, File + d.cStreamName, buffer);
  } while (FindNextStreamW(find, &d));
  FindClose(find);
}

// Replaces a file that another program holds open where no rename can: the old file steps aside
// under a name of this save's own, the new file takes the target's name through its handle, and
// the old one goes once its last holder lets go of it; for that moment the target is missing, as
// with ReplaceFileW, which takes these steps by name. Unlike ReplaceFileW, the new file is never
// opened by its name, which another program could have taken meanwhile. The old file is moved by
// its name: Wine's handles do not follow a file that another handle renamed.
DWORD ReplaceInUse(HANDLE File, const std::wstring& Target, const std::wstring& Stem) {
  std::wstring aside;
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_ALREADY_EXISTS; ++attempt) {
    aside = AddLongPathPrefix(NextTempName(Stem));
    error = MoveFileExW(Target.c_str(), aside.c_str(), 0) ? ERROR_SUCCESS : GetLastError();
  }
  if (error != ERROR_SUCCESS) return error;
  error = Rename(File, Target, FileRenameInfo, 0);
  // When the new file cannot go in, the old one goes back; a file that took its name meanwhile,
  // another save's, is newer and stays.
  if (error == ERROR_SUCCESS || !MoveFileExW(aside.c_str(), Target.c_str(), 0))
    DeleteFileW(aside.c_str());
  return error;
}

// Gives the finished new file, open as File and named TempName, the name Target; returns
// ERROR_SUCCESS or the system's error, ERROR_SHARING_VIOLATION when another program holds the
// target open without letting it be deleted. The new file goes into place through its own handle,
// so exactly what this save wrote goes there, whatever another program does with names
// meanwhile. Whatever fails, Target keeps the old file.
DWORD MoveIntoPlace(HANDLE File, const std::wstring& TempName, const std::wstring& Target,
                    const std::wstring& Stem) {
  const std::wstring target = AddLongPathPrefix(Target);
  {
    THandle old(CreateFileW(target.c_str(),
                            DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    if (!old) {
      // A new file. A file that appears meanwhile is not replaced unseen.
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND ? Rename(File, target, FileRenameInfo, 0) : error;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(old, &info)) return GetLastError();
    if (IsReadOnlyFile(info.dwFileAttributes)) return ERROR_ACCESS_DENIED;
    KeepMarksAndCreationTime(File, info);
    CarrySecurity(old, File);
    CarryStreams(Target, TempName);
  }
  // In one step where the system can: over a file in use with POSIX semantics (Windows 10),
  // otherwise over a file no one holds open.
  DWORD error =
      Rename(File, target, FileRenameInfoExClass, RenameReplaceIfExists | RenamePosixSemantics);
  // Systems and file systems without it say so in one of these ways.
  if (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
      error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED)
    error = Rename(File, target, FileRenameInfo, RenameReplaceIfExists);
  return error == ERROR_ACCESS_DENIED ? ReplaceInUse(File, target, Stem) : error;
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

TXMLFileWriter::TXMLFileWriter(const std::wstring& FileName, TMessages Messages)
    : Target(FileName), Messages(Messages), Handle(INVALID_HANDLE_VALUE) {
  const DWORD attributes = GetFileAttributesW(AddLongPathPrefix(Target).c_str());
  if (IsReadOnlyFile(attributes))
    throw EFCreateError(FailureText(L"Cannot create file", Target, ERROR_ACCESS_DENIED));
  // Beside the target, so that the final rename stays on one volume, under a name no other save
  // takes. The file stays open until it is in place, shared for reading only, so that no one
  // can remove, rename or replace it meanwhile.
  Stem = TempStemOf(Target);
  // Without the target, an ended save may have stopped between moving the old file aside and
  // the new one in: then its files are all there is of the document, and they stay.
  if (attributes != INVALID_FILE_ATTRIBUTES) RemoveLeftovers(Stem);
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 100; ++attempt) {
    TempName = NextTempName(Stem);
    // With the right to take the old file's access list where the folder grants it.
    for (const DWORD access : {GENERIC_WRITE | DELETE | WRITE_DAC, GENERIC_WRITE | DELETE}) {
      Handle = CreateFileW(AddLongPathPrefix(TempName).c_str(), access, FILE_SHARE_READ, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      if (Handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED) break;
    }
    if (Handle != INVALID_HANDLE_VALUE) break;
    error = GetLastError();
    // Whatever stands under that name stays, and the next name is tried. The error names what is
    // in the way, or else the target.
    if (GetFileAttributesW(AddLongPathPrefix(TempName).c_str()) == INVALID_FILE_ATTRIBUTES) {
      TempName = Target;
      break;
    }
  }
  if (Handle == INVALID_HANDLE_VALUE)
    throw EFCreateError(FailureText(L"Cannot create file", TempName, error));
  Buffer.resize(WriteBlock + 65536);
}

TXMLFileWriter::~TXMLFileWriter() {
  if (Handle != INVALID_HANDLE_VALUE) {
    FILE_DISPOSITION_INFO gone{TRUE};
    SetFileInformationByHandle(Handle, FileDispositionInfo, &gone, sizeof(gone));
    CloseHandle(Handle);
  }
}

std::wstring TXMLFileWriter::FailureText(const wchar_t* What, const std::wstring& FileName,
                                         unsigned long Code) const {
  if (Messages == ReasonOnly && FileName == Target) return ReasonText(Code);
  return std::wstring(What) + L" \"" + FileName + L"\". " + ReasonText(Code);
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
    // A write cut short (the disk filled up on the way) goes on with the rest, and the disk
    // then says why it takes no more.
    const DWORD part = static_cast<DWORD>(std::min<size_t>(Used - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(Handle, Buffer.data() + done, part, &written, nullptr))
      throw EWriteError(FailureText(L"Cannot write file", Target, GetLastError()));
    if (written == 0)
      throw EWriteError(FailureText(L"Cannot write file", Target, ERROR_WRITE_FAULT));
    done += written;
  }
  Used = 0;
}

void TXMLFileWriter::Commit() {
  FlushBuffer();
  if (!FlushFileBuffers(Handle))
    throw EWriteError(FailureText(L"Cannot write file", Target, GetLastError()));
  const DWORD error = MoveIntoPlace(Handle, TempName, Target, Stem);
  if (error != ERROR_SUCCESS)
    throw EFCreateError(FailureText(
        error == ERROR_SHARING_VIOLATION ? L"Cannot replace file" : L"Cannot create file", Target,
        error));
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
