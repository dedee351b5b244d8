// Import name decoding: the question, its choices and what they leave in the settings.
#include <gtest/gtest.h>

#include "app/calc.h"
#include "app/dlgconv.h"
#include "app/itemprop.h"
#include "app/props.h"
#include "app/verify.h"
#include "hash/registry.h"
#include "tests/items.h"
#include "ui/prompts.h"

namespace {

struct Settings {
  bool AskNoMore = false, CodeSkip = false, ShowCode = false;
  int32_t CodeMode = 0, Encoding = 0;
};

class UniConvTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::wstring& f : Script.Failures()) ADD_FAILURE() << ui::ToUtf8(f);
  }
  bool Decode(const std::string& raw, std::wstring& name) {
    return DecodeImportedName(raw, name, S.AskNoMore, S.CodeSkip, S.CodeMode, S.Encoding,
                              S.ShowCode);
  }
  // The next question is answered by Drive, which gets the dialog as it opened.
  void Answer(std::function<void(TUniConvForm&)> Drive) {
    Script.AnswerDialog([Drive](ui::Dialog& d) { Drive(static_cast<TUniConvForm&>(d)); });
  }
  int ListIndexOf(TUniConvForm& f, int32_t codePage) {
    for (int i = 0; i < f.EncList.Count(); ++i)
      if (f.EncList.ItemData(i) == codePage) return i;
    return -1;
  }
  Settings S;
  ui::Script Script;
};

const std::string Cafe1252 = "caf\xE9s.txt";          // é in a single-byte code page
const std::string CafeUTF8 = "caf\xC3\xA9s.txt";      // é in UTF-8
const std::string Cyrillic1251 = "\xC0\xE1\xE2.txt";  // "Абв" in code page 1251

}  // namespace

TEST_F(UniConvTest, PlainASCIIIsNeverAskedAbout) {
  S.CodeMode = 3;
  S.Encoding = 1251;
  std::wstring name;
  EXPECT_TRUE(Decode("dir/plain name.txt", name));
  EXPECT_EQ(name, L"dir/plain name.txt");
  EXPECT_TRUE(Script.Asked().empty());
}

TEST_F(UniConvTest, WellFormedUTF8OpensWithUTF8ChosenWhateverTheStoredKind) {
  S.CodeMode = 1;
  Answer([](TUniConvForm& f) {
    EXPECT_EQ(f.EncGroupIndex(), ecUTF8);
    EXPECT_EQ(f.FileEdit.Text(), L"caf\u00E9s.txt");
    EXPECT_FALSE(f.EncList.Enabled());
    EXPECT_FALSE(f.ShowCodeBox.Enabled());
    EXPECT_FALSE(f.SaveBox.Checked());
    EXPECT_TRUE(f.NeverBox.Enabled());  // until "Don't ask me more ..." is first changed
    f.OKButton.Click();
  });
  std::wstring name;
  EXPECT_TRUE(Decode(CafeUTF8, name));
  EXPECT_EQ(name, L"caf\u00E9s.txt");
  EXPECT_EQ(S.CodeMode, 0);
  ASSERT_EQ(Script.Asked().size(), 1u);
  EXPECT_EQ(Script.Asked()[0].DialogId, IDD_UNICONV);
  EXPECT_EQ(Script.Asked()[0].Caption, L"Document encoding");
}

TEST_F(UniConvTest, AnOnlyLastByteAboveASCIIIsAskedAndUTF8PreviewsItEmpty) {
  Answer([](TUniConvForm& f) {
    EXPECT_EQ(f.EncGroupIndex(), ecUTF8);  // the stored kind
    EXPECT_EQ(f.FileEdit.Text(), L"");     // not UTF-8: empty
    f.EncAnsi.Click();
    EXPECT_EQ(f.FileEdit.Text(), L"name\u00E9");  // the tests run with code page 1252
    f.OKButton.Click();
  });
  std::wstring name;
  EXPECT_TRUE(Decode("name\xE9", name));
  EXPECT_EQ(name, L"name\u00E9");
  EXPECT_EQ(S.CodeMode, 1);
}

