// The main list: texts, colours, row tint, sorting with the header glyph, the row life cycle,
// deleting rows and the clipboard, on a real list view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/mainlist.h"
#include "hash/daycount.h"
#include "hash/registry.h"
#include "tests/app/mainlist_fixture.h"

namespace {

TFileItem Entry(const wchar_t* name, TFileState state = fsNone) {
  TFileItem item;
  item.FileName = name;
  item.State = state;
  return item;
}

int64_t Stamp(int year, int month, int day, int seconds) {
  int64_t days = 0;
  TryEncodeDate(year, month, day, days);
  return days * SecondsPerDay + seconds;
}

}  // namespace

TEST(MainListTexts, EachColumnShowsItsField) {
  RegisterStandardClasses();
  TFileItem item = Entry(L"sub\\a.txt", fsOK);
  item.HashType = "CRC32";
  item.HashCode = "MIME64";
  item.HashValue = "ab12==";
  item.FileNote = L"note";
  item.FileSize = 1600;
  const wchar_t* texts[] = {L"",       L"sub\\a.txt", L"OK", L"CRC32", L"MIME Base 64",
                            L"ab12==", L"2K",         L"",   L"",      L"note",
                            L""};
  for (int tag = 0; tag <= 10; ++tag) EXPECT_EQ(ListCellText(item, tag, true, true), texts[tag]);
  EXPECT_EQ(ListCellText(item, 6, false, false), L"1600");  // "2K" above: whole units

  // An encoding nobody registered shows under its own name.
  item.HashCode = "BASE32";
  EXPECT_EQ(ListCellText(item, 4, true, true), L"BASE32");
  // Unknown size and time: empty cells.
  item.FileSize = -1;
  EXPECT_EQ(ListCellText(item, 6, true, true), L"");
  item.FileSize = 0;
  EXPECT_EQ(ListCellText(item, 6, true, true), L"0");
}

TEST(MainListTexts, DateAndTimeAreLocalInTheUsersFormats) {
  TFileItem item;
  item.FileTime = Stamp(2004, 3, 7, 9 * 3600 + 5 * 60 + 7);
  // The expected texts: the same moment shifted by the time zone and written by the system.
  const int64_t local = item.FileTime - std::llround(GetTimeZoneBias() * SecondsPerDay);
  int y, m, d;
  DecodeDate(local / SecondsPerDay, y, m, d);
  SYSTEMTIME t{};
  t.wYear = WORD(y), t.wMonth = WORD(m), t.wDay = WORD(d);
  t.wHour = WORD(local % SecondsPerDay / 3600), t.wMinute = WORD(local % 3600 / 60),
  t.wSecond = WORD(local % 60);
  wchar_t date[64], time[64];
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, 64);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, time, 64);
  EXPECT_EQ(ListCellText(item, 7, true, true), date);
  EXPECT_EQ(ListCellText(item, 8, true, true), time);
  EXPECT_NE(std::wstring(date).find(L"2004"), std::wstring::npos);
}

TEST(MainListColors, StatesInWordsAndColours) {
  const TListColors c = TestColors();
  const struct {
    const wchar_t* Word;
    ui::Color Color;
  } states[] = {{L"", -1},
                {L"Not found", c.Error},
                {L"Read error", c.Error},
                {L"Touched", c.Touched},
                {L"Changed", c.Changed},
                {L"Updated", c.Updated},
                {L"New file", c.NewFile},
                {L"Invalid", c.Invalid},
                {L"OK", c.Valid}};
  for (int s = 0; s <= 8; ++s) {
    TFileItem item = Entry(L"a", TFileState(s));
    EXPECT_EQ(ListStateText(s), states[s].Word);
    EXPECT_EQ(ListCellText(item, 2, true, true), states[s].Word);
    ui::Color color = -1;
    EXPECT_EQ(ListCellColor(item, 2, c, color), s != 0) << s;
    EXPECT_EQ(color, states[s].Color) << s;
    // Name, hash type, encoding and notes never change colour.
    for (int tag : {1, 3, 4, 9}) EXPECT_FALSE(ListCellColor(item, tag, c, color)) << tag;
  }
  EXPECT_EQ(ListStateText(9) + ListStateText(-1), L"");
}

