// The main list: columns, cell texts and colours, the display order and the row life cycle.
#include "app/mainlist.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "app/main.h"
#include "app/res/main_res.h"
#include "app/res/mainlist_res.h"
#include "document/uniconv.h"
#include "hash/daycount.h"
#include "hash/errors.h"
#include "hash/misc.h"
#include "hash/registry.h"
#include "ui/strings.h"

const TListColumn ListColumns[ListColumnCount] = {
    {1, 0, 200, IDS_COL_FILE, LVCFMT_LEFT},     {2, 1, 60, IDS_COL_STATE, LVCFMT_LEFT},
    {3, 7, 50, IDS_COL_HASH, LVCFMT_LEFT},      {4, 8, 80, IDS_COL_ENCODING, LVCFMT_LEFT},
    {5, 2, 220, IDS_COL_HASHVALUE, LVCFMT_LEFT}, {6, 3, 60, IDS_COL_SIZE, LVCFMT_RIGHT},
    {7, 4, 70, IDS_COL_DATE, LVCFMT_LEFT},      {8, 5, 60, IDS_COL_TIME, LVCFMT_LEFT},
    {9, 6, 50, IDS_COL_NOTES, LVCFMT_LEFT}};

void AddListColumns(ui::ListView& ListView) {
  for (const TListColumn& c : ListColumns) {
    int i = ListView.AddColumn(ui::LoadStr(c.Caption), c.Width, c.Alignment);
    ListView.SetColumnTag(i, c.Tag);
  }
  // In order of position, so that each move lands where the table says.
  for (int p = 0; p < ListColumnCount; ++p)
    for (int i = 0; i < ListColumnCount; ++i)
      if (ListColumns[i].Position == p) ListView.SetColumnPosition(i, p);
}

// Texts ------------------------------------------------------------------------------------

namespace {

std::wstring Widened(const std::string& Bytes) {
  return CodePageToWide(Bytes, CP_ACP);
}

// A stored file time as local date and time of day; false when there is none to show.
bool LocalFileTime(int64_t FileTime, SYSTEMTIME& Time) {
  constexpr int64_t LastDay = 2958465;  // 31 December 9999
  if (FileTime <= 0) return false;
  // The bias is whole minutes as a fraction of a day; in seconds it is exact.
  const int64_t local = FileTime - std::llround(GetTimeZoneBias() * SecondsPerDay);
  int64_t days = local / SecondsPerDay, seconds = local % SecondsPerDay;
  if (seconds < 0) {
    seconds += SecondsPerDay;
    --days;
  }
  if (days < -693593 || days > LastDay) return false;  // 1 January 1 .. 31 December 9999
  int year, month, day;
  DecodeDate(days, year, month, day);
  Time = SYSTEMTIME{};
  Time.wYear = static_cast<WORD>(year);
  Time.wMonth = static_cast<WORD>(month);
  Time.wDay = static_cast<WORD>(day);
  Time.wHour = static_cast<WORD>(seconds / 3600);
  Time.wMinute = static_cast<WORD>(seconds / 60 % 60);
  Time.wSecond = static_cast<WORD>(seconds % 60);
  return true;
}

std::wstring DateText(int64_t FileTime) {
  SYSTEMTIME t;
  wchar_t buf[128];
  if (!LocalFileTime(FileTime, t) ||
      !GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, buf, 128))
    return {};
  return buf;
}

std::wstring TimeText(int64_t FileTime) {
  SYSTEMTIME t;
  wchar_t buf[128];
  if (!LocalFileTime(FileTime, t) || !GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, buf, 128))
    return {};
  return buf;
}

}  // namespace

std::wstring ListStateText(int32_t State) {
  return State >= fsNotFound && State <= fsOK ? ui::LoadStr(IDS_STATE_BASE + State) : L"";
}

std::wstring ListCellText(const TFileItem& Item, int32_t Tag, bool AbbrSize, bool ThouSize) {
  switch (Tag) {
    case 1:
      return Item.FileName;
    case 2:
      return ListStateText(Item.State);
    case 3:
      return Widened(Item.HashType);
    case 4: {
      // A checksum file may name any encoding; one we do not know shows as it is named.
      TCoderClass coder = FindCoder(Item.HashCode);
      return Widened(coder ? coder->DisplayName() : Item.HashCode);
    }
    case 5:
      return Widened(Item.HashValue);
    case 6:
      return Item.FileSize < 0 ? L"" : Widened(FormatSizeText(AbbrSize, ThouSize, 0, Item.FileSize, 0));
    case 7:
      return DateText(Item.FileTime);
    case 8:
      return TimeText(Item.FileTime);
    case 9:
      return Item.FileNote;
  }
  return {};
}

