// Main window: the edit commands (Edit..., Copy, Delete, Select all, the hash type and hash
// encoding menus).
#include "app/mainedit.h"

#include <algorithm>

#include "app/itemprop.h"
#include "app/main.h"
#include "app/res/itemprop_res.h"
#include "hash/registry.h"
#include "ui/actions.h"
#include "ui/prompts.h"
#include "ui/strings.h"

namespace {

// Hash and encoder names are ASCII.
std::wstring Widen(const std::string& Text) {
  return std::wstring(Text.begin(), Text.end());
}
std::string Narrow(const std::wstring& Text) {
  std::string s;
  for (wchar_t c : Text) s += c < 0x80 ? static_cast<char>(c) : '?';
  return s;
}

}  // namespace

void CollectCommonHash(const TFileItem& Item, TCommonHash& Common) {
  auto merge = [](std::string& common, const std::string& value) {
    if (common.empty())
      common = value;
    else if (common != value)
      common = "*";
  };
  merge(Common.HashType, Item.HashType);
  merge(Common.HashCode, Item.HashCode);
}

std::wstring CheckedHashCaption(const TCommonHash& Common) {
  return CommonNameUsable(Common.HashType) ? Widen(Common.HashType) : std::wstring();
}

std::wstring CheckedCodeCaption(const TCommonHash& Common) {
  const TCoderClass coder = FindCoder(Common.HashCode);
  return coder ? Widen(coder->DisplayName()) : std::wstring();
}

