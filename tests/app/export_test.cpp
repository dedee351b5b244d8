// The Export command and its dialog, driven through the prompts seam.
#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/export.h"
#include "document/data.h"
#include "document/stream.h"
#include "document/textlist.h"
#include "document/uniconv.h"
#include "hash/registry.h"
#include "tests/app/main_fixture.h"
#include "tests/app/scratch.h"
#include "ui/prompts.h"

namespace {

const std::string MD5Value = "D41D8CD98F00B204E9800998ECF8427E";
const std::string CRCValue = "1C291CA3";

std::string ReadFileBytes(const std::wstring& name) {
  std::ifstream in(name.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::wstring& name, const std::string& bytes) {
  std::ofstream(name.c_str(), std::ios::binary) << bytes;
}

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
    for (const std::wstring& f : Script.Failures()) ADD_FAILURE() << ui::ToUtf8(f);
    EXPECT_EQ(Script.Pending(), 0u);
  }
  void Add(const std::wstring& name, const std::string& type, const std::string& value,
           const std::string& code = "HEX") {
    auto item = std::make_unique<TFileItem>();
    item->FileName = name;
    item->HashType = type;
    item->HashCode = code;
    item->HashValue = value;
    item->Owner = &List;
    List.Items.push_back(std::move(item));
  }
  // Ten entries, seven with MD5 values, two with CRC32 values and one of type MD5 without one.
  void AddSevenOfTen() {
    for (int i = 0; i < 7; ++i) Add(L"sub\\md5_" + std::to_wstring(i) + L".txt", "MD5", MD5Value);
    Add(L"crc_a.bin", "CRC32", CRCValue);
    Add(L"crc_b.bin", "CRC32", "00000000");
    Add(L"nohash.txt", "MD5", "");
  }
  // The dialog goes to Inspect, which ends it (OK or Cancel); queue the answers to what follows
  // it, then Export.
  void OnDialog(std::function<void(TExportForm&)> Inspect) {
    Script.AnswerDialog([Inspect](ui::Dialog& d) { Inspect(static_cast<TExportForm&>(d)); });
  }
  void AnswerOK() {
    OnDialog([](TExportForm& f) { EXPECT_TRUE(f.OKButton.Click()); });
  }
  void Export() { ExportDocument(nullptr, List, Settings); }
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
  const ui::Prompt& Asked(size_t i) { return Script.Asked().at(i); }

  TFileList List;
  TExportSettings Settings;
  ScratchDir Dir;
  ui::Script Script;
};

TEST_F(ExportTest, DialogHasItsCaptionsAndStartsOnTheFormsChoices) {
  TExportForm f(nullptr);
  EXPECT_EQ(f.Caption(), L"Export");
  const std::pair<ui::Control*, const wchar_t*> captions[] = {
      {&f.FormatBox, L"File Format"},
      {&f.MD5Button, L"MD5SUM"},
      {&f.BSDButton, L"BSD-style"},
      {&f.SFVButton, L"SFV format"},
      {&f.LineEndBox, L"Line End "},
      {&f.DOSButton, L"DOS/Windows (CRLF)"},
      {&f.NixButton, L"*NIX (LF only)"},
      {&f.MacButton, L"Macintoch (CR only)"},
      {&f.EncodingBox, L"&Encoding"},
      {&f.UTF8Button, L"UTF-8"},
      {&f.ANSIButton, L"ANSI"},
      {&f.OEMButton, L"OEM (DOS)"},
      {&f.OthButton, L"Other"},
      {&f.OKButton, L"OK"},
      {&f.CancelButton, L"Cancel"},
      {&f.ShowCodeBox, L"Show codepage numbers"},
      {&f.DelimBox, L" Path Delimiters "},
      {&f.RSButton, L"\"\\\" - DOS/Windows"},
      {&f.DRButton, L"\"\\\\\" - C/C++"},
      {&f.SLButton, L"\"/\" - *NIX"},
      {&f.FileNameBox, L"File Name by Default"},
      {&f.LSTButton, L"md5sum.lst"},
      {&f.CHKButton, L"checksum.md5"},
      {&f.EMTButton, L"none"},
      {&f.MCPButton, L"Macintoch"},
      {&f.LowCaseBox, L"Chars in low case"},
  };
  for (const auto& [control, caption] : captions) EXPECT_EQ(control->Text(), caption);

  EXPECT_EQ(f.GetFormat(), 0);
  EXPECT_EQ(f.GetLineEnd(), 1);
  EXPECT_EQ(f.GetEncoding(), 0);
  EXPECT_EQ(f.GetDelimiter(), 0);
  EXPECT_EQ(f.GetDefaultFileName(), -1);  // none until the format decides
  EXPECT_FALSE(f.ShowCodeBox.Checked());
  EXPECT_FALSE(f.LowCaseBox.Checked());
  EXPECT_FALSE(f.EncList.Enabled());
  EXPECT_TRUE(f.LSTButton.Enabled());

  // The code-page list: the descriptions only, the system's ANSI code page selected; with the
  // numbers shown it is refilled, with the ANSI code page selected again.
  const TCodePageItems* pages = CodePageList();
  ASSERT_NE(pages, nullptr);
  ASSERT_EQ(f.EncList.Count(), static_cast<int>(pages->size()));
  EXPECT_EQ(f.GetCodePage(), GetACP());
  const int ansi = f.EncList.ItemIndex();
  EXPECT_EQ(f.EncList.Item(ansi), ShortCodePageName((*pages)[ansi].Name));
  f.SetCodePage(pages->front().CodePage == GetACP() ? pages->back().CodePage
                                                    : pages->front().CodePage);
  EXPECT_NE(f.GetCodePage(), GetACP());
  f.ShowCodeBox.SetChecked(true);
  EXPECT_EQ(f.EncList.Item(ansi), (*pages)[ansi].Name);
  EXPECT_EQ(f.GetCodePage(), GetACP());
  // A code page that is not installed leaves the first one selected.
  f.SetCodePage(0xFFFFu);
  EXPECT_EQ(f.EncList.ItemIndex(), 0);
  f.EncList.SetItemIndex(-1);
  EXPECT_EQ(f.GetCodePage(), 0u);
}

