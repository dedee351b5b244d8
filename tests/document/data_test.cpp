#include <windows.h>

#include <functional>

#include "document/data.h"
#include "gtest/gtest.h"
#include "hash/errors.h"
#include "hash/registry.h"
#include "tests/items.h"

namespace {
std::wstring AssertionMessage(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const EAssertionFailed& e) {
    return e.GetMessage();
  }
  return L"(no assertion)";
}
}  // namespace

// Each setter: the same value leaves the document clean, another value (letter case counts)
// marks it.
TEST(FileItem, SettersMarkModifiedOnlyOnChange) {
  struct Case {
    const char* Name;
    std::function<void(TFileItem&)> SetSame, SetOther;
  };
  const Case cases[] = {
      {"FileName", [](TFileItem& i) { i.SetFileName(L"a\\b.txt"); },
       [](TFileItem& i) { i.SetFileName(L"a\\B.txt"); }},
      {"FileTime", [](TFileItem& i) { i.SetFileTime(0); }, [](TFileItem& i) { i.SetFileTime(1); }},
      {"FileSize", [](TFileItem& i) { i.SetFileSize(-1); },
       [](TFileItem& i) { i.SetFileSize(int64_t{1} << 40); }},
      {"HashType", [](TFileItem& i) { i.SetHashType("MD5"); },
       [](TFileItem& i) { i.SetHashType("md5"); }},
      {"HashCode", [](TFileItem& i) { i.SetHashCode("HEX"); },
       [](TFileItem& i) { i.SetHashCode("hex"); }},
      {"HashValue", [](TFileItem& i) { i.SetHashValue(""); },
       [](TFileItem& i) { i.SetHashValue("00"); }},
      {"FileNote", [](TFileItem& i) { i.SetFileNote(L""); },
       [](TFileItem& i) { i.SetFileNote(L"\u00e9t\u00e9"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TFileList list;
    TFileItem& item = AddItem(list, L"a\\b.txt");  // a new entry has the defaults
    c.SetSame(item);
    EXPECT_FALSE(list.Modified);
    c.SetOther(item);
    EXPECT_TRUE(list.Modified);
    list.Modified = false;
    c.SetOther(item);
    EXPECT_FALSE(list.Modified) << "the value was not stored";
  }

  TFileList list;
  list.SetUpdateFind(true);
  list.SetUpdateMode(0);
  list.SetUpdateHash("MD5");
  list.SetVerifySize(true);
  list.SetVerifyFolder(L"");
  list.SetUpdateFolder(L"C:\\");
  list.Modified = false;
  list.SetUpdateFolder(L"C:\\");
  EXPECT_FALSE(list.Modified);
  list.SetUpdateFolder(L"c:\\");
  EXPECT_TRUE(list.Modified);
  list.Modified = false;
  list.SetUpdateHash("Md5");
  EXPECT_TRUE(list.Modified);
}

// Even a setter that would change nothing checks the owner first.
TEST(FileItem, AssertionsNameTheirLine) {
  TFileItem item;
  EXPECT_EQ(AssertionMessage([&] { item.SetFileName(L"x"); }),
            L"Assertion failure (data, line 304)");
  EXPECT_EQ(AssertionMessage([&] { item.SetFileTime(5); }), L"Assertion failure (data, line 310)");
  EXPECT_EQ(AssertionMessage([&] { item.SetFileSize(5); }), L"Assertion failure (data, line 316)");
  EXPECT_EQ(AssertionMessage([&] { item.SetHashType("MD5"); }),
            L"Assertion failure (data, line 322)");
  EXPECT_EQ(AssertionMessage([&] { item.SetHashCode("UU"); }),
            L"Assertion failure (data, line 328)");
  EXPECT_EQ(AssertionMessage([&] { item.SetHashValue("x"); }),
            L"Assertion failure (data, line 334)");
  EXPECT_EQ(AssertionMessage([&] { item.SetFileNote(L"x"); }),
            L"Assertion failure (data, line 340)");
  EXPECT_TRUE(item.FileName.empty() && item.HashValue.empty() && item.FileNote.empty());
  EXPECT_EQ(item.FileTime, 0);
  EXPECT_EQ(item.FileSize, -1);
  EXPECT_EQ(item.HashCode, "HEX");

  TFileList list;
  AddItem(list, L"a");
  EXPECT_EQ(list.GetItem(0)->FileName, L"a");
  EXPECT_EQ(AssertionMessage([&] { list.GetItem(1); }), L"Assertion failure (data, line 353)");
  EXPECT_EQ(AssertionMessage([&] { list.GetItem(-1); }), L"Assertion failure (data, line 353)");
}

TEST(FileItem, TimeAndSizeChangeTests) {
  TFileItem item;
  item.State = fsChanged;
  item.NewTime = 1000;
  EXPECT_FALSE(item.TimeChanged()) << "stored time unknown";
  item.FileTime = 1000;
  EXPECT_FALSE(item.TimeChanged());
  item.NewTime = 999;
  EXPECT_TRUE(item.TimeChanged());
  item.NewTime = -5;
  EXPECT_FALSE(item.TimeChanged());

  item.FileSize = 0;
  item.NewSize = 5;
  EXPECT_TRUE(item.SizeChanged());
  item.NewSize = 0;
  EXPECT_FALSE(item.SizeChanged());
  item.FileSize = -1;
  item.NewSize = 5;
  EXPECT_FALSE(item.SizeChanged());

  // Before a pass has judged the entry nothing is coloured as changed.
  item.FileSize = 10;
  item.NewSize = 0;
  item.NewTime = 7;
  item.State = fsNone;
  EXPECT_FALSE(item.SizeChanged() || item.TimeChanged());
}

// Hex values compare ignoring case; the other encodings' alphabets are case-sensitive.
TEST(FileItem, HashChangeTestFollowsTheEncodersCaseRule) {
  RegisterStandardClasses();
  TFileItem item;
  item.State = fsOK;
  item.HashValue = "ABCD";
  item.NewHash = "abcd";
  EXPECT_FALSE(item.HashChanged());
  item.NewHash = "ABCE";
  EXPECT_TRUE(item.HashChanged());
  item.NewHash = "ABCD0";
  EXPECT_TRUE(item.HashChanged());
  item.NewHash = "abcd";
  for (const char* code : {"MIME64", "UU", "XX"}) {
    item.HashCode = code;
    EXPECT_TRUE(item.HashChanged()) << code;
  }
  for (const char* code : {"hex", "HEXi", "", "Binary"}) {
    item.HashCode = code;
    EXPECT_FALSE(item.HashChanged()) << code << " is not registered";
  }
  item.HashCode = "MIME64";
  item.NewHash.clear();
  EXPECT_FALSE(item.HashChanged()) << "nothing computed";
  item.NewHash = "x";
  item.HashValue.clear();
  EXPECT_FALSE(item.HashChanged()) << "nothing stored";
  item.HashValue = "y";
  item.State = fsNone;
  EXPECT_FALSE(item.HashChanged()) << "not judged yet";
}

TEST(FileList, ClearRestoresTheDefaultsAndKeepsTheEvents) {
  TFileList list;
  const auto expectDefaults = [](const TFileList& l) {
    EXPECT_EQ(l.GetCount() + l.UpdateMode + l.LastUpdate, 0);
    EXPECT_TRUE(l.ListFileName.empty() && l.ListFolder.empty() && l.UpdateFolder.empty() &&
                l.UpdateMask.empty() && l.VerifyFolder.empty());
    EXPECT_TRUE(l.UpdateFind && l.UpdateRecurse && l.VerifySize);
    EXPECT_FALSE(l.VerifyTime || l.Modified);
    EXPECT_EQ(l.UpdateHash + l.UpdateCode, "MD5HEX");
  };
  expectDefaults(list);

  AddItem(list, L"a");
  list.ListFileName = L"c:\\x.#ml";
  list.ListFolder = L"c:\\";
  list.SetUpdateFolder(L"c:\\data");
  list.SetUpdateMask(L"*.iso");
  list.SetUpdateFind(false);
  list.SetUpdateMode(umSize | umHash);
  list.SetUpdateRecurse(false);
  list.SetUpdateHash("SHA1");
  list.SetUpdateCode("XX");
  list.SetVerifyFolder(L"d:\\");
  list.SetVerifyTime(true);
  list.SetVerifySize(false);
  list.LastUpdate = 12345;
  int statusCalls = 0;
  list.OnStatus = [&](const std::wstring&) { return ++statusCalls, false; };
  list.OnProgress = [](int32_t, bool) { return true; };
  list.NameIndex.Add(list.GetItem(0));
  list.Clear();
  expectDefaults(list);
  // The events survive: a pass after "new document" reports to the same window.
  EXPECT_FALSE(list.DoStatus(L"scan"));
  EXPECT_EQ(statusCalls, 1);
  EXPECT_TRUE(list.OnProgress);
  // The index held a freed entry: it must be empty, not dangling.
  EXPECT_EQ(list.NameIndex.Count(), 0);
  int32_t at = -1;
  EXPECT_FALSE(list.FindIndex(L"a", at));
}

TEST(FileList, DeleteRemovesOwnEntriesAndMarksEvenForeignOnes) {
  TFileList list;
  AddItem(list, L"a");
  TFileItem* b = &AddItem(list, L"b");
  AddItem(list, L"c");
  list.NameIndex.Add(b);
  EXPECT_EQ(list.Delete(b), 1);
  EXPECT_TRUE(list.Modified);
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.GetItem(1)->FileName, L"c");
  int32_t at = -1;
  EXPECT_FALSE(list.FindIndex(L"b", at)) << "the index must not keep the freed entry";

  list.Modified = false;
  TFileList other;
  TFileItem& foreign = AddItem(other, L"a");
  EXPECT_EQ(list.Delete(&foreign), -1);
  EXPECT_TRUE(list.Modified);
  EXPECT_EQ(list.GetCount(), 2);
  // The foreign entry still belongs to its own document, untouched.
  EXPECT_EQ(other.GetCount(), 1);
  EXPECT_EQ(foreign.FileName, L"a");
  EXPECT_EQ(list.Delete(nullptr), -1);

  list.Modified = false;
  list.DeleteIf([](const TFileItem* i) { return i->FileName == L"a"; });
  EXPECT_TRUE(list.Modified);
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.GetItem(0)->FileName, L"c");
}

TEST(FileList, RaisersGoOnWithoutHandlersAndPassTheAnswersOn) {
  TFileList list;
  TFileItem item;
  EXPECT_TRUE(list.DoStatus(L"x") && list.DoItemDone(&item, false));
  EXPECT_TRUE(list.DoScanError(L"c:\\x\\", 5));
  // Without a handler a raw name is widened through the ANSI code page.
  std::wstring name = L"stale";
  EXPECT_TRUE(list.DoConvertName("dir\\caf\xe9.txt", name));
  EXPECT_EQ(name.substr(0, 7), L"dir\\caf");
  if (GetACP() == 1252) {
    EXPECT_EQ(name, L"dir\\caf\u00e9.txt");
  }
  EXPECT_TRUE(list.DoConvertName("", name));
  EXPECT_TRUE(name.empty());

  std::wstring seen;
  list.OnScanError = [&](const std::wstring& f, uint32_t c) {
    return seen = f + std::to_wstring(c), false;
  };
  list.OnItemDone = [&](TFileItem* i, bool ok) { return i == &item && ok; };
  list.OnConvertName = [](const std::string& raw, std::wstring& n) {
    return n = std::wstring(raw.begin(), raw.end()) + L"!", raw != "stop";
  };
  EXPECT_FALSE(list.DoScanError(L"c:\\locked\\", 5));
  EXPECT_EQ(seen, L"c:\\locked\\5");
  EXPECT_TRUE(list.DoItemDone(&item, true));
  EXPECT_FALSE(list.DoItemDone(&item, false));
  EXPECT_TRUE(list.DoConvertName("go", name));
  EXPECT_EQ(name, L"go!");
  EXPECT_FALSE(list.DoConvertName("stop", name));
}
