#pragma once
// Report-style list view: columns (width, display position, alignment), row count, background
// colour and font. The main list builds on it (owner data: texts come from the owner through
// LVN_GETDISPINFO; set OnNotify to handle those).
//
//   ListView.Create(*this, LVS_OWNERDATA | LVS_SHOWSELALWAYS, LVS_EX_FULLROWSELECT);
//   ListView.AddColumn(L"File", 200, LVCFMT_LEFT);
//   ListView.SetColumnPosition(2, 0);   // column 2 shown first
#include <string>
#include <vector>

#include "ui/controls.h"

namespace ui {

class ListView : public Control {
 public:
  using Control::Control;
  ~ListView() override;
  void Create(Window& parent, DWORD style, DWORD exStyle);

  int AddColumn(const std::wstring& caption, int width, int format);
  int ColumnCount();
  int ColumnWidth(int column);
  void SetColumnWidth(int column, int width);
  // Display position of a column (0 = leftmost).
  int ColumnPosition(int column);
  // Moves a column to a display position; the columns in between shift by one.
  void SetColumnPosition(int column, int position);
  // LVCFMT_LEFT / LVCFMT_RIGHT.
  int ColumnAlignment(int column);
  void SetColumnAlignment(int column, int format);

  int RowCount();
  void SetRowCount(int count);

  Color BackColor() const { return backColor_; }
  void SetBackColor(Color c);
  // The list's font; an empty name leaves the name unchanged.
  const std::wstring& FontName() const { return fontName_; }
  int FontSize() const { return fontSize_; }  // points
  void SetFontName(const std::wstring& name);
  void SetFontSize(int points);
  LOGFONTW Font();
  void SetFont(const LOGFONTW& font);

  // Notifications of the list (LVN_*, NM_*); return true when handled.
  std::function<bool(NMHDR* hdr, LRESULT& result)> OnNotify;
  bool HandleNotify(NMHDR* hdr, LRESULT& result) override;

 private:
  void ApplyFont();
  Color backColor_ = clWindow;
  std::wstring fontName_ = L"MS Sans Serif";
  int fontSize_ = 8;
  HFONT hfont_ = nullptr;
};

}  // namespace ui
