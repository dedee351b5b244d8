// Main window: loading and saving the settings, and the "Save settings now..." command.
#include "app/settings.h"

#include "app/main.h"
#include "app/saveconf.h"
#include "ui/prompts.h"
#include "ui/strings.h"

namespace {
const wchar_t kGeneral[] = L"General";
const wchar_t kMainWindow[] = L"MainWindow";
const wchar_t kColumns[] = L"Columns";
const wchar_t kRecentFolders[] = L"RecentFolders";

// The "General" values in the order they are written. Fields are read and written through their
// member; the others live in the controls.
enum Kind { Int, Flag, Colour, SizeAlign, Captions, ListColor, ListFont, ListFontSize };
struct GeneralSetting {
  const wchar_t* Name;
  Kind Type;
  int32_t TMainForm::*Number = nullptr;
  bool TMainForm::*Boolean = nullptr;
};
using F = TMainForm;
const GeneralSetting kGeneralSettings[] = {
    {L"SortMode", Int, &F::SortMode},
    {L"Encoding", Int, &F::Encoding},  // a store without it keeps the earlier value
    {L"CodeMode", Int, &F::CodeMode},
    {L"CodeSkip", Flag, nullptr, &F::CodeSkip},
    {L"ShowCode", Flag, nullptr, &F::ShowCode},
    {L"ExFormat", Int, &F::ExFormat},
    {L"ExLineEnd", Int, &F::ExLineEnd},
    {L"ExDelimit", Int, &F::ExDelimit},
    {L"ExDefName", Int, &F::ExDefName},
    {L"ExLowCase", Flag, nullptr, &F::ExLowCase},
    {L"AutoSave", Flag, nullptr, &F::AutoSave},
    {L"AutoHash", Flag, nullptr, &F::AutoHash},
    {L"AbbrSize", Flag, nullptr, &F::AbbrSize},
    {L"ThouSize", Flag, nullptr, &F::ThouSize},
    {L"RighSize", SizeAlign},
    {L"ToolText", Captions},
    {L"TipOfDay", Flag, nullptr, &F::TipOfDay},
    {L"TipIndex", Int, &F::TipIndex},
    {L"SmothWin", Flag, nullptr, &F::SmothWin},
    {L"StartMin", Flag, nullptr, &F::StartMin},
    {L"Min2Tray", Flag, nullptr, &F::Min2Tray},
    {L"UseMSSAX", Flag, nullptr, &F::UseMSSAX},
    {L"BackColor", ListColor},
    {L"EvenColor", Colour, &F::EvenColor},
    {L"FailColor", Colour, &F::FailColor},
    {L"WarnColor", Colour, &F::WarnColor},
    {L"ErrorColor", Colour, &F::ErrorColor},
    {L"TouchedColor", Colour, &F::TouchedColor},
    {L"UpdatedColor", Colour, &F::UpdatedColor},
    {L"ChangedColor", Colour, &F::ChangedColor},
    {L"NewFileColor", Colour, &F::NewFileColor},
    {L"InvalidColor", Colour, &F::InvalidColor},
    {L"ValidColor", Colour, &F::ValidColor},
    {L"FontName", ListFont},
    {L"FontSize", ListFontSize},
};
}  // namespace

bool TMainForm::ToolText() {
  return ToolBar.ShowCaptions();
}
void TMainForm::SetToolText(bool Show) {
  ToolBar.SetShowCaptions(Show);
  LayoutControls();
}
void TMainForm::ResizeToolButtons() {
  // From a size below any button's, so that each grows to just what it shows.
  ToolBar.SetButtonSize(10, 10);
  LayoutControls();
}
bool TMainForm::RighSize() {
  return ListView.ColumnAlignment(SizeColumn) == LVCFMT_RIGHT;
}
void TMainForm::SetRighSize(bool Right) {
  ListView.SetColumnAlignment(SizeColumn, Right ? LVCFMT_RIGHT : LVCFMT_LEFT);
}

