#pragma once
// The update window: the progress window with the new-file scan options (mask, recursion, hash
// type and encoding of new entries) and the update modes.
#include "app/modeboxes.h"
#include "app/process.h"

class TUpdateForm : public TProcessForm {
 public:
  explicit TUpdateForm(HWND Owner);

  ui::Label MaskLabel{this, IDT_UPDATE_MASK};
  ui::Edit MaskEdit{this, IDC_UPDATE_MASK};
  ui::CheckBox RecurseBox{this, IDC_UPDATE_RECURSE};
  ui::CheckBox FindNewBox{this, IDC_UPDATE_FINDNEW};
  ui::Label DefaultBox{this, IDT_UPDATE_DEFAULT};
  ui::Label HashLabel{this, IDT_UPDATE_HASH};
  ui::ComboBox HashBox{this, IDC_UPDATE_HASH};
  ui::Label CodeLabel{this, IDT_UPDATE_CODE};
  ui::ComboBox CodeBox{this, IDC_UPDATE_CODE};
  ui::Label ModeBox{this, IDT_UPDATE_MODE};
  ui::CheckBox ModeAllBox{this, IDC_UPDATE_MODEALL};
  ui::CheckBox ModeSizeBox{this, IDC_UPDATE_MODESIZE};
  ui::CheckBox ModeTimeBox{this, IDC_UPDATE_MODETIME};
  ui::CheckBox ModeHashBox{this, IDC_UPDATE_MODEHASH};
  // Set while one mode box's handler sets the others, so that their handlers leave them be.
  bool ModeChanging = false;
  TUpdateModeBoxes ModeBoxes{ModeAllBox, ModeSizeBox, ModeTimeBox, ModeHashBox, ModeChanging};

  bool Prepare(const std::wstring& Folder) override;
  bool IsUpdate() override { return true; }
  void UpdateControls() override;
  void Init(ui::ListView* List, TFileList* Document, TNotifyEvent OnDone, bool AutoStart) override;

  void ModeAllBoxClick();
  void ModeNewBoxClick();
  void FindNewBoxClick();

 protected:
  void OnInitDialog() override;
  std::wstring SuccessText() override;
  SIZE MinSize() override { return {500, 428}; }
};
