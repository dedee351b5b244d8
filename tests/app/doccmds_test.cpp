// The document commands of the main window: the save question, open and import, save, the
// status line, the first activation, and the Properties and Help commands.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <regex>

#include "app/dlgconv.h"
#include "app/doccmds.h"
#include "app/itemprop.h"
#include "app/props.h"
#include "app/res/about_res.h"
#include "app/res/tipsofday_res.h"
#include "app/tipsofday.h"
#include "app/update.h"
#include "app/verify.h"
#include "document/product.h"
#include "document/stream.h"
#include "document/uniconv.h"
#include "tests/app/main_fixture.h"
#include "ui/app.h"

namespace {

class DocCmdsTest : public MainFormTest {
 protected:
  void SetUp() override { F = NewForm(); }
  std::wstring Path(const std::wstring& name) const { return Dir.Path() + L"\\" + name; }
  static void WriteBytes(const std::wstring& path, const std::string& bytes) {
    TFileStream f(path, fmCreate);
    f.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  static std::string ReadBytes(const std::wstring& path) {
    TFileStream f(path, fmOpenRead);
    std::string s;
    char buf[4096];
    for (int32_t n; (n = f.Read(buf, sizeof(buf))) > 0;) s.append(buf, n);
    return s;
  }
  // A checksum file of Count entries, written by the document itself.
  std::wstring MakeChecksumFile(const std::wstring& name, int Count) {
    TFileList doc;
    for (int i = 0; i < Count; ++i) {
      auto item = std::make_unique<TFileItem>();
      item->FileName = L"file" + std::to_wstring(i) + L".txt";
      item->HashValue = "d41d8cd98f00b204e9800998ecf8427e";
      item->Owner = &doc;
      doc.Items.push_back(std::move(item));
    }
    std::wstring path = Path(name);
    doc.SaveToXML(path);
    return path;
  }
  // A modified document with one entry.
  void Modify() {
    auto item = std::make_unique<TFileItem>();
    item->FileName = L"changed.txt";
    item->Owner = F->FileList.get();
    F->FileList->Items.push_back(std::move(item));
    F->FileList->Modified = true;
  }
  std::vector<ui::Prompt> AskedOf(ui::PromptKind kind) const {
    std::vector<ui::Prompt> v;
    for (const ui::Prompt& p : Script.Asked())
      if (p.Kind == kind) v.push_back(p);
    return v;
  }
  std::wstring Status() { return F->StatusBar.SimpleText(); }
  std::unique_ptr<TMainForm> F;
};

const char Md5Line[] = "d41d8cd98f00b204e9800998ecf8427e";

// The code-page question answered: Drive acts on the dialog, then OK.
std::function<void(ui::Dialog&)> Choose(std::function<void(TUniConvForm&)> Drive) {
  return [Drive](ui::Dialog& d) {
    auto& f = static_cast<TUniConvForm&>(d);
    Drive(f);
    f.OKButton.Click();
  };
}

}  // namespace

TEST_F(DocCmdsTest, TheSaveQuestionComesBeforeEveryFileDialog) {
  std::wstring sums = MakeChecksumFile(L"sums.#ml", 2);
  // Cancel: no dialog, nothing changes.
  for (int command : {ID_FILE_OPEN, ID_FILE_IMPORT, ID_FILE_NEW}) {
    Modify();
    Script.AnswerMessage(IDCANCEL);
    F->PerformCommand(command);
    ASSERT_EQ(Script.Asked().size(), 1u) << command;
    EXPECT_EQ(Script.Asked()[0].Text, L"Checksum file has been modified. Save changes?");
    EXPECT_TRUE(F->FileList->Modified);
    Script.Clear();
  }
  // No: the changes go, the dialog follows.
  Script.AnswerMessage(IDNO);
  Script.AnswerFile(sums);
  F->PerformCommand(ID_FILE_OPEN);
  EXPECT_EQ(Script.Asked()[0].Kind, ui::PromptKind::Message);
  EXPECT_EQ(Script.Asked()[1].Kind, ui::PromptKind::File);
  EXPECT_EQ(F->FileList->GetCount(), 2);
  EXPECT_EQ(F->FileList->ListFileName, sums);

  // Yes: the unnamed document is saved first (its name asked), then the Import dialog.
  Script.Clear();
  F->ClearDocument();
  Modify();
  Script.AnswerMessage(IDYES);
  Script.AnswerFile(Path(L"saved.#ml"));
  Script.Cancel(ui::PromptKind::File);
  F->PerformCommand(ID_FILE_IMPORT);
  auto files = AskedOf(ui::PromptKind::File);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_TRUE(files[0].File.Save);
  EXPECT_FALSE(files[1].File.Save);
  EXPECT_EQ(files[1].File.Filter,
            L"MD5SUM files (md5sum.lst)|md5sum.lst|MD5 files (*.md5)|*.md5|SFV files "
            L"(*.sfv)|*.sfv|All files (*.*)|*.*");
  EXPECT_EQ(files[1].File.DefaultExt, L"");
  EXPECT_FALSE(F->FileList->Modified);
  EXPECT_EQ(F->FileList->ListFileName, Path(L"saved.#ml"));
  EXPECT_NE(ReadBytes(Path(L"saved.#ml")).find("changed.txt"), std::string::npos);

  // Yes but the save dialog cancelled: the command stops there.
  Script.Clear();
  Modify();
  F->FileList->ListFileName.clear();
  Script.AnswerMessage(IDYES);
  Script.Cancel(ui::PromptKind::File);
  F->PerformCommand(ID_FILE_OPEN);
  EXPECT_EQ(AskedOf(ui::PromptKind::File).size(), 1u);
  EXPECT_TRUE(F->FileList->Modified);
}

TEST_F(DocCmdsTest, OpenLoadsAChecksumFileWithEitherReader) {
  CreateDirectoryW(Path(L"docs").c_str(), nullptr);
  std::wstring sums = MakeChecksumFile(L"docs\\sums.#ml", 3);
  for (bool msxml : {true, false}) {
    F->UseMSSAX = msxml;
    Script.Clear();
    Script.AnswerFile(sums);
    F->PerformCommand(ID_FILE_OPEN);
    auto files = AskedOf(ui::PromptKind::File);
    ASSERT_EQ(files.size(), 1u);
    const ui::FileDialog& d = files[0].File;
    EXPECT_FALSE(d.Save);
    EXPECT_EQ(d.DefaultExt, L"#ml");
    EXPECT_EQ(d.Filter, L"Jurnvalt checksum files (.#ml)|*.#ml|All files (*.*)|*.*");
    EXPECT_EQ(d.Options & (OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                           OFN_FILEMUSTEXIST | OFN_ENABLESIZING),
              static_cast<DWORD>(OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                                 OFN_FILEMUSTEXIST | OFN_ENABLESIZING));
    // The program's folder first, then the document's.
    EXPECT_EQ(d.InitialDir, msxml ? Dir.Path() + L"\\" : Path(L"docs\\"));
    EXPECT_EQ(F->FileList->GetCount(), 3);
    EXPECT_EQ(F->ViewList.size(), 3u);
    EXPECT_EQ(F->ListView.RowCount(), 3);
    EXPECT_EQ(F->FileList->ListFileName, sums);
    EXPECT_EQ(F->FileList->ListFolder, Path(L"docs\\"));
    EXPECT_FALSE(F->FileList->Modified);
    EXPECT_EQ(F->Caption().substr(F->Caption().size() - sums.size() - 3), L" - " + sums);
    EXPECT_TRUE(std::regex_match(
        Status(), std::wregex(L" 3 items(, for (0:00:0\\d\\.\\d{3}|< 0\\.001 seconds))?")))
        << ui::ToUtf8(Status());
  }
}

// A note typed over several lines in the entry dialog, and names and folders with line ends of
// every kind, come back from File > Open as they were saved, with either reader; saved again, the
// file keeps its bytes.
TEST_F(DocCmdsTest, LineEndsComeBackFromOpenWithEitherReader) {
  const std::wstring sums = MakeChecksumFile(L"lines.#ml", 1);
  F->OpenDocument(sums);
  F->ListView.SetRowSelected(0, true);
  F->ActionList.Update();
  Script.AnswerDialog([](ui::Dialog& d) {
    auto& f = static_cast<TItemPropForm&>(d);
    f.NoteMemo.SetText(L"line1\r\nline2");
    f.OKButton.Click();
  });
  F->PerformCommand(ID_EDIT_ITEM);
  TFileItem& item = *F->FileList->GetItem(0);
  ASSERT_EQ(item.FileNote, L"line1\r\nline2");
  item.SetFileName(L"a\rb\nc\r\n\r\nd\r");
  F->FileList->SetUpdateFolder(L"C:\\x\r\ny\\");
  F->FileList->SetVerifyFolder(L"\n\r");
  F->PerformCommand(ID_FILE_SAVE);
  const std::string saved = ReadBytes(sums);
  for (bool msxml : {true, false}) {
    F->UseMSSAX = msxml;
    Script.Clear();
    Script.AnswerFile(sums);
    F->PerformCommand(ID_FILE_OPEN);
    ASSERT_EQ(F->FileList->GetCount(), 1);
    EXPECT_EQ(F->FileList->GetItem(0)->FileNote, L"line1\r\nline2") << msxml;
    EXPECT_EQ(F->FileList->GetItem(0)->FileName, L"a\rb\nc\r\n\r\nd\r");
    EXPECT_EQ(F->FileList->UpdateFolder, L"C:\\x\r\ny\\");
    EXPECT_EQ(F->FileList->VerifyFolder, L"\n\r");
    Script.AnswerFile(Path(L"again.#ml"));
    F->PerformCommand(ID_FILE_SAVEAS);
    EXPECT_EQ(ReadBytes(Path(L"again.#ml")), saved) << msxml;
  }
}

TEST_F(DocCmdsTest, AByteOrderMarkInFrontOfXmlStillMakesAChecksumFile) {
  // Saved by an editor that adds a byte-order mark, in UTF-8 or UTF-16 of either byte order:
  // read as XML by either reader, not as an empty text list.
  const std::string xml = ReadBytes(MakeChecksumFile(L"plain.#ml", 2));
  const auto utf16 = [&xml](bool BigEndian) {
    std::string bytes = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t c : CodePageToWide(xml, CP_UTF8)) {
      const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
      bytes += BigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
  };
  const std::pair<const wchar_t*, std::string> files[] = {
      {L"bom.#ml", "\xEF\xBB\xBF" + xml}, {L"le.#ml", utf16(false)}, {L"be.#ml", utf16(true)}};
  for (const auto& [name, bytes] : files) {
    WriteBytes(Path(name), bytes);
    for (bool msxml : {true, false}) {
      F->UseMSSAX = msxml;
      F->ClearDocument();
      Script.AnswerFile(Path(name));
      F->PerformCommand(ID_FILE_OPEN);
      EXPECT_EQ(F->FileList->GetCount(), 2) << ui::ToUtf8(name) << msxml;
      EXPECT_EQ(F->FileList->GetItem(1)->FileName, L"file1.txt");
      EXPECT_EQ(F->FileList->ListFileName, Path(name));
      EXPECT_EQ(AskedOf(ui::PromptKind::Message).size(), 0u);
      Script.Clear();
    }
  }
  EXPECT_TRUE(IsChecksumFileHead("\xEF\xBB\xBF<?xml"));
  EXPECT_TRUE(IsChecksumFileHead(std::string("\xFF\xFE<\0?\0x\0m\0l\0", 12)));
  EXPECT_TRUE(IsChecksumFileHead(std::string("\xFE\xFF\0<\0?\0x\0m\0l", 12)));
  // Everything else about the test stays: capitals, a short file, a mark of another kind.
  EXPECT_FALSE(IsChecksumFileHead("<?XML"));
  EXPECT_FALSE(IsChecksumFileHead("<?xm"));
  EXPECT_FALSE(IsChecksumFileHead("\xFF\xFE<?xml"));
  EXPECT_FALSE(IsChecksumFileHead(std::string("\xFF\xFE<\0?\0x\0m\0", 10)));
  EXPECT_FALSE(IsChecksumFileHead(std::string("\xFE\xFF<\0?\0x\0m\0l\0", 12)));
  EXPECT_FALSE(IsChecksumFileHead(" <?xml"));
  WriteBytes(Path(L"caps.#ml"),
             "<?XML version=\"1.0\"?>\r\n" + std::string(Md5Line) + " *a.txt\r\n");
  F->OpenDocument(Path(L"caps.#ml"));
  EXPECT_EQ(F->FileList->ListFileName, L"");  // a text list: one entry, unnamed
  EXPECT_EQ(F->FileList->GetCount(), 1);
  WriteBytes(Path(L"short.#ml"), "<?x");
  F->OpenDocument(Path(L"short.#ml"));  // a text list without entries
  EXPECT_EQ(AskedOf(ui::PromptKind::Message).size(), 1u);
  EXPECT_EQ(F->FileList->GetCount(), 0);
  EXPECT_EQ(Status(), L"");
}

// A file the reader rejects is reported and leaves an empty, unnamed document.
TEST_F(DocCmdsTest, AReaderErrorLeavesAnEmptyUnnamedDocument) {
  std::wstring sums = MakeChecksumFile(L"sums.#ml", 2);
  std::string xml = ReadBytes(sums);
  WriteBytes(Path(L"broken.#ml"), xml.substr(0, xml.size() / 2) + "<<");
  const auto emptied = [&] {
    EXPECT_EQ(F->FileList->GetCount(), 0);
    EXPECT_EQ(F->FileList->ListFileName, L"");
    EXPECT_EQ(F->ListView.RowCount(), 0);
    EXPECT_EQ(F->Caption().find(L" - "), std::wstring::npos);
    EXPECT_EQ(Status(), L"");
  };
  for (bool msxml : {true, false}) {
    F->UseMSSAX = msxml;
    F->OpenDocument(sums);
    Script.Clear();
    std::wstring statusDuringLoad;
    F->OpenDocument(Path(L"broken.#ml"));
    auto messages = AskedOf(ui::PromptKind::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Type, ui::MsgType::Error);
    EXPECT_EQ(messages[0].Buttons, ui::MsgButtons::OK);
    EXPECT_TRUE(std::regex_match(messages[0].Text, std::wregex(L".+, Line [1-9]\\d*, Row \\d+")))
        << ui::ToUtf8(messages[0].Text);
    emptied();
  }
  // XML of another kind has no fault to point at: the Open command names the file instead.
  const std::wstring other = Path(L"other.#ml");
  WriteBytes(other, "<?xml version=\"1.0\"?>\n<other><jurnItem/></other>\n");
  for (bool msxml : {true, false}) {
    F->UseMSSAX = msxml;
    F->OpenDocument(sums);
    Script.Clear();
    Script.AnswerFile(other);
    F->PerformCommand(ID_FILE_OPEN);
    auto messages = AskedOf(ui::PromptKind::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Text, L"\"" + other + L"\" is not a checksum file.");
    EXPECT_EQ(messages[0].Type, ui::MsgType::Error);
    EXPECT_EQ(messages[0].Buttons, ui::MsgButtons::OK);
    emptied();
  }
  // The loading text shows while the file is read.
  Script.Clear();
  std::wstring shown;
  Script.AnswerMessage([&](const ui::Prompt&) {
    shown = Status();
    return IDOK;
  });
  F->OpenDocument(Path(L"broken.#ml"));
  EXPECT_EQ(shown, L" Loading the \"" + Path(L"broken.#ml") + L"\" file, please wait...");
}

// A file in which neither reader finds an entry, empty, binary or text without a checksum line,
// is reported by Open and by Import and leaves an empty document, after the question whether to
// save the one shown. A text list with some valid lines imports them, and a checksum file
// without entries opens.
TEST_F(DocCmdsTest, AFileWithoutEntriesIsReportedAndLeavesAnEmptyDocument) {
  const std::wstring sums = MakeChecksumFile(L"sums.#ml", 2);
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919) % 251);
  const std::wstring text = CodePageToWide(std::string(Md5Line) + " *a.txt\n", CP_UTF8);
  std::string wide = "\xFF\xFE";
  for (const wchar_t c : text) wide += std::string{static_cast<char>(c), '\0'};
  const std::pair<const wchar_t*, std::string> files[] = {
      {L"empty.#ml", ""},
      {L"binary.#ml", binary},
      {L"words.md5", "no checksums here\r\n; " + std::string(Md5Line) + "\r\n"},
      {L"wide.md5", wide}};  // a text list in UTF-16
  for (int command : {ID_FILE_OPEN, ID_FILE_IMPORT}) {
    for (const auto& [name, bytes] : files) {
      SCOPED_TRACE(ui::ToUtf8(name));
      F->OpenDocument(sums);
      F->FileList->GetItem(0)->SetFileNote(L"changed");
      WriteBytes(Path(name), bytes);
      Script.Clear();
      Script.AnswerMessage(IDNO);  // not saved: the change stays only in the document
      Script.AnswerFile(Path(name));
      F->PerformCommand(command);
      auto messages = AskedOf(ui::PromptKind::Message);
      ASSERT_EQ(messages.size(), 2u);
      EXPECT_EQ(messages[1].Text, L"\"" + Path(name) + L"\" holds no checksum entries.");
      EXPECT_EQ(messages[1].Type, ui::MsgType::Error);
      EXPECT_EQ(messages[1].Buttons, ui::MsgButtons::OK);
      EXPECT_EQ(F->FileList->GetCount(), 0);
      EXPECT_FALSE(F->FileList->Modified);
      EXPECT_EQ(F->FileList->ListFileName, L"");
      EXPECT_EQ(F->ListView.RowCount(), 0);
      EXPECT_EQ(F->Caption().find(L" - "), std::wstring::npos);
    }
  }
  Script.Clear();
  WriteBytes(Path(L"mixed.md5"), "garbage\n" + std::string(Md5Line) + " *b.txt\n\x01\x02\n");
  F->OpenDocument(Path(L"mixed.md5"));
  EXPECT_TRUE(Script.Asked().empty());
  ASSERT_EQ(F->FileList->GetCount(), 1);
  EXPECT_EQ(F->FileList->GetItem(0)->FileName, L"b.txt");
  EXPECT_EQ(F->FileList->ListFileName, L"");
  F->OpenDocument(MakeChecksumFile(L"none.#ml", 0));
  EXPECT_TRUE(Script.Asked().empty());
  EXPECT_EQ(F->FileList->GetCount(), 0);
  EXPECT_EQ(F->FileList->ListFileName, Path(L"none.#ml"));
}

