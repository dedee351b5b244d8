#pragma once
// The four update-mode boxes that the update window and the checksum-file properties share:
// "all files" clears the three conditions, and no condition checked means all files. Setting a
// box from code runs its handler, so each handler sets the other boxes under a guard that the
// window owns (the update window's ModeChanging, the properties dialog's Locked).
#include "document/data.h"
#include "ui/controls.h"

class TUpdateModeBoxes {
 public:
  TUpdateModeBoxes(ui::CheckBox& All, ui::CheckBox& Size, ui::CheckBox& Time, ui::CheckBox& Hash,
                   bool& Changing)
      : All(All), Size(Size), Time(Time), Hash(Hash), Changing(Changing) {}

  void Show(TUpdateModes Mode) {
    All.SetChecked(Mode == 0);
    Size.SetChecked((Mode & umSize) != 0);
    Time.SetChecked((Mode & umTime) != 0);
    Hash.SetChecked((Mode & umHash) != 0);
  }
  TUpdateModes Mode() {
    TUpdateModes mode = 0;
    if (Size.Checked()) mode |= umSize;
    if (Time.Checked()) mode |= umTime;
    if (Hash.Checked()) mode |= umHash;
    return mode;
  }
  // The click handlers of "all files" and of the three conditions.
  void AllClick() {
    if (Changing) return;
    Changing = true;
    const bool all = All.Checked();
    Size.SetChecked(!all);
    Time.SetChecked(!all);
    Hash.SetChecked(!all);
    Changing = false;
  }
  void ConditionClick() {
    if (Changing) return;
    Changing = true;
    All.SetChecked(!Size.Checked() && !Time.Checked() && !Hash.Checked());
    Changing = false;
  }

 private:
  ui::CheckBox &All, &Size, &Time, &Hash;
  bool& Changing;
};
