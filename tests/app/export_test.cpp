// The Export command and its dialog, driven through the prompts seam.
#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "app/export.h"
#include "document/stream.h"
#include "document/uniconv.h"
#include "hash/registry.h"
#include "tests/app/main_fixture.h"
#include "tests/app/scratch.h"
#include "tests/app/testkit.h"

namespace {

const std::string MD5Value = "D41D8CD98F00B204E9800998ECF8427E";
const std::string CRCValue = "1C291CA3";
const std::string SHAValue = "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";

size_t FilesIn(const std::wstring& dir) {
  size_t n = 0;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterStandardClasses(); }
  void TearDown() override {
    ExpectNoFailures(Script);
    EXPECT_EQ(Script.Pending(), 0u);
  }
  void Add(const std::wstring& name, const std::string& type, const std::string& value,
           const std::string& code = "HEX") {
    AddItem(List, name, type, code, value);
  }
  // Ten entries, seven with MD5 values, two with CRC32 values and one of type MD5 without one.
  void AddSevenOfTen() {
    for (int i = 0; i < 7; ++i) Add(L"sub\\md5_" + std::to_wstring(i) + L".txt", "MD5", MD5Value);
    Add(L"crc_a.bin", "CRC32", CRCValue);
    Add(L"crc_b.bin", "CRC32", "00000000");
    Add(L"nohash.txt", "MD5", "");
  }
  // Runs the command. The dialog goes to `inspect` (none: OK); the count question, when one is
  // expected, gets `answer`; the save dialog gets `file` (empty: Cancel; none: not expected).
  const std::vector<ui::Prompt>& Export(std::optional<std::wstring> file, int answer = 0,
                                        std::function<void(TExportForm&)> inspect = {}) {
    ExpectNoFailures(Script);
    Script.Clear();
    Script.AnswerDialog([inspect](ui::Dialog& d) {
      auto& f = static_cast<TExportForm&>(d);
      if (inspect) return inspect(f);
      EXPECT_TRUE(f.OKButton.Click());
    });
    if (answer) Script.AnswerMessage(answer);
    if (file && file->empty()) Script.Cancel(ui::PromptKind::File);
    if (file && !file->empty()) Script.AnswerFile(*file);
    ExportDocument(nullptr, List, Settings);
    return Script.Asked();
  }
  // What ExportTextList writes for these settings.
  std::string Expected() {
    TMemoryStream m;
    EXPECT_TRUE(List.ExportTextList(m, static_cast<TListFormat>(Settings.ExFormat),
                                    static_cast<TLineEnd>(Settings.ExLineEnd),
                                    static_cast<TPathDelimiter>(Settings.ExDelimit),
                                    static_cast<TListCharset>(Settings.CodeMode),
                                    static_cast<uint32_t>(Settings.Encoding), Settings.ExLowCase));
    return m.Data;
  }
  // The error shown after the dialog and the save dialog, naming the file.
  void ExpectErrorNaming(const std::wstring& file) {
    ASSERT_EQ(Script.Asked().size(), 3u);
    EXPECT_EQ(Script.Asked()[2].Type, ui::MsgType::Error);
    EXPECT_TRUE(Contains(Script.Asked()[2].Text, L"\"" + file + L"\""));
  }

  TFileList List;
  TExportSettings Settings;
  ScratchDir Dir;
  ui::Script Script;
};

