#include "hash/misc.h"

#include <winioctl.h>

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <memory>
#include <vector>

#include "hash/daycount.h"
#include "hash/errors.h"
#include "hash/hasher.h"

bool DetectWideFilePlatform() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  return GetVersionExW(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsWideFilePlatform = DetectWideFilePlatform();

namespace {

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct VirtualReleaser {
  void operator()(void* p) const { VirtualFree(p, 0, MEM_RELEASE); }
};
using UniqueVirtual = std::unique_ptr<void, VirtualReleaser>;

std::string ToAnsi(const std::wstring& Text) {
  if (Text.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string result(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), result.data(), n,
                      nullptr, nullptr);
  return result;
}

// ANSI form of an optional string argument: a null pointer stays null.
struct AnsiArg {
  explicit AnsiArg(LPCWSTR Text) : Null(!Text), Value(Text ? ToAnsi(Text) : std::string()) {}
  LPCSTR Get() const { return Null ? nullptr : Value.c_str(); }
  bool Null;
  std::string Value;
};

// Copies a NUL-terminated ANSI result into a wide caller buffer of Size characters.
void AnsiToWideBuffer(const char* Text, LPWSTR Buffer, DWORD Size) {
  if (!Buffer || Size == 0) return;
  if (MultiByteToWideChar(CP_ACP, 0, Text, -1, Buffer, static_cast<int>(Size)) == 0)
    Buffer[0] = L'\0';
}

HANDLE OpenForHashing(const std::wstring& Path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  // Unbuffered: large files and whole drives must not push everything else out of the cache.
  const DWORD flags = FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN;
  const std::wstring name = AddLongPathPrefix(Path);
  if (IsWideFilePlatform)
    return CreateFileW(name.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, flags, nullptr);
  return CreateFileA(ToAnsi(name).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, flags,
                     nullptr);
}

bool TrySystemTimeToSeconds(const SYSTEMTIME& Time, int64_t& Seconds) {
  int64_t days = 0;
  if (!TryEncodeDate(Time.wYear, Time.wMonth, Time.wDay, days)) return false;
  Seconds = days * SecondsPerDay + (Time.wHour * 60 + Time.wMinute) * 60 + Time.wSecond;
  return true;
}

}  // namespace

BOOL(WINAPI* HashFileRead)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) = ReadFile;

int32_t HashFile(const std::wstring& Path, THasher& Hasher, const TProgressEvent& OnProgress) {
  // Page-aligned, as unbuffered reads require.
  UniqueVirtual buffer(VirtualAlloc(nullptr, HashBlockSize, MEM_COMMIT, PAGE_READWRITE));
  if (!buffer) return static_cast<int32_t>(GetLastError());
  return HashFile(Path, Hasher, OnProgress, buffer.get());
}

int32_t HashFile(const std::wstring& Path, THasher& Hasher, const TProgressEvent& OnProgress,
                 void* Buffer) {
  UniqueHandle file(OpenForHashing(Path));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return static_cast<int32_t>(GetLastError());
  }
  // A large file is read in runs of blocks: fewer calls into the system, and on a disk fewer,
  // longer transfers. The blocks are still hashed and reported one by one, exactly as
  // block-sized reads deliver them.
  UniqueVirtual runBuffer;
  LARGE_INTEGER size;
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart >= HashRunFileSize)
    runBuffer.reset(VirtualAlloc(nullptr, HashRunSize, MEM_COMMIT, PAGE_READWRITE));
  auto buffer = static_cast<uint8_t*>(runBuffer ? runBuffer.get() : Buffer);
  DWORD run = runBuffer ? HashRunSize : HashBlockSize;
  LARGE_INTEGER position{};
  Hasher.Init();
  for (;;) {
    DWORD n = 0;
    if (!HashFileRead(file.get(), buffer, run, &n, nullptr)) {
      const auto error = static_cast<int32_t>(GetLastError());
      // Block-sized reads from the start of the run meet the fault again at its own block, after
      // hashing and reporting the blocks before it.
      if (run == HashBlockSize || !SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN))
        return error;
      buffer = static_cast<uint8_t*>(Buffer);
      run = HashBlockSize;
      continue;
    }
    position.QuadPart += n;
    // Whole blocks, then after a short read its remainder, empty or not, as the last block.
    const bool last = n < run;
    for (DWORD at = 0; at < n || (last && at == n); at += HashBlockSize) {
      const DWORD block = std::min<DWORD>(n - at, HashBlockSize);
      Hasher.Update(buffer + at, static_cast<int32_t>(block));
      if (OnProgress && !OnProgress(static_cast<int32_t>(block), block < HashBlockSize))
        return HashCancelled;
    }
    if (last) break;
  }
  Hasher.Done();
  return 0;
}

