#include "ui/actions.h"

#include "ui/app.h"
#include "ui/bars.h"
#include "ui/strings.h"

namespace ui {

std::wstring ShortCut::Text() const {
  if (!Key) return {};
  std::wstring s;
  if (Modifiers & FCONTROL) s += L"Ctrl+";
  if (Modifiers & FSHIFT) s += L"Shift+";
  if (Modifiers & FALT) s += L"Alt+";
  switch (Key) {
    case VK_DELETE:
      s += L"Del";
      break;
    case VK_INSERT:
      s += L"Ins";
      break;
    case VK_RETURN:
      s += L"Enter";
      break;
    case VK_ESCAPE:
      s += L"Esc";
      break;
    default:
      if (Key >= VK_F1 && Key <= VK_F24)
        s += L"F" + std::to_wstring(Key - VK_F1 + 1);
      else
        s += static_cast<wchar_t>(Key);
  }
  return s;
}

// Action -----------------------------------------------------------------------

Action::Action(ActionList* list, int id) : list_(list), id_(id) {}

void Action::SetEnabled(bool v) {
  if (enabled_ == v) return;
  enabled_ = v;
  list_->Changed(*this);
}

void Action::SetChecked(bool v) {
  if (checked_ == v) return;
  checked_ = v;
  list_->Changed(*this);
}

void Action::Update() {
  if (!OnExecute)
    SetEnabled(false);
  else if (OnUpdate)
    OnUpdate(*this);
}

bool Action::Execute() {
  Update();
  if (!enabled_ || !OnExecute) return false;
  OnExecute();
  return true;
}

// ActionList --------------------------------------------------------------------

ActionList::ActionList() = default;

ActionList::~ActionList() {
  if (idleId_) Application::Get().RemoveIdleHandler(idleId_);
}

Action& ActionList::Add(int id, std::function<void()> execute) {
  auto a = std::make_unique<Action>(this, id);
  std::wstring text = LoadStr(id);
  size_t nl = text.find(L'\n');
  a->Caption = text.substr(0, nl);
  if (nl != std::wstring::npos) a->Hint = text.substr(nl + 1);
  a->OnExecute = std::move(execute);
  actions_.push_back(std::move(a));
  return *actions_.back();
}

Action* ActionList::Find(int id) {
  for (auto& a : actions_)
    if (a->Id() == id) return a.get();
  return nullptr;
}

bool ActionList::Execute(int id) {
  Action* a = Find(id);
  if (!a) return false;
  a->Execute();
  return true;
}

void ActionList::Update() {
  for (auto& a : actions_) a->Update();
}

void ActionList::UpdateOnIdle() {
  if (!idleId_) idleId_ = Application::Get().AddIdleHandler([this] { Update(); });
}

void ActionList::ApplyCaption(Action& a) {
  std::wstring text = a.Caption;
  std::wstring keys = a.ShortCut.Text();
  if (!keys.empty()) text += L"\t" + keys;
  for (HMENU m : menus_) SetMenuItemCaption(m, a.Id(), false, text);
}

void ActionList::BindMenu(HMENU menu) {
  menus_.push_back(menu);
  for (auto& a : actions_) {
    ApplyCaption(*a);
    Changed(*a);
  }
}

void ActionList::BindToolBar(ToolBar* bar) {
  bars_.push_back(bar);
  for (auto& a : actions_) {
    bar->SetHint(a->Id(), StripHotkey(a->Hint.empty() ? a->Caption : a->Hint));
    Changed(*a);
  }
}

void ActionList::Changed(Action& a) {
  for (HMENU m : menus_) {
    EnableMenuItem(m, a.Id(), MF_BYCOMMAND | (a.Enabled() ? MF_ENABLED : MF_GRAYED));
    CheckMenuItem(m, a.Id(), MF_BYCOMMAND | (a.Checked() ? MF_CHECKED : MF_UNCHECKED));
  }
  for (ToolBar* b : bars_) {
    b->SetButtonEnabled(a.Id(), a.Enabled());
    b->SetButtonChecked(a.Id(), a.Checked());
  }
}

namespace {
bool Contains(HMENU root, HMENU menu) {
  if (root == menu) return true;
  for (int i = 0, n = GetMenuItemCount(root); i < n; ++i)
    if (HMENU sub = GetSubMenu(root, i))
      if (Contains(sub, menu)) return true;
  return false;
}
}  // namespace

void ActionList::OnMenuOpen(HMENU menu) {
  for (HMENU m : menus_)
    if (Contains(m, menu)) {
      Update();
      return;
    }
}

HACCEL ActionList::Accelerators() const {
  std::vector<ACCEL> keys;
  for (auto& a : actions_)
    if (a->ShortCut.Key)
      keys.push_back({static_cast<BYTE>(FVIRTKEY | a->ShortCut.Modifiers), a->ShortCut.Key,
                      static_cast<WORD>(a->Id())});
  if (keys.empty()) return nullptr;
  return CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

// Menu helpers ---------------------------------------------------------------------

std::wstring MenuItemCaption(HMENU menu, UINT item, bool byPosition) {
  wchar_t buf[512] = {};
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_STRING;
  mii.dwTypeData = buf;
  mii.cch = 511;
  if (!GetMenuItemInfoW(menu, item, byPosition, &mii)) return {};
  return buf;
}

void SetMenuItemCaption(HMENU menu, UINT item, bool byPosition, const std::wstring& caption) {
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_STRING;
  mii.dwTypeData = const_cast<wchar_t*>(caption.c_str());
  SetMenuItemInfoW(menu, item, byPosition, &mii);
}

void AppendMenuItem(HMENU menu, int id, const std::wstring& caption) {
  AppendMenuW(menu, MF_STRING, id, caption.c_str());
}

HMENU FindSubMenu(HMENU menu, const std::wstring& caption) {
  for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
    HMENU sub = GetSubMenu(menu, i);
    if (!sub) continue;
    if (StripHotkey(MenuItemCaption(menu, i, true)) == caption) return sub;
    if (HMENU deeper = FindSubMenu(sub, caption)) return deeper;
  }
  return nullptr;
}

bool MenuItemChecked(HMENU menu, UINT item, bool byPosition) {
  UINT s = GetMenuState(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  return s != static_cast<UINT>(-1) && (s & MF_CHECKED);
}

bool MenuItemEnabled(HMENU menu, UINT item, bool byPosition) {
  UINT s = GetMenuState(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  return s != static_cast<UINT>(-1) && !(s & (MF_GRAYED | MF_DISABLED));
}

}  // namespace ui