TEST_F(ExportTest, DialogStartsOnTheFormsChoicesWithTheAnsiCodePage) {
  TExportForm f(nullptr);
  EXPECT_EQ(f.Caption(), L"Export");
  EXPECT_EQ(f.MacButton.Text(), L"Macintoch (CR only)");
  EXPECT_EQ(f.DelimBox.Text(), L" Path Delimiters ");
  EXPECT_EQ(f.RSButton.Text(), L"\"\\\" - DOS/Windows");
  EXPECT_EQ(f.GetFormat() + f.GetEncoding() + f.GetDelimiter(), 0);
  EXPECT_EQ(f.GetLineEnd(), 1);
  EXPECT_EQ(f.GetDefaultFileName(), -1);  // none until the format decides
  EXPECT_FALSE(f.ShowCodeBox.Checked() || f.LowCaseBox.Checked() || f.EncList.Enabled());

  // The code-page list: the descriptions only, the system's ANSI code page selected; with the
  // numbers shown it is refilled, with the ANSI code page selected again.
  const TCodePageItems& pages = *CodePageList();
  ASSERT_EQ(f.EncList.Count(), static_cast<int>(pages.size()));
  EXPECT_EQ(f.GetCodePage(), GetACP());
  const int ansi = f.EncList.ItemIndex();
  EXPECT_EQ(f.EncList.Item(ansi), ShortCodePageName(pages[ansi].Name));
  f.SetCodePage(pages.front().CodePage == GetACP() ? pages.back().CodePage
                                                   : pages.front().CodePage);
  EXPECT_NE(f.GetCodePage(), GetACP());
  f.ShowCodeBox.SetChecked(true);
  EXPECT_EQ(f.EncList.Item(ansi), pages[ansi].Name);
  EXPECT_EQ(f.GetCodePage(), GetACP());
  // A code page that is not installed leaves the first one selected.
  f.SetCodePage(0xFFFFu);
  EXPECT_EQ(f.EncList.ItemIndex(), 0);
  f.EncList.SetItemIndex(-1);
  EXPECT_EQ(f.GetCodePage(), 0u);
}

TEST_F(ExportTest, ChoicesFollowTheDocumentsValuesAndNames) {
  // Only SHA1 values, and an MD5 and a CRC32 entry without one: neither MD5SUM nor SFV.
  Add(L"a.txt", "SHA1", SHAValue);
  Add(L"b.txt", "MD5", "");
  Add(L"c.txt", "CRC32", "");
  Settings.ExFormat = 1;
  Export(std::nullopt, 0, [](TExportForm& f) {
    EXPECT_FALSE(f.MD5Button.Enabled() || f.SFVButton.Enabled());
    EXPECT_TRUE(f.BSDButton.Enabled());
    EXPECT_EQ(f.GetFormat(), 0);
    // All names plain ASCII: no encoding choice at all.
    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &f.UTF8Button, &f.ANSIButton, &f.OEMButton, &f.MCPButton, &f.OthButton, &f.EncList,
             &f.ShowCodeBox})
      EXPECT_FALSE(c->Enabled()) << ui::ToUtf8(c->Text());
    EXPECT_FALSE(f.MD5Button.Click());
    EXPECT_TRUE(f.DRButton.Enabled() && f.SLButton.Enabled());
    EXPECT_TRUE(f.CancelButton.Click());
  });
  EXPECT_EQ(Settings.ExFormat, 1);  // Cancel stores nothing
  EXPECT_EQ(Script.Asked().size(), 1u);

  // An MD5 value and a CRC32 value, a non-ASCII name and a UNC name.
  Add(L"d.txt", "MD5", MD5Value);
  Add(L"\u0444\u0430\u0439\u043b.txt", "CRC32", CRCValue);
  Add(L"\\\\server\\share\\e.txt", "SHA1", SHAValue);
  Settings.ExDelimit = 2;
  Export(std::nullopt, 0, [](TExportForm& f) {
    EXPECT_TRUE(f.MD5Button.Enabled() && f.SFVButton.Enabled());
    EXPECT_EQ(f.GetFormat(), 1);
    EXPECT_TRUE(f.UTF8Button.Enabled() && f.ANSIButton.Enabled() && f.OEMButton.Enabled() &&
                f.MCPButton.Enabled() && f.OthButton.Enabled());
    // The list and its check box belong to "Other" only.
    EXPECT_FALSE(f.EncList.Enabled() || f.ShowCodeBox.Enabled());
    EXPECT_TRUE(f.OthButton.Click());
    EXPECT_TRUE(f.EncList.Enabled() && f.ShowCodeBox.Enabled());
    EXPECT_TRUE(f.MCPButton.Click());
    EXPECT_FALSE(f.EncList.Enabled() || f.ShowCodeBox.Enabled());
    EXPECT_EQ(f.GetEncoding(), 4);
    // A name that begins with two backslashes keeps its backslashes.
    EXPECT_FALSE(f.DRButton.Enabled() || f.SLButton.Enabled());
    EXPECT_EQ(f.GetDelimiter(), 0);
    EXPECT_TRUE(f.CancelButton.Click());
  });
  EXPECT_EQ(Settings.ExDelimit, 2);
  const TExportCounts c = CountExportEntries(List);
  EXPECT_EQ(std::vector<int>({c.MD5, c.CRC32, c.NonAscii, c.UNC}), std::vector<int>(4, 1));
}