void SetHashMenuState(HMENU Parent, UINT SubmenuId, HMENU Submenu, bool Enabled,
                      const std::wstring& Checked) {
  EnableMenuItem(Parent, SubmenuId, MF_BYCOMMAND | (Enabled ? MF_ENABLED : MF_GRAYED));
  for (int i = 0, n = GetMenuItemCount(Submenu); i < n; ++i) {
    const bool check =
        !Checked.empty() && ui::StripHotkey(ui::MenuItemCaption(Submenu, i, true)) == Checked;
    CheckMenuItem(Submenu, i, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
  }
}

void SetNodeHashType(TFileItem& Item, const std::string& Name) {
  if (Item.HashType == Name) return;
  Item.SetHashType(Name);
  Item.SetHashValue("");
}

bool RecodeEntryValue(const TFileItem& Item, TCoderClass NewCoder, std::string& Text) {
  const TCoderClass current = FindCoder(Item.HashCode);
  if (!current) return false;
  std::string text = RecodeHashValue(current, NewCoder, Item.HashValue);
  // Hexadecimal compares ignoring case; the program writes it in lower case.
  if (!NewCoder->CaseSensitive())
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  Text = std::move(text);
  return true;
}

void StoreEntryValue(TFileItem& Item, TCoderClass NewCoder, const std::string& Text) {
  Item.SetHashValue(Text);
  Item.SetHashCode(NewCoder->CoderName());
}

// The commands ---------------------------------------------------------------------------------

void TMainForm::InitEditActions() {
  ui::Action& item = Action(ID_EDIT_ITEM);
  item.OnExecute = [this] { EditItemActionExecute(); };
  item.OnUpdate = [this](ui::Action& a) { EditItemActionUpdate(a); };
  ui::Action& copy = Action(ID_EDIT_COPY);
  copy.OnExecute = [this] { EditCopyActionExecute(); };
  copy.OnUpdate = [this](ui::Action& a) { EditCopyActionUpdate(a); };
  ui::Action& del = Action(ID_EDIT_DELETE);
  del.OnExecute = [this] { EditDeleteActionExecute(); };
  del.OnUpdate = [this](ui::Action& a) { EditDeleteActionUpdate(a); };
  ui::Action& all = Action(ID_EDIT_ALL);
  all.OnExecute = [this] { EditAllActionExecute(); };
  all.OnUpdate = [this](ui::Action& a) { EditAllActionUpdate(a); };
}

// The entries of the selected rows in display order (rows not shown yet are initialised).
std::vector<TFileItem*> TMainForm::SelectedItems() {
  std::vector<TFileItem*> items;
  ListView.IterateSelected(
      [&](ui::ListNode* node) { items.push_back(static_cast<TFileItem*>(node->Data)); });
  return items;
}

void TMainForm::EditItemActionUpdate(ui::Action& A) {
  A.SetEnabled(ListView.SelectedCount() == 1);
}

void TMainForm::EditItemActionExecute() {
  // The last selected row in display order.
  std::vector<TFileItem*> selected = SelectedItems();
  if (selected.empty()) return;
  TFileItem* item = selected.back();
  TItemPropForm form(HandleIfCreated());
  form.SetItem(item);
  if (form.ShowModal() != IDOK) return;
  form.SaveToItem();
  // The list keeps its order: an edited name or value is not re-sorted.
  if (item->Node) ListView.InvalidateNode(static_cast<ui::ListNode*>(item->Node));
}

void TMainForm::EditCopyActionUpdate(ui::Action& A) {
  A.SetEnabled(ListView.SelectedCount() > 0);
}

void TMainForm::EditCopyActionExecute() {
  ListView.CopyToClipboard();
}

void TMainForm::EditDeleteActionUpdate(ui::Action& A) {
  const bool any = ListView.SelectedCount() > 0;
  A.SetEnabled(any);
  TCommonHash common;
  if (any)
    for (TFileItem* item : SelectedItems()) CollectCommonHash(*item, common);
  const bool hash = CommonNameUsable(common.HashType), code = CommonNameUsable(common.HashCode);
  const std::wstring hashCheck = CheckedHashCaption(common), codeCheck = CheckedCodeCaption(common);
  SetHashMenuState(MainMenu, ID_EDIT_HASHMENU, EditHashItem, hash, hashCheck);
  SetHashMenuState(PopupMenu, ID_MENU_HASHMENU, MenuHashItem, hash, hashCheck);
  SetHashMenuState(MainMenu, ID_EDIT_CODEMENU, EditCodeItem, code, codeCheck);
  SetHashMenuState(PopupMenu, ID_MENU_CODEMENU, MenuCodeItem, code, codeCheck);
}

void TMainForm::EditDeleteActionExecute() {
  if (ui::MessageDlg(HandleIfCreated(), ui::LoadStr(IDS_EDIT_ASKDELETE), ui::MsgType::Confirmation,
                     ui::MsgButtons::YesNo) != IDYES)
    return;
  // While set, every freed row takes its entry out of ViewList and the document.
  Deleting = true;
  try {
    ListView.DeleteSelected();
  } catch (...) {
    Deleting = false;
    throw;
  }
  Deleting = false;
}

void TMainForm::EditAllActionUpdate(ui::Action& A) {
  A.SetEnabled(ListView.SelectedCount() < ListView.RowCount());
}

void TMainForm::EditAllActionExecute() {
  ListView.SelectAll();
}

void TMainForm::ItemHashItemClick(HMENU Menu, UINT Id) {
  if (ui::MessageDlg(HandleIfCreated(), ui::LoadStr(IDS_EDIT_ASKHASHTYPE),
                     ui::MsgType::Confirmation, ui::MsgButtons::YesNo) != IDYES)
    return;
  const std::string name = Narrow(ui::StripHotkey(ui::MenuItemCaption(Menu, Id, false)));
  for (TFileItem* item : SelectedItems()) SetNodeHashType(*item, name);
  ListView.Invalidate();
}

void TMainForm::ItemCodeItemClick(HMENU Menu, UINT Id) {
  const TCoderClass coder =
      FindCoderByDisplayName(Narrow(ui::StripHotkey(ui::MenuItemCaption(Menu, Id, false))));
  if (!coder) return;
  // Every value is converted before any is stored, so one that cannot be decoded changes
  // nothing at all.
  std::vector<std::pair<TFileItem*, std::string>> converted;
  int kept = 0;
  std::string keptCode;
  for (TFileItem* item : SelectedItems()) {
    std::string text;
    try {
      if (RecodeEntryValue(*item, coder, text)) {
        converted.emplace_back(item, std::move(text));
      } else if (kept++ == 0) {
        keptCode = item->HashCode;
      }
    } catch (const EStringFormat& e) {
      ui::MessageDlg(HandleIfCreated(),
                     ui::Format(ui::LoadStr(IDS_EDIT_BADVALUE), {e.GetMessage(), item->FileName}),
                     ui::MsgType::Error, ui::MsgButtons::OK);
      return;
    }
  }
  for (auto& [item, text] : converted) StoreEntryValue(*item, coder, text);
  ListView.Invalidate();
  if (kept)
    ui::MessageDlg(
        HandleIfCreated(),
        ui::Format(ui::LoadStr(IDS_EDIT_NOCODER), {std::to_wstring(kept), Widen(keptCode)}),
        ui::MsgType::Information, ui::MsgButtons::OK);
}
