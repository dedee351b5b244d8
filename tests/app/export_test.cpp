// The Export command and its dialog, driven through the prompts seam.
#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/export.h"
#include "document/stream.h"
#include "document/uniconv.h"
#include "document/xmlfile.h"
#include "hash/registry.h"
#include "tests/app/main_fixture.h"
#include "tests/app/scratch.h"
#include "tests/app/testkit.h"

namespace {

const std::string MD5Value = "D41D8CD98F00B204E9800998ECF8427E";
const std::string MD5Lower = "d41d8cd98f00b204e9800998ecf8427e";
const std::string CRCValue = "1C291CA3";
const std::string SHAValue = "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";

// The lines every exported list begins with.
std::string Header(const std::string& eol) {
  return ";" + eol + "; Created by Jurnvalt 2.0 (https://jurnvalt.example.org/)" + eol + ";" + eol;
}

// Files only: the list is written beside its target first.
size_t FilesIn(const std::wstring& dir) {
  const auto files = std::filesystem::directory_iterator(dir);
  return std::count_if(begin(files), end(files), [](const auto& e) { return e.is_regular_file(); });
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
    // BSD-style has no default name; back to MD5SUM, "none" stays until a name is chosen.
    EXPECT_EQ(f.GetDefaultFileName(), 0);
    EXPECT_TRUE(f.BSDButton.Click());
    EXPECT_FALSE(f.LSTButton.Enabled() || f.CHKButton.Enabled() || f.LSTButton.Checked());
    EXPECT_TRUE(f.MD5Button.Click());
    EXPECT_TRUE(f.LSTButton.Enabled() && f.CHKButton.Enabled());
    EXPECT_EQ(f.GetDefaultFileName(), 2);
    // A name that begins with two backslashes keeps its backslashes.
    EXPECT_FALSE(f.DRButton.Enabled() || f.SLButton.Enabled());
    EXPECT_EQ(f.GetDelimiter(), 0);
    EXPECT_TRUE(f.CancelButton.Click());
  });
  EXPECT_EQ(Settings.ExDelimit, 2);
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
    // Encoding "Other" is kept although the names need none; its list follows it, listing the
    // numbers and the stored code page.
    EXPECT_EQ(f.GetEncoding(), 3);
    EXPECT_FALSE(f.OthButton.Enabled());
    EXPECT_TRUE(f.EncList.Enabled() && f.ShowCodeBox.Enabled() && f.ShowCodeBox.Checked());
    const TCodePageItems& pages = *CodePageList();
    EXPECT_EQ(f.GetCodePage(), 1251u);
    EXPECT_EQ(f.EncList.Item(0), pages[0].Name);
    // Without the numbers, and with them again: refilled, the ANSI code page selected.
    EXPECT_TRUE(f.ShowCodeBox.Click());
    const int ansi = f.EncList.ItemIndex();
    EXPECT_EQ(f.EncList.Item(ansi), ShortCodePageName(pages[ansi].Name));
    EXPECT_TRUE(f.EncList.Choose(ansi == 0));
    EXPECT_TRUE(f.ShowCodeBox.Click());
    EXPECT_EQ(f.GetCodePage(), GetACP());
    EXPECT_TRUE(f.OKButton.Click());
  });
  ASSERT_EQ(Script.Asked().size(), 2u);
  const TExportSettings& s = Settings;
  EXPECT_EQ(std::vector<int>({s.ExFormat, s.ExDelimit, s.ExDefName, s.CodeMode, s.ExLineEnd,
                              s.Encoding, s.ShowCode, s.ExLowCase}),
            std::vector<int>({0, 0, 2, 3, 2, static_cast<int>(GetACP()), true, false}));
  EXPECT_EQ(FilesIn(Dir.Path()), 0u);
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
  std::string lines = Header("\r\n");
  for (int i = 0; i < 7; ++i) lines += MD5Lower + " *sub\\md5_" + std::to_string(i) + ".txt\r\n";
  EXPECT_EQ(ReadFileBytes(target), lines);

  // SFV: two of ten.
  Settings.ExFormat = 2;
  EXPECT_EQ(Export(Dir.Path() + L"\\list.sfv", IDYES)[1].Text,
            L"Not all files has CRC32 checksums, only 2 of 10 records will be exported");
  EXPECT_EQ(ReadFileBytes(Dir.Path() + L"\\list.sfv"),
            Header("\r\n") + "crc_a.bin a31c291c\r\ncrc_b.bin 00000000\r\n");
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