std::wstring AddLongPathPrefix(const std::wstring& Path) {
  if (Path.size() < LongPathLimit || !IsWideFilePlatform) return Path;
  // Already in the \\?\ or \\.\ namespace: another prefix would make it a UNC share name.
  if (Path.starts_with(L"\\\\?\\") || Path.starts_with(L"\\\\.\\")) return Path;
  if (Path.starts_with(L"\\\\")) return L"\\\\?\\UNC" + Path.substr(1);
  return L"\\\\?\\" + Path;
}

std::wstring MakeFullPath(const std::wstring& Folder, const std::wstring& Name) {
  if ((!Name.empty() && Name[0] == L'\\') || (Name.size() >= 2 && Name[1] == L':')) return Name;
  if (!Folder.empty() && Folder.back() == L'\\') return Folder + Name;
  return Folder + L'\\' + Name;
}

bool GetFileId(const std::wstring& Path, TFileId& Id) {
  HANDLE h = CreateFileW(AddLongPathPrefix(Path).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return false;
  Id.Volume = info.dwVolumeSerialNumber;
  Id.Index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool IsSameFile(const std::wstring& A, const std::wstring& B) {
  if (A.empty() || B.empty()) return false;
  TFileId a, b;
  if (GetFileId(A, a) && GetFileId(B, b)) return a == b;
  const auto full = [](const std::wstring& Path) {
    std::wstring out(GetFullPathNameW(Path.c_str(), 0, nullptr, nullptr), L'\0');
    out.resize(GetFullPathNameW(Path.c_str(), static_cast<DWORD>(out.size()), out.data(), nullptr));
    return out.empty() ? Path : out;
  };
  const std::wstring fa = full(A), fb = full(B);
  return CompareStringOrdinal(fa.c_str(), static_cast<int>(fa.size()), fb.c_str(),
                              static_cast<int>(fb.size()), TRUE) == CSTR_EQUAL;
}

bool GetFileSizeTime(const std::wstring& Path, int64_t& Size, int64_t& Time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!WideGetFileAttributesEx(AddLongPathPrefix(Path).c_str(), GetFileExInfoStandard, &data))
    return false;
  Size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  // File times reach year 30827; one past 9999 has no date on our scale and counts as no time
  // rather than failing the whole pass.
  SYSTEMTIME st;
  int64_t seconds = 0;
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &st) || !TrySystemTimeToSeconds(st, seconds))
    seconds = 0;
  Time = seconds;
  return true;
}

int64_t GetFileSize64(const std::wstring& Path) {
  int64_t size = -1, time = 0;
  return GetFileSizeTime(Path, size, time) ? size : -1;
}

int64_t SystemTimeToSeconds(const SYSTEMTIME& Time) {
  int64_t seconds = 0;
  if (!TrySystemTimeToSeconds(Time, seconds))
    throw EConvertError(L"Invalid argument to date encode");
  return seconds;
}

