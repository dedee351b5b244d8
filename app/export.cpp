#include "app/export.h"

#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "app/dlgconv.h"
#include "app/main.h"
#include "document/data.h"
#include "document/stream.h"
#include "document/textlist.h"
#include "document/uniconv.h"
#include "document/xmlfile.h"
#include "hash/errors.h"
#include "hash/misc.h"
#include "ui/prompts.h"
#include "ui/strings.h"

namespace {

using RadioGroup = std::initializer_list<ui::RadioButton*>;

// The index of the first selected button, -1 when none is.
int32_t SelectedIndex(RadioGroup Group) {
  int32_t i = 0;
  for (ui::RadioButton* b : Group) {
    if (b->Checked()) return i;
    ++i;
  }
  return -1;
}

// Selects the button at Index, running its click handler when it was not selected. The others
// are cleared here: the system's own clearing passes over disabled buttons and would leave a
// disabled one selected beside the new one.
void SelectIndex(RadioGroup Group, int32_t Index) {
  ui::RadioButton* chosen = nullptr;
  int32_t i = 0;
  for (ui::RadioButton* b : Group) {
    if (i++ == Index)
      chosen = b;
    else
      b->SetChecked(false);
  }
  if (chosen) chosen->SetChecked(true);
}

}  // namespace

TExportCounts CountExportEntries(const TFileList& List) {
  TExportCounts c;
  for (const auto& item : List.Items) {
    if (!item->HashValue.empty()) {
      if (item->HashType == "MD5") ++c.MD5;
      if (item->HashType == "CRC32") ++c.CRC32;
    }
    const std::wstring& name = item->FileName;
    if (!IsAsciiString(name)) ++c.NonAscii;
    if (name.size() >= 2 && name[0] == L'\\' && name[1] == L'\\') ++c.UNC;
  }
  return c;
}

// The dialog -----------------------------------------------------------------------------------

TExportForm::TExportForm(HWND Owner) : Dialog(IDD_EXPORT, Owner) {
  for (ui::RadioButton* b : {&MD5Button, &BSDButton, &SFVButton})
    b->OnClick = [this] { MD5ButtonClick(); };
  for (ui::RadioButton* b : {&UTF8Button, &ANSIButton, &OEMButton, &OthButton, &MCPButton})
    b->OnClick = [this] { OthButtonClick(); };
  ShowCodeBox.OnClick = [this] { ShowCodeBoxClick(); };
}

void TExportForm::OnInitDialog() {
  // The form's initial choices are its state, not clicks: no handler runs for them.
  for (ui::RadioButton* b : {&BSDButton, &NixButton, &UTF8Button, &RSButton}) {
    std::function<void()> handler;
    std::swap(handler, b->OnClick);
    b->SetChecked(true);
    std::swap(handler, b->OnClick);
  }
  EncList.SetEnabled(false);
  FillEncList();
}

// The focus starts on the chosen format, not on the button that was chosen when the window was
// created.
void TExportForm::OnShow() {
  const int32_t format = GetFormat();
  (format == 1 ? MD5Button : format == 2 ? SFVButton : BSDButton).SetFocus();
}

void TExportForm::FillEncList() {
  FillCodePageBox(EncList, ShowCodeBox.Checked());
}

int32_t TExportForm::GetFormat() {
  return SelectedIndex({&BSDButton, &MD5Button, &SFVButton});
}

void TExportForm::SetFormat(int32_t Value) {
  int32_t i = 0;
  if (Value == 1 && MD5Button.Enabled()) i = 1;
  if (Value == 2 && SFVButton.Enabled()) i = 2;
  SelectIndex({&BSDButton, &MD5Button, &SFVButton}, i);
}

int32_t TExportForm::GetEncoding() {
  return SelectedIndex({&UTF8Button, &ANSIButton, &OEMButton, &OthButton, &MCPButton});
}

void TExportForm::SetEncoding(int32_t Value) {
  SelectIndex({&UTF8Button, &ANSIButton, &OEMButton, &OthButton, &MCPButton},
              Value >= 1 && Value <= 4 ? Value : 0);
}

uint32_t TExportForm::GetCodePage() {
  return SelectedCodePage(EncList);
}

void TExportForm::SetCodePage(uint32_t Value) {
  SelectCodePage(EncList, Value);
}

int32_t TExportForm::GetLineEnd() {
  return SelectedIndex({&DOSButton, &NixButton, &MacButton});
}