// The dialog's choices reach the list: format, names' code page, line end, delimiter, case.
TEST_F(ExportTest, WritesTheListAsChosen) {
  Add(L"sub\\\u0444.txt", "MD5", MD5Value);
  Add(L"sub\\b.bin", "CRC32", CRCValue);
  Add(L"c.txt", "SHA1", SHAValue);
  Add(L"m.txt", "MD5", "1B2M2Y8AsgTpgAmY7PhCfg==", "MIME64");
  const std::string name = WideToCodePage(L"\u0444", CP_UTF8);
  const struct {
    TExportSettings Settings;
    std::string Text;
  } cases[] = {
      {{0, 0, 0, false, 0, 0, 2, true},  // BSD-style, UTF-8, CRLF
       Header("\r\n") + "MD5 (sub\\" + name + ".txt) = " + MD5Lower +
           "\r\nCRC32 (sub\\b.bin) = 1c291ca3\r\n" +
           "SHA1 (c.txt) = da39a3ee5e6b4b0d3255bfef95601890afd80709\r\nMD5 (m.txt) = " + MD5Lower +
           "\r\n"},
      {{1, 3, 1251, false, 1, 2, 0, false},  // MD5SUM, code page 1251, LF, slashes, upper case
       Header("\n") + MD5Value + " *sub/\xF4.txt\n" + MD5Value + " *m.txt\n"},
      {{2, 2, 0, false, 2, 1, 2, true},  // SFV, CR, doubled backslashes
       Header("\r") + "sub\\\\b.bin a31c291c\r"},
  };
  const std::wstring target = Dir.Path() + L"\\out.txt";
  // An earlier, longer file is replaced as a whole.
  WriteFileBytes(target, std::string(100000, 'x'));
  for (const auto& c : cases) {
    Settings = c.Settings;
    Export(target, c.Settings.ExFormat != 0 ? IDYES : 0);
    EXPECT_EQ(ReadFileBytes(target), c.Text) << c.Settings.ExFormat;
  }
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);  // nothing left beside it
}

