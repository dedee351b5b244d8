// The entry properties dialog driven through the prompts seam.
#include <gtest/gtest.h>

#include <cmath>

#include "app/itemprop.h"
#include "hash/daycount.h"
#include "hash/registry.h"
#include "tests/app/testkit.h"
#include "tests/clipboard.h"

namespace {

constexpr int64_t Stored = 45000LL * SecondsPerDay + 3723;  // 01:02:03

class ItemPropTest : public ::testing::Test {
 protected:
  ItemPropTest() : Item(AddItem(Doc, L"sub\\a.txt", "CRC32", "HEX", "0a1b")) {
    RegisterStandardClasses();
    Item.FileTime = Stored;
    Item.FileSize = 1234;
    Item.FileNote = L"note";
  }
  void TearDown() override { ExpectNoFailures(Script); }
  // Shows the dialog on Item; `drive` acts as the user. Returns the modal result; on OK the
  // fields are stored as the Edit command does.
  int Run(std::function<void(TItemPropForm&)> drive) {
    TItemPropForm f(nullptr);
    f.SetItem(&Item);
    Script.AnswerDialog([&](ui::Dialog&) { drive(f); });
    int result = f.ShowModal();
    if (result == IDOK) f.SaveToItem();
    return result;
  }

  TFileList Doc;
  TFileItem& Item;
  ui::Script Script;
};

}  // namespace

TEST_F(ItemPropTest, OkStoresOnlyTheChangedFields) {
  EXPECT_EQ(Run([&](TItemPropForm& f) {
              EXPECT_EQ(f.Caption(), L"Item properties");
              EXPECT_EQ(f.NameEdit.Text(), L"sub\\a.txt");
              EXPECT_EQ(f.HashEdit.Text(), L"0a1b");
              EXPECT_EQ(f.TypeBox.Items(), (std::vector<std::wstring>{L"MD5", L"CRC32", L"SHA1"}));
              EXPECT_EQ(f.CodeBox.Items(),
                        (std::vector<std::wstring>{L"Hexadecimal", L"MIME Base 64", L"UU Coding",
                                                   L"XX Coding"}));
              EXPECT_EQ(f.LastTypeIndex, 1);
              EXPECT_EQ(f.LastCodeIndex, 0);
              EXPECT_EQ(f.SizeEdit.Text(), L"1234");
              EXPECT_EQ(f.NoteMemo.Text(), L"note");
              // Both pickers hold the stored time as it is, date and time of day.
              EXPECT_DOUBLE_EQ(f.DateEdit.DateTime(), 45000 + 3723.0 / SecondsPerDay);
              SYSTEMTIME t = f.TimeEdit.Value();
              EXPECT_EQ(t.wHour * 3600 + t.wMinute * 60 + t.wSecond, 3723);
              EXPECT_TRUE(f.OKButton.Click());
            }),
            IDOK);
  EXPECT_FALSE(Doc.Modified);
  EXPECT_EQ(Item.FileTime, Stored);

  Run([&](TItemPropForm& f) {
    f.NoteMemo.SetText(L"line 1\r\nline 2");
    f.SizeEdit.SetText(L"-7");  // a negative size is stored; it means unknown
    f.OKButton.Click();
  });
  EXPECT_TRUE(Doc.Modified);
  EXPECT_EQ(Item.FileNote, L"line 1\r\nline 2");
  EXPECT_EQ(Item.FileSize, -7);
  EXPECT_EQ(Item.FileName, L"sub\\a.txt");
  EXPECT_EQ(Item.HashType + Item.HashCode + Item.HashValue, "CRC32HEX0a1b");
  EXPECT_EQ(Item.FileTime, Stored);
}

TEST_F(ItemPropTest, CancelStoresNothingEvenAfterTheValueWasCleared) {
  EXPECT_EQ(Run([&](TItemPropForm& f) {
              f.NameEdit.SetText(L"other");
              EXPECT_TRUE(f.TypeBox.Choose(2));
              EXPECT_EQ(f.HashEdit.Text(), L"");
              // Back to the first type: the value does not come back.
              EXPECT_TRUE(f.TypeBox.Choose(1));
              EXPECT_EQ(f.HashEdit.Text(), L"");
              EXPECT_EQ(f.LastTypeIndex, 1);
              f.CancelButton.Click();
            }),
            IDCANCEL);
  EXPECT_FALSE(Doc.Modified);
  EXPECT_EQ(Item.FileName, L"sub\\a.txt");
  EXPECT_EQ(Item.HashType + Item.HashValue, "CRC320a1b");
}

