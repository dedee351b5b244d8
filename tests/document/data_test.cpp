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
// marks it. On an entry without a document every setter raises an assertion naming its line,
// before it stores anything.
TEST(FileItem, SettersMarkModifiedOnlyOnChangeAndNeedADocument) {
  struct Case {
    int Line;
    std::function<void(TFileItem&)> SetSame, SetOther;
  };
  const Case cases[] = {
      {304, [](TFileItem& i) { i.SetFileName(L"a\\b.txt"); },
       [](TFileItem& i) { i.SetFileName(L"a\\B.txt"); }},
      {310, [](TFileItem& i) { i.SetFileTime(0); }, [](TFileItem& i) { i.SetFileTime(1); }},
      {316, [](TFileItem& i) { i.SetFileSize(-1); },
       [](TFileItem& i) { i.SetFileSize(int64_t{1} << 40); }},
      {322, [](TFileItem& i) { i.SetHashType("MD5"); }, [](TFileItem& i) { i.SetHashType("md5"); }},
      {328, [](TFileItem& i) { i.SetHashCode("HEX"); }, [](TFileItem& i) { i.SetHashCode("hex"); }},
      {334, [](TFileItem& i) { i.SetHashValue(""); }, [](TFileItem& i) { i.SetHashValue("00"); }},
      {340, [](TFileItem& i) { i.SetFileNote(L""); },
       [](TFileItem& i) { i.SetFileNote(L"\u00e9t\u00e9"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line);
    TFileList list;
    TFileItem& item = AddItem(list, L"a\\b.txt");  // a new entry has the defaults
    c.SetSame(item);
    EXPECT_FALSE(list.Modified);
    c.SetOther(item);
    EXPECT_TRUE(list.Modified);
    list.Modified = false;
    c.SetOther(item);
    EXPECT_FALSE(list.Modified) << "the value was not stored";

    TFileItem loose;
    loose.FileName = L"a\\b.txt";
    for (const auto& set : {c.SetSame, c.SetOther})
      EXPECT_EQ(AssertionMessage([&] { set(loose); }),
                L"Assertion failure (data, line " + std::to_wstring(c.Line) + L")");
    loose.Owner = &list;
    c.SetSame(loose);
    EXPECT_FALSE(list.Modified) << "stored before the check";
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

// A new entry's defaults. Time and size count as changed only once a pass has judged the entry
// and both values are known: a time above zero, a size not below it.
TEST(FileItem, DefaultsAndTimeAndSizeChangeTests) {
  const TFileItem fresh;
  EXPECT_TRUE(fresh.FileTime == 0 && fresh.FileSize == -1 && fresh.NewSize == 0);
  EXPECT_EQ(fresh.HashType + fresh.HashCode, "MD5HEX");
  EXPECT_EQ(fresh.State, fsNone);
  EXPECT_FALSE(fresh.TimeChanged() || fresh.SizeChanged() || fresh.HashChanged());
  const struct {
    TFileState State;
    int64_t Stored, New;
    bool Time, Size;
  } cases[] = {{fsChanged, 1000, 999, true, true},  {fsChanged, 1000, 1000, false, false},
               {fsChanged, 0, 5, false, true},      {fsChanged, -1, 5, false, false},
               {fsChanged, 1000, -5, false, false}, {fsNone, 10, 7, false, false}};
  for (const auto& c : cases) {
    TFileItem item;
    item.State = c.State;
    item.FileTime = item.FileSize = c.Stored;
    item.NewTime = item.NewSize = c.New;
    EXPECT_EQ(item.TimeChanged(), c.Time) << c.Stored << " " << c.New;
    EXPECT_EQ(item.SizeChanged(), c.Size) << c.Stored << " " << c.New;
  }
}

// Hex values compare ignoring case; the other encodings' alphabets are case-sensitive; an
// unregistered encoding, a missing value and an entry not judged yet are no change.
TEST(FileItem, HashChangeTestFollowsTheEncodersCaseRule) {
  RegisterStandardClasses();
  const struct {
    const char *Code, *Stored, *New;
    TFileState State;
    bool Changed;
  } cases[] = {{"HEX", "ABCD", "abcd", fsOK, false}, {"HEX", "ABCD", "ABCE", fsOK, true},
               {"HEX", "ABCD", "ABCD0", fsOK, true}, {"MIME64", "ABCD", "abcd", fsOK, true},
               {"UU", "ABCD", "abcd", fsOK, true},   {"XX", "ABCD", "abcd", fsOK, true},
               {"hex", "ABCD", "abcd", fsOK, false}, {"HEXi", "ABCD", "abcd", fsOK, false},
               {"", "ABCD", "abcd", fsOK, false},    {"Binary", "ABCD", "abcd", fsOK, false},
               {"MIME64", "ABCD", "", fsOK, false},  {"MIME64", "", "x", fsOK, false},
               {"MIME64", "y", "x", fsNone, false}};
  for (const auto& c : cases) {
    TFileItem item;
    item.HashCode = c.Code;
    item.HashValue = c.Stored;
    item.NewHash = c.New;
    item.State = c.State;
    EXPECT_EQ(item.HashChanged(), c.Changed) << c.Code << " " << c.Stored << " " << c.New;
  }
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
  for (int32_t index : {1, -1})
    EXPECT_EQ(AssertionMessage([&] { list.GetItem(index); }),
              L"Assertion failure (data, line 353)");
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
