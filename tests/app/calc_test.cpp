// The hash calculator driven through the prompts seam, with a clock of the test's own.
#include <windows.h>
#include <commdlg.h>
#include <gtest/gtest.h>

#include <string>

#include "app/calc.h"
#include "document/xmlfile.h"
#include "hash/misc.h"
#include "hash/registry.h"
#include "scratch.h"
#include "tests/app/main_fixture.h"
#include "ui/prompts.h"
#include "ui/strings.h"

namespace {

constexpr double Ms = 1.0 / 86400000;

class CalcTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterStandardClasses(); }
  void TearDown() override {
    SetDefaultHasher("MD5");
    SetDefaultCoder("Hexadecimal");
  }
  std::wstring MakeFile(const std::wstring& name, const std::string& bytes) {
    std::wstring path = dir.Path() + L"\\" + name;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return path;
  }
  // Runs the dialog with a fake clock that moves on 300 ms at each reading.
  void Run(TCalcForm& form, std::function<void()> body) {
    form.Now = [this] { return clock += 300 * Ms; };
    script.AnswerDialog([&](ui::Dialog&) {
      body();
      form.CloseButton.Click();
    });
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
    EXPECT_TRUE(script.Failures().empty());
  }
  std::wstring Encoded(const char* coder, const std::string& digest) {
    std::string text;
    FindCoder(coder)->Encode(digest.data(), static_cast<int32_t>(digest.size()), text);
    return ui::FromUtf8(text);
  }
  void PostCalcClick(TCalcForm& form) {
    PostMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(IDB_CALC_CALC, BN_CLICKED),
                 reinterpret_cast<LPARAM>(form.CalcButton.Handle()));
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
      ASSERT_TRUE(form.HashBox.Choose(form.HashBox.FindExact(k.Type)));
      script.Clear();
      EXPECT_TRUE(form.CalcButton.Click());
      ASSERT_EQ(script.Asked().size(), 1u);
      EXPECT_EQ(script.Asked()[0].Type, ui::MsgType::Information);
      EXPECT_EQ(script.Asked()[0].Text.rfind(L"Processed 3 bytes for 0:00.", 0), 0u)
          << script.Asked()[0].Text;
      EXPECT_NE(script.Asked()[0].Text.find(L", with average rate "), std::wstring::npos);
      const std::string digest = Bytes(k.Digest);
      for (const char* coder : {"HEX", "MIME64", "UU", "XX"}) {
        ASSERT_TRUE(form.CodeBox.Choose(
            form.CodeBox.FindExact(ui::FromUtf8(FindCoder(coder)->DisplayName()))));
        EXPECT_EQ(form.HashEdit.Text(), Encoded(coder, digest)) << k.Type << " " << coder;
      }
      form.CodeBox.Choose(0);
    }
    // The CRC32 value re-encoded from the kept digest.
    form.HashBox.Choose(form.HashBox.FindExact(L"CRC32"));
    EXPECT_EQ(form.HashEdit.Text(), L"");
    form.CalcButton.Click();
    EXPECT_EQ(form.HashEdit.Text(), L"C2412435");
    form.CodeBox.Choose(form.CodeBox.FindExact(L"MIME Base 64"));
    const std::wstring mime = form.HashEdit.Text();
    EXPECT_EQ(mime.size(), 8u);
    EXPECT_EQ(mime.substr(6), L"==");
    // Another hash type drops the digest: no encoding brings a value back.
    form.HashBox.Choose(form.HashBox.FindExact(L"MD5"));
    form.CodeBox.Choose(0);
    EXPECT_EQ(form.HashEdit.Text(), L"");
  });
}