TEST_F(DocCmdsTest, AFileThatCannotBeOpenedKeepsTheDocument) {
  F->OpenDocument(MakeChecksumFile(L"sums.#ml", 2));
  Script.Clear();
  Script.Cancel(ui::PromptKind::File);
  F->PerformCommand(ID_FILE_OPEN);  // cancelled dialog: nothing happens
  EXPECT_EQ(F->FileList->GetCount(), 2);
  Script.Clear();
  Script.AnswerFile(Path(L"missing.#ml"));
  F->PerformCommand(ID_FILE_OPEN);
  auto messages = AskedOf(ui::PromptKind::Message);
  ASSERT_EQ(messages.size(), 1u);  // the application's error box
  EXPECT_EQ(messages[0].Type, ui::MsgType::Error);
  EXPECT_EQ(F->FileList->GetCount(), 2);
  EXPECT_EQ(F->FileList->ListFileName, Path(L"sums.#ml"));
  Script.Clear();
}

TEST_F(DocCmdsTest, ATextListIsImportedUnnamedAndSavingProposesItsFolder) {
  CreateDirectoryW(Path(L"lists").c_str(), nullptr);
  std::wstring list = Path(L"lists\\md5sum.lst");
  WriteBytes(list, std::string(Md5Line) + " *a.txt\n" + Md5Line + " *sub/b.txt\n");
  Script.AnswerFile(list);
  F->PerformCommand(ID_FILE_IMPORT);
  EXPECT_EQ(AskedOf(ui::PromptKind::Dialog).size(), 0u);  // plain names: no question
  EXPECT_EQ(F->FileList->GetCount(), 2);
  EXPECT_EQ(F->FileList->ListFileName, L"");
  EXPECT_EQ(F->FileList->ListFolder, Path(L"lists\\"));
  EXPECT_EQ(F->ViewList.size(), 2u);
  EXPECT_EQ(Status(), L"");  // Import leaves the status line alone

  F->OpenDocument(list);  // Open of a list: the count without a duration
  EXPECT_EQ(Status(), L" 2 items");
  EXPECT_EQ(F->FileList->ListFileName, L"");

  // Saving proposes "jurnvalt.#ml" in the list's folder; the caption follows the new name.
  Script.Clear();
  Script.AnswerFile(Path(L"lists\\jurnvalt.#ml"));
  EXPECT_TRUE(F->SaveDocument(false));
  auto files = AskedOf(ui::PromptKind::File);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(files[0].File.Save);
  EXPECT_EQ(files[0].File.FileName, Path(L"lists\\jurnvalt.#ml"));
  EXPECT_EQ(files[0].File.DefaultExt, L"#ml");
  EXPECT_TRUE(files[0].File.Options & OFN_OVERWRITEPROMPT);
  EXPECT_EQ(files[0].File.InitialDir, L"");
  EXPECT_EQ(F->FileList->ListFileName, Path(L"lists\\jurnvalt.#ml"));
  EXPECT_NE(F->Caption().find(L" - " + Path(L"lists\\jurnvalt.#ml")), std::wstring::npos);
  EXPECT_TRUE(std::regex_match(Status(), std::wregex(L" 2 items(, for .*)?")));
}