int64_t GetPhysicalDriveSize(int32_t Drive) {
  const std::string name = "\\\\.\\PHYSICALDRIVE" + std::to_string(Drive);
  // No access rights: a query-only handle needs no administrator.
  UniqueHandle drive(CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  if (drive.get() == INVALID_HANDLE_VALUE) {
    drive.release();
    return -1;
  }
  DISK_GEOMETRY geometry{};
  DWORD got = 0;
  if (!DeviceIoControl(drive.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                       sizeof(geometry), &got, nullptr))
    return 0;
  return geometry.Cylinders.QuadPart * geometry.TracksPerCylinder * geometry.SectorsPerTrack *
         geometry.BytesPerSector;
}

BOOL WideGetVolumeInformation(LPCWSTR RootPathName, LPWSTR VolumeNameBuffer, DWORD VolumeNameSize,
                              LPDWORD VolumeSerialNumber, LPDWORD MaximumComponentLength,
                              LPDWORD FileSystemFlags, LPWSTR FileSystemNameBuffer,
                              DWORD FileSystemNameSize) {
  if (IsWideFilePlatform)
    return GetVolumeInformationW(RootPathName, VolumeNameBuffer, VolumeNameSize, VolumeSerialNumber,
                                 MaximumComponentLength, FileSystemFlags, FileSystemNameBuffer,
                                 FileSystemNameSize);
  // A double-byte code page may need two bytes per character.
  std::vector<char> volume(VolumeNameBuffer ? VolumeNameSize * 2 + 1 : 0);
  std::vector<char> system(FileSystemNameBuffer ? FileSystemNameSize * 2 + 1 : 0);
  BOOL ok = GetVolumeInformationA(
      AnsiArg(RootPathName).Get(), volume.empty() ? nullptr : volume.data(),
      static_cast<DWORD>(volume.size()), VolumeSerialNumber, MaximumComponentLength,
      FileSystemFlags, system.empty() ? nullptr : system.data(), static_cast<DWORD>(system.size()));
  if (ok) {
    if (!volume.empty()) AnsiToWideBuffer(volume.data(), VolumeNameBuffer, VolumeNameSize);
    if (!system.empty()) AnsiToWideBuffer(system.data(), FileSystemNameBuffer, FileSystemNameSize);
  }
  return ok;
}

BOOL WideGetFileAttributesEx(LPCWSTR FileName, GET_FILEEX_INFO_LEVELS InfoLevelId,
                             LPVOID FileInformation) {
  if (IsWideFilePlatform) return GetFileAttributesExW(FileName, InfoLevelId, FileInformation);
  return GetFileAttributesExA(AnsiArg(FileName).Get(), InfoLevelId, FileInformation);
}

BOOL WideGetDiskFreeSpaceEx(LPCWSTR DirectoryName, PULARGE_INTEGER FreeBytesAvailableToCaller,
                            PULARGE_INTEGER TotalNumberOfBytes,
                            PULARGE_INTEGER TotalNumberOfFreeBytes) {
  if (IsWideFilePlatform)
    return GetDiskFreeSpaceExW(DirectoryName, FreeBytesAvailableToCaller, TotalNumberOfBytes,
                               TotalNumberOfFreeBytes);
  return GetDiskFreeSpaceExA(AnsiArg(DirectoryName).Get(), FreeBytesAvailableToCaller,
                             TotalNumberOfBytes, TotalNumberOfFreeBytes);
}

UINT WideGetDriveType(LPCWSTR RootPathName) {
  if (IsWideFilePlatform) return GetDriveTypeW(RootPathName);
  return GetDriveTypeA(AnsiArg(RootPathName).Get());
}

// Size, version and time-zone text ----------------------------------------------------------

namespace {

// One of the user's locale separators in the ANSI code page. A separator the code page cannot
// show (the narrow no-break space of some locales) becomes Fallback instead of "?".
std::string LocaleSeparator(LCTYPE Type, const char* Fallback) {
  wchar_t wide[8] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, Type, wide, 8)) return Fallback;
  char narrow[32] = {};
  BOOL lossy = FALSE;
  if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof(narrow), nullptr, &lossy) || lossy)
    return Fallback;
  return narrow;
}

struct TNumberSeparators {
  std::string Decimal, Thousand;
};

const TNumberSeparators& NumberSeparators() {
  static const TNumberSeparators separators{LocaleSeparator(LOCALE_SDECIMAL, "."),
                                            LocaleSeparator(LOCALE_STHOUSAND, " ")};
  return separators;
}

