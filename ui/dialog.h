#pragma once
// Dialogs over DIALOGEX templates.
//
// 1. The template lives in app/res/<unit>.rc with its IDs in app/res/<unit>_res.h (IDD_ dialog,
//    IDC_ inputs, IDB_ buttons, IDT_ texts, IDS_ strings; each unit its own number range). Leave
//    WS_VISIBLE out of the template's style: ShowModal shows the window.
// 2. A class derives from ui::Dialog, passes the template ID and the owner window, and declares
//    its controls as members bound by ID:
//
//      class TSaveConfForm : public ui::Dialog {
//       public:
//        explicit TSaveConfForm(HWND owner) : Dialog(IDD_SAVECONF, owner) {}
//        ui::RadioButton CUButton{this, IDC_SAVECONF_CU};
//        ui::Button OKButton{this, IDOK};
//      };
//
// 3. The window is created (hidden) on first use of a control or of Handle(), so the caller
//    fills controls before ShowModal and reads them after it, as long as the object lives:
//
//      TSaveConfForm f(main);  f.LMButton.SetEnabled(false);
//      if (f.ShowModal() == IDOK && f.INIButton.Checked()) ...
//
// ShowModal goes through the prompts seam (ui/prompts.h): a test's script receives the dialog
// (shown, initialised) and "clicks" its buttons through the wrappers instead of a modal loop.
// OnInitDialog runs once when the window is created; OnShow each time it is shown modally.
// OnCloseQuery may refuse a result (IDOK with invalid input, say).
#include "ui/window.h"

namespace ui {

class Dialog : public Window {
 public:
  Dialog(int templateId, HWND owner);
  ~Dialog() override;

  int TemplateId() const { return templateId_; }
  HWND OwnerWindow() const { return owner_; }

  // Shows the dialog modally (through the seam) and returns its modal result.
  int ShowModal();
  // The real modal loop (used by the seam's default implementation).
  int RunModal();

  // Ends a modal run with this result when OnCloseQuery agrees; returns whether it did.
  bool SetModalResult(int result);
  int ModalResult() const { return modalResult_; }
  // Shows the window for a scripted run (no loop) and runs OnShow.
  void BeginScripted();
  void EndScripted();

  // Centre on the owner when shown (default), else where the template puts it.
  bool CenterOnOwner = true;

 protected:
  void CreateHandle() override;
  virtual void OnInitDialog() {}
  virtual void OnShow() {}
  // OK/Cancel that no bound button handled, and closing the window (IDCANCEL).
  virtual bool OnCloseQuery(int result) {
    (void)result;
    return true;
  }
  bool OnCommand(int id, int code, HWND from) override;

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Center();
  int templateId_;
  HWND owner_;
  bool modal_ = false;
  int modalResult_ = 0;
};

}  // namespace ui