TEST_F(UniConvTest, SpecifiedPicksACodePageFromTheListAndMacAndSpecifiedSwapPlaces) {
  Answer([this](TUniConvForm& f) {
    f.EncMac.Click();
    EXPECT_EQ(f.GetKind(), ekMac);
    EXPECT_FALSE(f.EncList.Enabled());
    f.EncSpecified.Click();
    EXPECT_EQ(f.GetKind(), ekCodePage);
    EXPECT_TRUE(f.EncList.Enabled());
    EXPECT_TRUE(f.ShowCodeBox.Enabled());
    int i = ListIndexOf(f, 1251);
    ASSERT_GE(i, 0);
    f.EncList.Choose(i);
    EXPECT_EQ(f.FileEdit.Text(), L"\u0410\u0431\u0432.txt");
    f.OKButton.Click();
  });
  std::wstring name;
  EXPECT_TRUE(Decode(Cyrillic1251, name));
  EXPECT_EQ(name, L"\u0410\u0431\u0432.txt");
  EXPECT_EQ(S.CodeMode, ekCodePage);
  EXPECT_EQ(S.Encoding, 1251);

  // Stored kind 4 is the Mac choice, shown third.
  S.CodeMode = ekMac;
  Answer([](TUniConvForm& f) {
    EXPECT_EQ(f.EncGroupIndex(), ecMac);
    f.OKButton.Click();
  });
  EXPECT_TRUE(Decode(Cyrillic1251, name));
  EXPECT_EQ(S.CodeMode, ekMac);
}

TEST_F(UniConvTest, ShowCodesListsNumbersAndSelectsTheStoredCodePage) {
  S.ShowCode = true;
  S.CodeMode = ekCodePage;
  S.Encoding = 1251;
  Answer([this](TUniConvForm& f) {
    EXPECT_TRUE(f.ShowCodeBox.Checked());
    EXPECT_EQ(f.EncGroupIndex(), ecSpecified);
    EXPECT_EQ(f.GetCodePage(), 1251);
    // The system's full names (with the numbers, on Windows) while "Show codes" is ticked.
    TCodePageItems full, brief;
    FillCodePageList(full, true);
    FillCodePageList(brief, false);
    ASSERT_EQ(f.EncList.Count(), static_cast<int>(full.size()));
    EXPECT_EQ(f.EncList.Item(f.EncList.ItemIndex()), full[f.EncList.ItemIndex()].Name);
    // Short names again: the list is refilled with the system ANSI code page selected.
    f.ShowCodeBox.Click();
    EXPECT_EQ(f.GetCodePage(), static_cast<int32_t>(GetACP()));
    int i = ListIndexOf(f, 1251);
    EXPECT_EQ(f.EncList.Item(i), brief[i].Name);
    f.OKButton.Click();
  });
  std::wstring name;
  EXPECT_TRUE(Decode(Cyrillic1251, name));
  EXPECT_FALSE(S.ShowCode);
  EXPECT_EQ(S.Encoding, static_cast<int32_t>(GetACP()));

  // A code page that is not listed selects the first item.
  S.Encoding = 77777;
  Answer([](TUniConvForm& f) {
    EXPECT_EQ(f.EncList.ItemIndex(), 0);
    f.OKButton.Click();
  });
  EXPECT_TRUE(Decode(Cyrillic1251, name));
}

TEST_F(UniConvTest, NeverCanBeTickedOnlyTogetherWithMore) {
  Answer([](TUniConvForm& f) {
    f.SaveBox.Click();
    f.NeverBox.Click();
    f.SaveBox.Click();  // unticked: "never" is cleared and disabled
    EXPECT_FALSE(f.NeverBox.Checked() || f.NeverBox.Enabled());
    f.SaveBox.Click();
    EXPECT_TRUE(f.NeverBox.Enabled());
    f.OKButton.Click();
  });
  std::wstring name;
  EXPECT_TRUE(Decode(Cafe1252, name));
  EXPECT_TRUE(S.AskNoMore);
  EXPECT_FALSE(S.CodeSkip);
}

TEST_F(UniConvTest, CancelAsksWhetherToAbortTheImport) {
  Answer([](TUniConvForm& f) {
    f.CancelButton.Click();
    EXPECT_TRUE(f.Visible());  // No: back to the dialog
    SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  });
  Script.AnswerMessage(IDNO);
  Script.AnswerMessage(IDYES);
  std::wstring name = L"untouched";
  EXPECT_FALSE(Decode(Cafe1252, name));
  EXPECT_EQ(name, L"untouched");
  ASSERT_EQ(Script.Asked().size(), 3u);
  EXPECT_EQ(Script.Asked()[1].Type, ui::MsgType::Confirmation);
  EXPECT_EQ(Script.Asked()[1].Buttons, ui::MsgButtons::YesNo);
}