TEST_F(DocCmdsTest, TheCodePageQuestionHoldsForOneImportOrForGood) {
  std::wstring list = Path(L"names.md5");
  WriteBytes(list, std::string(Md5Line) + " *caf\xE9.txt\n" + Md5Line + " *plain.txt\n" + Md5Line +
                       " *na\xEFve.txt\n");
  // Asked for each foreign name.
  Script.AnswerDialog(Choose([](TUniConvForm& f) { f.EncAnsi.Click(); }));
  Script.AnswerDialog(Choose([](TUniConvForm& f) { f.EncAnsi.Click(); }));
  F->OpenDocument(list);
  EXPECT_EQ(AskedOf(ui::PromptKind::Dialog).size(), 2u);
  ASSERT_EQ(F->FileList->GetCount(), 3);
  EXPECT_EQ(F->FileList->GetItem(0)->FileName, L"caf\u00E9.txt");
  EXPECT_EQ(F->FileList->GetItem(2)->FileName, L"na\u00EFve.txt");
  EXPECT_EQ(F->CodeMode, 1);

  // "Don't ask me more ...": once for this import, again for the next.
  Script.Clear();
  Script.AnswerDialog(Choose([](TUniConvForm& f) { f.SaveBox.Click(); }));
  F->OpenDocument(list);
  EXPECT_EQ(AskedOf(ui::PromptKind::Dialog).size(), 1u);
  EXPECT_EQ(F->FileList->GetCount(), 3);
  EXPECT_FALSE(F->CodeSkip);
  Script.Clear();
  Script.AnswerDialog(Choose([](TUniConvForm& f) {
    EXPECT_FALSE(f.SaveBox.Checked());
    EXPECT_EQ(f.GetKind(), ekAnsi);  // the last choice is kept
    f.SaveBox.Click();
    f.NeverBox.Click();
  }));
  F->OpenDocument(list);
  EXPECT_EQ(AskedOf(ui::PromptKind::Dialog).size(), 1u);
  EXPECT_TRUE(F->CodeSkip);

  // "Don't ask me never...": later imports ask nothing.
  Script.Clear();
  F->OpenDocument(list);
  EXPECT_TRUE(Script.Asked().empty());
  EXPECT_EQ(F->FileList->GetItem(0)->FileName, L"caf\u00E9.txt");
}

