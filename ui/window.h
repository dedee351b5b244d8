#pragma once
// Window base classes.
//
// Window: owns one HWND and routes the notifications of its child controls (WM_COMMAND,
// WM_NOTIFY, WM_CTLCOLOR*, WM_DRAWITEM) to the Control wrappers bound to it by ID, then to its
// own virtual handlers. The HWND is created on first use (HandleNeeded), after the derived
// object is complete, so constructors may declare controls as members:
//
//   class TMyForm : public ui::Form {
//     ui::CheckBox SizeBox{this, IDC_SIZEBOX};    // bound by ID
//   };
//
// Form: a top-level window of a registered class (the main window). Dialog: ui/dialog.h.
// Exceptions never leave a window procedure: they go to Application::HandleException.
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ui {

class Control;

// Notes the window that a modal run shows over its owner, for as long as the run lasts: a form
// activated while that run keeps it disabled hands the activation on to this window, and not
// to another window it owns (a tool tip, a modeless window).
class ModalRun {
 public:
  // Window: the run's own window; none: the first dialog window the run creates for Owner.
  explicit ModalRun(HWND Owner, HWND Window = nullptr);
  ~ModalRun();
  ModalRun(const ModalRun&) = delete;
  ModalRun& operator=(const ModalRun&) = delete;

  // The window of the innermost run over Owner, or null.
  static HWND Over(HWND Owner);

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
  HWND owner_, window_;
  HHOOK hook_ = nullptr;
  ModalRun* outer_;
  static inline thread_local ModalRun* innermost_ = nullptr;
};

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  // The window handle, created when it does not exist yet.
  HWND Handle();
  HWND HandleIfCreated() const { return hwnd_; }
  bool HandleAllocated() const { return hwnd_ != nullptr; }

  std::wstring Caption();
  void SetCaption(const std::wstring& text);
  bool Visible();
  virtual void SetVisible(bool visible);
  bool Enabled();
  void SetEnabled(bool enabled);
  RECT Bounds();  // screen coordinates for top-level windows, parent's client ones for children
  void SetBounds(int left, int top, int width, int height);
  void Invalidate();

  // Commands from menus, accelerators and tool bars that no control claims go here first; a
  // command registered with AddCommand runs its handler. Returns the new command ID.
  int AddCommand(std::function<void(int id)> handler);

  // The controls bound to this window (in declaration order).
  const std::vector<Control*>& Controls() const { return controls_; }

  // Sends a command as a click or menu choice would, and returns after it was handled.
  void PerformCommand(int id, int code = 0, HWND from = nullptr);

 protected:
  // Creates the handle; called by Handle() when there is none yet.
  virtual void CreateHandle() = 0;
  // Messages not routed to a control. Return true when handled, with the result in `result`.
  virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // WM_COMMAND that no control and no registered command handled.
  virtual bool OnCommand(int id, int code, HWND from);
  // WM_NOTIFY that no control handled.
  virtual bool OnNotify(NMHDR* hdr, LRESULT& result);
  // Called once the handle and the controls exist.
  virtual void OnCreated() {}

  // For derived window procedures: routes control notifications; true when one handled it.
  bool RouteToControls(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // Runs the message through the routing and the virtual handlers.
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  void SetHandle(HWND hwnd);
  // Binds the registered controls to their child windows (by ID).
  void AttachControls();
  static Window* FromHandle(HWND hwnd);
  // Stops routing messages to this object (before destruction).
  void Detach();

 private:
  friend class Control;
  void Register(Control* c) { controls_.push_back(c); }
  void Unregister(Control* c);
  HWND hwnd_ = nullptr;
  std::vector<Control*> controls_;
  std::map<int, std::function<void(int)>> commands_;
  int nextCommand_ = 0xA000;
};

// Whether a window is on the screen: visible and not minimized.
bool IsShown(HWND window);
// Moves a top-level window so that its centre is the reference window's centre (the centre of
// the primary monitor's work area when the reference is not shown), then into the work area of
// that monitor, so that it is fully visible.
void CenterWindow(HWND window, HWND reference);

// A top-level window of its own registered class.
class Form : public Window {
 public:
  // Accelerators of this form, translated by the application's message loop.
  HACCEL Accelerators = nullptr;
  bool TranslateAccel(MSG& msg);
  // Closes the form as the user would (WM_CLOSE: close query first).
  void Close();

 protected:
  // Class name, styles and initial size of the window; the menu may be null.
  struct CreateParams {
    const wchar_t* ClassName = L"JvForm";
    DWORD Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    DWORD ExStyle = 0;
    HICON Icon = nullptr;
    HMENU Menu = nullptr;
    HWND Owner = nullptr;
    int Width = CW_USEDEFAULT, Height = CW_USEDEFAULT;
  };
  virtual CreateParams GetCreateParams() { return {}; }
  void CreateHandle() override;
  // WM_CLOSE, once a menu open at the time has ended: the window closes (DestroyWindow) only
  // when this returns true.
  virtual bool OnCloseQuery() { return true; }
  // After the close query allowed closing, before the window is destroyed.
  virtual void OnClose() {}

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  bool inMenuLoop_ = false;      // one of the window's menus is open
  bool closeAfterMenu_ = false;  // a close request waits for that menu to end
};

}  // namespace ui