bool ListCellColor(const TFileItem& Item, int32_t Tag, const TListColors& Colors,
                   ui::Color& Color) {
  switch (Tag) {
    case 2:
      switch (Item.State) {
        case fsNotFound:
        case fsReadError: Color = Colors.Error; return true;
        case fsTouched: Color = Colors.Touched; return true;
        case fsChanged: Color = Colors.Changed; return true;
        case fsUpdated: Color = Colors.Updated; return true;
        case fsNewFile: Color = Colors.NewFile; return true;
        case fsInvalid: Color = Colors.Invalid; return true;
        case fsOK: Color = Colors.Valid; return true;
        default: return false;
      }
    case 5:
      if (!Item.HashChanged()) return false;
      Color = Colors.Fail;
      return true;
    case 6:
      if (!Item.SizeChanged()) return false;
      Color = Colors.Fail;
      return true;
    case 7:
    case 8:
      if (!Item.TimeChanged()) return false;
      Color = Colors.Warn;
      return true;
  }
  return false;
}

// Sorting ----------------------------------------------------------------------------------

namespace {

int32_t Sign(int64_t Value) {
  return Value < 0 ? -1 : Value > 0 ? 1 : 0;
}

int32_t CompareLocale(const std::wstring& A, const std::wstring& B) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.c_str(), static_cast<int>(A.size()),
                        B.c_str(), static_cast<int>(B.size())) -
         CSTR_EQUAL;
}

// Byte by byte: the difference of the first differing bytes, else of the lengths.
int32_t CompareBytes(const std::string& A, const std::string& B) {
  const size_t n = std::min(A.size(), B.size());
  for (size_t i = 0; i < n; ++i)
    if (A[i] != B[i])
      return static_cast<int32_t>(static_cast<uint8_t>(A[i])) - static_cast<uint8_t>(B[i]);
  return static_cast<int32_t>(A.size()) - static_cast<int32_t>(B.size());
}

const std::string& BytesOf(const TFileItem& Item, int32_t Tag) {
  return Tag == 3 ? Item.HashType : Tag == 4 ? Item.HashCode : Item.HashValue;
}

int64_t NumberOf(const TFileItem& Item, int32_t Tag) {
  return Tag == 2 ? static_cast<int64_t>(Item.State) : Tag == 6 ? Item.FileSize : Item.FileTime;
}

const std::wstring& TextOf(const TFileItem& Item, int32_t Tag) {
  return Tag == 1 ? Item.FileName : Item.FileNote;
}

// Sorts pairs of a key and an entry by key and writes the entries back in that order. A key
// of its own per entry keeps the comparisons in one array instead of chasing every entry.
template <class TKey, class TMake>
void SortByKeys(std::vector<TFileItem*>& ViewList, bool Descending, TMake Make) {
  std::vector<std::pair<TKey, TFileItem*>> keyed;
  keyed.reserve(ViewList.size());
  for (size_t i = 0; i < ViewList.size(); ++i) keyed.emplace_back(Make(i), ViewList[i]);
  if (Descending)
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return b.first < a.first; });
  else
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < keyed.size(); ++i) ViewList[i] = keyed[i].second;
}

}  // namespace

int32_t CompareListItems(const TFileItem* A, const TFileItem* B, int32_t SortMode) {
  if (SortMode < -9 || SortMode > 9 || SortMode == 0) return 0;
  if (SortMode < 0) std::swap(A, B);
  const int32_t tag = std::abs(SortMode);
  switch (tag) {
    case 1:
    case 9:
      return CompareLocale(TextOf(*A, tag), TextOf(*B, tag));
    case 3:
    case 4:
    case 5:
      return CompareBytes(BytesOf(*A, tag), BytesOf(*B, tag));
    default:
      return Sign(NumberOf(*A, tag) - NumberOf(*B, tag));
  }
}

void SortViewList(std::vector<TFileItem*>& ViewList, int32_t SortMode) {
  if (SortMode < -9 || SortMode > 9 || SortMode == 0) return;
  const bool descending = SortMode < 0;
  const int32_t tag = std::abs(SortMode);
  switch (tag) {
    case 1:
    case 9: {
      // Sort keys order exactly as the locale comparison; keeping them in one block spares an
      // allocation per entry.
      std::string block;
      std::vector<std::pair<size_t, size_t>> spans;
      spans.reserve(ViewList.size());
      for (TFileItem* item : ViewList) {
        std::string key = NameSortKey(TextOf(*item, tag));
        spans.emplace_back(block.size(), key.size());
        block += key;
      }
      SortByKeys<std::string_view>(ViewList, descending, [&](size_t i) {
        return std::string_view(block.data() + spans[i].first, spans[i].second);
      });
      break;
    }
    case 3:
    case 4:
    case 5:
      // std::string_view compares bytes as unsigned values, then lengths.
      SortByKeys<std::string_view>(ViewList, descending, [&](size_t i) {
        return std::string_view(BytesOf(*ViewList[i], tag));
      });
      break;
    default:
      SortByKeys<int64_t>(ViewList, descending,
                          [&](size_t i) { return NumberOf(*ViewList[i], tag); });
  }
}

