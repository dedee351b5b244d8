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

TEST_F(CalcTest, HashesAFileShowsTheDigestInEachEncodingAndComparesATypedValue) {
  const std::wstring path = MakeFile(L"abc.txt", "abc");
  TCalcForm form(nullptr);
  Run(form, [&] {
    const auto compare = [&](const std::wstring& value) {
      form.CompEdit.SetText(value);
      return Click(form.CompButton);
    };
    EXPECT_EQ(compare(L"C2412435").Text,
              L"Please, first calculate the hash value for selected file");
    EXPECT_TRUE(form.RFButton.Checked());
    EXPECT_EQ(form.HashBox.Text() + L" " + form.CodeBox.Text(), L"MD5 Hexadecimal");
    form.RFComboBox.SetText(L"old.bin");
    script.AnswerFile(path);
    const ui::FileDialog d = Click(form.FileButton).File;
    EXPECT_EQ(d.Filter, L"All files (*.*)|*.*");
    EXPECT_EQ(d.FileName, L"old.bin");
    EXPECT_TRUE(d.Options & OFN_FILEMUSTEXIST);
    EXPECT_EQ(form.RFComboBox.Text(), path);
    const std::pair<const wchar_t*, const wchar_t*> known[] = {
        {L"MD5", L"900150983CD24FB0D6963F7D28E17F72"},
        {L"SHA1", L"A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {L"CRC32", L"C2412435"}};  // least significant byte first
    for (const auto& [type, hex] : known) {
      Choose(form.HashBox, type);
      EXPECT_EQ(form.HashEdit.Text(), L"");
      const ui::Prompt done = Click(form.CalcButton);
      EXPECT_EQ(done.Type, ui::MsgType::Information);
      EXPECT_EQ(done.Text.rfind(L"Processed 3 bytes for 0:00.", 0), 0u) << done.Text;
      EXPECT_TRUE(Contains(done.Text, L", with average rate "));
      EXPECT_EQ(form.HashEdit.Text(), hex);
    }
    // The kept digest shown in each encoding at once.
    const std::pair<const wchar_t*, const wchar_t*> encoded[] = {{L"UU Coding", L"$PD$D-0``"},
                                                                 {L"XX Coding", L"2kY2YBE++"},
                                                                 {L"MIME Base 64", L"wkEkNQ=="},
                                                                 {L"Hexadecimal", L"C2412435"}};
    for (const auto& [coder, text] : encoded) {
      Choose(form.CodeBox, coder);
      EXPECT_EQ(form.HashEdit.Text(), text);
    }
    ui::Prompt p = compare(L" c2412435\t");  // hexadecimal ignores case and the blanks around
    EXPECT_EQ(p.Text, Match);
    EXPECT_EQ(p.Type, ui::MsgType::Information);
    p = compare(L"C2412436");
    EXPECT_EQ(p.Text, Mismatch);
    EXPECT_EQ(p.Type, ui::MsgType::Error);
    EXPECT_EQ(compare(L"C241243").Text, L"Please, select valid encoding for hash values");
    EXPECT_EQ(compare(L"C24124G5").Text, L"Please, first specify the hash value to compare");
    // Base 64 is case-sensitive: a value differing only in case is another value.
    Choose(form.CodeBox, L"MIME Base 64");
    EXPECT_EQ(compare(L"wkEkNQ==").Text, Match);
    EXPECT_EQ(compare(L"wKEkNQ==").Text, Mismatch);
    // Another hash type drops the digest: no encoding brings a value back.
    Choose(form.HashBox, L"SHA1");
    EXPECT_EQ(form.HashEdit.Text(), L"");
    Choose(form.CodeBox, L"XX Coding");
    EXPECT_EQ(form.HashEdit.Text(), L"");
  });
  // The last choices are preselected at the next opening.
  TCalcForm again(nullptr);
  Run(again,
      [&] { EXPECT_EQ(again.HashBox.Text() + L" " + again.CodeBox.Text(), L"SHA1 XX Coding"); });
}

// The question comes from the Abort click that the run's first redraw finds queued.
TEST_F(CalcTest, AbortAnsweredNoGoesOnAndTheTimeAnsweringCountsYesEndsWithoutAValue) {
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

    script.AnswerMessage([&](const ui::Prompt&) {
      PostClick(form);  // a click that arrives before the run has ended starts nothing
      return IDYES;
    });
    ClickTwice(form);
    ASSERT_EQ(script.Asked().size(), 4u);  // no message after an abort
    EXPECT_FALSE(form.IsRunning());
    EXPECT_EQ(form.HashEdit.Text(), L"");
    EXPECT_TRUE(form.CalcButton.Enabled() && form.RFComboBox.Enabled());
    EXPECT_FALSE(form.PDComboBox.Enabled());
    EXPECT_EQ(form.CalcButton.Text(), L"&Calculate");
    EXPECT_EQ(form.HashLabel.Text(), L"Calculated hash &value");
    form.CodeBox.Choose(1);  // no digest kept: another encoding shows nothing
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

// A file that cannot be opened shows the system's message; a drive source asks for a drive.
TEST_F(CalcTest, ASourceThatIsMissingOrNotChosenShowsAMessage) {
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
      EXPECT_EQ(form.Caption() + L" " + form.CalcButton.Text(), L"Hash Calculator &Calculate");
    }
    EXPECT_TRUE(form.LVButton.Click());
    EXPECT_TRUE(form.LVComboBox.Enabled() && !form.RFComboBox.Enabled());
    const ui::Prompt p = Click(form.CalcButton);
    EXPECT_EQ(p.Text, L"Please, first select the logical drive!");
    EXPECT_EQ(p.Type, ui::MsgType::Error);
    // The question drops the list down, which fills it; Wine's prefix always has C:.
    bool c = false;
    for (int i = 0; i < form.LVComboBox.Count(); ++i)
      c = c ||
          (form.LVComboBox.Item(i).starts_with(L"C:\\ ") && form.LVComboBox.ItemData(i) == 'C');
    EXPECT_TRUE(c);
    EXPECT_TRUE(form.PDButton.Click());
    EXPECT_FALSE(form.LVComboBox.Enabled());
    EXPECT_EQ(Click(form.CalcButton).Text, L"Please, first select the physical drive!");
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
