#include "ui/dialog.h"

#include <stdexcept>

#include "ui/app.h"
#include "ui/controls.h"
#include "ui/prompts.h"

namespace ui {

Dialog::Dialog(int templateId, HWND owner) : templateId_(templateId), owner_(owner) {}

Dialog::~Dialog() {
  if (modal_ && owner_) EnableWindow(owner_, TRUE);
}

void Dialog::CreateHandle() {
  HINSTANCE inst =
      Application::Get().Instance() ? Application::Get().Instance() : GetModuleHandleW(nullptr);
  HWND h = CreateDialogParamW(inst, MAKEINTRESOURCEW(templateId_), owner_, Proc,
                              reinterpret_cast<LPARAM>(this));
  if (!h) throw std::runtime_error("dialog template missing");
}

INT_PTR CALLBACK Dialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* self = reinterpret_cast<Dialog*>(lp);
    Guarded([&] {
      self->SetHandle(hwnd);
      self->AttachControls();
      self->OnInitDialog();
      self->OnCreated();
    });
    return TRUE;
  }
  auto* self = static_cast<Dialog*>(FromHandle(hwnd));
  if (!self) return FALSE;
  if (msg == WM_NCDESTROY) {
    self->Detach();
    return FALSE;
  }
  LRESULT result = 0;
  bool handled = false;
  Guarded([&] {
    if (msg == WM_CLOSE) {
      handled = true;  // a close query that fails keeps the dialog
      self->SetModalResult(IDCANCEL);
      return;
    }
    handled = self->HandleMessage(msg, wp, lp, result);
  });
  if (!handled) return FALSE;
  switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
      return static_cast<INT_PTR>(result);
  }
  SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

bool Dialog::OnCommand(int id, int code, HWND) {
  if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
    SetModalResult(id);
    return true;
  }
  return false;
}

bool Dialog::SetModalResult(int result) {
  if (result != 0 && !OnCloseQuery(result)) return false;
  modalResult_ = result;
  return true;
}

void Dialog::Center() {
  CenterWindow(Handle(), owner_);
}

int Dialog::ShowModal() {
  Handle();
  return CurrentPrompter().Modal(*this);
}

void Dialog::BeginScripted() {
  HWND h = Handle();
  modal_ = true;
  modalResult_ = 0;
  if (CenterOnOwner) Center();
  ShowWindow(h, SW_SHOWNA);
  Guarded([&] { OnShow(); });
}

void Dialog::EndScripted() {
  modal_ = false;
  if (HandleAllocated()) ShowWindow(HandleIfCreated(), SW_HIDE);
}

int Dialog::RunModal() {
  HWND h = Handle();
  modal_ = true;
  modalResult_ = 0;
  ModalRun run(owner_, h);
  bool ownerWasEnabled = owner_ && IsWindowEnabled(owner_);
  if (ownerWasEnabled) EnableWindow(owner_, FALSE);
  if (CenterOnOwner) Center();
  ShowWindow(h, SW_SHOW);
  SetForegroundWindow(h);
  Guarded([&] { OnShow(); });
  Application& app = Application::Get();
  MSG msg;
  while (modalResult_ == 0) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      app.Idle();
      if (modalResult_ != 0) break;
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      if (modalResult_ == 0) modalResult_ = IDCANCEL;
      break;
    }
    if (!IsDialogMessageW(h, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // Re-enable the owner before hiding, so that the activation goes back to it.
  if (ownerWasEnabled) EnableWindow(owner_, TRUE);
  ShowWindow(h, SW_HIDE);
  modal_ = false;
  return modalResult_;
}

}  // namespace ui
