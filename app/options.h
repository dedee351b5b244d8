#pragma once
// The options dialog: the main window's settings on four pages and the shell integration.
//
// The dialog edits a TOptions copy of the main window's values: Fill before showing it,
// WriteBack after OK; the integration page works on its own TShellIntegration (LoadIntegration
// before Fill, ApplyIntegration after WriteBack).
#include <windows.h>

#include <cstdint>
#include <vector>

#include "app/res/options_res.h"
#include "app/shlopts.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/prompts.h"

// The colour panels, top to bottom.
enum TOptColor {
  ocBack,
  ocEven,
  ocFail,
  ocWarn,
  ocError,
  ocTouched,
  ocUpdated,
  ocChanged,
  ocNewFile,
  ocInvalid,
  ocValid,
  OptColorCount
};

// The values the dialog shows and gives back.
struct TOptions {
  bool AutoHash = true;
  bool StartMin = false;
  bool Min2Tray = false;
  bool AutoSave = false;
  bool SmothWin = false;
  bool TipOfDay = true;
  bool CodeSkip = false;
  bool ShowCode = false;
  int32_t CodeMode = 0;
  int32_t Encoding = 0;
  bool ToolText = false;  // the tool bar shows captions
  bool AbbrSize = true;
  bool ThouSize = true;
  bool RighSize = true;  // the "File Size" column is right-aligned
  LOGFONTW Font{};       // the list's font
  ui::Color Colors[OptColorCount] = {};
  bool UseMSSAX = true;
  // What the system offers; read only.
  bool CanSmoothClose = false;  // AnimateWindow exists
  bool MSSAXPresent = false;
};

// A list with a check box per item, each item enabled on its own (a list view underneath).
class TCheckListBox : public ui::Control {
 public:
  using Control::Control;
  int Add(const std::wstring& text);
  int Count();
  std::wstring Item(int index);
  bool Checked(int index);
  void SetChecked(int index, bool checked);
  bool ItemEnabled(int index);
  void SetItemEnabled(int index, bool enabled);
  // Toggles the item as a user's click on its box does; false when the item is disabled.
  bool Toggle(int index);
  bool HandleNotify(NMHDR* hdr, LRESULT& result) override;

 protected:
  void OnAttached() override;

 private:
  std::vector<bool> enabled_;
  bool settingByCode_ = false;
};

// Five radio buttons in a group box, as one choice.
class TRadioGroup {
 public:
  TRadioGroup(ui::Window* owner, int firstId);
  std::function<void()> OnClick;
  int ItemIndex();
  // Runs OnClick when the choice changes, as a click does.
  void SetItemIndex(int index);
  bool Click(int index);
  void SetEnabled(bool enabled);
  bool Enabled();
  static constexpr int Count = 5;

 private:
  ui::RadioButton buttons_[Count];
};

class TOptsForm : public ui::Dialog {
 public:
  explicit TOptsForm(HWND owner);

  ui::PageControl PageControl{this, IDC_OPT_PAGES};
  ui::Button OKButton{this, IDOK};
  ui::Button CancelButton{this, IDCANCEL};
  ui::FontDialog ViewFontDialog;
  ui::ColorDialog ColorDialog;

  // Common
  ui::CheckBox MinimizeBox{this, IDC_OPT_MINIMIZE};
  ui::CheckBox AutoCheckBox{this, IDC_OPT_AUTOCHECK};
  ui::CheckBox TipOfDayBox{this, IDC_OPT_TIPOFDAY};
  ui::CheckBox AutoSaveBox{this, IDC_OPT_AUTOSAVE};
  ui::CheckBox SmothWinBox{this, IDC_OPT_SMOTHWIN};
  ui::CheckBox Min2TrayBox{this, IDC_OPT_MIN2TRAY};
  ui::CheckBox AutoBox{this, IDC_OPT_AUTO};
  ui::CheckBox DeskLinkBox{this, IDC_OPT_DESKLINK};
  ui::CheckBox QuickBarBox{this, IDC_OPT_QUICKBAR};
  ui::CheckBox StartMenuBox{this, IDC_OPT_STARTMENU};
  TCheckListBox AssListBox{this, IDC_OPT_ASSLIST};
  ui::CheckBox AllUsersBox{this, IDC_OPT_ALLUSERS};

