#include "ui/prompts.h"

#include <commdlg.h>
#include <shellapi.h>

#include "ui/app.h"
#include "ui/dialog.h"
#include "ui/window.h"

namespace ui {

namespace {

Prompter* g_prompter = nullptr;

UINT MessageFlags(MsgType type, MsgButtons buttons) {
  UINT f = 0;
  switch (type) {
    case MsgType::Information:
      f |= MB_ICONINFORMATION;
      break;
    case MsgType::Warning:
      f |= MB_ICONWARNING;
      break;
    case MsgType::Error:
      f |= MB_ICONERROR;
      break;
    case MsgType::Confirmation:
      f |= MB_ICONQUESTION;
      break;
  }
  switch (buttons) {
    case MsgButtons::OK:
      f |= MB_OK;
      break;
    case MsgButtons::YesNo:
      f |= MB_YESNO;
      break;
    case MsgButtons::YesNoCancel:
      f |= MB_YESNOCANCEL;
      break;
    case MsgButtons::OKCancel:
      f |= MB_OKCANCEL;
      break;
  }
  return f;
}

// Message boxes stand centred on the main window (on their owner while the main window is not
// on the screen), wholly inside the work area. The system places a box itself, so a hook on
// this thread moves it when it is first activated, before it is drawn.
class CenteredBox {
 public:
  explicit CenteredBox(HWND owner) : previous_(current_) {
    Form* main = Application::Get().MainForm();
    HWND mainWindow = main ? main->HandleIfCreated() : nullptr;
    reference_ = IsShown(mainWindow) ? mainWindow : owner;
    hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    current_ = this;
  }
  ~CenteredBox() {
    if (hook_) UnhookWindowsHookEx(hook_);
    current_ = previous_;
  }
  CenteredBox(const CenteredBox&) = delete;
  CenteredBox& operator=(const CenteredBox&) = delete;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
    CenteredBox* self = current_;
    if (code == HCBT_ACTIVATE && self && !self->placed_) {
      HWND box = reinterpret_cast<HWND>(wp);
      wchar_t cls[16] = {};
      GetClassNameW(box, cls, 16);
      if (lstrcmpW(cls, L"#32770") == 0) {
        self->placed_ = true;
        CenterWindow(box, self->reference_);
      }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }
  static inline thread_local CenteredBox* current_ = nullptr;
  CenteredBox* previous_;
  HHOOK hook_ = nullptr;
  HWND reference_ = nullptr;
  bool placed_ = false;
};

// The face, style and character set a font is drawn with. The dialog finds a face only by
// a name it lists, and an alias such as "MS Shell Dlg" or a missing face is not listed: it
// would open on its first entry instead, and OK would hand that one back.
LOGFONTW DrawnFont(const LOGFONTW& font) {
  LOGFONTW lf = font;
  HDC dc = GetDC(nullptr);
  HFONT f = CreateFontIndirectW(&font);
  HGDIOBJ old = SelectObject(dc, f);
  wchar_t face[LF_FACESIZE] = {};
  if (GetTextFaceW(dc, LF_FACESIZE, face) > 0) lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  TEXTMETRICW tm{};
  if (GetTextMetricsW(dc, &tm)) {
    lf.lfWeight = tm.tmWeight;
    lf.lfItalic = tm.tmItalic;
    lf.lfCharSet = tm.tmCharSet;
  }
  SelectObject(dc, old);
  DeleteObject(f);
  ReleaseDC(nullptr, dc);
  return lf;
}

bool SameFont(const LOGFONTW& a, const LOGFONTW& b) {
  return lstrcmpiW(a.lfFaceName, b.lfFaceName) == 0 && a.lfHeight == b.lfHeight &&
         a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic && a.lfUnderline == b.lfUnderline &&
         a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet;
}

// Notes the font the dialog shows once it has filled its lists. Windows answers
// WM_CHOOSEFONT_GETLOGFONT; Wine does not, but keeps lpLogFont current instead.
UINT_PTR CALLBACK FontShownHook(HWND dialog, UINT msg, WPARAM, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    const auto* cf = reinterpret_cast<const CHOOSEFONTW*>(lp);
    auto* shown = reinterpret_cast<LOGFONTW*>(cf->lCustData);
    *shown = *cf->lpLogFont;
    SendMessageW(dialog, WM_CHOOSEFONT_GETLOGFONT, 0, reinterpret_cast<LPARAM>(shown));
    return TRUE;
  }
  return FALSE;
}

class SystemPrompts : public Prompter {
 public:
  int Message(HWND owner, const std::wstring& text, const std::wstring& caption, MsgType type,
              MsgButtons buttons) override {
    CenteredBox centered(owner);
    ModalRun run(owner);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), MessageFlags(type, buttons));
  }
  int Modal(Dialog& dialog) override { return dialog.RunModal(); }
  bool File(HWND owner, FileDialog& d) override { return ShowSystemFileDialog(owner, d); }
  bool Font(HWND owner, FontDialog& d) override {
    CHOOSEFONTW cf{};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = owner;
    LOGFONTW lf = DrawnFont(d.Font);
    LOGFONTW shown = lf;
    cf.lpLogFont = &lf;
    cf.Flags = d.Options | CF_INITTOLOGFONTSTRUCT | CF_SCREENFONTS | CF_ENABLEHOOK;
    cf.lpfnHook = FontShownHook;
    cf.lCustData = reinterpret_cast<LPARAM>(&shown);
    ModalRun run(owner);
    if (!ChooseFontW(&cf)) return false;
    // OK on what the dialog opened with keeps the font as it was given, name and all.
    if (!SameFont(lf, shown)) d.Font = lf;
    return true;
  }
  bool Color(HWND owner, ColorDialog& d) override {
    static COLORREF custom[16] = {};
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = owner;
    cc.rgbResult = d.Color;
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
    ModalRun run(owner);
    if (!ChooseColorW(&cc)) return false;
    d.Color = cc.rgbResult;
    return true;
  }
  void Shell(HWND owner, const std::wstring& address, int showCommand) override {
    ShellExecuteW(owner, nullptr, address.c_str(), nullptr, nullptr, showCommand);
  }
};

}  // namespace