void TExportForm::SetLineEnd(int32_t Value) {
  SelectIndex({&DOSButton, &NixButton, &MacButton}, Value == 1 || Value == 2 ? Value : 0);
}

int32_t TExportForm::GetDelimiter() {
  return SelectedIndex({&RSButton, &DRButton, &SLButton});
}

void TExportForm::SetDelimiter(int32_t Value) {
  int32_t i = 0;
  if (Value == 1 && DRButton.Enabled()) i = 1;
  if (Value == 2 && SLButton.Enabled()) i = 2;
  SelectIndex({&RSButton, &DRButton, &SLButton}, i);
}

int32_t TExportForm::GetDefaultFileName() {
  return SelectedIndex({&LSTButton, &CHKButton, &EMTButton});
}

void TExportForm::SetDefaultFileName(int32_t Value) {
  int32_t i = 2;
  if (Value == 0 && LSTButton.Enabled()) i = 0;
  if (Value == 1 && CHKButton.Enabled()) i = 1;
  SelectIndex({&LSTButton, &CHKButton, &EMTButton}, i);
}

void TExportForm::MD5ButtonClick() {
  const bool md5 = MD5Button.Checked();
  LSTButton.SetEnabled(md5);
  CHKButton.SetEnabled(md5);
  if (!md5) SelectIndex({&LSTButton, &CHKButton, &EMTButton}, 2);
}

void TExportForm::OthButtonClick() {
  const bool other = OthButton.Checked();
  EncList.SetEnabled(other);
  ShowCodeBox.SetEnabled(other);
}

void TExportForm::ShowCodeBoxClick() {
  FillEncList();
}

void TExportForm::EnableFor(const TExportCounts& Counts) {
  MD5Button.SetEnabled(Counts.MD5 > 0);
  SFVButton.SetEnabled(Counts.CRC32 > 0);
  const bool names = Counts.NonAscii > 0;
  for (ui::Control* c : std::initializer_list<ui::Control*>{
           &UTF8Button, &ANSIButton, &OEMButton, &MCPButton, &OthButton, &EncList, &ShowCodeBox})
    c->SetEnabled(names);
  DRButton.SetEnabled(Counts.UNC == 0);
  SLButton.SetEnabled(Counts.UNC == 0);
}

void TExportForm::Seed(const TExportSettings& Settings) {
  ShowCodeBox.SetChecked(Settings.ShowCode);
  SetFormat(Settings.ExFormat);
  SetEncoding(Settings.CodeMode);
  SetCodePage(static_cast<uint32_t>(Settings.Encoding));
  SetLineEnd(Settings.ExLineEnd);
  SetDelimiter(Settings.ExDelimit);
  SetDefaultFileName(Settings.ExDefName);
  LowCaseBox.SetChecked(Settings.ExLowCase);
  MD5ButtonClick();
  OthButtonClick();
}

void TExportForm::Store(TExportSettings& Settings) {
  Settings.ExFormat = GetFormat();
  Settings.ShowCode = ShowCodeBox.Checked();
  Settings.CodeMode = GetEncoding();
  Settings.Encoding = static_cast<int32_t>(GetCodePage());
  Settings.ExLineEnd = GetLineEnd();
  Settings.ExDelimit = GetDelimiter();
  Settings.ExDefName = GetDefaultFileName();
  Settings.ExLowCase = LowCaseBox.Checked();
}

// The command -----------------------------------------------------------------------------------

namespace {

// The list goes to a new file beside the target; the target is replaced only on Commit, so a
// failure anywhere before leaves an earlier file as it was. The writer's errors give only the
// reason: the message that shows them names the file.
class TReplacingFileStream : public TStream {
 public:
  explicit TReplacingFileStream(const std::wstring& FileName)
      : Writer(FileName, TXMLFileWriter::ReasonOnly) {}
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* Buffer, int32_t Count) override {
    if (Count <= 0) return 0;
    Writer.WriteBytes(std::string_view(static_cast<const char*>(Buffer), Count));
    return Count;
  }
  void Commit() { Writer.Commit(); }

 private:
  TXMLFileWriter Writer;
};

// Asks whether to go on when only Count of the document's entries can be exported.
bool ConfirmPartial(HWND Owner, UINT Message, int32_t Count, int32_t Total) {
  const std::wstring text =
      ui::Format(ui::LoadStr(Message), {std::to_wstring(Count), std::to_wstring(Total)});
  return ui::MessageDlg(Owner, text, ui::MsgType::Information, ui::MsgButtons::YesNo) == IDYES;
}

}  // namespace