TEST_F(ExportTest, ChoicesFollowTheDocumentsValuesAndNames) {
  // Only SHA1 values, and an MD5 and a CRC32 entry without one: neither MD5SUM nor SFV.
  Add(L"a.txt", "SHA1", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
  Add(L"b.txt", "MD5", "");
  Add(L"c.txt", "CRC32", "");
  Settings.ExFormat = 1;
  OnDialog([](TExportForm& f) {
    EXPECT_FALSE(f.MD5Button.Enabled());
    EXPECT_FALSE(f.SFVButton.Enabled());
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
  Export();
  EXPECT_EQ(Settings.ExFormat, 1);  // Cancel stores nothing
  EXPECT_EQ(Script.Asked().size(), 1u);

  // An MD5 value and a CRC32 value, a non-ASCII name and a UNC name.
  Add(L"d.txt", "MD5", MD5Value);
  Add(L"\u0444\u0430\u0439\u043b.txt", "CRC32", CRCValue);
  Add(L"\\\\server\\share\\e.txt", "SHA1", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
  Settings.ExDelimit = 2;
  OnDialog([](TExportForm& f) {
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
  Export();
  EXPECT_EQ(Settings.ExDelimit, 2);

  // Counted once per entry, in one pass.
  const TExportCounts c = CountExportEntries(List);
  EXPECT_EQ(c.MD5, 1);
  EXPECT_EQ(c.CRC32, 1);
  EXPECT_EQ(c.NonAscii, 1);
  EXPECT_EQ(c.UNC, 1);
}

TEST_F(ExportTest, DisabledStoredChoicesFallBackAndAreStoredBack) {
  Add(L"\\\\server\\share\\a.txt", "SHA1", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
  Settings = {2, 3, 1251, true, 2, 1, 1, false};
  OnDialog([](TExportForm& f) {
    EXPECT_EQ(f.GetFormat(), 0);           // no CRC32 values
    EXPECT_EQ(f.GetDelimiter(), 0);        // a UNC name
    EXPECT_EQ(f.GetDefaultFileName(), 2);  // not MD5SUM
    EXPECT_FALSE(f.LSTButton.Enabled() || f.CHKButton.Enabled());
    // Encoding "Other" is kept although the names need none; its list follows it.
    EXPECT_EQ(f.GetEncoding(), 3);
    EXPECT_FALSE(f.OthButton.Enabled());
    EXPECT_TRUE(f.EncList.Enabled() && f.ShowCodeBox.Enabled());
    EXPECT_TRUE(f.ShowCodeBox.Checked());
    EXPECT_EQ(f.GetLineEnd(), 2);
    EXPECT_FALSE(f.LowCaseBox.Checked());
    EXPECT_TRUE(f.OKButton.Click());
  });
  Script.Cancel(ui::PromptKind::File);  // the export itself is cancelled...
  Export();
  ASSERT_EQ(Script.Asked().size(), 2u);
  // ...but the dialog's choices are stored.
  EXPECT_EQ(Settings.ExFormat, 0);
  EXPECT_EQ(Settings.ExDelimit, 0);
  EXPECT_EQ(Settings.ExDefName, 2);
  EXPECT_EQ(Settings.CodeMode, 3);
  EXPECT_EQ(Settings.ExLineEnd, 2);
  EXPECT_TRUE(Settings.ShowCode);
  EXPECT_FALSE(Settings.ExLowCase);
  const TCodePageItems* pages = CodePageList();
  bool has1251 = false;
  for (const auto& p : *pages) has1251 |= p.CodePage == 1251;
  EXPECT_EQ(static_cast<uint32_t>(Settings.Encoding), has1251 ? 1251u : pages->front().CodePage);
  EXPECT_EQ(FilesIn(Dir.Path()), 0u);
}

TEST_F(ExportTest, BsdStyleForcesNoDefaultName) {
  Add(L"a.txt", "MD5", MD5Value);
  Settings.ExFormat = 1;
  Settings.ExDefName = 0;
  OnDialog([](TExportForm& f) {
    EXPECT_EQ(f.GetDefaultFileName(), 0);
    EXPECT_TRUE(f.LSTButton.Enabled());
    EXPECT_TRUE(f.BSDButton.Click());
    EXPECT_FALSE(f.LSTButton.Enabled() || f.CHKButton.Enabled());
    EXPECT_EQ(f.GetDefaultFileName(), 2);
    EXPECT_FALSE(f.LSTButton.Checked());
    // Back to MD5SUM: the names can be chosen again; "none" stays until one is.
    EXPECT_TRUE(f.MD5Button.Click());
    EXPECT_TRUE(f.LSTButton.Enabled() && f.CHKButton.Enabled());
    EXPECT_EQ(f.GetDefaultFileName(), 2);
    EXPECT_TRUE(f.BSDButton.Click());
    EXPECT_TRUE(f.OKButton.Click());
  });
  Script.Cancel(ui::PromptKind::File);
  Export();
  EXPECT_EQ(Settings.ExFormat, 0);
  EXPECT_EQ(Settings.ExDefName, 2);
}

TEST_F(ExportTest, NotAllValuesOfTheFormatAsksFirst) {
  AddSevenOfTen();
  Settings.ExFormat = 1;
  // No: nothing more is asked and nothing written; the choice is stored.
  Settings.ExDefName = 1;
  OnDialog([](TExportForm& f) {
    EXPECT_TRUE(f.LSTButton.Click());
    EXPECT_TRUE(f.OKButton.Click());
  });
  Script.AnswerMessage(IDNO);
  Export();
  ASSERT_EQ(Script.Asked().size(), 2u);
  EXPECT_EQ(Asked(1).Text,
            L"Not all files has MD5 checksums, only 7 of 10 records will be exported");
  EXPECT_EQ(Asked(1).Type, ui::MsgType::Information);
  EXPECT_EQ(Asked(1).Buttons, ui::MsgButtons::YesNo);
  EXPECT_EQ(Settings.ExDefName, 0);
  EXPECT_EQ(FilesIn(Dir.Path()), 0u);

  // Yes: the seven MD5 entries are written after the header.
  Script.Clear();
  const std::wstring target = Dir.Path() + L"\\md5sum.lst";
  AnswerOK();
  Script.AnswerMessage(IDYES);
  Script.AnswerFile(target);
  Export();
  ASSERT_EQ(Script.Asked().size(), 3u);
  const std::string written = ReadFileBytes(target);
  EXPECT_EQ(written, Expected());
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3 + 7);

  // SFV: two of ten.
  Script.Clear();
  Settings.ExFormat = 2;
  AnswerOK();
  Script.AnswerMessage(IDYES);
  Script.AnswerFile(Dir.Path() + L"\\list.sfv");
  Export();
  EXPECT_EQ(Asked(1).Text,
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
    Script.Clear();
    Settings.ExFormat = c.Format;
    Settings.ExDefName = c.DefName;
    AnswerOK();
    if (c.Format != 0) Script.AnswerMessage(IDYES);  // one of two entries
    Script.Cancel(ui::PromptKind::File);
    Export();
    const ui::Prompt& p = Script.Asked().back();
    ASSERT_EQ(p.Kind, ui::PromptKind::File);
    EXPECT_TRUE(p.File.Save);
    EXPECT_EQ(p.File.Filter, c.Filter);
    EXPECT_EQ(p.File.FilterIndex, c.Index);
    EXPECT_EQ(p.File.DefaultExt, c.Ext);
    EXPECT_EQ(p.File.FileName, c.Name);
    EXPECT_TRUE(p.File.InitialDir.empty());
    EXPECT_EQ(p.File.Options,
              static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                                 OFN_PATHMUSTEXIST | OFN_ENABLESIZING));
  }
  EXPECT_EQ(FilesIn(Dir.Path()), 0u);
}

TEST_F(ExportTest, WritesWhatTheTextExportWritesInEachFormat) {
  AddSevenOfTen();
  Add(L"sub\\\u0444\u0430\u0439\u043b.txt", "MD5", MD5Value);
  Add(L"sub\\caf\u00e9.bin", "CRC32", "A3CA291C");
  Add(L"sub\\deep\\sha.txt", "SHA1", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
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
    Script.Clear();
    Settings = c;
    AnswerOK();
    if (c.ExFormat != 0) Script.AnswerMessage(IDYES);
    Script.AnswerFile(target);
    Export();
    EXPECT_EQ(Settings.ExFormat, c.ExFormat);
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
  AnswerOK();  // BSD-style writes hexadecimal, so every value needs its encoder
  Script.AnswerFile(target);
  Export();
  ASSERT_EQ(Script.Asked().size(), 3u);
  EXPECT_EQ(Asked(2).Type, ui::MsgType::Information);
  EXPECT_EQ(Asked(2).Text.rfind(L"2 entries", 0), 0u) << ui::ToUtf8(Asked(2).Text);
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
  AnswerOK();
  Script.AnswerFile(target);
  Export();
  ASSERT_EQ(Script.Asked().size(), 3u);
  EXPECT_EQ(Asked(2).Type, ui::MsgType::Error);
  EXPECT_NE(Asked(2).Text.find(L"\"" + target + L"\""), std::wstring::npos);
  EXPECT_NE(Asked(2).Text.find(L"UU Coding"), std::wstring::npos);
  EXPECT_EQ(ReadFileBytes(target), earlier);
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);

  // A target that another program holds open cannot be replaced.
  List.Items.erase(List.Items.begin() + 1);
  Script.Clear();
  HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  AnswerOK();
  Script.AnswerFile(target);
  Export();
  CloseHandle(held);
  ASSERT_EQ(Script.Asked().size(), 3u);
  EXPECT_EQ(Asked(2).Type, ui::MsgType::Error);
  EXPECT_NE(Asked(2).Text.find(L"\"" + target + L"\""), std::wstring::npos);
  EXPECT_EQ(ReadFileBytes(target), earlier);
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);

  // A folder that does not exist: nothing is created.
  Script.Clear();
  const std::wstring nowhere = Dir.Path() + L"\\missing\\list.txt";
  AnswerOK();
  Script.AnswerFile(nowhere);
  Export();
  ASSERT_EQ(Script.Asked().size(), 3u);
  EXPECT_NE(Asked(2).Text.find(L"\"" + nowhere + L"\""), std::wstring::npos);
  EXPECT_EQ(GetFileAttributesW(nowhere.c_str()), INVALID_FILE_ATTRIBUTES);

  // Once it is free again the list replaces the earlier file.
  Script.Clear();
  AnswerOK();
  Script.AnswerFile(target);
  Export();
  EXPECT_EQ(ReadFileBytes(target), Expected());
}

}  // namespace

// The main window's command hands over its settings and takes the dialog's choices back.
TEST_F(MainFormTest, ExportCommandUsesTheWindowsExportSettings) {
  RegisterStandardClasses();
  auto f = NewForm();
  auto item = std::make_unique<TFileItem>();
  item->FileName = L"caf\u00e9.txt";
  item->HashValue = MD5Value;
  item->Owner = f->FileList.get();
  f->FileList->Items.push_back(std::move(item));
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
  const std::string written = ReadFileBytes(target);
  EXPECT_NE(written.find(line), std::string::npos) << written;
}