TEST(UniConvLayout, ShowCodesComesLastAndTheListShowsEveryNameInFull) {
  TUniConvForm f(nullptr);
  // Last in the tab order and lowest, as the dialog lists its controls top to bottom.
  EXPECT_EQ(GetWindow(f.OKButton.Handle(), GW_HWNDLAST), f.ShowCodeBox.Handle());
  EXPECT_GE(f.ShowCodeBox.Bounds().top, f.CancelButton.Bounds().top);
  HWND list = f.EncList.Handle();
  RECT client;
  GetClientRect(list, &client);
  HDC dc = GetDC(list);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  for (bool numbers : {false, true}) {
    f.ShowCodeBox.SetChecked(numbers);
    for (int i = 0; i < f.EncList.Count(); ++i) {
      const std::wstring name = f.EncList.Item(i);
      SIZE extent{};
      GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &extent);
      EXPECT_LE(extent.cx + 2, client.right) << ui::ToUtf8(name);
    }
  }
  SelectObject(dc, old);
  ReleaseDC(list, dc);
}

// Names in several scripts, previewed in every choice and every listed code page in turn. Many
// previews open with a combining mark (the Cyrillic bytes read as Hebrew, Arabic or Thai, the
// pointed Hebrew name, the Arabic name opening with a vowel sign): each must show, and read
// back as what the choice decodes.
TEST_F(UniConvTest, EveryChoiceAndCodePagePreviewsNamesInManyScripts) {
  const std::string names[] = {
      "\xCF\xF0\xE8\xE2\xE5\xF2.txt",                          // "Привет" in code page 1251
      "\xD6\xB4\xD7\xA0\xD7\x98\xD7\x92\xD7\x95\xD7\xA2.txt",  // pointed Hebrew, UTF-8
      "\xD9\x8E\xD8\xA8 \xCE\xA3\xCE\xBF \xE6\xBC\xA2 \xF0\x9F\x98\x80",  // Arabic, Greek, CJK,
                                                                          // U+1F600
      "\xF3\xC8\xCA \xC8\xF3.txt"};  // Arabic in 1256, a vowel sign first
  for (const std::string& raw : names) {
    Answer([&](TUniConvForm& f) {
      ui::RadioButton* choices[] = {&f.EncUTF8, &f.EncAnsi, &f.EncOem, &f.EncMac};
      for (int32_t choice = ecUTF8; choice < ecSpecified; ++choice) {
        choices[choice]->Click();
        EXPECT_EQ(f.FileEdit.Text(), DecodeNameAs(raw, SwapMacAndCodePage(choice), 0));
      }
      f.EncSpecified.Click();
      for (int i = 0; i < f.EncList.Count(); ++i) {
        f.EncList.Choose(i);
        const uint32_t codePage = static_cast<uint32_t>(f.EncList.ItemData(i));
        const std::wstring preview = DecodeNameAs(raw, ekCodePage, codePage);
        // A window's text ends at a NUL, which some code pages give for unmapped bytes.
        EXPECT_EQ(f.FileEdit.Text(), preview.substr(0, preview.find(L'\0'))) << codePage;
      }
      f.OKButton.Click();
    });
    std::wstring name;
    EXPECT_TRUE(Decode(raw, name));
    EXPECT_EQ(name, DecodeNameAs(raw, ekCodePage, static_cast<uint32_t>(S.Encoding)));
  }
}

// The boxes that show a name or a folder show one that opens with a combining mark as it is,
// and the program reads it back unchanged.
TEST_F(UniConvTest, NameAndFolderBoxesKeepNamesThatOpenWithACombiningMark) {
  RegisterStandardClasses();
  const std::wstring hebrew = L"\u05B4\u05E0\u05D8\u05D2\u05D5\u05E2.txt";
  const std::wstring folder = L"C:\\\u064E\u0628\u062A\\";
  TFileList doc;
  TFileItem& item = AddItem(doc, hebrew);
  item.FileNote = L"\u0651\u0628\r\n\u05B4\u05D0";
  TItemPropForm prop(nullptr);
  prop.SetItem(&item);
  EXPECT_EQ(prop.NameEdit.Text(), hebrew);
  EXPECT_EQ(prop.NoteMemo.Text(), item.FileNote);

  doc.UpdateFolder = folder;
  doc.VerifyFolder = hebrew;
  TPropsForm props(nullptr);
  props.SetDocument(&doc);
  EXPECT_EQ(props.UpdateFolderEdit.Text(), folder);
  EXPECT_EQ(props.VerifyFolderEdit.Text(), hebrew);

  TVerifyForm verify(nullptr);
  verify.PathEdit.Add(folder);
  verify.PathEdit.Choose(0);  // from the folder history
  EXPECT_EQ(verify.PathEdit.Text(), folder);

  TCalcForm calc(nullptr);
  Script.AnswerFile(folder + hebrew);
  calc.FileButton.Click();
  EXPECT_EQ(calc.RFComboBox.Text(), folder + hebrew);
}
