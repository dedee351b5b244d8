#include "app/anchors.h"

void TAnchors::Capture(HWND Parent, const std::function<unsigned(HWND, const RECT&)>& Rule,
                       HWND Skip) {
  RECT client;
  GetClientRect(Parent, &client);
  design_ = {client.right, client.bottom};
  items_.clear();
  for (HWND c = GetWindow(Parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (c == Skip) continue;
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, Parent, reinterpret_cast<POINT*>(&r), 2);
    items_.push_back({c, r, Rule(c, r)});
  }
}

void TAnchors::Layout(HWND Parent, int Reserved) const {
  if (items_.empty()) return;
  RECT client;
  GetClientRect(Parent, &client);
  const int dx = client.right - design_.cx, dy = client.bottom - Reserved - design_.cy;
  HDWP dwp = BeginDeferWindowPos(static_cast<int>(items_.size()));
  for (const Item& a : items_) {
    RECT r = a.Rect;
    if (a.Ties & MoveRight) OffsetRect(&r, dx, 0);
    if (a.Ties & MoveDown) OffsetRect(&r, 0, dy);
    if (a.Ties & GrowRight) r.right += dx;
    if (a.Ties & GrowDown) r.bottom += dy;
    if (dwp)
      dwp = DeferWindowPos(dwp, a.Wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (dwp) EndDeferWindowPos(dwp);
  InvalidateRect(Parent, nullptr, TRUE);
}

void TAnchors::SetLeastSize(LPARAM MinMaxInfo, SIZE Least) {
  reinterpret_cast<MINMAXINFO*>(MinMaxInfo)->ptMinTrackSize = {Least.cx, Least.cy};
}
