#pragma once
// The main window's list of entries: its columns, the texts and colours of its cells, the tint
// of every other row, the order of the display list and the life of its rows.
//
// The list (ui::ListView, owner data) shows ViewList: row i is entry i of ViewList. A row's node
// data is its entry, and while the row exists the entry's Node points to that row's ui::ListNode,
// so a window that changed one entry repaints its row with
//
//   if (Item->Node) ListView.InvalidateNode(static_cast<ui::ListNode*>(Item->Node));
//
// Node is cleared when the row goes (every rebuild, sort or delete frees all affected rows).
// Deleting entries through the list:
//
//   Deleting = true;  ListView.DeleteSelected();  Deleting = false;
//
// removes the selected rows' entries from ViewList and from the document, in step with the rows.
#include <cstdint>
#include <string>
#include <vector>

#include "document/data.h"
#include "ui/listview.h"

// The columns in collection order (the order the "Columns" settings use); the Tag names a
// column in every event, Position is where it is shown at first.
struct TListColumn {
  int32_t Tag;
  int32_t Position;
  int32_t Width;
  UINT Caption;  // string ID
  int32_t Alignment;  // LVCFMT_LEFT / LVCFMT_RIGHT
};
constexpr int ListColumnCount = 9;
extern const TListColumn ListColumns[ListColumnCount];
// Adds the nine columns with captions, widths, alignments and tags, then puts them in place.
void AddListColumns(ui::ListView& ListView);

// The colours of the main list (the main window's colour fields).
struct TListColors {
  ui::Color Even, Fail, Warn, Error, Touched, Updated, Changed, NewFile, Invalid, Valid;
};

// "Not found" ... "OK"; empty for no state and for unknown values.
std::wstring ListStateText(int32_t State);
// The text of the entry's cell in the column with this Tag.
std::wstring ListCellText(const TFileItem& Item, int32_t Tag, bool AbbrSize, bool ThouSize);
// The font colour of the entry's cell in an unselected row; false leaves the control's colour.
bool ListCellColor(const TFileItem& Item, int32_t Tag, const TListColors& Colors,
                   ui::Color& Color);

// The order SortMode asks for: +Tag ascending, -Tag descending; negative, zero or positive.
int32_t CompareListItems(const TFileItem* A, const TFileItem* B, int32_t SortMode);
// Sorts by SortMode (not stable); 0 or a value outside -9..9 leaves the order alone. Names and
// notes are compared through sort keys that order as CompareListItems does.
void SortViewList(std::vector<TFileItem*>& ViewList, int32_t SortMode);
// The sort mode after a click on the header of the column with this Tag: the same column again
// reverses the direction, another column starts ascending.
int32_t ClickedSortMode(int32_t SortMode, int32_t Tag);

// Row life cycle. A row takes the entry at its index (an index outside ViewList raises the
// list's index error) and the entry points back to the row.
void InitListNode(ui::ListNode* Node, const std::vector<TFileItem*>& ViewList);
void FreeListNode(ui::ListNode* Node);
// The entries of deleted rows leave ViewList and the document (freed; the document is modified).
void DeleteListEntries(const std::vector<void*>& Items, std::vector<TFileItem*>& ViewList,
                       TFileList& FileList);
