#pragma once
// Tip of the day: one tip at a time from the list its caller fills, Next steps round them.
// TipIndex is the tip shown last, so the next showing starts with that same tip.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/res/tipsofday_res.h"
#include "ui/controls.h"
#include "ui/dialog.h"

struct TTipItem {
  std::wstring Name;  // the group the tip belongs to, shown as its heading
  std::wstring Text;
};

class TDlgTipsForm : public ui::Dialog {
 public:
  explicit TDlgTipsForm(HWND Owner);

  ui::CheckBox ShowBox{this, IDC_TIPS_SHOW};
  ui::Button NextButton{this, IDB_TIPS_NEXT};
  ui::Button CloseButton{this, IDCANCEL};
  ui::Label LampImage{this, IDT_TIPS_LAMP};
  ui::Label TipNameLabel{this, IDT_TIPS_NAME};
  ui::Label TipTextLabel{this, IDT_TIPS_TEXT};
  ui::Label TitleLabel{this, IDT_TIPS_TITLE};

  int32_t TipIndex = 0;
  std::vector<std::unique_ptr<TTipItem>> Tips;

  void AddTip(const std::wstring& Name, const std::wstring& Text);
  void ShowTip();
  // The button Enter presses.
  int DefaultButton();

 protected:
  void OnInitDialog() override;
  void OnShow() override { ShowTip(); }
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void NextButtonClick();
  void PaintShapes(HDC dc);
};