TEST_F(DocCmdsTest, AbortingTheImportLeavesAnEmptyDocument) {
  std::wstring list = Path(L"names.md5");
  WriteBytes(list, std::string(Md5Line) + " *plain.txt\n" + Md5Line + " *caf\xE9.txt\n");
  // Cancel, No: back to the question; OK finishes the import.
  Script.AnswerDialog([](ui::Dialog& d) {
    auto& f = static_cast<TUniConvForm&>(d);
    f.CancelButton.Click();
    EXPECT_TRUE(f.Visible());
    f.OKButton.Click();
  });
  Script.AnswerMessage(IDNO);
  F->OpenDocument(list);
  EXPECT_EQ(F->FileList->GetCount(), 2);

  // Cancel, Yes: the import ends, the entry read before goes, and the document is empty.
  Script.Clear();
  Script.AnswerMessage(IDNO);  // the imported list is a modified document
  Script.AnswerFile(list);
  Script.AnswerDialog([](ui::Dialog& d) { static_cast<TUniConvForm&>(d).CancelButton.Click(); });
  Script.AnswerMessage(IDYES);
  F->PerformCommand(ID_FILE_IMPORT);
  EXPECT_EQ(AskedOf(ui::PromptKind::Message)[1].Text,
            L"Does you are really want to abort the import?");
  EXPECT_EQ(F->FileList->GetCount(), 0);
  EXPECT_EQ(F->ListView.RowCount(), 0);
  EXPECT_FALSE(F->FileList->Modified);
}