TEST_F(ExportTest, DisabledStoredChoicesFallBackAndAreStoredBack) {
  Add(L"\\\\server\\share\\a.txt", "SHA1", SHAValue);
  Settings = {2, 3, 1251, true, 2, 1, 1, false};
  // The export itself is cancelled, but the dialog's choices are stored.
  Export(L"", 0, [](TExportForm& f) {
    EXPECT_EQ(f.GetFormat(), 0);           // no CRC32 values
    EXPECT_EQ(f.GetDelimiter(), 0);        // a UNC name
    EXPECT_EQ(f.GetDefaultFileName(), 2);  // not MD5SUM
    EXPECT_FALSE(f.LSTButton.Enabled() || f.CHKButton.Enabled());
    // Encoding "Other" is kept although the names need none; its list follows it.
    EXPECT_EQ(f.GetEncoding(), 3);
    EXPECT_FALSE(f.OthButton.Enabled());
    EXPECT_TRUE(f.EncList.Enabled() && f.ShowCodeBox.Enabled() && f.ShowCodeBox.Checked());
    EXPECT_TRUE(f.OKButton.Click());
  });
  ASSERT_EQ(Script.Asked().size(), 2u);
  const TExportSettings& s = Settings;
  EXPECT_EQ(std::vector<int>({s.ExFormat, s.ExDelimit, s.ExDefName, s.CodeMode, s.ExLineEnd}),
            std::vector<int>({0, 0, 2, 3, 2}));
  EXPECT_TRUE(s.ShowCode);
  EXPECT_FALSE(s.ExLowCase);
  const TCodePageItems& pages = *CodePageList();
  const bool has1251 =
      std::any_of(pages.begin(), pages.end(), [](const auto& p) { return p.CodePage == 1251; });
  EXPECT_EQ(static_cast<uint32_t>(s.Encoding), has1251 ? 1251u : pages.front().CodePage);
  EXPECT_EQ(FilesIn(Dir.Path()), 0u);
}

TEST_F(ExportTest, BsdStyleForcesNoDefaultName) {
  Add(L"a.txt", "MD5", MD5Value);
  Settings.ExFormat = 1;
  Settings.ExDefName = 0;
  Export(L"", 0, [](TExportForm& f) {
    EXPECT_EQ(f.GetDefaultFileName(), 0);
    EXPECT_TRUE(f.BSDButton.Click());
    EXPECT_FALSE(f.LSTButton.Enabled() || f.CHKButton.Enabled() || f.LSTButton.Checked());
    EXPECT_EQ(f.GetDefaultFileName(), 2);
    // Back to MD5SUM: the names can be chosen again; "none" stays until one is.
    EXPECT_TRUE(f.MD5Button.Click());
    EXPECT_TRUE(f.LSTButton.Enabled() && f.CHKButton.Enabled());
    EXPECT_EQ(f.GetDefaultFileName(), 2);
    EXPECT_TRUE(f.BSDButton.Click());
    EXPECT_TRUE(f.OKButton.Click());
  });
  EXPECT_EQ(Settings.ExFormat, 0);
  EXPECT_EQ(Settings.ExDefName, 2);
}

TEST_F(ExportTest, NotAllValuesOfTheFormatAsksFirst) {
  AddSevenOfTen();
  Settings.ExFormat = 1;
  Settings.ExDefName = 1;
  // No: nothing more is asked and nothing written; the choice is stored.
  const auto& asked = Export(std::nullopt, IDNO, [](TExportForm& f) {
    EXPECT_TRUE(f.LSTButton.Click());
    EXPECT_TRUE(f.OKButton.Click());
  });
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].Text,
            L"Not all files has MD5 checksums, only 7 of 10 records will be exported");
  EXPECT_EQ(asked[1].Type, ui::MsgType::Information);
  EXPECT_EQ(asked[1].Buttons, ui::MsgButtons::YesNo);
  EXPECT_EQ(Settings.ExDefName, 0);
  EXPECT_EQ(FilesIn(Dir.Path()), 0u);

  // Yes: the seven MD5 entries are written after the header.
  const std::wstring target = Dir.Path() + L"\\md5sum.lst";
  EXPECT_EQ(Export(target, IDYES).size(), 3u);
  const std::string written = ReadFileBytes(target);
  EXPECT_EQ(written, Expected());
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3 + 7);

  // SFV: two of ten.
  Settings.ExFormat = 2;
  EXPECT_EQ(Export(Dir.Path() + L"\\list.sfv", IDYES)[1].Text,
            L"Not all files has CRC32 checksums, only 2 of 10 records will be exported");
  EXPECT_EQ(ReadFileBytes(Dir.Path() + L"\\list.sfv"), Expected());
}

