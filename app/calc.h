#pragma once
// The hash calculator: one hash value of a file, a logical drive or a physical drive, shown in
// the chosen encoding and compared with a value the user types. Its hash type and encoding are
// the registries' defaults, so the next opening in the same run offers the last choice.
//
// A run hashes on the window thread; the progress handler redraws the title at most four times
// a second and pumps messages, which is where a click on "Abort" arrives.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/anchors.h"
#include "app/res/calc_res.h"
#include "hash/hasher.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class TCalcForm : public ui::Dialog {
 public:
  explicit TCalcForm(HWND owner);
  ~TCalcForm() override;

  ui::RadioButton PDButton{this, IDC_CALC_PD};
  ui::RadioButton LVButton{this, IDC_CALC_LV};
  ui::RadioButton RFButton{this, IDC_CALC_RF};
  ui::ComboBox PDComboBox{this, IDC_CALC_PDLIST};
  ui::ComboBox LVComboBox{this, IDC_CALC_LVLIST};
  ui::ComboBox RFComboBox{this, IDC_CALC_RFLIST};
  ui::Button FileButton{this, IDB_CALC_BROWSE};
  ui::Label TypeLabel{this, IDT_CALC_TYPE};
  ui::ComboBox HashBox{this, IDC_CALC_TYPE};
  ui::Label CodeLabel{this, IDT_CALC_CODE};
  ui::ComboBox CodeBox{this, IDC_CALC_CODE};
  ui::Label HashLabel{this, IDT_CALC_HASH};
  ui::Edit HashEdit{this, IDC_CALC_HASH};
  ui::ProgressBar ProgressBar{this, IDC_CALC_PROGRESS};
  ui::Button CalcButton{this, IDB_CALC_CALC};
  ui::Label CompLabel{this, IDT_CALC_COMP};
  ui::Edit CompEdit{this, IDC_CALC_COMP};
  ui::Button CompButton{this, IDB_CALC_COMP};
  ui::Button CloseButton{this, IDCANCEL};

  // The local clock in days (1.0 = 24 hours); tests put a clock of their own here.
  std::function<double()> Now;

  bool IsRunning() const { return Running; }
  // Duration of the last successful run, in days.
  double Duration() const { return StartTime; }

  // The progress event handed to HashFile.
  bool DoProgress(int32_t Bytes, bool Last);

  // The window is sizeable down to this size in pixels.
  static constexpr SIZE LeastSize{370, 200};

 protected:
  void OnInitDialog() override;
  bool OnCloseQuery(int result) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void PDButtonClick();
  void PDComboBoxDropDown();
  void LVComboBoxDropDown();
  void FileButtonClick();
  void HashBoxClick();
  void CodeBoxClick();
  void CalcButtonClick();
  void CompButtonClick();

  // Picks the source: false (after telling the user) when a drive is not chosen.
  bool ChooseSource(std::wstring& Path);
  void Calculate(const std::wstring& Path);
  // The enabled states of the idle dialog.
  void EnableControls();
  void ShowDigest();

  bool Running = false;
  // Inside Calculate: stays set after an abort until the run has unwound.
  bool InRun = false;
  std::unique_ptr<THasher> Hasher;
  double StartTime = 0;
  double LastRedraw = 0;
  int64_t TotalSize = -1;
  int64_t DoneSize = 0;
  TAnchors anchors_;
};

// The local time in days since 30 December 1899.
double LocalNow();
// "n:ss.zzz" up to one hour, else "h:nn:ss", of a duration in days.
std::wstring FormatDuration(double Days);
// A size abbreviated and thousands separated, without decimals: "15M".
std::wstring ShortSizeText(int64_t Size);
// A byte count as the calculator writes it: thousands separated, no unit.
std::wstring FormatBytes(int64_t Bytes);
// Fills a pick list with the registered hash type (encoding) names and selects the default.
void FillHasherBox(ui::ComboBox& Box);
void FillCoderBox(ui::ComboBox& Box);
// The physical-drive item text, "#0 - 75Gbytes".
std::wstring PhysicalDriveText(int32_t Drive, int64_t Size);
