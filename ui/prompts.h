#pragma once
// The one seam for everything that waits on the user: message boxes, modal dialogs, the
// common file, font and colour dialogs and the shell's "open this address".
//
// Program code calls the functions below (and Dialog::ShowModal, which uses the seam). By
// default they show the real thing. A test installs a script instead:
//
//   ui::Script script;                                  // installed until it goes out of scope
//   script.AnswerMessage(IDYES);                        // next message box: "Yes"
//   script.AnswerDialog([](ui::Dialog& d) {             // next modal dialog
//     auto& f = static_cast<TSaveConfForm&>(d);
//     f.INIButton.Click();
//     f.OKButton.Click();                               // ends it with IDOK
//   });
//   script.AnswerFile(L"C:\\x\\a.#ml");                 // next file dialog picks this name
//   script.Cancel(ui::PromptKind::File);                // or is cancelled
//   ... drive the window ...
//   EXPECT_EQ(script.Asked()[0].Text, L"...");          // what was asked, in order
//   EXPECT_TRUE(script.Failures().empty());             // unexpected or unanswered prompts
//
// Answers are used in order. A message box with only an OK button needs no answer (it is
// recorded and answered OK); any other prompt without a matching answer is recorded as a
// failure and cancelled (IDCANCEL, no file, no change), so a test never hangs on a hidden box.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/strings.h"

namespace ui {

class Dialog;

enum class MsgType { Information, Warning, Error, Confirmation };
enum class MsgButtons { OK, YesNo, YesNoCancel, OKCancel };

// Shows a message box; returns IDOK, IDYES, IDNO or IDCANCEL. The caption is the
// application's title when empty. The box stands centred on the main window, wholly on the
// screen.
int MessageDlg(HWND owner, const std::wstring& text, MsgType type, MsgButtons buttons,
               const std::wstring& caption = L"");

// Common file dialog. Filter in the form "Text|*.a|Text 2|*.b"; FilterIndex counts from 1.
struct FileDialog {
  bool Save = false;
  std::wstring Title;
  std::wstring Filter;
  int FilterIndex = 1;
  std::wstring DefaultExt;
  std::wstring FileName;  // in: proposed name; out: the chosen file
  std::wstring InitialDir;
  DWORD Options = 0;  // OFN_ flags (OFN_EXPLORER is always added)
  // Shows it through the seam; true when the user picked a file.
  bool Execute(HWND owner);
};

// What the system's file dialog can take: it holds a path in MAX_PATH characters. It starts
// in a folder above one it cannot show (a proposed name keeps its own part), and under Wine,
// whose dialog would overrun its buffer, refuses with a message a typed name that makes folder
// and name too long.
//
// Whether the dialog can show Folder.
bool FileDialogShows(const std::wstring& Folder);
// Whether the dialog, showing Folder, can take Text, its name box's text (one name, or several
// in double quotes), with the extension it adds to a name without one.
bool FileDialogTakesName(const FileDialog& d, const std::wstring& Folder, const std::wstring& Text);
// The system's dialog itself (what the seam shows outside tests).
bool ShowSystemFileDialog(HWND owner, FileDialog& d);

struct FontDialog {
  LOGFONTW Font{};    // in and out
  DWORD Options = 0;  // CF_ flags
  bool Execute(HWND owner);
};

struct ColorDialog {
  COLORREF Color = 0;  // in and out
  bool Execute(HWND owner);
};

// Asks the shell to open a document or address with its default action (ShellExecute).
void ShellOpen(HWND owner, const std::wstring& address, int showCommand = SW_SHOWNORMAL);

// What a prompt asked, as recorded by a script.
enum class PromptKind { Message, Dialog, File, Font, Color, Shell };
struct Prompt {
  explicit Prompt(PromptKind kind = PromptKind::Message) : Kind(kind) {}
  PromptKind Kind;
  std::wstring Text;     // message text, shell address
  std::wstring Caption;  // message caption
  MsgType Type = MsgType::Information;
  MsgButtons Buttons = MsgButtons::OK;
  int DialogId = 0;  // template ID of a modal dialog
  FileDialog File;   // file dialog as shown
  int Result = 0;    // the answer given (IDOK, IDYES, ..., or 1/0 for the common dialogs)
};

// The interface behind the seam.
class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual int Message(HWND owner, const std::wstring& text, const std::wstring& caption,
                      MsgType type, MsgButtons buttons) = 0;
  virtual int Modal(Dialog& dialog) = 0;
  virtual bool File(HWND owner, FileDialog& dialog) = 0;
  virtual bool Font(HWND owner, FontDialog& dialog) = 0;
  virtual bool Color(HWND owner, ColorDialog& dialog) = 0;
  virtual void Shell(HWND owner, const std::wstring& address, int showCommand) = 0;
};
// The real dialogs.
Prompter& SystemPrompter();
// Installs a prompter; returns the one it replaces (nullptr: the system one).
Prompter* SetPrompter(Prompter* p);
// The installed prompter (the system one when none is).
Prompter& CurrentPrompter();

// A test's script of answers (see the top of this file).
class Script : public Prompter {
 public:
  Script();
  ~Script() override;

  void AnswerMessage(int result);
  void AnswerMessage(std::function<int(const Prompt&)> answer);
  // The function drives the dialog and should end it (a button with a modal result, or
  // SetModalResult); one still open afterwards is a failure and ends with IDCANCEL.
  void AnswerDialog(std::function<void(Dialog&)> answer);
  void AnswerFile(const std::wstring& fileName, int filterIndex = 0);
  void AnswerFont(const LOGFONTW& font);
  // The next file or font dialog is the system's own. drive gets its window once it shows and
  // should end it before returning (send its OK or Cancel); one still shown then is a failure
  // and is cancelled.
  void DriveFile(std::function<void(HWND)> drive);
  void DriveFont(std::function<void(HWND)> drive);
  void AnswerColor(COLORREF color);
  void Cancel(PromptKind kind);  // the next prompt of this kind is cancelled

  const std::vector<Prompt>& Asked() const { return asked_; }
  const std::vector<std::wstring>& Failures() const { return failures_; }
  // Answers not used yet.
  size_t Pending() const { return answers_.size(); }
  // Forgets the answers and what was asked; the failures are kept.
  void Clear();

  int Message(HWND owner, const std::wstring& text, const std::wstring& caption, MsgType type,
              MsgButtons buttons) override;
  int Modal(Dialog& dialog) override;
  bool File(HWND owner, FileDialog& dialog) override;
  bool Font(HWND owner, FontDialog& dialog) override;
  bool Color(HWND owner, ColorDialog& dialog) override;
  void Shell(HWND owner, const std::wstring& address, int showCommand) override;

 private:
  struct Answer {
    explicit Answer(PromptKind kind = PromptKind::Message) : Kind(kind) {}
    PromptKind Kind;
    bool Cancel = false;
    std::function<int(const Prompt&)> OnMessage;
    std::function<void(ui::Dialog&)> OnDialog;
    std::wstring FileName;
    int FilterIndex = 0;
    LOGFONTW Font{};
    std::function<void(HWND)> OnWindow;
    COLORREF Color = 0;
  };
  // The next answer when it is of this kind; otherwise records a failure.
  bool Next(PromptKind kind, const Prompt& p, Answer& out);
  // Shows a system dialog through show and hands its window to drive.
  bool Driven(const wchar_t* what, const std::function<void(HWND)>& drive, HWND owner,
              const std::function<bool()>& show);
  std::vector<Answer> answers_;
  std::vector<Prompt> asked_;
  std::vector<std::wstring> failures_;
  Prompter* previous_;
};

}  // namespace ui
