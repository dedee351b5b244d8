#include "ui/listview.h"

#include <uxtheme.h>

#include <algorithm>

#include "ui/app.h"
#include "ui/window.h"

namespace ui {

ListView::~ListView() {
  if (hfont_) DeleteObject(hfont_);
}

void ListView::Create(Window& parent, DWORD style, DWORD exStyle) {
  HWND h = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | style, 0, 0, 0, 0,
                           parent.Handle(), reinterpret_cast<HMENU>(INT_PTR(Id())),
                           Application::Get().Instance(), nullptr);
  Attach(h);
  // The Explorer theme paints the hot-tracked row and header item like the shell's lists.
  SetWindowTheme(h, L"Explorer", nullptr);
  if (exStyle) Send(LVM_SETEXTENDEDLISTVIEWSTYLE, exStyle, exStyle);
  SetBackColor(backColor_);
  ApplyFont();
  if (!rows_.empty()) Send(LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
}

int ListView::AddColumn(const std::wstring& caption, int width, int format) {
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  col.pszText = const_cast<wchar_t*>(caption.c_str());
  col.cx = width;
  col.fmt = format;
  int index =
      static_cast<int>(Send(LVM_INSERTCOLUMNW, ColumnCount(), reinterpret_cast<LPARAM>(&col)));
  if (index >= 0) tags_.insert(tags_.begin() + std::min<size_t>(index, tags_.size()), 0);
  return index;
}

std::wstring ListView::ColumnCaption(int column) {
  wchar_t buf[256] = {};
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = buf;
  col.cchTextMax = 255;
  Send(LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&col));
  return buf;
}

int ListView::ColumnCount() {
  HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
  return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int ListView::ColumnWidth(int column) {
  return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, column));
}

void ListView::SetColumnWidth(int column, int width) {
  Send(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0));
}

std::vector<int> ListView::ColumnOrder() {
  int n = ColumnCount();
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  if (n) Send(LVM_GETCOLUMNORDERARRAY, n, reinterpret_cast<LPARAM>(order.data()));
  return order;
}

int ListView::ColumnPosition(int column) {
  std::vector<int> order = ColumnOrder();
  auto it = std::find(order.begin(), order.end(), column);
  return it == order.end() ? column : static_cast<int>(it - order.begin());
}

void ListView::SetColumnPosition(int column, int position) {
  int n = ColumnCount();
  if (column < 0 || column >= n) return;
  position = std::clamp(position, 0, n - 1);
  std::vector<int> order(n);
  Send(LVM_GETCOLUMNORDERARRAY, n, reinterpret_cast<LPARAM>(order.data()));
  order.erase(std::find(order.begin(), order.end(), column));
  order.insert(order.begin() + position, column);
  Send(LVM_SETCOLUMNORDERARRAY, n, reinterpret_cast<LPARAM>(order.data()));
  Invalidate();
}

int ListView::ColumnAlignment(int column) {
  LVCOLUMNW col{};
  col.mask = LVCF_FMT;
  Send(LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&col));
  return col.fmt & LVCFMT_JUSTIFYMASK;
}

void ListView::SetColumnAlignment(int column, int format) {
  LVCOLUMNW col{};
  col.mask = LVCF_FMT;
  Send(LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&col));
  col.fmt = (col.fmt & ~LVCFMT_JUSTIFYMASK) | format;
  Send(LVM_SETCOLUMNW, column, reinterpret_cast<LPARAM>(&col));
  if (column == sortColumn_) SetSortColumn(sortColumn_, sortDirection_);  // the header may drop it
}

int ListView::ColumnTag(int column) const {
  return column >= 0 && column < static_cast<int>(tags_.size()) ? tags_[column] : 0;
}

void ListView::SetColumnTag(int column, int tag) {
  if (column >= 0 && column < static_cast<int>(tags_.size())) tags_[column] = tag;
}

void ListView::SetSortColumn(int column, SortDirection direction) {
  if (column < 0 || column >= ColumnCount()) column = NoColumn;
  if (sortColumn_ != NoColumn && sortColumn_ != column) ApplySortGlyph(sortColumn_, 0);
  sortColumn_ = column;
  sortDirection_ = direction;
  if (column != NoColumn)
    ApplySortGlyph(column, direction == SortDirection::Ascending ? HDF_SORTUP : HDF_SORTDOWN);
}

int ListView::HeaderSortFlags(int column) {
  HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
  HDITEMW item{};
  item.mask = HDI_FORMAT;
  if (!header || !SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item)))
    return 0;
  return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
}

void ListView::ApplySortGlyph(int column, int flags) {
  HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
  HDITEMW item{};
  item.mask = HDI_FORMAT;
  if (!header || !SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item)))
    return;
  item.fmt = (item.fmt & ~(HDF_SORTUP | HDF_SORTDOWN)) | flags;
  SendMessageW(header, HDM_SETITEMW, column, reinterpret_cast<LPARAM>(&item));
}

void ListView::SetBackColor(Color c) {
  backColor_ = c;
  if (HandleAllocated()) {
    Send(LVM_SETBKCOLOR, 0, ColorToRGB(c));
    Send(LVM_SETTEXTBKCOLOR, 0, CLR_NONE);
    Invalidate();
  }
}

void ListView::SetFontName(const std::wstring& name) {
  if (name.empty()) return;
  fontName_ = name;
  ApplyFont();
}

void ListView::SetFontSize(int points) {
  fontSize_ = points;
  ApplyFont();
}

LOGFONTW ListView::Font() {
  LOGFONTW lf{};
  HDC dc = GetDC(nullptr);
  lf.lfHeight = -MulDiv(fontSize_, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(nullptr, dc);
  lf.lfWeight = fontWeight_;
  lf.lfItalic = fontItalic_;
  lf.lfUnderline = fontUnderline_;
  lf.lfStrikeOut = fontStrikeOut_;
  lf.lfCharSet = DEFAULT_CHARSET;  // names in any script
  lstrcpynW(lf.lfFaceName, fontName_.c_str(), LF_FACESIZE);
  return lf;
}

void ListView::SetFont(const LOGFONTW& font) {
  if (font.lfFaceName[0]) fontName_ = font.lfFaceName;
  HDC dc = GetDC(nullptr);
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  int h = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
  if (h) fontSize_ = MulDiv(h, 72, dpi);
  fontWeight_ = font.lfWeight ? font.lfWeight : FW_NORMAL;
  fontItalic_ = font.lfItalic;
  fontUnderline_ = font.lfUnderline;
  fontStrikeOut_ = font.lfStrikeOut;
  ApplyFont();
}

void ListView::ApplyFont() {
  if (!HandleAllocated()) return;
  LOGFONTW lf = Font();
  HFONT f = CreateFontIndirectW(&lf);
  Send(WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
  if (hfont_) DeleteObject(hfont_);
  hfont_ = f;
}

}  // namespace ui
