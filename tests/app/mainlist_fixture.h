#pragma once
// A window with the main list wired as the main window wires it, and helpers that reach the
// list through its notifications (cell texts, paint colours, header clicks) as Windows does.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/mainlist.h"
#include "ui/window.h"

inline TListColors TestColors() {
  // All different, so that a colour taken from the wrong field shows.
  return {0xE0E0E0, 0x000001, 0x000002, 0x000003, 0x000004,
          0x000005, 0x000006, 0x000007, 0x000008, 0x000009};
}

class TListForm : public ui::Form {
 public:
  std::unique_ptr<TFileList> FileList = std::make_unique<TFileList>();
  int32_t SortMode = 0;
  std::vector<TFileItem*> ViewList;
  bool AbbrSize = true, ThouSize = true, Deleting = false;
  TListColors Colors = TestColors();
  ui::ListView ListView{this, 1003};

  void RefreshList() {
    ViewList.clear();
    for (auto& item : FileList->Items) ViewList.push_back(item.get());
    SortList();
  }
  void SortList() {
    SortViewList(ViewList, SortMode);
    ListView.Clear();
    ListView.SetRowCount(static_cast<int>(ViewList.size()));
  }

 protected:
  void OnCreated() override {
    ListView.Create(*this, LVS_OWNERDATA | LVS_SHOWSELALWAYS,
                    LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP);
    ListView.SetBounds(0, 0, 900, 400);
    AddListColumns(ListView);
    ListView.OnInitNode = [this](ui::ListNode* n) { InitListNode(n, ViewList); };
    ListView.OnFreeNode = [](ui::ListNode* n) { FreeListNode(n); };
    ListView.OnDeleted = [this](const std::vector<void*>& items) {
      if (Deleting) DeleteListEntries(items, ViewList, *FileList);
    };
    ListView.OnGetText = [this](ui::ListNode* n, int column, std::wstring& text) {
      text = ListCellText(*static_cast<TFileItem*>(n->Data), ListView.ColumnTag(column), AbbrSize,
                          ThouSize);
    };
    ListView.OnPaintText = [this](ui::ListNode* n, int column, ui::Color& color) {
      if (!ListView.RowSelected(n->Index))
        ListCellColor(*static_cast<TFileItem*>(n->Data), ListView.ColumnTag(column), Colors, color);
    };
    ListView.OnBeforeItemErase = [this](int row, ui::Color& color) {
      if (row % 2 == 0) color = Colors.Even;
    };
    ListView.OnHeaderClick = [this](int column) {
      int tag = ListView.ColumnTag(column);
      if (!tag) return;
      SortMode = ClickedSortMode(SortMode, tag);
      ListView.SetSortColumn(column, SortMode >= 0 ? ui::SortDirection::Ascending
                                                   : ui::SortDirection::Descending);
      SortList();
    };
  }
};

class MainListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = std::make_unique<TListForm>();
    Form->Handle();
  }
  void TearDown() override {
    Form->ListView.SetRowCount(0);
    Form->ViewList.clear();
    DestroyWindow(Form->Handle());
  }

  TFileItem& Add(const wchar_t* name, TFileState state = fsNone) {
    auto item = std::make_unique<TFileItem>();
    item->FileName = name;
    item->State = state;
    item->Owner = Form->FileList.get();
    Form->FileList->Items.push_back(std::move(item));
    return *Form->FileList->Items.back();
  }

  HWND List() { return Form->ListView.Handle(); }

  // The text the list control gets for a cell (LVN_GETDISPINFO).
  std::wstring CellText(int row, int column) {
    wchar_t buf[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = 512;
    SendMessageW(List(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buf;
  }

  LRESULT Notify(NMHDR& hdr, UINT code) {
    hdr.hwndFrom = List();
    hdr.idFrom = GetDlgCtrlID(List());
    hdr.code = code;
    return SendMessageW(Form->Handle(), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr));
  }

  // The font colour the list would paint a cell with.
  static constexpr ui::Color Untouched = -2;
  ui::Color PaintColor(int row, int column) {
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    cd.nmcd.dwItemSpec = row;
    cd.iSubItem = column;
    Notify(cd.nmcd.hdr, NM_CUSTOMDRAW);
    COLORREF plain = static_cast<COLORREF>(SendMessageW(List(), LVM_GETTEXTCOLOR, 0, 0));
    if (plain == CLR_DEFAULT) plain = GetSysColor(COLOR_WINDOWTEXT);
    return cd.clrText == plain ? Untouched : static_cast<ui::Color>(cd.clrText);
  }

  // The colour a row's background is erased with.
  COLORREF EraseColor(int row) {
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    cd.nmcd.dwItemSpec = row;
    Notify(cd.nmcd.hdr, NM_CUSTOMDRAW);
    return cd.clrTextBk;
  }

  void ClickHeader(int column) {
    NMLISTVIEW nm{};
    nm.iItem = -1;
    nm.iSubItem = column;
    Notify(nm.hdr, LVN_COLUMNCLICK);
  }

  std::unique_ptr<TListForm> Form;
};