TEST(MainListColors, MismatchesInTheirColumns) {
  RegisterStandardClasses();
  const TListColors colors = TestColors();
  TFileItem item = Entry(L"a", fsOK);
  item.FileSize = 10, item.NewSize = 11;
  item.FileTime = 1000, item.NewTime = 1000;
  item.HashValue = "ab12", item.NewHash = "AB12";  // hexadecimal ignores case
  ui::Color c = -1;
  EXPECT_TRUE(ListCellColor(item, 6, colors, c));
  EXPECT_EQ(c, colors.Fail);
  EXPECT_FALSE(ListCellColor(item, 5, colors, c));
  EXPECT_FALSE(ListCellColor(item, 7, colors, c));
  EXPECT_TRUE(ListCellColor(item, 2, colors, c));  // green state, red size
  EXPECT_EQ(c, colors.Valid);

  item.NewHash = "ab13";
  item.NewTime = 2000;
  EXPECT_TRUE(ListCellColor(item, 5, colors, c));
  EXPECT_EQ(c, colors.Fail);
  for (int tag : {7, 8}) {
    c = -1;
    EXPECT_TRUE(ListCellColor(item, tag, colors, c));
    EXPECT_EQ(c, colors.Warn);
  }
  // Without a state nothing differs.
  item.State = fsNone;
  for (int tag : {2, 5, 6, 7, 8}) EXPECT_FALSE(ListCellColor(item, tag, colors, c)) << tag;
}

TEST(MainListSort, RulesPerColumn) {
  TFileItem a = Entry(L"abc"), b = Entry(L"ABC");
  EXPECT_EQ(CompareListItems(&a, &b, 1), 0);  // names ignore case
  a.HashValue = "ab12", b.HashValue = "AB12";
  EXPECT_GT(CompareListItems(&a, &b, 5), 0);  // hash values do not
  EXPECT_LT(CompareListItems(&a, &b, -5), 0);
  a.HashType = "MD5", b.HashType = "MD";
  EXPECT_EQ(CompareListItems(&a, &b, 3), 1);  // a prefix sorts first: difference of lengths
  a.FileSize = -1, b.FileSize = 0;
  EXPECT_LT(CompareListItems(&a, &b, 6), 0);  // unknown size before 0
  a.FileTime = 0, b.FileTime = 1;
  EXPECT_LT(CompareListItems(&a, &b, 7), 0);
  EXPECT_LT(CompareListItems(&a, &b, 8), 0);
  EXPECT_GT(CompareListItems(&a, &b, -8), 0);
  for (int mode : {0, 10, -10}) EXPECT_EQ(CompareListItems(&a, &b, mode), 0);
}

TEST(MainListSort, NameKeysOrderAsTheLocaleComparison) {
  const wchar_t* names[] = {L"b",    L"A",      L"a-b",    L"ab",     L"a b", L"\u00e4b",
                            L"Zeta", L"zeta2",  L"co-op",  L"coop",   L"x10", L"x9",
                            L"",     L"_u",     L"\u00c5", L"aa",     L"AB",  L"it's",
                            L"its",  L"\u00df", L"ss",     L"\u0416", L"1",   L"~"};
  std::vector<TFileItem> items;
  for (const wchar_t* n : names) items.push_back(Entry(n));
  for (size_t i = 0; i < items.size(); ++i)
    items[i].FileNote = items[items.size() - 1 - i].FileName;
  for (int mode : {1, -1, 9, -9}) {
    std::vector<TFileItem*> list;
    for (auto& i : items) list.push_back(&i);
    SortViewList(list, mode);
    for (size_t i = 1; i < list.size(); ++i)
      EXPECT_LE(CompareListItems(list[i - 1], list[i], mode), 0)
          << mode << ": " << ui::ToUtf8(list[i - 1]->FileName) << " / "
          << ui::ToUtf8(list[i]->FileName);
  }
}

// On the list control --------------------------------------------------------------------

TEST_F(MainListTest, CellsComeFromTheRowsEntry) {
  Add(L"one", fsNotFound);
  Add(L"two", fsOK).FileSize = 1600;
  Form->ThouSize = true;
  Form->AbbrSize = false;
  Form->RefreshList();
  ASSERT_EQ(Form->ListView.RowCount(), 2);
  EXPECT_EQ(CellText(0, 0), L"one");
  EXPECT_EQ(CellText(0, 1), L"Not found");
  EXPECT_EQ(CellText(1, 1), L"OK");
  wchar_t sep[8] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, sep, 8);
  EXPECT_EQ(CellText(1, 5), std::wstring(L"1") + sep + L"600");
  // A row beyond the list asks for nothing.
  EXPECT_EQ(CellText(5, 0), L"");
  // Typing in the list finds nothing rather than jumping to the first row.
  NMLVFINDITEMW find{};
  find.iStart = 1;
  find.lvfi.flags = LVFI_STRING;
  find.lvfi.psz = L"o";
  EXPECT_EQ(Notify(find.hdr, LVN_ODFINDITEMW), -1);
}