int32_t ClickedSortMode(int32_t SortMode, int32_t Tag) {
  return SortMode == Tag || SortMode == -Tag ? -SortMode : Tag;
}

// Rows -------------------------------------------------------------------------------------

void InitListNode(ui::ListNode* Node, const std::vector<TFileItem*>& ViewList) {
  if (Node->Index < 0 || Node->Index >= static_cast<int>(ViewList.size()))
    throw Exception(ui::Format(ui::LoadStr(IDS_LIST_INDEX), {std::to_wstring(Node->Index)}));
  TFileItem* item = ViewList[Node->Index];
  Node->Data = item;
  item->Node = Node;
}

void FreeListNode(ui::ListNode* Node) {
  if (auto* item = static_cast<TFileItem*>(Node->Data)) item->Node = nullptr;
}

void DeleteListEntries(const std::vector<void*>& Items, std::vector<TFileItem*>& ViewList,
                       TFileList& FileList) {
  // One sweep over each list: deleting entries one by one would cost a search of the whole
  // document per entry.
  std::vector<const void*> gone(Items.begin(), Items.end());
  std::sort(gone.begin(), gone.end());
  auto isGone = [&](const TFileItem* item) {
    return std::binary_search(gone.begin(), gone.end(), static_cast<const void*>(item));
  };
  std::erase_if(ViewList, isGone);
  FileList.DeleteIf(isGone);
}

// The main window's list ---------------------------------------------------------------------

void TMainForm::CreateListColumns() {
  AddListColumns(ListView);
  ListView.OnInitNode = [this](ui::ListNode* n) { ListViewInitNode(n); };
  ListView.OnFreeNode = [this](ui::ListNode* n) { ListViewFreeNode(n); };
  ListView.OnDeleted = [this](const std::vector<void*>& items) { ListViewDeleted(items); };
  ListView.OnGetText = [this](ui::ListNode* n, int c, std::wstring& t) { ListViewGetText(n, c, t); };
  ListView.OnPaintText = [this](ui::ListNode* n, int c, ui::Color& k) { ListViewPaintText(n, c, k); };
  ListView.OnBeforeItemErase = [this](int row, ui::Color& k) { ListViewBeforeItemErase(row, k); };
  ListView.OnHeaderClick = [this](int column) { ListViewHeaderClick(column); };
}

void TMainForm::RefreshList() {
  ViewList.resize(FileList->GetCount());
  for (int32_t i = 0; i < FileList->GetCount(); ++i) ViewList[i] = FileList->Items[i].get();
  SortList();
}

void TMainForm::DoRefreshList() {
  RefreshList();
}

void TMainForm::SortList() {
  SortViewList(ViewList, SortMode);
  ListView.Clear();
  ListView.SetRowCount(static_cast<int>(ViewList.size()));
}

void TMainForm::ListViewInitNode(ui::ListNode* Node) {
  InitListNode(Node, ViewList);
}

void TMainForm::ListViewFreeNode(ui::ListNode* Node) {
  FreeListNode(Node);
}

void TMainForm::ListViewDeleted(const std::vector<void*>& Items) {
  if (Deleting) DeleteListEntries(Items, ViewList, *FileList);
}

void TMainForm::ListViewGetText(ui::ListNode* Node, int Column, std::wstring& Text) {
  Text = ListCellText(*static_cast<const TFileItem*>(Node->Data), ListView.ColumnTag(Column),
                      AbbrSize, ThouSize);
}

void TMainForm::ListViewPaintText(ui::ListNode* Node, int Column, ui::Color& Color) {
  if (ListView.RowSelected(Node->Index)) return;
  const TListColors colors{EvenColor,    FailColor,    WarnColor,    ErrorColor,   TouchedColor,
                           UpdatedColor, ChangedColor, NewFileColor, InvalidColor, ValidColor};
  ListCellColor(*static_cast<const TFileItem*>(Node->Data), ListView.ColumnTag(Column), colors,
                Color);
}

void TMainForm::ListViewBeforeItemErase(int Row, ui::Color& Color) {
  if (Row % 2 == 0) Color = EvenColor;
}

void TMainForm::ListViewHeaderClick(int Column) {
  const int32_t tag = ListView.ColumnTag(Column);
  if (tag == 0) return;  // not one of the list's columns
  SortMode = ClickedSortMode(SortMode, tag);
  ListView.SetSortColumn(Column, SortMode >= 0 ? ui::SortDirection::Ascending
                                               : ui::SortDirection::Descending);
  SortList();
}
