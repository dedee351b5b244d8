// The main window's edit commands: the selection's common values, the hash menus' state, the
// hash type and encoding changes.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/itemprop.h"
#include "app/mainedit.h"
#include "hash/registry.h"
#include "tests/app/main_fixture.h"
#include "tests/app/testkit.h"
#include "tests/clipboard.h"

// The rule for empty types, beyond the empty, uniform and mixed selections below.
TEST(EditCommands, CommonValuesOfASelection) {
  RegisterStandardClasses();
  const auto common = [](std::initializer_list<std::pair<const char*, const char*>> entries) {
    TCommonHash c;
    for (auto [type, code] : entries) {
      TFileItem item;
      item.HashType = type;
      item.HashCode = code;
      CollectCommonHash(item, c);
    }
    return c;
  };
  // Empty types before the first named one do not count; an empty one after it does.
  EXPECT_EQ(common({{"", "HEX"}, {"", "HEX"}, {"MD5", "HEX"}}).HashType, "MD5");
  EXPECT_EQ(common({{"MD5", "HEX"}, {"", "HEX"}, {"MD5", "HEX"}}).HashType, "*");
  EXPECT_EQ(common({{"MD5", "UU"}, {"SHA1", "UU"}, {"MD5", "UU"}}).HashType, "*");
}

// The commands in the main window -------------------------------------------------------------

