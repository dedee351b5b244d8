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

TEST(EditCommands, EncodingChangeRewritesHexadecimalInLowerCase) {
  Doc d;
  // Hexadecimal to hexadecimal: the same bytes in lower case, a change of the document.
  TFileItem& upper = d.Add("MD5", "HEX", "ABCDEF");
  ASSERT_TRUE(SetNodeEncoding(upper, &TCoder_HEX::ClassInfo));
  EXPECT_EQ(upper.HashValue, "abcdef");
  EXPECT_TRUE(d.List.Modified);
  // An empty value stays empty; the encoding still changes.
  TFileItem& empty = d.Add("MD5", "HEX", "");
  ASSERT_TRUE(SetNodeEncoding(empty, &TCoder_UU::ClassInfo));
  EXPECT_EQ(empty.HashValue, "");
  EXPECT_EQ(empty.HashCode, "UU");
}

// The commands in the main window -------------------------------------------------------------

#include "app/itemprop.h"
#include "tests/app/main_fixture.h"

namespace {

class EditCommandsTest : public MainFormTest {
 protected:
  void SetUp() override { Form = NewForm(); }
  TFileItem& Add(const std::string& type, const std::string& code, const std::string& value) {
    auto item = std::make_unique<TFileItem>();
    item->Owner = Form->FileList.get();
    item->FileName = L"file" + std::to_wstring(Form->FileList->GetCount());
    item->HashType = type;
    item->HashCode = code;
    item->HashValue = value;
    Form->FileList->Items.push_back(std::move(item));
    return *Form->FileList->Items.back();
  }
  void Show(std::initializer_list<int> selected) {
    Form->RefreshList();
    for (int row : selected) Form->ListView.SetRowSelected(row, true);
    Form->ActionList.Update();
  }
  bool Enabled(int id) { return Form->Action(id).Enabled(); }
  // Both menus of a kind agree; returns the main menu's state.
  bool SubmenuEnabled(bool hash) {
    bool main =
        ui::MenuItemEnabled(Form->MainMenu, hash ? ID_EDIT_HASHMENU : ID_EDIT_CODEMENU, false);
    bool popup =
        ui::MenuItemEnabled(Form->PopupMenu, hash ? ID_MENU_HASHMENU : ID_MENU_CODEMENU, false);
    EXPECT_EQ(main, popup);
    return main;
  }
  // The checked item's position, -1 for none; both menus of a kind agree.
  int Checked(bool hash) {
    auto find = [](HMENU m) {
      int found = -1;
      for (int i = 0, n = GetMenuItemCount(m); i < n; ++i)
        if (ui::MenuItemChecked(m, i, true)) {
          EXPECT_EQ(found, -1) << "two check marks";
          found = i;
        }
      return found;
    };
    int main = find(hash ? Form->EditHashItem : Form->EditCodeItem);
    EXPECT_EQ(main, find(hash ? Form->MenuHashItem : Form->MenuCodeItem));
    return main;
  }
  // Clicks the item at this position of one of the hash menus.
  void ClickItem(HMENU menu, int position) {
    Form->PerformCommand(static_cast<int>(GetMenuItemID(menu, position)));
  }
  std::vector<std::wstring> Names() {
    std::vector<std::wstring> v;
    for (auto& item : Form->FileList->Items) v.push_back(item->FileName);
    return v;
  }

  std::unique_ptr<TMainForm> Form;
};

}  // namespace

TEST_F(EditCommandsTest, NothingSelected) {
  Add("MD5", "HEX", "");
  Add("MD5", "HEX", "");
  Show({});
  EXPECT_FALSE(Enabled(ID_EDIT_ITEM));
  EXPECT_FALSE(Enabled(ID_EDIT_COPY));
  EXPECT_FALSE(Enabled(ID_EDIT_DELETE));
  EXPECT_TRUE(Enabled(ID_EDIT_ALL));
  EXPECT_FALSE(SubmenuEnabled(true));
  EXPECT_FALSE(SubmenuEnabled(false));
  EXPECT_EQ(Checked(true), -1);
  EXPECT_EQ(Checked(false), -1);
  // Select all selects every row, after which it has nothing left to do.
  EXPECT_TRUE(Form->ActionList.Execute(ID_EDIT_ALL));
  Form->ActionList.Update();
  EXPECT_EQ(Form->ListView.SelectedCount(), 2);
  EXPECT_FALSE(Enabled(ID_EDIT_ALL));
  EXPECT_FALSE(Enabled(ID_EDIT_ITEM));  // only for exactly one row
  EXPECT_TRUE(Enabled(ID_EDIT_COPY) && Enabled(ID_EDIT_DELETE));
  EXPECT_EQ(Checked(true), 0);
}

