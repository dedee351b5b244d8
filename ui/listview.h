#pragma once
// Report-style list view in owner-data mode: columns (width, display position, alignment, tag,
// header sort glyph), rows that carry one pointer of the owner's data each, texts and colours
// asked of the owner per visible cell, and a copy of the selected rows to the clipboard.
//
//   ListView.Create(*this, LVS_OWNERDATA | LVS_SHOWSELALWAYS, LVS_EX_FULLROWSELECT);
//   ListView.AddColumn(L"File", 200, LVCFMT_LEFT);
//   ListView.SetColumnPosition(2, 0);   // column 2 shown first
//   ListView.OnInitNode = [&](ui::ListNode* n) { n->Data = items[n->Index]; };
//   ListView.OnGetText = [&](ui::ListNode* n, int column, std::wstring& text) { ... };
//   ListView.SetRowCount(items.size());
//
// Row life cycle: SetRowCount adds rows uninitialised; a row is initialised (OnInitNode) the
// first time anything needs it (its text, its colours, an iteration over the selection) and
// freed (OnFreeNode) by Clear, by a SetRowCount that drops it and by DeleteSelected. The ListNode
// of a row stays at one address for the row's life and always knows the row's current index,
// so an owner may keep the pointer to repaint that one row later (InvalidateNode).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace ui {

struct ListNode {
  int Index = 0;         // the row's current position
  void* Data = nullptr;  // the owner's pointer, set by OnInitNode
};

enum class SortDirection { Ascending, Descending };

class ListView : public Control {
 public:
  using Control::Control;
  ~ListView() override;
  void Create(Window& parent, DWORD style, DWORD exStyle);

  // --- Columns, by collection index (the order they were added in) ---
  int AddColumn(const std::wstring& caption, int width, int format);
  int ColumnCount();
  std::wstring ColumnCaption(int column);
  int ColumnWidth(int column);
  void SetColumnWidth(int column, int width);
  // Display position of a column (0 = leftmost).
  int ColumnPosition(int column);
  // Moves a column to a display position; the columns in between shift by one.
  void SetColumnPosition(int column, int position);
  // The columns in display order.
  std::vector<int> ColumnOrder();
  // LVCFMT_LEFT / LVCFMT_RIGHT.
  int ColumnAlignment(int column);
  void SetColumnAlignment(int column, int format);
  // A number the owner gives a column to know it by in the events; 0 until set.
  int ColumnTag(int column) const;
  void SetColumnTag(int column, int tag);

  // The header's sort glyph: one column (or NoColumn) and a direction.
  static constexpr int NoColumn = -1;
  int SortColumn() const { return sortColumn_; }
  SortDirection GetSortDirection() const { return sortDirection_; }
  void SetSortColumn(int column, SortDirection direction);
  // What the header itself shows for a column: 0, HDF_SORTUP or HDF_SORTDOWN.
  int HeaderSortFlags(int column);

  // --- Rows ---
  int RowCount();
  // Rows beyond the count are freed, new rows start uninitialised.
  void SetRowCount(int count);
  // Frees every row; selection, focus and scroll position go with them.
  void Clear();
  // The row's node, initialised first when it is not yet; nullptr outside the rows.
  ListNode* GetNode(int row);
  // Repaints one row (its cells are asked for again).
  void InvalidateNode(const ListNode* node);
  void InvalidateRow(int row);

  // The row with the focus, -1 for none. A row the focus moves to (by the keys, the mouse or
  // the program) that was not wholly in view comes into view in the middle of the visible rows,
  // as far as the list allows (the first rows stay at the top, the last at the bottom).
  int FocusedRow();

  int SelectedCount();
  bool RowSelected(int row);
  void SetRowSelected(int row, bool selected);
  void SelectAll();
  // Calls f for every selected row in display order (initialised first when needed).
  void IterateSelected(const std::function<void(ListNode*)>& f);
  // Frees the selected rows (OnFreeNode each, in display order; a row never shown is
  // initialised first, so each tells its data) and closes the gaps: the rows after them move up
  // and keep their nodes. The selection is cleared; OnDeleted follows.
  void DeleteSelected();