std::wstring FormatW(const wchar_t* Format, ...) {
  wchar_t text[128];
  va_list args;
  va_start(args, Format);
  int n = vswprintf(text, 128, Format, args);
  va_end(args);
  return n < 0 ? std::wstring() : std::wstring(text, n);
}

double TimeZoneBiasCache = -999.0;

}  // namespace

std::string FormatSizeText(bool Abbrev, bool Thousands, int32_t Width, int64_t Size,
                           int32_t Decimals) {
  if (Size < 0) return "-";
  int shift = 0;
  const char* unit = "";
  if (Abbrev) {
    static const struct {
      int Shift;
      const char* Unit;
    } units[] = {{40, "T"}, {30, "G"}, {20, "M"}, {10, "K"}};
    for (const auto& u : units)
      if (Size > (int64_t{1} << u.Shift)) {
        shift = u.Shift;
        unit = u.Unit;
        break;
      }
  }
  // Size / 2^shift is an exact binary fraction: write its digits with integers, rounding the
  // last one half away from zero (1536 bytes are 2K).
  Decimals = Decimals < 0 ? 0 : Decimals > 18 ? 18 : Decimals;
  const uint64_t mask = (uint64_t{1} << shift) - 1;
  uint64_t whole = static_cast<uint64_t>(Size) >> shift;
  uint64_t rest = static_cast<uint64_t>(Size) & mask;
  std::string fraction;
  for (int i = 0; i < Decimals; ++i) {
    rest *= 10;
    fraction += static_cast<char>('0' + (rest >> shift));
    rest &= mask;
  }
  if (shift > 0 && rest >= (uint64_t{1} << (shift - 1))) {
    int i = Decimals - 1;
    for (; i >= 0 && fraction[i] == '9'; --i) fraction[i] = '0';
    if (i >= 0)
      ++fraction[i];
    else
      ++whole;
  }

  const TNumberSeparators& sep = NumberSeparators();
  std::string digits = std::to_string(whole);
  std::string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (Thousands && i > 0 && (digits.size() - i) % 3 == 0) text += sep.Thousand;
    text += digits[i];
  }
  if (Decimals > 0) text += sep.Decimal + fraction;
  if (Width > 0 && text.size() < static_cast<size_t>(Width))
    text.insert(0, Width - text.size(), ' ');
  return text + unit;
}

std::wstring GetVersionText(const std::wstring& FileName, bool Short) {
  DWORD handle = 0;
  const std::string ansiName = IsWideFilePlatform ? std::string() : ToAnsi(FileName);
  DWORD size = IsWideFilePlatform ? GetFileVersionInfoSizeW(FileName.c_str(), &handle)
                                  : GetFileVersionInfoSizeA(ansiName.c_str(), &handle);
  if (size == 0) return {};
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  BOOL ok = IsWideFilePlatform
                ? GetFileVersionInfoW(FileName.c_str(), 0, size, data.data()) &&
                      VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length)
                : GetFileVersionInfoA(ansiName.c_str(), 0, size, data.data()) &&
                      VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length);
  if (!ok || !info || length < sizeof(VS_FIXEDFILEINFO)) return {};

  std::wstring text = FormatW(L"%d.%d.%d", HIWORD(info->dwFileVersionMS),
                              LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS));
  if (info->dwFileFlags & VS_FF_PRERELEASE) text += L'b';
  if (!Short) text = FormatW(L"v%ls (build %d )", text.c_str(), LOWORD(info->dwFileVersionLS));
  return text;
}

double TimeZoneBiasOf(DWORD ZoneId, const TIME_ZONE_INFORMATION& Info) {
  LONG bias = Info.Bias;
  if (ZoneId == TIME_ZONE_ID_DAYLIGHT) bias += Info.DaylightBias;
  return bias / 1440.0;
}

double GetTimeZoneBias() {
  if (TimeZoneBiasCache == -999.0) {
    TIME_ZONE_INFORMATION info;
    DWORD id = GetTimeZoneInformation(&info);
    if (id == TIME_ZONE_ID_INVALID) return 0;
    TimeZoneBiasCache = TimeZoneBiasOf(id, info);
  }
  return TimeZoneBiasCache;
}
