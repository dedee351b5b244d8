#include "app/update.h"

#include "app/calc.h"
#include "app/main.h"
#include "hash/coders.h"
#include "hash/registry.h"
#include "ui/strings.h"

TUpdateForm::TUpdateForm(HWND Owner) : TProcessForm(IDD_UPDATE, Owner) {
  ModeAllBox.OnClick = [this] { ModeAllBoxClick(); };
  ModeSizeBox.OnClick = ModeTimeBox.OnClick = ModeHashBox.OnClick = [this] { ModeNewBoxClick(); };
  FindNewBox.OnClick = [this] { FindNewBoxClick(); };
}

void TUpdateForm::OnInitDialog() {
  TProcessForm::OnInitDialog();
  FillHasherBox(HashBox);
  FillCoderBox(CodeBox);
}

void TUpdateForm::Init(ui::ListView* AList, TFileList* ADocument, TNotifyEvent AOnDone,
                       bool AAutoStart) {
  TProcessForm::Init(AList, ADocument, std::move(AOnDone), AAutoStart);
  MaskEdit.SetText(Document->UpdateMask);
  RecurseBox.SetChecked(Document->UpdateRecurse);
  FindNewBox.SetChecked(Document->UpdateFind);
  int hash = HashBox.FindExact(ui::FromUtf8(Document->UpdateHash));
  if (hash >= 0) HashBox.SetItemIndex(hash);
  if (TCoderClass coder = FindCoder(Document->UpdateCode)) {
    int code = CodeBox.FindExact(ui::FromUtf8(coder->DisplayName()));
    if (code >= 0) CodeBox.SetItemIndex(code);
  }
  ModeBoxes.Show(Document->UpdateMode);
  UpdateControls();
}

bool TUpdateForm::Prepare(const std::wstring& Folder) {
  // Plain assignment: naming the folder of a new document is not a change to save.
  if (Document->ListFolder.empty()) Document->ListFolder = Folder;
  Document->SetUpdateMask(MaskEdit.Text());
  Document->SetUpdateRecurse(RecurseBox.Checked());
  Document->SetUpdateFind(FindNewBox.Checked());
  Document->SetUpdateHash(ui::ToUtf8(HashBox.Text()));
  if (TCoderClass coder = FindCoderByDisplayName(ui::ToUtf8(CodeBox.Text())))
    Document->SetUpdateCode(coder->CoderName());
  // Built up from none, one condition at a time: a run with a condition checked leaves the
  // document modified even when the mode comes out as it was.
  Document->SetUpdateMode(0);
  const TUpdateModes checked = ModeBoxes.Mode();
  for (TUpdateModes condition : {umSize, umTime, umHash})
    if (checked & condition)
      Document->SetUpdateMode(static_cast<TUpdateModes>(Document->UpdateMode | condition));
  return Document->PrepareUpdate(Folder, BytesTotal, FilesSelected);
}

void TUpdateForm::UpdateControls() {
  const bool find = FindNewBox.Checked();
  for (ui::Control* c :
       {static_cast<ui::Control*>(&MaskLabel), static_cast<ui::Control*>(&MaskEdit),
        static_cast<ui::Control*>(&RecurseBox), static_cast<ui::Control*>(&DefaultBox),
        static_cast<ui::Control*>(&HashLabel), static_cast<ui::Control*>(&HashBox),
        static_cast<ui::Control*>(&CodeLabel), static_cast<ui::Control*>(&CodeBox)})
    c->SetEnabled(find);
}

void TUpdateForm::ModeAllBoxClick() {
  ModeBoxes.AllClick();
}

void TUpdateForm::ModeNewBoxClick() {
  ModeBoxes.ConditionClick();
}

void TUpdateForm::FindNewBoxClick() {
  UpdateControls();
}

std::wstring TUpdateForm::SuccessText() {
  return ui::LoadStr(IDS_UPDATE_SUCCESS);
}

void TMainForm::RunUpdate(bool Auto) {
  TUpdateForm form(Handle());
  RunProcessWindow(
      form, RecentFolders, &ListView, FileList.get(), [this](ui::Window*) { DoRefreshList(); },
      Auto);
}

void TMainForm::ToolUpdateActionExecute() {
  RunUpdate(false);
}