TEST_F(ExportTest, SaveDialogProposesTheFormatsNameAndFilter) {
  Add(L"a.txt", "MD5", MD5Value);
  Add(L"b.txt", "CRC32", CRCValue);
  const std::wstring md5Filter =
      L"MD5SUM files (md5sum.lst)|md5sum.lst|MD5 files (*.md5)|*.md5|All files (*.*)|*.*";
  const struct {
    int32_t Format, DefName;
    std::wstring Filter;
    int Index;
    std::wstring Ext, Name;
  } cases[] = {
      {1, 0, md5Filter, 1, L"lst", L"md5sum.lst"},
      {1, 1, md5Filter, 2, L"md5", L"checksum.md5"},
      {1, 2, md5Filter, 2, L"md5", L""},
      {2, 0, L"SFV files (*.sfv)|*.sfv|All files (*.*)|*.*", 1, L"sfv", L""},
      {0, 0, L"All files (*.*)|*.*", 1, L"", L""},
  };
  for (const auto& c : cases) {
    Settings.ExFormat = c.Format;
    Settings.ExDefName = c.DefName;
    const ui::FileDialog& d = Export(L"", c.Format != 0 ? IDYES : 0).back().File;
    EXPECT_TRUE(d.Save);
    EXPECT_EQ(d.Filter, c.Filter);
    EXPECT_EQ(d.FilterIndex, c.Index);
    EXPECT_EQ(d.DefaultExt, c.Ext);
    EXPECT_EQ(d.FileName, c.Name);
    EXPECT_TRUE(d.InitialDir.empty());
    EXPECT_EQ(d.Options,
              static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                                 OFN_PATHMUSTEXIST | OFN_ENABLESIZING));
  }
  EXPECT_EQ(FilesIn(Dir.Path()), 0u);
}

TEST_F(ExportTest, WritesWhatTheTextExportWritesInEachFormat) {
  AddSevenOfTen();
  Add(L"sub\\\u0444\u0430\u0439\u043b.txt", "MD5", MD5Value);
  Add(L"sub\\caf\u00e9.bin", "CRC32", "A3CA291C");
  Add(L"sub\\deep\\sha.txt", "SHA1", SHAValue);
  Add(L"sub\\mime.txt", "MD5", "1B2M2Y8AsgTpgAmY7PhCfg==", "MIME64");
  const std::wstring target = Dir.Path() + L"\\out.txt";
  // An earlier, longer file is replaced as a whole.
  WriteFileBytes(target, std::string(100000, 'x'));
  const TExportSettings cases[] = {
      {0, 0, 0, false, 0, 0, 2, true},      // BSD-style, UTF-8, CRLF
      {1, 3, 1251, false, 1, 2, 0, false},  // MD5SUM, code page 1251, LF, slashes
      {2, 2, 0, false, 2, 1, 2, true},      // SFV, OEM, CR, doubled backslashes
      {1, 4, 0, false, 0, 0, 1, true},      // MD5SUM, Macintosh
  };
  for (const TExportSettings& c : cases) {
    Settings = c;
    Export(target, c.ExFormat != 0 ? IDYES : 0);
    EXPECT_EQ(Settings.CodeMode, c.CodeMode);
    EXPECT_EQ(Settings.ExDelimit, c.ExDelimit);
    const std::string written = ReadFileBytes(target);
    EXPECT_EQ(written, Expected()) << c.ExFormat;
    EXPECT_GT(written.size(), 100u);
  }
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);  // nothing left beside it
}