TEST_F(MainListTest, PaintColoursAndRowTint) {
  TFileItem& ok = Add(L"ok", fsOK);
  ok.FileSize = 1, ok.NewSize = 2;
  Add(L"changed", fsChanged);
  Form->RefreshList();
  const TListColors colors = TestColors();
  EXPECT_EQ(PaintColor(0, 1), colors.Valid);
  EXPECT_EQ(PaintColor(0, 5), colors.Fail);
  EXPECT_EQ(PaintColor(1, 1), colors.Changed);
  EXPECT_EQ(PaintColor(1, 0), Untouched);
  // A selected row keeps the selection colours.
  Form->ListView.SetRowSelected(0, true);
  EXPECT_EQ(PaintColor(0, 1), Untouched);
  EXPECT_EQ(PaintColor(0, 5), Untouched);
  // First, third... rows tinted, the others in the list's background.
  EXPECT_EQ(EraseColor(0), ui::ColorToRGB(colors.Even));
  EXPECT_EQ(EraseColor(1), ui::ColorToRGB(Form->ListView.BackColor()));
  EXPECT_EQ(EraseColor(2), ui::ColorToRGB(colors.Even));
}

TEST_F(MainListTest, HeaderClicksSortEveryColumnBothWaysWithTheGlyph) {
  RegisterStandardClasses();
  const wchar_t* names[] = {L"d", L"B", L"a", L"C", L"e"};
  const TFileState states[] = {fsOK, fsNone, fsChanged, fsNotFound, fsOK};
  const char* types[] = {"SHA1", "MD5", "CRC32", "MD5", "CRC32"};
  const char* codes[] = {"XX", "HEX", "UU", "MIME64", "HEX"};
  const char* values[] = {"ab", "AB", "0f", "", "b"};
  const int64_t sizes[] = {5, -1, 0, 1 << 20, 7};
  const int64_t times[] = {Stamp(2001, 1, 1, 0), 0, Stamp(2001, 1, 1, 60), Stamp(1999, 5, 1, 0),
                           Stamp(2001, 1, 1, 59)};
  const wchar_t* notes[] = {L"", L"x", L"Y", L"z", L"\u00e4"};
  for (int i = 0; i < 5; ++i) {
    TFileItem& e = Add(names[i], states[i]);
    e.HashType = types[i], e.HashCode = codes[i], e.HashValue = values[i];
    e.FileSize = sizes[i], e.FileTime = times[i], e.FileNote = notes[i];
  }
  Form->RefreshList();
  ui::ListView& lv = Form->ListView;
  for (int column = 0; column < 9; ++column) {
    const int tag = column + 1;
    for (int click = 0; click < 3; ++click) {
      ClickHeader(column);
      const int expected = click == 1 ? -tag : tag;  // ascending, descending, ascending
      ASSERT_EQ(Form->SortMode, expected);
      EXPECT_EQ(lv.SortColumn(), column);
      EXPECT_EQ(lv.HeaderSortFlags(column), click == 1 ? HDF_SORTDOWN : HDF_SORTUP);
      for (int other = 0; other < 9; ++other)
        EXPECT_EQ(lv.HeaderSortFlags(other), other == column ? lv.HeaderSortFlags(column) : 0);
      const auto& list = Form->ViewList;
      ASSERT_EQ(list.size(), 5u);
      for (size_t i = 1; i < list.size(); ++i)
        EXPECT_LE(CompareListItems(list[i - 1], list[i], expected), 0) << expected << " at " << i;
      // Row i shows entry i.
      for (int row = 0; row < 5; ++row)
        EXPECT_EQ(CellText(row, 0), list[row]->FileName) << expected;
    }
  }
  // State: none first, OK last; descending the other way round.
  ClickHeader(1);
  EXPECT_EQ(Form->SortMode, 2);
  EXPECT_EQ(Form->ViewList.front()->State, fsNone);
  EXPECT_EQ(Form->ViewList.back()->State, fsOK);
  ClickHeader(1);
  EXPECT_EQ(Form->ViewList.front()->State, fsOK);
  // Another column starts ascending.
  ClickHeader(0);
  EXPECT_EQ(Form->SortMode, 1);
  EXPECT_EQ(Form->ViewList.front()->FileName, L"a");
  // The whole stamp orders Date and Time, unknown first.
  ClickHeader(7);
  EXPECT_EQ(Form->ViewList[0]->FileTime, 0);
  EXPECT_EQ(Form->ViewList[1]->FileName, L"C");
  EXPECT_EQ(Form->ViewList[3]->FileName, L"e");
  // The document keeps its order.
  EXPECT_EQ(Form->FileList->Items[0]->FileName, L"d");
}

