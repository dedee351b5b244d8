// Main window: the action list, tool bar, menu images and the two pairs of hash menus.
#include "app/main.h"
#include "hash/registry.h"
#include "ui/strings.h"

void TMainForm::CreateActions() {
  // Every command of the window, in menu order: its tool bar image (-1: none) and shortcut.
  // Captions and hints come from the string table; the units that implement a command set its
  // execute (and update) handlers, and a command without one shows disabled.
  static const struct {
    int Id, Image;
    ui::ShortCut Keys;
    bool OnToolBar, SeparatorBefore;
  } commands[] = {
      {ID_FILE_NEW, 0, {'N', FCONTROL}, true, false},
      {ID_FILE_OPEN, 1, {'O', FCONTROL}, true, false},
      {ID_FILE_SAVE, 2, {'S', FCONTROL}, true, false},
      {ID_FILE_SAVEAS, -1, {}, false, false},
      {ID_FILE_IMPORT, -1, {}, false, false},
      {ID_FILE_EXPORT, -1, {}, false, false},
      {ID_FILE_PROPS, -1, {}, false, false},
      {ID_FILE_EXIT, -1, {}, false, false},
      {ID_EDIT_ITEM, 3, {}, true, true},
      {ID_EDIT_COPY, 4, {'C', FCONTROL}, true, false},
      {ID_EDIT_DELETE, 5, {VK_DELETE, FCONTROL}, true, false},
      {ID_EDIT_ALL, -1, {'A', FCONTROL}, false, false},
      {ID_TOOL_UPDATE, 6, {}, true, true},
      {ID_TOOL_VERIFY, 7, {}, true, false},
      {ID_TOOL_CALC, 8, {}, true, false},
      {ID_OPTIONS, 9, {}, true, true},
      {ID_OPTS_SAVE, -1, {}, false, false},
      {ID_HELP_TIPS, -1, {}, false, false},
      {ID_HELP_ABOUT, 10, {}, true, false},
  };
  for (const auto& c : commands) {
    ui::Action& a = ActionList.Add(c.Id);
    a.ShortCut = c.Keys;
    if (c.Image >= 0) images_.emplace_back(c.Id, c.Image);
    if (!c.OnToolBar) continue;
    if (c.SeparatorBefore) ToolBar.AddSeparator();
    std::wstring caption = ui::StripHotkey(a.Caption);
    if (caption.size() > 3 && caption.compare(caption.size() - 3, 3, L"...") == 0)
      caption.resize(caption.size() - 3);
    ToolBar.AddButton(c.Id, c.Image, caption);
  }

  Action(ID_OPTIONS).OnExecute = [this] { OptionsActionExecute(); };
  Action(ID_OPTS_SAVE).OnExecute = [this] { OptsSaveActionExecute(); };
  Action(ID_FILE_EXIT).OnExecute = [this] { Close(); };
  Action(ID_TOOL_CALC).OnExecute = [this] { ToolCalcActionExecute(); };
  Action(ID_TOOL_UPDATE).OnExecute = [this] { ToolUpdateActionExecute(); };
  Action(ID_TOOL_VERIFY).OnExecute = [this] { ToolVerifyActionExecute(); };
  Action(ID_TOOL_VERIFY).OnUpdate = [this](ui::Action& A) { ToolVerifyActionUpdate(A); };
  InitEditActions();
  InitDocumentActions();
  // The commands of the other units hook in here.
  Action(ID_FILE_EXPORT).OnExecute = [this] { FileExportActionExecute(); };
}

// Menu items show the tool bar image of their command.
void TMainForm::SetMenuImages(HMENU Menu) {
  for (const auto& [id, image] : images_) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_BITMAP;
    mii.hbmpItem = HBMMENU_CALLBACK;
    SetMenuItemInfoW(Menu, id, FALSE, &mii);
  }
}

bool TMainForm::MeasureMenuImage(MEASUREITEMSTRUCT* mis, LRESULT& result) {
  if (mis->CtlType != ODT_MENU) return false;
  mis->itemWidth = 16;
  mis->itemHeight = 16;
  result = TRUE;
  return true;
}

bool TMainForm::DrawMenuImage(DRAWITEMSTRUCT* dis, LRESULT& result) {
  if (dis->CtlType != ODT_MENU) return false;
  for (const auto& [id, image] : images_)
    if (static_cast<UINT>(id) == dis->itemID) {
      UINT style = (dis->itemState & ODS_GRAYED) ? ILD_BLEND50 : ILD_NORMAL;
      ImageList_Draw(ToolBar.Images(), image, dis->hDC, dis->rcItem.left,
                     dis->rcItem.top + (dis->rcItem.bottom - dis->rcItem.top - 16) / 2, style);
    }
  result = TRUE;
  return true;
}

void TMainForm::BuildHashMenus() {
  // One item per registered encoder (display names) and per hasher (registry names), in
  // registry order, so that an item's position is its registry index.
  auto add = [this](HMENU menu, const std::string& name, bool hash) {
    int id = AddCommand([this, menu, hash](int cmd) {
      if (hash)
        ItemHashItemClick(menu, cmd);
      else
        ItemCodeItemClick(menu, cmd);
    });
    ui::AppendMenuItem(menu, id, std::wstring(name.begin(), name.end()));
  };
  std::vector<std::string> names;
  FillCoderNames(names);
  for (const std::string& n : names) {
    add(EditCodeItem, n, false);
    add(MenuCodeItem, n, false);
  }
  names.clear();
  FillHasherNames(names);
  for (const std::string& n : names) {
    add(EditHashItem, n, true);
    add(MenuHashItem, n, true);
  }
}
