// The options dialog.
#include "app/options.h"

#include <commdlg.h>

#include <iterator>

#include "app/dlgconv.h"
#include "app/main.h"
#include "document/uniconv.h"
#include "ui/app.h"
#include "ui/prompts.h"
#include "ui/window.h"
#include "ui/strings.h"

const wchar_t* const MSXMLDownloadAddress =
    L"https://www.microsoft.com/en-us/download/details.aspx?id=3988";

namespace {
constexpr int SpecifiedItem = 4;
constexpr ui::Color clInfoBk = static_cast<ui::Color>(0xFF000000u | COLOR_INFOBK);
}  // namespace

// Check list -------------------------------------------------------------------

void TCheckListBox::OnAttached() {
  Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
       LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  LVCOLUMNW col{};
  col.mask = LVCF_WIDTH;
  RECT r;
  GetClientRect(Handle(), &r);
  col.cx = r.right - r.left - GetSystemMetrics(SM_CXVSCROLL);
  Send(LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
}

int TCheckListBox::Add(const std::wstring& text) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = Count();
  item.pszText = const_cast<wchar_t*>(text.c_str());
  enabled_.push_back(true);
  settingByCode_ = true;
  int i = static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  settingByCode_ = false;
  return i;
}

int TCheckListBox::Count() {
  return static_cast<int>(Send(LVM_GETITEMCOUNT));
}