TEST_F(EditCommandsTest, EmptyDocumentHasNothingToSelect) {
  Show({});
  EXPECT_FALSE(Enabled(ID_EDIT_ALL));
}

TEST_F(EditCommandsTest, MixedTypesSameEncoding) {
  Add("MD5", "HEX", "");
  Add("CRC32", "HEX", "");
  Add("SHA1", "UU", "");
  Show({0, 1});
  EXPECT_FALSE(SubmenuEnabled(true));
  EXPECT_EQ(Checked(true), -1);
  EXPECT_TRUE(SubmenuEnabled(false));
  EXPECT_EQ(Checked(false), 0);  // "Hexadecimal"
  // One row: both menus usable with their marks.
  Form->ListView.SetRowSelected(0, false);
  Form->ListView.SetRowSelected(1, false);
  Form->ListView.SetRowSelected(2, true);
  Form->ActionList.Update();
  EXPECT_TRUE(Enabled(ID_EDIT_ITEM));
  EXPECT_TRUE(SubmenuEnabled(true));
  EXPECT_EQ(Checked(true), 2);   // "SHA1"
  EXPECT_EQ(Checked(false), 2);  // "UU Coding"
}

TEST_F(EditCommandsTest, DeleteAsksAndRemovesTheSelectedEntries) {
  for (int i = 0; i < 5; ++i) Add("MD5", "HEX", "");
  Show({1, 3, 4});
  Script.AnswerMessage(IDNO);
  EXPECT_TRUE(Form->ActionList.Execute(ID_EDIT_DELETE));
  EXPECT_EQ(Form->FileList->GetCount(), 5);
  EXPECT_FALSE(Form->FileList->Modified);

  Script.AnswerMessage(IDYES);
  EXPECT_TRUE(Form->ActionList.Execute(ID_EDIT_DELETE));
  ASSERT_EQ(Script.Asked().size(), 2u);
  EXPECT_EQ(Script.Asked()[1].Text, L"Delete selected item?");
  EXPECT_EQ(Script.Asked()[1].Type, ui::MsgType::Confirmation);
  EXPECT_EQ(Script.Asked()[1].Buttons, ui::MsgButtons::YesNo);
  EXPECT_EQ(Names(), (std::vector<std::wstring>{L"file0", L"file2"}));
  EXPECT_TRUE(Form->FileList->Modified);
  EXPECT_FALSE(Form->Deleting);
  ASSERT_EQ(Form->ViewList.size(), 2u);
  EXPECT_EQ(Form->ListView.RowCount(), 2);
  EXPECT_EQ(Form->ViewList[1]->FileName, L"file2");
  EXPECT_EQ(static_cast<TFileItem*>(Form->ListView.GetNode(1)->Data)->FileName, L"file2");
}

TEST_F(EditCommandsTest, DeletingAllRowsLeavesAnEmptyModifiedDocument) {
  for (int i = 0; i < 3; ++i) Add("MD5", "HEX", "");
  Show({});
  Form->ActionList.Execute(ID_EDIT_ALL);
  Script.AnswerMessage(IDYES);
  EXPECT_TRUE(Form->ActionList.Execute(ID_EDIT_DELETE));
  EXPECT_EQ(Form->FileList->GetCount(), 0);
  EXPECT_TRUE(Form->FileList->Modified);
  EXPECT_TRUE(Form->ViewList.empty());
  EXPECT_EQ(Form->ListView.RowCount(), 0);
  Form->ActionList.Update();
  EXPECT_FALSE(Enabled(ID_EDIT_DELETE));
}

TEST_F(EditCommandsTest, HashTypeChangeAsksFirst) {
  TFileItem& md5 = Add("MD5", "HEX", "aaaa");
  TFileItem& sha = Add("SHA1", "HEX", "bbbb");
  TFileItem& other = Add("CRC32", "HEX", "cccc");
  Show({0, 1});
  Script.AnswerMessage(IDNO);
  ClickItem(Form->EditHashItem, 2);  // "SHA1"
  EXPECT_EQ(md5.HashValue, "aaaa");
  EXPECT_FALSE(Form->FileList->Modified);
  EXPECT_EQ(Script.Asked()[0].Text,
            L"When changing type of hash, the existing hash value will be lost. Continue?");

  Script.AnswerMessage(IDYES);
  ClickItem(Form->MenuHashItem, 2);
  EXPECT_EQ(md5.HashType, "SHA1");
  EXPECT_EQ(md5.HashValue, "");
  EXPECT_EQ(sha.HashValue, "bbbb");
  EXPECT_EQ(other.HashValue, "cccc");  // not selected
  EXPECT_TRUE(Form->FileList->Modified);
  Form->ActionList.Update();
  EXPECT_EQ(Checked(true), 2);
}

