// The document commands through the system's own file dialog, driven as a user drives it: where
// it opens for a folder too long for it, and what becomes of a typed name too long for it.
#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/res/main_res.h"
#include "tests/app/main_fixture.h"
#include "tests/app/testkit.h"
#include "ui/prompts.h"
#include "ui/shaping.h"

namespace {

// A question the dialog answers about itself (CDM_GETFOLDERPATH, CDM_GETSPEC).
std::wstring Ask(HWND dialog, UINT msg) {
  const LRESULT size = SendMessageW(dialog, msg, 0, 0);
  std::wstring text(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
  SendMessageW(dialog, msg, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

void Cancel(HWND dialog) {
  SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
}

void TypeAndSave(HWND dialog, const std::wstring& name) {
  SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(name.c_str()));
  SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

class FileDialogTest : public MainFormTest {
 protected:
  void SetUp() override {
    F = NewForm();
    AddItem(*F->FileList, L"kept.txt");
    F->FileList->Modified = true;
  }
  std::vector<ui::Prompt> Messages() const {
    std::vector<ui::Prompt> v;
    for (const ui::Prompt& p : Dialogs.Asked())
      if (p.Kind == ui::PromptKind::Message) v.push_back(p);
    return v;
  }
  std::unique_ptr<TMainForm> F;
  ui::Script Dialogs;  // file dialogs driven for real, message boxes answered
};

TEST_F(FileDialogTest, TheDialogOpensInTheDocumentsFolderOrSaysThatItCannot) {
  const std::vector<std::wstring> chain = FolderChain(Dir.Path(), 6);
  ASSERT_LT(chain[3].size(), 240u);
  ASSERT_GT(chain[4].size(), 260u);
  ASSERT_GT(chain[5].size(), 300u);
  // Room for the folder in the dialog, not for the proposed name beside it.
  const std::wstring tight = chain[3] + L"\\" + std::wstring(250 - chain[3].size() - 1, L'x');
  CreateDirectoryW(tight.c_str(), nullptr);
  struct Case {
    std::wstring Folder, Shown;
    bool Told;
  } cases[] = {{chain[5], chain[3], true}, {tight, tight, false}, {chain[1], chain[1], false}};
  for (const Case& c : cases) {
    Dialogs.Clear();
    F->FileList->ListFolder = c.Folder + L"\\";
    std::wstring shown, name;
    Dialogs.DriveFile([&](HWND d) {
      shown = Ask(d, CDM_GETFOLDERPATH);
      name = Ask(d, CDM_GETSPEC);
      Cancel(d);
    });
    F->PerformCommand(ID_FILE_SAVE);
    EXPECT_EQ(shown, c.Shown);
    EXPECT_EQ(name, L"jurnvalt.#ml");
    ASSERT_EQ(Messages().size(), c.Told ? 1u : 0u) << ui::ToUtf8(c.Folder);
    if (c.Told) {
      EXPECT_EQ(Messages()[0].Text,
                L"The file dialog cannot show the folder of this checksum file: its path is too "
                L"long. The dialog opens in the nearest folder above it.");
    }
  }
  EXPECT_TRUE(F->FileList->ListFileName.empty());

  // Save in the folder the dialog shows.
  Dialogs.Clear();
  Dialogs.DriveFile([](HWND d) { SendMessageW(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); });
  F->PerformCommand(ID_FILE_SAVE);
  EXPECT_EQ(F->FileList->ListFileName, chain[1] + L"\\jurnvalt.#ml");
  EXPECT_NE(ReadFileBytes(chain[1] + L"\\jurnvalt.#ml").find("kept.txt"), std::string::npos);
  EXPECT_TRUE(Dialogs.Failures().empty());
}

TEST_F(FileDialogTest, OpenStartsAboveAFolderTooLongForTheDialog) {
  const std::vector<std::wstring> chain = FolderChain(Dir.Path(), 6);
  F->FileList->ListFolder = chain[5] + L"\\";
  F->FileList->Modified = false;
  std::wstring shown;
  Dialogs.DriveFile([&](HWND d) {
    shown = Ask(d, CDM_GETFOLDERPATH);
    Cancel(d);
  });
  F->PerformCommand(ID_FILE_OPEN);
  EXPECT_EQ(shown, chain[3]);
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(Dialogs.Failures().empty());
}

// Wine's dialog joins its folder and the typed name in MAX_PATH characters; a longer name used
// to overrun that buffer and take the program down with the unsaved document.
TEST_F(FileDialogTest, ANameTooLongForWinesDialogIsRefusedAndTheDocumentStaysToBeSaved) {
  if (!ui::OnWine()) GTEST_SKIP() << "Windows' own dialog checks the names";
  const std::wstring folder = Dir.Path() + L"\\";
  F->FileList->ListFolder = folder;
  // Folder and name fill the dialog's 259 characters, extension included.
  const size_t room = MAX_PATH - 1 - folder.size();
  const std::wstring fits = std::wstring(room - 4, L'F') + L".#ml";
  const std::wstring refused[] = {
      std::wstring(245, L'L') + L".#ml",       // 249 characters
      std::wstring(296, L'L') + L".#ml",       // 300
      std::wstring(room - 3, L'G') + L".#ml",  // one too many
      std::wstring(room - 3, L'H'),            // fits until the dialog adds ".#ml"
  };
  std::vector<bool> open;
  Dialogs.DriveFile([&](HWND d) {
    for (const std::wstring& name : refused) {
      TypeAndSave(d, name);
      open.push_back(IsWindowVisible(d) != FALSE);
    }
    TypeAndSave(d, fits);
  });
  F->PerformCommand(ID_FILE_SAVEAS);
  EXPECT_EQ(open, std::vector<bool>(std::size(refused), true));
  ASSERT_EQ(Messages().size(), std::size(refused));
  for (const ui::Prompt& p : Messages()) {
    EXPECT_EQ(p.Type, ui::MsgType::Error);
    EXPECT_EQ(p.Text,
              L"The file name is too long: folder and name together may have at most "
              L"259 characters here, which leaves " +
                  std::to_wstring(room) +
                  L" for a name in this folder. Please, enter a shorter name or choose "
                  L"another folder");
  }
  EXPECT_EQ(F->FileList->ListFileName, folder + fits);
  EXPECT_FALSE(F->FileList->Modified);
  EXPECT_NE(ReadFileBytes(folder + fits).find("kept.txt"), std::string::npos);
  EXPECT_TRUE(Dialogs.Failures().empty());
}

}  // namespace