TEST_F(CalcTest, ComparesTheTypedValueAsShown) {
  const std::wstring path = MakeFile(L"abc.txt", "abc");
  TCalcForm form(nullptr);
  Run(form, [&] {
    form.CompButton.Click();
    form.HashBox.Choose(form.HashBox.FindExact(L"CRC32"));
    form.RFComboBox.SetText(path);
    form.CalcButton.Click();
    auto compare = [&](const std::wstring& value) {
      script.Clear();
      form.CompEdit.SetText(value);
      form.CompButton.Click();
      EXPECT_EQ(script.Asked().size(), 1u);
      return script.Asked().empty() ? ui::Prompt() : script.Asked()[0];
    };
    ui::Prompt p = compare(L" c2412435\t");
    EXPECT_EQ(p.Text, L"Yes! The calculated hash value match with provided by you");
    EXPECT_EQ(p.Type, ui::MsgType::Information);
    p = compare(L"C2412436");
    EXPECT_EQ(p.Text, L"Sorry, but calculated hash value different from provided by you");
    EXPECT_EQ(p.Type, ui::MsgType::Error);
    EXPECT_EQ(compare(L"C241243").Text, L"Please, select valid encoding for hash values");
    EXPECT_EQ(compare(L"C24124G5").Text, L"Please, first specify the hash value to compare");

    // Base 64 is case-sensitive: a value differing only in case is another value.
    form.CodeBox.Choose(form.CodeBox.FindExact(L"MIME Base 64"));
    const std::wstring mime = form.HashEdit.Text();
    EXPECT_EQ(compare(mime).Text, L"Yes! The calculated hash value match with provided by you");
    std::wstring flipped = mime;
    for (wchar_t& c : flipped)
      if (iswalpha(c)) {
        c = iswupper(c) ? towlower(c) : towupper(c);
        break;
      }
    ASSERT_NE(flipped, mime);
    EXPECT_EQ(compare(flipped).Text,
              L"Sorry, but calculated hash value different from provided by you");
  });
  ASSERT_GE(script.Asked().size(), 1u);
}

TEST_F(CalcTest, NothingCalculatedYetIsToldBeforeComparing) {
  TCalcForm form(nullptr);
  Run(form, [&] {
    form.CompEdit.SetText(L"C2412435");
    form.CompButton.Click();
  });
  ASSERT_EQ(script.Asked().size(), 2u);  // the dialog, then the message
  EXPECT_EQ(script.Asked()[1].Text, L"Please, first calculate the hash value for selected file");
  EXPECT_EQ(script.Asked()[1].Type, ui::MsgType::Error);
}

TEST_F(CalcTest, AMissingOrEmptyFileNameShowsTheSystemsMessage) {
  TCalcForm form(nullptr);
  std::vector<ui::Prompt> shown;
  Run(form, [&] {
    for (const std::wstring& name : {dir.Path() + L"\\missing.bin", std::wstring()}) {
      script.Clear();
      form.RFComboBox.SetText(name);
      form.CalcButton.Click();
      ASSERT_EQ(script.Asked().size(), 1u);
      shown.push_back(script.Asked()[0]);
      EXPECT_EQ(form.HashEdit.Text(), L"");
      EXPECT_TRUE(form.HashEdit.Visible());
      EXPECT_FALSE(form.ProgressBar.Visible());
      EXPECT_EQ(form.Caption(), L"Hash Calculator");
      EXPECT_EQ(form.CalcButton.Text(), L"&Calculate");
      EXPECT_TRUE(form.HashBox.Enabled());
    }
  });
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Type, ui::MsgType::Error);
  EXPECT_EQ(shown[0].Text, SystemErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(shown[1].Text == SystemErrorText(ERROR_PATH_NOT_FOUND) ||
              shown[1].Text == SystemErrorText(ERROR_FILE_NOT_FOUND))
      << shown[1].Text;
}

