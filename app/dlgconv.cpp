#include "app/dlgconv.h"

#include <windows.h>

#include "hash/errors.h"
#include "ui/app.h"
#include "ui/prompts.h"
#include "ui/strings.h"
#include "ui/window.h"

namespace {

// Strict: a missing or wrong continuation byte makes the whole name empty.
std::wstring DecodeUTF8(const std::string& Bytes) {
  const int count = static_cast<int>(strnlen(Bytes.data(), Bytes.size()));
  if (count == 0) return {};
  int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Bytes.data(), count, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(needed, L'\0');
  needed =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Bytes.data(), count, text.data(), needed);
  if (needed <= 0) return {};
  text.resize(needed);
  return text;
}

bool IsAsciiBytes(const std::string& Bytes) {
  for (char c : Bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

HWND MainWindow() {
  ui::Form* f = ui::Application::Get().MainForm();
  return f ? f->HandleIfCreated() : nullptr;
}

}  // namespace

int32_t SwapMacAndCodePage(int32_t Value) {
  return Value == 3 ? 4 : Value == 4 ? 3 : Value;
}

std::wstring DecodeNameAs(const std::string& RawName, int32_t Kind, uint32_t CodePage) {
  switch (Kind) {
    case ekAnsi:
      return CodePageToWide(RawName, CP_ACP);
    case ekOem:
      return CodePageToWide(RawName, CP_OEMCP);
    case ekCodePage:
      return CodePageToWide(RawName, CodePage);
    case ekMac:
      return CodePageToWide(RawName, CP_MACCP);
    default:
      return DecodeUTF8(RawName);
  }
}

// The dialog ------------------------------------------------------------------------------

TUniConvForm::TUniConvForm(HWND Owner) : Dialog(IDD_UNICONV, Owner) {
  Handle();
}

void TUniConvForm::OnInitDialog() {
  for (int32_t i = ecUTF8; i <= ecSpecified; ++i) Choice(i)->OnClick = [this] { EncGroupClick(); };
  EncList.OnChange = [this] { EncListClick(); };
  ShowCodeBox.OnClick = [this] { ShowCodeBoxClick(); };
  SaveBox.OnClick = [this] { SaveBoxClick(); };
  IncLabel.SetBackColor(static_cast<ui::Color>(GetSysColor(COLOR_INFOBK)));
  IncLabel.SetTextColor(static_cast<ui::Color>(GetSysColor(COLOR_INFOTEXT)));
  InfoShape.SetBackColor(static_cast<ui::Color>(GetSysColor(COLOR_INFOBK)));
  FillList(false);
}

ui::RadioButton* TUniConvForm::Choice(int32_t Index) {
  ui::RadioButton* choices[] = {&EncUTF8, &EncAnsi, &EncOem, &EncMac, &EncSpecified};
  return Index >= 0 && Index <= ecSpecified ? choices[Index] : nullptr;
}

int32_t TUniConvForm::EncGroupIndex() {
  for (int32_t i = ecUTF8; i <= ecSpecified; ++i)
    if (Choice(i)->Checked()) return i;
  return -1;
}

void TUniConvForm::SetEncGroupIndex(int32_t Index) {
  if (ui::RadioButton* r = Choice(Index)) {
    r->SetChecked(true);
  } else {
    for (int32_t i = ecUTF8; i <= ecSpecified; ++i) Choice(i)->SetChecked(false);
  }
}

// Fills the code-page list and selects the system ANSI code page.
void TUniConvForm::FillList(bool FullNames) {
  FillCodePageBox(EncList, FullNames);
}

void TUniConvForm::SetKind(int32_t Kind) {
  SetEncGroupIndex(SwapMacAndCodePage(Kind));
}

int32_t TUniConvForm::GetKind() {
  return SwapMacAndCodePage(EncGroupIndex());
}

void TUniConvForm::SetCodePage(int32_t CodePage) {
  SelectCodePage(EncList, static_cast<uint32_t>(CodePage));
}

int32_t TUniConvForm::GetCodePage() {
  return static_cast<int32_t>(SelectedCodePage(EncList));
}

void TUniConvForm::SetRawName(const std::string& ARawName) {
  if (LooksLikeUTF8(ARawName)) SetEncGroupIndex(ecUTF8);
  RawName = ARawName;
  UpdatePreview();
}

bool TUniConvForm::UpdatePreview() {
  try {
    int32_t choice = EncGroupIndex();
    std::wstring preview;
    if (choice >= ecUTF8 && choice < ecSpecified) {
      preview = DecodeNameAs(RawName, SwapMacAndCodePage(choice), 0);
    } else {
      if (EncList.ItemIndex() < 0) EncList.SetItemIndex(0);
      if (EncList.ItemIndex() >= EncList.Count()) EncList.SetItemIndex(EncList.Count() - 1);
      preview = DecodeNameAs(RawName, ekCodePage, static_cast<uint32_t>(GetCodePage()));
    }
    FileEdit.SetText(preview);
    return true;
  } catch (const Exception& e) {
    FileEdit.SetText(e.GetMessage());
    if (Visible())
      ui::MessageDlg(HandleIfCreated(), e.GetMessage(), ui::MsgType::Error, ui::MsgButtons::OK);
    return false;
  }
}

void TUniConvForm::EncGroupClick() {
  UpdatePreview();
  bool specified = EncGroupIndex() == ecSpecified;
  EncList.SetEnabled(specified);
  ShowCodeBox.SetEnabled(specified);
}

void TUniConvForm::EncListClick() {
  UpdatePreview();
}

void TUniConvForm::ShowCodeBoxClick() {
  FillList(ShowCodeBox.Checked());
}

void TUniConvForm::SaveBoxClick() {
  bool save = SaveBox.Checked();
  NeverBox.SetEnabled(save);
  if (!save) NeverBox.SetChecked(false);
}

bool TUniConvForm::OnCloseQuery(int Result) {
  if (Result == IDOK) return UpdatePreview();
  return ui::MessageDlg(HandleIfCreated(), ui::LoadStr(IDS_UNICONV_ABORT),
                        ui::MsgType::Confirmation, ui::MsgButtons::YesNo) == IDYES;
}

// The question -----------------------------------------------------------------------------

bool DecodeImportedName(const std::string& RawName, std::wstring& Name, bool& AskNoMore,
                        bool& CodeSkip, int32_t& CodeMode, int32_t& Encoding, bool& ShowCode) {
  if (IsAsciiBytes(RawName)) {
    Name = CodePageToWide(RawName, CP_ACP);
    return true;
  }
  if (!AskNoMore) {
    TUniConvForm form(MainWindow());
    form.SaveBox.SetChecked(AskNoMore);
    form.NeverBox.SetChecked(CodeSkip);
    form.ShowCodeBox.SetChecked(ShowCode);
    form.SetKind(CodeMode);
    form.SetCodePage(Encoding);
    form.SetRawName(RawName);
    if (form.ShowModal() != IDOK) return false;
    AskNoMore = form.SaveBox.Checked();
    CodeSkip = form.NeverBox.Checked();
    CodeMode = form.GetKind();
    Encoding = form.GetCodePage();
    ShowCode = form.ShowCodeBox.Checked();
  }
  Name = DecodeNameAs(RawName, CodeMode, static_cast<uint32_t>(Encoding));
  return true;
}
