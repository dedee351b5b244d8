#pragma once
// Sizeable dialogs: each control keeps its distance to the edges it is tied to, as the template
// placed it, and the window does not shrink below a least size.
//
//   in OnInitDialog:      anchors_.Capture(Handle(), [&](HWND c, const RECT&) {
//                           return c == Edit.Handle() ? TAnchors::GrowRight : 0u; });
//   on WM_SIZE:           anchors_.Layout(Handle());
//   on WM_GETMINMAXINFO:  TAnchors::SetLeastSize(lp, {370, 200});
#include <windows.h>

#include <functional>
#include <vector>

class TAnchors {
 public:
  // How a control follows the client area's right and bottom edges (none: it stays put).
  enum Tie : unsigned { MoveRight = 1, MoveDown = 2, GrowRight = 4, GrowDown = 8 };
  // Records the client size and every child's place but Skip's, with the ties Rule gives each
  // (from the child and its place in client coordinates).
  void Capture(HWND Parent, const std::function<unsigned(HWND, const RECT&)>& Rule,
               HWND Skip = nullptr);
  // Places the children for the client area as it is now, less Reserved pixels at its bottom.
  void Layout(HWND Parent, int Reserved = 0) const;
  // Answers WM_GETMINMAXINFO with the least window size.
  static void SetLeastSize(LPARAM MinMaxInfo, SIZE Least);

 private:
  struct Item {
    HWND Wnd;
    RECT Rect;
    unsigned Ties;
  };
  std::vector<Item> items_;
  SIZE design_{};
};
