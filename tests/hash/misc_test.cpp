#include "hash/misc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "hash/errors.h"
#include "hash/hasher.h"
#include "hash/hashers.h"
#include "tests/hash/tempfolder.h"
#include "version.h"

namespace {

// Records what HashFile asks of a hasher; its "digest" is every byte it was given.
class TRecordingHasher : public THasher {
 public:
  void Init() override { Calls.push_back(-1); }
  void Update(const void* Data, int32_t Size) override {
    Calls.push_back(Size);
    Bytes.append(static_cast<const char*>(Data), Size);
  }
  void Done() override { ++DoneCount; }
  const uint8_t* DigestKey() const override { return nullptr; }
  THasherClass ClassType() const override { return &ClassInfo; }

  std::vector<int32_t> Calls;  // -1 for Init, else the size of an Update
  std::string Bytes;
  int DoneCount = 0;
  static const THasherClassInfo ClassInfo;
};
const THasherClassInfo TRecordingHasher::ClassInfo = {"TRecordingHasher", &THasher::ClassInfo, 0,
                                                      nullptr};

using TEvents = std::vector<std::pair<int32_t, bool>>;

std::string Pattern(size_t Size) {
  std::string s(Size, '\0');
  uint32_t x = 12345;
  for (auto& c : s) c = static_cast<char>((x = x * 1103515245 + 12345) >> 16);
  return s;
}

class MiscFiles : public ::testing::Test {
 protected:
  void TearDown() override { IsWideFilePlatform = true; }
  // HashFile with a recording hasher and an event that cancels at event number CancelAt.
  int32_t Hash(const std::wstring& Path, size_t CancelAt = SIZE_MAX) {
    Hasher = TRecordingHasher();
    Events.clear();
    return HashFile(Path, Hasher, [&](int32_t Bytes, bool Last) {
      Events.emplace_back(Bytes, Last);
      return Events.size() - 1 != CancelAt;
    });
  }
  bool Deletable(const std::wstring& Path) { return DeleteFileW(AddLongPathPrefix(Path).c_str()); }

  TTempFolder Folder;
  TRecordingHasher Hasher;
  TEvents Events;
};

}  // namespace

TEST_F(MiscFiles, BlockSequencesAtTheBlockBoundaries) {
  // Digests from md5sum.
  const std::pair<size_t, const char*> files[] = {
      {0, "d41d8cd98f00b204e9800998ecf8427e"},
      {65535, "3603815e39efeef58940a8600552f4b3"},
      {65536, "07ba990ebda712e3fa2ccc475c75f183"},
      {65537, "a40ab48366ff1675952062497f19958c"},
      {3 * 65536 + 1, "6d9485f731da297ce9ff85262c56dd00"}};
  for (const auto& [size, md5] : files) {
    SCOPED_TRACE(size);
    const std::string bytes = Pattern(size);
    const std::wstring path = Folder.Write(L"f" + std::to_wstring(size), bytes);
    ASSERT_EQ(Hash(path), 0);
    TEvents expected(size / 65536, {65536, false});
    expected.emplace_back(static_cast<int32_t>(size % 65536), true);  // the last, maybe empty
    std::vector<int32_t> calls{-1};
    for (const auto& e : expected) calls.push_back(e.first);
    EXPECT_EQ(Events, expected);
    EXPECT_EQ(Hasher.Calls, calls);
    EXPECT_EQ(Hasher.DoneCount, 1);
    EXPECT_TRUE(Hasher.Bytes == bytes);

    TMD5Hasher real;
    EXPECT_EQ(HashFile(path, real, nullptr), 0);  // no event at all
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", real.DigestKey()[i]);
    EXPECT_STREQ(hex, md5);
    EXPECT_TRUE(Deletable(path)) << "handle left open";
  }
}

namespace {
// Reads fail from block FaultBlock of every file on.
int64_t FaultBlock = 0;
BOOL WINAPI FailingRead(HANDLE File, LPVOID Buffer, DWORD Size, LPDWORD Read, LPOVERLAPPED) {
  LARGE_INTEGER at{};
  SetFilePointerEx(File, at, &at, FILE_CURRENT);
  if (at.QuadPart + Size > FaultBlock * HashBlockSize) {
    SetLastError(ERROR_CRC);
    return FALSE;
  }
  return ReadFile(File, Buffer, Size, Read, nullptr);
}
}  // namespace

