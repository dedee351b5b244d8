#pragma once
// Control wrappers, bound to a child window by ID.
//
// Declare them as members of a Form or Dialog; they find their child window when the owner's
// handle is created (for a dialog: the control of its template with that ID; for a form: the
// child that the form created with that ID, or one given to Attach):
//
//   ui::CheckBox SizeBox{this, IDC_SIZEBOX};
//   SizeBox.OnClick = [this] { ... };
//   SizeBox.SetChecked(true);        // runs OnClick when the state changes, like a user click
//
// Setting a check box or radio button from code runs its OnClick when the state changes (for a
// radio button: when it becomes checked; its group siblings are cleared). Click() does what a
// user's click does and returns false when the control is disabled or hidden.
//
// Edits and combo boxes make sure that Wine lays out their texts safely (ui/shaping.h); their
// texts go in and come out exactly as given.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/strings.h"

namespace ui {

class Window;

class Control {
 public:
  Control(Window* owner, int id);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  int Id() const { return id_; }
  Window* Owner() const { return owner_; }
  // The child window; creates the owner's handle when needed.
  HWND Handle();
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  // Binds the wrapper to an existing child window (a control the form created itself).
  void Attach(HWND hwnd);

  std::wstring Text();
  void SetText(const std::wstring& text);
  bool Enabled();
  void SetEnabled(bool enabled);
  bool Visible();
  void SetVisible(bool visible);
  void SetFocus();
  bool Focused();
  RECT Bounds();  // in the parent's client coordinates
  void SetBounds(int left, int top, int width, int height);
  void Invalidate();
  // Colours for static-like controls (labels, check boxes): -1 keeps the system's.
  void SetTextColor(Color c);
  void SetBackColor(Color c);
  // A font the control uses; the wrapper owns it.
  void SetFont(const std::wstring& name, int heightPx, bool bold);
  // Messages of the control's own window (mouse moves over a label, say), before the control
  // sees them; return true when handled, with the result set. Installing it subclasses the
  // control's window.
  void SetMessageHook(std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)> hook);
  // Sends a message to the control's window.
  LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0);

  // Routing from the owner; return true when handled.
  virtual bool HandleCommand(int code) {
    (void)code;
    return false;
  }
  virtual bool HandleNotify(NMHDR* hdr, LRESULT& result) {
    (void)hdr;
    (void)result;
    return false;
  }
  virtual bool HandleDrawItem(DRAWITEMSTRUCT* dis) {
    (void)dis;
    return false;
  }
  virtual HBRUSH HandleCtlColor(HDC dc);

 protected:
  // Called once the control's window is known.
  virtual void OnAttached() {}
  // Raises the owner's notification the way the control itself would (click, selection change).
  void Notify(int code);

 private:
  friend class Window;
  void Bind(HWND hwnd);
  void InstallHook();
  static LRESULT CALLBACK HookProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                   DWORD_PTR self);
  std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> hook_;
  bool hooked_ = false;
  Window* owner_;
  int id_;
  HWND hwnd_ = nullptr;
  Color textColor_ = -1, backColor_ = -1;
  HBRUSH backBrush_ = nullptr;
  HFONT font_ = nullptr;
};

// Push button. With ModalResult set (IDOK, IDCANCEL, ...) a click ends the owner dialog with it;
// buttons with the IDs IDOK and IDCANCEL carry those results unless told otherwise.
class Button : public Control {
 public:
  Button(Window* owner, int id);
  std::function<void()> OnClick;
  int ModalResult = 0;
  bool Click();
  bool HandleCommand(int code) override;
};

class CheckBox : public Control {
 public:
  using Control::Control;
  std::function<void()> OnClick;
  bool Checked();
  void SetChecked(bool checked);
  bool Click();  // toggles, as a user's click does
  bool HandleCommand(int code) override;
};

class RadioButton : public Control {
 public:
  using Control::Control;
  std::function<void()> OnClick;
  bool Checked();
  void SetChecked(bool checked);
  bool Click();  // checks it, as a user's click does
  bool HandleCommand(int code) override;

 private:
  void OnAttached() override;
  void Remember();
  bool lastChecked_ = false;
};

