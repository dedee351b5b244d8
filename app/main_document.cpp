// Main window: the document routines that the window's lifecycle relies on. The document
// commands' unit completes the ones marked as such.
#include "app/main.h"
#include "app/res/main_res.h"
#include "ui/prompts.h"
#include "ui/strings.h"

bool TMainForm::AskSaveChanges() {
  if (!FileList->Modified) return true;
  switch (ui::MessageDlg(HandleIfCreated(), ui::LoadStr(IDS_ASKSAVE), ui::MsgType::Confirmation,
                         ui::MsgButtons::YesNoCancel)) {
    case IDYES:
      return SaveDocument(false);
    case IDNO:
      return true;
    default:
      return false;
  }
}

void TMainForm::ClearDocument() {
  ListView.SetRowCount(0);
  ViewList.clear();
  FileList->Clear();
  UpdateCaption();
}

// To be completed by the document commands.
bool TMainForm::SaveDocument(bool) {
  return false;
}
void TMainForm::OpenDocument(const std::wstring&) {}
void TMainForm::ShowTips() {}
