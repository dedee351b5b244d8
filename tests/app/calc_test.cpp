// The hash calculator driven through the prompts seam, with a clock of the test's own.
#include <windows.h>
#include <commdlg.h>
#include <gtest/gtest.h>

#include <string>

#include "app/calc.h"
#include "document/xmlfile.h"
#include "hash/misc.h"
#include "hash/registry.h"
#include "tests/app/main_fixture.h"
#include "tests/app/scratch.h"
#include "tests/app/testkit.h"

namespace {

constexpr double Ms = 1.0 / 86400000;
const wchar_t Match[] = L"Yes! The calculated hash value match with provided by you";
const wchar_t Mismatch[] = L"Sorry, but calculated hash value different from provided by you";

class CalcTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterStandardClasses(); }
  void TearDown() override {
    SetDefaultHasher("MD5");
    SetDefaultCoder("Hexadecimal");
  }
  std::wstring MakeFile(const std::wstring& name, const std::string& bytes) {
    WriteFileBytes(dir.Path() + L"\\" + name, bytes);
    return dir.Path() + L"\\" + name;
  }
  // Runs the dialog with a fake clock that moves on 300 ms at each reading.
  void Run(TCalcForm& form, std::function<void()> body) {
    form.Now = [this] { return clock += 300 * Ms; };
    script.AnswerDialog([&](ui::Dialog&) {
      body();
      form.CloseButton.Click();
    });
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
    ExpectNoFailures(script);
  }
  static void PostClick(TCalcForm& form) {
    PostMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(IDB_CALC_CALC, BN_CLICKED),
                 reinterpret_cast<LPARAM>(form.CalcButton.Handle()));
  }
  // Clicks Calculate with a second click queued, which the run's first redraw finds.
  static void ClickTwice(TCalcForm& form) {
    PostClick(form);
    form.CalcButton.Click();
  }
  // The one prompt a click on the button opens.
  ui::Prompt Click(ui::Button& button) {
    const size_t before = script.Asked().size();
    button.Click();
    EXPECT_EQ(script.Asked().size(), before + 1);
    return script.Asked().size() == before + 1 ? script.Asked().back() : ui::Prompt();
  }
  static void Choose(ui::ComboBox& box, const std::wstring& item) {
    ASSERT_TRUE(box.Choose(box.FindExact(item))) << ui::ToUtf8(item);
  }

  ScratchDir dir;
  ui::Script script;
  double clock = 46000;
};

std::string Bytes(const char* hex) {
  std::string b;
  for (; hex[0] && hex[1]; hex += 2)
    b += static_cast<char>(std::stoi(std::string(hex, 2), nullptr, 16));
  return b;
}

TEST_F(CalcTest, HashesAFileWithEachTypeAndShowsItInEachEncoding) {
  const std::wstring path = MakeFile(L"abc.txt", "abc");
  const struct {
    const wchar_t* Type;
    const char* Digest;
  } known[] = {{L"MD5", "900150983cd24fb0d6963f7d28e17f72"},
               {L"CRC32", "c2412435"},  // least significant byte first
               {L"SHA1", "a9993e364706816aba3e25717850c26c9cd0d89d"}};
  TCalcForm form(nullptr);
  Run(form, [&] {
    EXPECT_TRUE(form.RFButton.Checked());
    form.RFComboBox.SetText(path);
    for (const auto& k : known) {
      Choose(form.HashBox, k.Type);
      const ui::Prompt done = Click(form.CalcButton);
      EXPECT_EQ(done.Type, ui::MsgType::Information);
      EXPECT_EQ(done.Text.rfind(L"Processed 3 bytes for 0:00.", 0), 0u) << done.Text;
      EXPECT_TRUE(Contains(done.Text, L", with average rate "));
      const std::string digest = Bytes(k.Digest);
      for (const char* coder : {"HEX", "MIME64", "UU", "XX"}) {
        Choose(form.CodeBox, ui::FromUtf8(FindCoder(coder)->DisplayName()));
        std::string text;
        FindCoder(coder)->Encode(digest.data(), static_cast<int32_t>(digest.size()), text);
        EXPECT_EQ(form.HashEdit.Text(), ui::FromUtf8(text)) << k.Type << " " << coder;
      }
      form.CodeBox.Choose(0);
    }
    // The CRC32 value re-encoded from the kept digest.
    Choose(form.HashBox, L"CRC32");
    EXPECT_EQ(form.HashEdit.Text(), L"");
    form.CalcButton.Click();
    EXPECT_EQ(form.HashEdit.Text(), L"C2412435");
    Choose(form.CodeBox, L"MIME Base 64");
    EXPECT_EQ(form.HashEdit.Text().size(), 8u);
    EXPECT_EQ(form.HashEdit.Text().substr(6), L"==");
    // Another hash type drops the digest: no encoding brings a value back.
    Choose(form.HashBox, L"MD5");
    form.CodeBox.Choose(0);
    EXPECT_EQ(form.HashEdit.Text(), L"");
  });
}

