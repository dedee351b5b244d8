// The update and verify windows over real temporary trees, driven through the prompts seam: the
// Abort click is posted from inside the run and arrives through the run's own message pumping.
#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "app/update.h"
#include "app/verify.h"
#include "document/passes.h"
#include "hash/registry.h"
#include "tests/app/main_fixture.h"
#include "tests/app/scratch.h"
#include "tests/app/testkit.h"
#include "ui/app.h"
#include "ui/prompts.h"

namespace {

constexpr double Ms = 1.0 / 86400000;

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterStandardClasses(); }
  void TearDown() override { ExpectNoFailures(script); }
  void MakeFile(const std::wstring& rel, const std::string& bytes) {
    const size_t slash = rel.rfind(L'\\');
    if (slash != std::wstring::npos)
      CreateDirectoryW((dir.Path() + L"\\" + rel.substr(0, slash)).c_str(), nullptr);
    WriteFileBytes(dir.Path() + L"\\" + rel, bytes);
  }
  void SetTime(const std::wstring& rel, FILETIME time) {
    HANDLE h = CreateFileW((dir.Path() + L"\\" + rel).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    SetFileTime(h, nullptr, nullptr, &time);
    CloseHandle(h);
  }
  void RewriteKeepingTime(const std::wstring& rel, const std::string& bytes) {
    WIN32_FILE_ATTRIBUTE_DATA old{};
    GetFileAttributesExW((dir.Path() + L"\\" + rel).c_str(), GetFileExInfoStandard, &old);
    MakeFile(rel, bytes);
    SetTime(rel, old.ftLastWriteTime);
  }
  // Shows the window through the script: Init first, then the body, then Close.
  void Show(TProcessForm& form, const std::wstring& path, std::function<void()> body) {
    form.Now = [this] { return clock += 300 * Ms; };
    form.Init(
        nullptr, &doc, [this](ui::Window*) { ++done; }, false);
    script.AnswerDialog([&](ui::Dialog&) {
      if (!path.empty()) form.PathEdit.SetText(path);
      body();
      form.CloseButton.Click();
    });
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
  }
  // The last message shown.
  ui::Prompt Last() { return script.Asked().empty() ? ui::Prompt() : script.Asked().back(); }
  void PostStart(TProcessForm& form) {
    PostMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(IDB_PROCESS_START, BN_CLICKED),
                 reinterpret_cast<LPARAM>(form.StartButton.Handle()));
  }
  // Makes a fresh document of the tree with an update run.
  void UpdateAll() {
    TUpdateForm form(nullptr);
    Show(form, dir.Path(), [&] { form.StartButton.Click(); });
    script.Clear();
    done = 0;
  }
  void ThreeFiles() {
    for (const wchar_t* n : {L"1.txt", L"2.txt", L"3.txt"}) MakeFile(n, "x");
    UpdateAll();
  }
  // Clicks "Abort" when the pass comes to this entry, or once it reads the entry's file: the
  // click arrives at the run's next message pumping.
  void ClickAbortAt(TProcessForm& form, const std::wstring& name, bool whileHashing = false) {
    doc.OnStatus = [=, this, &form, status = doc.OnStatus](const std::wstring& text) {
      if (text == name && !whileHashing) PostStart(form);
      const bool go = status(text);
      if (text == name && whileHashing) PostStart(form);
      return go;
    };
  }
  TFileItem* Item(const std::wstring& name) {
    for (auto& i : doc.Items)
      if (i->FileName == name) return i.get();
    return nullptr;
  }
  // The colours the window gives a static control, asked as Windows asks when painting it.
  static std::pair<COLORREF, COLORREF> PaintColors(ui::Control& c) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, 0x123456);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(c.Handle()), WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(c.Handle())));
    LOGBRUSH lb{};
    GetObjectW(brush, sizeof(lb), &lb);
    COLORREF text = GetTextColor(dc);
    DeleteDC(dc);
    return {lb.lbColor, text};
  }

  ScratchDir dir;
  TFileList doc;
  ui::Script script;
  double clock = 46000;
  int done = 0;
};

