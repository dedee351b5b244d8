#pragma once
// The application object: message loop, idle work, message pumping and the default handling of
// exceptions that escape a window's handler.
//
//   ui::Application& app = ui::Application::Get();
//   app.Initialize(instance);            // once, in the program entry
//   app.SetMainForm(&form);              // the first form; closing it ends Run()
//   app.Run();                           // loop with idle work (action updates)
//
// Long runs on the window thread call ui::ProcessMessages() to stay responsive. Modal loops
// exist only in Dialog::ShowModal and in the prompts (ui/prompts.h).
#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace ui {

class Form;

class Application {
 public:
  static Application& Get();

  void Initialize(HINSTANCE instance);
  HINSTANCE Instance() const { return instance_; }

  // The application title (what the program shows for itself, e.g. while minimized).
  const std::wstring& Title() const { return title_; }
  void SetTitle(const std::wstring& title) { title_ = title; }

  Form* MainForm() const { return mainForm_; }
  void SetMainForm(Form* form) { mainForm_ = form; }
  // False: Run() does not show the main form (it starts as a tray icon, for example).
  bool ShowMainForm = true;

  // Called when the main form is minimized.
  std::function<void()> OnMinimize;
  // Turns the exception that escaped a handler into the text of its message box; set by the
  // program so that its own exception family shows its wide message.
  std::function<std::wstring(std::exception_ptr)> ExceptionText;

  // Shows the main form (unless ShowMainForm is off) and runs the message loop until WM_QUIT.
  int Run();
  // Processes every pending message once, then returns (no idle work, no waiting).
  void ProcessMessages();
  // Runs the idle work: every registered idle handler (action list updates).
  void Idle();
  // Idle handlers run in registration order; the returned id removes one again.
  int AddIdleHandler(std::function<void()> handler);
  void RemoveIdleHandler(int id);

  // Shows the current exception in an error message box (call inside a catch block). Never
  // throws: handlers are called from window procedures, which exceptions must not cross.
  void HandleException();
  std::wstring MessageOf(std::exception_ptr e) const;

  // Dispatches one message the way Run() does (accelerators of the main form, dialogs).
  void Dispatch(MSG& msg);

 private:
  Application() = default;
  HINSTANCE instance_ = nullptr;
  std::wstring title_;
  Form* mainForm_ = nullptr;
  struct IdleHandler {
    int Id;
    std::function<void()> Run;
  };
  std::vector<IdleHandler> idle_;
  int nextIdleId_ = 1;
};

// Processes pending messages once (Application::ProcessMessages).
void ProcessMessages();

// Wraps a handler body at a window-procedure boundary.
template <class F>
void Guarded(F&& f) {
  try {
    f();
  } catch (...) {
    Application::Get().HandleException();
  }
}

}  // namespace ui
