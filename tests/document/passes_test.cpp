// Update and verify passes on real folder trees in the temporary folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/data.h"
#include "document/passes.h"
#include "hash/misc.h"
#include "hash/registry.h"
#include "tests/hash/tempfolder.h"
#include "tests/items.h"

namespace {

using NameList = std::vector<std::wstring>;

const std::string MD5_abc = "900150983CD24FB0D6963F7D28E17F72";

class PassTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterStandardClasses(); }

  void SetUp() override {
    Doc.OnStatus = [this](const std::wstring& Text) {
      Status.push_back(Text);
      return StatusAnswer(Text);
    };
    Doc.OnItemDone = [this](TFileItem* Item, bool Ok) {
      Done.push_back(Item->FileName + (Ok ? L"=ok" : L"=error"));
      return DoneAnswer;
    };
    Doc.OnScanError = [this](const std::wstring& Folder, uint32_t Code) {
      ScanErrors.push_back(Folder.substr(Tree.Root.size()) + L"=" + std::to_wstring(Code));
      return ScanAnswer;
    };
  }

  // An entry for a file of the tree, with the size and time the file has now.
  TFileItem& Add(const std::wstring& Name, const std::string& Hash = "0") {
    TFileItem& item = AddItem(Doc, Name, "MD5", "HEX", Hash);
    GetFileSizeTime(Tree.Root + Name, item.FileSize, item.FileTime);
    return item;
  }
  // Moves a file's last-write time by Seconds, as a restore or a later write would.
  void ShiftFileTime(const std::wstring& Name, int64_t Seconds) {
    HANDLE h = CreateFileW((Tree.Root + Name).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                           0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME t;
    GetFileTime(h, nullptr, nullptr, &t);
    ULARGE_INTEGER v{{t.dwLowDateTime, t.dwHighDateTime}};
    v.QuadPart += Seconds * 10000000;
    t = {v.LowPart, v.HighPart};
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &t));
    CloseHandle(h);
  }
  size_t IndexOf(const std::wstring& Name) const {
    size_t i = 0;
    while (i < Doc.Items.size() && Doc.Items[i]->FileName != Name) ++i;
    return i;
  }
  TFileItem& Item(const std::wstring& Name) {
    EXPECT_LT(IndexOf(Name), Doc.Items.size()) << "no entry";
    return *Doc.Items[std::min(IndexOf(Name), Doc.Items.size() - 1)];
  }
  // Every entry's name and state, in document order.
  std::wstring States() const {
    static const wchar_t* words[] = {L"none",    L"missing", L"unreadable", L"touched", L"changed",
                                     L"updated", L"new",     L"invalid",    L"ok"};
    std::wstring states;
    for (auto& item : Doc.Items) states += item->FileName + L"=" + words[item->State] + L" ";
    return states;
  }
  NameList Names(bool OnlySelected = false) const {
    NameList names;
    for (auto& item : Doc.Items)
      if (!OnlySelected || item->Selected) names.push_back(item->FileName);
    std::sort(names.begin(), names.end());
    return names;
  }
  bool Prepare(const std::wstring& Folder = L"") {
    return Doc.PrepareUpdate(Folder.empty() ? Tree.Root : Folder, Bytes, Count);
  }
  bool Update() { return Prepare() && Doc.ProcessItems(Tree.Root, true); }
  bool Verify() {
    return Doc.PrepareVerify(Tree.Root, Bytes, Count) && Doc.ProcessItems(Tree.Root, false);
  }

  TTempFolder Tree;
  TFileList Doc;
  int64_t Bytes = 0;
  int32_t Count = 0;
  std::vector<std::wstring> Status, Done, ScanErrors;
  std::function<bool(const std::wstring&)> StatusAnswer = [](const std::wstring&) { return true; };
  bool DoneAnswer = true;
  bool ScanAnswer = true;
};

