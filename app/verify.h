#pragma once
// The verify window: the progress window with the document's size and time checks.
#include "app/process.h"

class TVerifyForm : public TProcessForm {
 public:
  explicit TVerifyForm(HWND Owner);

  ui::CheckBox SizeBox{this, IDC_VERIFY_SIZE};
  ui::CheckBox TimeBox{this, IDC_VERIFY_TIME};

  bool Prepare(const std::wstring& Folder) override;
  bool IsUpdate() override { return false; }
  void UpdateControls() override {}
  void Init(ui::ListView* List, TFileList* Document, TNotifyEvent OnDone, bool AutoStart) override;

 protected:
  std::wstring SuccessText() override;
  SIZE MinSize() override { return {400, 280}; }
};