  // Import
  ui::CheckBox ICharsetBox{this, IDC_OPT_ICHARSET};
  TRadioGroup EncGroup{this, IDC_OPT_ENC0};
  ui::ListBox EncList{this, IDC_OPT_ENCLIST};
  ui::CheckBox ShowCodeBox{this, IDC_OPT_SHOWCODE};

  // View
  ui::CheckBox ViewTextBox{this, IDC_OPT_VIEWTEXT};
  ui::CheckBox ViewSizeBox{this, IDC_OPT_VIEWSIZE};
  ui::CheckBox ThouSizeBox{this, IDC_OPT_THOUSIZE};
  ui::CheckBox RighSizeBox{this, IDC_OPT_RIGHSIZE};
  ui::Button ViewFontButton{this, IDB_OPT_VIEWFONT};
  ui::ColorPanel ColorPanels[OptColorCount] = {
      {this, IDC_OPT_COLOR0 + 0}, {this, IDC_OPT_COLOR0 + 1}, {this, IDC_OPT_COLOR0 + 2},
      {this, IDC_OPT_COLOR0 + 3}, {this, IDC_OPT_COLOR0 + 4}, {this, IDC_OPT_COLOR0 + 5},
      {this, IDC_OPT_COLOR0 + 6}, {this, IDC_OPT_COLOR0 + 7}, {this, IDC_OPT_COLOR0 + 8},
      {this, IDC_OPT_COLOR0 + 9}, {this, IDC_OPT_COLOR0 + 10}};

  // XML
  ui::CheckBox MSSAXBox{this, IDC_OPT_MSSAX};
  ui::Button DownMSXMLButton{this, IDB_OPT_DOWNMSXML};
  ui::Label InfoShape{this, IDT_OPT_INFOSHAPE};
  ui::Label XMLLabel{this, IDT_OPT_XMLLABEL};

  // The integration the Common page shows; set its ProgramPath before LoadIntegration.
  TShellIntegration Shell;

  int32_t GetEncoding();
  void SetEncoding(int32_t CodePage);
  int32_t GetCodeMode();
  void SetCodeMode(int32_t Mode);

  // Reads the system's integration into the Integration group.
  void LoadIntegration();
  // Changes the system where an Integration box differs from what LoadIntegration found.
  void ApplyIntegration();
  void AllUsersBoxClick();

  // Fills the controls from the values, in the order that lets the click handlers settle the
  // Import page's enabling; the Common page becomes active.
  void Fill(const TOptions& Values);
  // Every value from its control; the read-only facts stay.
  void WriteBack(TOptions& Values);

  void ICharsetBoxClick();
  void EncGroupClick();
  void ShowCodeBoxClick();
  void ViewFontButtonClick();
  void ColorPanelClick(ui::ColorPanel& Panel);
  void ColorPanelEnter(ui::ColorPanel& Panel);
  void ColorPanelExit(ui::ColorPanel& Panel);
  void ColorPanelMouseMove(ui::ColorPanel& Panel, int X, int Y);
  void DownMSXMLButtonClick();

 protected:
  void OnInitDialog() override;

 private:
  void FillEncList();
  void ShowIntegration(bool checks);
};

// The vendor's download page of the MSXML parser.
extern const wchar_t* const MSXMLDownloadAddress;

class TMainForm;
// The main window's values as the dialog edits them, and back: fields, tool bar captions, the
// list's font, background colour and "File Size" alignment; the list repaints.
TOptions MainFormOptions(TMainForm& Main);
void ApplyMainFormOptions(TMainForm& Main, const TOptions& Values);
