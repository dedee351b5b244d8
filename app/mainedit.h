#pragma once
// The parts of the main window's edit commands that work on entries and menus alone.
#include <windows.h>

#include <string>

#include "document/data.h"
#include "hash/coders.h"

// The hash type and encoder name that a selection's entries share; empty before the first
// entry, "*" once two differ.
struct TCommonHash {
  std::string HashType, HashCode;
};
void CollectCommonHash(const TFileItem& Item, TCommonHash& Common);

// A "Hash type" or "Hash encoding" submenu can be used when the selection shares one name.
inline bool CommonNameUsable(const std::string& Name) {
  return !Name.empty() && Name != "*";
}
// The menu caption that carries the check mark (empty: none): the common hash type, or the
// display name of the encoder registered under the common encoder name.
std::wstring CheckedHashCaption(const TCommonHash& Common);
std::wstring CheckedCodeCaption(const TCommonHash& Common);
// Enables the submenu item SubmenuId of Parent and checks the items of Submenu whose caption
// (hotkey marker removed) equals Checked.
void SetHashMenuState(HMENU Parent, UINT SubmenuId, HMENU Submenu, bool Enabled,
                      const std::wstring& Checked);

// A new hash type clears the value; an entry of that type already keeps it.
void SetNodeHashType(TFileItem& Item, const std::string& Name);
// The entry's value in another encoding, hexadecimal in lower case. False, Text untouched, when
// the entry's own encoding is not registered; raises EStringFormat when its value cannot be
// decoded.
bool RecodeEntryValue(const TFileItem& Item, TCoderClass NewCoder, std::string& Text);
// Stores a value from RecodeEntryValue and the new encoding.
void StoreEntryValue(TFileItem& Item, TCoderClass NewCoder, const std::string& Text);