// A stored OEM or Macintosh choice opens the dialog on that choice, is stored back on OK and
// writes the names in that code page.
TEST_F(ExportTest, StoredOemAndMacintoshNameEncodingsAreRestoredAndWritten) {
  const std::wstring name = L"caf\u00e9 \u00fc.txt";
  Add(name, "MD5", MD5Value);
  const auto bytes = [&](UINT CodePage) {
    char out[64] = {};
    const int n = WideCharToMultiByte(CodePage, 0, name.c_str(), static_cast<int>(name.size()), out,
                                      sizeof out, nullptr, nullptr);
    return std::string(out, std::max(n, 0));
  };
  // The name must tell the code pages apart, or the list could not show which one was used.
  const std::string oem = bytes(CP_OEMCP), mac = bytes(CP_MACCP), ansi = bytes(CP_ACP),
                    utf8 = bytes(CP_UTF8);
  ASSERT_TRUE(oem != mac && oem != ansi && oem != utf8 && mac != ansi && mac != utf8);
  const struct {
    int32_t CodeMode;
    ui::RadioButton TExportForm::*Button;
    std::string Name;
  } cases[] = {{4, &TExportForm::MCPButton, mac}, {2, &TExportForm::OEMButton, oem}};
  const std::wstring target = Dir.Path() + L"\\out.md5";
  for (const auto& c : cases) {
    Settings = {1, c.CodeMode, 0, false, 1, 0, 2, true};
    Export(target, 0, [&](TExportForm& f) {
      EXPECT_TRUE((f.*c.Button).Checked());
      EXPECT_EQ(f.GetEncoding(), c.CodeMode);
      EXPECT_FALSE(f.EncList.Enabled());
      EXPECT_TRUE(f.OKButton.Click());
    });
    EXPECT_EQ(Settings.CodeMode, c.CodeMode);
    EXPECT_EQ(ReadFileBytes(target), Header("\n") + MD5Lower + " *" + c.Name + "\n") << c.CodeMode;
  }
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
  const auto fails = [&](const std::wstring& file) {
    Export(file);
    ExpectErrorNaming(file);
    EXPECT_EQ(ReadFileBytes(target), earlier);
    EXPECT_EQ(FilesIn(Dir.Path()), 1u);
  };
  // BSD-style decodes the UU value, fails half-way and shows the decoder's message.
  fails(target);
  EXPECT_TRUE(Contains(Script.Asked()[2].Text, L"UU Coding"));
  // A target that another program holds open cannot be replaced.
  List.Items.erase(List.Items.begin() + 1);
  HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  fails(target);
  CloseHandle(held);
  // A folder that does not exist: nothing is created.
  fails(Dir.Path() + L"\\missing\\list.txt");
  // A list the user made read-only is not replaced.
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
  fails(target);
  EXPECT_EQ(GetFileAttributesW(target.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
            DWORD{FILE_ATTRIBUTE_READONLY});

  // Once it may be written again the list replaces the earlier file and keeps its marks.
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Export(target);
  EXPECT_EQ(ReadFileBytes(target), Header("\r\n") + "MD5 (a.txt) = " + MD5Lower +
                                       "\r\nMD5 (c.txt) = " + MD5Lower + "\r\n");
  EXPECT_EQ(GetFileAttributesW(target.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
}

// An export writes as a save does. Of a file that a save is writing at the same time: each puts
// its own file in place, and nothing is left beside it. Of a file another program holds open:
// replaced when that program lets it be deleted; otherwise the error names the file once and says
// it is in use, and the earlier file stays as it was.
TEST_F(ExportTest, AnExportReplacesItsFileAsASaveDoes) {
  Add(L"a.txt", "MD5", MD5Value);
  const std::wstring target = Dir.Path() + L"\\list.txt";
  const std::string list = Header("\r\n") + "MD5 (a.txt) = " + MD5Lower + "\r\n";
  {
    TXMLFileWriter saving(target);
    saving.WriteBytes("saved");
    EXPECT_EQ(Export(target).size(), 2u);  // the dialog and the file name: no error
    EXPECT_EQ(ReadFileBytes(target), list);
    saving.Commit();
  }
  EXPECT_EQ(ReadFileBytes(target), "saved");
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);

  const auto hold = [&](DWORD share) {
    return CreateFileW(target.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  for (const DWORD share : {DWORD{FILE_SHARE_READ | FILE_SHARE_DELETE},
                            DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
    WriteFileBytes(target, "earlier");
    HANDLE held = hold(share);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Export(target).size(), 2u) << share;
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(target), list);
    EXPECT_EQ(FilesIn(Dir.Path()), 1u);
  }
  WriteFileBytes(target, "earlier");
  HANDLE held = hold(FILE_SHARE_READ);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Export(target);
  CloseHandle(held);
  ExpectErrorNaming(target);
  const std::wstring text = Script.Asked().at(2).Text;
  EXPECT_EQ(text.find(target), text.rfind(target)) << ui::ToUtf8(text);
  EXPECT_TRUE(Contains(text, L"in use by another program")) << ui::ToUtf8(text);
  EXPECT_EQ(ReadFileBytes(target), "earlier");
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);
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

  // The open checksum file, by any name, is refused and the file dialog comes back; the file
  // stays as it was.
  const std::wstring sums = Dir.Path() + L"\\sums.#ml";
  f->FileList->SaveToXML(sums);
  f->FileList->ListFileName = sums;
  const std::string saved = ReadFileBytes(sums);
  Script.Clear();
  Script.AnswerDialog([](ui::Dialog& d) { static_cast<TExportForm&>(d).OKButton.Click(); });
  Script.AnswerFile(Dir.Path() + L"\\.\\SUMS.#ML");
  Script.Cancel(ui::PromptKind::File);
  ASSERT_TRUE(f->Action(ID_FILE_EXPORT).Execute());
  ASSERT_EQ(Script.Asked().size(), 4u);
  EXPECT_EQ(Script.Asked()[2].Type, ui::MsgType::Error);
  EXPECT_TRUE(Contains(Script.Asked()[2].Text, L"SUMS.#ML\" is the checksum file that is open"));
  EXPECT_EQ(Script.Asked()[3].Kind, ui::PromptKind::File);
  EXPECT_EQ(ReadFileBytes(sums), saved);
}
