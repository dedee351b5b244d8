#pragma once
// A main window with distinct list colours, and helpers that reach its list through the list's
// notifications (cell texts, paint colours, header clicks) as Windows does.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/mainlist.h"
#include "tests/app/main_fixture.h"

inline TListColors TestColors() {
  // All different, so that a colour taken from the wrong field shows.
  return {0xE0E0E0, 0x000001, 0x000002, 0x000003, 0x000004,
          0x000005, 0x000006, 0x000007, 0x000008, 0x000009};
}

class MainListTest : public MainFormTest {
 protected:
  void SetUp() override {
    Form = NewForm();
    const TListColors c = TestColors();
    Form->EvenColor = c.Even, Form->FailColor = c.Fail, Form->WarnColor = c.Warn;
    Form->ErrorColor = c.Error, Form->TouchedColor = c.Touched, Form->UpdatedColor = c.Updated;
    Form->ChangedColor = c.Changed, Form->NewFileColor = c.NewFile;
    Form->InvalidColor = c.Invalid, Form->ValidColor = c.Valid;
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

  std::unique_ptr<TMainForm> Form;
};
