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

void WriteFileBytes(const std::wstring& Path, const std::string& Bytes) {
  HANDLE h = CreateFileW(AddLongPathPrefix(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(Bytes.empty() ||
              WriteFile(h, Bytes.data(), static_cast<DWORD>(Bytes.size()), &written, nullptr));
  CloseHandle(h);
}

void RemoveTree(const std::wstring& Path) {
  const std::wstring prefixed = Path.starts_with(L"\\\\?\\") ? Path : L"\\\\?\\" + Path;
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((prefixed + L"\\*").c_str(), &fd);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &fd)) {
    const std::wstring name = fd.cFileName, child = prefixed + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      RemoveTree(child);
    else
      DeleteFileW(child.c_str());
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  RemoveDirectoryW(prefixed.c_str());
}

class MiscFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    Dir = std::wstring(temp) + L"jv_misc_" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(Dir);
    ASSERT_TRUE(CreateDirectoryW(Dir.c_str(), nullptr));
  }
  void TearDown() override {
    IsWideFilePlatform = true;
    RemoveTree(Dir);
  }
  std::wstring MakeFile(const std::wstring& Name, const std::string& Bytes) {
    WriteFileBytes(Dir + L"\\" + Name, Bytes);
    return Dir + L"\\" + Name;
  }
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

  std::wstring Dir;
  TRecordingHasher Hasher;
  TEvents Events;
};

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
    const std::wstring path = MakeFile(L"f" + std::to_wstring(size), bytes);
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
  const std::wstring path = MakeFile(L"large", bytes);
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

TEST_F(MiscFiles, CancelAndExceptionsReleaseTheFile) {
  const std::wstring path = MakeFile(L"big", Pattern(3 * 65536));
  EXPECT_EQ(Hash(path, 0), HashCancelled);
  EXPECT_EQ(Events, (TEvents{{65536, false}}));
  EXPECT_EQ(Hasher.DoneCount, 0);
  EXPECT_THROW(HashFile(path, Hasher, [](int32_t, bool) -> bool { throw EReadError(L"x"); }),
               EReadError);
  EXPECT_TRUE(Deletable(path)) << "handle left open";
}

