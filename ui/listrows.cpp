// List view rows: the node of each row, the owner-data notifications and the custom drawing.
#include <algorithm>

#include "ui/listview.h"

namespace ui {

int ListView::RowCount() {
  return static_cast<int>(rows_.size());
}

void ListView::SetRowCount(int count) {
  count = std::max(count, 0);
  if (count < RowCount()) FreeRowsFrom(count);
  rows_.resize(count);
  if (HandleAllocated()) Send(LVM_SETITEMCOUNT, count, LVSICF_NOSCROLL);
}

void ListView::Clear() {
  FreeRowsFrom(0);
  rows_.clear();
  if (HandleAllocated()) Send(LVM_DELETEALLITEMS);
}

void ListView::FreeRowsFrom(int first) {
  for (int i = first; i < RowCount(); ++i)
    if (rows_[i]) FreeNode(rows_[i].get());
}

void ListView::FreeNode(ListNode* node) {
  if (OnFreeNode) OnFreeNode(node);
  node->Data = nullptr;
}

ListNode* ListView::GetNode(int row) {
  if (row < 0 || row >= RowCount()) return nullptr;
  if (!rows_[row]) {
    auto node = std::make_unique<ListNode>();
    node->Index = row;
    if (OnInitNode) OnInitNode(node.get());
    rows_[row] = std::move(node);
  }
  return rows_[row].get();
}

void ListView::InvalidateNode(const ListNode* node) {
  if (node) InvalidateRow(node->Index);
}

void ListView::InvalidateRow(int row) {
  if (HandleAllocated() && row >= 0 && row < RowCount()) Send(LVM_REDRAWITEMS, row, row);
}

int ListView::FocusedRow() {
  return HandleAllocated() ? static_cast<int>(Send(LVM_GETNEXTITEM, -1, LVNI_FOCUSED)) : -1;
}

// A row counts as out of view when it was so before the key that moved the focus there: the
// list may bring it to the edge of the view before it tells of the new focus. (No subclassing
// to watch the keys: under Wine that makes each message to the list a round trip to the
// server.)
void ListView::FocusChanged(const NMLISTVIEW* change) {
  const int row = change->iItem;
  if (!(change->uChanged & LVIF_STATE) || !(change->uNewState & LVIS_FOCUSED) ||
      (change->uOldState & LVIS_FOCUSED) || row < 0 || row >= RowCount())
    return;
  const bool byKey = keyView_.Valid && keyView_.Time == GetMessageTime();
  keyView_.Valid = false;
  const int top = static_cast<int>(Send(LVM_GETTOPINDEX));
  const int page = static_cast<int>(Send(LVM_GETCOUNTPERPAGE));
  const int first = byKey ? keyView_.Top : top, count = byKey ? keyView_.Page : page;
  if (row >= first && row < first + count) return;
  const int target = std::clamp(row - page / 2, 0, std::max(RowCount() - page, 0));
  RECT r{};
  r.left = LVIR_BOUNDS;
  if (target != top && Send(LVM_GETITEMRECT, top, reinterpret_cast<LPARAM>(&r)))
    Send(LVM_SCROLL, 0, (target - top) * (r.bottom - r.top));
}

int ListView::SelectedCount() {
  return HandleAllocated() ? static_cast<int>(Send(LVM_GETSELECTEDCOUNT)) : 0;
}

bool ListView::RowSelected(int row) {
  return HandleAllocated() && (Send(LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED);
}

void ListView::SetRowSelected(int row, bool selected) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void ListView::SelectAll() {
  WithoutRedraw([&] { SetRowSelected(-1, true); });
}

void ListView::WithoutRedraw(const std::function<void()>& f) {
  // A change of every row repaints each on its own otherwise, which is slow on a long list.
  Send(WM_SETREDRAW, FALSE);
  f();
  Send(WM_SETREDRAW, TRUE);
  Invalidate();
}

std::vector<int> ListView::SelectedRows() {
  std::vector<int> rows;
  if (!HandleAllocated()) return rows;
  rows.reserve(SelectedCount());
  for (int i = -1; (i = static_cast<int>(Send(LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0;) {
    if (i >= RowCount() || (!rows.empty() && i <= rows.back())) break;
    rows.push_back(i);
  }
  return rows;
}

void ListView::IterateSelected(const std::function<void(ListNode*)>& f) {
  for (int row : SelectedRows())
    if (ListNode* node = GetNode(row)) f(node);
}

void ListView::DeleteSelected() {
  std::vector<int> rows = SelectedRows();
  if (rows.empty()) return;
  // Rows never shown get their data first, so that every freed row tells the owner its data.
  for (int row : rows) GetNode(row);
  std::vector<char> gone(rows_.size(), 0);
  std::vector<void*> data;
  data.reserve(rows.size());
  for (int row : rows) {
    data.push_back(rows_[row]->Data);
    FreeNode(rows_[row].get());
    gone[row] = 1;
  }
  size_t kept = 0;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (gone[i]) continue;
    if (rows_[i]) rows_[i]->Index = static_cast<int>(kept);
    rows_[kept++] = std::move(rows_[i]);
  }
  rows_.resize(kept);
  WithoutRedraw([&] {
    SetRowSelected(-1, false);
    Send(LVM_SETITEMCOUNT, kept, LVSICF_NOSCROLL);
  });
  if (OnDeleted) OnDeleted(data);
}

void ListView::GetDispInfo(NMLVDISPINFOW* di) {
  LVITEMW& item = di->item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
  item.pszText[0] = 0;
  ListNode* node = GetNode(item.iItem);
  if (!node || !OnGetText) return;
  text_.clear();
  OnGetText(node, item.iSubItem, text_);
  lstrcpynW(item.pszText, text_.c_str(), item.cchTextMax);
}

LRESULT ListView::CustomDraw(NMLVCUSTOMDRAW* cd) {
  switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const int row = static_cast<int>(cd->nmcd.dwItemSpec);
      Color back = backColor_;
      if (OnBeforeItemErase) OnBeforeItemErase(row, back);
      cd->clrTextBk = ColorToRGB(back);
      // The control carries a colour set for one cell over to the next: start each afresh.
      COLORREF text = static_cast<COLORREF>(Send(LVM_GETTEXTCOLOR));
      if (text == CLR_DEFAULT) text = GetSysColor(COLOR_WINDOWTEXT);
      cd->clrText = text;
      if (cd->nmcd.dwDrawStage & CDDS_SUBITEM) {
        ListNode* node = GetNode(row);
        Color c = static_cast<Color>(text);
        if (node && OnPaintText) OnPaintText(node, cd->iSubItem, c);
        cd->clrText = ColorToRGB(c);
        return CDRF_NEWFONT;
      }
      return CDRF_NOTIFYSUBITEMDRAW | CDRF_NEWFONT;
    }
  }
  return CDRF_DODEFAULT;
}

bool ListView::HandleNotify(NMHDR* hdr, LRESULT& result) {
  if (HandleAllocated() && hdr->hwndFrom == Handle()) {
    switch (hdr->code) {
      case LVN_GETDISPINFOW:
        GetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(hdr));
        result = 0;
        return true;
      case NM_CUSTOMDRAW:
        result = CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(hdr));
        return true;
      case LVN_KEYDOWN:
        keyView_ = {static_cast<int>(Send(LVM_GETTOPINDEX)),
                    static_cast<int>(Send(LVM_GETCOUNTPERPAGE)), GetMessageTime(), true};
        break;  // the owner may want these too
      case LVN_ITEMCHANGED:
        FocusChanged(reinterpret_cast<NMLISTVIEW*>(hdr));
        break;
      case LVN_ODFINDITEMW:
        result = -1;  // no search by typing: the default answer would jump to the first row
        return true;
      case LVN_COLUMNCLICK: {
        int column = reinterpret_cast<NMLISTVIEW*>(hdr)->iSubItem;
        if (OnHeaderClick && column >= 0 && column < ColumnCount()) OnHeaderClick(column);
        result = 0;
        return true;
      }
    }
  }
  return OnNotify && OnNotify(hdr, result);
}

}  // namespace ui