namespace {

class EditCommandsTest : public MainFormTest {
 protected:
  void SetUp() override { Form = NewForm(); }
  TFileItem& Add(const std::string& type, const std::string& code, const std::string& value) {
    const std::wstring name = L"file" + std::to_wstring(Form->FileList->GetCount());
    return AddItem(*Form->FileList, name, type, code, value);
  }
  void Show(std::initializer_list<int> selected) {
    Form->RefreshList();
    for (int row = 0; row < Form->ListView.RowCount(); ++row)
      Form->ListView.SetRowSelected(row, std::count(selected.begin(), selected.end(), row) > 0);
    Form->ActionList.Update();
  }
  bool Enabled(int id) { return Form->Action(id).Enabled(); }
  // Both menus of a kind agree; returns the main menu's state.
  bool SubmenuEnabled(bool hash) {
    bool main =
        ui::MenuItemEnabled(Form->MainMenu, hash ? ID_EDIT_HASHMENU : ID_EDIT_CODEMENU, false);
    EXPECT_EQ(main, ui::MenuItemEnabled(Form->PopupMenu, hash ? ID_MENU_HASHMENU : ID_MENU_CODEMENU,
                                        false));
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

  std::unique_ptr<TMainForm> Form;
};

}  // namespace

TEST_F(EditCommandsTest, EnablingAndCheckMarksFollowTheSelection) {
  Show({});
  EXPECT_FALSE(Enabled(ID_EDIT_ALL));  // an empty document has nothing to select

  Add("MD5", "HEX", "");
  Add("CRC32", "HEX", "");
  Add("SHA1", "UU", "");
  Show({});
  EXPECT_FALSE(Enabled(ID_EDIT_ITEM) || Enabled(ID_EDIT_COPY) || Enabled(ID_EDIT_DELETE));
  EXPECT_TRUE(Enabled(ID_EDIT_ALL));
  EXPECT_FALSE(SubmenuEnabled(true) || SubmenuEnabled(false));
  EXPECT_EQ(std::pair(Checked(true), Checked(false)), std::pair(-1, -1));
  // Mixed types, the same encoding.
  Show({0, 1});
  EXPECT_FALSE(Enabled(ID_EDIT_ITEM));  // only for exactly one row
  EXPECT_TRUE(Enabled(ID_EDIT_COPY) && Enabled(ID_EDIT_DELETE));
  EXPECT_FALSE(SubmenuEnabled(true));
  EXPECT_EQ(Checked(true), -1);
  EXPECT_TRUE(SubmenuEnabled(false));
  EXPECT_EQ(Checked(false), 0);  // "Hexadecimal"
  // One row: both menus usable with their marks.
  Show({2});
  EXPECT_TRUE(Enabled(ID_EDIT_ITEM) && SubmenuEnabled(true));
  EXPECT_EQ(Checked(true), 2);   // "SHA1"
  EXPECT_EQ(Checked(false), 2);  // "UU Coding"
  // Select all selects every row, after which it has nothing left to do.
  EXPECT_TRUE(Form->ActionList.Execute(ID_EDIT_ALL));
  Form->ActionList.Update();
  EXPECT_EQ(Form->ListView.SelectedCount(), 3);
  EXPECT_FALSE(Enabled(ID_EDIT_ALL));
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
  ASSERT_EQ(Form->FileList->GetCount(), 2);
  EXPECT_EQ(Form->FileList->Items[1]->FileName, L"file2");
  EXPECT_TRUE(Form->FileList->Modified);
  EXPECT_FALSE(Form->Deleting);
  ASSERT_EQ(Form->ViewList.size(), 2u);
  EXPECT_EQ(Form->ListView.RowCount(), 2);
  EXPECT_EQ(Form->ViewList[1]->FileName, L"file2");
  EXPECT_EQ(static_cast<TFileItem*>(Form->ListView.GetNode(1)->Data)->FileName, L"file2");

  // Deleting all rows leaves an empty, modified document.
  Form->FileList->Modified = false;
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
  EXPECT_EQ(md5.HashType + md5.HashValue, "SHA1");
  EXPECT_EQ(sha.HashValue, "bbbb");
  EXPECT_EQ(other.HashValue, "cccc");  // not selected
  EXPECT_TRUE(Form->FileList->Modified);
  Form->ActionList.Update();
  EXPECT_EQ(Checked(true), 2);
}

TEST_F(EditCommandsTest, EncodingChangesConvertWithoutAQuestion) {
  TFileItem& item = Add("CRC32", "HEX", "0A1B");
  TFileItem& empty = Add("MD5", "HEX", "");
  Show({0, 1});
  ClickItem(Form->EditCodeItem, 1);  // "MIME Base 64"
  EXPECT_EQ(item.HashCode + " " + item.HashValue, "MIME64 Chs=");
  EXPECT_EQ(empty.HashCode + " " + empty.HashValue, "MIME64 ");
  ClickItem(Form->MenuCodeItem, 0);  // "Hexadecimal", written in lower case
  EXPECT_EQ(item.HashCode + " " + item.HashValue, "HEX 0a1b");
  EXPECT_TRUE(Script.Asked().empty());
  // Hexadecimal to hexadecimal rewrites the same bytes in lower case, a change of the document.
  TFileItem& upper = Add("MD5", "HEX", "ABCDEF");
  Form->FileList->Modified = false;
  Show({2});
  ClickItem(Form->EditCodeItem, 0);
  EXPECT_EQ(upper.HashValue, "abcdef");
  EXPECT_TRUE(Form->FileList->Modified);
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
  const ui::Prompt p = OnlyPrompt(Script);
  EXPECT_EQ(p.Type, ui::MsgType::Error);
  EXPECT_TRUE(Contains(p.Text, L"Input is not an valid UU Coding Format."));
  EXPECT_TRUE(Contains(p.Text, L"file1"));
}

TEST_F(EditCommandsTest, AnUnregisteredEncodingKeepsItsValue) {
  TFileItem& item = Add("MD5", "base32", "MFRGG===");
  Show({0});
  EXPECT_TRUE(SubmenuEnabled(false));
  EXPECT_EQ(Checked(false), -1);
  ClickItem(Form->EditCodeItem, 0);
  EXPECT_EQ(item.HashCode + " " + item.HashValue, "base32 MFRGG===");
  EXPECT_FALSE(Form->FileList->Modified);
  EXPECT_TRUE(Contains(OnlyPrompt(Script).Text, L"\"base32\""));
}

TEST_F(EditCommandsTest, EditOpensTheSelectedEntryAndCopyItsRow) {
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

  EXPECT_TRUE(Form->ActionList.Execute(ID_EDIT_COPY));
  const std::wstring text = ClipboardText();
  EXPECT_TRUE(Contains(text, L"file1\t"));
  EXPECT_FALSE(Contains(text, L"file0\t"));
}
