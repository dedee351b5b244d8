// The update and verify windows over real temporary trees, driven through the prompts seam: the
// Abort click is posted from inside the run and arrives through the run's own message pumping.
#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/update.h"
#include "app/verify.h"
#include "document/passes.h"
#include "hash/registry.h"
#include "tests/app/main_fixture.h"
#include "tests/app/scratch.h"
#include "ui/app.h"
#include "ui/prompts.h"

namespace {

constexpr double Ms = 1.0 / 86400000;

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterStandardClasses(); }
  void TearDown() override {
    for (const std::wstring& f : script.Failures()) ADD_FAILURE() << ui::ToUtf8(f);
  }
  std::wstring MakeFile(const std::wstring& rel, const std::string& bytes) {
    std::wstring path = dir.Path() + L"\\" + rel;
    size_t slash = rel.rfind(L'\\');
    if (slash != std::wstring::npos)
      CreateDirectoryW((dir.Path() + L"\\" + rel.substr(0, slash)).c_str(), nullptr);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return path;
  }
  void RewriteKeepingTime(const std::wstring& rel, const std::string& bytes) {
    const std::wstring path = dir.Path() + L"\\" + rel;
    FILETIME old{};
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    GetFileTime(h, nullptr, nullptr, &old);
    CloseHandle(h);
    MakeFile(rel, bytes);
    h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(h, nullptr, nullptr, &old);
    CloseHandle(h);
  }
  // Shows the window through the script: Init first, then the body, then Close.
  void Show(TProcessForm& form, std::function<void()> body, const std::wstring& path = L"") {
    form.Now = [this] { return clock += 300 * Ms; };
    form.Init(nullptr, &doc, [this](ui::Window*) { ++done; }, false);
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
    Show(form, [&] { form.StartButton.Click(); }, dir.Path());
    script.Clear();
    done = 0;
  }
  void ThreeFiles() {
    for (const wchar_t* n : {L"1.txt", L"2.txt", L"3.txt"}) MakeFile(n, "x");
    UpdateAll();
  }
  // Clicks "Abort" when the pass comes to this entry; the run's pumping delivers the click.
  void ClickAbortAt(TProcessForm& form, const std::wstring& name) {
    doc.OnStatus = [&form, name, status = doc.OnStatus](const std::wstring& text) {
      if (text == name)
        PostMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(IDB_PROCESS_START, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form.StartButton.Handle()));
      return status(text);
    };
  }
  // Clicks "Abort" while the pass reads this entry's file; the redraw's pumping delivers it.
  void ClickAbortWhileHashing(TProcessForm& form, const std::wstring& name) {
    auto current = std::make_shared<std::wstring>();
    doc.OnStatus = [current, status = doc.OnStatus](const std::wstring& text) {
      *current = text;
      return status(text);
    };
    doc.OnProgress = [this, &form, current, name, progress = doc.OnProgress](int32_t bytes,
                                                                            bool last) {
      if (*current == name) PostStart(form);
      current->clear();
      return progress(bytes, last);
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
  ui::Application::Get().SetTitle(L"Jurnvalt");
  TUpdateForm form(nullptr);
  bool checkedDuringRun = false;
  Show(form, [&] {
    EXPECT_EQ(form.StatusLabel.Text(), L"Ready to processing");
    EXPECT_EQ(form.StatusBar.PanelText(0), L"Ready...");
    EXPECT_EQ(form.FilesText.Text(), L"0/0/0");
    EXPECT_EQ(form.TimesText.Text(), L"--:--.--/--:--.--/--:--.--");
    form.OnDone = [&](ui::Window* sender) {
      EXPECT_EQ(sender, &form);
      if (++done > 1) return;
      // After the scan: everything but Abort is disabled, the new entries are in.
      checkedDuringRun = true;
      EXPECT_EQ(form.StatusLabel.Text(), L"Scanning...");
      EXPECT_EQ(form.StartButton.Text(), L"Abort");
      EXPECT_TRUE(form.StartButton.Enabled());
      for (ui::Control* c : {static_cast<ui::Control*>(&form.CloseButton),
                             static_cast<ui::Control*>(&form.PathEdit),
                             static_cast<ui::Control*>(&form.ModeAllBox),
                             static_cast<ui::Control*>(&form.HashBox)})
        EXPECT_FALSE(c->Enabled());
      EXPECT_EQ(doc.GetCount(), 3);
      SendMessageW(form.Handle(), WM_CLOSE, 0, 0);  // nothing closes it now
      EXPECT_EQ(form.ModalResult(), 0);
    };
    EXPECT_TRUE(form.StartButton.Click());
  }, dir.Path());
  EXPECT_TRUE(checkedDuringRun);
  EXPECT_EQ(done, 2);
  ASSERT_EQ(doc.GetCount(), 3);
  for (auto& i : doc.Items) {
    EXPECT_EQ(i->State, fsNewFile);
    EXPECT_EQ(i->HashValue.size(), 32u);
    EXPECT_GT(i->FileTime, 0);
  }
  EXPECT_EQ(Item(L"a.txt")->HashValue, "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_NE(Item(L"sub\\c.txt"), nullptr);
  EXPECT_EQ(doc.ListFolder, dir.Path() + L"\\");
  EXPECT_TRUE(doc.Modified);
  ASSERT_EQ(script.Asked().size(), 2u);
  const ui::Prompt summary = script.Asked()[1];
  EXPECT_EQ(summary.Type, ui::MsgType::Information);
  EXPECT_EQ(summary.Text.rfind(L"Processed 98Kbytes in 3 files for 0:00.0", 0), 0u)
      << ui::ToUtf8(summary.Text);
  EXPECT_NE(summary.Text.find(L", with average rate "), std::wstring::npos);
  EXPECT_EQ(summary.Text.substr(summary.Text.size() - 16), L"\r\rWithout errors");
  EXPECT_EQ(form.StatusLabel.Text(), L"SUCCESS");
  EXPECT_EQ(form.FilesText.Text(), L"3/3/0");
  EXPECT_EQ(form.FailsText.Text(), L"0");
  // Back to idle.
  EXPECT_FALSE(form.Running);
  EXPECT_EQ(form.Caption(), L"Updating");
  EXPECT_EQ(ui::Application::Get().Title(), L"Jurnvalt");
  EXPECT_EQ(form.StartButton.Text(), L"&Start");
  EXPECT_TRUE(form.PathEdit.Enabled());
  EXPECT_EQ(form.StatusBar.PanelText(0), L"Ready...");
  EXPECT_EQ(form.StatusBar.PanelText(1), L"");
  EXPECT_EQ(form.PathEdit.Items(), std::vector<std::wstring>{dir.Path() + L"\\"});
}

TEST_F(ProcessTest, VerifyReportsAllFilesOkThenTheErrorsOfChangedAndDeletedFiles) {
  MakeFile(L"a.txt", "abc");
  MakeFile(L"b.txt", "bbbb");
  MakeFile(L"sub\\c.txt", "c");
  MakeFile(L"d.txt", "dd");
  UpdateAll();
  {
    TVerifyForm form(nullptr);
    Show(form, [&] { form.StartButton.Click(); }, dir.Path());
    EXPECT_EQ(Last().Type, ui::MsgType::Information);
    EXPECT_EQ(form.StatusLabel.Text(), L"ALL FILES OK");
    EXPECT_EQ(form.InfoColor(), 0xC0DCC0);
    EXPECT_EQ(PaintColors(form.InfoShape).first, 0xC0DCC0u);
    EXPECT_EQ(PaintColors(form.FailsText), std::make_pair(COLORREF{0xC0DCC0}, COLORREF{0x008000}));
    EXPECT_EQ(PaintColors(form.StatusLabel).second, 0x008000u);
    for (auto& i : doc.Items) EXPECT_EQ(i->State, fsOK);
  }
  // Touched: same bytes, newer time. Changed: other bytes, same size. Grown. Deleted.
  FILETIME later;
  GetSystemTimeAsFileTime(&later);
  ULARGE_INTEGER t{{later.dwLowDateTime, later.dwHighDateTime}};
  t.QuadPart += 36000000000ull;  // an hour on
  later = {t.LowPart, t.HighPart};
  HANDLE h = CreateFileW((dir.Path() + L"\\a.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  SetFileTime(h, nullptr, nullptr, &later);
  CloseHandle(h);
  // Under their old times: other bytes of the same size, which only the hash tells, and more.
  RewriteKeepingTime(L"b.txt", "BBBB");
  RewriteKeepingTime(L"d.txt", "ddd");
  DeleteFileW((dir.Path() + L"\\sub\\c.txt").c_str());
  script.Clear();
  TVerifyForm form(nullptr);
  Show(form, [&] {
    EXPECT_TRUE(form.SizeBox.Checked());
    EXPECT_FALSE(form.TimeBox.Checked());
    form.StartButton.Click();
  }, dir.Path());
  EXPECT_EQ(Item(L"a.txt")->State, fsTouched);
  EXPECT_EQ(Item(L"b.txt")->State, fsChanged);
  EXPECT_EQ(Item(L"sub\\c.txt")->State, fsNotFound);
  EXPECT_EQ(Item(L"d.txt")->State, fsChanged);
  ASSERT_EQ(script.Asked().size(), 2u);
  EXPECT_EQ(Last().Type, ui::MsgType::Error);
  EXPECT_EQ(Last().Text.rfind(L"Processed 7bytes in 4 files for ", 0), 0u) << ui::ToUtf8(Last().Text);
  EXPECT_EQ(Last().Text.substr(Last().Text.size() - 23), L"\r\rProblems with 3 files");
  EXPECT_EQ(form.StatusLabel.Text(), L"ERRORS OCCURED");
  EXPECT_EQ(form.FailsText.Text(), L"3");
  EXPECT_EQ(form.FilesText.Text(), L"4/4/0");
  EXPECT_EQ(PaintColors(form.InfoShape).first, 0xCCCCFFu);
  EXPECT_EQ(PaintColors(form.FailsLabel), std::make_pair(COLORREF{0xCCCCFF}, COLORREF{0x0000FF}));
  EXPECT_EQ(PaintColors(form.StatusLabel).second, 0x0000FFu);
  EXPECT_FALSE(doc.VerifyTime);
}

TEST_F(ProcessTest, AbortAnsweredNoGoesOnWithoutCountingTheAnsweringTime) {
  ThreeFiles();
  TVerifyForm form(nullptr);
  Show(form, [&] {
    ClickAbortAt(form, L"2.txt");
    script.AnswerMessage([&](const ui::Prompt& p) {
      EXPECT_EQ(p.Text, L"Abort the processing?");
      EXPECT_EQ(p.Type, ui::MsgType::Confirmation);
      EXPECT_EQ(p.Buttons, ui::MsgButtons::YesNo);
      EXPECT_TRUE(form.Running);
      EXPECT_EQ(form.StatusBar.PanelText(1), L"2.txt");
      EXPECT_EQ(form.StatusLabel.Text(), L"Processing...");
      clock += 1.0 / 24;  // an hour thinking about it
      return IDNO;
    });
    form.StartButton.Click();
  }, dir.Path());
  ASSERT_EQ(script.Asked().size(), 3u);
  EXPECT_EQ(Last().Type, ui::MsgType::Information);
  EXPECT_NE(Last().Text.find(L" in 3 files for 0:00.0"), std::wstring::npos)
      << ui::ToUtf8(Last().Text);
  for (auto& i : doc.Items) EXPECT_EQ(i->State, fsOK);
}

TEST_F(ProcessTest, AbortAnsweredYesEndsTheRunWithoutSummary) {
  ThreeFiles();
  TVerifyForm form(nullptr);
  Show(form, [&] {
    ClickAbortAt(form, L"2.txt");
    script.AnswerMessage([&](const ui::Prompt&) {
      PostStart(form);  // a click arriving before the run has unwound starts nothing
      return IDYES;
    });
    form.StartButton.Click();
    EXPECT_FALSE(form.Running);
    EXPECT_TRUE(form.StartButton.Enabled());
    EXPECT_EQ(form.StartButton.Text(), L"&Start");
    EXPECT_TRUE(form.CloseButton.Enabled());
    ui::ProcessMessages();
  }, dir.Path());
  ASSERT_EQ(script.Asked().size(), 2u);  // no summary
  // Verify keeps the "New file" of the update until an entry is hashed.
  EXPECT_EQ(Item(L"1.txt")->State, fsOK);
  EXPECT_EQ(Item(L"2.txt")->State, fsNewFile);
  EXPECT_EQ(Item(L"3.txt")->State, fsNewFile);
  EXPECT_EQ(form.StatusLabel.Text(), L"Processing...");
  EXPECT_EQ(done, 2);
}

TEST_F(ProcessTest, AbortAnsweredYesDuringTheLastFileEndsWithoutSummaryInBothWindows) {
  ThreeFiles();
  TVerifyForm verify(nullptr);
  TUpdateForm update(nullptr);
  for (TProcessForm* form :
       {static_cast<TProcessForm*>(&verify), static_cast<TProcessForm*>(&update)}) {
    script.Clear();
    Show(*form, [&] {
      ClickAbortWhileHashing(*form, L"3.txt");
      script.AnswerMessage(IDYES);
      form->StartButton.Click();
    }, dir.Path());
    EXPECT_EQ(script.Asked().size(), 2u);  // the window and the question: no summary
    EXPECT_EQ(form->StatusLabel.Text(), L"Processing...");
    EXPECT_EQ(Item(L"2.txt")->State, fsOK);
    EXPECT_NE(Item(L"3.txt")->State, fsOK);  // never hashed
  }
}

TEST_F(ProcessTest, AnExceptionDuringARunLeavesTheWindowUsableAndIsShown) {
  ThreeFiles();
  TVerifyForm form(nullptr);
  Show(form, [&] {
    doc.OnStatus = [](const std::wstring&) -> bool { throw std::runtime_error("disk gone"); };
    form.StartButton.Click();
    EXPECT_FALSE(form.Running);
    EXPECT_EQ(form.StartButton.Text(), L"&Start");
    EXPECT_TRUE(form.CloseButton.Enabled());
    EXPECT_EQ(form.Caption(), L"Verifying");
  }, dir.Path());
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
    Show(form, [&] {
      script.AnswerMessage(answer);
      form.StartButton.Click();
    }, dir.Path());
    ASSERT_GE(script.Asked().size(), 2u);
    const ui::Prompt q = script.Asked()[1];
    EXPECT_EQ(q.Text, L"Error occupied when scanning folder " + dir.Path() +
                          L"\\locked\\\rError code 5. Continue processing?");
    EXPECT_EQ(q.Type, ui::MsgType::Error);
    EXPECT_EQ(q.Buttons, ui::MsgButtons::YesNo);
    EXPECT_EQ(Item(L"locked\\x.txt"), nullptr);
    if (answer == IDNO) {
      // The scan stops: what it found stays, nothing is hashed, no summary.
      EXPECT_EQ(script.Asked().size(), 2u);
      EXPECT_EQ(done, 1);
      ASSERT_NE(Item(L"a.txt"), nullptr);
      EXPECT_EQ(Item(L"a.txt")->HashValue, "");
      EXPECT_EQ(Item(L"z\\y.txt"), nullptr);
      EXPECT_EQ(form.StatusLabel.Text(), L"Scanning...");
      EXPECT_TRUE(form.StartButton.Enabled());
    } else {
      EXPECT_EQ(script.Asked().size(), 3u);
      EXPECT_EQ(done, 2);
      ASSERT_NE(Item(L"z\\y.txt"), nullptr);
      EXPECT_EQ(Item(L"z\\y.txt")->State, fsNewFile);
      EXPECT_EQ(form.StatusLabel.Text(), L"SUCCESS");
    }
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
  EXPECT_EQ(recent[1], L"C:\\f0\\");
  EXPECT_EQ(recent[8], L"C:\\f7\\");
  EXPECT_EQ(recent[19], L"C:\\f18\\");
  run(other.Path() + L"\\");
  ASSERT_EQ(recent.size(), 20u);
  EXPECT_EQ(recent[0], other.Path() + L"\\");
  EXPECT_EQ(recent[1], dir.Path() + L"\\");
  EXPECT_EQ(recent[19], L"C:\\f17\\");
  // An empty box is the root of the current drive.
  run(L"");
  EXPECT_EQ(recent[0], L"\\");
}

TEST_F(ProcessTest, ModeBoxesFollowEachOtherAndTheDocument) {
  doc.UpdateMode = umSize | umHash;
  doc.UpdateMask = L"";
  doc.UpdateHash = "CRC32";
  doc.UpdateCode = "XX";
  doc.UpdateFind = false;
  TUpdateForm form(nullptr);
  Show(form, [&] {
    EXPECT_FALSE(form.ModeAllBox.Checked());
    EXPECT_TRUE(form.ModeSizeBox.Checked());
    EXPECT_FALSE(form.ModeTimeBox.Checked());
    EXPECT_TRUE(form.ModeHashBox.Checked());
    EXPECT_EQ(form.MaskEdit.Text(), L"");
    EXPECT_EQ(form.HashBox.Text(), L"CRC32");
    EXPECT_EQ(form.CodeBox.Text(), L"XX Coding");
    // Without the new-file scan its options are off.
    for (ui::Control* c : {static_cast<ui::Control*>(&form.MaskEdit),
                           static_cast<ui::Control*>(&form.RecurseBox),
                           static_cast<ui::Control*>(&form.HashBox),
                           static_cast<ui::Control*>(&form.CodeLabel)})
      EXPECT_FALSE(c->Enabled());
    EXPECT_TRUE(form.FindNewBox.Click());
    EXPECT_TRUE(form.HashBox.Enabled());
    EXPECT_TRUE(form.FindNewBox.Click());
    EXPECT_FALSE(form.HashBox.Enabled());

    form.ModeSizeBox.Click();
    EXPECT_FALSE(form.ModeAllBox.Checked());
    form.ModeHashBox.Click();  // the last one off
    EXPECT_TRUE(form.ModeAllBox.Checked());
    form.ModeTimeBox.Click();
    EXPECT_FALSE(form.ModeAllBox.Checked());
    form.ModeAllBox.Click();
    EXPECT_FALSE(form.ModeTimeBox.Checked());
    form.ModeAllBox.Click();  // unchecking it checks the other three
    EXPECT_TRUE(form.ModeSizeBox.Checked() && form.ModeTimeBox.Checked() &&
                form.ModeHashBox.Checked());
    // After a run the scan options are still off.
    form.StartButton.Click();
    EXPECT_FALSE(form.HashBox.Enabled());
    EXPECT_TRUE(form.ModeAllBox.Enabled());
  }, dir.Path());
  EXPECT_EQ(doc.UpdateMode, umSize | umTime | umHash);
}

TEST_F(ProcessTest, ARunWithAModeConditionCheckedModifiesTheDocumentEvenWhenUnchanged) {
  for (TUpdateModes mode : {TUpdateModes{umSize | umHash}, TUpdateModes{0}}) {
    doc.UpdateMode = mode;
    doc.UpdateFind = false;
    doc.Modified = false;
    TUpdateForm form(nullptr);
    Show(form, [&] { form.StartButton.Click(); }, dir.Path());
    EXPECT_EQ(doc.UpdateMode, mode);
    EXPECT_EQ(doc.Modified, mode != 0);
  }
}

TEST_F(ProcessTest, UpdateOptionsAreWrittenIntoTheDocument) {
  MakeFile(L"a.txt", "abc");
  MakeFile(L"b.dat", "b");
  MakeFile(L"sub\\c.txt", "c");
  doc.UpdateHash = "NOSUCH";  // unknown: the default stays
  doc.ListFolder = L"C:\\elsewhere";
  TUpdateForm form(nullptr);
  Show(form, [&] {
    EXPECT_EQ(form.HashBox.Items(), (std::vector<std::wstring>{L"MD5", L"CRC32", L"SHA1"}));
    EXPECT_EQ(form.HashBox.Text(), L"MD5");
    EXPECT_EQ(form.CodeBox.Text(), L"Hexadecimal");
    EXPECT_TRUE(form.ModeAllBox.Checked());
    form.MaskEdit.SetText(L"*.txt");
    form.RecurseBox.Click();
    form.HashBox.Choose(form.HashBox.FindExact(L"SHA1"));
    form.CodeBox.Choose(form.CodeBox.FindExact(L"MIME Base 64"));
    form.ModeTimeBox.Click();
    form.StartButton.Click();
  }, dir.Path());
  EXPECT_EQ(doc.UpdateMask, L"*.txt");
  EXPECT_FALSE(doc.UpdateRecurse);
  EXPECT_TRUE(doc.UpdateFind);
  EXPECT_EQ(doc.UpdateHash, "SHA1");
  EXPECT_EQ(doc.UpdateCode, "MIME64");
  EXPECT_EQ(doc.UpdateMode, umTime);
  EXPECT_EQ(doc.ListFolder, L"C:\\elsewhere");  // a named folder stays
  EXPECT_EQ(doc.UpdateFolder, L"");             // the window's folder is not the document's
  ASSERT_EQ(doc.GetCount(), 1);
  EXPECT_EQ(doc.Items[0]->FileName, L"a.txt");
  EXPECT_EQ(doc.Items[0]->HashType, "SHA1");
  EXPECT_EQ(doc.Items[0]->HashValue, "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
}

TEST_F(ProcessTest, StartFolderResolvesRelativeFoldersAgainstTheChecksumFile) {
  CreateDirectoryW((dir.Path() + L"\\sub").c_str(), nullptr);
  doc.ListFolder = dir.Path();
  doc.VerifyFolder = L"sub";
  doc.UpdateFolder = L"D:\\x";
  TVerifyForm verify(nullptr);
  TUpdateForm update(nullptr);
  Show(verify, [&] {
    EXPECT_EQ(verify.StartFolder(), dir.Path() + L"\\sub");
    EXPECT_EQ(verify.PathEdit.Text(), dir.Path() + L"\\sub");  // from the tree's selection
    EXPECT_EQ(verify.TreeList.SelectedPath(), dir.Path() + L"\\sub");
    // The tree follows the box without selecting; a selection in the tree fills the box.
    verify.PathEdit.SetText(dir.Path());
    SendMessageW(verify.Handle(), WM_COMMAND, MAKEWPARAM(IDC_PROCESS_PATH, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(verify.PathEdit.Handle()));
    EXPECT_EQ(verify.TreeList.SelectedPath(), dir.Path() + L"\\sub");
    EXPECT_EQ(verify.PathEdit.Text(), dir.Path());
    EXPECT_TRUE(verify.TreeList.BrowseTo(dir.Path(), false, true));
    EXPECT_EQ(verify.PathEdit.Text(), dir.Path());
    EXPECT_FALSE(verify.TreeList.BrowseTo(dir.Path() + L"\\missing", false, true));
    EXPECT_EQ(verify.TreeList.SelectedPath(), dir.Path());
  });
  Show(update, [&] {
    EXPECT_EQ(update.StartFolder(), L"D:\\x");
    doc.UpdateFolder = L"\\\\server\\share";
    EXPECT_EQ(update.StartFolder(), L"\\\\server\\share");
    doc.UpdateFolder = L"";
    EXPECT_EQ(update.StartFolder(), dir.Path());
    doc.ListFolder = L"";
    doc.UpdateFolder = L"sub";
    EXPECT_EQ(update.StartFolder(), L"\\sub");
  });
}

TEST_F(ProcessTest, TextsThrottleAndProgressPanel) {
  EXPECT_EQ(TProcessForm::FormatElapsedTime(0), L"--:--.--");
  EXPECT_EQ(TProcessForm::FormatElapsedTime(std::nan("")), L"--:--.--");
  EXPECT_EQ(TProcessForm::FormatElapsedTime(1.0), L">= 1 day");
  EXPECT_EQ(TProcessForm::FormatElapsedTime((5 * 60 + 7) * 1000 * Ms), L"0:05.07");
  EXPECT_EQ(TProcessForm::FormatElapsedTime((3600 + 3) * 1000 * Ms), L"1:00.03");
  EXPECT_EQ(TProcessForm::FormatElapsedTime(-3000 * Ms), L"0:00.03");

  TVerifyForm form(nullptr);
  Show(form, [&] {
    EXPECT_EQ(form.GetPercentText(), L"");
    form.BytesTotal = 4;
    form.BytesDone = 1;
    wchar_t sep[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8);
    EXPECT_EQ(form.GetPercentText(), std::wstring(L"25") + sep + L"0%");

    // At most one redraw per 0.25 second, and one at each file's last block.
    form.Running = true;
    form.StartTime = 0;
    form.LastRedraw = 0;
    double now = 200 * Ms;
    form.Now = [&] { return now; };
    EXPECT_TRUE(form.DoProgress(1, false));
    EXPECT_EQ(form.LastRedraw, 0);
    now = 260 * Ms;
    form.DoProgress(1, false);
    EXPECT_EQ(form.LastRedraw, 260 * Ms);
    now = 300 * Ms;
    form.DoProgress(1, false);
    EXPECT_EQ(form.LastRedraw, 260 * Ms);
    form.DoProgress(-3, true);
    EXPECT_EQ(form.LastRedraw, 300 * Ms);
    EXPECT_EQ(form.BytesDone, 1);
    EXPECT_EQ(form.BytesLeft, 0);
    form.Running = false;
    EXPECT_FALSE(form.DoProgress(0, false));

    // The bar fills a quarter in the highlight colour, the rest inverted.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 100, 20);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    form.StatusBarDrawPanel(form.StatusBar, 0, RECT{0, 0, 100, 20}, dc);
    EXPECT_EQ(GetPixel(dc, 2, 19), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(GetPixel(dc, 24, 19), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(GetPixel(dc, 25, 19), GetSysColor(COLOR_HIGHLIGHTTEXT));
    EXPECT_EQ(GetPixel(dc, 97, 19), GetSysColor(COLOR_HIGHLIGHTTEXT));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  });
}

TEST_F(ProcessTest, ARunOfNoTimeLeavesTheRateOut) {
  TVerifyForm form(nullptr);
  Show(form, [&] {
    form.Now = [] { return 46000.0; };
    form.StartButton.Click();
  }, dir.Path());
  EXPECT_EQ(Last().Text, L"Processed 0bytes in 0 files for --:--.--\r\rWithout errors");
}

}  // namespace

TEST_F(MainFormTest, ToolCommandsRunTheWindowsOverTheDocumentAndTheFolderHistory) {
  RegisterStandardClasses();
  ScratchDir tree;
  HANDLE h = CreateFileW((tree.Path() + L"\\a.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, 0, nullptr);
  CloseHandle(h);
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

  // The automatic verify starts by itself when the window shows.
  Script.Clear();
  Script.AnswerDialog([&](ui::Dialog& d) {
    ui::ProcessMessages();
    EXPECT_EQ(static_cast<TVerifyForm&>(d).StatusLabel.Text(), L"ALL FILES OK");
    static_cast<TVerifyForm&>(d).CloseButton.Click();
  });
  f->RunVerify(true);
  ASSERT_EQ(Script.Asked().size(), 2u);
  EXPECT_EQ(Script.Asked()[0].DialogId, IDD_VERIFY);
  EXPECT_EQ(f->FileList->Items[0]->State, fsOK);
}
