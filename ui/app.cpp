#include "ui/app.h"

#include <algorithm>

#include <commctrl.h>

#include "ui/controls.h"
#include "ui/prompts.h"
#include "ui/shaping.h"
#include "ui/window.h"

namespace ui {

Application& Application::Get() {
  static Application app;
  return app;
}

void Application::Initialize(HINSTANCE instance) {
  instance_ = instance;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                                            ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                            ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  GuardTextLayout();
  RegisterColorPanelClass();
}

void Application::Dispatch(MSG& msg) {
  if (mainForm_ && mainForm_->TranslateAccel(msg)) return;
  // Keyboard navigation of modeless dialogs and of the form's own controls.
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root && (GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) &&
      IsDialogMessageW(root, &msg))
    return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

int Application::Run() {
  if (mainForm_ && ShowMainForm) mainForm_->SetVisible(true);
  MSG msg;
  for (;;) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      Idle();
      if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
    Dispatch(msg);
  }
}

void Application::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave it for the main loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

void Application::Idle() {
  // Handlers may add or remove handlers; run over a copy.
  auto handlers = idle_;
  for (auto& h : handlers) Guarded([&] { h.Run(); });
}

int Application::AddIdleHandler(std::function<void()> handler) {
  idle_.push_back({nextIdleId_, std::move(handler)});
  return nextIdleId_++;
}

void Application::RemoveIdleHandler(int id) {
  idle_.erase(
      std::remove_if(idle_.begin(), idle_.end(), [id](const IdleHandler& h) { return h.Id == id; }),
      idle_.end());
}

std::wstring Application::MessageOf(std::exception_ptr e) const {
  if (ExceptionText) {
    try {
      return ExceptionText(e);
    } catch (...) {
    }
  }
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return FromUtf8(x.what());
  } catch (...) {
    return L"Unknown error";
  }
}

void Application::HandleException() {
  try {
    std::wstring text = MessageOf(std::current_exception());
    HWND owner = mainForm_ ? mainForm_->HandleIfCreated() : nullptr;
    MessageDlg(owner, text, MsgType::Error, MsgButtons::OK);
  } catch (...) {
    // Nothing more can be done here; a window procedure must not be left by an exception.
  }
}

void ProcessMessages() {
  Application::Get().ProcessMessages();
}

}  // namespace ui
