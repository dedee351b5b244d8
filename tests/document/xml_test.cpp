#include "document/xml.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <iterator>
#include <random>
#include <thread>

#include "document/data.h"
#include "document/product.h"
#include "document/uniconv.h"
#include "document/xmlfile.h"
#include "document/xmlstandin.h"
#include "hash/coders.h"
#include "hash/errors.h"
#include "hash/hashers.h"
#include "tests/hash/tempfolder.h"
#include "tests/items.h"

namespace {

constexpr int64_t LastSecond = (int64_t{2958465} + 1) * 86400 - 1;  // 9999-12-31 23:59:59

std::string Saved(TFileList& List) {
  TTempFolder folder;
  EXPECT_TRUE(List.SaveToXML(folder.File(L"list.#ml")));
  return ReadBytes(folder.File(L"list.#ml"));
}

std::string Header() {
  std::string created;
  AppendXMLUtf8(created, CreatedByText());
  return "<?xml version=\"1.0\"?>\n<jurnValt>\n  " + created + "\n";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Writer

// The file of an empty document; an entry with markup characters and without time or hash.
TEST(XMLWriter, EmptyDocumentAndEscapedEntry) {
  TFileList list;
  list.Modified = true;
  EXPECT_EQ(Saved(list), Header() +
                             "  <updateFind/>\n"
                             "  <updateRecurse/>\n"
                             "  <updateHash>MD5</updateHash>\n"
                             "  <updateCode>HEX</updateCode>\n"
                             "  <verifyTime>Disabled</verifyTime>\n"
                             "  <verifySize/>\n"
                             "</jurnValt>\n");
  EXPECT_FALSE(list.Modified);

  // No time and no hash value: those elements are left out.
  TFileItem& item = AddItem(list, L"a&b<c>.txt");
  item.FileNote = L"It's \"x\"";
  item.FileSize = 0;
  const std::string text = Saved(list);
  EXPECT_NE(text.find("  <verifySize/>\n"
                      "  <jurnItem>\n"
                      "    <fileName>a&amp;b&lt;c&gt;.txt</fileName>\n"
                      "    <fileSize>0</fileSize>\n"
                      "    <fileNote>It&apos;s &quot;x&quot;</fileNote>\n"
                      "  </jurnItem>\n"
                      "</jurnValt>\n"),
            std::string::npos)
      << text;
}

// Characters outside the BMP as one four-byte sequence; what XML cannot carry as U+FFFD; CR as a
// reference so that a reader does not turn CR LF into LF.
TEST(XMLWriter, CharactersEveryReaderAccepts) {
  TFileList list;
  AddItem(list, L"\U0001F600\xD800x\xDC00\x01\x7F\x00E9").FileNote = L"a\r\nb\tc";
  AddItem(list, L"").FileNote = std::wstring(1 << 20, L'\x4E2D') + L"&";  // more than a write block
  const std::string text = Saved(list);
  EXPECT_NE(
      text.find("<fileName>\xF0\x9F\x98\x80\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD\x7F\xC3\xA9<"),
      std::string::npos);
  EXPECT_NE(text.find("<fileNote>a&#13;\nb\tc</fileNote>"), std::string::npos);
  std::string longNote;
  for (int i = 0; i < 1 << 20; ++i) longNote += "\xE4\xB8\xAD";
  EXPECT_NE(text.find("<fileNote>" + longNote + "&amp;</fileNote>\n  </jurnItem>\n</jurnValt>\n"),
            std::string::npos);
}

namespace {

// Names, notes and folders from pieces that each need care: markup characters, line ends and
// other control characters, every UTF-8 length, characters outside the BMP, lone surrogates and
// the two non-characters; now and then a long run.
std::wstring AwkwardText(std::mt19937& Random, unsigned MaxPieces) {
  // clang-format off
  static const std::wstring pieces[] = {
      L"a", L"Z", L"0", L" ", L"&", L"<", L">", L"\"", L"'", L"\\", L"&amp;", L"]]>", L"\r\n",
      L"\r", L"\n", L"\t", L"\x01", L"\x1F", L"\x7F", L"\x80", L"\xE9", L"\x7FF", L"\x800",
      L"\x4E2D", L"\xFFFD", L"\xFFFE", L"\xFFFF", L"\xD800", L"\xDBFF", L"\xDC00", L"\U0001F600",
      L"\U0010FFFF", std::wstring(1, L'\0')};
  // clang-format on
  std::wstring text;
  for (unsigned i = Random() % (MaxPieces + 1); i > 0; --i)
    text += pieces[Random() % std::size(pieces)];
  if (Random() % 16 == 0) {
    const wchar_t c = L"x\xE9\x4E2D"[Random() % 3];
    text.append(300 + Random() % 200, c);
  }
  return text;
}

// Narrow fields hold ASCII here, so that the bytes do not depend on the ANSI code page.
std::string AwkwardNarrow(std::mt19937& Random, unsigned MaxLength) {
  static const char chars[] = "AZaz09+/=<&>\"'\t\n\r\x01 `";
  std::string text;
  for (unsigned i = Random() % (MaxLength + 1); i > 0; --i)
    text += chars[Random() % (sizeof(chars) - 1)];
  return text;
}

}  // namespace

// Every setting and every awkward value: the bytes stay those this writer has always written
// (their MD5 below), whatever is done to make it faster. Since entries without a value keep a
// type or encoding other than the defaults, the 11 such entries have an empty hash element.
TEST(XMLWriter, AwkwardDocumentsKeepTheirBytes) {
  const int64_t times[] = {
      0, -1, 1, 86399, 86400, 3287174400 + 32700, LastSecond, LastSecond + 1, INT64_MAX};
  const int64_t sizes[] = {-1, -2, 0, 1, 9, 10, 4294967296, INT64_MAX, INT64_MIN};
  const char* types[] = {"MD5", "CRC32", "SHA1", "", "MD\t5\n\"'<&>\r"};
  const char* codes[] = {"HEX", "MIME64", "UU", "XX", ""};
  std::mt19937 random(7);
  std::string all;
  for (int d = 0; d < 8; ++d) {
    TFileList list;
    list.UpdateFolder = d % 3 ? AwkwardText(random, 6) : L"";
    list.UpdateMask = d % 2 ? AwkwardText(random, 3) : L"";
    list.UpdateFind = d & 1;
    list.UpdateMode = static_cast<TUpdateModes>(d);
    list.UpdateRecurse = d & 2;
    list.UpdateHash = types[d % 5];
    list.UpdateCode = codes[(d + 1) % 5];
    list.LastUpdate = times[d];
    list.VerifyFolder = d % 4 ? AwkwardText(random, 6) : L"";
    list.VerifyTime = d & 4;
    list.VerifySize = d % 3 == 0;
    for (int i = 0; i < 40; ++i) {
      TFileItem& item = AddItem(list, AwkwardText(random, 12));
      item.FileNote = random() % 2 ? AwkwardText(random, 8) : L"";
      item.FileTime = random() % 2 ? times[random() % std::size(times)] : random() % LastSecond;
      const int64_t bits = random();
      item.FileSize = random() % 2 ? sizes[random() % std::size(sizes)] : bits << (random() % 32);
      item.HashType = types[random() % 5];
      item.HashCode = codes[random() % 5];
      item.HashValue = AwkwardNarrow(random, 44);
    }
    all += Saved(list);
  }
  const auto md5 = TMD5Hasher::ClassInfo.Create();
  md5->Init();
  md5->Update(all.data(), static_cast<int32_t>(all.size()));
  md5->Done();
  std::string digest;
  TCoder_HEX::ClassInfo.Encode(md5->DigestKey(), 16, digest);
  EXPECT_EQ(all.size(), 111895u);
  EXPECT_EQ(digest, "840C4AE227CE92A3A4D70C11C8C75D6D");

  // Narrow text beyond ASCII is read in the ANSI code page.
  TFileList list;
  TFileItem& item = AddItem(list, L"");
  item.HashType = "\xC4";
  item.HashValue = "a\xE9<";
  std::string type, value;
  AppendXMLUtf8(type, CodePageToWide("\xC4", CP_ACP));
  AppendXMLUtf8(value, CodePageToWide("a\xE9", CP_ACP));
  EXPECT_NE(Saved(list).find("<fileHash type=\"" + type + "\" code=\"HEX\">" + value + "&lt;<"),
            std::string::npos);
}

// A failed save leaves the previous file as it was, nothing beside it and the document modified;
// its error names the file. A file the user made read-only is refused, as Windows refuses to
// create a file over it, also when it was made so during the save; a file that is replaced keeps
// its hidden and system marks. Another program that holds the file open keeps it from being
// replaced only when it does not let it be deleted, and the error then says the file is in use;
// otherwise it goes on reading the old file while the new one takes its name.
TEST(XMLWriter, ReplacesOnlyAWritableFileAndKeepsItsMarks) {
  TTempFolder folder;
  const std::wstring name = folder.File(L"list.#ml");
  WriteBytes(name, "previous");
  TFileList list;
  AddItem(list, L"new");
  list.Modified = true;
  const auto refused = [&](const std::function<void()>& Save) {
    try {
      Save();
      ADD_FAILURE() << "the file was replaced";
    } catch (const EFCreateError& e) {
      EXPECT_NE(e.GetMessage().find(L"\"" + name + L"\""), std::wstring::npos);
      return e.GetMessage();
    }
    return std::wstring();
  };
  const auto holdFile = [&](DWORD Share) {
    return CreateFileW(name.c_str(), GENERIC_READ, Share, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  for (const DWORD share :
       {DWORD{0}, DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    HANDLE h = holdFile(share);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_NE(refused([&] { list.SaveToXML(name); }).find(L"in use by another program"),
              std::wstring::npos)
        << share;
    EXPECT_EQ(FolderEntries(folder.Root).size(), 1u);  // no new file left behind
    CloseHandle(h);
  }
  EXPECT_TRUE(list.Modified);
  EXPECT_EQ(ReadBytes(name), "previous");
  EXPECT_EQ(FolderEntries(folder.Root).size(), 1u);

  EXPECT_THROW(list.SaveToXML(folder.File(L"missing\\list.#ml")), EFCreateError);
  EXPECT_TRUE(list.Modified);

  // Read-only before the save or made so while it writes.
  SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY);
  refused([&] { list.SaveToXML(name); });
  SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
  refused([&] {
    TXMLFileWriter writer(name);
    writer.WriteBytes("late");
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY);
    writer.Commit();
  });
  EXPECT_TRUE(list.Modified);
  EXPECT_EQ(ReadBytes(name), "previous");
  EXPECT_EQ(GetFileAttributesW(name.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
            DWORD{FILE_ATTRIBUTE_READONLY});
  EXPECT_EQ(FolderEntries(folder.Root).size(), 1u);

  // A failure in the middle of writing, after a first block went to disk.
  SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_THROW(
      {
        TXMLFileWriter writer(name);
        writer.WriteBytes(std::string(3 << 20, 'x'));
        throw EWriteError(L"Stream write error");
      },
      EWriteError);
  EXPECT_EQ(ReadBytes(name), "previous");
  EXPECT_EQ(FolderEntries(folder.Root).size(), 1u);

  EXPECT_TRUE(list.SaveToXML(name));
  EXPECT_FALSE(list.Modified);
  EXPECT_NE(ReadBytes(name).find("<fileName>new</fileName>"), std::string::npos);
  EXPECT_EQ(GetFileAttributesW(name.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
  EXPECT_EQ(FolderEntries(folder.Root).size(), 1u);

  // Held as viewers, indexers and sync clients hold files: the holder still reads the old file.
  for (const DWORD share : {DWORD{FILE_SHARE_READ | FILE_SHARE_DELETE},
                            DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
    const std::string before = ReadBytes(name);
    AddItem(list, L"held" + std::to_wstring(share));
    HANDLE h = holdFile(share);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_NO_THROW(list.SaveToXML(name)) << share;
    EXPECT_NE(ReadBytes(name).find("<fileName>held" + std::to_string(share) + "</fileName>"),
              std::string::npos);
    std::string held(before.size() + 1, '\0');
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(h, held.data(), DWORD(held.size()), &n, nullptr));
    EXPECT_EQ(held.substr(0, n), before);
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesW(name.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
              DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
    EXPECT_EQ(FolderEntries(folder.Root).size(), 1u);
  }
}

namespace {

// Runs a shell command of the Unix side and returns its exit status, -1 when it cannot be had.
// Wine starts a Unix program without a process to wait for, so the shell leaves its status in a
// file of its own, which is awaited.
int RunUnixCommand(const std::wstring& Command) {
  const std::wstring status = L"/tmp/jv-status-" + std::to_wstring(GetCurrentProcessId());
  std::wstring line = L"/bin/sh -c \"" + Command + L"; echo $? >" + status + L".part; mv " +
                      status + L".part " + status + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
  std::wstring file = L"Z:" + status;
  std::replace(file.begin(), file.end(), L'/', L'\\');
  for (int i = 0; i < 300; ++i, Sleep(100)) {
    const std::string text = ReadBytes(file);
    if (text.empty()) continue;
    DeleteFileW(file.c_str());
    return std::atoi(text.c_str());
  }
  return -1;
}

// A volume of 1 MiB of its own, mounted at a folder of the Unix side and reached through Wine's
// drive of the Unix root. Root stays empty where this user may not mount one.
class TSmallVolume {
 public:
  TSmallVolume() : Unix(L"/tmp/jv-small-" + std::to_wstring(GetCurrentProcessId())) {
    std::wstring folder = L"Z:" + Unix;
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    if (RunUnixCommand(L"mkdir -p " + Unix + L" && mount -t tmpfs -o size=1m jv-small " + Unix) ==
        0)
      Root = folder + L"\\";
  }
  ~TSmallVolume() {
    if (!Root.empty()) RunUnixCommand(L"umount " + Unix);
    RunUnixCommand(L"rmdir " + Unix);
  }
  TSmallVolume(const TSmallVolume&) = delete;
  TSmallVolume& operator=(const TSmallVolume&) = delete;

  std::wstring Root;  // ends in a backslash

 private:
  const std::wstring Unix;
};

}  // namespace

// A save that the disk cannot hold says so, naming the file and giving the system's reason; the
// previous file, the folder and the document stay as they were.
TEST(XMLWriter, ASaveIntoAFullDiskSaysWhy) {
  TSmallVolume volume;
  if (volume.Root.empty()) GTEST_SKIP() << "no volume of 1 MiB could be mounted";
  const std::wstring name = volume.Root + L"list.#ml";
  WriteBytes(name, "previous");
  TFileList list;
  AddItem(list, L"big").FileNote = std::wstring(1 << 20, L'\x4E2D');  // 3 MiB in UTF-8
  list.Modified = true;
  try {
    list.SaveToXML(name);
    ADD_FAILURE() << "the save fitted";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.GetMessage(),
              L"Cannot write file \"" + name + L"\". " + SystemErrorText(ERROR_DISK_FULL));
  }
  EXPECT_TRUE(list.Modified);
  EXPECT_EQ(ReadBytes(name), "previous");
  EXPECT_EQ(FolderEntries(volume.Root).size(), 1u);
}

namespace {

constexpr wchar_t EndedSaveVariable[] = L"JV_ENDED_SAVE";
constexpr UINT EndedSaveExit = 3;

// In the process EndedSave starts: a save of the named target ended with the process after its
// first blocks reached the disk, as when the program is killed while it saves.
void EndThisProcessInASave() {
  wchar_t target[MAX_PATH * 2];
  if (!GetEnvironmentVariableW(EndedSaveVariable, target, MAX_PATH * 2)) return;
  TXMLFileWriter writer(target);
  writer.WriteBytes(std::string(3 << 20, 'x'));
  TerminateProcess(GetCurrentProcess(), EndedSaveExit);
}

// Runs the current test again in a process of its own, with Variable set to Value; returns the
// process, or null when it cannot start.
HANDLE RunThisTestAgain(const wchar_t* Variable, const std::wstring& Value) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=" +
                         CodePageToWide(test->test_suite_name(), CP_UTF8) + L"." +
                         CodePageToWide(test->name(), CP_UTF8);
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = nul;
  PROCESS_INFORMATION pi{};
  SetEnvironmentVariableW(Variable, Value.c_str());
  const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &si, &pi);
  SetEnvironmentVariableW(Variable, nullptr);
  CloseHandle(nul);
  if (!started) {
    ADD_FAILURE() << "cannot start the test's second process: " << GetLastError();
    return nullptr;
  }
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

// Runs the current test again in a process of its own that saves Target and is ended half-way;
// returns the name of the one file it left in Folder.
std::wstring EndedSave(const TTempFolder& Folder, const std::wstring& Target) {
  std::vector<std::wstring> before;
  for (const WIN32_FIND_DATAW& d : FolderEntries(Folder.Root)) before.push_back(d.cFileName);
  HANDLE process = RunThisTestAgain(EndedSaveVariable, Target);
  if (!process) return L"";
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  EXPECT_EQ(code, EndedSaveExit) << "the save was not ended half-way";
  std::wstring left;
  for (const WIN32_FIND_DATAW& d : FolderEntries(Folder.Root))
    if (std::find(before.begin(), before.end(), d.cFileName) == before.end()) {
      EXPECT_EQ(left, L"") << "more than one file left";
      left = d.cFileName;
    }
  return left;
}

// What a folder holds, in lower case: a file replaced under another letter case may take it.
std::vector<std::wstring> FolderNames(const TTempFolder& Folder) {
  std::vector<std::wstring> names;
  for (WIN32_FIND_DATAW d : FolderEntries(Folder.Root)) names.push_back(CharLowerW(d.cFileName));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// A save ended with its process leaves the previous file as it was and its new file beside it.
// The next save of that target, under any letter case, takes that file away; nothing else goes:
// not the file another target's save left, not files that only look like one, not the file of a
// process still running, not a read-only file or a folder under a name of the very form, which
// a save never makes. A save of the target still under way keeps its file, and both saves end
// with their own file in place. While the target is missing, nothing goes.
TEST(XMLWriter, TheNextSaveRemovesWhatAnEndedSaveLeft) {
  EndThisProcessInASave();
  TTempFolder folder;
  const std::wstring name = folder.File(L"list.#ml");
  WriteBytes(name, "previous");
  const std::wstring left = EndedSave(folder, name);
  ASSERT_NE(left, L"");
  EXPECT_EQ(ReadBytes(name), "previous");
  EXPECT_EQ(ReadBytes(folder.File(left)), std::string(3 << 20, 'x'));

  const std::wstring otherLeft = EndedSave(folder, folder.File(L"other.#ml"));
  ASSERT_NE(otherLeft, L"");
  ASSERT_NE(otherLeft, left);
  // "~jv", eight digits from the target's name, "-", the process, "-", the save's number, ".tmp".
  const size_t first = left.find(L'-'), last = left.rfind(L'-');
  ASSERT_LT(first, last);
  const std::wstring stem = left.substr(0, first + 1), ended = left.substr(0, last + 1);
  const std::wstring process = left.substr(first + 1, last - first - 1);
  std::wstring otherStem = left;
  otherStem[4] = otherStem[4] == L'0' ? L'1' : L'0';
  wchar_t running[16];
  swprintf(running, 16, L"%lx", GetCurrentProcessId());
  // Names a save does not write, and one of a process that still runs.
  const std::wstring similar[] = {otherStem,
                                  left + L".tmp",
                                  L"~" + left,
                                  left.substr(0, left.size() - 4),
                                  ended + L"0.tmp",
                                  ended + L"01.tmp",
                                  ended + L"2x.tmp",
                                  ended + L".tmp",
                                  L"~JV" + ended.substr(3) + L"3.tmp",
                                  stem + L"0" + process + L"-4.tmp",
                                  stem + running + L"-5.tmp"};
  for (const std::wstring& n : similar) folder.Write(n, "the user's");
  folder.Write(ended + L"6.tmp", "the user's", FILE_ATTRIBUTE_READONLY);
  CreateDirectoryW(folder.File(ended + L"7.tmp").c_str(), nullptr);
  std::vector<std::wstring> expected(std::begin(similar), std::end(similar));
  expected.insert(expected.end(), {L"list.#ml", otherLeft, ended + L"6.tmp", ended + L"7.tmp"});
  for (std::wstring& n : expected) CharLowerW(n.data());
  std::sort(expected.begin(), expected.end());

  TFileList list;
  AddItem(list, L"new");
  ASSERT_TRUE(list.SaveToXML(name));
  EXPECT_NE(ReadBytes(name).find("<fileName>new</fileName>"), std::string::npos);
  EXPECT_EQ(FolderNames(folder), expected);
  EXPECT_EQ(ReadBytes(folder.File(ended + L"6.tmp")), "the user's");

  ASSERT_NE(EndedSave(folder, name), L"");
  ASSERT_TRUE(list.SaveToXML(folder.File(L"LIST.#ML")));
  EXPECT_EQ(FolderNames(folder), expected);

  {
    TXMLFileWriter under(name);
    under.WriteBytes("running");
    EXPECT_TRUE(list.SaveToXML(name));
    EXPECT_NE(ReadBytes(name).find("<fileName>new</fileName>"), std::string::npos);
    under.Commit();
  }
  EXPECT_EQ(ReadBytes(name), "running");
  EXPECT_EQ(FolderNames(folder), expected);

  // Without its target, what an ended save left may be all there is of the document (it was
  // ended between moving the old file aside and the new one in): it stays until the target is
  // back.
  const std::wstring orphan = folder.File(L"orphan.#ml");
  const std::wstring kept = EndedSave(folder, orphan);
  ASSERT_NE(kept, L"");
  ASSERT_TRUE(list.SaveToXML(orphan));
  EXPECT_EQ(ReadBytes(folder.File(kept)), std::string(3 << 20, 'x'));
  ASSERT_TRUE(list.SaveToXML(orphan));
  EXPECT_EQ(GetFileAttributesW(folder.File(kept).c_str()), INVALID_FILE_ATTRIBUTES);
}

// A read-only file or a folder under the name an earlier save of the target used for its new file
// blocks no later save and stays as it is.
TEST(XMLWriter, WhatStandsUnderANameAnEarlierSaveUsedStays) {
  TTempFolder folder;
  const std::wstring name = folder.File(L"list.#ml");
  WriteBytes(name, "previous");
  TFileList list;
  AddItem(list, L"new");
  std::vector<std::wstring> expected = FolderNames(folder), used;
  for (const bool readOnly : {true, false}) {
    {
      TXMLFileWriter abandoned(name);
      const std::vector<std::wstring> now = FolderNames(folder);
      used.clear();
      std::set_difference(now.begin(), now.end(), expected.begin(), expected.end(),
                          std::back_inserter(used));
    }
    ASSERT_EQ(used.size(), 1u);
    ASSERT_EQ(FolderNames(folder), expected);
    if (readOnly)
      folder.Write(used[0], "the user's", FILE_ATTRIBUTE_READONLY);
    else
      CreateDirectoryW(folder.File(used[0]).c_str(), nullptr);
    EXPECT_NO_THROW(list.SaveToXML(name));
    EXPECT_NE(ReadBytes(name).find("<fileName>new</fileName>"), std::string::npos);
    expected.push_back(used[0]);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderNames(folder), expected);
    EXPECT_EQ(ReadBytes(folder.File(used[0])), readOnly ? "the user's" : "");
  }
}

namespace {

// The name of the document a target holds, or what stands there instead. A save that replaces a
// file another program holds open (as the other process reads it) moves the old file aside first:
// for that moment there is none, which Settle waits out.
std::string HeldName(const std::wstring& Target, bool Settle = false) {
  std::string bytes;
  for (int wait = Settle ? 2000 : 0;; --wait, Sleep(1)) {
    HANDLE h = CreateFileW(Extended(Target).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND && wait > 0) continue;
    char buffer[4096];
    DWORD n = 0;
    while (h != INVALID_HANDLE_VALUE && ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
      bytes.append(buffer, n);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    break;
  }
  const size_t start = bytes.find("<fileName>"), end = bytes.find("</fileName>");
  if (start == std::string::npos || end == std::string::npos)
    return "(" + std::to_string(bytes.size()) + " bytes without a name)";
  return bytes.substr(start + 10, end - start - 10);
}

// The lines of Log that begin with Kind, without it.
std::vector<std::string> LinesOf(const std::string& Log, const std::string& Kind) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; at < Log.size(); at = end + 1) {
    end = Log.find('\n', at);
    if (Log.compare(at, Kind.size(), Kind) == 0)
      lines.push_back(Log.substr(at + Kind.size(), end - at - Kind.size()));
  }
  return lines;
}

std::string Faults(const std::vector<std::string>& Lines) {
  std::string text = std::to_string(Lines.size()) + " faults";
  for (size_t i = 0; i < Lines.size() && i < 5; ++i) text += "\n  " + Lines[i];
  return text;
}

constexpr wchar_t SaveRaceVariable[] = L"JV_SAVE_RACE";
constexpr unsigned SaveRaceRounds = 600;

// Saves Own and Shared in turns, each time a document named Tag and the round, and reads the
// target after every save that reports success. Returns a line for each fault ("wrong: "), for
// each document saved to the shared target ("saved ") and for each document of the other
// process found there ("found ").
std::string SaveInTurns(const std::wstring& Own, const std::wstring& Shared, char Tag) {
  std::string log;
  TFileList list;
  TFileItem& item = AddItem(list, L"");
  for (unsigned round = 1; round <= SaveRaceRounds; ++round) {
    const std::string name = Tag + std::to_string(round);
    item.FileName = CodePageToWide(name, CP_UTF8);
    for (const std::wstring* target : {&Own, &Shared}) {
      try {
        list.SaveToXML(*target);
      } catch (const EStreamError& e) {
        // The other process reading the shared target may keep it from being replaced; nothing
        // keeps a process from replacing its own.
        if (target == &Own)
          log += "wrong: " + name + " failed: " + WideToCodePage(e.GetMessage(), CP_UTF8) + "\n";
        continue;
      }
      const std::string held = HeldName(*target, target == &Shared);
      if (target == &Shared) log += "saved " + name + "\n";
      if (held == name) continue;
      const bool theirs = !held.empty() && held[0] != Tag && held[0] != '(';
      log += (target == &Shared && theirs ? "found " : "wrong: " + name + " saved, in place: ") +
             held + "\n";
    }
  }
  return log;
}

// In the process the race test starts: saves in turns with the first one and leaves its log.
void SaveInTurnsIfAsked() {
  wchar_t value[4 * MAX_PATH];
  if (!GetEnvironmentVariableW(SaveRaceVariable, value, std::size(value))) return;
  std::vector<std::wstring> parts(1);  // own target, shared target, log, start event
  for (const wchar_t* c = value; *c; ++c) {
    if (*c == L'|')
      parts.emplace_back();
    else
      parts.back() += *c;
  }
  SetEvent(OpenEventW(EVENT_MODIFY_STATE, FALSE, parts[3].c_str()));
  WriteBytes(parts[2], SaveInTurns(parts[0], parts[1], 'c'));
  ExitProcess(0);
}

}  // namespace

// Two processes save at once: each its own target, the two named so that their new files' names
// begin alike, and a target both save. After every save that reports success the target holds
// the document that save wrote, or, the shared one, a document whose save in the other process
// reported success; every save of a process's own target succeeds; nothing is left beside them.
TEST(XMLWriter, SavesAtOnceEachPutOnlyTheirOwnDocumentInPlace) {
  SaveInTurnsIfAsked();
  TTempFolder folder;
  const std::wstring log = folder.File(L"other.log"), shared = folder.File(L"shared.#ml");
  const std::wstring event = L"Local\\jv-save-race-" + std::to_wstring(GetCurrentProcessId());
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
  HANDLE other = RunThisTestAgain(SaveRaceVariable, folder.File(L"list1003282.#ml") + L"|" +
                                                        shared + L"|" + log + L"|" + event);
  ASSERT_NE(other, nullptr);
  HANDLE started[] = {ready, other};
  ASSERT_EQ(WaitForMultipleObjects(2, started, FALSE, INFINITE), WAIT_OBJECT_0);
  const std::string mine = SaveInTurns(folder.File(L"list604039.#ml"), shared, 'p');
  WaitForSingleObject(other, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(other, &code);
  CloseHandle(other);
  CloseHandle(ready);
  ASSERT_EQ(code, 0u);
  const std::string theirs = ReadBytes(log);
  for (const auto& [found, saved] : {std::pair{&mine, &theirs}, std::pair{&theirs, &mine}}) {
    std::vector<std::string> wrong = LinesOf(*found, "wrong: ");
    const std::vector<std::string> reported = LinesOf(*saved, "saved ");
    for (const std::string& name : LinesOf(*found, "found "))
      if (std::find(reported.begin(), reported.end(), name) == reported.end())
        wrong.push_back(name + " in place, but its save did not report success");
    EXPECT_TRUE(wrong.empty()) << Faults(wrong);
  }
  EXPECT_EQ(FolderEntries(folder.Root).size(), 4u);
}

// Another program keeps replacing every file in the folder that looks like a save's new file with
// one of its own. A save puts the file it wrote in place, or it fails and the target stays as
// it was.
TEST(XMLWriter, ASaveNeverPutsAFileAnotherProgramSwappedInPlace) {
  TTempFolder folder;
  const std::wstring target = folder.File(L"list.#ml");
  std::atomic<bool> stop = false;
  std::thread other([&] {
    while (!stop) {
      for (const WIN32_FIND_DATAW& d : FolderEntries(folder.Root)) {
        const std::wstring name = folder.File(d.cFileName);
        if (std::wcsncmp(d.cFileName, L"~jv", 3) != 0 || !DeleteFileW(name.c_str())) continue;
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        DWORD n = 0;
        if (h == INVALID_HANDLE_VALUE) continue;
        WriteFile(h, "<fileName>swapped</fileName>", 28, &n, nullptr);
        CloseHandle(h);
      }
    }
  });
  TFileList list;
  TFileItem& item = AddItem(list, L"");
  std::vector<std::string> wrong;
  std::string before = HeldName(target);
  for (unsigned round = 1; round <= 500; ++round) {
    const std::string name = "saved" + std::to_string(round);
    item.FileName = CodePageToWide(name, CP_UTF8);
    bool saved = false;
    try {
      saved = list.SaveToXML(target);
    } catch (const EStreamError&) {
    }
    const std::string held = HeldName(target);
    if (held != (saved ? name : before))
      wrong.push_back(name + (saved ? " saved" : " failed") + ", in place: " + held);
    before = held;
  }
  stop = true;
  other.join();
  EXPECT_TRUE(wrong.empty()) << Faults(wrong);
}

// ---------------------------------------------------------------------------------------------
// Reader: every test runs with both parsers.

namespace {

const std::wstring Mark(1, L'\xFDD0');  // what the MSXML reader's stand-ins are made of

// Text as UTF-16 with a byte-order mark.
std::string Utf16(const std::wstring& Text, bool BigEndian) {
  std::string bytes;
  for (const wchar_t c : L"\xFEFF" + Text) {
    const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
    bytes += BigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

struct TLoad {
  bool Ok = false;
  std::wstring Message = L"untouched";
  int32_t Column = -7;
  int32_t Line = -7;
};

// The MSXML SAX2 reader; the built-in parser; the built-in parser taking the text a piece of
// markup at a time.
enum TParser { ParserMSXML, ParserBuiltin, ParserBuiltinInPieces };

class XMLReader : public ::testing::TestWithParam<TParser> {
 protected:
  void SetUp() override {
    if (GetParam() == ParserBuiltinInPieces) BuiltinParseWindow = 1;
  }
  void TearDown() override {
    BuiltinParseWindow = SavedWindow;
    MSXMLReadSize = SavedReadSize;
  }
  bool MSXML() const { return GetParam() == ParserMSXML; }

  TLoad Load(const std::string& Bytes) {
    WriteBytes(Folder.File(L"in.#ml"), Bytes);
    return LoadFile(Folder.File(L"in.#ml"));
  }
  TLoad LoadFile(const std::wstring& Name) {
    TLoad r;
    r.Ok = List.LoadFromXML(Name, MSXML(), r.Message, r.Column, r.Line);
    return r;
  }
  // A document of the given body lines inside the root.
  TLoad LoadBody(const std::string& Body) {
    return Load("<?xml version=\"1.0\"?>\n<jurnValt>\n" + Body + "</jurnValt>\n");
  }
  const size_t SavedWindow = BuiltinParseWindow;
  const size_t SavedReadSize = MSXMLReadSize;
  TTempFolder Folder;
  TFileList List;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(BothParsers, XMLReader,
                         ::testing::Values(ParserMSXML, ParserBuiltin, ParserBuiltinInPieces),
                         [](const ::testing::TestParamInfo<TParser>& Info) {
                           return std::string(Info.param == ParserMSXML     ? "MSXML"
                                              : Info.param == ParserBuiltin ? "Builtin"
                                                                            : "BuiltinInPieces");
                         });

// The writer's side of the round trip, read back with both parsers.
class XMLWriterReadBack : public XMLReader {};

INSTANTIATE_TEST_SUITE_P(BothParsers, XMLWriterReadBack,
                         ::testing::Values(ParserMSXML, ParserBuiltin),
                         [](const ::testing::TestParamInfo<TParser>& Info) {
                           return std::string(Info.param == ParserMSXML ? "MSXML" : "Builtin");
                         });

// An entry without a value keeps the hash type and encoding it was given (the hash type command
// empties the value): its hash element is written for them, empty, unless they are what an
// entry without one reads back as, so that every other file keeps its bytes.
TEST_P(XMLWriterReadBack, AnEntryWithoutAValueKeepsItsTypeAndEncoding) {
  TFileList saved;
  AddItem(saved, L"sha1", "SHA1");
  AddItem(saved, L"mime64", "MD5", "MIME64");
  AddItem(saved, L"blank", "", "");
  AddItem(saved, L"plain");
  AddItem(saved, L"valued", "CRC32", "UU", "x<&");
  const std::wstring file = Folder.File(L"saved.#ml");
  ASSERT_TRUE(saved.SaveToXML(file));
  const std::string bytes = ReadBytes(file);
  for (const char* element :
       {"<fileName>sha1</fileName>\n    <fileHash type=\"SHA1\" code=\"HEX\"></fileHash>\n",
        "<fileName>mime64</fileName>\n    <fileHash type=\"MD5\" code=\"MIME64\"></fileHash>\n",
        "<fileName>blank</fileName>\n    <fileHash type=\"\" code=\"\"></fileHash>\n",
        "<fileName>plain</fileName>\n  </jurnItem>\n"})
    EXPECT_NE(bytes.find(element), std::string::npos) << element;
  ASSERT_TRUE(LoadFile(file).Ok);
  ASSERT_EQ(List.Items.size(), saved.Items.size());
  for (size_t i = 0; i < saved.Items.size(); ++i) {
    const TFileItem &was = *saved.Items[i], &is = *List.Items[i];
    EXPECT_EQ(is.HashType, was.HashType) << i;
    EXPECT_EQ(is.HashCode, was.HashCode) << i;
    EXPECT_EQ(is.HashValue, was.HashValue) << i;
  }
}

// Flags count as true unless "Disabled"; times add up in any order; text is taken as written,
// and the reader accepts more than the writer emits. A load leaves the document unmodified.
TEST_P(XMLReader, FlagsTimesAndText) {
  List.Modified = true;
  const TLoad r = LoadBody(
      "<updateFind></updateFind><updateRecurse>DISABLED</updateRecurse>"
      "<verifySize> disabled</verifySize><verifyTime>yes</verifyTime>"
      "<jurnItem><fileDate>2004-2-29</fileDate></jurnItem>"
      "<jurnItem><fileTime>1:0:0</fileTime><fileTime>0:0:5</fileTime></jurnItem>"
      "<updateDate>2004-2-29</updateDate><updateTime>9:5:0</updateTime>\n"
      "  <jurnItem>\n"
      "    <fileName>first\n"
      "    second</fileName>\n"
      "    <fileNote>  </fileNote>\n"
      "    <fileHash code=\"UU\" type=\"CRC32\" other=\"x\">&lt;a&amp;&#x42;&#13;</fileHash>\n"
      "  </jurnItem>\n"
      "  <jurnItem><fileName>\xF0\x9F\x98\x80&#x1F600;&#233;\r\n<![CDATA[<&>]]></fileName>"
      "<fileNote>a\rb</fileNote></jurnItem>\n"
      "<!-- a comment --><?pi data?>"
      "<jurnItem><updateMask>*.txt</updateMask><fileSize>$10</fileSize><unknown a='1'/>"
      "<fileSize2>5</fileSize2></jurnItem>"
      "<jurnItem><fileSize>12x</fileSize><fileDate>bad</fileDate><fileTime>9:5</fileTime>"
      "</jurnItem>"
      "<jurnItem><fileSize> -0x1F</fileSize></jurnItem>"
      "<updateMode>size, HASH, empty, , what</updateMode>");
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(r.Message, L"untouched");
  EXPECT_FALSE(List.Modified);
  EXPECT_TRUE(List.UpdateFind && List.VerifySize && List.VerifyTime);
  EXPECT_FALSE(List.UpdateRecurse);
  ASSERT_EQ(List.GetCount(), 7);
  EXPECT_EQ(List.Items[0]->Owner, &List);
  EXPECT_EQ(List.Items[0]->FileTime, 3287174400);
  EXPECT_EQ(List.Items[1]->FileTime, 3605);
  EXPECT_EQ(List.LastUpdate, 3287174400 + 32700);
  const TFileItem& a = *List.Items[2];
  EXPECT_EQ(a.FileName, L"first\n    second");
  EXPECT_EQ(a.FileNote, L"  ");
  EXPECT_EQ(a.HashType + a.HashCode, "CRC32UU");
  EXPECT_EQ(a.HashValue, "<a&B\r");
  EXPECT_EQ(List.Items[3]->FileName, L"\U0001F600\U0001F600\u00E9\n<&>");
  EXPECT_EQ(List.Items[3]->FileNote, L"a\nb");
  EXPECT_EQ(List.UpdateMask, L"*.txt");
  EXPECT_EQ(List.Items[4]->FileSize, 16);
  EXPECT_EQ(List.Items[5]->FileSize, -1);
  EXPECT_EQ(List.Items[5]->FileTime, 0);
  EXPECT_EQ(List.Items[6]->FileSize, -31);
  EXPECT_EQ(List.UpdateMode, umSize | umHash);

  List.UpdateFind = false;
  ASSERT_TRUE(LoadBody("<updateFind/><verifySize>Disabled</verifySize>").Ok);
  EXPECT_TRUE(List.UpdateFind);
  EXPECT_FALSE(List.VerifySize);
}

// Every time the reader takes is saved as texts it reads back: a date and a time of day that add
// up to more than the last second of 31 December 9999 make an unknown time.
TEST_P(XMLReader, TimesAtTheEdgesOfTheDateRangeReadBack) {
  const struct {
    const char* Date;
    const char* Time;
    int64_t Expected;
  } cases[] = {{"9999-12-31", "23:59:59", LastSecond},
               {"9999-12-31", "24:0:0", 0},
               {"9999-12-31", "65535:59:59", 0},
               {"0001-01-01", "0:0:1", 367 * int64_t{86400} + 1},  // a two-digit year: 1901
               {"2004-2-29", "25:61:61", 3287174400 + 93721}};
  const std::wstring saved = Folder.File(L"saved.#ml");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Date) + " " + c.Time);
    List.Clear();
    ASSERT_TRUE(LoadBody(std::string("<jurnItem><fileDate>") + c.Date + "</fileDate><fileTime>" +
                         c.Time + "</fileTime></jurnItem><updateTime>" + c.Time +
                         "</updateTime><updateDate>" + c.Date + "</updateDate>")
                    .Ok);
    ASSERT_EQ(List.GetCount(), 1);
    EXPECT_EQ(List.Items[0]->FileTime, c.Expected);
    EXPECT_EQ(List.LastUpdate, c.Expected);
    ASSERT_TRUE(List.SaveToXML(saved));
    List.Clear();
    const TLoad again = LoadFile(saved);
    ASSERT_TRUE(again.Ok) << WideToCodePage(again.Message, CP_UTF8);
    EXPECT_EQ(List.Items[0]->FileTime, c.Expected);
    EXPECT_EQ(List.LastUpdate, c.Expected);
  }
  // Repeated dates add up past the range too.
  List.Clear();
  ASSERT_TRUE(LoadBody("<jurnItem><fileDate>9999-12-31</fileDate><fileDate>1900-1-1</fileDate>"
                       "</jurnItem>")
                  .Ok);
  EXPECT_EQ(List.Items[0]->FileTime, 0);
}

// Well-formed XML of another kind is no checksum file: false without an error text (the out
// values stay as the caller set them), and the document stays as it was, stray entries and
// settings elements outside a checksum file's root included.
TEST_P(XMLReader, OtherRootIsNoChecksumFile) {
  AddItem(List, L"kept");
  List.Modified = true;
  for (const char* text :
       {"<?xml version=\"1.0\"?><other><jurnItem><fileName>a</fileName></jurnItem>"
        "<updateMask>m</updateMask></other>",
        "<?xml version=\"1.0\"?>\n<jurnvalt>\n  <jurnItem/>\n</jurnvalt>\n"}) {
    SCOPED_TRACE(text);
    const TLoad r = Load(text);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Message, L"untouched");
    EXPECT_EQ(r.Line, -7);
    EXPECT_EQ(r.Column, -7);
    ASSERT_EQ(List.GetCount(), 1);
    EXPECT_EQ(List.Items[0]->FileName, L"kept");
    EXPECT_EQ(List.UpdateMask, L"");
    EXPECT_TRUE(List.Modified);
  }
}

// A failed load keeps the entries read so far: a file cut short, and an impossible date that
// raises inside the event and ends the load with its message.
TEST_P(XMLReader, FailedLoadKeepsTheEntriesReadSoFar) {
  TLoad r = Load(
      "<?xml version=\"1.0\"?>\n<jurnValt>\n"
      "  <jurnItem>\n    <fileName>one</fileName>\n  </jurnItem>\n"
      "  <jurnItem>\n    <fileName>two</fileName>\n  </jurnItem>\n"
      "  <jurnItem>\n    <fileName>thr");
  EXPECT_FALSE(r.Ok);
  EXPECT_FALSE(r.Message.empty());
  EXPECT_NE(r.Message, L"untouched");
  EXPECT_GE(r.Line, 9);
  EXPECT_GE(r.Column, 1);
  ASSERT_EQ(List.GetCount(), 3);
  EXPECT_EQ(List.Items[0]->FileName, L"one");
  EXPECT_EQ(List.Items[1]->FileName, L"two");
  EXPECT_EQ(List.Items[2]->FileName, L"");

  List.Clear();
  r = LoadBody(
      "<jurnItem><fileName>a</fileName></jurnItem>\n"
      "<jurnItem><fileDate>2004-2-30</fileDate></jurnItem>\n"
      "<jurnItem><fileName>c</fileName></jurnItem>\n");
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Message, L"Invalid argument to date encode");
  EXPECT_EQ(r.Line, 4);
  EXPECT_EQ(List.GetCount(), 2);
}

// What XML forbids fails with either parser wherever it stands and however the file is encoded;
// so does malformed markup. The built-in parser names the place of the fault; Wine's msxml3 that
// of its last event before it, in bytes of UTF-8, and no line before the first.
TEST_P(XMLReader, RejectsWhatXMLForbids) {
  const std::string declaration = "<?xml version=\"1.0\"?>";
  // A checksum file whose root starts line 2, so the piece in the entry starts at column 21.
  const auto file = [](const std::string& Prolog, const std::string& Entry) {
    return Prolog + "\n<jurnValt><jurnItem>" + Entry + "</jurnItem></jurnValt>\n";
  };
  const auto utf16 = [](const std::string& Text, bool BigEndian) {
    std::string bytes = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : Text) {
      bytes += BigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return bytes;
  };
  const std::string nul(1, '\0');
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  struct TCase {
    std::string Bytes;
    int32_t Line, Column;
  } cases[] = {
      // Characters XML forbids, also in text that is decoded first.
      {utf16(file(declaration, "<fileHash>a" + nul + "b</fileHash>"), false), 2, 32},
      {utf16(file(declaration, "<fileName>a\x01</fileName>"), true), 2, 32},
      {file("<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "<fileName>\xE9\x1F</fileName>"),
       2, 32},
      // Declarations that are none, or stand elsewhere.
      {file("<?xml this is no declaration?>", ""), 1, 6},
      {file("<?xml version=\"1.0\" standalone=\"maybe\"?>", ""), 1, 33},
      {file(declaration + "\n" + declaration, ""), 2, 1},
      {file(declaration, "<?XmL x?>"), 2, 21},
      // "]]>" within text and at its end; processing instructions, comments and document types
      // out of form.
      {file(declaration, "<fileName>a]]>b</fileName>"), 2, 32},
      {file(declaration, "<fileName>a]]></fileName>"), 2, 32},
      {file(declaration, "<?1pi x?>"), 2, 23},
      {file(declaration, "<?pi?x?>"), 2, 25},
      {file(declaration, "<!-- a -- b -->"), 2, 28},
      {file(declaration + "<!DOCTYPE>", ""), 1, 31},
      {file(declaration + "<!DOCTYPE jurnValt [ garbage ]>", ""), 1, 43},
      {file(declaration + "<!DOCTYPE jurnValt [<!ELEMENT jurnValt (a,b|c)>]>", ""), 1, 65},
      {file(declaration + "<!DOCTYPE jurnValt><!DOCTYPE jurnValt>", ""), 1, 41},
      {file(declaration + "<![CDATA[x]]>", ""), 1, 22},
      // Namespace prefixes that are not declared, or declared as nothing.
      {file(declaration, "<p:x/>"), 2, 22},
      {file(declaration, "<x xmlns:p=\"\"/>"), 2, 24},
      // Malformed markup, nesting deeper than any checksum file, no root, an unknown encoding.
      {file(declaration, "<jurnItem></fileName>"), 2, 41},
      {file(declaration, "<a b='1' b='2'/>"), 2, 30},
      {file(declaration, "<a>&unknown;</a>"), 2, 24},
      {file(declaration, "<a>&#1;</a>"), 2, 24},
      {file(declaration, "<a>caf\xE9</a>"), 2, 27},
      {file(declaration, "<a b='<'/>"), 2, 27},
      {file(declaration, deep), 2, 1551},
      {"", 1, 1},
      {declaration, 1, 22},
      {"<?xml version=\"1.0\" encoding=\"no-such\"?><jurnValt/>", 1, 31},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Bytes.substr(0, 100));
    const TLoad r = Load(c.Bytes);
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.Message.empty());
    EXPECT_NE(r.Message, L"untouched");
    if (!MSXML()) {  // Wine's msxml3 reports line 0 in the prolog
      EXPECT_EQ(r.Line, c.Line);
      EXPECT_EQ(r.Column, c.Column);
    }
  }
  // After a complete root the document stands; what follows is still reported.
  EXPECT_NE(Load("<jurnValt></jurnValt><x/>").Message, L"untouched");

  // A fault is placed as in the file as stored, whatever the MSXML reader's stand-ins and the
  // decoding change on the way: each first file against a second of the same shape without them.
  const auto entry = [&](const std::string& Value, const std::string& Tail) {
    return declaration + "\n<jurnValt><jurnItem><fileName>" + Value + "</fileName>" + Tail;
  };
  const auto encoded = [](const char* Encoding, uint32_t CodePage, const std::wstring& Text) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + Encoding + "\"?>\n" +
           WideToCodePage(Text, CodePage);
  };
  const std::wstring zh = L"<jurnValt><jurnItem><fileName>\x4E2D\x6587</fileName>\x4E2D<bad<";
  const std::string nonChar = "\xEF\xB7\x90", cjk = "\xE4\xB8\xAD";
  const std::pair<std::string, std::string> alike[] = {
      {entry("&#13;&#13;&#13;&#13;", "<bad<"), entry("&#65;&#65;&#65;&#65;", "<bad<")},
      {entry("a&#xd;b&#0000013;", "<bad<"), entry("a&#xa;b&#0000010;", "<bad<")},
      {entry("&#13;&#13;", "\n  <bad<"), entry("&#65;&#65;", "\n  <bad<")},
      {entry(nonChar + "1" + nonChar, "<bad<"), entry(cjk + "1" + cjk, "<bad<")},
      {entry("<![CDATA[a\nbc]]>", "<bad<"), entry("<?pi a\nbc?>d", "<bad<")},
      {entry("<![CDATA[a\r\nbc]]>", "<bad<"), entry("<?pi a\r\nbc?>d", "<bad<")},
      {entry("<![CDATA[a\rbc]]>", "<bad<"), entry("<?pi a\rbc?>d", "<bad<")},
      {entry("<![CDATA[a\rb\r\rc]]>&#13;", "<bad<"), entry("<?pi a\rb\r\rc?>d&#65;", "<bad<")},
      {encoded("GBK", 936, zh), encoded("UTF-8", CP_UTF8, zh)},
      {Utf16(L"<?xml version=\"1.0\"?>\n" + zh, false), encoded("UTF-8", CP_UTF8, zh)},
  };
  for (const auto& [bytes, shape] : alike) {
    SCOPED_TRACE(bytes);
    const TLoad r = Load(bytes), plain = Load(shape);
    EXPECT_FALSE(r.Ok || plain.Ok);
    EXPECT_GE(r.Line, 2);
    EXPECT_EQ(r.Line, plain.Line);
    EXPECT_EQ(r.Column, plain.Column);
  }
  EXPECT_EQ(Load(alike[0].first).Column, MSXML() ? 53 : 67);
}

// Their well-formed neighbours load; attribute defaults of the internal subset count.
TEST_P(XMLReader, AcceptsWhatXMLAllows) {
  const TLoad r = Load(
      "<?xml version='1.0' encoding=\"UTF-8\" standalone='no' ?>\n"
      "<?xml-stylesheet href=\"a\"?><!-- a - comment -->\n"
      "<!DOCTYPE jurnValt PUBLIC \"-//x//EN\" \"x.dtd\" [\n"
      "  <!ELEMENT jurnValt (jurnItem|updateMask)*> <!ELEMENT fileName (#PCDATA|b)*>\n"
      "  <!ENTITY e \"]>\"> <!NOTATION n PUBLIC \"n\"> <?pi ]>?> <!-- ]> -->\n"
      "  <!ATTLIST fileHash type CDATA \"SHA1\" code (HEX|UU) #IMPLIED>\n"
      "]>\n"
      "<jurnValt xmlns:p=\"urn:p\"><jurnItem p:a=\"1\"><p:x xmlns=\"\"/><fileName>a]]b</fileName>"
      "<fileHash>ab</fileHash><?pi?></jurnItem></jurnValt>\n<!-- end -->\n");
  ASSERT_TRUE(r.Ok) << WideToCodePage(r.Message, CP_UTF8);
  ASSERT_EQ(List.GetCount(), 1);
  EXPECT_EQ(List.Items[0]->FileName, L"a]]b");
  EXPECT_EQ(List.Items[0]->HashType, "SHA1");
  EXPECT_EQ(List.Items[0]->HashValue, "ab");
}

// No declaration means UTF-8; a declared encoding and a byte-order mark are honoured, code pages
// of two bytes a character too, however the characters fall in the file (Wine's msxml3 splits
// them where its buffers end). An encoding the system lacks is refused by name.
TEST_P(XMLReader, HonoursTheDeclaredEncoding) {
  const std::wstring utf16 =
      L"\xFEFF<?xml version=\"1.0\"?><jurnValt><jurnItem><fileName>\u0416"
      L"</fileName></jurnItem></jurnValt>";
  const std::pair<std::string, std::wstring> files[] = {
      {"<?xml version=\"1.0\" encoding=\"windows-1251\"?><jurnValt><jurnItem><fileName>\xC6\xE9",
       L"\u0416\u0439"},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><jurnValt><jurnItem><fileName>caf\xE9",
       L"caf\u00E9"},
      {"\xEF\xBB\xBF<?xml version=\"1.0\"?><jurnValt><jurnItem><fileName>caf\xC3\xA9",
       L"caf\u00E9"},
      {"<jurnValt><jurnItem><fileName>\xC3\xA9", L"\u00E9"},
      {std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2), L"\u0416"}};
  for (const auto& [bytes, name] : files) {
    const bool wide = bytes[0] == '\xFF';
    ASSERT_TRUE(Load(wide ? bytes : bytes + "</fileName></jurnItem></jurnValt>").Ok) << bytes;
    EXPECT_EQ(List.Items.back()->FileName, name);
  }
  // Runs of characters from right after the declaration on, at even and odd offsets; a CR and
  // U+FDD0 "1" by reference.
  const struct {
    const char* Encoding;
    uint32_t CodePage;
    std::wstring Text;
  } pages[] = {{"GBK", 936, L"\x4E2D"},
               {"Shift_JIS", 932, L"\x65E5\x30AB"},
               {"Big5", 950, L"\x4E2D\x6587"},
               {"EUC-KR", 949, L"\xD55C\xAE00"},
               {"KOI8-R", 20866, L"\x0416\x044F"},
               {"windows-1252", 1252, L"\xE9"}};
  const auto times = [](const std::wstring& Text, int Count) {
    std::wstring run;
    for (int i = 0; i < Count; ++i) run += Text;
    return run;
  };
  for (const auto& page : pages) {
    for (const char* pad : {"", " "}) {
      SCOPED_TRACE(std::string(page.Encoding) + " pad " + pad);
      const std::wstring mask = times(page.Text, 31) + L"x", note = times(page.Text, 200);
      List.Clear();
      const TLoad r = Load(std::string("<?xml version=\"1.0\" encoding=\"") + page.Encoding +
                           "\"?>\n<jurnValt>\n" + pad +
                           WideToCodePage(L"<updateMask>" + mask + L"</updateMask><jurnItem>" +
                                              L"<fileNote>" + note + L"</fileNote><fileName>" +
                                              page.Text + L"&#13;</fileName></jurnItem><jurnItem>" +
                                              L"<fileName>a&#xFDD0;1b&#13;c</fileName></jurnItem>" +
                                              L"</jurnValt>\n",
                                          page.CodePage));
      ASSERT_TRUE(r.Ok) << WideToCodePage(r.Message, CP_UTF8);
      EXPECT_EQ(List.UpdateMask, mask);
      ASSERT_EQ(List.GetCount(), 2);
      EXPECT_EQ(List.Items[0]->FileNote, note);
      EXPECT_EQ(List.Items[0]->FileName, page.Text + L"\r");
      EXPECT_EQ(List.Items[1]->FileName, L"a" + Mark + L"1b\rc");
    }
  }
  // Neither reader has these; the message names them.
  for (const char* encoding :
       {"ISO-8859-10", "ISO-8859-11", "ISO-8859-14", "ISO-8859-16", "no-such", "GB18030"}) {
    const TLoad r = Load(std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                         "\"?>\n<jurnValt><jurnItem><fileName>a&#xFDD0;1b&#13;c\xE9</fileName>"
                         "</jurnItem></jurnValt>\n");
    EXPECT_FALSE(r.Ok) << encoding;
    EXPECT_NE(WideToCodePage(r.Message, CP_UTF8).find(encoding), std::string::npos)
        << encoding << ": " << WideToCodePage(r.Message, CP_UTF8);
  }
}

// The built-in parser reads a file a megabyte at a time: a character split between two reads
// is whole, a CR LF split so is one line end, and a fault far on is placed by line and column.
TEST_P(XMLReader, ReadsLargeFilesInPieces) {
  constexpr size_t piece = 1 << 20;
  const std::string smiley = "\xF0\x9F\x98\x80";
  std::string head = "<?xml version=\"1.0\"?>\n<jurnValt><jurnItem><fileName>";
  head.insert(head.size() - 11, (piece - 1 - head.size()) % 4, ' ');  // splits a smiley
  const size_t count = (2 * piece - head.size()) / 4 + 1000;
  std::string bytes = head;
  for (size_t i = 0; i < count; ++i) bytes += smiley;
  bytes += "</fileName></jurnItem>";
  bytes.append(3 * piece - 1 - bytes.size(), ' ');
  bytes += "\r\n<jurnItem><fileName>ab\x01</fileName></jurnItem></jurnValt>\n";
  ASSERT_EQ(bytes.substr(piece - 1, 4), smiley);
  const TLoad bad = Load(bytes);
  EXPECT_FALSE(bad.Ok);
  ASSERT_EQ(List.GetCount(), 2);
  EXPECT_EQ(List.Items[0]->FileName.size(), 2 * count);
  if (!MSXML()) {
    EXPECT_EQ(bad.Line, 3);
    EXPECT_EQ(bad.Column, 23);
  }
  bytes[bytes.size() - 35] = 'c';
  List.Clear();
  ASSERT_TRUE(Load(bytes).Ok);
  EXPECT_EQ(List.Items[1]->FileName, L"abc");
}

// Line ends of every kind in names, notes, folders, the mask and the hash texts come back as
// they were, and so does U+FDD0, of which the MSXML reader's stand-ins are made: saved again,
// the file keeps its bytes, however the reader's input is cut into pieces.
TEST_P(XMLReader, LineEndsComeBackAsTheyWere) {
  const std::wstring texts[] = {L"line1\r\nline2",
                                L"line1\rline2",
                                L"line1\nline2",
                                L"\r",
                                L"\r\n",
                                L"\n\r",
                                L"\r\r\n\n\r",
                                L"a\rb\nc\r\nd\n\re",
                                Mark,
                                Mark + L"1" + Mark + L"0\r",
                                L"\r" + Mark + Mark + L"\r",
                                L"&#13; <![CDATA[\r]]>",
                                L"\x4E2D\r\U0001F600\r\n"};
  TFileList source;
  source.UpdateFolder = L"C:\\a\r\nb\\";
  source.UpdateMask = L"*.txt\r*.md5\n";
  source.VerifyFolder = L"\\\\server\r\\share" + Mark + L"1";
  for (const std::wstring& text : texts) {
    TFileItem& item = AddItem(source, text, "MD\r\n5", "\rHEX\t", "ab\rcd\r\n");
    item.FileNote = text + L"\r\n" + text;
  }
  const std::wstring name = Folder.File(L"lines.#ml");
  ASSERT_TRUE(source.SaveToXML(name));
  for (size_t size : {size_t(1) << 16, size_t(1), size_t(4)}) {
    MSXMLReadSize = size;
    List.Clear();
    const TLoad r = LoadFile(name);
    ASSERT_TRUE(r.Ok) << WideToCodePage(r.Message, CP_UTF8);
    EXPECT_EQ(List.UpdateFolder, source.UpdateFolder);
    EXPECT_EQ(List.UpdateMask, source.UpdateMask);
    EXPECT_EQ(List.VerifyFolder, source.VerifyFolder);
    ASSERT_EQ(List.GetCount(), source.GetCount());
    for (int i = 0; i < List.GetCount(); ++i) {
      const TFileItem &read = *List.Items[i], &saved = *source.Items[i];
      EXPECT_EQ(read.FileName, saved.FileName) << i;
      EXPECT_EQ(read.FileNote, saved.FileNote) << i;
      EXPECT_EQ(read.HashType + read.HashCode + read.HashValue,
                saved.HashType + saved.HashCode + saved.HashValue);
    }
    EXPECT_EQ(Saved(List), ReadBytes(name)) << size;
  }
}

namespace {

// A checksum file with references to CR written every way XML allows and in every place it
// allows them, beside places where the same text is no reference; Literal allows U+FDD0 as it is.
std::wstring ReferenceDocument(const std::wstring& Declaration, bool Literal,
                               const std::wstring& Extra) {
  const std::wstring mark = Literal ? Mark : L"&#xFDD0;";
  return Declaration +
         L"<!DOCTYPE jurnValt [\n"
         L"  <!-- it's &#13; and <![CDATA[ -->\n"
         L"  <!ENTITY e \"<!-- &#13; ']>\"> <?pi &#13; ?>\n"
         L"  <!ATTLIST fileHash code CDATA \"H&#13;X\">\n"
         L"]>\n"
         L"<jurnValt>\r\n"
         L"<updateFolder>a&#13;b&#xD;c&#xd;d&#x0D;e&#0013;f&#0000013;g&#x00000D;h&amp;#13;i\r"
         L"&#13;\r\n&#13;j</updateFolder>\n"
         L"<updateMask>" +
         mark + L"1" + mark + L"0" + mark + L"x" + mark +
         L"&#13;&#13;1\r\n"
         L"</updateMask>\n"
         L"<verifyFolder>1&#10;2&#9;3&#130;4&#131072;5&#xFDD0;6&#64976;7&#xFDD1;8&#65;9"
         L"&#x1F600;</verifyFolder>\n"
         L"<jurnItem><!-- &#13; ' \" --><?pi &#13; > ?>"
         L"<fileName>p<![CDATA[&#13;" +
         (Literal ? Mark : L"") + L"1]]]]>q" + Extra +
         L"&#13;</fileName>"
         L"<fileNote><![CDATA[a\nb\r\nc\rd\n\ne\r\r]]]]><![CDATA[\nx\r]]><![CDATA[y\nz\r\nw]]>"
         L"</fileNote>"
         L"<fileHash type=\"a>&#13;'b\" code='c\"&#xD;d'>v</fileHash></jurnItem>\r"
         L"<jurnItem><fileHash type=\"MD5\">w</fileHash></jurnItem>\n"
         L"</jurnValt>\n";
}

}  // namespace

// A reference to a CR gives a CR, and text that is no reference stays as it is; a CDATA section
// keeps its text after a line end, the last one too. Whatever the encoding and however the reader's
// input is cut into pieces.
TEST_P(XMLReader, ReferencesReadAsXMLReadsThem) {
  const std::wstring plain = L"<?xml version=\"1.0\"?>\n";
  const std::string gbk = "\x81\x5D]>";  // a character whose second byte is "]", and "]>"
  struct TFile {
    std::string Bytes;
    bool Literal;        // U+FDD0 stands in the text as it is
    std::wstring Extra;  // what Extra reads as
  } files[] = {
      {WideToCodePage(ReferenceDocument(plain, true, L""), CP_UTF8), true, L""},
      {"\xEF\xBB\xBF" + WideToCodePage(ReferenceDocument(L"", true, L""), CP_UTF8), true, L""},
      {Utf16(ReferenceDocument(plain, true, L"\x4E2D"), false), true, L"\x4E2D"},
      {Utf16(ReferenceDocument(L"", true, L"\x4E2D"), true), true, L"\x4E2D"},
      {WideToCodePage(
           ReferenceDocument(L"<?xml version='1.0' encoding='windows-1252'?>", false, L"\xE9"),
           1252),
       false, L"\xE9"},
      {WideToCodePage(
           ReferenceDocument(L"<?xml version='1.0' encoding='GBK'?>", false, L"<![CDATA[@&#13;]]>"),
           936),
       false, CodePageToWide(gbk, 936) + L"&#13;"}};
  files[5].Bytes.replace(files[5].Bytes.find('@'), 1, gbk);
  for (const TFile& file : files) {
    for (size_t size : {size_t(1) << 16, size_t(1), size_t(2), size_t(7)}) {
      SCOPED_TRACE(file.Bytes.substr(0, 60) + " in pieces of " + std::to_string(size));
      MSXMLReadSize = size;
      List.Clear();
      const TLoad r = Load(file.Bytes);
      ASSERT_TRUE(r.Ok) << WideToCodePage(r.Message, CP_UTF8);
      EXPECT_EQ(List.UpdateFolder, L"a\rb\rc\rd\re\rf\rg\rh&#13;i\n\r\n\rj");
      EXPECT_EQ(List.UpdateMask, Mark + L"1" + Mark + L"0" + Mark + L"x" + Mark + L"\r\r1\n");
      EXPECT_EQ(List.VerifyFolder, L"1\n2\t3\x82" + std::wstring(L"4\U00020000") + L"5" + Mark +
                                       L"6" + Mark + L"7\xFDD1" + L"8A9\U0001F600");
      ASSERT_EQ(List.GetCount(), 2);
      EXPECT_EQ(List.Items[0]->FileName,
                L"p&#13;" + (file.Literal ? Mark : L"") + L"1]]q" + file.Extra + L"\r");
      EXPECT_EQ(List.Items[0]->FileNote, L"a\nb\nc\nd\n\ne\n\n]]\nx\ny\nz\nw");
      EXPECT_EQ(List.Items[0]->HashType, "a>\r'b");
      EXPECT_EQ(List.Items[0]->HashCode, "c\"\rd");
      EXPECT_EQ(List.Items[1]->HashCode, "H\rX");
    }
  }
}

// The MSXML reader's attribute values, restored from their stand-ins, stay valid while the start
// tag is handled, however many there are and in whatever order they are read.
TEST(XMLStandIns, RestoredAttributeValuesStayWhileTheTagIsHandled) {
  TStandInRestorer restorer;
  std::vector<std::wstring> texts;
  for (int i = 0; i < 40; ++i) texts.push_back(std::to_wstring(i) + Mark + (i % 2 ? L"1" : L"0"));
  std::vector<std::wstring_view> values;
  for (size_t i = 0; i < texts.size(); ++i) values.push_back(restorer.Value(i, texts[i]));
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(values[i], std::to_wstring(i) + (i % 2 ? L"\r" : Mark)) << i;
}

// By a wide path, also of 260 characters and more; a file that cannot be opened raises.
TEST_P(XMLReader, ReadsAFileByItsWidePath) {
  TFileList source;
  AddItem(source, L"x");
  for (const std::wstring& name : {Folder.File(L"\u0416\u4E2D\U0001F600.#ml"),
                                   Folder.File(std::wstring(250, L'n') + L".#ml")}) {
    ASSERT_TRUE(source.SaveToXML(name));
    ASSERT_TRUE(LoadFile(name).Ok);
    EXPECT_EQ(List.Items.back()->FileName, L"x");
    DeleteFileW((L"\\\\?\\" + name).c_str());
  }
  EXPECT_EQ(List.GetCount(), 2);
  EXPECT_THROW(LoadFile(Folder.File(L"missing.#ml")), EFOpenError);
}

// ---------------------------------------------------------------------------------------------
// Round trip and robustness

namespace {

int64_t RandomTime(std::mt19937& Random) {
  const int64_t picks[] = {0, 1, LastSecond,
                           std::uniform_int_distribution<int64_t>(1, LastSecond)(Random)};
  return picks[Random() % 4];
}

void FillRandom(TFileList& List, std::mt19937& Random, int Count) {
  static const char* types[] = {"MD5", "CRC32", "SHA1"};
  static const char* codes[] = {"HEX", "MIME64", "UU", "XX"};
  List.UpdateFolder = AwkwardText(Random, 6);
  List.UpdateMask = AwkwardText(Random, 3);
  List.UpdateFind = Random() % 2;
  List.UpdateMode = static_cast<TUpdateModes>(Random() % 8);
  List.UpdateRecurse = Random() % 2;
  List.UpdateHash = types[Random() % 3];
  List.UpdateCode = codes[Random() % 4];
  List.VerifyFolder = AwkwardText(Random, 6);
  List.VerifyTime = Random() % 2;
  List.VerifySize = Random() % 2;
  List.LastUpdate = RandomTime(Random);
  for (int i = 0; i < Count; ++i) {
    TFileItem& item = AddItem(List, AwkwardText(Random, 12));
    item.FileNote = AwkwardText(Random, 8);
    item.FileTime = RandomTime(Random);
    const int64_t sizes[] = {-1, 0, 1, INT64_MAX, static_cast<int64_t>(Random())};
    item.FileSize = sizes[Random() % 5];
    item.HashType = types[Random() % 3];
    item.HashCode = codes[Random() % 4];
    item.HashValue.resize(std::uniform_int_distribution<int>(0, 30)(Random));
    for (char& c : item.HashValue)  // printable ASCII
      c = static_cast<char>(std::uniform_int_distribution<int>(33, 126)(Random));
  }
}

// One to four random cuts, deletions, insertions, replacements and repeats.
std::string Damaged(std::string Bytes, std::mt19937& Random) {
  static const char noise[] = "<>&;/=\"'!?[]-\0\xFF\xC3\x80 \n#x";
  const int edits = 1 + Random() % 4;
  for (int e = 0; e < edits && !Bytes.empty(); ++e) {
    const size_t at = Random() % Bytes.size(), kind = Random() % 5;
    const char c = noise[Random() % (sizeof(noise) - 1)];
    if (kind == 0) Bytes.resize(at);
    if (kind == 1) Bytes.erase(at, 1 + Random() % 20);
    if (kind == 2) Bytes.insert(at, 1, c);
    if (kind == 3) Bytes[at] = c;
    if (kind == 4) Bytes.insert(at, Bytes.substr(Random() % Bytes.size(), Random() % 40));
  }
  return Bytes;
}

}  // namespace

TEST_P(XMLReader, RandomDocumentsRoundTrip) {
  std::mt19937 random(11 + GetParam());
  for (int round = 0; round < 20; ++round) {
    TFileList source;
    FillRandom(source, random, round * 5);
    const std::wstring name = Folder.File(L"round.#ml");
    ASSERT_TRUE(source.SaveToXML(name));
    List.Clear();
    const TLoad r = LoadFile(name);
    ASSERT_TRUE(r.Ok) << round << ": " << std::string(r.Message.begin(), r.Message.end());
    // What the file keeps of a document comes back: saved again it gives the same bytes.
    ASSERT_EQ(Saved(List), ReadBytes(name)) << round;
  }
}

// Damaged files end in a loaded document or in a failure with a message: no crash, no hang, no
// handle left open. The built-in parser in pieces gives what it gives reading the text whole, and
// with windows of any size, so where the windows fall changes nothing; nor does where the pieces
// fall that get the MSXML reader's stand-ins.
TEST_P(XMLReader, DamagedFilesFailCleanly) {
  std::mt19937 random(21 + GetParam());
  TFileList source;
  FillRandom(source, random, 6);
  const std::wstring good = Folder.File(L"good.#ml");
  ASSERT_TRUE(source.SaveToXML(good));
  const std::string valid = ReadBytes(good);
  // An exception is a fault too; its message stands in for the result.
  auto load = [this](const std::wstring& Name) {
    TLoad r;
    try {
      r = LoadFile(Name);
    } catch (const Exception& e) {
      r.Message = L"raised: " + e.GetMessage();
    }
    return r;
  };
  auto result = [this](const TLoad& r) {
    return std::to_string(r.Ok) + "|" + WideToCodePage(r.Message, CP_UTF8) + "|" +
           std::to_string(r.Line) + ":" + std::to_string(r.Column) + "\n" + Saved(List);
  };
  DWORD handlesBefore = 0, handlesAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
  int loaded = 0, failed = 0;
  for (int round = 0; round < 500; ++round) {
    const std::string bytes = round == 0 ? valid : Damaged(valid, random);
    List.Clear();
    WriteBytes(Folder.File(L"in.#ml"), bytes);
    const TLoad r = load(Folder.File(L"in.#ml"));
    ++(r.Ok ? loaded : failed);
    EXPECT_NE(r.Message.rfind(L"raised: ", 0), 0u) << round;
    if (!r.Ok && r.Message == L"untouched") {
      // Well formed, but no root end tag of a checksum file was reached: no error text.
      EXPECT_EQ(r.Line, -7) << round;
      EXPECT_EQ(bytes.find("</jurnValt>"), std::string::npos) << round << bytes;
      EXPECT_EQ(List.GetCount(), 0) << round;
    } else if (!r.Ok) {
      EXPECT_FALSE(r.Message.empty()) << round;
      EXPECT_NE(r.Message, L"untouched") << round;
      if (!MSXML()) {  // Wine's msxml3 reports line 0 for some errors
        EXPECT_GE(r.Line, 1) << round;
      }
    }
    if (MSXML()) {
      // Where the pieces that get the reader's stand-ins fall changes nothing either.
      const std::string whole = result(r);
      MSXMLReadSize = 1 + random() % 50;
      List.Clear();
      EXPECT_EQ(result(load(Folder.File(L"in.#ml"))), whole)
          << round << " pieces " << MSXMLReadSize;
      MSXMLReadSize = SavedReadSize;
    }
    if (GetParam() == ParserBuiltinInPieces) {
      const std::string pieces = result(r);
      for (size_t window : {size_t(1) << 30, size_t(1 + random() % 200)}) {
        BuiltinParseWindow = window;
        List.Clear();
        EXPECT_EQ(result(load(Folder.File(L"in.#ml"))), pieces) << round << " window " << window;
      }
      BuiltinParseWindow = 1;
    }
  }
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_LE(handlesAfter, handlesBefore + 8);
  EXPECT_GT(loaded, 0);
  EXPECT_GT(failed, 0);
}
