#include "app/props.h"

#include <string>
#include <vector>

#include "app/calc.h"
#include "document/data.h"
#include "hash/registry.h"
#include "ui/strings.h"

namespace {

// Hash and encoding names are ASCII.
std::wstring Widen(const std::string& s) {
  return ui::FromUtf8(s);
}

std::string Narrow(const std::wstring& s) {
  return ui::ToUtf8(s);
}

}  // namespace

TPropsForm::TPropsForm(HWND Owner) : Dialog(IDD_PROPS, Owner) {
  Handle();
}

void TPropsForm::OnInitDialog() {
  PageControl.AddPage(
      ui::LoadStr(IDS_PROPS_UPDATEPAGE),
      {IDT_PROPS_UPDATEFOLDER, IDC_PROPS_UPDATEFOLDER, IDT_PROPS_MASK, IDC_PROPS_MASK,
       IDC_PROPS_RECURSE, IDC_PROPS_FINDNEW, IDT_PROPS_DEFAULTS, IDT_PROPS_HASH, IDC_PROPS_HASH,
       IDT_PROPS_CODE, IDC_PROPS_CODE, IDT_PROPS_MODE, IDC_PROPS_MODEALL, IDC_PROPS_MODESIZE,
       IDC_PROPS_MODETIME, IDC_PROPS_MODEHASH});
  PageControl.AddPage(
      ui::LoadStr(IDS_PROPS_VERIFYPAGE),
      {IDT_PROPS_VERIFYFOLDER, IDC_PROPS_VERIFYFOLDER, IDC_PROPS_SIZE, IDC_PROPS_TIME});
  PageControl.SetActivePage(VerifyPage);

  ModeAllBox.OnClick = [this] { ModeAllBoxClick(); };
  ModeSizeBox.OnClick = [this] { ModeNewBoxClick(); };
  ModeTimeBox.OnClick = [this] { ModeNewBoxClick(); };
  ModeHashBox.OnClick = [this] { ModeNewBoxClick(); };

  FillHasherBox(HashBox);
  FillCoderBox(CodeBox);
}

void TPropsForm::SetDocument(TFileList* ADocument) {
  Document = ADocument;
  LoadFromDocument();
}

void TPropsForm::LoadFromDocument() {
  UpdateFolderEdit.SetText(Document->UpdateFolder);
  MaskEdit.SetText(Document->UpdateMask);
  RecurseBox.SetChecked(Document->UpdateRecurse);
  FindNewBox.SetChecked(Document->UpdateFind);
  HashBox.SetItemIndex(HashBox.FindExact(Widen(Document->UpdateHash)));
  if (TCoderClass coder = FindCoder(Document->UpdateCode))
    CodeBox.SetItemIndex(CodeBox.FindExact(Widen(coder->DisplayName())));
  ModeBoxes.Show(Document->UpdateMode);
  VerifyFolderEdit.SetText(Document->VerifyFolder);
  SizeBox.SetChecked(Document->VerifySize);
  TimeBox.SetChecked(Document->VerifyTime);
}

void TPropsForm::SaveToDocument() {
  Document->SetUpdateFolder(UpdateFolderEdit.Text());
  Document->SetUpdateMask(MaskEdit.Text());
  Document->SetUpdateRecurse(RecurseBox.Checked());
  Document->SetUpdateFind(FindNewBox.Checked());
  int hash = HashBox.ItemIndex();
  Document->SetUpdateHash(hash >= 0 ? Narrow(HashBox.Item(hash)) : std::string());
  int code = CodeBox.ItemIndex();
  if (code >= 0)
    if (TCoderClass coder = FindCoderByDisplayName(Narrow(CodeBox.Item(code))))
      Document->SetUpdateCode(coder->CoderName());
  Document->SetUpdateMode(ModeBoxes.Mode());
  Document->SetVerifyFolder(VerifyFolderEdit.Text());
  Document->SetVerifyTime(TimeBox.Checked());
  Document->SetVerifySize(SizeBox.Checked());
}

void TPropsForm::ModeAllBoxClick() {
  ModeBoxes.AllClick();
}

void TPropsForm::ModeNewBoxClick() {
  ModeBoxes.ConditionClick();
}
