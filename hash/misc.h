#pragma once
// File and drive access, and the size, version and time-zone texts of the windows.
// The only unit of hash/ that talks to Windows directly. File routines return Windows error
// codes and never throw (SystemTimeToSeconds excepted: an impossible date is an EConvertError).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

class THasher;

// Bytes: what the last read delivered (0 to 65536); Last: that read was short, no read follows.
// Returns false to cancel.
using TProgressEvent = std::function<bool(int32_t Bytes, bool Last)>;

// Block size of HashFile: what each Update and progress event covers, the size of the caller's
// buffer and the end-of-file test.
constexpr int32_t HashBlockSize = 65536;
// Files of HashRunFileSize bytes or more are read HashRunSize bytes at a time, into a buffer of
// their own; smaller ones a block at a time. A run buffer costs about as much to set up as
// reading a few MB, so only files far larger gain.
constexpr int32_t HashRunSize = 16 * HashBlockSize;
constexpr int64_t HashRunFileSize = int64_t{64} << 20;
// Paths of this length or more get the extended-length prefix.
constexpr size_t LongPathLimit = 260;
// HashFile's result when the progress event answered false.
constexpr int32_t HashCancelled = -1;

// True when the platform has the wide (UTF-16) file services, i.e. the NT family. Taken from the
// platform identification when the program starts; only tests change it.
extern bool IsWideFilePlatform;
bool DetectWideFilePlatform();

// Feeds the file to Hasher (Init, Update and OnProgress per block, Done) with unbuffered
// sequential reads.
// 0 done, HashCancelled, or the system error code of the open, the allocation or a read.
int32_t HashFile(const std::wstring& Path, THasher& Hasher, const TProgressEvent& OnProgress);
// The read service HashFile calls; tests put one that fails in its place.
extern BOOL(WINAPI* HashFileRead)(HANDLE File, LPVOID Buffer, DWORD Size, LPDWORD Read,
                                  LPOVERLAPPED Overlapped);
// The same with the caller's buffer (HashBlockSize bytes, page-aligned, from VirtualAlloc): a
// pass over many files allocates it once instead of once per file.
int32_t HashFile(const std::wstring& Path, THasher& Hasher, const TProgressEvent& OnProgress,
                 void* Buffer);

std::wstring AddLongPathPrefix(const std::wstring& Path);
// Name as is when it is rooted (leading backslash or drive colon), else below Folder.
std::wstring MakeFullPath(const std::wstring& Folder, const std::wstring& Name);
// Size and last-write time (seconds on the day scale, UTC) of a file or folder; false, with
// Size and Time untouched, when the file system cannot describe it. A last-write time that has
// no calendar date of years 1 to 9999 gives Time 0 (no time).
bool GetFileSizeTime(const std::wstring& Path, int64_t& Size, int64_t& Time);
int64_t GetFileSize64(const std::wstring& Path);  // -1 when missing
// A file or folder by its identity on its volume: the same whatever name (link, junction,
// letter case, short name) leads to it.
struct TFileId {
  DWORD Volume = 0;
  uint64_t Index = 0;
  bool operator==(const TFileId&) const = default;
};
// False when the file system cannot name it (missing, no access).
bool GetFileId(const std::wstring& Path, TFileId& Id);
// Whether two paths lead to one file: the same identity, or, where either cannot be asked, the
// same full path ignoring letter case.
bool IsSameFile(const std::wstring& A, const std::wstring& B);
// Whole days since 30 December 1899 times 86400 plus the seconds of the day; milliseconds are
// dropped. Throws EConvertError for an impossible date.
int64_t SystemTimeToSeconds(const SYSTEMTIME& Time);
// -1 when the drive cannot be opened, 0 when its geometry cannot be read.
int64_t GetPhysicalDriveSize(int32_t Drive);

// The wide service on the NT family, else the ANSI one with the strings in the ANSI code page.
BOOL WideGetVolumeInformation(LPCWSTR RootPathName, LPWSTR VolumeNameBuffer, DWORD VolumeNameSize,
                              LPDWORD VolumeSerialNumber, LPDWORD MaximumComponentLength,
                              LPDWORD FileSystemFlags, LPWSTR FileSystemNameBuffer,
                              DWORD FileSystemNameSize);
BOOL WideGetFileAttributesEx(LPCWSTR FileName, GET_FILEEX_INFO_LEVELS InfoLevelId,
                             LPVOID FileInformation);
BOOL WideGetDiskFreeSpaceEx(LPCWSTR DirectoryName, PULARGE_INTEGER FreeBytesAvailableToCaller,
                            PULARGE_INTEGER TotalNumberOfBytes,
                            PULARGE_INTEGER TotalNumberOfFreeBytes);
UINT WideGetDriveType(LPCWSTR RootPathName);

// A byte count for people: "-" below 0; with Abbrev a K, M, G or T unit (powers of 1024, only
// above the unit); Decimals digits after the decimal point; thousands separated when asked;
// padded on the left to Width. Separators are the user's locale's.
std::string FormatSizeText(bool Abbrev, bool Thousands, int32_t Width, int64_t Size,
                           int32_t Decimals);
// "2.0.1" (Short) or "v2.0.1 (build 27 )" from FileName's version resource; empty without one.
std::wstring GetVersionText(const std::wstring& FileName, bool Short);
// Minutes from local time to UTC divided by 1440 (positive west of Greenwich), asked once per
// run; 0 while the platform cannot tell the time zone.
double GetTimeZoneBias();
// The bias of one answer of GetTimeZoneInformation (daylight bias only in daylight time).
double TimeZoneBiasOf(DWORD ZoneId, const TIME_ZONE_INFORMATION& Info);