TEST_F(DocCmdsTest, SaveIsEnabledOnlyWhileModifiedAndSaveAsRenames) {
  std::wstring sums = MakeChecksumFile(L"sums.#ml", 2);
  F->OpenDocument(sums);
  ui::Application::Get().Idle();
  EXPECT_FALSE(F->Action(ID_FILE_SAVE).Enabled());
  EXPECT_FALSE(ui::MenuItemEnabled(F->MainMenu, ID_FILE_SAVE, false));
  F->FileList->GetItem(0)->SetFileNote(L"checked");
  ui::Application::Get().Idle();
  EXPECT_TRUE(F->Action(ID_FILE_SAVE).Enabled());

  // Save of a named document asks nothing.
  F->PerformCommand(ID_FILE_SAVE);
  EXPECT_TRUE(Script.Asked().empty());
  EXPECT_FALSE(F->FileList->Modified);
  EXPECT_NE(ReadBytes(sums).find("checked"), std::string::npos);

  // Save As proposes the current name; another folder gives the document that name and folder.
  CreateDirectoryW(Path(L"other").c_str(), nullptr);
  Script.AnswerFile(Path(L"other\\copy.#ml"));
  F->PerformCommand(ID_FILE_SAVEAS);
  EXPECT_EQ(AskedOf(ui::PromptKind::File)[0].File.FileName, sums);
  EXPECT_EQ(F->FileList->ListFileName, Path(L"other\\copy.#ml"));
  EXPECT_EQ(F->FileList->ListFolder, Path(L"other\\"));
  EXPECT_NE(F->Caption().find(L" - " + Path(L"other\\copy.#ml")), std::wstring::npos);

  // Save As cancelled changes nothing.
  Script.Clear();
  Script.Cancel(ui::PromptKind::File);
  EXPECT_FALSE(F->SaveDocument(true));
  EXPECT_EQ(F->FileList->ListFileName, Path(L"other\\copy.#ml"));

  // A failed write keeps the old name and the modified flag; the error is shown.
  Script.Clear();
  F->FileList->GetItem(0)->SetFileNote(L"again");
  Script.AnswerFile(Path(L"no such folder\\x.#ml"));
  F->PerformCommand(ID_FILE_SAVEAS);
  EXPECT_EQ(AskedOf(ui::PromptKind::Message).size(), 1u);
  EXPECT_EQ(F->FileList->ListFileName, Path(L"other\\copy.#ml"));
  EXPECT_TRUE(F->FileList->Modified);
}

