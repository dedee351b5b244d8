#pragma once
// The Export command and its options dialog: the open document written as an MD5SUM, BSD-style
// or SFV text list.
//
// The command lives apart from the main window: the window hands it the document and a copy of
// its export settings and takes the settings back afterwards (they change on OK even when the
// export itself is declined or cancelled later).
#include <cstdint>
#include <string>

#include "app/res/export_res.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class TFileList;

// The main window's export settings, with the values it stores.
struct TExportSettings {
  int32_t ExFormat = 0;   // 0 BSD-style, 1 MD5SUM, 2 SFV
  int32_t CodeMode = 0;   // 0 UTF-8, 1 ANSI, 2 OEM, 3 the code page in Encoding, 4 Macintosh
  int32_t Encoding = 0;   // code page number for CodeMode 3
  bool ShowCode = false;  // the code-page list shows the numbers
  int32_t ExLineEnd = 0;  // 0 CRLF, 1 LF, 2 CR
  int32_t ExDelimit = 0;  // 0 backslash, 1 doubled backslash, 2 slash
  int32_t ExDefName = 0;  // 0 "md5sum.lst", 1 "checksum.md5", 2 none
  bool ExLowCase = true;
};

// What the command learns from the document before it offers any choice.
struct TExportCounts {
  int32_t MD5 = 0;       // entries with a value of type "MD5"
  int32_t CRC32 = 0;     // entries with a value of type "CRC32"
  int32_t NonAscii = 0;  // names holding a character of code 128 or above
  int32_t UNC = 0;       // names beginning with two backslashes
};
TExportCounts CountExportEntries(const TFileList& List);

class TExportForm : public ui::Dialog {
 public:
  explicit TExportForm(HWND Owner);

  ui::Label FormatBox{this, IDT_EXPORT_FORMAT};
  ui::RadioButton MD5Button{this, IDC_EXPORT_MD5};
  ui::RadioButton BSDButton{this, IDC_EXPORT_BSD};
  ui::RadioButton SFVButton{this, IDC_EXPORT_SFV};
  ui::Label LineEndBox{this, IDT_EXPORT_LINEEND};
  ui::RadioButton DOSButton{this, IDC_EXPORT_DOS};
  ui::RadioButton NixButton{this, IDC_EXPORT_NIX};
  ui::RadioButton MacButton{this, IDC_EXPORT_MAC};
  ui::Label EncodingBox{this, IDT_EXPORT_ENCODING};
  ui::RadioButton UTF8Button{this, IDC_EXPORT_UTF8};
  ui::RadioButton ANSIButton{this, IDC_EXPORT_ANSI};
  ui::RadioButton OEMButton{this, IDC_EXPORT_OEM};
  ui::RadioButton OthButton{this, IDC_EXPORT_OTHER};
  ui::ComboBox EncList{this, IDC_EXPORT_ENCLIST};  // items carry their code-page numbers
  ui::Button OKButton{this, IDOK};
  ui::Button CancelButton{this, IDCANCEL};
  ui::CheckBox ShowCodeBox{this, IDC_EXPORT_SHOWCODE};
  ui::Label DelimBox{this, IDT_EXPORT_DELIM};
  ui::RadioButton RSButton{this, IDC_EXPORT_RS};
  ui::RadioButton DRButton{this, IDC_EXPORT_DR};
  ui::RadioButton SLButton{this, IDC_EXPORT_SL};
  ui::Label FileNameBox{this, IDT_EXPORT_FILENAME};
  ui::RadioButton LSTButton{this, IDC_EXPORT_LST};
  ui::RadioButton CHKButton{this, IDC_EXPORT_CHK};
  ui::RadioButton EMTButton{this, IDC_EXPORT_EMT};
  ui::RadioButton MCPButton{this, IDC_EXPORT_MACCP};
  ui::CheckBox LowCaseBox{this, IDC_EXPORT_LOWCASE};

  // Each pair reads and sets one setting through its radio buttons, with the setting's values;
  // the getters give -1 when no button of the group is selected. The setters fall back to the
  // group's default where the wanted button is disabled (format, delimiter, default name).
  int32_t GetFormat();
  void SetFormat(int32_t Value);
  int32_t GetEncoding();
  void SetEncoding(int32_t Value);
  // The number of the selected code page; 0 when none is selected.
  uint32_t GetCodePage();
  void SetCodePage(uint32_t Value);
  int32_t GetLineEnd();
  void SetLineEnd(int32_t Value);
  int32_t GetDelimiter();
  void SetDelimiter(int32_t Value);
  int32_t GetDefaultFileName();
  void SetDefaultFileName(int32_t Value);

  // Handlers: the default names only for MD5SUM, the code-page list only for "Other", and the
  // list refilled with or without the numbers.
  void MD5ButtonClick();
  void OthButtonClick();
  void ShowCodeBoxClick();

  // Enables the choices that make sense for a document with these counts.
  void EnableFor(const TExportCounts& Counts);
  // Sets every control from the settings, the dependent controls following.
  void Seed(const TExportSettings& Settings);
  // Stores the choices back.
  void Store(TExportSettings& Settings);

 protected:
  void OnInitDialog() override;
  void OnShow() override;

 private:
  // Fills EncList from the installed code pages and selects the system's ANSI code page.
  void FillEncList();
};

// The Export command over List: asks for the options (stored back into Settings on OK), warns
// when not every entry can go into the chosen format, asks for the target file and writes it.
// A failed export is reported in an error message that names the file.
void ExportDocument(HWND Owner, const TFileList& List, TExportSettings& Settings);

// Writes List as a text list with these settings into a new file beside FileName, which is
// replaced only once the whole list is written. Raises EFCreateError or EWriteError (the list
// could not be written) or EStringFormat (a stored value cannot be decoded); FileName is then
// left as it was. Returns how many entries were left out because their value could not be
// converted (its encoding is not registered).
int32_t WriteExportFile(const TFileList& List, const std::wstring& FileName,
                     const TExportSettings& Settings);
