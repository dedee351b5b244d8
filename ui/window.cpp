#include "ui/window.h"

#include <algorithm>
#include <stdexcept>

#include "ui/app.h"
#include "ui/controls.h"

namespace ui {

namespace {
const wchar_t kSelfProp[] = L"JvWindow";

// Hands a disabled form's activation on to the dialog that holds it disabled.
constexpr UINT WM_ACTIVATEPOPUP = WM_APP + 0x3FF0;

// The window that takes input while Owner is disabled: the modal dialog that keeps it disabled,
// or the one that dialog's own modal run shows. Null when there is none.
HWND EnabledPopupOf(HWND Owner) {
  HWND popup = ModalRun::Over(Owner);
  if (!popup || !IsWindowVisible(popup)) return nullptr;
  return IsWindowEnabled(popup) ? popup : EnabledPopupOf(popup);
}

HWND RootOf(HWND Window) {
  HWND root = Window ? GetAncestor(Window, GA_ROOT) : nullptr;
  return root ? root : Window;
}
}  // namespace

ModalRun::ModalRun(HWND Owner, HWND Window)
    : owner_(RootOf(Owner)), window_(Window), outer_(innermost_) {
  innermost_ = this;
  if (!window_ && owner_) hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

ModalRun::~ModalRun() {
  if (hook_) UnhookWindowsHookEx(hook_);
  innermost_ = outer_;
}

HWND ModalRun::Over(HWND Owner) {
  for (const ModalRun* run = innermost_; run; run = run->outer_)
    if (run->owner_ == Owner && run->window_ && IsWindow(run->window_)) return run->window_;
  return nullptr;
}

LRESULT CALLBACK ModalRun::Hook(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lp)->lpcs;
    const HWND window = reinterpret_cast<HWND>(wp);
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (!(create->style & WS_CHILD) && lstrcmpW(cls, L"#32770") == 0) {
      const HWND owner = RootOf(create->hwndParent);
      for (ModalRun* run = innermost_; run; run = run->outer_)
        if (!run->window_ && run->hook_ && run->owner_ == owner) {
          run->window_ = window;
          break;
        }
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

Window::~Window() {
  for (Control* c : controls_) c->owner_ = nullptr;
  if (hwnd_) {
    HWND h = hwnd_;
    Detach();
    DestroyWindow(h);
  }
}

HWND Window::Handle() {
  if (!hwnd_) CreateHandle();
  return hwnd_;
}

void Window::SetHandle(HWND hwnd) {
  hwnd_ = hwnd;
  SetPropW(hwnd, kSelfProp, this);
}

void Window::Detach() {
  if (hwnd_) RemovePropW(hwnd_, kSelfProp);
  for (Control* c : controls_) c->hwnd_ = nullptr;
  hwnd_ = nullptr;
}

Window* Window::FromHandle(HWND hwnd) {
  return static_cast<Window*>(GetPropW(hwnd, kSelfProp));
}

void Window::AttachControls() {
  for (Control* c : controls_)
    if (!c->hwnd_) {
      HWND child = GetDlgItem(hwnd_, c->Id());
      if (child) c->Bind(child);
    }
}

void Window::Unregister(Control* c) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
}

std::wstring Window::Caption() {
  HWND h = Handle();
  std::wstring s(GetWindowTextLengthW(h) + 1, L'\0');
  s.resize(GetWindowTextW(h, s.data(), static_cast<int>(s.size())));
  return s;
}

void Window::SetCaption(const std::wstring& text) {
  SetWindowTextW(Handle(), text.c_str());
}
bool Window::Visible() {
  return IsWindowVisible(Handle()) != FALSE;
}
void Window::SetVisible(bool visible) {
  ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE);
}
bool Window::Enabled() {
  return IsWindowEnabled(Handle()) != FALSE;
}
void Window::SetEnabled(bool enabled) {
  EnableWindow(Handle(), enabled);
}

RECT Window::Bounds() {
  RECT r{};
  GetWindowRect(Handle(), &r);
  HWND parent = GetParent(hwnd_);
  if (parent && (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Window::SetBounds(int left, int top, int width, int height) {
  SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::Invalidate() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

int Window::AddCommand(std::function<void(int)> handler) {
  int id = nextCommand_++;
  commands_[id] = std::move(handler);
  return id;
}

void Window::PerformCommand(int id, int code, HWND from) {
  SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(from));
}

bool Window::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
  return false;
}
bool Window::OnCommand(int, int, HWND) {
  return false;
}
bool Window::OnNotify(NMHDR*, LRESULT&) {
  return false;
}

bool Window::RouteToControls(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(lp);
      if (!from) return false;
      for (Control* c : controls_)
        if (c->hwnd_ == from) return c->HandleCommand(HIWORD(wp));
      return false;
    }
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      for (Control* c : controls_)
        if (c->hwnd_ && (c->hwnd_ == hdr->hwndFrom || GetParent(hdr->hwndFrom) == c->hwnd_))
          if (c->HandleNotify(hdr, result)) return true;
      return false;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      for (Control* c : controls_)
        if (c->hwnd_ == dis->hwndItem) {
          if (c->HandleDrawItem(dis)) {
            result = TRUE;
            return true;
          }
          return false;
        }
      return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      HWND from = reinterpret_cast<HWND>(lp);
      for (Control* c : controls_)
        if (c->hwnd_ == from) {
          HBRUSH b = c->HandleCtlColor(reinterpret_cast<HDC>(wp));
          if (!b) return false;
          result = reinterpret_cast<LRESULT>(b);
          return true;
        }
      return false;
    }
  }
  return false;
}