// A large file, read in runs of blocks, gives the same blocks and events as block-sized reads;
// a cancel or a read fault inside a run stops at its own block.
TEST_F(MiscFiles, LargeFilesReadInRunsKeepTheBlocks) {
  const size_t size = HashRunFileSize + HashBlockSize;  // the last read: one block, no more
  const size_t blocks = size / HashBlockSize;
  const std::string bytes = Pattern(size);
  const std::wstring path = Folder.Write(L"large", bytes);
  ASSERT_EQ(Hash(path), 0);
  TEvents expected(blocks, {HashBlockSize, false});
  expected.emplace_back(0, true);
  EXPECT_EQ(Events, expected);
  EXPECT_EQ(Hasher.Calls.size(), blocks + 2);
  EXPECT_EQ(Hasher.Calls.back(), 0);
  EXPECT_EQ(Hasher.DoneCount, 1);
  EXPECT_TRUE(Hasher.Bytes == bytes);

  const size_t inside = HashRunSize / HashBlockSize * 3 + 5;  // a block in the middle of a run
  EXPECT_EQ(Hash(path, inside), HashCancelled);
  EXPECT_EQ(Events.size(), inside + 1);
  EXPECT_EQ(Hasher.DoneCount, 0);

  HashFileRead = FailingRead;
  for (const size_t fault : {size_t{0}, inside, blocks - 1}) {
    FaultBlock = static_cast<int64_t>(fault);
    EXPECT_EQ(Hash(path), ERROR_CRC) << fault;
    EXPECT_EQ(Events, TEvents(fault, {HashBlockSize, false})) << fault;
    EXPECT_TRUE(Hasher.Bytes == bytes.substr(0, fault * HashBlockSize)) << fault;
    EXPECT_EQ(Hasher.DoneCount, 0);
  }
  HashFileRead = ReadFile;
  EXPECT_TRUE(Deletable(path)) << "handle left open";
}