Prompter& SystemPrompter() {
  static SystemPrompts p;
  return p;
}

Prompter* SetPrompter(Prompter* p) {
  Prompter* old = g_prompter;
  g_prompter = p;
  return old;
}

Prompter& CurrentPrompter() {
  return g_prompter ? *g_prompter : SystemPrompter();
}

int MessageDlg(HWND owner, const std::wstring& text, MsgType type, MsgButtons buttons,
               const std::wstring& caption) {
  std::wstring c = caption.empty() ? Application::Get().Title() : caption;
  return CurrentPrompter().Message(owner, text, c, type, buttons);
}

bool FileDialog::Execute(HWND owner) {
  return CurrentPrompter().File(owner, *this);
}
bool FontDialog::Execute(HWND owner) {
  return CurrentPrompter().Font(owner, *this);
}
bool ColorDialog::Execute(HWND owner) {
  return CurrentPrompter().Color(owner, *this);
}

void ShellOpen(HWND owner, const std::wstring& address, int showCommand) {
  CurrentPrompter().Shell(owner, address, showCommand);
}

// Script --------------------------------------------------------------------

namespace {
const wchar_t* KindName(PromptKind k) {
  switch (k) {
    case PromptKind::Message:
      return L"message box";
    case PromptKind::Dialog:
      return L"modal dialog";
    case PromptKind::File:
      return L"file dialog";
    case PromptKind::Font:
      return L"font dialog";
    case PromptKind::Color:
      return L"colour dialog";
    case PromptKind::Shell:
      return L"shell open";
  }
  return L"prompt";
}

// Hands a system dialog owned by the given window to a test's function once it shows: a hook
// sees it activate, and a timer runs the function from the dialog's own message loop.
class DrivenDialog {
 public:
  DrivenDialog(HWND owner, std::function<void(HWND)> drive)
      : owner_(owner), drive_(std::move(drive)) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  }
  ~DrivenDialog() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (timer_) KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  DrivenDialog(const DrivenDialog&) = delete;
  DrivenDialog& operator=(const DrivenDialog&) = delete;
  const std::wstring& Failure() const { return failure_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
    DrivenDialog* self = current_;
    HWND w = reinterpret_cast<HWND>(wp);
    if (code == HCBT_ACTIVATE && self && !self->dialog_ && GetWindow(w, GW_OWNER) == self->owner_) {
      self->dialog_ = w;
      self->timer_ = SetTimer(nullptr, 0, 0, Run);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }
  static void CALLBACK Run(HWND, UINT, UINT_PTR, DWORD) {
    DrivenDialog* self = current_;
    if (!self || !self->timer_) return;
    KillTimer(nullptr, self->timer_);
    self->timer_ = 0;
    Guarded([&] { self->drive_(self->dialog_); });
    if (IsWindowVisible(self->dialog_)) {
      self->failure_ = L"left open by the script";
      PostMessageW(self->dialog_, WM_COMMAND, IDCANCEL, 0);
    }
  }
  static inline thread_local DrivenDialog* current_ = nullptr;
  HWND owner_;
  std::function<void(HWND)> drive_;
  HHOOK hook_ = nullptr;
  HWND dialog_ = nullptr;
  UINT_PTR timer_ = 0;
  std::wstring failure_;
};

}  // namespace