TEST_F(MainListTest, SortModeFromTheSettingsSortsWithoutAGlyph) {
  WriteIni(L"General", L"SortMode", L"-5");
  Form = NewForm();
  ASSERT_EQ(Form->SortMode, -5);
  Add(L"a").HashValue = "1";
  Add(L"b").HashValue = "3";
  Add(L"c").HashValue = "2";
  Form->RefreshList();
  EXPECT_EQ(Form->ViewList[0]->FileName, L"b");
  EXPECT_EQ(Form->ViewList[2]->FileName, L"a");
  EXPECT_EQ(Form->ListView.SortColumn(), ui::ListView::NoColumn);
  for (int c = 0; c < 9; ++c) EXPECT_EQ(Form->ListView.HeaderSortFlags(c), 0);
  // Values the list does not know leave the document order.
  for (int mode : {10, -10, 12345}) {
    Form->SortMode = mode;
    Form->RefreshList();
    EXPECT_EQ(Form->ViewList[1]->FileName, L"b") << mode;
  }
  // Empty document: no rows, sorting does nothing.
  Form->ListView.SetRowCount(0);
  Form->ViewList.clear();
  Form->FileList->Clear();
  Form->SortMode = 1;
  Form->RefreshList();
  EXPECT_EQ(Form->ListView.RowCount(), 0);
}

TEST_F(MainListTest, NodesLiveAsLongAsTheirRows) {
  for (const wchar_t* n : {L"c", L"a", L"b"}) Add(n);
  Form->RefreshList();
  TFileItem* first = Form->FileList->Items[0].get();
  EXPECT_EQ(first->Node, nullptr);  // not shown yet
  CellText(0, 0);
  auto* node = static_cast<ui::ListNode*>(first->Node);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Index, 0);
  EXPECT_EQ(node->Data, first);
  Form->ListView.InvalidateNode(node);  // a repaint keeps the row's entry
  EXPECT_EQ(first->Node, node);
  ClickHeader(0);
  EXPECT_EQ(first->Node, nullptr);  // every row was rebuilt
  CellText(2, 0);
  node = static_cast<ui::ListNode*>(first->Node);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Index, 2);
  // Clearing the rows before the document frees its entries.
  Form->ListView.SetRowCount(0);
  EXPECT_EQ(first->Node, nullptr);
}

TEST_F(MainListTest, DeleteKeepsRowsAndEntriesInStep) {
  for (const wchar_t* n : {L"0", L"1", L"2", L"3", L"4", L"5"}) Add(n);
  Form->SortMode = -1;  // rows 5 4 3 2 1 0
  Form->RefreshList();
  Form->FileList->Modified = false;
  CellText(0, 0);
  CellText(4, 0);  // "1", shown and after a deleted row
  ui::ListView& lv = Form->ListView;
  lv.SetRowSelected(1, true);  // "4", never shown
  lv.SetRowSelected(3, true);  // "2"
  Form->Deleting = true;
  lv.DeleteSelected();
  Form->Deleting = false;
  ASSERT_EQ(lv.RowCount(), 4);
  ASSERT_EQ(Form->ViewList.size(), 4u);
  ASSERT_EQ(Form->FileList->GetCount(), 4);
  EXPECT_TRUE(Form->FileList->Modified);
  EXPECT_EQ(lv.SelectedCount(), 0);
  const wchar_t* rows[] = {L"5", L"3", L"1", L"0"};
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(CellText(r, 0), rows[r]);
    EXPECT_EQ(Form->ViewList[r]->FileName, rows[r]);
    EXPECT_EQ(static_cast<ui::ListNode*>(Form->ViewList[r]->Node)->Index, r);
  }
  const wchar_t* document[] = {L"0", L"1", L"3", L"5"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Form->FileList->Items[i]->FileName, document[i]);

  // A sort afterwards clears the selection.
  lv.SetRowSelected(0, true);
  ClickHeader(0);
  EXPECT_EQ(lv.SelectedCount(), 0);
}
