#pragma once
// Import name decoding: a text list does not say which code page its names are in, so each
// name with foreign characters is decoded as the user chooses in the "Document encoding"
// dialog, which previews the name. The choice can hold for the rest of one import or for good.
#include <cstdint>
#include <string>

#include "app/res/dlgconv_res.h"
#include "document/uniconv.h"
#include "ui/controls.h"
#include "ui/dialog.h"

// Encoding kinds (the CodeMode setting) and the dialog's choices, whose order swaps 3 and 4.
enum TEncodingKind : int32_t { ekUTF8 = 0, ekAnsi = 1, ekOem = 2, ekCodePage = 3, ekMac = 4 };
enum TEncodingChoice : int32_t { ecUTF8 = 0, ecAnsi = 1, ecOem = 2, ecMac = 3, ecSpecified = 4 };
// A kind to its choice and back: they agree but for 3 and 4.
int32_t SwapMacAndCodePage(int32_t Value);

// Code-page pick lists (a combo or a list box) whose items carry their code-page numbers.
// Fills the list from the installed code pages and selects the system's ANSI code page.
template <class TList>
void FillCodePageBox(TList& Box, bool FullNames) {
  TCodePageItems items;
  const int ansi = FillCodePageList(items, FullNames);
  Box.Clear();
  for (const TCodePageItem& item : items) Box.Add(item.Name, static_cast<intptr_t>(item.CodePage));
  Box.SetItemIndex(ansi);
}
// The selected item's code page; 0 when none is selected.
template <class TList>
uint32_t SelectedCodePage(TList& Box) {
  const int i = Box.ItemIndex();
  if (i < 0 || i >= Box.Count()) return 0;
  return static_cast<uint32_t>(Box.ItemData(i));
}
// Selects the item of CodePage, the first one when no item has it.
template <class TList>
void SelectCodePage(TList& Box, uint32_t CodePage) {
  Box.SetItemIndex(0);
  for (int i = 0, n = Box.Count(); i < n; ++i)
    if (static_cast<uint32_t>(Box.ItemData(i)) == CodePage) {
      Box.SetItemIndex(i);
      return;
    }
}

// Bytes of a name decoded by kind; CodePage only for ekCodePage. UTF-8 that is not well formed,
// and a code page that is not installed, give an empty name.
std::wstring DecodeNameAs(const std::string& RawName, int32_t Kind, uint32_t CodePage);

class TUniConvForm : public ui::Dialog {
 public:
  explicit TUniConvForm(HWND Owner);

  ui::Label IncLabel{this, IDT_UNICONV_INFO};
  ui::Label InfoShape{this, IDT_UNICONV_SHAPE};
  ui::Label NameLabel{this, IDT_UNICONV_NAME};
  ui::Edit FileEdit{this, IDC_UNICONV_FILE};
  ui::RadioButton EncUTF8{this, IDC_UNICONV_UTF8};
  ui::RadioButton EncAnsi{this, IDC_UNICONV_ANSI};
  ui::RadioButton EncOem{this, IDC_UNICONV_OEM};
  ui::RadioButton EncMac{this, IDC_UNICONV_MAC};
  ui::RadioButton EncSpecified{this, IDC_UNICONV_SPECIFIED};
  ui::ListBox EncList{this, IDC_UNICONV_LIST};
  ui::CheckBox SaveBox{this, IDC_UNICONV_SAVE};
  ui::CheckBox NeverBox{this, IDC_UNICONV_NEVER};
  ui::Button OKButton{this, IDOK};
  ui::Button CancelButton{this, IDCANCEL};
  ui::CheckBox ShowCodeBox{this, IDC_UNICONV_SHOWCODE};

  // The radio group: the index of the checked choice, -1 for none; setting one runs
  // EncGroupClick when it changes, as a click does.
  int32_t EncGroupIndex();
  void SetEncGroupIndex(int32_t Index);

  void SetKind(int32_t Kind);
  int32_t GetKind();
  void SetCodePage(int32_t CodePage);
  int32_t GetCodePage();
  void SetRawName(const std::string& RawName);
  bool UpdatePreview();

 protected:
  void OnInitDialog() override;
  bool OnCloseQuery(int Result) override;

 private:
  ui::RadioButton* Choice(int32_t Index);
  void FillList(bool FullNames);
  void EncGroupClick();
  void EncListClick();
  void ShowCodeBoxClick();
  void SaveBoxClick();

  std::string RawName;
};

// The name-conversion answer of a text import: plain ASCII names without a question; others as
// the user chooses, unless AskNoMore says the choice holds. The last five are the main window's
// settings, updated on OK. False: the user aborted the import.
bool DecodeImportedName(const std::string& RawName, std::wstring& Name, bool& AskNoMore,
                        bool& CodeSkip, int32_t& CodeMode, int32_t& Encoding, bool& ShowCode);
