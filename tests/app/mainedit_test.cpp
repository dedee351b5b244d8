// The main window's edit commands: the selection's common values, the hash menus' state, the
// hash type and encoding changes.
#include <gtest/gtest.h>

#include "app/mainedit.h"
#include "hash/registry.h"
#include "ui/actions.h"

namespace {

struct Doc {
  Doc() { RegisterStandardClasses(); }
  TFileItem& Add(const std::string& type, const std::string& code, const std::string& value) {
    auto item = std::make_unique<TFileItem>();
    item->Owner = &List;
    item->FileName = L"f" + std::to_wstring(List.GetCount());
    item->HashType = type;
    item->HashCode = code;
    item->HashValue = value;
    List.Items.push_back(std::move(item));
    return *List.Items.back();
  }
  TFileList List;
};

TCommonHash Common(std::initializer_list<std::pair<const char*, const char*>> entries) {
  TCommonHash c;
  for (auto [type, code] : entries) {
    TFileItem item;
    item.HashType = type;
    item.HashCode = code;
    CollectCommonHash(item, c);
  }
  return c;
}

}  // namespace

TEST(EditCommands, CommonValuesOfASelection) {
  RegisterStandardClasses();
  TCommonHash none = Common({});
  EXPECT_FALSE(CommonNameUsable(none.HashType) || CommonNameUsable(none.HashCode));
  EXPECT_EQ(CheckedHashCaption(none), L"");
  EXPECT_EQ(CheckedCodeCaption(none), L"");

  TCommonHash mixed = Common({{"MD5", "HEX"}, {"CRC32", "HEX"}});
  EXPECT_EQ(mixed.HashType, "*");
  EXPECT_FALSE(CommonNameUsable(mixed.HashType));
  EXPECT_EQ(CheckedHashCaption(mixed), L"");
  EXPECT_TRUE(CommonNameUsable(mixed.HashCode));
  EXPECT_EQ(CheckedCodeCaption(mixed), L"Hexadecimal");

  // Empty types before the first named one do not count; an empty one after it does.
  EXPECT_EQ(Common({{"", "HEX"}, {"", "HEX"}, {"MD5", "HEX"}}).HashType, "MD5");
  EXPECT_EQ(Common({{"MD5", "HEX"}, {"", "HEX"}, {"MD5", "HEX"}}).HashType, "*");
  // Once mixed, always mixed.
  EXPECT_EQ(Common({{"MD5", "UU"}, {"SHA1", "UU"}, {"MD5", "UU"}}).HashType, "*");

  // A shared encoding that is not registered enables the menu but checks nothing.
  TCommonHash odd = Common({{"MD5", "hex"}});
  EXPECT_TRUE(CommonNameUsable(odd.HashCode));
  EXPECT_EQ(CheckedCodeCaption(odd), L"");
}

TEST(EditCommands, MenuStateFollowsTheCommonValues) {
  HMENU parent = CreatePopupMenu(), sub = CreatePopupMenu();
  for (const wchar_t* n : {L"MD5", L"CRC&32", L"SHA1 (&S)"}) ui::AppendMenuItem(sub, 0, n);
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_SUBMENU | MIIM_ID | MIIM_STRING;
  mii.hSubMenu = sub;
  mii.wID = 77;
  mii.dwTypeData = const_cast<wchar_t*>(L"Hash type");
  InsertMenuItemW(parent, 0, TRUE, &mii);

  SetHashMenuState(parent, 77, sub, true, L"CRC32");
  EXPECT_TRUE(ui::MenuItemEnabled(parent, 77, false));
  EXPECT_FALSE(ui::MenuItemChecked(sub, 0, true));
  EXPECT_TRUE(ui::MenuItemChecked(sub, 1, true));  // matched without its hotkey marker
  SetHashMenuState(parent, 77, sub, true, L"SHA1");
  EXPECT_FALSE(ui::MenuItemChecked(sub, 1, true));
  EXPECT_TRUE(ui::MenuItemChecked(sub, 2, true));
  SetHashMenuState(parent, 77, sub, false, L"");
  EXPECT_FALSE(ui::MenuItemEnabled(parent, 77, false));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(ui::MenuItemChecked(sub, i, true));
  DestroyMenu(parent);
}

TEST(EditCommands, HashTypeChangeClearsOtherTypesOnly) {
  Doc d;
  TFileItem& md5 = d.Add("MD5", "HEX", "abcd");
  TFileItem& sha = d.Add("SHA1", "HEX", "1234");
  SetNodeHashType(sha, "SHA1");
  EXPECT_FALSE(d.List.Modified);
  EXPECT_EQ(sha.HashValue, "1234");
  SetNodeHashType(md5, "SHA1");
  EXPECT_TRUE(d.List.Modified);
  EXPECT_EQ(md5.HashType, "SHA1");
  EXPECT_EQ(md5.HashValue, "");
}

TEST(EditCommands, EncodingChangeRewritesTheValue) {
  Doc d;
  TFileItem& item = d.Add("CRC32", "HEX", "0A1B");
  ASSERT_TRUE(SetNodeEncoding(item, &TCoder_MIME64::ClassInfo));
  EXPECT_EQ(item.HashValue, "Chs=");
  EXPECT_EQ(item.HashCode, "MIME64");
  ASSERT_TRUE(SetNodeEncoding(item, &TCoder_HEX::ClassInfo));
  EXPECT_EQ(item.HashValue, "0a1b");
  EXPECT_EQ(item.HashCode, "HEX");
  // Hexadecimal to hexadecimal: the same bytes in lower case.
  TFileItem& upper = d.Add("MD5", "HEX", "ABCDEF");
  d.List.Modified = false;
  ASSERT_TRUE(SetNodeEncoding(upper, &TCoder_HEX::ClassInfo));
  EXPECT_EQ(upper.HashValue, "abcdef");
  EXPECT_TRUE(d.List.Modified);
  // An empty value stays empty; the encoding still changes.
  TFileItem& empty = d.Add("MD5", "HEX", "");
  ASSERT_TRUE(SetNodeEncoding(empty, &TCoder_UU::ClassInfo));
  EXPECT_EQ(empty.HashValue, "");
  EXPECT_EQ(empty.HashCode, "UU");
}

TEST(EditCommands, UnregisteredOrUndecodableValuesAreKept) {
  Doc d;
  TFileItem& odd = d.Add("MD5", "base32", "MFRGG===");
  EXPECT_FALSE(SetNodeEncoding(odd, &TCoder_HEX::ClassInfo));
  EXPECT_EQ(odd.HashValue, "MFRGG===");
  EXPECT_EQ(odd.HashCode, "base32");
  TFileItem& bad = d.Add("MD5", "UU", "z123");
  EXPECT_THROW(SetNodeEncoding(bad, &TCoder_HEX::ClassInfo), EStringFormat);
  EXPECT_EQ(bad.HashValue, "z123");
  EXPECT_EQ(bad.HashCode, "UU");
  EXPECT_FALSE(d.List.Modified);
}