TEST_F(ExportTest, EntriesWithAnUnknownEncodingAreLeftOutAndCounted) {
  Add(L"a.txt", "MD5", MD5Value);
  Add(L"b.txt", "MD5", "whatever", "ZZ");
  Add(L"c.txt", "MD5", "other", "ZZ");
  const std::wstring target = Dir.Path() + L"\\out.txt";
  // BSD-style writes hexadecimal, so every value needs its encoder.
  const auto& asked = Export(target);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[2].Type, ui::MsgType::Information);
  EXPECT_EQ(asked[2].Text.rfind(L"2 entries", 0), 0u) << ui::ToUtf8(asked[2].Text);
  const std::string written = ReadFileBytes(target);
  EXPECT_NE(written.find("(a.txt)"), std::string::npos);
  EXPECT_EQ(written.find("(b.txt)"), std::string::npos);
}

TEST_F(ExportTest, AFailedExportIsReportedAndLeavesTheEarlierFile) {
  Add(L"a.txt", "MD5", MD5Value);
  Add(L"b.txt", "MD5", "zzzz", "UU");  // cannot be decoded
  Add(L"c.txt", "MD5", MD5Value);
  const std::wstring target = Dir.Path() + L"\\list \u0444.txt";
  const std::string earlier = "; an earlier list\r\nMD5 (x) = " + MD5Value + "\r\n";
  WriteFileBytes(target, earlier);

  // BSD-style decodes the UU value, fails half-way and shows the decoder's message.
  Export(target);
  ExpectErrorNaming(target);
  EXPECT_TRUE(Contains(Script.Asked()[2].Text, L"UU Coding"));
  EXPECT_EQ(ReadFileBytes(target), earlier);
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);

  // A target that another program holds open cannot be replaced.
  List.Items.erase(List.Items.begin() + 1);
  HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Export(target);
  CloseHandle(held);
  ExpectErrorNaming(target);
  EXPECT_EQ(ReadFileBytes(target), earlier);
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);

  // A folder that does not exist: nothing is created.
  const std::wstring nowhere = Dir.Path() + L"\\missing\\list.txt";
  Export(nowhere);
  ExpectErrorNaming(nowhere);
  EXPECT_EQ(GetFileAttributesW(nowhere.c_str()), INVALID_FILE_ATTRIBUTES);

  // A list the user made read-only is not replaced.
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
  Export(target);
  ExpectErrorNaming(target);
  EXPECT_EQ(ReadFileBytes(target), earlier);
  EXPECT_EQ(GetFileAttributesW(target.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
            DWORD{FILE_ATTRIBUTE_READONLY});
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);

  // Once it may be written again the list replaces the earlier file and keeps its marks.
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Export(target);
  EXPECT_EQ(ReadFileBytes(target), Expected());
  EXPECT_EQ(GetFileAttributesW(target.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
}

}  // namespace

// The main window's command hands over its settings and takes the dialog's choices back.
TEST_F(MainFormTest, ExportCommandUsesTheWindowsExportSettings) {
  RegisterStandardClasses();
  auto f = NewForm();
  AddItem(*f->FileList, L"caf\u00e9.txt", "MD5", "HEX", MD5Value);
  f->ExFormat = 1;
  f->ExDefName = 1;
  f->CodeMode = 1;
  f->ExLowCase = false;
  Script.AnswerDialog([](ui::Dialog& d) {
    auto& e = static_cast<TExportForm&>(d);
    EXPECT_EQ(e.GetFormat(), 1);
    EXPECT_EQ(e.GetEncoding(), 1);
    EXPECT_EQ(e.GetDefaultFileName(), 1);
    EXPECT_FALSE(e.LowCaseBox.Checked());
    e.NixButton.Click();
    e.LowCaseBox.Click();
    e.OKButton.Click();
  });
  const std::wstring target = Dir.Path() + L"\\checksum.md5";
  Script.AnswerFile(target);
  ASSERT_TRUE(f->Action(ID_FILE_EXPORT).Execute());
  EXPECT_EQ(f->ExLineEnd, 1);
  EXPECT_TRUE(f->ExLowCase);
  EXPECT_EQ(Script.Asked().at(1).File.FileName, L"checksum.md5");
  const std::string line =
      "d41d8cd98f00b204e9800998ecf8427e *" + WideToCodePage(L"caf\u00e9.txt", CP_ACP) + "\n";
  EXPECT_NE(ReadFileBytes(target).find(line), std::string::npos);
}
