// Main window: the document commands New, Open, Save, Save As, Import, Properties and the Help
// commands, with their file dialogs.
#include "app/doccmds.h"

#include <cmath>
#include <cstdio>

#include <windows.h>
#include <commdlg.h>

#include "app/about.h"
#include "app/main.h"
#include "app/props.h"
#include "app/res/doccmds_res.h"
#include "app/tipsofday.h"
#include "document/product.h"
#include "hash/misc.h"
#include "ui/strings.h"

std::wstring FolderOf(const std::wstring& Path) {
  size_t end = Path.find_last_of(L"\\/:");
  return end == std::wstring::npos ? std::wstring() : Path.substr(0, end + 1);
}

bool IsChecksumFileHead(const std::string& Head) {
  // A byte-order mark in front still makes it XML, in UTF-8 and in UTF-16 of either byte order:
  // reading such a file as a text list would find no entries.
  using namespace std::string_view_literals;
  const std::string_view h = Head;
  if (h.substr(0, 2) == "\xFF\xFE"sv) return h.substr(2, 10) == "<\0?\0x\0m\0l\0"sv;
  if (h.substr(0, 2) == "\xFE\xFF"sv) return h.substr(2, 10) == "\0<\0?\0x\0m\0l"sv;
  return h.substr(h.substr(0, 3) == "\xEF\xBB\xBF"sv ? 3 : 0, 5) == "<?xml"sv;
}

std::wstring FormatElapsed(double Days) {
  auto ms = static_cast<long long>(std::llround(Days * 24 * 60 * 60 * 1000));
  wchar_t text[40];
  swprintf(text, 40, L"%lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
           ms % 1000);
  return text;
}

namespace {
constexpr DWORD CommonOptions =
    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
}

ui::FileDialog ChecksumFileDialog(bool Save) {
  ui::FileDialog d;
  d.Save = Save;
  d.DefaultExt = ui::LoadStr(IDS_DOC_DEFEXT);
  d.Filter = ui::LoadStr(IDS_DOC_FILTER);
  d.Options = CommonOptions | (Save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  return d;
}

bool AskChecksumFileName(HWND Owner, std::wstring& Name) {
  ui::FileDialog dialog = ChecksumFileDialog(true);
  dialog.FileName = Name;
  // The dialog then starts in a folder above: never without a word.
  const std::wstring folder = FolderOf(Name);
  if (!folder.empty() && !ui::FileDialogShows(folder))
    ui::MessageDlg(Owner, ui::LoadStr(IDS_DOC_FOLDERTOOLONG), ui::MsgType::Information,
                   ui::MsgButtons::OK);
  if (!dialog.Execute(Owner)) return false;
  Name = dialog.FileName;
  return true;
}

ui::FileDialog ImportFileDialog() {
  ui::FileDialog d;
  d.Filter = ui::LoadStr(IDS_DOC_IMPORTFILTER);
  d.Options = CommonOptions | OFN_FILEMUSTEXIST;
  return d;
}

// Commands ------------------------------------------------------------------------------

void TMainForm::InitDocumentActions() {
  Action(ID_FILE_NEW).OnExecute = [this] { FileNewActionExecute(); };
  Action(ID_FILE_OPEN).OnExecute = [this] { FileOpenActionExecute(); };
  Action(ID_FILE_SAVE).OnExecute = [this] { FileSaveActionExecute(); };
  Action(ID_FILE_SAVE).OnUpdate = [this](ui::Action& A) { FileSaveActionUpdate(A); };
  Action(ID_FILE_SAVEAS).OnExecute = [this] { FileSaveAsActionExecute(); };
  Action(ID_FILE_IMPORT).OnExecute = [this] { FileImportActionExecute(); };
  Action(ID_FILE_PROPS).OnExecute = [this] { FilePropsActionExecute(); };
  Action(ID_HELP_TIPS).OnExecute = [this] { HelpTipsActionExecute(); };
  Action(ID_HELP_ABOUT).OnExecute = [this] { HelpAboutActionExecute(); };
}

void TMainForm::FileNewActionExecute() {
  if (!AskSaveChanges()) return;
  ClearDocument();
  RunUpdate(false);
}

void TMainForm::FileOpenActionExecute() {
  ui::FileDialog dialog = ChecksumFileDialog(false);
  dialog.InitialDir =
      FileList->ListFolder.empty() ? FolderOf(Env().ProgramPath) : FileList->ListFolder;
  if (!AskSaveChanges()) return;
  if (dialog.Execute(HandleIfCreated())) OpenDocument(dialog.FileName);
}

void TMainForm::FileSaveActionExecute() {
  SaveDocument(false);
}

void TMainForm::FileSaveActionUpdate(ui::Action& A) {
  A.SetEnabled(FileList && FileList->Modified);  // runs once before the document exists
}

void TMainForm::FileSaveAsActionExecute() {
  SaveDocument(true);
}

void TMainForm::FileImportActionExecute() {
  ui::FileDialog dialog = ImportFileDialog();
  if (!AskSaveChanges()) return;
  if (dialog.Execute(HandleIfCreated())) ImportTextFile(dialog.FileName);
}

void TMainForm::FilePropsActionExecute() {
  TPropsForm form(HandleIfCreated());
  form.SetDocument(FileList.get());
  if (form.ShowModal() == IDOK) form.SaveToDocument();
}

void TMainForm::ShowTips() {
  // Owned by the main window, as its other modal dialogs: they stay above it while they show.
  TDlgTipsForm form(HandleIfCreated());
  form.AddTip(ui::LoadStr(IDS_TIP_MAINWINDOW), ui::LoadStr(IDS_TIP_SORT));
  form.AddTip(ui::LoadStr(IDS_TIP_MAINWINDOW), ui::LoadStr(IDS_TIP_STATE));
  form.AddTip(ui::LoadStr(IDS_TIP_MAINWINDOW), ui::LoadStr(IDS_TIP_WIDTH));
  form.AddTip(ui::LoadStr(IDS_TIP_TOOLS), ui::LoadStr(IDS_TIP_CALC));
  form.TipIndex = TipIndex;
  form.ShowBox.SetChecked(TipOfDay);
  form.ShowModal();
  TipOfDay = form.ShowBox.Checked();
  TipIndex = form.TipIndex;
}

void TMainForm::HelpTipsActionExecute() {
  ShowTips();
}

void TMainForm::HelpAboutActionExecute() {
  TAboutForm form(HandleIfCreated());
  form.VersLabel.SetText(GetVersionText(Env().ProgramPath, false));
  std::wstring address;
  switch (form.ShowModal()) {
    case IDYES:
      address = ProductHomePage;
      break;
    case IDNO:
      address = std::wstring(L"mailto:") + ProductSupportMail;
      break;
  }
  if (!address.empty()) ui::ShellOpen(HandleIfCreated(), address, SW_HIDE);
}