TEST_F(CalcTest, ComparesTheTypedValueAsShown) {
  TCalcForm form(nullptr);
  Run(form, [&] {
    form.CompEdit.SetText(L"C2412435");
    ui::Prompt p = Click(form.CompButton);
    EXPECT_EQ(p.Text, L"Please, first calculate the hash value for selected file");
    EXPECT_EQ(p.Type, ui::MsgType::Error);

    Choose(form.HashBox, L"CRC32");
    form.RFComboBox.SetText(MakeFile(L"abc.txt", "abc"));
    form.CalcButton.Click();
    const auto compare = [&](const std::wstring& value) {
      form.CompEdit.SetText(value);
      return Click(form.CompButton);
    };
    p = compare(L" c2412435\t");  // hexadecimal ignores case and the blanks around
    EXPECT_EQ(p.Text, Match);
    EXPECT_EQ(p.Type, ui::MsgType::Information);
    p = compare(L"C2412436");
    EXPECT_EQ(p.Text, Mismatch);
    EXPECT_EQ(p.Type, ui::MsgType::Error);
    EXPECT_EQ(compare(L"C241243").Text, L"Please, select valid encoding for hash values");
    EXPECT_EQ(compare(L"C24124G5").Text, L"Please, first specify the hash value to compare");

    // Base 64 is case-sensitive: a value differing only in case is another value.
    Choose(form.CodeBox, L"MIME Base 64");
    const std::wstring mime = form.HashEdit.Text();
    EXPECT_EQ(compare(mime).Text, Match);
    std::wstring flipped = mime;
    for (wchar_t& c : flipped)
      if (iswalpha(c)) {
        c = iswupper(c) ? towlower(c) : towupper(c);
        break;
      }
    ASSERT_NE(flipped, mime);
    EXPECT_EQ(compare(flipped).Text, Mismatch);
  });
}

TEST_F(CalcTest, AMissingOrEmptyFileNameShowsTheSystemsMessage) {
  TCalcForm form(nullptr);
  Run(form, [&] {
    for (const std::wstring& name : {dir.Path() + L"\\missing.bin", std::wstring()}) {
      form.RFComboBox.SetText(name);
      const ui::Prompt p = Click(form.CalcButton);
      EXPECT_EQ(p.Type, ui::MsgType::Error);
      EXPECT_TRUE(p.Text == SystemErrorText(ERROR_FILE_NOT_FOUND) ||
                  (name.empty() && p.Text == SystemErrorText(ERROR_PATH_NOT_FOUND)))
          << p.Text;
      EXPECT_EQ(form.HashEdit.Text(), L"");
      EXPECT_TRUE(form.HashEdit.Visible() && !form.ProgressBar.Visible());
      EXPECT_EQ(form.Caption(), L"Hash Calculator");
      EXPECT_EQ(form.CalcButton.Text(), L"&Calculate");
      EXPECT_TRUE(form.HashBox.Enabled());
    }
  });
}

// The question comes from the Abort click that the run's first redraw finds queued.
TEST_F(CalcTest, AbortAnsweredNoGoesOnAndTheTimeAnsweringCounts) {
  const std::wstring path = MakeFile(L"big.bin", std::string(64 * HashBlockSize, 'x'));
  TCalcForm form(nullptr);
  wchar_t sep[8] = L".";
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8);
  Run(form, [&] {
    form.RFComboBox.SetText(path);
    script.AnswerMessage([&](const ui::Prompt& p) {
      EXPECT_EQ(p.Text, L"Abort the processing?");
      EXPECT_EQ(p.Buttons, ui::MsgButtons::YesNo);
      EXPECT_TRUE(form.IsRunning());
      EXPECT_EQ(form.CalcButton.Text(), L"Abort");
      EXPECT_EQ(form.HashLabel.Text(), L"Calculating...");
      EXPECT_TRUE(!form.HashEdit.Visible() && form.ProgressBar.Visible());
      EXPECT_EQ(form.ProgressBar.Position(), 15);
      EXPECT_FALSE(form.CloseButton.Enabled() || form.HashBox.Enabled() || form.RFButton.Enabled());
      EXPECT_EQ(form.Caption(), std::wstring(L"64Kbytes (1") + sep + L"5%)  - 0:00.300");
      // Nothing closes the dialog during a run.
      SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
      EXPECT_EQ(form.ModalResult(), 0);
      clock += 1.0 / 24;  // an hour thinking about it
      return IDNO;
    });
    ClickTwice(form);
    ASSERT_EQ(script.Asked().size(), 3u);  // dialog, question, result
    EXPECT_EQ(script.Asked()[2].Text.rfind(L"Processed 4", 0), 0u);
    EXPECT_GT(form.Duration(), 1.0 / 24);
    EXPECT_NE(form.HashEdit.Text(), L"");
    EXPECT_EQ(form.Caption(), L"Hash Calculator");
  });
}