class Edit : public Control {
 public:
  using Control::Control;
  std::function<void()> OnChange;
  void SelectAll();
  bool HandleCommand(int code) override;

 private:
  void OnAttached() override;
};

// Plain text (labels, group boxes).
class Label : public Control {
 public:
  using Control::Control;
  std::function<void()> OnClick;  // needs SS_NOTIFY
  bool HandleCommand(int code) override;
};

// Drop-down list or editable combo box; each item may carry a number.
class ComboBox : public Control {
 public:
  using Control::Control;
  std::function<void()> OnChange;    // selection changed by the user, or text edited
  std::function<void()> OnDropDown;  // the list is about to drop down
  void Clear();
  int Add(const std::wstring& text, intptr_t data = 0);
  void Insert(int index, const std::wstring& text, intptr_t data = 0);
  void Delete(int index);
  int Count();
  std::wstring Item(int index);
  intptr_t ItemData(int index);
  std::vector<std::wstring> Items();
  int ItemIndex();
  // Selects without running OnChange (as a program sets the selection).
  void SetItemIndex(int index);
  // Selects as the user would: runs OnChange when the selection changes.
  bool Choose(int index);
  // Exact match ignoring letter case, the list's own search; -1 when not found.
  int FindExact(const std::wstring& text);
  bool HandleCommand(int code) override;

 private:
  void OnAttached() override;
};

class ListBox : public Control {
 public:
  using Control::Control;
  std::function<void()> OnChange;
  void Clear();
  int Add(const std::wstring& text, intptr_t data = 0);
  int Count();
  std::wstring Item(int index);
  intptr_t ItemData(int index);
  int ItemIndex();
  void SetItemIndex(int index);
  bool Choose(int index);
  bool HandleCommand(int code) override;
};

// Date or time picker (SysDateTimePick32); DTS_TIMEFORMAT in the style makes it a time picker.
class DateTimePicker : public Control {
 public:
  using Control::Control;
  std::function<void()> OnChange;
  SYSTEMTIME Value();
  void SetValue(const SYSTEMTIME& value);
  bool HandleNotify(NMHDR* hdr, LRESULT& result) override;
};

class ProgressBar : public Control {
 public:
  using Control::Control;
  void SetRange(int min, int max);
  void SetPosition(int pos);
  int Position();
};

// Tab control whose pages are groups of sibling controls of the same dialog: the controls of
// the active page are shown, the others hidden.
//
//   Pages.AddPage(L"&Common", {IDC_A, IDC_B});   // captions from LoadStr in practice
//   Pages.SetActivePage(0);
class PageControl : public Control {
 public:
  using Control::Control;
  std::function<void()> OnChange;
  int AddPage(const std::wstring& caption, std::vector<int> controlIds);
  int PageCount() const { return static_cast<int>(pages_.size()); }
  int ActivePage();
  void SetActivePage(int index);
  // Selects a page as the user would (OnChange runs).
  bool Choose(int index);
  bool HandleNotify(NMHDR* hdr, LRESULT& result) override;

 private:
  void ShowPage(int index);
  std::vector<std::vector<int>> pages_;
};

// A flat coloured panel that can take the focus (class "JvColorPanel"); the colour dialog of a
// settings page opens on its click. Use CONTROL "", id, "JvColorPanel", WS_TABSTOP, ... in the
// template; RegisterColorPanelClass() runs before any dialog is created.
class ColorPanel : public Control {
 public:
  using Control::Control;
  enum Bevel { bvNone, bvRaised, bvLowered };
  std::function<void()> OnClick, OnEnter, OnExit;
  std::function<void(int x, int y)> OnMouseMove;
  Color GetColor() const { return color_; }
  void SetColor(Color c);
  Bevel GetBevel() const { return bevel_; }
  void SetBevel(Bevel b);
  bool Click();

 private:
  friend LRESULT CALLBACK ColorPanelProc(HWND, UINT, WPARAM, LPARAM);
  Color color_ = 0;
  Bevel bevel_ = bvNone;
  void OnAttached() override;
};
void RegisterColorPanelClass();

}  // namespace ui