  // Puts the selected rows on the clipboard, cells as OnGetText gives them and columns in
  // display order, in the formats listed in ClipboardFormats(), in that order. The text formats
  // (tab-separated text, CSV with the locale's list separator, an HTML and an RTF table) start
  // with a row of column captions. "Virtual Tree Data" is the list's own row format: a
  // ListClipData followed by one ListClipRow per row. False without a selection.
  // The cells are taken now; each format is made from them when a paste first asks for it, and
  // whatever was not asked for is made when the list goes, so a paste gets what was copied
  // however the list changed since.
  bool CopyToClipboard();
  static const std::vector<std::wstring>& ClipboardFormats();

  struct ListClipData {
    uint32_t ProcessId;
    uint32_t Count;
    uint64_t List;  // the list's window
  };
  struct ListClipRow {
    int32_t Index;
    int32_t Reserved;
    uint64_t Data;  // the row's node data
  };

  Color BackColor() const { return backColor_; }
  void SetBackColor(Color c);
  // The list's font; an empty name leaves the name unchanged. SetFont takes the style too.
  const std::wstring& FontName() const { return fontName_; }
  int FontSize() const { return fontSize_; }  // points
  void SetFontName(const std::wstring& name);
  void SetFontSize(int points);
  LOGFONTW Font();
  void SetFont(const LOGFONTW& font);

  // --- Events ---
  std::function<void(ListNode* node)> OnInitNode;
  // Only for rows that were initialised.
  std::function<void(ListNode* node)> OnFreeNode;
  // After DeleteSelected freed its rows: the data the freed rows had, in display order.
  std::function<void(const std::vector<void*>& data)> OnDeleted;
  std::function<void(ListNode* node, int column, std::wstring& text)> OnGetText;
  // The cell's font colour, to change or leave; column is the collection index.
  std::function<void(ListNode* node, int column, Color& textColor)> OnPaintText;
  // The colour a row's background is erased with, to change or leave (the list's background).
  std::function<void(int row, Color& color)> OnBeforeItemErase;
  // A header item was clicked (collection index).
  std::function<void(int column)> OnHeaderClick;
  // Other notifications of the list (LVN_*, NM_*); return true when handled.
  std::function<bool(NMHDR* hdr, LRESULT& result)> OnNotify;
  bool HandleNotify(NMHDR* hdr, LRESULT& result) override;

 private:
  void ApplyFont();
  void FreeNode(ListNode* node);
  void FreeRowsFrom(int first);
  LRESULT CustomDraw(NMLVCUSTOMDRAW* cd);
  void GetDispInfo(NMLVDISPINFOW* di);
  std::vector<int> SelectedRows();
  void ApplySortGlyph(int column, int flags);
  void WithoutRedraw(const std::function<void()>& f);
  void FocusChanged(const NMLISTVIEW* change);
  // The rows in view when the last key reached the list, and that key's message time.
  struct KeyView {
    int Top = 0, Page = 0;
    LONG Time = 0;
    bool Valid = false;
  } keyView_;
  Color backColor_ = clWindow;
  std::wstring fontName_ = L"MS Sans Serif";
  int fontSize_ = 8;
  // The style SetFont was given; the settings keep only name and size, so it lasts a session.
  LONG fontWeight_ = FW_NORMAL;
  BYTE fontItalic_ = FALSE, fontUnderline_ = FALSE, fontStrikeOut_ = FALSE;
  HFONT hfont_ = nullptr;
  std::vector<int> tags_;
  int sortColumn_ = NoColumn;
  SortDirection sortDirection_ = SortDirection::Ascending;
  std::vector<std::unique_ptr<ListNode>> rows_;
  std::wstring text_;  // the last cell text handed out
  // Owns the clipboard after a copy and makes its formats when they are asked for.
  class ClipOwner;
  struct ClipOwnerFree {
    void operator()(ClipOwner* owner) const;
  };
  std::unique_ptr<ClipOwner, ClipOwnerFree> clipOwner_;
};

}  // namespace ui