int32_t WriteExportFile(const TFileList& List, const std::wstring& FileName,
                        const TExportSettings& Settings) {
  TReplacingFileStream stream(FileName);
  int32_t unconverted = 0;
  if (!List.ExportTextList(stream, static_cast<TListFormat>(Settings.ExFormat),
                           static_cast<TLineEnd>(Settings.ExLineEnd),
                           static_cast<TPathDelimiter>(Settings.ExDelimit),
                           static_cast<TListCharset>(Settings.CodeMode),
                           static_cast<uint32_t>(Settings.Encoding), Settings.ExLowCase,
                           &unconverted))
    throw EWriteError(ui::LoadStr(IDS_EXPORT_SHORTWRITE));
  stream.Commit();
  return unconverted;
}

void ExportDocument(HWND Owner, const TFileList& List, TExportSettings& Settings) {
  const TExportCounts counts = CountExportEntries(List);
  {
    TExportForm form(Owner);
    form.EnableFor(counts);
    form.Seed(Settings);
    if (form.ShowModal() != IDOK) return;
    form.Store(Settings);
  }

  ui::FileDialog dialog;
  dialog.Save = true;
  dialog.Options = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                   OFN_ENABLESIZING;
  const std::wstring allFiles = ui::LoadStr(IDS_EXPORT_ALLFILTER);
  const int32_t total = List.GetCount();
  if (Settings.ExFormat == lfMD5SUM) {
    if (total > counts.MD5 && !ConfirmPartial(Owner, IDS_EXPORT_NOTALLMD5, counts.MD5, total))
      return;
    dialog.Filter = ui::LoadStr(IDS_EXPORT_MD5FILTER) + L"|" + allFiles;
    dialog.DefaultExt = L"md5";
    dialog.FilterIndex = 2;
    if (Settings.ExDefName == 0) {
      dialog.DefaultExt = L"lst";
      dialog.FileName = L"md5sum.lst";
      dialog.FilterIndex = 1;
    } else if (Settings.ExDefName == 1) {
      dialog.FileName = L"checksum.md5";
    }
  } else if (Settings.ExFormat == lfSFV) {
    if (total > counts.CRC32 && !ConfirmPartial(Owner, IDS_EXPORT_NOTALLCRC32, counts.CRC32, total))
      return;
    dialog.Filter = ui::LoadStr(IDS_EXPORT_SFVFILTER) + L"|" + allFiles;
    dialog.DefaultExt = L"sfv";
  } else {
    dialog.Filter = allFiles;
  }
  // The open checksum file is not replaced by a list of its own entries: its sizes, dates,
  // notes and settings would be gone, and the document would still count as saved.
  for (;;) {
    if (!dialog.Execute(Owner)) return;
    if (!IsSameFile(dialog.FileName, List.ListFileName)) break;
    ui::MessageDlg(Owner, ui::Format(ui::LoadStr(IDS_EXPORT_OVERDOC), {dialog.FileName}),
                   ui::MsgType::Error, ui::MsgButtons::OK);
  }

  try {
    // Entries whose encoding is unknown cannot be converted; the user learns how many are missing.
    if (const int32_t skipped = WriteExportFile(List, dialog.FileName, Settings))
      ui::MessageDlg(Owner,
                     ui::Format(ui::LoadStr(IDS_EXPORT_UNCONVERTED),
                                {std::to_wstring(skipped), dialog.FileName}),
                     ui::MsgType::Information, ui::MsgButtons::OK);
  } catch (const Exception& e) {
    ui::MessageDlg(Owner,
                   ui::Format(ui::LoadStr(IDS_EXPORT_FAILED), {dialog.FileName, e.GetMessage()}),
                   ui::MsgType::Error, ui::MsgButtons::OK);
  }
}

void TMainForm::FileExportActionExecute() {
  TExportSettings s{ExFormat,  CodeMode,  Encoding,  ShowCode,
                    ExLineEnd, ExDelimit, ExDefName, ExLowCase};
  ExportDocument(Handle(), *FileList, s);
  ExFormat = s.ExFormat;
  CodeMode = s.CodeMode;
  Encoding = s.Encoding;
  ShowCode = s.ShowCode;
  ExLineEnd = s.ExLineEnd;
  ExDelimit = s.ExDelimit;
  ExDefName = s.ExDefName;
  ExLowCase = s.ExLowCase;
}
