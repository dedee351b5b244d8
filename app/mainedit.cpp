// Main window: the edit commands (Edit..., Copy, Delete, Select all, the hash type and hash
// encoding menus).
#include "app/mainedit.h"

#include <algorithm>

#include "app/itemprop.h"
#include "hash/registry.h"
#include "ui/actions.h"
#include "ui/strings.h"

namespace {

std::wstring Widen(const std::string& Text) {
  return std::wstring(Text.begin(), Text.end());
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

bool SetNodeEncoding(TFileItem& Item, TCoderClass NewCoder) {
  std::string text;
  if (!RecodeEntryValue(Item, NewCoder, text)) return false;
  StoreEntryValue(Item, NewCoder, text);
  return true;
}
