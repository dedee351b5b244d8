#pragma once
// The "Save current settings" dialog: which store the settings go to.
#include "app/res/saveconf_res.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class TSaveConfForm : public ui::Dialog {
 public:
  explicit TSaveConfForm(HWND owner) : Dialog(IDD_SAVECONF, owner) {}

  ui::RadioButton CUButton{this, IDC_SAVECONF_CU};
  ui::RadioButton LMButton{this, IDC_SAVECONF_LM};
  ui::RadioButton INIButton{this, IDC_SAVECONF_INI};
  ui::Button OKButton{this, IDOK};
  ui::Button CancelButton{this, IDCANCEL};

 protected:
  void OnInitDialog() override { CUButton.SetChecked(true); }
};
