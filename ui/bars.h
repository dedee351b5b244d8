#pragma once
// Tool bar and status bar of a form, created in code as children of the form.
//
//   ToolBar.Create(*this, IDC_TOOLBAR, IDB_TOOLBAR, 16);   // 16x16 images in one bitmap strip
//   ToolBar.AddButton(ID_FILE_OPEN, 1, L"Open");           // command, image, caption
//   ToolBar.AddSeparator();
//   Actions.BindToolBar(&ToolBar);                         // enabled state and hints
//
//   StatusBar.Create(*this, IDC_STATUSBAR);
//   StatusBar.SetSimpleText(L" 12 items");
//   StatusBar.SetPanels({100, -1});  StatusBar.SetPanelText(1, L"...");
//   StatusBar.SetOwnerDraw(0, true); StatusBar.OnDrawPanel = [](int, DRAWITEMSTRUCT&) {...};
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace ui {

class ToolBar : public Control {
 public:
  using Control::Control;
  ~ToolBar() override;
  // bitmap: a strip of imageSize x imageSize images; magenta (255,0,255) is transparent.
  void Create(Window& parent, int bitmapId, int imageSize);
  void AddButton(int command, int image, const std::wstring& caption);
  void AddSeparator();
  bool ButtonEnabled(int command);
  void SetButtonEnabled(int command, bool enabled);
  void SetButtonChecked(int command, bool checked);
  // Captions shown under the images (the "show toolbar button labels" setting); the buttons
  // are sized afresh for them.
  bool ShowCaptions() const { return showCaptions_; }
  void SetShowCaptions(bool show);
  // Sizes the buttons from width x height, grown to what their images and captions need.
  void SetButtonSize(int width, int height);
  // Hint (tooltip) per command.
  void SetHint(int command, const std::wstring& hint);
  // Height the bar takes at the top of its parent after AutoSize.
  int Height();
  void AutoSize();
  HIMAGELIST Images() const { return images_; }
  bool HandleNotify(NMHDR* hdr, LRESULT& result) override;

 private:
  void Rebuild();
  struct Item {
    int Command, Image;
    std::wstring Caption;
  };
  std::vector<Item> items_;
  std::map<int, std::wstring> hints_;
  bool showCaptions_ = false;
  int imageSize_ = 0;
  HIMAGELIST images_ = nullptr;
};

class StatusBar : public Control {
 public:
  using Control::Control;
  void Create(Window& parent);
  // One text over the whole bar.
  void SetSimpleText(const std::wstring& text);
  std::wstring SimpleText();
  // Panels by width (-1: the rest); leaves simple mode.
  void SetPanels(const std::vector<int>& widths);
  void SetPanelText(int panel, const std::wstring& text);
  std::wstring PanelText(int panel);
  void SetOwnerDraw(int panel, bool ownerDraw);
  std::function<void(int panel, DRAWITEMSTRUCT& dis)> OnDrawPanel;
  int Height();
  void AutoSize();
  bool HandleDrawItem(DRAWITEMSTRUCT* dis) override;

 private:
  std::wstring simple_;
  std::vector<std::wstring> panelTexts_;
  std::vector<bool> ownerDraw_;
};

}  // namespace ui
