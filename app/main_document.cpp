// Main window: the document routines: the save question, save, clear, open and import, and the
// status line that reports them.
#include "app/main.h"

#include <cmath>

#include "app/calc.h"
#include "app/dlgconv.h"
#include "app/doccmds.h"
#include "app/res/doccmds_res.h"
#include "app/res/main_res.h"
#include "document/stream.h"
#include "ui/app.h"
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

bool TMainForm::SaveDocument(bool AskName) {
  std::wstring name = FileList->ListFileName;
  if (AskName || name.empty()) {
    if (name.empty()) name = FileList->ListFolder + ui::LoadStr(IDS_DOC_DEFNAME);
    if (!AskChecksumFileName(HandleIfCreated(), name)) return false;
  }
  StatusBar.SetSimpleText(ui::Format(ui::LoadStr(IDS_DOC_SAVING), {name}));
  ui::ProcessMessages();
  const double start = LocalNow();
  try {
    FileList->SaveToXML(name);
  } catch (...) {
    ShowStatus(LocalNow() - start);
    throw;
  }
  ShowStatus(LocalNow() - start);
  if (name != FileList->ListFileName) {
    FileList->ListFileName = name;
    FileList->ListFolder = FolderOf(name);
  }
  UpdateCaption();
  return true;
}

void TMainForm::OpenDocument(const std::wstring& FileName) {
  StatusBar.SetSimpleText(ui::Format(ui::LoadStr(IDS_DOC_LOADING), {FileName}));
  ui::ProcessMessages();
  double elapsed = 0;
  try {
    // The first bytes decide; a file that cannot be opened fails before anything else.
    std::string head;
    {
      TFileStream file(FileName, fmOpenRead);
      char buffer[16];
      head.assign(buffer, file.Read(buffer, sizeof(buffer)));
    }
    if (IsChecksumFileHead(head)) {
      // Read into a document of its own, so that a failed load never shows half a file; the
      // one shown goes all the same (the save question came first).
      auto loaded = std::make_unique<TFileList>();
      const double start = LocalNow();
      std::wstring message;
      int32_t column = 0, line = 0;
      bool done = false;
      try {
        done = loaded->LoadFromXML(FileName, UseMSSAX, message, column, line);
      } catch (...) {
        ClearDocument();
        throw;
      }
      if (done) {
        elapsed = LocalNow() - start;
        loaded->ListFileName = FileName;
        loaded->ListFolder = FolderOf(FileName);
        ShowDocument(std::move(loaded));
      } else {
        ClearDocument();
        // XML of another kind has no fault whose place could be named; the file is named instead.
        const std::wstring text =
            message.empty() ? ui::Format(ui::LoadStr(IDS_DOC_NOTCHECKSUM), {FileName})
                            : ui::Format(ui::LoadStr(IDS_DOC_XMLERROR),
                                         {message, std::to_wstring(line), std::to_wstring(column)});
        ui::MessageDlg(HandleIfCreated(), text, ui::MsgType::Error, ui::MsgButtons::OK);
      }
    } else {
      ImportTextFile(FileName);
    }
  } catch (...) {
    ShowStatus(elapsed);
    throw;
  }
  ShowStatus(elapsed);
}

void TMainForm::ImportTextFile(const std::wstring& FileName) {
  ImportCodeSkip = CodeSkip;
  auto imported = std::make_unique<TFileList>();
  imported->OnConvertName = [this](const std::string& RawName, std::wstring& Name) {
    return QueryImportCodePage(RawName, Name);
  };
  TFileStream file(FileName, fmOpenRead);  // a file that cannot be opened changes nothing
  // From here on a failure leaves an empty document, as a rejected checksum file does.
  bool done = false;
  try {
    done = imported->ImportTextList(file);  // false: the user ended it
  } catch (...) {
    ClearDocument();
    throw;
  }
  if (!done || imported->GetCount() == 0) {
    ClearDocument();
    if (done)
      ui::MessageDlg(HandleIfCreated(), ui::Format(ui::LoadStr(IDS_DOC_NOENTRIES), {FileName}),
                     ui::MsgType::Error, ui::MsgButtons::OK);
    return;
  }
  imported->ListFolder = FolderOf(FileName);
  ShowDocument(std::move(imported));
}

void TMainForm::ShowDocument(std::unique_ptr<TFileList> Document) {
  ListView.SetRowCount(0);
  ViewList.clear();
  FileList = std::move(Document);
  UpdateCaption();
  RefreshList();
}

bool TMainForm::QueryImportCodePage(const std::string& RawName, std::wstring& Name) {
  return DecodeImportedName(RawName, Name, ImportCodeSkip, CodeSkip, CodeMode, Encoding, ShowCode);
}

void TMainForm::ShowStatus(double Elapsed) {
  if (FileList->GetCount() == 0) {
    StatusBar.SetSimpleText(L"");
    return;
  }
  std::wstring text =
      ui::Format(ui::LoadStr(IDS_DOC_ITEMS), {std::to_wstring(FileList->GetCount())});
  if (Elapsed > 0) {
    if (Elapsed * 24 * 60 * 60 * 1000 >= 1)
      text = ui::Format(ui::LoadStr(IDS_DOC_FOR), {text, FormatElapsed(Elapsed)});
    else
      text = ui::Format(ui::LoadStr(IDS_DOC_FORLESS), {text});
  }
  StatusBar.SetSimpleText(text);
}