TEST_F(ItemPropTest, InvalidSizeKeepsTheDialogOpenWithItsEdits) {
  Item.FileSize = -1;
  EXPECT_EQ(Run([&](TItemPropForm& f) {
              EXPECT_EQ(f.SizeEdit.Text(), L"");
              f.NoteMemo.SetText(L"kept");
              f.SizeEdit.SetText(L"12x");
              f.OKButton.Click();
              EXPECT_EQ(f.ModalResult(), 0);
              EXPECT_TRUE(f.Visible() && f.SizeEdit.Focused());
              EXPECT_EQ(f.NoteMemo.Text(), L"kept");
              ASSERT_EQ(Script.Asked().size(), 2u);
              const ui::Prompt& p = Script.Asked()[1];
              EXPECT_EQ(p.Text,
                        L"Invalid file size. Please, enter valid integer value or keep the field "
                        L"empty");
              EXPECT_EQ(p.Type, ui::MsgType::Error);
              EXPECT_EQ(p.Buttons, ui::MsgButtons::OK);
              // An empty field is accepted and means "size unknown".
              f.SizeEdit.SetText(L"");
              f.OKButton.Click();
            }),
            IDOK);
  EXPECT_EQ(Item.FileSize, -1);
  EXPECT_EQ(Item.FileNote, L"kept");
  // Cancel closes whatever the size says.
  EXPECT_EQ(Run([&](TItemPropForm& f) {
              f.SizeEdit.SetText(L"12x");
              f.CancelButton.Click();
            }),
            IDCANCEL);

  int64_t size = 99;
  EXPECT_TRUE(TItemPropForm::TryParseSize(L"", size) && size == 99);
  EXPECT_TRUE(TItemPropForm::TryParseSize(L"9223372036854775807", size) && size == INT64_MAX);
  EXPECT_TRUE(TItemPropForm::TryParseSize(L"-12", size) && size == -12);
  for (const wchar_t* bad : {L"9223372036854775808", L" ", L"1 2", L"+-1", L"1e3"})
    EXPECT_FALSE(TItemPropForm::TryParseSize(bad, size)) << ui::ToUtf8(bad);
}