bool Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (RouteToControls(msg, wp, lp, result)) return true;
  if (msg == WM_COMMAND) {
    int id = LOWORD(wp);
    auto it = commands_.find(id);
    if (it != commands_.end()) {
      auto handler = it->second;  // the handler may replace itself
      handler(id);
      result = 0;
      return true;
    }
    if (OnCommand(id, HIWORD(wp), reinterpret_cast<HWND>(lp))) {
      result = 0;
      return true;
    }
  } else if (msg == WM_NOTIFY) {
    if (OnNotify(reinterpret_cast<NMHDR*>(lp), result)) return true;
  }
  return OnMessage(msg, wp, lp, result);
}

bool IsShown(HWND window) {
  return window && IsWindowVisible(window) && !IsIconic(window);
}

void CenterWindow(HWND window, HWND reference) {
  RECT r, o;
  GetWindowRect(window, &r);
  HMONITOR monitor;
  if (!IsShown(reference)) reference = nullptr;
  if (reference) {
    GetWindowRect(reference, &o);
    monitor = MonitorFromRect(&o, MONITOR_DEFAULTTONEAREST);
  } else {
    monitor = MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
  }
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  GetMonitorInfoW(monitor, &info);
  const RECT work = info.rcWork;
  if (!reference) o = work;
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x =
      std::max<int>(work.left, std::min<int>(o.left + (o.right - o.left - w) / 2, work.right - w));
  const int y =
      std::max<int>(work.top, std::min<int>(o.top + (o.bottom - o.top - h) / 2, work.bottom - h));
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Form -------------------------------------------------------------------

void Form::CreateHandle() {
  CreateParams p = GetCreateParams();
  HINSTANCE inst =
      Application::Get().Instance() ? Application::Get().Instance() : GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(inst, p.ClassName, &wc)) {
    wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.hIcon = p.Icon;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = p.ClassName;
    RegisterClassExW(&wc);
  }
  HWND h =
      CreateWindowExW(p.ExStyle | WS_EX_CONTROLPARENT, p.ClassName, L"", p.Style, CW_USEDEFAULT,
                      CW_USEDEFAULT, p.Width, p.Height, p.Owner, p.Menu, inst, this);
  if (!h) throw std::runtime_error("CreateWindowEx failed");
  if (!FromHandle(h)) SetHandle(h);
  AttachControls();
  OnCreated();
}

bool Form::TranslateAccel(MSG& msg) {
  HWND h = HandleIfCreated();
  if (!Accelerators || !h) return false;
  if (msg.hwnd != h && !IsChild(h, msg.hwnd)) return false;
  return TranslateAcceleratorW(h, Accelerators, &msg) != 0;
}

void Form::Close() {
  SendMessageW(Handle(), WM_CLOSE, 0, 0);
}

LRESULT CALLBACK Form::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    static_cast<Form*>(cs->lpCreateParams)->SetHandle(hwnd);
  }
  auto* self = static_cast<Form*>(FromHandle(hwnd));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    self->Detach();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  LRESULT result = 0;
  bool handled = false;
  Guarded([&] {
    if (msg == WM_ENTERMENULOOP || msg == WM_EXITMENULOOP) {
      self->inMenuLoop_ = msg == WM_ENTERMENULOOP;
      // A close request that came while a menu was open is handled now that it has ended.
      if (!self->inMenuLoop_ && self->closeAfterMenu_) {
        self->closeAfterMenu_ = false;
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
      }
    }
    if (msg == WM_CLOSE) {
      if (self->inMenuLoop_) {
        // The menu's own message loop would swallow the quit message and stay on the screen
        // without its window: the menu ends first, and the window closes after it.
        self->closeAfterMenu_ = true;
        EndMenu();
        handled = true;
        return;
      }
      // Handled before the question: a close query that fails (a save that cannot be written)
      // cancels the close, and the system's default would destroy the window regardless.
      handled = true;
      if (self->OnCloseQuery()) {
        self->OnClose();
        ShowWindow(hwnd, SW_HIDE);
        if (Application::Get().MainForm() == self) PostQuitMessage(0);
      }
      return;
    }
    if (msg == WM_QUERYENDSESSION) {
      // The session may end only when the form may close: the same question, and a failure or
      // a cancel keeps the session (the result stays FALSE).
      handled = true;
      result = self->OnCloseQuery() ? TRUE : FALSE;
      return;
    }
    if (msg == WM_ACTIVATE && LOWORD(wp) != WA_INACTIVE && !IsWindowEnabled(hwnd) &&
        EnabledPopupOf(hwnd)) {
      // Activated while its modal dialog shows (by another program, or by a desktop without a
      // window manager): Wine then stacks it over the dialog, and the program looks hung. Once
      // this activation has settled, the dialog takes it and comes back on top.
      PostMessageW(hwnd, WM_ACTIVATEPOPUP, 0, 0);
    }
    if (msg == WM_ACTIVATEPOPUP) {
      HWND popup = IsWindowEnabled(hwnd) ? nullptr : EnabledPopupOf(hwnd);
      if (popup) SetForegroundWindow(popup);
      handled = true;
      return;
    }
    if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_MINIMIZE &&
        Application::Get().MainForm() == self) {
      // Minimize first, then let the program react (a tray icon replaces the window).
      DefWindowProcW(hwnd, msg, wp, lp);
      if (Application::Get().OnMinimize) Application::Get().OnMinimize();
      handled = true;
      return;
    }
    handled = self->HandleMessage(msg, wp, lp, result);
  });
  if (handled) return result;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace ui