void TMainForm::LoadSettings(TSettingsStore& Store) {
  TSettingValues values = Store.ReadSection(kGeneral);
  auto number = [&](const wchar_t* name, int32_t& value) {
    return TryParseSetting(FindSetting(values, name), value);
  };
  // Each value replaces what the window had only when it parses.
  int32_t v;
  for (const GeneralSetting& g : kGeneralSettings) {
    if (g.Type == ListFont) {
      ListView.SetFontName(FindSetting(values, g.Name));  // an empty name changes nothing
      continue;
    }
    if (!number(g.Name, v)) continue;
    switch (g.Type) {
      case Int:
      case Colour:
        this->*g.Number = v;
        break;
      case Flag:
        this->*g.Boolean = v != 0;
        break;
      case SizeAlign:
        SetRighSize(v != 0);
        break;
      case Captions:
        SetToolText(v != 0);
        break;
      case ListColor:
        ListView.SetBackColor(v);
        break;
      case ListFontSize:
        ListView.SetFontSize(v);
        break;
      case ListFont:
        break;
    }
  }

  values = Store.ReadSection(kMainWindow);
  RECT r = Bounds();
  int32_t left = r.left, top = r.top, width = r.right - r.left, height = r.bottom - r.top;
  bool moved = false;
  for (auto [name, field] : {std::pair{L"Top", &top}, std::pair{L"Left", &left},
                             std::pair{L"Width", &width}, std::pair{L"Height", &height}})
    if (number(name, v)) {
      *field = v;
      moved = true;
    }
  if (moved) SetBounds(left, top, width, height);
  number(L"WindowState", SavedWindowState);  // left as it was when it does not parse

  // The columns only as a whole: one value per column, named by its position.
  values = Store.ReadSection(kColumns);
  if (static_cast<int>(values.size()) == ListView.ColumnCount()) {
    for (int i = 0; i < static_cast<int>(values.size()); ++i) {
      int32_t position, width;
      if (!TryParseSetting(values[i].first, position) || !TryParseSetting(values[i].second, width))
        break;
      ListView.SetColumnPosition(i, position);
      ListView.SetColumnWidth(i, width);
    }
  }

  // A store without folders leaves the history from the earlier stores.
  values = Store.ReadSection(kRecentFolders);
  if (!values.empty()) {
    RecentFolders.clear();
    for (const auto& [name, data] : values) RecentFolders.push_back(DecodeFolderName(name));
  }
}

bool TMainForm::SaveSettings(TSettingsStore& Store) {
  bool ok = true;
  auto put = [&](const wchar_t* section, const std::wstring& name, const std::wstring& value) {
    ok = Store.WriteString(section, name, value) && ok;
  };
  for (const GeneralSetting& g : kGeneralSettings) {
    std::wstring text;
    switch (g.Type) {
      case Int:
        text = IntToSetting(this->*g.Number);
        break;
      case Colour:
        text = ColorToSetting(this->*g.Number);
        break;
      case Flag:
        text = BoolToSetting(this->*g.Boolean);
        break;
      case SizeAlign:
        text = BoolToSetting(RighSize());
        break;
      case Captions:
        text = BoolToSetting(ToolText());
        break;
      case ListColor:
        text = ColorToSetting(ListView.BackColor());
        break;
      case ListFont:
        text = ListView.FontName();
        break;
      case ListFontSize:
        text = IntToSetting(ListView.FontSize());
        break;
    }
    put(kGeneral, g.Name, text);
  }

  TWindowState state = WindowState();
  if (state != wsMaximized) {
    // A minimized window keeps the bounds it had before.
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    RECT r = Bounds();
    if (state == wsMinimized && GetWindowPlacement(HandleIfCreated(), &wp)) r = wp.rcNormalPosition;
    put(kMainWindow, L"Top", IntToSetting(r.top));
    put(kMainWindow, L"Left", IntToSetting(r.left));
    put(kMainWindow, L"Width", IntToSetting(r.right - r.left));
    put(kMainWindow, L"Height", IntToSetting(r.bottom - r.top));
  }
  put(kMainWindow, L"WindowState", IntToSetting(state));

  // Loading takes the columns by the place of their values, and a store updates an existing
  // value where it stands: the section is written afresh, in column index order.
  ok = Store.EraseSection(kColumns) && ok;
  for (int i = 0; i < ListView.ColumnCount(); ++i)
    put(kColumns, IntToSetting(ListView.ColumnPosition(i)), IntToSetting(ListView.ColumnWidth(i)));
  for (const std::wstring& folder : RecentFolders)
    put(kRecentFolders, EncodeFolderName(folder), L"");
  return ok;
}

void TMainForm::ReportSaveFailure(const std::wstring& StoreName) {
  ui::MessageDlg(HandleIfCreated(), ui::Format(ui::LoadStr(IDS_SAVE_FAILED), {StoreName}),
                 ui::MsgType::Error, ui::MsgButtons::OK);
}

void TMainForm::SaveSettingsReported(TSettingsStore& Store) {
  if (!SaveSettings(Store)) ReportSaveFailure(Store.Name());
}

void TMainForm::SaveRegistryReported(HKEY Root, const std::wstring& RootName) {
  if (auto store = TRegistryStore::OpenForWrite(Root, RootName))
    SaveSettingsReported(*store);
  else
    ReportSaveFailure(RootName + L"\\" + TRegistryStore::KeyPath);
}

bool TMainForm::SaveSettingsNow() {
  TSaveConfForm form(HandleIfCreated());
  form.LMButton.SetEnabled(TRegistryStore::OpenForWrite(env_.MachineRoot, env_.MachineRootName) !=
                           nullptr);
  if (form.ShowModal() != IDOK) return false;
  // Each chosen store is written; one that fails is reported and the others still go ahead.
  if (form.CUButton.Checked()) SaveRegistryReported(env_.UserRoot, env_.UserRootName);
  if (form.LMButton.Checked()) SaveRegistryReported(env_.MachineRoot, env_.MachineRootName);
  if (form.INIButton.Checked()) {
    TIniStore ini(IniFileName());
    SaveSettingsReported(ini);
  }
  return true;
}

void TMainForm::OptsSaveActionExecute() {
  SaveSettingsNow();
}