// The question comes from the Abort click that the run's first redraw finds queued.
TEST_F(CalcTest, AbortAnsweredNoGoesOnAndTheTimeAnsweringIsNotCounted) {
  const std::wstring path = MakeFile(L"big.bin", std::string(64 * HashBlockSize, 'x'));
  TCalcForm form(nullptr);
  wchar_t sep[8] = L".";
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8);
  Run(form, [&] {
    form.RFComboBox.SetText(path);
    script.AnswerMessage([&](const ui::Prompt& p) {
      EXPECT_EQ(p.Text, L"Abort the processing?");
      EXPECT_EQ(p.Type, ui::MsgType::Confirmation);
      EXPECT_EQ(p.Buttons, ui::MsgButtons::YesNo);
      EXPECT_TRUE(form.IsRunning());
      EXPECT_EQ(form.CalcButton.Text(), L"Abort");
      EXPECT_EQ(form.HashLabel.Text(), L"Calculating...");
      EXPECT_FALSE(form.HashEdit.Visible());
      EXPECT_TRUE(form.ProgressBar.Visible());
      EXPECT_EQ(form.ProgressBar.Position(), 15);
      EXPECT_FALSE(form.CloseButton.Enabled());
      EXPECT_FALSE(form.HashBox.Enabled());
      EXPECT_FALSE(form.RFButton.Enabled());
      EXPECT_EQ(form.Caption(), std::wstring(L"64Kbytes (1") + sep + L"5%)  - 0:00.300");
      // Nothing closes the dialog during a run.
      SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
      EXPECT_EQ(form.ModalResult(), 0);
      clock += 1.0 / 24;  // an hour thinking about it
      return IDNO;
    });
    PostCalcClick(form);
    form.CalcButton.Click();
    ASSERT_EQ(script.Asked().size(), 3u);  // dialog, question, result
    EXPECT_EQ(script.Asked()[2].Type, ui::MsgType::Information);
    EXPECT_EQ(script.Asked()[2].Text.rfind(L"Processed 4", 0), 0u);
    EXPECT_LT(form.Duration(), 60 * 1000 * Ms);
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
      PostCalcClick(form);
      return IDYES;
    });
    PostCalcClick(form);
    form.CalcButton.Click();
    ASSERT_EQ(script.Asked().size(), 2u);  // no message after an abort
    EXPECT_FALSE(form.IsRunning());
    EXPECT_EQ(form.HashEdit.Text(), L"");
    EXPECT_TRUE(form.CalcButton.Enabled());
    EXPECT_EQ(form.CalcButton.Text(), L"&Calculate");
    EXPECT_EQ(form.HashLabel.Text(), L"Calculated hash &value");
    EXPECT_TRUE(form.RFComboBox.Enabled());
    EXPECT_FALSE(form.PDComboBox.Enabled());
    // No digest kept: another encoding shows nothing.
    form.CodeBox.Choose(1);
    EXPECT_EQ(form.HashEdit.Text(), L"");
  });
}

TEST_F(CalcTest, BrowsingPutsThePickedFileInTheList) {
  const std::wstring path = MakeFile(L"abc.txt", "abc");
  TCalcForm form(nullptr);
  Run(form, [&] {
    form.RFComboBox.SetText(L"old.bin");
    script.AnswerFile(path);
    form.FileButton.Click();
    ASSERT_EQ(script.Asked().size(), 2u);
    EXPECT_EQ(script.Asked()[1].File.Filter, L"All files (*.*)|*.*");
    EXPECT_EQ(script.Asked()[1].File.FileName, L"old.bin");
    EXPECT_TRUE(script.Asked()[1].File.Options & OFN_FILEMUSTEXIST);
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
      form.CodeBox.Choose(form.CodeBox.FindExact(L"XX Coding"));
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
    EXPECT_TRUE(form.LVComboBox.Enabled());
    EXPECT_FALSE(form.RFComboBox.Enabled());
    form.CalcButton.Click();
    ASSERT_EQ(script.Asked().size(), 2u);
    EXPECT_EQ(script.Asked()[1].Text, L"Please, first select the logical drive!");
    EXPECT_EQ(script.Asked()[1].Type, ui::MsgType::Error);
    // Wine's prefix always has C:.
    int c = -1;
    for (int i = 0; i < form.LVComboBox.Count(); ++i) {
      std::wstring text = form.LVComboBox.Item(i);
      wchar_t letter = static_cast<wchar_t>(form.LVComboBox.ItemData(i));
      EXPECT_EQ(text.substr(0, 4), std::wstring(1, letter) + L":\\ ");
      if (letter == L'C') c = i;
    }
    ASSERT_GE(c, 0);

    EXPECT_TRUE(form.PDButton.Click());
    EXPECT_FALSE(form.LVComboBox.Enabled());
    form.CalcButton.Click();
    ASSERT_EQ(script.Asked().size(), 3u);
    EXPECT_EQ(script.Asked()[2].Text, L"Please, first select the physical drive!");
    const int n = form.PDComboBox.Count();
    for (int i = 0; i < n; ++i)
      EXPECT_EQ(form.PDComboBox.Item(i), PhysicalDriveText(i, GetPhysicalDriveSize(i)));
    EXPECT_LT(GetPhysicalDriveSize(n), 0);

    // Hashing a whole drive: where the machine refuses, the system's message; where it reads,
    // the queued Abort ends it at the first block.
    form.LVButton.Click();
    form.LVComboBox.Choose(c);
    script.Clear();
    script.AnswerMessage(IDYES);
    PostCalcClick(form);
    form.CalcButton.Click();
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
  ASSERT_EQ(Script.Asked().size(), 1u);
  EXPECT_EQ(Script.Asked()[0].DialogId, IDD_CALC);
  EXPECT_EQ(Script.Asked()[0].Caption, L"Hash Calculator");
  EXPECT_EQ(owner, f->Handle());
}