std::wstring TCheckListBox::Item(int index) {
  wchar_t buf[260] = {};
  LVITEMW item{};
  item.iSubItem = 0;
  item.pszText = buf;
  item.cchTextMax = 260;
  Send(LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
  return buf;
}

bool TCheckListBox::Checked(int index) {
  return (Send(LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) ==
         INDEXTOSTATEIMAGEMASK(2);
}

void TCheckListBox::SetChecked(int index, bool checked) {
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  settingByCode_ = true;
  Send(LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
  settingByCode_ = false;
}

bool TCheckListBox::ItemEnabled(int index) {
  return index >= 0 && index < static_cast<int>(enabled_.size()) && enabled_[index];
}

void TCheckListBox::SetItemEnabled(int index, bool enabled) {
  if (index < 0 || index >= static_cast<int>(enabled_.size())) return;
  enabled_[index] = enabled;
  Invalidate();
}

bool TCheckListBox::Toggle(int index) {
  if (!Enabled() || !ItemEnabled(index)) return false;
  SetChecked(index, !Checked(index));
  return true;
}

bool TCheckListBox::HandleNotify(NMHDR* hdr, LRESULT& result) {
  if (hdr->hwndFrom != Handle()) return false;
  if (hdr->code == LVN_ITEMCHANGING) {
    // The user may not toggle a disabled item's box.
    auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
    bool boxChanges = (nm->uChanged & LVIF_STATE) &&
                      ((nm->uNewState ^ nm->uOldState) & LVIS_STATEIMAGEMASK) &&
                      (nm->uOldState & LVIS_STATEIMAGEMASK);
    result = boxChanges && !settingByCode_ && !ItemEnabled(nm->iItem);
    return true;
  }
  if (hdr->code == NM_CUSTOMDRAW) {
    auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(hdr);
    if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
      result = CDRF_NOTIFYITEMDRAW;
    } else if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
      if (!ItemEnabled(static_cast<int>(cd->nmcd.dwItemSpec)))
        cd->clrText = GetSysColor(COLOR_GRAYTEXT);
      result = CDRF_DODEFAULT;
    } else {
      result = CDRF_DODEFAULT;
    }
    return true;
  }
  return false;
}

// Radio group ------------------------------------------------------------------

TRadioGroup::TRadioGroup(ui::Window* owner, int firstId)
    : buttons_{{owner, firstId},     {owner, firstId + 1}, {owner, firstId + 2},
               {owner, firstId + 3}, {owner, firstId + 4}} {
  for (auto& b : buttons_)
    b.OnClick = [this] {
      if (OnClick) OnClick();
    };
}

int TRadioGroup::ItemIndex() {
  for (int i = 0; i < Count; ++i)
    if (buttons_[i].Checked()) return i;
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  // The buttons clear each other only while shown and enabled; this page may be hidden.
  for (int i = 0; i < Count; ++i)
    if (i != index) buttons_[i].SetChecked(false);
  if (index >= 0 && index < Count) buttons_[index].SetChecked(true);
}

bool TRadioGroup::Click(int index) {
  return index >= 0 && index < Count && buttons_[index].Click();
}

void TRadioGroup::SetEnabled(bool enabled) {
  for (auto& b : buttons_) b.SetEnabled(enabled);
  EnableWindow(GetDlgItem(GetParent(buttons_[0].Handle()), IDT_OPT_ENCGROUP), enabled);
}

bool TRadioGroup::Enabled() {
  return buttons_[0].Enabled();
}

// Dialog -----------------------------------------------------------------------

TOptsForm::TOptsForm(HWND owner) : Dialog(IDD_OPTIONS, owner) {
  ViewFontDialog.Options = CF_ANSIONLY | CF_FORCEFONTEXIST | CF_NOOEMFONTS;
  AllUsersBox.OnClick = [this] { AllUsersBoxClick(); };
  ICharsetBox.OnClick = [this] { ICharsetBoxClick(); };
  EncGroup.OnClick = [this] { EncGroupClick(); };
  ShowCodeBox.OnClick = [this] { ShowCodeBoxClick(); };
  ViewFontButton.OnClick = [this] { ViewFontButtonClick(); };
  DownMSXMLButton.OnClick = [this] { DownMSXMLButtonClick(); };
  for (ui::ColorPanel& p : ColorPanels) {
    p.OnClick = [this, &p] { ColorPanelClick(p); };
    p.OnEnter = [this, &p] { ColorPanelEnter(p); };
    p.OnExit = [this, &p] { ColorPanelExit(p); };
    p.OnMouseMove = [this, &p](int x, int y) { ColorPanelMouseMove(p, x, y); };
  }
}

void TOptsForm::OnInitDialog() {
  auto range = [](int first, int last) {
    std::vector<int> ids;
    for (int id = first; id <= last; ++id) ids.push_back(id);
    return ids;
  };
  std::vector<int> view = range(IDC_OPT_VIEWTEXT, IDT_OPT_COLORGROUP);
  for (int i = 0; i < OptColorCount; ++i) {
    view.push_back(IDC_OPT_COLOR0 + i);
    view.push_back(IDT_OPT_COLOR0 + i);
  }
  PageControl.AddPage(ui::LoadStr(IDS_OPT_PAGE_COMMON), range(IDT_OPT_STARTGROUP, IDC_OPT_ALLUSERS));
  PageControl.AddPage(ui::LoadStr(IDS_OPT_PAGE_IMPORT), range(IDC_OPT_ICHARSET, IDC_OPT_SHOWCODE));
  PageControl.AddPage(ui::LoadStr(IDS_OPT_PAGE_VIEW), view);
  PageControl.AddPage(ui::LoadStr(IDS_OPT_PAGE_XML), range(IDC_OPT_MSSAX, IDT_OPT_XMLLABEL));
  PageControl.SetActivePage(0);

  InfoShape.SetBackColor(clInfoBk);
  XMLLabel.SetBackColor(clInfoBk);

  for (const auto& ass : Shell.FileAssList) AssListBox.Add(ass->Ext);
  // Numbers only with "Show codes", which is unchecked here.
  FillEncList();
}

void TOptsForm::FillEncList() {
  FillCodePageBox(EncList, ShowCodeBox.Checked());
}

int32_t TOptsForm::GetEncoding() {
  return static_cast<int32_t>(SelectedCodePage(EncList));
}

void TOptsForm::SetEncoding(int32_t CodePage) {
  SelectCodePage(EncList, static_cast<uint32_t>(CodePage));
}

int32_t TOptsForm::GetCodeMode() {
  return SwapMacAndCodePage(EncGroup.ItemIndex());
}

void TOptsForm::SetCodeMode(int32_t Mode) {
  EncGroup.SetItemIndex(SwapMacAndCodePage(Mode));
}

// Integration ------------------------------------------------------------------

void TOptsForm::ShowIntegration(bool checks) {
  const std::pair<ui::CheckBox*, TIntegrationBox*> boxes[] = {
      {&AutoBox, &Shell.AutoBox},
      {&DeskLinkBox, &Shell.DeskLinkBox},
      {&QuickBarBox, &Shell.QuickBarBox},
      {&StartMenuBox, &Shell.StartMenuBox}};
  for (auto [control, box] : boxes) {
    if (checks) control->SetChecked(box->Checked);
    control->SetEnabled(box->Enabled);
  }
  for (size_t i = 0; i < Shell.AssListBox.size(); ++i) {
    const int index = static_cast<int>(i);
    if (checks) AssListBox.SetChecked(index, Shell.AssListBox[i].Checked);
    AssListBox.SetItemEnabled(index, Shell.AssListBox[i].Enabled);
  }
}

void TOptsForm::LoadIntegration() {
  Handle();
  Shell.AllUsersBox = AllUsersBox.Checked();
  Shell.LoadIntegration();
  ShowIntegration(true);
}

void TOptsForm::AllUsersBoxClick() {
  Shell.AllUsersBox = AllUsersBox.Checked();
  Shell.AllUsersBoxClick();
  ShowIntegration(false);
}

void TOptsForm::ApplyIntegration() {
  Shell.AutoBox.Checked = AutoBox.Checked();
  Shell.DeskLinkBox.Checked = DeskLinkBox.Checked();
  Shell.QuickBarBox.Checked = QuickBarBox.Checked();
  Shell.StartMenuBox.Checked = StartMenuBox.Checked();
  for (size_t i = 0; i < Shell.AssListBox.size(); ++i)
    Shell.AssListBox[i].Checked = AssListBox.Checked(static_cast<int>(i));
  Shell.AllUsersBox = AllUsersBox.Checked();
  Shell.ApplyIntegration();
}

// Fill and write-back ------------------------------------------------------------

void TOptsForm::Fill(const TOptions& v) {
  AutoCheckBox.SetChecked(v.AutoHash);
  MinimizeBox.SetChecked(v.StartMin);
  Min2TrayBox.SetChecked(v.Min2Tray);
  AutoSaveBox.SetChecked(v.AutoSave);
  SmothWinBox.SetEnabled(v.CanSmoothClose);
  SmothWinBox.SetChecked(v.CanSmoothClose && v.SmothWin);
  TipOfDayBox.SetChecked(v.TipOfDay);
  ICharsetBox.SetChecked(v.CodeSkip);
  ShowCodeBox.SetChecked(v.ShowCode);  // refills EncList when it changes
  SetCodeMode(v.CodeMode);
  SetEncoding(v.Encoding);
  ICharsetBoxClick();
  ViewTextBox.SetChecked(v.ToolText);
  ViewSizeBox.SetChecked(v.AbbrSize);
  ThouSizeBox.SetChecked(v.ThouSize);
  RighSizeBox.SetChecked(v.RighSize);
  ViewFontDialog.Font = v.Font;
  for (int i = 0; i < OptColorCount; ++i) ColorPanels[i].SetColor(v.Colors[i]);
  MSSAXBox.SetChecked(v.UseMSSAX);
  MSSAXBox.SetEnabled(v.MSSAXPresent);
  PageControl.SetActivePage(0);
}

void TOptsForm::WriteBack(TOptions& v) {
  v.AutoHash = AutoCheckBox.Checked();
  v.StartMin = MinimizeBox.Checked();
  v.Min2Tray = Min2TrayBox.Checked();
  v.AutoSave = AutoSaveBox.Checked();
  v.SmothWin = SmothWinBox.Checked();
  v.TipOfDay = TipOfDayBox.Checked();
  v.CodeSkip = ICharsetBox.Checked();
  v.ShowCode = ShowCodeBox.Checked();
  v.CodeMode = GetCodeMode();
  v.Encoding = GetEncoding();
  v.ToolText = ViewTextBox.Checked();
  v.Font = ViewFontDialog.Font;
  v.AbbrSize = ViewSizeBox.Checked();
  v.ThouSize = ThouSizeBox.Checked();
  v.RighSize = RighSizeBox.Checked();
  for (int i = 0; i < OptColorCount; ++i) v.Colors[i] = ColorPanels[i].GetColor();
  v.UseMSSAX = MSSAXBox.Checked();
}

// Handlers ---------------------------------------------------------------------

void TOptsForm::ICharsetBoxClick() {
  const bool skip = ICharsetBox.Checked();
  EncGroup.SetEnabled(skip);
  const bool specified = skip && EncGroup.ItemIndex() == SpecifiedItem;
  EncList.SetEnabled(specified);
  ShowCodeBox.SetEnabled(specified);
}

void TOptsForm::EncGroupClick() {
  const bool specified = EncGroup.ItemIndex() == SpecifiedItem;
  EncList.SetEnabled(specified);
  ShowCodeBox.SetEnabled(specified);
}

void TOptsForm::ShowCodeBoxClick() {
  FillEncList();
}

void TOptsForm::ViewFontButtonClick() {
  ViewFontDialog.Execute(Handle());
}

void TOptsForm::ColorPanelClick(ui::ColorPanel& Panel) {
  ColorDialog.Color = ui::ColorToRGB(Panel.GetColor());
  if (ColorDialog.Execute(Handle())) Panel.SetColor(static_cast<ui::Color>(ColorDialog.Color));
  if (GetFocus() != Panel.Handle()) Panel.SetBevel(ui::ColorPanel::bvNone);
}

void TOptsForm::ColorPanelEnter(ui::ColorPanel& Panel) {
  Panel.SetBevel(ui::ColorPanel::bvLowered);
}

void TOptsForm::ColorPanelExit(ui::ColorPanel& Panel) {
  Panel.SetBevel(ui::ColorPanel::bvNone);
}

void TOptsForm::ColorPanelMouseMove(ui::ColorPanel& Panel, int X, int Y) {
  HWND h = Panel.Handle();
  if (GetFocus() == h) return;
  RECT r;
  GetClientRect(h, &r);
  const bool inside = X > 0 && X < r.right && Y > 0 && Y < r.bottom;
  if (inside) {
    if (GetCapture() != h) {
      Panel.SetBevel(ui::ColorPanel::bvRaised);
      SetCapture(h);
    }
  } else if (GetCapture() == h) {
    Panel.SetBevel(ui::ColorPanel::bvNone);
    ReleaseCapture();
  }
}

void TOptsForm::DownMSXMLButtonClick() {
  ui::Form* main = ui::Application::Get().MainForm();
  ui::ShellOpen(main ? main->HandleIfCreated() : nullptr, MSXMLDownloadAddress, 0);
}

// The main window's Options command ---------------------------------------------

namespace {
ui::Color TMainForm::*const FieldColors[] = {
    nullptr,                    // the list's background, kept by the list itself
    &TMainForm::EvenColor,    &TMainForm::FailColor,    &TMainForm::WarnColor,
    &TMainForm::ErrorColor,   &TMainForm::TouchedColor, &TMainForm::UpdatedColor,
    &TMainForm::ChangedColor, &TMainForm::NewFileColor, &TMainForm::InvalidColor,
    &TMainForm::ValidColor};
static_assert(std::size(FieldColors) == OptColorCount);
}  // namespace

TOptions MainFormOptions(TMainForm& Main) {
  TOptions v;
  v.AutoHash = Main.AutoHash;
  v.StartMin = Main.StartMin;
  v.Min2Tray = Main.Min2Tray;
  v.AutoSave = Main.AutoSave;
  v.SmothWin = Main.SmothWin;
  v.TipOfDay = Main.TipOfDay;
  v.CodeSkip = Main.CodeSkip;
  v.ShowCode = Main.ShowCode;
  v.CodeMode = Main.CodeMode;
  v.Encoding = Main.Encoding;
  v.ToolText = Main.ToolText();
  v.AbbrSize = Main.AbbrSize;
  v.ThouSize = Main.ThouSize;
  v.RighSize = Main.RighSize();
  v.Font = Main.ListView.Font();
  v.Colors[ocBack] = Main.ListView.BackColor();
  for (int i = ocBack + 1; i < OptColorCount; ++i) v.Colors[i] = Main.*FieldColors[i];
  v.UseMSSAX = Main.UseMSSAX;
  v.CanSmoothClose = AnimateWindowProc != nullptr;
  v.MSSAXPresent = Main.MSSAXPresent;
  return v;
}

void ApplyMainFormOptions(TMainForm& Main, const TOptions& v) {
  Main.AutoHash = v.AutoHash;
  Main.StartMin = v.StartMin;
  Main.Min2Tray = v.Min2Tray;
  Main.AutoSave = v.AutoSave;
  Main.SmothWin = v.SmothWin;
  Main.TipOfDay = v.TipOfDay;
  Main.CodeSkip = v.CodeSkip;
  Main.ShowCode = v.ShowCode;
  Main.CodeMode = v.CodeMode;
  Main.Encoding = v.Encoding;
  Main.SetToolText(v.ToolText);
  Main.ResizeToolButtons();
  Main.ListView.SetFont(v.Font);
  Main.AbbrSize = v.AbbrSize;
  Main.ThouSize = v.ThouSize;
  Main.SetRighSize(v.RighSize);
  Main.ListView.SetBackColor(v.Colors[ocBack]);
  for (int i = ocBack + 1; i < OptColorCount; ++i) Main.*FieldColors[i] = v.Colors[i];
  Main.UseMSSAX = v.UseMSSAX;
  // The list paints with the new font, colours and size display.
  Main.ListView.Invalidate();
}

void TMainForm::OptionsActionExecute() {
  TOptsForm form(Handle());
  form.Shell.ProgramPath = Env().ProgramPath;
  form.LoadIntegration();
  TOptions values = MainFormOptions(*this);
  form.Fill(values);
  if (form.ShowModal() == IDCANCEL) return;
  form.WriteBack(values);
  ApplyMainFormOptions(*this, values);
  form.ApplyIntegration();
}
