// The checksum-file properties dialog: the round trip of the document's settings.
#include <gtest/gtest.h>

#include "app/props.h"
#include "document/data.h"
#include "hash/registry.h"
#include "ui/prompts.h"

namespace {

class PropsFormTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterStandardClasses(); }
  void TearDown() override {
    for (const std::wstring& f : Script.Failures()) ADD_FAILURE() << ui::ToUtf8(f);
  }
  // Shows the dialog over Doc; Drive acts on it while it is open and ends it.
  int Show(const std::function<void(TPropsForm&)>& Drive) {
    TPropsForm form(nullptr);
    form.SetDocument(&Doc);
    Script.AnswerDialog([&](ui::Dialog&) { Drive(form); });
    int result = form.ShowModal();
    if (result == IDOK) form.SaveToDocument();
    return result;
  }
  TFileList Doc;
  ui::Script Script;
};

}  // namespace

TEST_F(PropsFormTest, AFreshDocumentShowsItsDefaultsAndOKChangesNothing) {
  EXPECT_EQ(
      Show([](TPropsForm& f) {
        EXPECT_EQ(f.PageControl.ActivePage(), TPropsForm::VerifyPage);
        EXPECT_TRUE(f.VerifyFolderEdit.Visible());
        EXPECT_FALSE(f.MaskEdit.Visible());
        EXPECT_EQ(f.UpdateFolderEdit.Text(), L"");
        EXPECT_EQ(f.VerifyFolderEdit.Text(), L"");
        EXPECT_EQ(f.MaskEdit.Text(), L"");
        EXPECT_TRUE(f.RecurseBox.Checked() && f.FindNewBox.Checked());
        EXPECT_EQ(f.HashBox.Items(), (std::vector<std::wstring>{L"MD5", L"CRC32", L"SHA1"}));
        EXPECT_EQ(f.HashBox.Item(f.HashBox.ItemIndex()), L"MD5");
        EXPECT_EQ(f.CodeBox.Item(f.CodeBox.ItemIndex()), L"Hexadecimal");
        EXPECT_EQ(f.CodeBox.Count(), 4);
        EXPECT_TRUE(f.ModeAllBox.Checked());
        EXPECT_FALSE(f.ModeSizeBox.Checked() || f.ModeTimeBox.Checked() || f.ModeHashBox.Checked());
        EXPECT_TRUE(f.SizeBox.Checked());
        EXPECT_FALSE(f.TimeBox.Checked());
        EXPECT_TRUE(f.PageControl.Choose(TPropsForm::UpdatePage));
        EXPECT_TRUE(f.MaskEdit.Visible());
        f.OKButton.Click();
      }),
      IDOK);
  EXPECT_FALSE(Doc.Modified);
}

TEST_F(PropsFormTest, TheModeBoxesKeepInStepAndOnlyTheConditionsAreSaved) {
  // Unchecking "for All files" checks the three conditions.
  Show([](TPropsForm& f) {
    f.PageControl.Choose(TPropsForm::UpdatePage);
    f.ModeAllBox.Click();
    EXPECT_TRUE(f.ModeSizeBox.Checked() && f.ModeTimeBox.Checked() && f.ModeHashBox.Checked());
    f.OKButton.Click();
  });
  EXPECT_EQ(Doc.UpdateMode, umSize | umTime | umHash);
  EXPECT_TRUE(Doc.Modified);

  // Loading the set shows the members; clearing all three checks "for All files" again.
  Doc.UpdateMode = umTime;
  Show([](TPropsForm& f) {
    f.PageControl.Choose(TPropsForm::UpdatePage);
    EXPECT_FALSE(f.ModeAllBox.Checked());
    EXPECT_TRUE(f.ModeTimeBox.Checked());
    EXPECT_FALSE(f.ModeSizeBox.Checked() || f.ModeHashBox.Checked());
    f.ModeHashBox.Click();
    EXPECT_FALSE(f.ModeAllBox.Checked());
    f.ModeHashBox.Click();
    f.ModeTimeBox.Click();
    EXPECT_TRUE(f.ModeAllBox.Checked());
    f.ModeAllBox.Click();  // unchecking it checks all three, checking clears them
    f.ModeAllBox.Click();
    EXPECT_FALSE(f.ModeSizeBox.Checked() || f.ModeTimeBox.Checked() || f.ModeHashBox.Checked());
    f.OKButton.Click();
  });
  EXPECT_EQ(Doc.UpdateMode, 0);
}

TEST_F(PropsFormTest, EveryFieldRoundTripsOnOKAndCancelWritesNothing) {
  Doc.SetUpdateHash("md5");
  Doc.Modified = false;
  auto edit = [](TPropsForm& f) {
    f.PageControl.Choose(TPropsForm::UpdatePage);
    f.UpdateFolderEdit.SetText(L"D:\\Data\\");
    f.MaskEdit.SetText(L"*.iso");
    f.RecurseBox.Click();
    f.FindNewBox.Click();
    f.HashBox.Choose(2);
    f.CodeBox.Choose(1);
    f.ModeSizeBox.Click();
    f.PageControl.Choose(TPropsForm::VerifyPage);
    f.VerifyFolderEdit.SetText(L"E:\\Copy\\");
    f.SizeBox.Click();
    f.TimeBox.Click();
  };
  EXPECT_EQ(Show([&](TPropsForm& f) {
              EXPECT_EQ(f.HashBox.Item(f.HashBox.ItemIndex()), L"MD5");
              edit(f);
              f.CancelButton.Click();
            }),
            IDCANCEL);
  EXPECT_FALSE(Doc.Modified);
  EXPECT_EQ(Doc.UpdateHash, "md5");
  EXPECT_EQ(Doc.UpdateMask, L"");

  // A case-different hash name is stored as listed.
  Show([](TPropsForm& f) { f.OKButton.Click(); });
  EXPECT_EQ(Doc.UpdateHash, "MD5");
  EXPECT_TRUE(Doc.Modified);

  Show([&](TPropsForm& f) {
    edit(f);
    f.OKButton.Click();
  });
  EXPECT_EQ(Doc.UpdateFolder, L"D:\\Data\\");
  EXPECT_EQ(Doc.UpdateMask, L"*.iso");
  EXPECT_FALSE(Doc.UpdateRecurse);
  EXPECT_FALSE(Doc.UpdateFind);
  EXPECT_EQ(Doc.UpdateHash, "SHA1");
  EXPECT_EQ(Doc.UpdateCode, "MIME64");
  EXPECT_EQ(Doc.UpdateMode, umSize);
  EXPECT_EQ(Doc.VerifyFolder, L"E:\\Copy\\");
  EXPECT_FALSE(Doc.VerifySize);
  EXPECT_TRUE(Doc.VerifyTime);
}

TEST_F(PropsFormTest, UnknownNamesShowNoTypeAndTheDefaultEncoding) {
  Doc.UpdateHash = "RIPEMD";
  Doc.UpdateCode = "BASE32";
  Show([](TPropsForm& f) {
    EXPECT_EQ(f.HashBox.ItemIndex(), -1);
    EXPECT_EQ(f.CodeBox.Item(f.CodeBox.ItemIndex()), L"Hexadecimal");
    f.OKButton.Click();
  });
  EXPECT_EQ(Doc.UpdateHash, "");
  EXPECT_EQ(Doc.UpdateCode, "HEX");
}