// New files by mask, with and without recursion; the document's own checksum file is left out
// only when its path is spelled exactly as the scanned folder's.
TEST_F(PassTest, ScanAddsNewFilesByMaskWithAndWithoutRecursion) {
  Tree.Write(L"a.txt", "abc");
  Tree.Write(L"b.dat", "xy");
  Tree.Write(L"Hidden.txt", "h", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Tree.Write(L"sub\\c.txt", "c");
  Tree.Write(L"sub\\deeper\\e.txt", "e");
  Tree.Write(L"nomatch\\z.dat", "z");
  Tree.Write(L"nomatch\\deep\\f.txt", "f");
  Tree.Write(L"sums.txt", "<?xml");
  Add(L"A.TXT");  // differs from a.txt only in letter case
  Doc.ListFileName = Tree.Root + L"sums.txt";

  Doc.UpdateMask = L"*.txt";
  Doc.UpdateHash = "SHA1";
  Doc.UpdateCode = "MIME64";
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(Names(), (NameList{L"A.TXT", L"Hidden.txt", L"nomatch\\deep\\f.txt", L"sub\\c.txt",
                               L"sub\\deeper\\e.txt"}));
  // "nomatch" has no *.txt file: a quiet end, its sub-folders still listed.
  EXPECT_TRUE(ScanErrors.empty());
  EXPECT_EQ(Status.front(), Tree.Root + L"*.txt");
  EXPECT_NE(std::find(Status.begin(), Status.end(), Tree.Root + L"sub\\deeper\\*.txt"),
            Status.end());
  TFileItem& e = Item(L"sub\\deeper\\e.txt");
  EXPECT_EQ(e.FileSize, 1);
  EXPECT_EQ(e.FileTime, 0);
  EXPECT_EQ(e.HashType + e.HashCode, "SHA1MIME64");
  EXPECT_EQ(e.State, fsNewFile);
  EXPECT_EQ(e.Owner, &Doc);
  EXPECT_TRUE(Doc.Modified);
  // A folder's files come before its sub-folders' files.
  EXPECT_LT(IndexOf(L"sub\\c.txt"), IndexOf(L"sub\\deeper\\e.txt"));
  int32_t index;
  for (auto& name : Names()) EXPECT_TRUE(Doc.FindIndex(name, index));
  EXPECT_EQ(Count, 5);  // the whole document is hashed when no mode is set

  std::wstring upper = Tree.Root;
  CharUpperW(upper.data());
  ASSERT_NE(upper, Tree.Root);
  ASSERT_TRUE(Prepare(upper));
  ASSERT_EQ(Doc.Items.size(), 6u);
  EXPECT_EQ(Doc.Items.back()->FileName, L"sums.txt");

  TFileList flat;
  flat.UpdateRecurse = false;
  flat.OnStatus = [&](const std::wstring& Text) {
    EXPECT_EQ(Text, Tree.Root + L"*.*");  // the empty mask
    return true;
  };
  ASSERT_TRUE(flat.PrepareUpdate(Tree.Root, Bytes, Count));
  NameList flatNames;
  for (auto& item : flat.Items) flatNames.push_back(item->FileName);
  std::sort(flatNames.begin(), flatNames.end());
  EXPECT_EQ(flatNames, (NameList{L"Hidden.txt", L"a.txt", L"b.dat", L"sums.txt"}));
  EXPECT_EQ(Bytes, 11);
}

TEST_F(PassTest, NonAsciiAndLongNamesAreScannedHashedAndVerified) {
  std::wstring deep;
  for (int i = 0; i < 6; i++) deep += std::wstring(48, wchar_t(L'a' + i)) + L"\\";
  const std::wstring names[] = {L"\u00fcn\u00efc\u00f6d\u00e9.txt", L"emoji\\\U0001F600.txt",
                                deep + L"\u4e2d.txt"};
  for (auto& name : names) Tree.Write(name, "abc");
  ASSERT_GE((Tree.Root + names[2]).size(), 300u);

  ASSERT_TRUE(Update());
  EXPECT_EQ(Names(), (NameList{names[2], names[1], names[0]}));
  for (auto& item : Doc.Items) {
    EXPECT_EQ(item->HashValue, MD5_abc);
    EXPECT_EQ(item->FileSize, 3);
    EXPECT_GT(item->FileTime, 0);
  }
  ASSERT_TRUE(Verify());
  for (auto& item : Doc.Items) EXPECT_EQ(item->State, fsOK);
}

TEST_F(PassTest, UpdateModesSelectEntriesAndUpdateStoresNewValues) {
  for (auto name : {L"same", L"size", L"time", L"nohash"}) Tree.Write(name, "abc");
  Add(L"same");
  Add(L"size").FileSize = 4;
  Add(L"time").FileTime -= 2;
  Add(L"nohash", " \t\r\n");
  Tree.Write(L"new", "");

  const std::pair<TUpdateModes, NameList> cases[] = {
      {0, {L"new", L"nohash", L"same", L"size", L"time"}},
      {umSize, {L"size"}},  // a new entry's size is known from the listing
      {umTime, {L"new", L"time"}},
      {umHash, {L"new", L"nohash"}},
      {umSize | umTime, {L"new", L"size", L"time"}},
  };
  for (auto& [mode, selected] : cases) {
    while (Doc.Items.size() > 4) Doc.Items.pop_back();
    Doc.UpdateMode = mode;
    ASSERT_TRUE(Prepare());
    EXPECT_EQ(Names(true), selected) << "mode " << int(mode);
    EXPECT_EQ(Count, int32_t(selected.size()));
    EXPECT_EQ(Bytes,
              3 * int64_t(selected.size() - std::count(selected.begin(), selected.end(), L"new")));
  }

  // The last preparation selected new, size and time: an update stores without comparing.
  Doc.Modified = false;
  ASSERT_TRUE(Doc.ProcessItems(Tree.Root, true));
  EXPECT_EQ(States(), L"same=none size=ok time=ok nohash=none new=new ");
  EXPECT_EQ(Item(L"size").HashValue, MD5_abc);
  EXPECT_EQ(Item(L"size").FileSize, 3);
  EXPECT_EQ(Item(L"time").FileTime, Item(L"time").NewTime);
  EXPECT_EQ(Item(L"new").HashValue, "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(Item(L"same").HashValue, "0");
  EXPECT_TRUE(Doc.Modified);
  EXPECT_EQ(Done, (NameList{L"size=ok", L"time=ok", L"new=ok"}));
}

// "Time" looks for any other time, not only a newer one: a file put back from an older copy is
// hashed again and its older time stored.
TEST_F(PassTest, UpdateByTimeHashesAFileOlderThanItsStoredTime) {
  for (auto name : {L"older", L"same"}) {
    Tree.Write(name, "abc");
    Add(name);
  }
  const int64_t stored = Item(L"older").FileTime;
  ShiftFileTime(L"older", -86400);
  Doc.UpdateMode = umTime;
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(Names(true), NameList{L"older"});
  EXPECT_EQ(Count, 1);
  EXPECT_EQ(Bytes, 3);
  ASSERT_TRUE(Doc.ProcessItems(Tree.Root, true));
  EXPECT_EQ(States(), L"older=ok same=none ");
  EXPECT_EQ(Item(L"older").HashValue, MD5_abc);
  EXPECT_EQ(Item(L"older").FileTime, stored - 86400);
  EXPECT_EQ(Item(L"same").HashValue, "0");
}

// A file that is newer and of another size stays "Updated", and a file found by an earlier update
// stays "New file" when it has grown since: the size check counts them as errors without calling
// them changed, and so does the hash when the size check is off.
TEST_F(PassTest, VerifyKeepsUpdatedAndNewStatesWhenTheSizeDiffersToo) {
  Tree.Write(L"grown", "abc");
  Add(L"grown", MD5_abc);
  // Found by an update that hashes only entries of another size: new, with its size, no hash.
  Tree.Write(L"added", "xy");
  Doc.UpdateMode = umSize;
  ASSERT_TRUE(Update());
  ASSERT_EQ(States(), L"grown=none added=new ");
  // Both written again with more bytes, the known one an hour later.
  Tree.Write(L"grown", "abcd");
  ShiftFileTime(L"grown", 3600);
  Tree.Write(L"added", "xyz");

  Done.clear();
  ASSERT_TRUE(Verify());  // size check on
  EXPECT_EQ(States(), L"grown=updated added=new ");
  EXPECT_EQ(Done, (NameList{L"grown=error", L"added=error"}));
  EXPECT_EQ(Count, 0);

  Doc.VerifySize = false;
  Done.clear();
  ASSERT_TRUE(Verify());  // both hashed, neither equal
  EXPECT_EQ(States(), L"grown=updated added=new ");
  EXPECT_EQ(Done, (NameList{L"grown=error", L"added=error"}));
  EXPECT_EQ(Count, 2);
}

TEST_F(PassTest, VerifyComparesHashesWithSizeAndTimeChecks) {
  for (auto name : {L"ok", L"lower", L"mime", L"empty", L"newer", L"newer-bad", L"older", L"sized",
                    L"unknown"}) {
    Tree.Write(name, "abc");
    Add(name, MD5_abc);
  }
  std::string lower = MD5_abc;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  Item(L"lower").HashValue = lower;
  Item(L"empty").HashValue = "";
  Item(L"newer").FileTime -= 100;
  Item(L"newer-bad").FileTime -= 100;
  Item(L"newer-bad").HashValue = "00";
  Item(L"older").FileTime += 100;  // an older file is not marked
  Item(L"sized").FileSize = 2;
  Item(L"unknown").FileTime = 0;
  Item(L"unknown").FileSize = -1;
  // The Base64 form of MD5("abc") with one letter's case flipped.
  TFileItem& mime = Item(L"mime");
  mime.HashCode = "MIME64";
  mime.HashValue = "KAFQmDzST7DWlj99KOF/cg==";

  ASSERT_TRUE(Verify());  // size check on, time check off
  EXPECT_EQ(States(),
            L"ok=ok lower=ok mime=changed empty=changed newer=touched newer-bad=updated older=ok "
            L"sized=changed unknown=ok ");
  EXPECT_EQ(mime.NewHash, "kAFQmDzST7DWlj99KOF/cg==");
  EXPECT_FALSE(Item(L"sized").Selected);
  EXPECT_EQ(std::count_if(Done.begin(), Done.end(), [](auto& d) { return d.ends_with(L"=error"); }),
            4);

  Doc.VerifyTime = true;
  Doc.VerifySize = false;
  Done.clear();
  ASSERT_TRUE(Verify());
  // The newer files are not hashed; the size is, and is equal.
  EXPECT_EQ(States(),
            L"ok=ok lower=ok mime=changed empty=changed newer=updated newer-bad=updated older=ok "
            L"sized=ok unknown=ok ");
  EXPECT_FALSE(Item(L"newer").Selected);
  EXPECT_NE(std::find(Done.begin(), Done.end(), L"newer=error"), Done.end());
  EXPECT_NE(std::find(Done.begin(), Done.end(), L"sized=ok"), Done.end());
}

TEST_F(PassTest, MissingUnreadableAndUnregisteredEntries) {
  for (auto name : {L"locked", L"md4", L"lowhex"}) Tree.Write(name, "abc");
  Add(L"missing");
  Add(L"locked", MD5_abc);
  Add(L"md4", MD5_abc).HashType = "MD4";
  Add(L"lowhex", MD5_abc).HashCode = "hex";
  HANDLE lock = CreateFileW((Tree.Root + L"locked").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  bool verified = Verify();
  CloseHandle(lock);
  ASSERT_TRUE(verified);
  EXPECT_EQ(States(), L"missing=missing locked=unreadable md4=invalid lowhex=invalid ");
  EXPECT_EQ(Done, (NameList{L"missing=error", L"locked=error", L"md4=error", L"lowhex=error"}));
}

// A folder that cannot be listed: on Windows a real one (a DACL that denies listing). Wine maps
// that DACL to Unix mode bits, which do not stop the tests when they run as root; the listing
// call itself then fails for that folder as the platform would.
class TDeniedFolder {
 public:
  explicit TDeniedFolder(const std::wstring& Folder) : Prefix(Folder) {
    PSECURITY_DESCRIPTOR sd;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;OICI;0x1;;;WD)(A;OICI;FA;;;WD)",
                                                         SDDL_REVISION_1, &sd, nullptr);
    SECURITY_ATTRIBUTES sa{sizeof(sa), sd, FALSE};
    CreateDirectoryW(Folder.c_str(), &sa);
    LocalFree(sd);
    WIN32_FIND_DATAW d;
    HANDLE f = FindFirstFileW((Folder + L"*").c_str(), &d);
    Real = f == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED;
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
    if (!Real) {
      Active = this;
      PassFindFirstFile = Refuse;
    }
  }
  ~TDeniedFolder() {
    PassFindFirstFile = FindFirstFileW;
    Active = nullptr;
  }
  bool Real;

 private:
  static HANDLE WINAPI Refuse(LPCWSTR Pattern, LPWIN32_FIND_DATAW Data) {
    if (std::wstring(Pattern).starts_with(Active->Prefix)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    return FindFirstFileW(Pattern, Data);
  }
  static inline TDeniedFolder* Active = nullptr;
  std::wstring Prefix;
};

TEST_F(PassTest, FolderListingErrorsGoThroughOnScanError) {
  Tree.Write(L"a\\1.txt", "1");
  Tree.Write(L"z\\2.txt", "2");
  TDeniedFolder denied(Tree.Root + L"m\\");
  if (!denied.Real) Tree.Write(L"m\\hidden.txt", "3");

  ASSERT_TRUE(Update());  // answer True: the next folders are still scanned
  EXPECT_EQ(ScanErrors, (NameList{L"m\\=5"}));
  EXPECT_EQ(Names(), (NameList{L"a\\1.txt", L"z\\2.txt"}));

  ScanAnswer = false;
  ScanErrors.clear();
  Doc.Items.clear();
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(ScanErrors, (NameList{L"m\\=5"}));
  EXPECT_EQ(Names(), (NameList{L"a\\1.txt"}));

  // A folder that does not exist is the platform's own error.
  ScanErrors.clear();
  EXPECT_FALSE(Prepare(Tree.Root + L"gone\\"));
  EXPECT_EQ(ScanErrors, (NameList{L"gone\\=3"}));
  ScanAnswer = true;
  EXPECT_TRUE(Prepare(Tree.Root + L"gone\\"));
}

TEST_F(PassTest, ProgressCancelsOneFileAndEveryOtherEventStopsThePass) {
  for (auto name : {L"1", L"2", L"3"}) {
    Tree.Write(name, "abc");
    Add(name, MD5_abc);
  }
  std::wstring current;
  std::wstring cancel = L"2";
  Doc.OnProgress = [&](int32_t, bool) { return current != cancel; };
  StatusAnswer = [&](const std::wstring& Text) {
    current = Text;
    return true;
  };
  EXPECT_TRUE(Verify());
  EXPECT_EQ(Done, (NameList{L"1=ok", L"3=ok"}));
  EXPECT_EQ(Item(L"2").State, fsNone);
  cancel = L"3";  // the last selected entry: the pass still ends with True
  Done.clear();
  EXPECT_TRUE(Verify());
  EXPECT_EQ(Done, (NameList{L"1=ok", L"2=ok"}));
  Doc.OnProgress = nullptr;

  StatusAnswer = [](const std::wstring& Text) { return Text != L"2"; };
  Done.clear();
  EXPECT_FALSE(Verify());
  EXPECT_EQ(Done, (NameList{L"1=ok"}));
  EXPECT_EQ(Item(L"3").State, fsNone);

  StatusAnswer = [](const std::wstring&) { return false; };
  EXPECT_FALSE(Prepare());  // the scan's first status
  StatusAnswer = [](const std::wstring&) { return true; };

  DoneAnswer = false;
  Done.clear();
  EXPECT_FALSE(Verify());  // processing
  EXPECT_EQ(Done, (NameList{L"1=ok"}));
  DeleteFileW((Tree.Root + L"1").c_str());
  Done.clear();
  EXPECT_FALSE(Doc.PrepareVerify(Tree.Root, Bytes, Count));  // preparation
  EXPECT_EQ(Done, (NameList{L"1=error"}));
  EXPECT_TRUE(Item(L"2").Selected);  // left as the stopped run had it
}

// Where the platform cannot make a folder link here (Wine's CreateSymbolicLinkW makes none),
// the loop comes from tests/data, where the links are Unix symbolic links that Wine follows:
// loop\sub\back -> loop; loop\side and loop\sub\side -> outside.
std::wstring LinkTree(const TTempFolder& Tree) {
  const DWORD Flags = SYMBOLIC_LINK_FLAG_DIRECTORY | 2;  // 2: without elevation where allowed
  std::wstring loop = Tree.Root + L"loop\\", outside = Tree.Root + L"outside";
  bool made = CreateSymbolicLinkW((loop + L"sub\\back").c_str(), loop.c_str(), Flags) &&
              GetFileAttributesW((loop + L"sub\\back").c_str()) != INVALID_FILE_ATTRIBUTES;
  if (made) {
    CreateSymbolicLinkW((loop + L"side").c_str(), outside.c_str(), Flags);
    CreateSymbolicLinkW((loop + L"sub\\side").c_str(), outside.c_str(), Flags);
    return loop;
  }
  const char* data = std::getenv("JV_TESTDATA");
  if (!data) return L"";
  using TDosName = wchar_t*(CDECL*)(const char*);
  auto dos_name = reinterpret_cast<TDosName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
  std::string path = std::string(data) + "/passes/loop/";
  if (!dos_name) return std::wstring(path.begin(), path.end());
  wchar_t* name = dos_name(path.c_str());
  std::wstring result = name ? name : L"";
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

TEST_F(PassTest, FolderLinkBackIntoTheScannedPathIsNotEnteredAgain) {
  Tree.Write(L"loop\\top.txt", "t");
  Tree.Write(L"loop\\sub\\inner.txt", "i");
  Tree.Write(L"outside\\side.txt", "s");
  std::wstring root = LinkTree(Tree);
  DWORD link = GetFileAttributesW((root + L"sub\\back").c_str());
  if (root.empty() || link == INVALID_FILE_ATTRIBUTES || !(link & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "no folder links on this system";

  ASSERT_TRUE(Prepare(root));
  EXPECT_TRUE(ScanErrors.empty());
  // Links that lead out of the path being scanned are followed, each time they are met.
  EXPECT_EQ(Names(),
            (NameList{L"side\\side.txt", L"sub\\inner.txt", L"sub\\side\\side.txt", L"top.txt"}));
}

}  // namespace
