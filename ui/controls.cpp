#include "ui/controls.h"

#include <uxtheme.h>

#include "ui/app.h"
#include "ui/dialog.h"
#include "ui/shaping.h"
#include "ui/window.h"

namespace ui {

// Control ------------------------------------------------------------------

Control::Control(Window* owner, int id) : owner_(owner), id_(id) {
  if (owner_) owner_->Register(this);
}

Control::~Control() {
  if (hooked_ && hwnd_) RemoveWindowSubclass(hwnd_, HookProc, 1);
  if (owner_) owner_->Unregister(this);
  if (backBrush_) DeleteObject(backBrush_);
  if (font_) DeleteObject(font_);
}

HWND Control::Handle() {
  if (!hwnd_ && owner_) owner_->Handle();
  if (!hwnd_ && owner_ && owner_->HandleIfCreated()) {
    HWND child = GetDlgItem(owner_->HandleIfCreated(), id_);
    if (child) Bind(child);
  }
  return hwnd_;
}

void Control::Attach(HWND hwnd) {
  Bind(hwnd);
}

void Control::Bind(HWND hwnd) {
  hwnd_ = hwnd;
  hooked_ = false;
  if (hook_) InstallHook();
  if (font_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  OnAttached();
}

void Control::SetMessageHook(std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> hook) {
  hook_ = std::move(hook);
  if (hook_ && Handle()) InstallHook();
}

void Control::InstallHook() {
  if (hooked_ || !hwnd_) return;
  hooked_ = SetWindowSubclass(hwnd_, HookProc, 1, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

LRESULT CALLBACK Control::HookProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                   DWORD_PTR self) {
  auto* c = reinterpret_cast<Control*>(self);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, HookProc, 1);
    c->hooked_ = false;
  } else if (c->hook_) {
    LRESULT result = 0;
    bool handled = false;
    Guarded([&] { handled = c->hook_(msg, wp, lp, result); });
    if (handled) return result;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT Control::Send(UINT msg, WPARAM wp, LPARAM lp) {
  HWND h = Handle();
  return h ? SendMessageW(h, msg, wp, lp) : 0;
}

void Control::Notify(int code) {
  HWND h = Handle();
  if (h && owner_)
    SendMessageW(GetParent(h), WM_COMMAND, MAKEWPARAM(id_, code), reinterpret_cast<LPARAM>(h));
}

std::wstring Control::Text() {
  HWND h = Handle();
  if (!h) return {};
  std::wstring s(GetWindowTextLengthW(h) + 1, L'\0');
  s.resize(GetWindowTextW(h, s.data(), static_cast<int>(s.size())));
  return s;
}

void Control::SetText(const std::wstring& text) {
  if (HWND h = Handle()) SetWindowTextW(h, text.c_str());
}

bool Control::Enabled() {
  HWND h = Handle();
  return h && IsWindowEnabled(h);
}

void Control::SetEnabled(bool enabled) {
  if (HWND h = Handle()) EnableWindow(h, enabled);
}

bool Control::Visible() {
  HWND h = Handle();
  return h && (GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE);
}

void Control::SetVisible(bool visible) {
  if (HWND h = Handle()) ShowWindow(h, visible ? SW_SHOW : SW_HIDE);
}

void Control::SetFocus() {
  if (HWND h = Handle()) ::SetFocus(h);
}

bool Control::Focused() {
  HWND h = Handle();
  return h && GetFocus() == h;
}

RECT Control::Bounds() {
  RECT r{};
  if (HWND h = Handle()) {
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  }
  return r;
}

void Control::SetBounds(int left, int top, int width, int height) {
  if (HWND h = Handle())
    SetWindowPos(h, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::Invalidate() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void Control::SetTextColor(Color c) {
  textColor_ = c;
  Invalidate();
}

void Control::SetBackColor(Color c) {
  backColor_ = c;
  if (backBrush_) DeleteObject(backBrush_);
  backBrush_ = c == -1 ? nullptr : CreateSolidBrush(ColorToRGB(c));
  Invalidate();
}

void Control::SetFont(const std::wstring& name, int heightPx, bool bold) {
  HFONT f = CreateFontW(-heightPx, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0,
                        0, 0, 0, name.c_str());
  if (HWND h = Handle()) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
  if (font_) DeleteObject(font_);
  font_ = f;
}

HBRUSH Control::HandleCtlColor(HDC dc) {
  if (textColor_ == -1 && backColor_ == -1) return nullptr;
  if (textColor_ != -1) ::SetTextColor(dc, ColorToRGB(textColor_));
  if (backColor_ != -1) {
    SetBkColor(dc, ColorToRGB(backColor_));
    return backBrush_;
  }
  SetBkMode(dc, TRANSPARENT);
  return GetSysColorBrush(COLOR_BTNFACE);
}

// Buttons --------------------------------------------------------------------

namespace {
// The control itself must be enabled and not hidden (its window may not be shown yet).
bool Clickable(HWND h) {
  return h && IsWindowEnabled(h) && (GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE);
}
}  // namespace

Button::Button(Window* owner, int id) : Control(owner, id) {
  if (id == IDOK || id == IDCANCEL) ModalResult = id;
}

bool Button::Click() {
  if (!Clickable(Handle())) return false;
  Notify(BN_CLICKED);
  return true;
}

bool Button::HandleCommand(int code) {
  if (code != BN_CLICKED) return false;
  if (OnClick) OnClick();
  if (ModalResult != 0)
    if (auto* d = dynamic_cast<Dialog*>(Owner())) d->SetModalResult(ModalResult);
  return true;
}

bool CheckBox::Checked() {
  return Send(BM_GETCHECK) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked) {
  if (Checked() == checked) return;
  Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
  if (OnClick) OnClick();
}

bool CheckBox::Click() {
  if (!Clickable(Handle())) return false;
  Send(BM_SETCHECK, Checked() ? BST_UNCHECKED : BST_CHECKED);
  Notify(BN_CLICKED);
  return true;
}

bool CheckBox::HandleCommand(int code) {
  if (code != BN_CLICKED) return false;
  if (OnClick) OnClick();
  return true;
}

bool RadioButton::Checked() {
  return Send(BM_GETCHECK) == BST_CHECKED;
}

namespace {
// Clears the other radio buttons of the group (the dialog's WS_GROUP groups). It walks the
// sibling windows itself: GetNextDlgGroupItem skips hidden and disabled buttons, which would
// leave a disabled button checked beside the new choice.
void ClearSiblings(HWND self) {
  HWND first = self;
  while (!(GetWindowLongPtrW(first, GWL_STYLE) & WS_GROUP)) {
    HWND prev = GetWindow(first, GW_HWNDPREV);
    if (!prev) break;
    first = prev;
  }
  for (HWND h = first; h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (h != first && (GetWindowLongPtrW(h, GWL_STYLE) & WS_GROUP)) break;
    if (h == self) continue;
    LONG_PTR type = GetWindowLongPtrW(h, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON)
      SendMessageW(h, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}
}  // namespace

void RadioButton::OnAttached() {
  lastChecked_ = Checked();
}

void RadioButton::Remember() {
  // The system clears the siblings of an automatic radio button without telling them.
  if (!Owner()) return;
  for (Control* c : Owner()->Controls())
    if (auto* r = dynamic_cast<RadioButton*>(c); r && r->HandleAllocated())
      r->lastChecked_ = r->Send(BM_GETCHECK) == BST_CHECKED;
}

void RadioButton::SetChecked(bool checked) {
  if (Checked() == checked) return;
  Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
  if (checked) ClearSiblings(Handle());
  Remember();
  if (checked && OnClick) OnClick();
}

bool RadioButton::Click() {
  if (!Clickable(Handle())) return false;
  if (!Checked()) {
    Send(BM_SETCHECK, BST_CHECKED);
    ClearSiblings(Handle());
  }
  Notify(BN_CLICKED);
  return true;
}

bool RadioButton::HandleCommand(int code) {
  if (code != BN_CLICKED) return false;
  // A click on a radio button that was checked already changes nothing and reports nothing.
  bool was = lastChecked_;
  Remember();
  if (!was && lastChecked_ && OnClick) OnClick();
  return true;
}

// Edits and labels -------------------------------------------------------------

void Edit::OnAttached() {
  GuardTextLayout();
}

void Edit::SelectAll() {
  Send(EM_SETSEL, 0, -1);
}

bool Edit::HandleCommand(int code) {
  if (code != EN_CHANGE) return false;
  if (OnChange) OnChange();
  return true;
}

bool Label::HandleCommand(int code) {
  if (code != STN_CLICKED) return false;
  if (OnClick) OnClick();
  return true;
}

// Combo box --------------------------------------------------------------------

void ComboBox::OnAttached() {
  GuardTextLayout();
}

void ComboBox::Clear() {
  Send(CB_RESETCONTENT);
}

int ComboBox::Add(const std::wstring& text, intptr_t data) {
  int i = static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  if (i >= 0) Send(CB_SETITEMDATA, i, data);
  return i;
}

void ComboBox::Insert(int index, const std::wstring& text, intptr_t data) {
  int i = static_cast<int>(Send(CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str())));
  if (i >= 0) Send(CB_SETITEMDATA, i, data);
}

void ComboBox::Delete(int index) {
  Send(CB_DELETESTRING, index);
}
int ComboBox::Count() {
  return static_cast<int>(Send(CB_GETCOUNT));
}

std::wstring ComboBox::Item(int index) {
  LRESULT n = Send(CB_GETLBTEXTLEN, index);
  if (n == CB_ERR) return {};
  std::wstring s(n + 1, L'\0');
  n = Send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(s.data()));
  s.resize(n == CB_ERR ? 0 : n);
  return s;
}

intptr_t ComboBox::ItemData(int index) {
  return Send(CB_GETITEMDATA, index);
}

std::vector<std::wstring> ComboBox::Items() {
  std::vector<std::wstring> v;
  for (int i = 0, n = Count(); i < n; ++i) v.push_back(Item(i));
  return v;
}

int ComboBox::ItemIndex() {
  return static_cast<int>(Send(CB_GETCURSEL));
}
void ComboBox::SetItemIndex(int index) {
  Send(CB_SETCURSEL, index);
}

bool ComboBox::Choose(int index) {
  if (!Enabled() || index < 0 || index >= Count()) return false;
  if (ItemIndex() == index) return true;
  SetItemIndex(index);
  Notify(CBN_SELCHANGE);
  return true;
}

int ComboBox::FindExact(const std::wstring& text) {
  LRESULT i =
      Send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
  return i == CB_ERR ? -1 : static_cast<int>(i);
}

bool ComboBox::HandleCommand(int code) {
  if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) {
    if (OnChange) OnChange();
    return true;
  }
  if (code == CBN_DROPDOWN) {
    if (OnDropDown) OnDropDown();
    return true;
  }
  return false;
}

// List box -----------------------------------------------------------------------

void ListBox::Clear() {
  Send(LB_RESETCONTENT);
}

int ListBox::Add(const std::wstring& text, intptr_t data) {
  int i = static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  if (i >= 0) Send(LB_SETITEMDATA, i, data);
  return i;
}

int ListBox::Count() {
  return static_cast<int>(Send(LB_GETCOUNT));
}

std::wstring ListBox::Item(int index) {
  LRESULT n = Send(LB_GETTEXTLEN, index);
  if (n == LB_ERR) return {};
  std::wstring s(n + 1, L'\0');
  n = Send(LB_GETTEXT, index, reinterpret_cast<LPARAM>(s.data()));
  s.resize(n == LB_ERR ? 0 : n);
  return s;
}

intptr_t ListBox::ItemData(int index) {
  return Send(LB_GETITEMDATA, index);
}
int ListBox::ItemIndex() {
  return static_cast<int>(Send(LB_GETCURSEL));
}
void ListBox::SetItemIndex(int index) {
  Send(LB_SETCURSEL, index);
}

bool ListBox::Choose(int index) {
  if (!Enabled() || index < 0 || index >= Count()) return false;
  if (ItemIndex() == index) return true;
  SetItemIndex(index);
  Notify(LBN_SELCHANGE);
  return true;
}

bool ListBox::HandleCommand(int code) {
  if (code != LBN_SELCHANGE) return false;
  if (OnChange) OnChange();
  return true;
}

// Date and time picker -------------------------------------------------------------

SYSTEMTIME DateTimePicker::Value() {
  SYSTEMTIME st{};
  Send(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
  return st;
}

void DateTimePicker::SetValue(const SYSTEMTIME& value) {
  Send(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&value));
}

bool DateTimePicker::HandleNotify(NMHDR* hdr, LRESULT& result) {
  if (hdr->hwndFrom != Handle() || hdr->code != DTN_DATETIMECHANGE) return false;
  if (OnChange) OnChange();
  result = 0;
  return true;
}

// Progress bar ------------------------------------------------------------------

void ProgressBar::SetRange(int min, int max) {
  Send(PBM_SETRANGE32, min, max);
}
void ProgressBar::SetPosition(int pos) {
  Send(PBM_SETPOS, pos);
}
int ProgressBar::Position() {
  return static_cast<int>(Send(PBM_GETPOS));
}

// Page control ------------------------------------------------------------------

int PageControl::AddPage(const std::wstring& caption, std::vector<int> controlIds) {
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<wchar_t*>(caption.c_str());
  int index = static_cast<int>(pages_.size());
  // The pages' controls stand on the tab's body: where the system draws themed tabs, the
  // dialog paints them with its texture instead of grey strips.
  if (index == 0) EnableThemeDialogTexture(GetParent(Handle()), ETDT_ENABLETAB);
  Send(TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
  pages_.push_back(std::move(controlIds));
  ShowPage(ActivePage() < 0 ? 0 : ActivePage());
  return index;
}

int PageControl::ActivePage() {
  return static_cast<int>(Send(TCM_GETCURSEL));
}

void PageControl::SetActivePage(int index) {
  Send(TCM_SETCURSEL, index);
  ShowPage(index);
}

bool PageControl::Choose(int index) {
  if (!Enabled() || index < 0 || index >= PageCount()) return false;
  if (index == ActivePage()) return true;
  SetActivePage(index);
  if (OnChange) OnChange();
  return true;
}

void PageControl::ShowPage(int index) {
  HWND parent = GetParent(Handle());
  for (int p = 0; p < PageCount(); ++p)
    for (int id : pages_[p])
      if (HWND h = GetDlgItem(parent, id)) ShowWindow(h, p == index ? SW_SHOW : SW_HIDE);
}

bool PageControl::HandleNotify(NMHDR* hdr, LRESULT& result) {
  if (hdr->hwndFrom != Handle() || hdr->code != TCN_SELCHANGE) return false;
  ShowPage(ActivePage());
  if (OnChange) OnChange();
  result = 0;
  return true;
}

// Colour panel -------------------------------------------------------------------

namespace {
const wchar_t kColorPanelClass[] = L"JvColorPanel";
const wchar_t kPanelProp[] = L"JvColorPanelObj";
}  // namespace

LRESULT CALLBACK ColorPanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<ColorPanel*>(GetPropW(hwnd, kPanelProp));
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      HBRUSH b = CreateSolidBrush(ColorToRGB(self ? self->color_ : 0));
      FillRect(dc, &r, b);
      DeleteObject(b);
      if (self && self->bevel_ != ColorPanel::bvNone)
        DrawEdge(dc, &r, self->bevel_ == ColorPanel::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER,
                 BF_RECT);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_LBUTTONUP:
    case WM_CHAR:
      if (msg == WM_CHAR && wp != L' ') break;
      if (self)
        Guarded([&] {
          if (self->OnClick) self->OnClick();
        });
      return 0;
    case WM_SETFOCUS:
      if (self)
        Guarded([&] {
          if (self->OnEnter) self->OnEnter();
        });
      return 0;
    case WM_KILLFOCUS:
      if (self)
        Guarded([&] {
          if (self->OnExit) self->OnExit();
        });
      return 0;
    case WM_MOUSEMOVE:
      if (self)
        Guarded([&] {
          if (self->OnMouseMove)
            self->OnMouseMove(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        });
      return 0;
    case WM_NCDESTROY:
      RemovePropW(hwnd, kPanelProp);
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterColorPanelClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  HINSTANCE inst =
      Application::Get().Instance() ? Application::Get().Instance() : GetModuleHandleW(nullptr);
  if (GetClassInfoExW(inst, kColorPanelClass, &wc)) return;
  wc.lpfnWndProc = ColorPanelProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kColorPanelClass;
  RegisterClassExW(&wc);
}

void ColorPanel::OnAttached() {
  SetPropW(Handle(), kPanelProp, this);
  Invalidate();
}

void ColorPanel::SetColor(Color c) {
  color_ = c;
  Invalidate();
}

void ColorPanel::SetBevel(Bevel b) {
  bevel_ = b;
  Invalidate();
}

bool ColorPanel::Click() {
  if (!Clickable(Handle())) return false;
  if (OnClick) OnClick();
  return true;
}

}  // namespace ui