Script::Script() : previous_(SetPrompter(this)) {}
Script::~Script() {
  SetPrompter(previous_);
}

// Failures stay: a test that starts a new step must not lose what went wrong in the last one.
void Script::Clear() {
  answers_.clear();
  asked_.clear();
}

void Script::AnswerMessage(int result) {
  AnswerMessage([result](const Prompt&) { return result; });
}

void Script::AnswerMessage(std::function<int(const Prompt&)> answer) {
  Answer a{PromptKind::Message};
  a.OnMessage = std::move(answer);
  answers_.push_back(std::move(a));
}

void Script::AnswerDialog(std::function<void(ui::Dialog&)> answer) {
  Answer a{PromptKind::Dialog};
  a.OnDialog = std::move(answer);
  answers_.push_back(std::move(a));
}

void Script::AnswerFile(const std::wstring& fileName, int filterIndex) {
  Answer a{PromptKind::File};
  a.FileName = fileName;
  a.FilterIndex = filterIndex;
  answers_.push_back(std::move(a));
}

void Script::AnswerFont(const LOGFONTW& font) {
  Answer a{PromptKind::Font};
  a.Font = font;
  answers_.push_back(std::move(a));
}

void Script::DriveFile(std::function<void(HWND)> drive) {
  Answer a{PromptKind::File};
  a.OnWindow = std::move(drive);
  answers_.push_back(std::move(a));
}

void Script::DriveFont(std::function<void(HWND)> drive) {
  Answer a{PromptKind::Font};
  a.OnWindow = std::move(drive);
  answers_.push_back(std::move(a));
}

void Script::AnswerColor(COLORREF color) {
  Answer a{PromptKind::Color};
  a.Color = color;
  answers_.push_back(std::move(a));
}

void Script::Cancel(PromptKind kind) {
  Answer a{kind};
  a.Cancel = true;
  answers_.push_back(std::move(a));
}

bool Script::Next(PromptKind kind, const Prompt& p, Answer& out) {
  if (!answers_.empty() && answers_.front().Kind == kind) {
    out = std::move(answers_.front());
    answers_.erase(answers_.begin());
    return true;
  }
  std::wstring what = std::wstring(L"unexpected ") + KindName(kind);
  if (!p.Text.empty()) what += L": " + p.Text;
  if (p.DialogId) what += L" (template " + std::to_wstring(p.DialogId) + L")";
  if (!answers_.empty())
    what += std::wstring(L"; next answer is for a ") + KindName(answers_.front().Kind);
  failures_.push_back(what);
  return false;
}