TEST_F(MiscFiles, FailuresGiveTheSystemErrorCode) {
  EXPECT_EQ(Hash(Dir + L"\\missing.bin"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Hash(Dir + L"\\nofolder\\missing.bin"), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(Events.empty());
  EXPECT_TRUE(Hasher.Calls.empty());

  // Another program holds the file open without sharing it.
  const std::wstring path = MakeFile(L"locked", "data");
  HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Hash(path), ERROR_SHARING_VIOLATION);
  CloseHandle(other);
  EXPECT_EQ(Hash(path), 0);

  // A read that fails at the second block: the first is hashed and reported, then the error.
  const std::wstring two = MakeFile(L"two", Pattern(2 * HashBlockSize));
  HashFileRead = FailingRead;
  FaultBlock = 1;
  EXPECT_EQ(Hash(two), ERROR_CRC);
  HashFileRead = ReadFile;
  EXPECT_EQ(Events, (TEvents{{HashBlockSize, false}}));
  EXPECT_EQ(Hasher.DoneCount, 0);
  EXPECT_TRUE(Deletable(two)) << "handle left open";
}

TEST_F(MiscFiles, LongAndUnicodePaths) {
  // A real path of 300 characters, reachable only through the extended-length prefix.
  std::wstring folder = Dir;
  while (folder.size() < 280) {
    folder += L"\\" + std::wstring(std::min<size_t>(60, 280 - folder.size()), L'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << GetLastError();
  }
  const std::wstring path = folder + L"\\" + std::wstring(300 - folder.size() - 1, L'n');
  ASSERT_EQ(path.size(), 300u);
  WriteFileBytes(path, Pattern(70000));
  EXPECT_EQ(Hash(path), 0);
  EXPECT_TRUE(Hasher.Bytes == Pattern(70000));
  EXPECT_EQ(GetFileSize64(path), 70000);

  // Outside the BMP as well.
  for (const wchar_t* unicode : {L"\u00fcml\u00e4ut \u65e5\u672c.txt", L"smile \U0001F600.bin"}) {
    const std::wstring file = MakeFile(unicode, "unicode");
    EXPECT_EQ(Hash(file), 0);
    EXPECT_EQ(Hasher.Bytes, "unicode");
    EXPECT_EQ(GetFileSize64(file), 7);
  }
}

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
  const std::wstring path = MakeFile(L"timed", Pattern(12345));
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
  EXPECT_FALSE(GetFileSizeTime(Dir + L"\\missing", size, time));
  EXPECT_FALSE(GetFileSizeTime(Dir + L"\\nofolder\\missing", size, time));
  EXPECT_EQ(std::make_pair(size, time), std::make_pair(int64_t{77}, int64_t{77}));  // untouched
  EXPECT_EQ(GetFileSize64(Dir + L"\\missing"), -1);
  EXPECT_TRUE(GetFileSizeTime(Dir, size, time)) << "a folder counts as found";

  IsWideFilePlatform = false;  // the ANSI services give the same answer for an ASCII name
  EXPECT_EQ(GetFileSize64(path), 12345);
  EXPECT_EQ(Hash(path), 0);
  EXPECT_EQ(Hasher.Bytes.size(), 12345u);
}

TEST_F(MiscFiles, TimesWithoutACalendarDate) {
  // Year 30000: a valid file time the day scale cannot hold. The file is still found. Not every
  // file system stores it (ext4 under Wine stops at 2446); Wine's Z: reaches tmpfs, which does.
  const FILETIME ft{0, 0x7fff0000};
  for (const std::wstring& folder : {Dir, std::wstring(L"Z:\\dev\\shm")}) {
    const std::wstring path = folder + L"\\jv_future_" + std::to_wstring(GetCurrentProcessId());
    WriteFileBytes(path, "x");
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

TEST(MiscTime, SystemTimeToSeconds) {
  EXPECT_EQ(SystemTimeToSeconds(SYSTEMTIME{1900, 1, 1, 1, 0, 0, 0, 0}), 2 * 86400);
  EXPECT_EQ(SystemTimeToSeconds(SYSTEMTIME{1899, 12, 6, 30, 23, 59, 59, 999}), 86399);
  EXPECT_EQ(SystemTimeToSeconds(SYSTEMTIME{1601, 1, 1, 1, 0, 0, 1, 0}),
            int64_t{-109205} * 86400 + 1);
  EXPECT_THROW(SystemTimeToSeconds(SYSTEMTIME{2003, 2, 0, 29, 0, 0, 0, 0}), EConvertError);
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
    GTEST_SKIP() << "the table is written for a locale with , and . as separators";

  const int64_t K = 1024, M = K * K, G = M * K, T = G * K;
  using TRow = std::pair<int64_t, const char*>;
  const TRow table[] = {{0, "0"},
                        {1000, "1,000"},
                        {1024, "1,024"},
                        {1025, "1K"},
                        {M, "1,024K"},
                        {M + 1, "1M"},
                        {5 * G, "5G"},
                        {-1, "-"},
                        {T + 1, "1T"},
                        {T, "1,024G"},
                        {1536, "2K"},
                        {1535, "1K"},
                        {INT64_MAX, "8,388,608T"}};
  for (const auto& [size, text] : table) EXPECT_EQ(FormatSizeText(true, true, 0, size, 0), text);
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

TEST(MiscTime, TimeZoneBias) {
  TIME_ZONE_INFORMATION tz{};
  tz.Bias = -60;
  tz.StandardBias = 30;  // never added
  tz.DaylightBias = -60;
  EXPECT_DOUBLE_EQ(TimeZoneBiasOf(TIME_ZONE_ID_UNKNOWN, tz), -60 / 1440.0);
  EXPECT_DOUBLE_EQ(TimeZoneBiasOf(TIME_ZONE_ID_STANDARD, tz), -60 / 1440.0);
  EXPECT_DOUBLE_EQ(TimeZoneBiasOf(TIME_ZONE_ID_DAYLIGHT, tz), -120 / 1440.0);

  // The same offset the platform applies when it turns UTC into local time now.
  const DWORD id = GetTimeZoneInformation(&tz);
  ASSERT_NE(id, TIME_ZONE_ID_INVALID);
  EXPECT_DOUBLE_EQ(GetTimeZoneBias(), TimeZoneBiasOf(id, tz));
  FILETIME utc, local;
  GetSystemTimeAsFileTime(&utc);
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  auto ticks = [](FILETIME f) {
    return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
  };
  EXPECT_NEAR(GetTimeZoneBias() * 1440, (ticks(utc) - ticks(local)) / 600000000.0, 0.01);
}

}  // namespace
