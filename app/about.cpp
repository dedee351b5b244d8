#include "app/about.h"

#include <windowsx.h>

#include "document/product.h"
#include "ui/app.h"
#include "ui/strings.h"

namespace {
constexpr int Width = 350, Height = 220;
}

HBRUSH TTransparentLabel::HandleCtlColor(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, TextColor);
  return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

TAboutForm::TAboutForm(HWND Owner) : Dialog(IDD_ABOUT, Owner) {
  Handle();
}

TAboutForm::~TAboutForm() {
  if (Picture) DeleteObject(Picture);
  if (LinkFont) DeleteObject(LinkFont);
}

void TAboutForm::OnInitDialog() {
  HWND h = HandleIfCreated();
  // Unscaled: the picture decides the size.
  SetWindowPos(h, nullptr, 0, 0, Width, Height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Picture = static_cast<HBITMAP>(LoadImageW(ui::Application::Get().Instance(),
                                            MAKEINTRESOURCEW(IDB_ABOUT_PICTURE), IMAGE_BITMAP, 0, 0,
                                            LR_DEFAULTCOLOR));

  VersLabel.SetBounds(0, 156, Width, 18);
  VersLabel.SetFont(L"Arial", 13, false);
  VersLabel.TextColor = RGB(255, 255, 255);
  HomeLabel.SetBounds(12, 184, 230, 15);
  MailLabel.SetBounds(12, 201, 230, 15);
  CloseButton.SetBounds(Width - 76, 187, 64, 24);
  CloseButton.ModalResult = IDCANCEL;

  HomeLabel.SetText(ProductHomePage);
  MailLabel.SetText(ProductSupportMail);
  HomeLabel.TextColor = MailLabel.TextColor = GetSysColor(COLOR_WINDOWTEXT);
  PlainFont = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  GetObjectW(PlainFont ? PlainFont : GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
  lf.lfUnderline = TRUE;
  LinkFont = CreateFontIndirectW(&lf);

  Hints = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0,
                          0, 0, h, nullptr, ui::Application::Get().Instance(), nullptr);
  for (auto [label, hint] :
       {std::pair{&HomeLabel, IDS_ABOUT_HOMEHINT}, std::pair{&MailLabel, IDS_ABOUT_MAILHINT}}) {
    TTransparentLabel* l = label;
    std::wstring text = ui::LoadStr(hint);
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = h;
    ti.uId = reinterpret_cast<UINT_PTR>(l->Handle());
    ti.lpszText = text.data();
    SendMessageW(Hints, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    l->SetMessageHook([this, l](UINT msg, WPARAM, LPARAM lp, LRESULT&) {
      if (msg == WM_MOUSEMOVE) LabelMouseMove(*l, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return false;
    });
    l->OnClick = [this, l] { LabelClick(*l); };
  }
}

void TAboutForm::SetLinkLook(TTransparentLabel& Label, bool Hot) {
  Label.TextColor = Hot ? RGB(255, 255, 255) : RGB(0, 0, 0);
  Label.Send(WM_SETFONT, reinterpret_cast<WPARAM>(Hot ? LinkFont : PlainFont), FALSE);
  // The label has no background of its own: the picture below it is drawn again first.
  RECT r = Label.Bounds();
  InvalidateRect(HandleIfCreated(), &r, TRUE);
  Label.Invalidate();
}

bool TAboutForm::Underlined(TTransparentLabel& Label) {
  HFONT f = reinterpret_cast<HFONT>(Label.Send(WM_GETFONT));
  LOGFONTW lf{};
  return f && GetObjectW(f, sizeof(lf), &lf) && lf.lfUnderline;
}

void TAboutForm::LabelMouseMove(TTransparentLabel& Label, int X, int Y) {
  RECT r = Label.Bounds();
  bool inside = X > 0 && X < r.right - r.left && Y > 0 && Y < r.bottom - r.top;
  bool captured = GetCapture() == Label.Handle();
  if (inside && !captured) {
    SetLinkLook(Label, true);
    SetCapture(Label.Handle());
  } else if (!inside && captured) {
    SetLinkLook(Label, false);
    ReleaseCapture();
  }
}

void TAboutForm::LabelClick(TTransparentLabel& Label) {
  Label.Send(WM_SETFONT, reinterpret_cast<WPARAM>(PlainFont), TRUE);
  ReleaseCapture();
  SetModalResult(&Label == &MailLabel ? IDNO : IDYES);
}

bool TAboutForm::OnCommand(int id, int code, HWND from) {
  // No cancel button: Escape does not close the box.
  if (id == IDCANCEL) return true;
  return Dialog::OnCommand(id, code, from);
}

bool TAboutForm::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg != WM_ERASEBKGND) return false;
  HDC dc = reinterpret_cast<HDC>(wp);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, Picture);
  BitBlt(dc, 0, 0, Width, Height, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  result = TRUE;
  return true;
}
