// The system's file dialog, kept to what it can take. Wine's dialog holds paths in buffers of
// MAX_PATH characters: given a longer folder it opens in another one or fails, and a typed name
// that makes folder and name longer overruns its OK handler's buffer, which crashes the program
// (the bytes past it overwrite the dialog's handle before the dialog cleans up).
#include "ui/prompts.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

#include "ui/prompts_res.h"
#include "ui/shaping.h"
#include "ui/window.h"

namespace ui {

namespace {

// Characters of a path the dialog holds, without its closing zero.
constexpr size_t PathRoom = MAX_PATH - 1;

bool IsSlash(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// Characters the folder takes of a path joined to it: its own and a backslash.
size_t FolderRoom(const std::wstring& folder) {
  return folder.size() + (folder.empty() || !IsSlash(folder.back()) ? 1 : 0);
}

// The folder above Folder, with its backslash; empty at the top.
std::wstring Parent(std::wstring folder) {
  while (!folder.empty() && IsSlash(folder.back())) folder.pop_back();
  const size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

// "a|b|c|d" -> "a\0b\0c\0d\0\0"
std::wstring FilterString(const std::wstring& filter) {
  std::wstring s = filter;
  for (wchar_t& c : s)
    if (c == L'|') c = L'\0';
  s.push_back(L'\0');
  s.push_back(L'\0');
  return s;
}

// Characters the dialog adds to a name without an extension: a dot and the filter's or the
// default extension, whichever it picks (the longest that it might).
size_t ExtensionRoom(const FileDialog& d) {
  if (d.DefaultExt.empty()) return 0;
  size_t longest = d.DefaultExt.size();
  size_t start = 0;
  for (int field = 0; start <= d.Filter.size(); ++field) {
    size_t end = std::min(d.Filter.find(L'|', start), d.Filter.size());
    if (field % 2 == 1) {
      const std::wstring pattern = d.Filter.substr(start, end - start);
      const std::wstring first = pattern.substr(0, pattern.find(L';'));
      const size_t dot = first.find(L'.');
      if (dot != std::wstring::npos && first.find_first_of(L"*?", dot) == std::wstring::npos)
        longest = std::max(longest, first.size() - dot - 1);
    }
    start = end + 1;
  }
  return 1 + longest;
}

// The names of a name box's text as the dialog splits it: each quoted one, or the whole text.
std::vector<std::wstring> SplitNames(const std::wstring& text) {
  if (text.find(L'"') == std::wstring::npos) return {text};
  std::vector<std::wstring> names;
  for (size_t open = text.find(L'"'); open != std::wstring::npos;) {
    const size_t close = text.find(L'"', open + 1);
    names.push_back(text.substr(open + 1, close - open - 1));
    open = close == std::wstring::npos ? close : text.find(L'"', close + 1);
  }
  return names;
}

bool HasExtension(const std::wstring& name) {
  const size_t dot = name.rfind(L'.');
  return dot != std::wstring::npos && name.find_first_of(L"\\ ", dot) == std::wstring::npos;
}

// A question the dialog answers with a text (CDM_GETFOLDERPATH, CDM_GETSPEC).
std::wstring Ask(HWND dialog, UINT msg) {
  const LRESULT size = SendMessageW(dialog, msg, 0, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<size_t>(size), L'\0');
  SendMessageW(dialog, msg, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

// While Wine's dialog is up, its OK handling first asks whether it can take the typed name; a
// name it cannot take is refused with a message and the dialog stays. Windows' dialog checks
// for itself and is left alone.
class NameGuard {
 public:
  explicit NameGuard(const FileDialog& d) : dialog_(d), previous_(current_) {
    hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    current_ = this;
  }
  ~NameGuard() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (window_) RemoveWindowSubclass(window_, Subclass, 1);
    current_ = previous_;
  }
  NameGuard(const NameGuard&) = delete;
  NameGuard& operator=(const NameGuard&) = delete;

 private:
  // The dialog is the first top-level dialog window the call creates.
  static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
    NameGuard* self = current_;
    if (code == HCBT_CREATEWND && self && !self->seen_) {
      const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lp)->lpcs;
      HWND window = reinterpret_cast<HWND>(wp);
      wchar_t cls[16] = {};
      GetClassNameW(window, cls, 16);
      if (!(create->style & WS_CHILD) && lstrcmpW(cls, L"#32770") == 0) {
        self->seen_ = true;
        if (SetWindowSubclass(window, Subclass, 1, reinterpret_cast<DWORD_PTR>(self)))
          self->window_ = window;
      }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }

  static LRESULT CALLBACK Subclass(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                   DWORD_PTR data) {
    auto* self = reinterpret_cast<NameGuard*>(data);
    if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
      const std::wstring folder = Ask(window, CDM_GETFOLDERPATH);
      if (!FileDialogTakesName(self->dialog_, folder, Ask(window, CDM_GETSPEC))) {
        const size_t used = FolderRoom(folder), left = used < PathRoom ? PathRoom - used : 0;
        MessageDlg(window,
                   Format(LoadStr(IDS_FILEDLG_TOOLONG),
                          {std::to_wstring(PathRoom), std::to_wstring(left)}),
                   MsgType::Error, MsgButtons::OK);
        return 0;
      }
    }
    if (msg == WM_NCDESTROY) {
      RemoveWindowSubclass(window, Subclass, 1);
      self->window_ = nullptr;
    }
    return DefSubclassProc(window, msg, wp, lp);
  }

  static inline thread_local NameGuard* current_ = nullptr;
  const FileDialog& dialog_;
  NameGuard* previous_;
  HHOOK hook_ = nullptr;
  HWND window_ = nullptr;
  bool seen_ = false;
};

}  // namespace

bool FileDialogShows(const std::wstring& Folder) {
  std::wstring folder = Folder;
  while (folder.size() > 1 && IsSlash(folder.back())) folder.pop_back();
  // The dialog lists the folder as its path followed by "\*".
  return folder.size() + 2 <= PathRoom;
}

bool FileDialogTakesName(const FileDialog& d, const std::wstring& Folder,
                         const std::wstring& Text) {
  const size_t folder = FolderRoom(Folder);
  const size_t extension = ExtensionRoom(d);
  for (const std::wstring& name : SplitNames(Text)) {
    const bool drive = name.size() > 1 && name[1] == L':';
    size_t length = name.size();
    if (!drive && (name.empty() || name[0] != L'\\'))
      length += folder;  // relative: in the folder shown
    else if (!drive)
      length += 2;  // from the root of the folder's drive
    if (!HasExtension(name)) length += extension;
    if (length > PathRoom) return false;
  }
  return true;
}

bool ShowSystemFileDialog(HWND owner, FileDialog& d) {
  std::wstring file = d.FileName, dir = d.InitialDir;
  // A proposal longer than the dialog takes: its folder goes in as the one to start in.
  const size_t slash = file.find_last_of(L"\\/");
  if (slash != std::wstring::npos && file.size() > PathRoom) {
    dir = file.substr(0, slash + 1);
    file.erase(0, slash + 1);
  }
  // A folder the dialog cannot show: the nearest one above it that it can.
  while (!dir.empty() && !FileDialogShows(dir)) dir = Parent(dir);

  std::wstring filter = FilterString(d.Filter);
  std::wstring buf = file;
  buf.resize(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = d.Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = d.FilterIndex;
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = static_cast<DWORD>(buf.size());
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.lpstrTitle = d.Title.empty() ? nullptr : d.Title.c_str();
  ofn.lpstrDefExt = d.DefaultExt.empty() ? nullptr : d.DefaultExt.c_str();
  ofn.Flags = d.Options | OFN_EXPLORER;
  std::unique_ptr<NameGuard> guard;
  if (OnWine()) guard = std::make_unique<NameGuard>(d);
  ModalRun run(owner);
  BOOL ok = d.Save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  guard.reset();
  if (!ok) return false;
  d.FileName = buf.c_str();
  d.FilterIndex = static_cast<int>(ofn.nFilterIndex);
  return true;
}

}  // namespace ui