int Script::Message(HWND, const std::wstring& text, const std::wstring& caption, MsgType type,
                    MsgButtons buttons) {
  Prompt p{PromptKind::Message};
  p.Text = text;
  p.Caption = caption;
  p.Type = type;
  p.Buttons = buttons;
  Answer a{PromptKind::Message};
  if (!answers_.empty() && answers_.front().Kind == PromptKind::Message) {
    Next(PromptKind::Message, p, a);
    p.Result = a.Cancel ? IDCANCEL : a.OnMessage(p);
  } else if (buttons == MsgButtons::OK) {
    p.Result = IDOK;  // a plain notice needs no answer
  } else {
    Next(PromptKind::Message, p, a);
    p.Result = IDCANCEL;
  }
  asked_.push_back(p);
  return p.Result;
}

int Script::Modal(ui::Dialog& dialog) {
  Prompt p{PromptKind::Dialog};
  p.DialogId = dialog.TemplateId();
  p.Caption = dialog.Caption();
  size_t index = asked_.size();
  asked_.push_back(p);
  Answer a{PromptKind::Dialog};
  if (!Next(PromptKind::Dialog, p, a) || a.Cancel) {
    asked_[index].Result = IDCANCEL;
    return IDCANCEL;
  }
  dialog.BeginScripted();
  Guarded([&] { a.OnDialog(dialog); });
  int result = dialog.ModalResult();
  if (result == 0) {
    failures_.push_back(L"modal dialog (template " + std::to_wstring(p.DialogId) +
                        L") left open by the script");
    result = IDCANCEL;
  }
  dialog.EndScripted();
  asked_[index].Result = result;
  return result;
}

bool Script::File(HWND owner, FileDialog& d) {
  Prompt p{PromptKind::File};
  p.File = d;
  Answer a{PromptKind::File};
  bool ok = Next(PromptKind::File, p, a) && !a.Cancel;
  if (ok && a.OnWindow) {
    ok = Driven(L"file dialog", a.OnWindow, owner, [&] { return SystemPrompter().File(owner, d); });
  } else if (ok) {
    d.FileName = a.FileName;
    if (a.FilterIndex) d.FilterIndex = a.FilterIndex;
  }
  p.Result = ok;
  asked_.push_back(p);
  return ok;
}

bool Script::Font(HWND owner, FontDialog& d) {
  Prompt p{PromptKind::Font};
  p.Text = d.Font.lfFaceName;
  Answer a{PromptKind::Font};
  bool ok = Next(PromptKind::Font, p, a) && !a.Cancel;
  if (ok && a.OnWindow) {
    ok = Driven(L"font dialog", a.OnWindow, owner, [&] { return SystemPrompter().Font(owner, d); });
  } else if (ok) {
    d.Font = a.Font;
  }
  p.Result = ok;
  asked_.push_back(p);
  return ok;
}

bool Script::Driven(const wchar_t* what, const std::function<void(HWND)>& drive, HWND owner,
                    const std::function<bool()>& show) {
  DrivenDialog driven(owner, drive);
  const bool ok = show();
  if (!driven.Failure().empty()) failures_.push_back(what + (L" " + driven.Failure()));
  return ok;
}

bool Script::Color(HWND, ColorDialog& d) {
  Prompt p{PromptKind::Color};
  Answer a{PromptKind::Color};
  bool ok = Next(PromptKind::Color, p, a) && !a.Cancel;
  if (ok) d.Color = a.Color;
  p.Result = ok;
  asked_.push_back(p);
  return ok;
}

void Script::Shell(HWND, const std::wstring& address, int) {
  Prompt p{PromptKind::Shell};
  p.Text = address;
  p.Result = 1;
  asked_.push_back(p);  // recorded, never carried out
}

}  // namespace ui
