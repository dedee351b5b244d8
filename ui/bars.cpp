#include "ui/bars.h"

#include "ui/app.h"
#include "ui/window.h"

namespace ui {

// Tool bar ------------------------------------------------------------------------

ToolBar::~ToolBar() {
  if (images_) ImageList_Destroy(images_);
}

void ToolBar::Create(Window& parent, int bitmapId, int imageSize) {
  HWND h = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                           WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0,
                           0, 0, parent.Handle(), reinterpret_cast<HMENU>(INT_PTR(Id())),
                           Application::Get().Instance(), nullptr);
  SendMessageW(h, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(h, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  if (bitmapId) {
    HBITMAP bmp =
        static_cast<HBITMAP>(LoadImageW(Application::Get().Instance(), MAKEINTRESOURCEW(bitmapId),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bmp) {
      BITMAP bm{};
      GetObjectW(bmp, sizeof(bm), &bm);
      images_ =
          ImageList_Create(imageSize, imageSize, ILC_COLOR24 | ILC_MASK, bm.bmWidth / imageSize, 0);
      ImageList_AddMasked(images_, bmp, RGB(255, 0, 255));
      DeleteObject(bmp);
      SendMessageW(h, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    }
  }
  Attach(h);
  // Wine starts a flat bar with the top margin of a raised one until its buttons are first
  // sized; sized now, they sit where every later sizing puts them.
  imageSize_ = imageSize;
  SetButtonSize(imageSize_, imageSize_);
}

void ToolBar::AddButton(int command, int image, const std::wstring& caption) {
  items_.push_back({command, image, caption});
  Rebuild();
}

void ToolBar::AddSeparator() {
  items_.push_back({0, -1, L""});
  Rebuild();
}

void ToolBar::Rebuild() {
  HWND h = Handle();
  if (!h) return;
  // The buttons come back with the state they had (enabled, checked); new ones start enabled.
  std::vector<BYTE> states;
  for (const Item& it : items_) {
    LRESULT state = it.Command ? SendMessageW(h, TB_GETSTATE, it.Command, 0) : -1;
    states.push_back(state == -1 ? TBSTATE_ENABLED : static_cast<BYTE>(state));
  }
  while (SendMessageW(h, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageW(h, TB_DELETEBUTTON, 0, 0);
  for (size_t i = 0; i < items_.size(); ++i) {
    const Item& it = items_[i];
    TBBUTTON b{};
    if (it.Command == 0) {
      b.fsStyle = BTNS_SEP;
    } else {
      b.iBitmap = it.Image;
      b.idCommand = it.Command;
      b.fsState = states[i];
      b.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
      if (showCaptions_) b.iString = reinterpret_cast<INT_PTR>(it.Caption.c_str());
    }
    SendMessageW(h, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
  }
  AutoSize();
}

bool ToolBar::ButtonEnabled(int command) {
  return Send(TB_ISBUTTONENABLED, command) != 0;
}
void ToolBar::SetButtonEnabled(int command, bool enabled) {
  Send(TB_ENABLEBUTTON, command, MAKELPARAM(enabled, 0));
}
void ToolBar::SetButtonChecked(int command, bool checked) {
  Send(TB_CHECKBUTTON, command, MAKELPARAM(checked, 0));
}

void ToolBar::SetShowCaptions(bool show) {
  if (show == showCaptions_) return;
  showCaptions_ = show;
  SetButtonSize(imageSize_, imageSize_);
}

void ToolBar::SetButtonSize(int width, int height) {
  // The control takes the size as it is and measures captions only when buttons with captions
  // come in: the buttons are added again, so that those with captions grow to fit them.
  Send(TB_SETBUTTONSIZE, 0, MAKELPARAM(width, height));
  Rebuild();
}

void ToolBar::SetHint(int command, const std::wstring& hint) {
  hints_[command] = hint;
}

void ToolBar::AutoSize() {
  Send(TB_AUTOSIZE);
}

int ToolBar::Height() {
  RECT r = Bounds();
  return r.bottom - r.top;
}

bool ToolBar::HandleNotify(NMHDR* hdr, LRESULT& result) {
  if (hdr->code != TBN_GETINFOTIPW) return false;
  auto* tip = reinterpret_cast<NMTBGETINFOTIPW*>(hdr);
  auto it = hints_.find(tip->iItem);
  if (it == hints_.end()) return false;
  lstrcpynW(tip->pszText, it->second.c_str(), tip->cchTextMax);
  result = 0;
  return true;
}

// Status bar -----------------------------------------------------------------------

void StatusBar::Create(Window& parent) {
  HWND h = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                           0, 0, parent.Handle(), reinterpret_cast<HMENU>(INT_PTR(Id())),
                           Application::Get().Instance(), nullptr);
  Attach(h);
  Send(SB_SIMPLE, TRUE);
}

void StatusBar::SetSimpleText(const std::wstring& text) {
  simple_ = text;
  Send(SB_SIMPLE, TRUE);
  Send(SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(simple_.c_str()));
}

std::wstring StatusBar::SimpleText() {
  return simple_;
}

void StatusBar::SetPanels(const std::vector<int>& widths) {
  std::vector<int> right;
  int x = 0;
  for (int w : widths) {
    if (w < 0) {
      right.push_back(-1);
    } else {
      x += w;
      right.push_back(x);
    }
  }
  panelTexts_.resize(widths.size());
  ownerDraw_.resize(widths.size());
  Send(SB_SIMPLE, FALSE);
  Send(SB_SETPARTS, right.size(), reinterpret_cast<LPARAM>(right.data()));
}

void StatusBar::SetPanelText(int panel, const std::wstring& text) {
  if (panel < 0 || panel >= static_cast<int>(panelTexts_.size())) return;
  panelTexts_[panel] = text;
  UINT type = ownerDraw_[panel] ? SBT_OWNERDRAW : 0;
  Send(SB_SETTEXTW, panel | type,
       ownerDraw_[panel] ? 0 : reinterpret_cast<LPARAM>(panelTexts_[panel].c_str()));
}

std::wstring StatusBar::PanelText(int panel) {
  if (panel < 0 || panel >= static_cast<int>(panelTexts_.size())) return {};
  return panelTexts_[panel];
}

void StatusBar::SetOwnerDraw(int panel, bool ownerDraw) {
  if (panel < 0 || panel >= static_cast<int>(ownerDraw_.size())) return;
  ownerDraw_[panel] = ownerDraw;
  SetPanelText(panel, panelTexts_[panel]);
}

int StatusBar::Height() {
  RECT r = Bounds();
  return r.bottom - r.top;
}

void StatusBar::AutoSize() {
  Send(WM_SIZE);
}

bool StatusBar::HandleDrawItem(DRAWITEMSTRUCT* dis) {
  if (!OnDrawPanel) return false;
  OnDrawPanel(static_cast<int>(dis->itemID), *dis);
  return true;
}

}  // namespace ui