// Failures give the system's error code; a cancel, a read fault or an exception from the event
// ends the run unfinished; the file is released every time.
TEST_F(MiscFiles, FailuresCancelsAndExceptionsReleaseTheFile) {
  EXPECT_EQ(Hash(Folder.File(L"missing.bin")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Hash(Folder.File(L"nofolder\\missing.bin")), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(Events.empty());
  EXPECT_TRUE(Hasher.Calls.empty());

  // Another program holds the file open without sharing it.
  const std::wstring path = Folder.Write(L"locked", Pattern(3 * HashBlockSize));
  HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Hash(path), ERROR_SHARING_VIOLATION);
  CloseHandle(other);

  EXPECT_EQ(Hash(path, 0), HashCancelled);
  EXPECT_EQ(Events, (TEvents{{HashBlockSize, false}}));
  EXPECT_EQ(Hasher.DoneCount, 0);
  EXPECT_THROW(HashFile(path, Hasher, [](int32_t, bool) -> bool { throw EReadError(L"x"); }),
               EReadError);
  // A read that fails at the second block: the first is hashed and reported, then the error.
  HashFileRead = FailingRead;
  FaultBlock = 1;
  EXPECT_EQ(Hash(path), ERROR_CRC);
  HashFileRead = ReadFile;
  EXPECT_EQ(Events, (TEvents{{HashBlockSize, false}}));
  EXPECT_EQ(Hasher.DoneCount, 0);
  EXPECT_TRUE(Deletable(path)) << "handle left open";
}

// Real long and Unicode paths are hashed and verified in the passes' tests.
TEST(MiscPaths, LongPathPrefixAndFullPath) {
  const std::wstring p259 = L"C:\\" + std::wstring(256, L'a'), p260 = p259 + L"b";
  const std::wstring unc = L"\\\\server\\share\\" + std::wstring(260, L'x');
  EXPECT_EQ(AddLongPathPrefix(p259), p259);
  EXPECT_EQ(AddLongPathPrefix(p260), L"\\\\?\\" + p260);
  EXPECT_EQ(AddLongPathPrefix(unc), L"\\\\?\\UNC\\server\\share\\" + std::wstring(260, L'x'));
  // A path already in the extended namespace is left alone, not turned into a share name.
  EXPECT_EQ(AddLongPathPrefix(L"\\\\?\\" + p260), L"\\\\?\\" + p260);
  IsWideFilePlatform = false;
  EXPECT_EQ(AddLongPathPrefix(p260), p260);
  EXPECT_EQ(AddLongPathPrefix(unc), unc);
  IsWideFilePlatform = true;

  EXPECT_EQ(MakeFullPath(L"C:\\Data", L"a\\b.txt"), L"C:\\Data\\a\\b.txt");
  EXPECT_EQ(MakeFullPath(L"C:\\Data\\", L"a\\b.txt"), L"C:\\Data\\a\\b.txt");
  EXPECT_EQ(MakeFullPath(L"C:\\Data", L"\\x\\b.txt"), L"\\x\\b.txt");
  EXPECT_EQ(MakeFullPath(L"C:\\Data", L"D:b.txt"), L"D:b.txt");
  EXPECT_EQ(MakeFullPath(L"\\\\srv\\share", L"b.txt"), L"\\\\srv\\share\\b.txt");
}

TEST_F(MiscFiles, SizeAndTime) {
  const std::wstring path = Folder.Write(L"timed", Pattern(12345));
  SYSTEMTIME st{2004, 2, 0, 29, 12, 34, 56, 789};  // UTC
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
  CloseHandle(h);
  int64_t size = 0, time = 0;
  ASSERT_TRUE(GetFileSizeTime(path, size, time));
  EXPECT_EQ(size, 12345);
  EXPECT_EQ(time, int64_t{38046} * 86400 + (12 * 60 + 34) * 60 + 56);

  size = time = 77;
  EXPECT_FALSE(GetFileSizeTime(Folder.File(L"missing"), size, time));
  EXPECT_FALSE(GetFileSizeTime(Folder.File(L"nofolder\\missing"), size, time));
  EXPECT_EQ(std::make_pair(size, time), std::make_pair(int64_t{77}, int64_t{77}));  // untouched
  EXPECT_EQ(GetFileSize64(Folder.File(L"missing")), -1);
  EXPECT_TRUE(GetFileSizeTime(Folder.Root, size, time)) << "a folder counts as found";

  IsWideFilePlatform = false;  // the ANSI services give the same answer for an ASCII name
  EXPECT_EQ(GetFileSize64(path), 12345);
  EXPECT_EQ(Hash(path), 0);
  EXPECT_EQ(Hasher.Bytes.size(), 12345u);
}

TEST_F(MiscFiles, TimesWithoutACalendarDate) {
  // Year 30000: a valid file time the day scale cannot hold. The file is still found. Not every
  // file system stores it (ext4 under Wine stops at 2446); Wine's Z: reaches tmpfs, which does.
  const FILETIME ft{0, 0x7fff0000};
  for (const std::wstring& folder : {Folder.Root, std::wstring(L"Z:\\dev\\shm\\")}) {
    const std::wstring path = folder + L"jv_future_" + std::to_wstring(GetCurrentProcessId());
    WriteBytes(path, "x");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    FILETIME back{};
    const bool kept = SetFileTime(h, nullptr, nullptr, &ft) &&
                      GetFileTime(h, nullptr, nullptr, &back) && CompareFileTime(&ft, &back) == 0;
    CloseHandle(h);
    int64_t size = 0, time = -5;
    const bool found = GetFileSizeTime(path, size, time);
    DeleteFileW(path.c_str());
    if (!kept) continue;
    ASSERT_TRUE(found);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(time, 0);
    return;
  }
  GTEST_SKIP() << "no file system here keeps a time after the year 9999";
}

TEST(MiscTime, SystemTimeToSecondsAndTimeZoneBias) {
  EXPECT_EQ(SystemTimeToSeconds(SYSTEMTIME{1900, 1, 1, 1, 0, 0, 0, 0}), 2 * 86400);
  EXPECT_EQ(SystemTimeToSeconds(SYSTEMTIME{1899, 12, 6, 30, 23, 59, 59, 999}), 86399);
  EXPECT_EQ(SystemTimeToSeconds(SYSTEMTIME{1601, 1, 1, 1, 0, 0, 1, 0}),
            int64_t{-109205} * 86400 + 1);
  EXPECT_THROW(SystemTimeToSeconds(SYSTEMTIME{2003, 2, 0, 29, 0, 0, 0, 0}), EConvertError);

  TIME_ZONE_INFORMATION tz{};
  tz.Bias = -60;
  tz.StandardBias = 30;  // never added
  tz.DaylightBias = -60;
  EXPECT_DOUBLE_EQ(TimeZoneBiasOf(TIME_ZONE_ID_UNKNOWN, tz), -60 / 1440.0);
  EXPECT_DOUBLE_EQ(TimeZoneBiasOf(TIME_ZONE_ID_STANDARD, tz), -60 / 1440.0);
  EXPECT_DOUBLE_EQ(TimeZoneBiasOf(TIME_ZONE_ID_DAYLIGHT, tz), -120 / 1440.0);
  const DWORD id = GetTimeZoneInformation(&tz);
  ASSERT_NE(id, TIME_ZONE_ID_INVALID);
  EXPECT_DOUBLE_EQ(GetTimeZoneBias(), TimeZoneBiasOf(id, tz));
}

// The ANSI wrappers give what the wide services give.
TEST(MiscDrives, DrivesAndTheAnsiWrappers) {
  EXPECT_EQ(GetPhysicalDriveSize(9999), -1);
  EXPECT_EQ(GetPhysicalDriveSize(-1), -1);
  std::wstring answers[2];
  for (bool wide : {true, false}) {
    IsWideFilePlatform = wide;
    wchar_t label[MAX_PATH + 1], fs[MAX_PATH + 1];
    DWORD serial = 0, maxlen = 0, flags = 0;
    ULARGE_INTEGER total{};
    EXPECT_TRUE(WideGetVolumeInformation(L"C:\\", label, MAX_PATH + 1, &serial, &maxlen, &flags, fs,
                                         MAX_PATH + 1));
    EXPECT_TRUE(WideGetDiskFreeSpaceEx(L"C:\\", nullptr, &total, nullptr));
    EXPECT_EQ(WideGetDriveType(L"C:\\"), DRIVE_FIXED);
    EXPECT_EQ(WideGetDriveType(L"Q:\\nothing\\"), GetDriveTypeW(L"Q:\\nothing\\"));
    answers[wide] = std::wstring(label) + L"|" + fs + L"|" + std::to_wstring(serial) + L"|" +
                    std::to_wstring(total.QuadPart);
  }
  IsWideFilePlatform = true;
  EXPECT_EQ(answers[0], answers[1]);
}

TEST(MiscText, FormatSizeText) {
  wchar_t thou[8], dec[8];
  ASSERT_TRUE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thou, 8));
  ASSERT_TRUE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, dec, 8));
  if (std::wstring(thou) != L"," || std::wstring(dec) != L".")
    GTEST_SKIP() << "written for a locale with , and . as separators";

  const int64_t K = 1024, M = K * K, G = M * K, T = G * K;
  std::string texts;
  const int64_t sizes[] = {0, 1000, K, K + 1, M, M + 1, 5 * G, -1, T + 1, T, 1536, 1535, INT64_MAX};
  for (int64_t size : sizes) texts += FormatSizeText(true, true, 0, size, 0) + "|";
  EXPECT_EQ(texts, "0|1,000|1,024|1K|1,024K|1M|5G|-|1T|1,024G|2K|1K|8,388,608T|");
  EXPECT_EQ(FormatSizeText(false, false, 0, 1234567, 0), "1234567");
  EXPECT_EQ(FormatSizeText(false, true, 0, 1234567, 0), "1,234,567");
  EXPECT_EQ(FormatSizeText(false, false, 0, -5, 0), "-");
  EXPECT_EQ(FormatSizeText(true, true, 8, 1536, 2), "    1.50K");
  EXPECT_EQ(FormatSizeText(true, false, 0, 2 * M - 1, 3), "2.000M");
  EXPECT_EQ(FormatSizeText(false, true, 0, 999, 1), "999.0");
}

TEST(MiscText, VersionText) {
  wchar_t self[MAX_PATH];
  ASSERT_TRUE(GetModuleFileNameW(nullptr, self, MAX_PATH));
  EXPECT_EQ(GetVersionText(self, true) + GetVersionText(self, false), L"");  // no resource
  EXPECT_EQ(GetVersionText(L"C:\\no such file.exe", true), L"");

  std::wstring program = self;
  program = program.substr(0, program.rfind(L'\\') + 1) + L"jurnvalt.exe";
  if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "jurnvalt.exe is not built beside the tests";
  const std::wstring version = std::to_wstring(JV_VER_MAJOR) + L"." +
                               std::to_wstring(JV_VER_MINOR) + L"." +
                               std::to_wstring(JV_VER_RELEASE);
  EXPECT_EQ(GetVersionText(program, true), version);
  EXPECT_EQ(GetVersionText(program, false),
            L"v" + version + L" (build " + std::to_wstring(JV_VER_BUILD) + L" )");
  IsWideFilePlatform = false;
  EXPECT_EQ(GetVersionText(program, true), version);
  IsWideFilePlatform = true;
}
