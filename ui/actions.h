#pragma once
// Actions: the commands of a window with caption, hint, shortcut, execute and update handlers,
// bound to menu items and tool bar buttons by command ID.
//
//   Action& a = Actions.Add(ID_FILE_SAVE, [this] { FileSaveActionExecute(); });
//   a.OnUpdate = [this](Action& a) { a.SetEnabled(FileList->Modified); };
//   a.ShortCut = {'S', FCONTROL};
//
// Caption and hint come from the string table entry with the command's ID, "Caption\nHint"
// (either part may be empty). Menus bound with BindMenu get the caption plus the shortcut text;
// tool bars bound with BindToolBar take enabled and checked states. Update handlers run when
// the application is idle (Application::Idle) and when a bound menu opens (OnMenuOpen from the
// form's WM_INITMENUPOPUP). Accelerators() builds the form's accelerator table from the
// shortcuts.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class ToolBar;

struct ShortCut {
  WORD Key = 0;               // virtual key; 0 for none
  BYTE Modifiers = 0;         // FCONTROL, FSHIFT, FALT
  std::wstring Text() const;  // "Ctrl+N", "Ctrl+Del"
};

class ActionList;

class Action {
 public:
  Action(ActionList* list, int id);
  int Id() const { return id_; }

  std::wstring Caption;
  std::wstring Hint;
  ShortCut ShortCut;
  std::function<void()> OnExecute;
  std::function<void(Action&)> OnUpdate;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  // Runs the update handler, then the execute handler when enabled; true when it ran.
  bool Execute();
  // An action without an execute handler is disabled; otherwise its update handler decides.
  void Update();

 private:
  ActionList* list_;
  int id_;
  bool enabled_ = true, checked_ = false;
};

class ActionList {
 public:
  ActionList();
  ~ActionList();
  ActionList(const ActionList&) = delete;
  ActionList& operator=(const ActionList&) = delete;

  // Adds an action; caption and hint are loaded from the string with the same ID.
  Action& Add(int id, std::function<void()> execute = nullptr);
  Action* Find(int id);

  // Runs a command of the list; false when the ID is not one of its actions.
  bool Execute(int id);
  // Runs every update handler.
  void Update();
  // Updates registered with the application's idle work while this list lives.
  void UpdateOnIdle();

  void BindMenu(HMENU menu);
  void BindToolBar(ToolBar* bar);
  // Runs the update handlers when one of the bound menus (or their submenus) opens.
  void OnMenuOpen(HMENU menu);
  // Accelerator table built from the shortcuts (the caller destroys it).
  HACCEL Accelerators() const;

 private:
  friend class Action;
  void Changed(Action& a);
  void ApplyCaption(Action& a);
  std::vector<std::unique_ptr<Action>> actions_;
  std::vector<HMENU> menus_;
  std::vector<ToolBar*> bars_;
  int idleId_ = 0;
};

// Menu helpers.
// Caption of an item (by position), without any change.
std::wstring MenuItemCaption(HMENU menu, UINT item, bool byPosition);
void SetMenuItemCaption(HMENU menu, UINT item, bool byPosition, const std::wstring& caption);
// Appends an item with this command ID.
void AppendMenuItem(HMENU menu, int id, const std::wstring& caption);
// The submenu whose item caption (without hotkey marker) equals this, searched in depth.
HMENU FindSubMenu(HMENU menu, const std::wstring& caption);
bool MenuItemChecked(HMENU menu, UINT item, bool byPosition);
bool MenuItemEnabled(HMENU menu, UINT item, bool byPosition);

}  // namespace ui
