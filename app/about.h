#pragma once
// The about box: a borderless picture with the program's version and two links, the home page
// and a support mail. A link closes the box with 6 (home page) or 7 (mail); the main window
// opens the address. A link lights up while the pointer is over it: it takes the mouse capture
// on entering, which is how it learns that the pointer left.
#include <string>

#include "app/res/about_res.h"
#include "ui/controls.h"
#include "ui/dialog.h"

// A label drawn straight onto the picture.
class TTransparentLabel : public ui::Label {
 public:
  using Label::Label;
  COLORREF TextColor = 0;
  HBRUSH HandleCtlColor(HDC dc) override;
};

class TAboutForm : public ui::Dialog {
 public:
  explicit TAboutForm(HWND Owner);
  ~TAboutForm() override;

  TTransparentLabel VersLabel{this, IDT_ABOUT_VERSION};
  ui::Button CloseButton{this, IDB_ABOUT_OK};
  TTransparentLabel HomeLabel{this, IDT_ABOUT_HOME};
  TTransparentLabel MailLabel{this, IDT_ABOUT_MAIL};

  void LabelMouseMove(TTransparentLabel& Label, int X, int Y);
  void LabelClick(TTransparentLabel& Label);
  bool Underlined(TTransparentLabel& Label);

 protected:
  void OnInitDialog() override;
  bool OnCommand(int id, int code, HWND from) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void SetLinkLook(TTransparentLabel& Label, bool Hot);
  HBITMAP Picture = nullptr;
  HFONT PlainFont = nullptr, LinkFont = nullptr;
  HWND Hints = nullptr;
};
