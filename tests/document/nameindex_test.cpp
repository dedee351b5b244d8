#include <algorithm>
#include <random>

#include "document/data.h"
#include "gtest/gtest.h"
#include "tests/items.h"

namespace {
// Entries owned by the document, listed in the name index in the order given.
struct IndexedList {
  TFileList List;
  TFileItem* Add(const std::wstring& Name) { return &AddItem(List, Name); }
  // The way the new-file scan grows the index: look up, then insert where the lookup points.
  void InsertSorted(const std::wstring& Name) {
    int32_t index;
    List.FindIndex(Name, index);
    List.NameIndex.Insert(index, Add(Name));
  }
};

std::wstring RandomName(std::mt19937& Rng, int MaxLength) {
  static const wchar_t kChars[] =
      L"aAbBcCzZ09_-. ~'\\$[]\u00e9\u00c9\u00e4\u00c4\u00df\u0161\u0160\u0436\u0416\u03a3"
      L"\u03c3\u00e6\u00c6\u0131\u0130iI\u4e2d\u00f1\u00d1\u00ad";
  const int n = static_cast<int>(std::size(kChars) - 1);
  std::wstring s;
  for (int len = static_cast<int>(Rng() % (MaxLength + 1)); len > 0; --len) s += kChars[Rng() % n];
  return s;
}

void ExpectSorted(const TFileList& List) {
  for (int32_t i = 1; i < List.NameIndex.Count(); ++i)
    ASSERT_LE(CompareItemNames(List.NameIndex[i - 1], List.NameIndex[i]), 0) << "at " << i;
}
}  // namespace

TEST(NameIndex, FindIndexGivesFirstPositionNotBelowTheName) {
  IndexedList d;
  int32_t index = -7;
  EXPECT_FALSE(d.List.FindIndex(L"a", index));
  EXPECT_EQ(index, 0);

  for (const wchar_t* n : {L"c", L"a", L"B"}) d.List.NameIndex.Add(d.Add(n));
  d.List.NameIndex.Sort();
  EXPECT_EQ(
      d.List.NameIndex[0]->FileName + d.List.NameIndex[1]->FileName + d.List.NameIndex[2]->FileName,
      L"aBc");
  EXPECT_EQ(d.List.NameIndex[3], nullptr);
  const std::pair<const wchar_t*, int32_t> lookups[] = {{L"b", 1}, {L"d", 3}, {L"", 0}, {L"bb", 2}};
  for (const auto& [name, at] : lookups) {
    EXPECT_EQ(d.List.FindIndex(name, index), at == 1) << testing::PrintToString(std::wstring(name));
    EXPECT_EQ(index, at);
  }
}

TEST(NameIndex, NonAsciiNamesMatchIgnoringCase) {
  IndexedList d;
  for (const wchar_t* n :
       {L"\u00c4pfel\\Z.txt", L"zebra", L"\u00d6l", L"\u0416\u0443\u043a", L"stra\u00dfe",
        L"\u00e9t\u00e9", L"Apfel", L"\u03a3\u03bf\u03c6\u03af\u03b1"})
    d.InsertSorted(n);
  ExpectSorted(d.List);
  int32_t index;
  for (const wchar_t* n :
       {L"\u00e4pfel\\z.TXT", L"ZEBRA", L"\u00f6L", L"\u0436\u0423\u041a", L"STRA\u00dfE",
        L"\u00c9T\u00c9", L"aPFEL", L"\u03c3\u039f\u03a6\u038a\u0391"}) {
    SCOPED_TRACE(testing::Message() << "name " << d.List.NameIndex.Count());
    ASSERT_TRUE(d.List.FindIndex(n, index));
    TFileItem probe;
    probe.FileName = n;
    EXPECT_EQ(CompareItemNames(d.List.NameIndex[index], &probe), 0);
  }
  // A name whose key outgrows the first guess at its size.
  d.InsertSorted(std::wstring(40, L'\u00e6'));
  EXPECT_TRUE(d.List.FindIndex(std::wstring(40, L'\u00c6'), index));
  // Accents are not letter case.
  EXPECT_FALSE(d.List.FindIndex(L"Apf\u00e9l", index));
  EXPECT_FALSE(d.List.FindIndex(L"ete", index));
}

// Positions must be right whatever the order: insert anywhere and compare with a plain vector.
TEST(NameIndex, PositionalInsertsMatchAPlainList) {
  IndexedList d;
  std::vector<TFileItem*> model;
  std::mt19937 rng(3);
  for (int i = 0; i < 20000; ++i) {
    TFileItem* item = d.Add(std::to_wstring(i));
    const int32_t at = i % 3 == 0 ? 0 : static_cast<int32_t>(rng() % (model.size() + 1));
    model.insert(model.begin() + at, item);
    d.List.NameIndex.Insert(at, item);
  }
  ASSERT_EQ(d.List.NameIndex.Count(), static_cast<int32_t>(model.size()));
  for (size_t i = 0; i < model.size(); ++i)
    ASSERT_EQ(d.List.NameIndex[static_cast<int32_t>(i)], model[i]);
}

// The index compares sort keys instead of calling CompareStringW: Sort orders as a stable sort by
// the system comparison does, here into a tree of three levels. A scan then grows it, looking
// each name up and inserting it there, and finds every name at the first position of its equals.
TEST(NameIndex, SortThenScanInsertsKeepOrderAndFindEveryName) {
  IndexedList d;
  std::mt19937 rng(5);
  std::vector<TFileItem*> expected;
  for (int i = 0; i < 12000; ++i) {
    TFileItem* item = d.Add(RandomName(rng, 4));
    d.List.NameIndex.Add(item);
    expected.push_back(item);
  }
  std::stable_sort(expected.begin(), expected.end(),
                   [](TFileItem* a, TFileItem* b) { return CompareItemNames(a, b) < 0; });
  d.List.NameIndex.Sort();
  for (size_t i = 0; i < expected.size(); ++i)
    ASSERT_EQ(d.List.NameIndex[static_cast<int32_t>(i)], expected[i]);

  std::vector<std::wstring> names{L"\u00c4", L""};
  for (int i = 0; i < 10000; ++i)
    names.push_back(RandomName(rng, 3) + std::to_wstring(rng() % 5000));
  for (const auto& n : names) d.InsertSorted(n);
  ASSERT_EQ(d.List.NameIndex.Count(), 22002);
  ExpectSorted(d.List);
  for (size_t i = 0; i < names.size(); i += 7) {
    int32_t index;
    ASSERT_TRUE(d.List.FindIndex(names[i], index));
    TFileItem probe;
    probe.FileName = names[i];
    EXPECT_EQ(CompareItemNames(d.List.NameIndex[index], &probe), 0);
    if (index > 0) {
      EXPECT_LT(CompareItemNames(d.List.NameIndex[index - 1], &probe), 0) << "not the first";
    }
  }
  d.List.NameIndex.Clear();
  EXPECT_EQ(d.List.NameIndex.Count(), 0);
  int32_t index;
  EXPECT_FALSE(d.List.FindIndex(L"x", index));
  EXPECT_EQ(index, 0);
}
