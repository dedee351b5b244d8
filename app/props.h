#pragma once
// The checksum-file properties dialog: the settings a document keeps for its own update and
// verify passes. Values are copied in by SetDocument and back only by SaveToDocument (on OK).
#include "app/modeboxes.h"
#include "app/res/props_res.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class TFileList;

class TPropsForm : public ui::Dialog {
 public:
  explicit TPropsForm(HWND Owner);

  ui::PageControl PageControl{this, IDC_PROPS_PAGES};
  ui::Edit UpdateFolderEdit{this, IDC_PROPS_UPDATEFOLDER};
  ui::Edit MaskEdit{this, IDC_PROPS_MASK};
  ui::CheckBox RecurseBox{this, IDC_PROPS_RECURSE};
  ui::CheckBox FindNewBox{this, IDC_PROPS_FINDNEW};
  ui::ComboBox HashBox{this, IDC_PROPS_HASH};
  ui::ComboBox CodeBox{this, IDC_PROPS_CODE};
  ui::CheckBox ModeAllBox{this, IDC_PROPS_MODEALL};
  ui::CheckBox ModeSizeBox{this, IDC_PROPS_MODESIZE};
  ui::CheckBox ModeTimeBox{this, IDC_PROPS_MODETIME};
  ui::CheckBox ModeHashBox{this, IDC_PROPS_MODEHASH};
  ui::Edit VerifyFolderEdit{this, IDC_PROPS_VERIFYFOLDER};
  ui::CheckBox SizeBox{this, IDC_PROPS_SIZE};
  ui::CheckBox TimeBox{this, IDC_PROPS_TIME};
  ui::Button OKButton{this, IDOK};
  ui::Button CancelButton{this, IDCANCEL};

  static constexpr int UpdatePage = 0;
  static constexpr int VerifyPage = 1;

  TFileList* Document = nullptr;  // not owned
  // Set while one mode box's handler sets the others, so that their handlers leave them be.
  bool Locked = false;

  void SetDocument(TFileList* ADocument);
  void LoadFromDocument();
  void SaveToDocument();

 protected:
  void OnInitDialog() override;

 private:
  void ModeAllBoxClick();
  void ModeNewBoxClick();

  TUpdateModeBoxes ModeBoxes{ModeAllBox, ModeSizeBox, ModeTimeBox, ModeHashBox, Locked};
};