TEST_F(EditCommandsTest, EncodingChangeToBase64AndBack) {
  TFileItem& item = Add("CRC32", "HEX", "0A1B");
  Show({0});
  ClickItem(Form->EditCodeItem, 1);  // "MIME Base 64", no question
  EXPECT_EQ(item.HashValue, "Chs=");
  EXPECT_EQ(item.HashCode, "MIME64");
  ClickItem(Form->MenuCodeItem, 0);  // "Hexadecimal"
  EXPECT_EQ(item.HashValue, "0a1b");
  EXPECT_EQ(item.HashCode, "HEX");
  EXPECT_TRUE(Script.Asked().empty());
}

TEST_F(EditCommandsTest, AnUndecodableValueChangesNoEntry) {
  TFileItem& good = Add("MD5", "UU", "");
  TCoder_UU::ClassInfo.Encode("\x0A\x1B", 2, good.HashValue);
  const std::string goodValue = good.HashValue;
  TFileItem& bad = Add("MD5", "UU", "z123");
  Show({0, 1});
  ClickItem(Form->EditCodeItem, 0);
  EXPECT_EQ(good.HashValue, goodValue);
  EXPECT_EQ(good.HashCode, "UU");
  EXPECT_EQ(bad.HashValue, "z123");
  EXPECT_FALSE(Form->FileList->Modified);
  ASSERT_EQ(Script.Asked().size(), 1u);
  EXPECT_EQ(Script.Asked()[0].Type, ui::MsgType::Error);
  EXPECT_NE(Script.Asked()[0].Text.find(L"Input is not an valid UU Coding Format."),
            std::wstring::npos);
  EXPECT_NE(Script.Asked()[0].Text.find(L"file1"), std::wstring::npos);
}

TEST_F(EditCommandsTest, AnUnregisteredEncodingKeepsItsValue) {
  TFileItem& item = Add("MD5", "base32", "MFRGG===");
  Show({0});
  EXPECT_TRUE(SubmenuEnabled(false));
  EXPECT_EQ(Checked(false), -1);
  ClickItem(Form->EditCodeItem, 0);
  EXPECT_EQ(item.HashValue, "MFRGG===");
  EXPECT_EQ(item.HashCode, "base32");
  EXPECT_FALSE(Form->FileList->Modified);
  ASSERT_EQ(Script.Asked().size(), 1u);
  EXPECT_NE(Script.Asked()[0].Text.find(L"\"base32\""), std::wstring::npos);
}

TEST_F(EditCommandsTest, EditOpensTheSelectedEntry) {
  Add("MD5", "HEX", "");
  TFileItem& item = Add("MD5", "HEX", "abcd");
  Show({1});
  Script.AnswerDialog([&](ui::Dialog& d) {
    auto& f = static_cast<TItemPropForm&>(d);
    EXPECT_EQ(f.HashEdit.Text(), L"abcd");
    f.CancelButton.Click();
  });
  EXPECT_TRUE(Form->ActionList.Execute(ID_EDIT_ITEM));
  EXPECT_FALSE(Form->FileList->Modified);
  Script.AnswerDialog([&](ui::Dialog& d) {
    auto& f = static_cast<TItemPropForm&>(d);
    f.NoteMemo.SetText(L"checked");
    f.OKButton.Click();
  });
  EXPECT_TRUE(Form->ActionList.Execute(ID_EDIT_ITEM));
  EXPECT_EQ(item.FileNote, L"checked");
  EXPECT_TRUE(Form->FileList->Modified);
  EXPECT_EQ(Script.Asked()[1].DialogId, IDD_ITEMPROP);
}

TEST_F(EditCommandsTest, CopyPutsTheSelectedRowsOnTheClipboard) {
  Add("MD5", "HEX", "abcd");
  Add("MD5", "HEX", "ef01");
  Show({1});
  EXPECT_TRUE(Form->ActionList.Execute(ID_EDIT_COPY));
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE h = GetClipboardData(CF_UNICODETEXT);
  std::wstring text = h ? static_cast<const wchar_t*>(GlobalLock(h)) : L"";
  if (h) GlobalUnlock(h);
  CloseClipboard();
  EXPECT_NE(text.find(L"ef01"), std::wstring::npos);
  EXPECT_EQ(text.find(L"abcd"), std::wstring::npos);
}