TEST_F(CalcTest, AbortAnsweredYesEndsTheRunWithoutAValue) {
  const std::wstring path = MakeFile(L"big.bin", std::string(64 * HashBlockSize, 'x'));
  TCalcForm form(nullptr);
  Run(form, [&] {
    form.RFComboBox.SetText(path);
    script.AnswerMessage([&](const ui::Prompt&) {
      // A click that arrives before the run has ended starts nothing.
      PostClick(form);
      return IDYES;
    });
    ClickTwice(form);
    ASSERT_EQ(script.Asked().size(), 2u);  // no message after an abort
    EXPECT_FALSE(form.IsRunning());
    EXPECT_EQ(form.HashEdit.Text(), L"");
    EXPECT_TRUE(form.CalcButton.Enabled() && form.RFComboBox.Enabled());
    EXPECT_FALSE(form.PDComboBox.Enabled());
    EXPECT_EQ(form.CalcButton.Text(), L"&Calculate");
    EXPECT_EQ(form.HashLabel.Text(), L"Calculated hash &value");
    // No digest kept: another encoding shows nothing.
    form.CodeBox.Choose(1);
    EXPECT_EQ(form.HashEdit.Text(), L"");
  });
}

TEST_F(CalcTest, SizesDownToItsLeastSizeWithEveryControlInSight) {
  TCalcForm form(nullptr);
  Run(form, [&] {
    const auto resize = [&](int width, int height) {
      SetWindowPos(form.Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
      RECT r;
      GetWindowRect(form.Handle(), &r);
      return SIZE{r.right - r.left, r.bottom - r.top};
    };
    const SIZE least = resize(100, 100);
    EXPECT_EQ(least.cx, 370);
    EXPECT_EQ(least.cy, 200);
    RECT client;
    GetClientRect(form.Handle(), &client);
    const std::pair<ui::Control*, ui::Control*> rows[] = {{&form.PDComboBox, nullptr},
                                                          {&form.RFComboBox, &form.FileButton},
                                                          {&form.CodeBox, &form.CloseButton},
                                                          {&form.HashEdit, &form.CalcButton},
                                                          {&form.CompEdit, &form.CompButton}};
    for (const auto& [field, button] : rows) {
      const RECT last = (button ? button : field)->Bounds();
      EXPECT_LE(last.right, client.right);
      EXPECT_LE(last.bottom, client.bottom);
      if (button) {
        EXPECT_LT(field->Bounds().right, button->Bounds().left);
      }
    }
    // Wider: the value fields take the room, the buttons keep to the right edge.
    const RECT edit = form.HashEdit.Bounds(), calc = form.CalcButton.Bounds();
    resize(least.cx + 100, least.cy);
    EXPECT_EQ(form.HashEdit.Bounds().right, edit.right + 100);
    EXPECT_EQ(form.CalcButton.Bounds().left, calc.left + 100);
  });
}

TEST_F(CalcTest, BrowsingPutsThePickedFileInTheList) {
  const std::wstring path = MakeFile(L"abc.txt", "abc");
  TCalcForm form(nullptr);
  Run(form, [&] {
    form.RFComboBox.SetText(L"old.bin");
    script.AnswerFile(path);
    const ui::FileDialog d = Click(form.FileButton).File;
    EXPECT_EQ(d.Filter, L"All files (*.*)|*.*");
    EXPECT_EQ(d.FileName, L"old.bin");
    EXPECT_TRUE(d.Options & OFN_FILEMUSTEXIST);
    EXPECT_EQ(form.RFComboBox.Text(), path);
  });
}

TEST_F(CalcTest, TheLastChoicesArePreselectedAtTheNextOpening) {
  {
    TCalcForm form(nullptr);
    Run(form, [&] {
      EXPECT_EQ(form.HashBox.Items(), (std::vector<std::wstring>{L"MD5", L"CRC32", L"SHA1"}));
      EXPECT_EQ(form.HashBox.ItemIndex(), 0);
      EXPECT_EQ(form.CodeBox.Item(form.CodeBox.ItemIndex()), L"Hexadecimal");
      form.HashBox.Choose(2);
      Choose(form.CodeBox, L"XX Coding");
    });
  }
  TCalcForm again(nullptr);
  Run(again, [&] {
    EXPECT_EQ(again.HashBox.Item(again.HashBox.ItemIndex()), L"SHA1");
    EXPECT_EQ(again.CodeBox.Item(again.CodeBox.ItemIndex()), L"XX Coding");
  });
}

TEST_F(CalcTest, DriveListsAreFilledWhenAskedForAChoice) {
  TCalcForm form(nullptr);
  Run(form, [&] {
    EXPECT_TRUE(form.LVButton.Click());
    EXPECT_TRUE(form.LVComboBox.Enabled() && !form.RFComboBox.Enabled());
    ui::Prompt p = Click(form.CalcButton);
    EXPECT_EQ(p.Text, L"Please, first select the logical drive!");
    EXPECT_EQ(p.Type, ui::MsgType::Error);
    // Wine's prefix always has C:.
    int c = -1;
    for (int i = 0; i < form.LVComboBox.Count(); ++i) {
      const wchar_t letter = static_cast<wchar_t>(form.LVComboBox.ItemData(i));
      EXPECT_EQ(form.LVComboBox.Item(i).substr(0, 4), std::wstring(1, letter) + L":\\ ");
      if (letter == L'C') c = i;
    }
    ASSERT_GE(c, 0);

    EXPECT_TRUE(form.PDButton.Click());
    EXPECT_FALSE(form.LVComboBox.Enabled());
    EXPECT_EQ(Click(form.CalcButton).Text, L"Please, first select the physical drive!");
    const int n = form.PDComboBox.Count();
    for (int i = 0; i < n; ++i)
      EXPECT_EQ(form.PDComboBox.Item(i), PhysicalDriveText(i, GetPhysicalDriveSize(i)));
    EXPECT_LT(GetPhysicalDriveSize(n), 0);

    // Hashing a whole drive: where the machine refuses, the system's message; where it reads,
    // the queued Abort ends it at the first block.
    form.LVButton.Click();
    form.LVComboBox.Choose(c);
    ExpectNoFailures(script);
    script.Clear();
    script.AnswerMessage(IDYES);
    ClickTwice(form);
    ASSERT_FALSE(script.Asked().empty());
    if (script.Asked()[0].Buttons == ui::MsgButtons::OK) {
      EXPECT_EQ(script.Asked()[0].Type, ui::MsgType::Error);
      script.Clear();
      MSG msg;  // the click meant for the run
      PeekMessageW(&msg, form.Handle(), WM_COMMAND, WM_COMMAND, PM_REMOVE);
    }
    EXPECT_EQ(form.HashEdit.Text(), L"");
    EXPECT_FALSE(form.IsRunning());
  });
}

TEST(CalcText, DurationsAndDriveItems) {
  EXPECT_EQ(FormatDuration(0), L"0:00.000");
  EXPECT_EQ(FormatDuration(3250 * Ms), L"0:03.250");
  EXPECT_EQ(FormatDuration(1.0 / 24), L"60:00.000");
  EXPECT_EQ(FormatDuration(3601000 * Ms), L"1:00:01");
  EXPECT_EQ(FormatDuration(25.0 / 24), L"25:00:00");
  EXPECT_EQ(PhysicalDriveText(0, int64_t{75} << 30), L"#0 - 75Gbytes");
  EXPECT_EQ(PhysicalDriveText(2, 0), L"#2 - 0bytes");
}

}  // namespace

TEST_F(MainFormTest, HashCalcCommandOpensTheCalculatorOverTheWindow) {
  auto f = NewForm();
  HWND owner = nullptr;
  Script.AnswerDialog([&](ui::Dialog& d) {
    owner = d.OwnerWindow();
    static_cast<TCalcForm&>(d).CloseButton.Click();
  });
  EXPECT_TRUE(f->ActionList.Execute(ID_TOOL_CALC));
  EXPECT_EQ(OnlyPrompt(Script).DialogId, IDD_CALC);
  EXPECT_EQ(Script.Asked()[0].Caption, L"Hash Calculator");
  EXPECT_EQ(owner, f->Handle());
}
