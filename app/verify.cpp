#include "app/verify.h"

#include "app/main.h"
#include "ui/strings.h"

TVerifyForm::TVerifyForm(HWND Owner) : TProcessForm(IDD_VERIFY, Owner) {}

bool TVerifyForm::Prepare(const std::wstring& Folder) {
  Document->SetVerifyTime(TimeBox.Checked());
  Document->SetVerifySize(SizeBox.Checked());
  return Document->PrepareVerify(Folder, BytesTotal, FilesSelected);
}

void TVerifyForm::Init(ui::ListView* AList, TFileList* ADocument, TNotifyEvent AOnDone,
                       bool AAutoStart) {
  TProcessForm::Init(AList, ADocument, std::move(AOnDone), AAutoStart);
  SizeBox.SetChecked(Document->VerifySize);
  TimeBox.SetChecked(Document->VerifyTime);
}

std::wstring TVerifyForm::SuccessText() {
  return ui::LoadStr(IDS_VERIFY_ALLOK);
}

void TMainForm::RunVerify(bool Auto) {
  TVerifyForm form(Handle());
  RunProcessWindow(form, RecentFolders, &ListView, FileList.get(), [this](ui::Window*) { DoRefreshList(); }, Auto);
}

void TMainForm::ToolVerifyActionExecute() {
  RunVerify(false);
}

void TMainForm::ToolVerifyActionUpdate(ui::Action& A) {
  // Also asked while the window is being built, before the document exists.
  A.SetEnabled(FileList && FileList->GetCount() > 0);
}