TEST_F(ProcessTest, UpdateOfANewDocumentCreatesEntriesAndReportsSuccess) {
  MakeFile(L"a.txt", "abc");
  MakeFile(L"b.bin", std::string(100000, 'b'));
  MakeFile(L"sub\\c.txt", "");
  doc.UpdateHash = "NOSUCH";  // unknown: the window's default stays
  ui::Application::Get().SetTitle(L"Jurnvalt");
  TUpdateForm form(nullptr);
  Show(form, dir.Path(), [&] {
    EXPECT_EQ(
        form.FilesText.Text() + L" " + form.TimesText.Text() + L" " + form.StatusBar.PanelText(0),
        L"0/0/0 --:--.--/--:--.--/--:--.-- Ready...");
    form.OnDone = [&](ui::Window* sender) {
      EXPECT_EQ(sender, &form);
      if (++done > 1) return;
      // After the scan: everything but Abort is disabled, the new entries are in.
      EXPECT_EQ(form.StartButton.Text(), L"Abort");
      EXPECT_TRUE(form.StartButton.Enabled());
      for (ui::Control* c : std::initializer_list<ui::Control*>{&form.CloseButton, &form.PathEdit,
                                                                &form.ModeAllBox, &form.HashBox})
        EXPECT_FALSE(c->Enabled());
      EXPECT_EQ(doc.GetCount(), 3);
      SendMessageW(form.Handle(), WM_CLOSE, 0, 0);  // nothing closes it now
      EXPECT_EQ(form.ModalResult(), 0);
    };
    EXPECT_TRUE(form.StartButton.Click());
  });
  EXPECT_EQ(done, 2);
  ASSERT_EQ(doc.GetCount(), 3);
  EXPECT_EQ(Item(L"a.txt")->HashValue, "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(doc.ListFolder, dir.Path() + L"\\");
  ASSERT_EQ(script.Asked().size(), 2u);
  const ui::Prompt summary = script.Asked()[1];
  EXPECT_EQ(summary.Type, ui::MsgType::Information);
  EXPECT_EQ(summary.Text.rfind(L"Processed 98Kbytes in 3 files for 0:00.0", 0), 0u)
      << ui::ToUtf8(summary.Text);
  EXPECT_TRUE(Contains(summary.Text, L", with average rate "));
  EXPECT_TRUE(summary.Text.ends_with(L"\r\rWithout errors"));
  EXPECT_EQ(form.StatusLabel.Text(), L"SUCCESS");
  EXPECT_EQ(form.FilesText.Text(), L"3/3/0");
  // The panel itself turns green, not only the labels on it.
  EXPECT_EQ(PaintColors(form.InfoShape).first, 0xC0DCC0u);
  EXPECT_EQ(PaintColors(form.FailsText), std::make_pair(COLORREF{0xC0DCC0}, COLORREF{0x008000}));
  // Back to idle.
  EXPECT_FALSE(form.Running);
  EXPECT_EQ(form.Caption(), L"Updating");
  EXPECT_EQ(ui::Application::Get().Title(), L"Jurnvalt");
  EXPECT_EQ(form.StartButton.Text(), L"&Start");
  EXPECT_EQ(form.StatusBar.PanelText(0), L"Ready...");
  EXPECT_EQ(form.StatusBar.PanelText(1), L"");
  EXPECT_EQ(form.PathEdit.Items(), std::vector<std::wstring>{dir.Path() + L"\\"});
}

TEST_F(ProcessTest, VerifyReportsTheErrorsOfChangedAndDeletedFilesWithAndWithoutTheTimeCheck) {
  MakeFile(L"a.txt", "abc");
  MakeFile(L"b.txt", "bbbb");
  MakeFile(L"sub\\c.txt", "c");
  MakeFile(L"d.txt", "dd");
  UpdateAll();
  for (auto& i : doc.Items) i->State = fsNone;  // as a checksum file loads
  // Touched: same bytes, hours newer. Under their old times: other bytes of the same size,
  // which only the hash tells, and more bytes. Deleted.
  FILETIME later;
  GetSystemTimeAsFileTime(&later);
  later.dwHighDateTime += 10;
  SetTime(L"a.txt", later);
  RewriteKeepingTime(L"b.txt", "BBBB");
  RewriteKeepingTime(L"d.txt", "ddd");
  DeleteFileW((dir.Path() + L"\\sub\\c.txt").c_str());
  // With the time box the newer file is an error of the scan: never read, its bytes not counted.
  for (const bool timeBox : {false, true}) {
    script.Clear();
    TVerifyForm form(nullptr);
    Show(form, dir.Path(), [&] {
      EXPECT_TRUE(form.SizeBox.Checked() && !form.TimeBox.Checked());
      if (timeBox) form.TimeBox.Click();
      form.StartButton.Click();
    });
    EXPECT_EQ(doc.VerifyTime, timeBox);
    EXPECT_EQ(Item(L"a.txt")->State, timeBox ? fsUpdated : fsTouched);
    const std::wstring bytes = timeBox ? L"4" : L"7", fails = timeBox ? L"4" : L"3";
    ASSERT_EQ(script.Asked().size(), 2u);
    EXPECT_EQ(Last().Type, ui::MsgType::Error);
    EXPECT_EQ(Last().Text.rfind(L"Processed " + bytes + L"bytes in 4 files for ", 0), 0u)
        << ui::ToUtf8(Last().Text);
    EXPECT_TRUE(Last().Text.ends_with(L"\r\rProblems with " + fails + L" files"));
    EXPECT_EQ(form.BytesText.Text(), bytes + L"/" + bytes + L"/0");
    EXPECT_EQ(form.FilesText.Text() + L" " + form.FailsText.Text(), L"4/4/0 " + fails);
    EXPECT_EQ(form.StatusLabel.Text(), L"ERRORS OCCURED");
    EXPECT_EQ(PaintColors(form.InfoShape).first, 0xCCCCFFu);
    EXPECT_EQ(PaintColors(form.FailsLabel), std::make_pair(COLORREF{0xCCCCFF}, COLORREF{0x0000FF}));
    EXPECT_EQ(PaintColors(form.StatusLabel).second, 0x0000FFu);
  }
}

// Yes ends the run without a summary, also while the last file is read, when the pass has
// nothing left to stop; No goes on, and the time spent answering is not the run's.
TEST_F(ProcessTest, AbortQuestionEndsTheRunOrGoesOn) {
  ThreeFiles();
  TVerifyForm verify(nullptr), verifyLast(nullptr), verifyNo(nullptr);
  TUpdateForm updateLast(nullptr);
  const struct {
    TProcessForm* Form;
    const wchar_t* Entry;
    bool WhileHashing;
    int Answer;
  } rows[] = {{&verify, L"2.txt", false, IDYES},
              {&verifyLast, L"3.txt", true, IDYES},
              {&updateLast, L"3.txt", true, IDYES},
              {&verifyNo, L"2.txt", false, IDNO}};
  for (const auto& r : rows) {
    script.Clear();
    done = 0;
    Show(*r.Form, dir.Path(), [&] {
      ClickAbortAt(*r.Form, r.Entry, r.WhileHashing);
      script.AnswerMessage([&](const ui::Prompt& p) {
        EXPECT_EQ(p.Text, L"Abort the processing?");
        EXPECT_EQ(p.Type, ui::MsgType::Confirmation);
        EXPECT_EQ(p.Buttons, ui::MsgButtons::YesNo);
        EXPECT_TRUE(r.Form->Running);
        EXPECT_EQ(r.Form->StatusBar.PanelText(1), r.Entry);
        clock += 1.0 / 24;  // an hour thinking about it
        // A click arriving before the run has unwound starts nothing.
        if (r.Answer == IDYES) PostStart(*r.Form);
        return r.Answer;
      });
      r.Form->StartButton.Click();
      EXPECT_FALSE(r.Form->Running);
      EXPECT_TRUE(r.Form->StartButton.Enabled() && r.Form->CloseButton.Enabled());
      EXPECT_EQ(r.Form->StartButton.Text(), L"&Start");
      ui::ProcessMessages();
    });
    EXPECT_EQ(done, 2);
    if (r.Answer == IDNO) {
      ASSERT_EQ(script.Asked().size(), 3u);
      EXPECT_EQ(Last().Type, ui::MsgType::Information);
      EXPECT_TRUE(Contains(Last().Text, L" in 3 files for 0:00.0")) << ui::ToUtf8(Last().Text);
      for (auto& i : doc.Items) EXPECT_EQ(i->State, fsOK);
      continue;
    }
    EXPECT_EQ(script.Asked().size(), 2u);  // the window and the question: no summary
    EXPECT_EQ(r.Form->StatusLabel.Text(), L"Processing...");
    // Verify keeps the "New file" of the update until an entry is hashed.
    EXPECT_EQ(Item(L"1.txt")->State, fsOK);
    EXPECT_EQ(Item(L"2.txt")->State, r.WhileHashing ? fsOK : fsNewFile);
    EXPECT_NE(Item(L"3.txt")->State, fsOK);
  }
}

TEST_F(ProcessTest, AnExceptionDuringARunLeavesTheWindowUsableAndIsShown) {
  ThreeFiles();
  TVerifyForm form(nullptr);
  Show(form, dir.Path(), [&] {
    doc.OnStatus = [](const std::wstring&) -> bool { throw std::runtime_error("disk gone"); };
    form.StartButton.Click();
    EXPECT_FALSE(form.Running);
    EXPECT_EQ(form.StartButton.Text(), L"&Start");
    EXPECT_TRUE(form.CloseButton.Enabled());
    EXPECT_EQ(form.Caption(), L"Verifying");
  });
  ASSERT_EQ(script.Asked().size(), 2u);
  EXPECT_EQ(Last().Text, L"disk gone");
  EXPECT_EQ(Last().Type, ui::MsgType::Error);
  EXPECT_EQ(done, 2);  // after the scan and at the end
}

// A folder without access, as the listing reports it.
HANDLE WINAPI DeniedFindFirstFile(LPCWSTR name, LPWIN32_FIND_DATAW data) {
  if (std::wstring(name).find(L"\\locked\\") != std::wstring::npos) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return FindFirstFileW(name, data);
}

TEST_F(ProcessTest, AScanErrorIsAskedAndTheAnswerDecides) {
  MakeFile(L"a.txt", "a");
  MakeFile(L"locked\\x.txt", "x");
  MakeFile(L"z\\y.txt", "y");
  struct Hook {
    Hook() { PassFindFirstFile = DeniedFindFirstFile; }
    ~Hook() { PassFindFirstFile = FindFirstFileW; }
  } hook;
  for (int answer : {IDNO, IDYES}) {
    doc.Clear();
    script.Clear();
    done = 0;
    TUpdateForm form(nullptr);
    Show(form, dir.Path(), [&] {
      script.AnswerMessage(answer);
      form.StartButton.Click();
    });
    ASSERT_EQ(script.Asked().size(), answer == IDNO ? 2u : 3u);  // a summary after Yes
    const ui::Prompt q = script.Asked()[1];
    EXPECT_EQ(q.Text, L"Error occupied when scanning folder " + dir.Path() +
                          L"\\locked\\\rError code 5. Continue processing?");
    EXPECT_EQ(q.Type, ui::MsgType::Error);
    EXPECT_EQ(q.Buttons, ui::MsgButtons::YesNo);
    EXPECT_EQ(Item(L"locked\\x.txt"), nullptr);
    // No stops the scan: what it found stays, nothing is hashed, the rest is not scanned.
    ASSERT_NE(Item(L"a.txt"), nullptr);
    EXPECT_EQ(Item(L"a.txt")->HashValue.empty(), answer == IDNO);
    EXPECT_EQ(Item(L"z\\y.txt") != nullptr, answer == IDYES);
    EXPECT_EQ(done, answer == IDNO ? 1 : 2);
    EXPECT_EQ(form.StatusLabel.Text(), answer == IDNO ? L"Scanning..." : L"SUCCESS");
  }
}

TEST_F(ProcessTest, FolderHistoryMovesARepeatToTheTopIgnoringCaseAndKeepsTwenty) {
  ScratchDir other;
  std::vector<std::wstring> recent;
  for (int i = 0; i < 19; ++i) recent.push_back(L"C:\\f" + std::to_wstring(i) + L"\\");
  std::wstring upper = dir.Path() + L"\\";
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  recent.insert(recent.begin() + 7, upper);
  auto run = [&](const std::wstring& path) {
    TVerifyForm form(nullptr);
    form.Now = [this] { return clock += 300 * Ms; };
    script.AnswerDialog([&](ui::Dialog&) {
      form.PathEdit.SetText(path);
      form.StartButton.Click();
      form.CloseButton.Click();
    });
    RunProcessWindow(form, recent, nullptr, &doc, nullptr, false);
  };
  run(dir.Path());
  ASSERT_EQ(recent.size(), 20u);
  EXPECT_EQ(recent[0], dir.Path() + L"\\");
  EXPECT_EQ(recent[8], L"C:\\f7\\");
  EXPECT_EQ(recent[19], L"C:\\f18\\");
  run(other.Path() + L"\\");
  ASSERT_EQ(recent.size(), 20u);
  EXPECT_EQ(recent[0], other.Path() + L"\\");
  EXPECT_EQ(recent[1], dir.Path() + L"\\");
  EXPECT_EQ(recent[19], L"C:\\f17\\");
  // An empty box starts nothing (it would scan the root of the current drive).
  run(L"");
  EXPECT_EQ(recent[0], other.Path() + L"\\");
  EXPECT_EQ(Last().Text, L"Please, first select the folder to process!");
}

TEST_F(ProcessTest, UpdateOptionsComeFromTheDocumentAndAreWrittenBack) {
  MakeFile(L"a.txt", "abc");
  MakeFile(L"b.dat", "b");
  MakeFile(L"sub\\c.txt", "c");
  doc.UpdateMode = umSize | umHash;
  doc.UpdateMask = L"";
  doc.UpdateHash = "CRC32";
  doc.UpdateCode = "XX";
  doc.UpdateFind = false;
  doc.ListFolder = L"C:\\elsewhere";
  TUpdateForm form(nullptr);
  Show(form, dir.Path(), [&] {
    EXPECT_FALSE(form.ModeAllBox.Checked() || form.ModeTimeBox.Checked());
    EXPECT_TRUE(form.ModeSizeBox.Checked() && form.ModeHashBox.Checked());
    EXPECT_EQ(form.HashBox.Text() + L" " + form.CodeBox.Text(), L"CRC32 XX Coding");
    // Without the new-file scan its options are off.
    for (ui::Control* c : std::initializer_list<ui::Control*>{&form.MaskEdit, &form.RecurseBox,
                                                              &form.HashBox, &form.CodeLabel})
      EXPECT_FALSE(c->Enabled());
    EXPECT_TRUE(form.FindNewBox.Click());
    EXPECT_TRUE(form.HashBox.Enabled());
    form.MaskEdit.SetText(L"*.txt");
    form.RecurseBox.Click();
    form.HashBox.Choose(form.HashBox.FindExact(L"SHA1"));
    form.CodeBox.Choose(form.CodeBox.FindExact(L"MIME Base 64"));
    form.ModeAllBox.Click();
    EXPECT_FALSE(form.ModeSizeBox.Checked() || form.ModeHashBox.Checked());
    form.ModeTimeBox.Click();
    EXPECT_FALSE(form.ModeAllBox.Checked() || form.ModeChanging);
    form.ModeChanging = true;  // the handlers' guard: the clicked box alone changes
    form.ModeAllBox.Click();
    EXPECT_FALSE(form.ModeSizeBox.Checked() || !form.ModeTimeBox.Checked());
    form.ModeAllBox.Click();
    form.ModeChanging = false;
    form.StartButton.Click();
  });
  EXPECT_EQ(doc.UpdateMask, L"*.txt");
  EXPECT_TRUE(!doc.UpdateRecurse && doc.UpdateFind);
  EXPECT_EQ(doc.UpdateHash + " " + doc.UpdateCode, "SHA1 MIME64");
  EXPECT_EQ(doc.UpdateMode, umTime);
  EXPECT_EQ(doc.ListFolder, L"C:\\elsewhere");  // a named folder stays
  EXPECT_EQ(doc.UpdateFolder, L"");             // the window's folder is not the document's
  ASSERT_EQ(doc.GetCount(), 1);
  EXPECT_EQ(doc.Items[0]->FileName, L"a.txt");
  EXPECT_EQ(doc.Items[0]->HashType, "SHA1");
  EXPECT_EQ(doc.Items[0]->HashValue, "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
}

TEST_F(ProcessTest, ARunWithAModeConditionCheckedModifiesTheDocumentEvenWhenUnchanged) {
  for (TUpdateModes mode : {TUpdateModes{umSize | umHash}, TUpdateModes{0}}) {
    doc.UpdateMode = mode;
    doc.UpdateFind = false;
    doc.Modified = false;
    TUpdateForm form(nullptr);
    Show(form, dir.Path(), [&] {
      form.StartButton.Click();
      EXPECT_FALSE(form.HashBox.Enabled());  // the scan's options stay off after a run
    });
    EXPECT_EQ(doc.UpdateMode, mode);
    EXPECT_EQ(doc.Modified, mode != 0);
  }
}

TEST_F(ProcessTest, StartFolderResolvesRelativeFoldersAgainstTheChecksumFile) {
  CreateDirectoryW((dir.Path() + L"\\sub").c_str(), nullptr);
  doc.ListFolder = dir.Path();
  doc.VerifyFolder = L"sub";
  doc.UpdateFolder = L"D:\\x";
  TVerifyForm verify(nullptr);
  TUpdateForm update(nullptr);
  Show(verify, L"", [&] {
    EXPECT_EQ(verify.StartFolder(), dir.Path() + L"\\sub");
    EXPECT_EQ(verify.PathEdit.Text(), dir.Path() + L"\\sub");  // from the tree's selection
    // The tree follows the box without selecting.
    verify.PathEdit.SetText(dir.Path());
    SendMessageW(verify.Handle(), WM_COMMAND, MAKEWPARAM(IDC_PROCESS_PATH, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(verify.PathEdit.Handle()));
    EXPECT_EQ(verify.TreeList.SelectedPath(), dir.Path() + L"\\sub");
    EXPECT_EQ(verify.PathEdit.Text(), dir.Path());
  });
  // Absolute folders are taken as they are; a relative one without a checksum file's folder
  // hangs from the root.
  const std::pair<std::wstring, std::wstring> folders[] = {
      {L"D:\\x", L"D:\\x"}, {L"\\\\server\\share", L"\\\\server\\share"}, {L"", dir.Path()}};
  Show(update, L"", [&] {
    for (const auto& [stored, start] : folders) {
      doc.UpdateFolder = stored;
      EXPECT_EQ(update.StartFolder(), start);
    }
    doc.ListFolder = L"";
    doc.UpdateFolder = L"sub";
    EXPECT_EQ(update.StartFolder(), L"\\sub");
  });
}

TEST_F(ProcessTest, AFolderLongerThanMaxPathIsShownVerifiedAndUpdated) {
  const std::vector<std::wstring> chain = FolderChain(dir.Path(), 6);
  const std::wstring deep = chain.back() + L"\\";
  ASSERT_GT(deep.size(), 300u);
  WriteFileBytes(L"\\\\?\\" + deep + L"a.txt", "abc");
  doc.ListFolder = deep;
  doc.ListFileName = deep + L"sums.#ml";
  AddItem(doc, L"a.txt", "MD5", "HEX", "900150983CD24FB0D6963F7D28E17F72");
  TVerifyForm verify(nullptr);
  Show(verify, L"", [&] {
    EXPECT_EQ(verify.PathEdit.Text(), deep);  // where the tree cannot follow
    verify.StartButton.Click();
    // The tree opened the nearest folder it reaches.
    ASSERT_LT(chain[3].size(), size_t{MAX_PATH});
    ASSERT_TRUE(verify.TreeList.BrowseTo(chain[3], false, true));
    EXPECT_TRUE(SendMessageW(verify.TreeList.Handle(), TVM_GETITEMSTATE,
                             reinterpret_cast<WPARAM>(verify.TreeList.Selected()), TVIS_EXPANDED) &
                TVIS_EXPANDED);
  });
  EXPECT_EQ(Item(L"a.txt")->State, fsOK);
  EXPECT_TRUE(Last().Text.ends_with(L"Without errors")) << ui::ToUtf8(Last().Text);

  WriteFileBytes(L"\\\\?\\" + deep + L"b.txt", "");
  doc.UpdateFind = true;
  TUpdateForm update(nullptr);
  Show(update, L"", [&] {
    EXPECT_EQ(update.PathEdit.Text(), deep);
    update.StartButton.Click();
  });
  ASSERT_NE(Item(L"b.txt"), nullptr);
  EXPECT_EQ(Item(L"b.txt")->HashValue, "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(doc.GetCount(), 2);  // the checksum file's own name is not an entry
}

TEST_F(ProcessTest, StartRefusesAnEmptyOrMissingFolder) {
  MakeFile(L"a.txt", "abc");
  UpdateAll();
  // A file is no folder either, in the update window as in the verify window.
  const std::wstring file = dir.Path() + L"\\a.txt";
  const std::pair<std::wstring, bool> cases[] = {
      {L"", true}, {dir.Path() + L"\\gone", true}, {file, true}, {file, false}};
  for (const auto& [path, verifying] : cases) {
    script.Clear();
    TVerifyForm verify(nullptr);
    TUpdateForm update(nullptr);
    TProcessForm& form = verifying ? static_cast<TProcessForm&>(verify) : update;
    Show(form, L"", [&] {
      form.PathEdit.SetText(path);
      form.StartButton.Click();
      EXPECT_EQ(form.PathEdit.Count(), 0);  // not a folder of the history either
    });
    EXPECT_EQ(done, 0);
    ASSERT_EQ(script.Asked().size(), 2u);
    EXPECT_EQ(Last().Type, ui::MsgType::Error);
    EXPECT_EQ(Last().Text, path.empty() ? L"Please, first select the folder to process!"
                                        : L"Folder \"" + path +
                                              L"\" not found. Please, select an existing folder!");
  }
}

TEST_F(ProcessTest, ATreeFolderAtTheShellsLimitNamesItsWholePath) {
  // The deepest folder the shell can still reach, and its sub-folder, whose path the shell
  // answers cut short or not at all.
  const std::vector<std::wstring> chain = FolderChain(dir.Path(), 6);
  size_t reach = 0;
  while (reach + 1 < chain.size() && chain[reach + 1].size() < MAX_PATH - 1) ++reach;
  ASSERT_GE(chain[reach + 1].size(), size_t{MAX_PATH - 1});
  TVerifyForm form(nullptr);
  Show(form, L"", [&] {
    ASSERT_TRUE(form.TreeList.BrowseTo(chain[reach], true, true));
    EXPECT_EQ(form.PathEdit.Text(), chain[reach]);
    auto child = reinterpret_cast<HTREEITEM>(
        SendMessageW(form.TreeList.Handle(), TVM_GETNEXTITEM, TVGN_CHILD,
                     reinterpret_cast<LPARAM>(form.TreeList.Selected())));
    ASSERT_NE(child, nullptr);
    SendMessageW(form.TreeList.Handle(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(child));
    EXPECT_EQ(form.PathEdit.Text(), chain[reach + 1]);
  });
}

TEST_F(ProcessTest, TextsThrottlesAndProgressPanel) {
  const std::pair<double, const wchar_t*> times[] = {
      {0, L"--:--.--"},        {std::nan(""), L"--:--.--"}, {1.0, L">= 1 day"},
      {3.25, L">= 1 day"},     {307000 * Ms, L"0:05.07"},   {3603000 * Ms, L"1:00.03"},
      {-3000 * Ms, L"0:00.03"}};
  for (const auto& [time, text] : times) EXPECT_EQ(TProcessForm::FormatElapsedTime(time), text);

  TVerifyForm form(nullptr);
  Show(form, L"", [&] {
    EXPECT_EQ(form.GetPercentText(), L"");
    wchar_t sep[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8);
    // The counters redraw at most every quarter second and at each file's last block; the
    // screen follows them at most four times a second.
    form.Running = true;
    form.BytesTotal = form.BytesLeft = 4;
    double now = 200 * Ms;
    form.Now = [&] { return now; };
    EXPECT_TRUE(form.DoProgress(2, false));
    EXPECT_EQ(form.LastRedraw, 0);
    now = 260 * Ms;
    form.DoProgress(1, false);
    EXPECT_EQ(form.LastRedraw, 260 * Ms);
    EXPECT_EQ(form.BytesText.Text(), L"3/4/1");
    EXPECT_EQ(form.Caption(), std::wstring(L"75") + sep + L"0% - ");
    now = 300 * Ms;
    form.DoProgress(1, false);
    EXPECT_EQ(form.LastRedraw, 260 * Ms);
    now = 400 * Ms;
    form.DoProgress(2, true);  // the file grew while it was read
    EXPECT_EQ(form.LastRedraw, 400 * Ms);
    form.DoStatus(L"b.txt");
    EXPECT_EQ(form.BytesText.Text(), L"3/4/1");
    EXPECT_EQ(form.StatusBar.PanelText(1), L"");
    now = 520 * Ms;
    form.DoStatus(L"b.txt");
    EXPECT_EQ(form.StatusBar.PanelText(1), L"b.txt");
    // Past the total: above 100 %, nothing left below zero.
    EXPECT_EQ(form.BytesText.Text(), L"6/4/-");
    EXPECT_EQ(form.Caption(), std::wstring(L"150") + sep + L"0% - ");
    form.Running = false;
    EXPECT_FALSE(form.DoProgress(0, false));

    // The bar fills its share in the highlight colour, the rest inverted, and never leaves its
    // panel.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 120, 20);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    const COLORREF light = GetSysColor(COLOR_HIGHLIGHTTEXT);
    for (const auto& [bytes, fill] : {std::pair{1, 25}, std::pair{6, 100}}) {
      PatBlt(dc, 0, 0, 120, 20, BLACKNESS);
      form.BytesDone = bytes;
      form.StatusBarDrawPanel(form.StatusBar, 0, RECT{0, 0, 100, 20}, dc);
      EXPECT_EQ(GetPixel(dc, 2, 19), GetSysColor(COLOR_HIGHLIGHT));
      EXPECT_EQ(GetPixel(dc, fill - 1, 19), GetSysColor(COLOR_HIGHLIGHT));
      EXPECT_EQ(GetPixel(dc, fill, 19), fill < 100 ? light : RGB(0, 0, 0));
      EXPECT_EQ(GetPixel(dc, 97, 19), fill < 100 ? light : GetSysColor(COLOR_HIGHLIGHT));
      EXPECT_EQ(GetPixel(dc, 110, 19), RGB(0, 0, 0));
    }
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  });
}

// A run of no time leaves the rate out; one of a day or more says so.
TEST_F(ProcessTest, SummaryOfARunOfNoTimeAndOfADayOrMore) {
  MakeFile(L"a.txt", "a");
  UpdateAll();
  const struct {
    double Step;
    const wchar_t *Times, *Summary;
  } runs[] = {{0, L"--:--.--/--:--.--/--:--.--",
               L"Processed 1bytes in 1 files for --:--.--\r\rWithout errors"},
              {1.0, L">= 1 day/>= 1 day/--:--.--",
               L"Processed 1bytes in 1 files for >= 1 day, with average rate 0bytes/sec\r\rWithout "
               L"errors"}};
  for (const auto& r : runs) {
    TVerifyForm form(nullptr);
    Show(form, dir.Path(), [&] {
      form.Now = [&] { return clock += r.Step; };
      form.StartButton.Click();
      EXPECT_EQ(form.TimesText.Text(), r.Times);
      EXPECT_EQ(form.StatusLabel.Text(), L"ALL FILES OK");
      EXPECT_EQ(PaintColors(form.InfoShape).first, 0xC0DCC0u);
      EXPECT_EQ(PaintColors(form.StatusLabel).second, 0x008000u);
    });
    EXPECT_EQ(Last().Text, r.Summary);
  }
}

}  // namespace

TEST_F(MainFormTest, ToolCommandsRunTheWindowsOverTheDocumentAndTheFolderHistory) {
  RegisterStandardClasses();
  ScratchDir tree;
  WriteFileBytes(tree.Path() + L"\\a.txt", "");
  auto f = NewForm();
  f->RecentFolders = {L"C:\\old\\"};
  ui::Application::Get().Idle();
  EXPECT_FALSE(f->Action(ID_TOOL_VERIFY).Enabled());
  EXPECT_TRUE(f->Action(ID_TOOL_UPDATE).Enabled());
  Script.AnswerDialog([&](ui::Dialog& d) {
    EXPECT_EQ(d.OwnerWindow(), f->Handle());
    auto& form = static_cast<TUpdateForm&>(d);
    EXPECT_EQ(form.PathEdit.Items(), std::vector<std::wstring>{L"C:\\old\\"});
    form.PathEdit.SetText(tree.Path());
    form.StartButton.Click();
    EXPECT_EQ(f->ListView.RowCount(), 1);  // refreshed at the end
    form.CloseButton.Click();
  });
  EXPECT_TRUE(f->ActionList.Execute(ID_TOOL_UPDATE));
  EXPECT_EQ(Script.Asked()[0].DialogId, IDD_UPDATE);
  EXPECT_EQ(f->RecentFolders, (std::vector<std::wstring>{tree.Path() + L"\\", L"C:\\old\\"}));
  ASSERT_EQ(f->FileList->GetCount(), 1);
  ui::Application::Get().Idle();
  EXPECT_TRUE(f->Action(ID_TOOL_VERIFY).Enabled());
}