// A name that opens with a Hebrew point, edited with Home and Delete and typed back; a note
// that opens with a point and an Arabic letter with a fatha, pasted with Ctrl+V; a name with
// umlauts copied out of its box. The dialog answers throughout, and every text is exactly what
// the user made, in the box, on the clipboard and in the entry.
TEST_F(ItemPropTest, NamesAndNotesWithCombiningMarksEditPasteAndCopyExactly) {
  const std::wstring name = L"\u05B4\u05E0\u05D8.txt", note = L"\u05B4\u05E0 \u0628\u064E";
  Item.FileName = name;
  auto key = [](HWND h, WPARAM vk) {
    SendMessageW(h, WM_KEYDOWN, vk, 1);
    SendMessageW(h, WM_KEYUP, vk, 0xC0000001);
  };
  std::wstring copied;
  EXPECT_EQ(Run([&](TItemPropForm& f) {
              HWND box = f.NameEdit.Handle();
              f.NameEdit.SetFocus();
              key(box, VK_HOME);
              key(box, VK_DELETE);
              EXPECT_EQ(f.NameEdit.Text(), name.substr(1));
              SendMessageW(box, WM_CHAR, name[0], 1);
              EXPECT_EQ(f.NameEdit.Text(), name);

              SendMessageW(box, EM_SETSEL, 0, -1);
              SendMessageW(box, WM_CUT, 0, 0);
              HWND memo = f.NoteMemo.Handle();
              SendMessageW(memo, EM_SETSEL, 0, -1);
              SendMessageW(memo, WM_CHAR, 0x16, 1);  // Ctrl+V
              EXPECT_EQ(f.NoteMemo.Text(), name);
              SendMessageW(memo, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\r\n"));
              SendMessageW(memo, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(note.c_str()));

              f.NameEdit.SetText(L"\u00FCber \u00FC.txt");
              key(box, VK_HOME);
              SendMessageW(box, EM_SETSEL, 0, -1);
              SendMessageW(box, WM_COPY, 0, 0);
              copied = ClipboardText();
              EXPECT_TRUE(f.OKButton.Click());
            }),
            IDOK);
  EXPECT_EQ(copied, L"\u00FCber \u00FC.txt");
  EXPECT_EQ(Item.FileName, L"\u00FCber \u00FC.txt");
  EXPECT_EQ(Item.FileNote, name + L"\r\n" + note);
}

TEST_F(ItemPropTest, TimeOfDayIsRoundedHalfUpToTheSecond) {
  Run([&](TItemPropForm& f) {
    f.DateEdit.SetDateTime(46000.25);
    f.TimeEdit.SetDateTime(40000 + 86399.6 / SecondsPerDay);  // another day: only its time counts
    f.OKButton.Click();
  });
  EXPECT_EQ(Item.FileTime, 46001LL * SecondsPerDay);
  Run([&](TItemPropForm& f) {
    f.TimeEdit.SetDateTime(46000 + 10.4 / SecondsPerDay);
    f.OKButton.Click();
  });
  EXPECT_EQ(Item.FileTime, 46001LL * SecondsPerDay + 10);

  // An entry without a time opens with now and stores it.
  Item.FileTime = 0;
  Run([&](TItemPropForm& f) {
    EXPECT_LT(std::fabs(f.DateEdit.DateTime() - Now()), 1.0 / 24);
    f.OKButton.Click();
  });
  EXPECT_LT(std::llabs(Item.FileTime - static_cast<int64_t>(Now() * SecondsPerDay)), 3600);
}

TEST_F(ItemPropTest, EncodingChangeConvertsTheValue) {
  Run([&](TItemPropForm& f) {
    EXPECT_TRUE(f.CodeBox.Choose(1));
    EXPECT_EQ(f.HashEdit.Text(), L"Chs=");  // the bytes 0A 1B in Base64
    EXPECT_TRUE(f.CodeBox.Choose(0));
    EXPECT_EQ(f.HashEdit.Text(), L"0A1B");
    EXPECT_TRUE(f.CodeBox.Choose(3));
    f.OKButton.Click();
  });
  EXPECT_EQ(Item.HashCode, "XX");
  std::string bytes;
  TCoder_XX::ClassInfo.Decode(Item.HashValue.data(), -1, bytes);
  EXPECT_EQ(bytes, "\x0A\x1B");
}

TEST_F(ItemPropTest, AnUndecodableValueIsAnErrorAndChangesNothing) {
  Item.HashCode = "UU";
  Item.HashValue = "z123";
  Run([&](TItemPropForm& f) {
    EXPECT_EQ(f.LastCodeIndex, 2);
    EXPECT_TRUE(f.CodeBox.Choose(1));
    EXPECT_EQ(f.HashEdit.Text(), L"z123");
    EXPECT_EQ(f.CodeBox.ItemIndex(), 2);
    EXPECT_EQ(f.LastCodeIndex, 2);
    ASSERT_EQ(Script.Asked().size(), 2u);
    EXPECT_EQ(Script.Asked()[1].Text, L"Input is not an valid UU Coding Format.");
    EXPECT_EQ(Script.Asked()[1].Type, ui::MsgType::Error);
    f.OKButton.Click();
  });
  EXPECT_EQ(Item.HashCode + Item.HashValue, "UUz123");
  EXPECT_FALSE(Doc.Modified);
}

TEST_F(ItemPropTest, UnregisteredTypeAndEncodingAreKept) {
  Item.HashType = "SHA256";
  Item.HashCode = "hex";
  // OK without touching the lists keeps both names.
  Run([&](TItemPropForm& f) {
    EXPECT_EQ(f.TypeBox.ItemIndex(), -1);
    EXPECT_EQ(f.CodeBox.ItemIndex(), -1);
    f.OKButton.Click();
  });
  EXPECT_EQ(Item.HashType + "/" + Item.HashCode, "SHA256/hex");
  EXPECT_FALSE(Doc.Modified);
  // Choosing an encoding keeps the value as it is and says so.
  Run([&](TItemPropForm& f) {
    EXPECT_TRUE(f.CodeBox.Choose(0));
    EXPECT_EQ(f.HashEdit.Text(), L"0a1b");
    f.OKButton.Click();
  });
  EXPECT_EQ(Item.HashCode + Item.HashValue, "HEX0a1b");
  ASSERT_EQ(Script.Asked().size(), 3u);
  EXPECT_TRUE(Contains(Script.Asked()[2].Text, L"\"hex\""));
}