// Save does not replace a file the user made read-only: the error names it, its bytes and its
// mark stay and the document stays modified. A hidden and system file keeps those marks.
TEST_F(DocCmdsTest, SaveRefusesAReadOnlyFileAndKeepsTheMarksOfOthers) {
  const std::wstring sums = MakeChecksumFile(L"sums.#ml", 2);
  F->OpenDocument(sums);
  const std::string before = ReadBytes(sums);
  F->FileList->GetItem(0)->SetFileNote(L"checked");
  SetFileAttributesW(sums.c_str(), FILE_ATTRIBUTE_READONLY);
  F->PerformCommand(ID_FILE_SAVE);
  ASSERT_EQ(AskedOf(ui::PromptKind::Message).size(), 1u);
  EXPECT_NE(AskedOf(ui::PromptKind::Message)[0].Text.find(L"\"" + sums + L"\""),
            std::wstring::npos);
  EXPECT_EQ(ReadBytes(sums), before);
  EXPECT_EQ(GetFileAttributesW(sums.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
            DWORD{FILE_ATTRIBUTE_READONLY});
  EXPECT_TRUE(F->FileList->Modified);

  Script.Clear();
  SetFileAttributesW(sums.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  F->PerformCommand(ID_FILE_SAVE);
  EXPECT_TRUE(Script.Asked().empty());
  EXPECT_FALSE(F->FileList->Modified);
  EXPECT_NE(ReadBytes(sums).find("checked"), std::string::npos);
  EXPECT_EQ(GetFileAttributesW(sums.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE},
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});

  // Another program holding the file open keeps it from being saved only when it does not let
  // it be deleted; then the message names the file and the document stays modified.
  F->FileList->GetItem(1)->SetFileNote(L"held");
  HANDLE held = CreateFileW(sums.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  F->PerformCommand(ID_FILE_SAVE);
  CloseHandle(held);
  EXPECT_TRUE(Script.Asked().empty());
  EXPECT_FALSE(F->FileList->Modified);
  const std::string saved = ReadBytes(sums);
  EXPECT_NE(saved.find("held"), std::string::npos);

  F->FileList->GetItem(1)->SetFileNote(L"refused");
  held =
      CreateFileW(sums.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  F->PerformCommand(ID_FILE_SAVE);
  CloseHandle(held);
  ASSERT_EQ(AskedOf(ui::PromptKind::Message).size(), 1u);
  const std::wstring text = AskedOf(ui::PromptKind::Message)[0].Text;
  EXPECT_NE(text.find(L"\"" + sums + L"\""), std::wstring::npos);
  EXPECT_NE(text.find(L"in use by another program"), std::wstring::npos);
  EXPECT_TRUE(F->FileList->Modified);
  EXPECT_EQ(ReadBytes(sums), saved);
}

TEST_F(DocCmdsTest, TheStatusLineCountsEntriesAndFormatsTheDuration) {
  F->ShowStatus(1.0);
  EXPECT_EQ(Status(), L"");  // no entries
  F->OpenDocument(MakeChecksumFile(L"sums.#ml", 3));
  F->ShowStatus(0);
  EXPECT_EQ(Status(), L" 3 items");
  F->ShowStatus(0.5 / 86400000);
  EXPECT_EQ(Status(), L" 3 items, for < 0.001 seconds");
  F->ShowStatus(1.5 / 86400);
  EXPECT_EQ(Status(), L" 3 items, for 0:00:01.500");
  F->ShowStatus((2 * 3600 + 5 * 60 + 7.25) / 86400);
  EXPECT_EQ(Status(), L" 3 items, for 2:05:07.250");
  EXPECT_EQ(FormatElapsed(1.0 / 86400000), L"0:00:00.001");
}

TEST_F(DocCmdsTest, FirstActivationOpensTheCommandLineFileOrShowsATip) {
  std::wstring sums = MakeChecksumFile(L"given.#ml", 2);
  auto f = NewForm({L"/min", L"", L"-x", sums});
  f->TntFormActivate();
  EXPECT_EQ(f->FileList->ListFileName, sums);
  EXPECT_TRUE(Script.Asked().empty());  // no tip, no verify

  // A file that cannot be opened is reported once, not at every later activation.
  auto missing = NewForm({Path(L"missing.#ml")});
  for (int i = 0; i < 2; ++i) {
    SendMessageW(missing->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    ui::ProcessMessages();
  }
  EXPECT_EQ(AskedOf(ui::PromptKind::Message).size(), 1u);
  EXPECT_TRUE(missing->Activated);
  Script.Clear();

  // No file, automatic verify off, tips on: the tip dialog, once.
  WriteIni(L"General", L"AutoHash", L"0");
  WriteIni(L"General", L"TipIndex", L"2");
  auto g = NewForm();
  Script.AnswerDialog([](ui::Dialog& d) {
    auto& t = static_cast<TDlgTipsForm&>(d);
    EXPECT_EQ(t.TipTextLabel.Text(),
              L"To adjust column width, simply double-click between two column headers");
    t.NextButton.Click();
    EXPECT_EQ(t.TipNameLabel.Text(), L"Tools");
    EXPECT_EQ(t.TipTextLabel.Text(),
              L"To calculate checksum value for single file, use the \"Hash Calc\" tool...");
    t.ShowBox.Click();
    t.CloseButton.Click();
  });
  g->TntFormActivate();
  g->TntFormActivate();
  EXPECT_EQ(AskedOf(ui::PromptKind::Dialog).size(), 1u);
  EXPECT_EQ(g->TipIndex, 3);
  EXPECT_FALSE(g->TipOfDay);
}

TEST_F(DocCmdsTest, TheFileNamedLikeTheProgramIsVerifiedAtOnce) {
  // Holding no entries: opened, no verify, and no tip either while the automatic verify is on.
  MakeChecksumFile(L"jurnvalt.#ml", 0);
  auto empty = NewForm();
  empty->TntFormActivate();
  EXPECT_EQ(empty->FileList->ListFileName, Path(L"jurnvalt.#ml"));
  EXPECT_TRUE(Script.Asked().empty());

  // With entries (of files that are not there): the verify window starts by itself.
  MakeChecksumFile(L"jurnvalt.#ml", 2);
  auto f = NewForm();
  std::wstring result;
  Script.AnswerDialog([&](ui::Dialog& d) {
    ui::ProcessMessages();
    auto& v = static_cast<TVerifyForm&>(d);
    result = v.StatusLabel.Text();
    v.CloseButton.Click();
  });
  f->TntFormActivate();
  ASSERT_EQ(AskedOf(ui::PromptKind::Dialog).size(), 1u);
  EXPECT_EQ(Script.Asked()[0].DialogId, IDD_VERIFY);
  EXPECT_EQ(result, L"ERRORS OCCURED");
  EXPECT_EQ(f->FileList->GetItem(0)->State, fsNotFound);
}

TEST_F(DocCmdsTest, NewStartsTheUpdateWindowOverAnEmptyDocument) {
  F->OpenDocument(MakeChecksumFile(L"sums.#ml", 2));
  Modify();
  Script.AnswerMessage(IDNO);
  Script.AnswerDialog([&](ui::Dialog& d) {
    EXPECT_EQ(F->FileList->GetCount(), 0);
    EXPECT_EQ(F->FileList->ListFileName, L"");
    static_cast<TUpdateForm&>(d).CloseButton.Click();
  });
  F->PerformCommand(ID_FILE_NEW);
  EXPECT_EQ(AskedOf(ui::PromptKind::Dialog).at(0).DialogId, IDD_UPDATE);
}

TEST_F(DocCmdsTest, TipsAndPropertiesFromTheirCommands) {
  F->TipIndex = 7;
  // The tips are owned by the main window and stand centred on it.
  F->Activated = true;  // shown, the window is not to run its first activation
  SetWindowPos(F->Handle(), nullptr, 200, 150, 600, 400,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  Script.AnswerDialog([this](ui::Dialog& d) {
    auto& t = static_cast<TDlgTipsForm&>(d);
    EXPECT_EQ(GetWindow(t.Handle(), GW_OWNER), F->Handle());
    EXPECT_TRUE(IsWindowVisible(t.Handle()));
    RECT r;
    GetWindowRect(t.Handle(), &r);
    EXPECT_NEAR((r.left + r.right) / 2, 500, 1);
    EXPECT_NEAR((r.top + r.bottom) / 2, 350, 1);
    ASSERT_EQ(t.Tips.size(), 4u);
    EXPECT_EQ(t.TipNameLabel.Text(), L"Tools");
    EXPECT_EQ(t.Tips[0]->Text, L"To sort checksum list by value, simply click on column header...");
    EXPECT_EQ(t.Tips[1]->Text,
              L"To see what files has been changed, simply resort checksum list by file state, "
              L"by clicking on \"State\" column header...");
    t.CloseButton.Click();
  });
  F->PerformCommand(ID_HELP_TIPS);
  EXPECT_TRUE(IsWindowEnabled(F->Handle()));
  EXPECT_EQ(F->TipIndex, 3);  // the tip shown last
  EXPECT_TRUE(F->TipOfDay);

  for (int button : {IDCANCEL, IDOK})
    Script.AnswerDialog([button](ui::Dialog& d) {
      auto& p = static_cast<TPropsForm&>(d);
      p.TimeBox.Click();
      (button == IDOK ? p.OKButton : p.CancelButton).Click();
    });
  F->PerformCommand(ID_FILE_PROPS);
  EXPECT_FALSE(F->FileList->Modified);
  F->PerformCommand(ID_FILE_PROPS);
  EXPECT_TRUE(F->FileList->VerifyTime && F->FileList->Modified);
}

TEST_F(DocCmdsTest, AboutOpensTheHomePageOrTheSupportMail) {
  auto click = [](int label) {
    return [label](ui::Dialog& d) {
      d.PerformCommand(label, STN_CLICKED, GetDlgItem(d.Handle(), label));
    };
  };
  Script.AnswerDialog(click(IDT_ABOUT_HOME));
  F->PerformCommand(ID_HELP_ABOUT);
  Script.AnswerDialog(click(IDT_ABOUT_MAIL));
  F->PerformCommand(ID_HELP_ABOUT);
  Script.AnswerDialog([](ui::Dialog& d) {
    d.PerformCommand(IDB_ABOUT_OK, BN_CLICKED, GetDlgItem(d.Handle(), IDB_ABOUT_OK));
  });
  F->PerformCommand(ID_HELP_ABOUT);
  auto shell = AskedOf(ui::PromptKind::Shell);
  ASSERT_EQ(shell.size(), 2u);
  EXPECT_EQ(shell[0].Text, ProductHomePage);
  EXPECT_EQ(shell[1].Text, std::wstring(L"mailto:") + ProductSupportMail);
}
