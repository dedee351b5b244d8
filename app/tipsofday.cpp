#include "app/tipsofday.h"

namespace {

// Pixel layout of the client area (389 x 251): a green strip on the left with the lamp, a
// header band with the title and the white body of the tip.
constexpr int ClientWidth = 389, ClientHeight = 251;
constexpr RECT StripRect{0, 0, 74, 216};
constexpr RECT HeaderRect{73, 0, 73 + 314, 41};
constexpr RECT BodyRect{73, 40, 73 + 314, 40 + 177};
constexpr COLORREF StripColor = 0x7FAA55;  // $BBGGRR, as COLORREF is
constexpr COLORREF HeaderColor = 0xA0C050;
constexpr COLORREF BodyColor = 0xFFFFFF;

}  // namespace

TDlgTipsForm::TDlgTipsForm(HWND Owner) : Dialog(IDD_TIPS, Owner) {
  Handle();
}

void TDlgTipsForm::OnInitDialog() {
  HWND h = HandleIfCreated();
  RECT r{0, 0, ClientWidth, ClientHeight};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(h, GWL_EXSTYLE)));
  SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  LampImage.SetBounds(0, 0, 74, 58);
  TitleLabel.SetBounds(HeaderRect.left + 12, 10, 290, 24);
  TipNameLabel.SetBounds(BodyRect.left + 12, BodyRect.top + 12, 290, 20);
  TipTextLabel.SetBounds(BodyRect.left + 12, BodyRect.top + 40, 290, 125);
  ShowBox.SetBounds(8, 225, 170, 18);
  NextButton.SetBounds(226, 222, 75, 23);
  CloseButton.SetBounds(306, 222, 75, 23);

  TitleLabel.SetFont(L"Arial", 19, true);
  TipNameLabel.SetFont(L"Arial", 16, true);
  TipTextLabel.SetFont(L"Arial", 13, false);
  TitleLabel.SetBackColor(static_cast<ui::Color>(HeaderColor));
  TipNameLabel.SetBackColor(static_cast<ui::Color>(BodyColor));
  TipTextLabel.SetBackColor(static_cast<ui::Color>(BodyColor));
  TitleLabel.SetTextColor(0);
  TipNameLabel.SetTextColor(0);
  TipTextLabel.SetTextColor(0);

  NextButton.OnClick = [this] { NextButtonClick(); };
  SendMessageW(h, DM_SETDEFID, IDB_TIPS_NEXT, 0);
}

void TDlgTipsForm::AddTip(const std::wstring& Name, const std::wstring& Text) {
  Tips.push_back(std::make_unique<TTipItem>(TTipItem{Name, Text}));
}

void TDlgTipsForm::ShowTip() {
  if (Tips.empty()) {
    TipNameLabel.SetText(L"");
    TipTextLabel.SetText(L"");
    return;
  }
  const int32_t last = static_cast<int32_t>(Tips.size()) - 1;
  if (TipIndex < 0) TipIndex = 0;
  if (TipIndex > last) TipIndex = last;
  // Once the last tip was seen, Enter closes; wrapping round does not give Next the default back.
  if (TipIndex == last) SendMessageW(HandleIfCreated(), DM_SETDEFID, IDCANCEL, 0);
  TipNameLabel.SetText(Tips[TipIndex]->Name);
  TipTextLabel.SetText(Tips[TipIndex]->Text);
}

void TDlgTipsForm::NextButtonClick() {
  if (++TipIndex >= static_cast<int32_t>(Tips.size())) TipIndex = 0;
  ShowTip();
}

int TDlgTipsForm::DefaultButton() {
  return LOWORD(SendMessageW(HandleIfCreated(), DM_GETDEFID, 0, 0));
}

void TDlgTipsForm::PaintShapes(HDC dc) {
  RECT client;
  GetClientRect(HandleIfCreated(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  for (auto [rect, color] : {std::pair{StripRect, StripColor}, std::pair{HeaderRect, HeaderColor},
                             std::pair{BodyRect, BodyColor}}) {
    HBRUSH brush = CreateSolidBrush(color);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
  }
  SelectObject(dc, oldPen);
}

bool TDlgTipsForm::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg != WM_ERASEBKGND) return false;
  PaintShapes(reinterpret_cast<HDC>(wp));
  result = TRUE;
  return true;
}
