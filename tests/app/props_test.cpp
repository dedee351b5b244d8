// The checksum-file properties dialog: the round trip of the document's settings.
#include <gtest/gtest.h>

#include "app/props.h"
#include "document/data.h"
#include "hash/registry.h"
#include "tests/app/testkit.h"

namespace {

class PropsFormTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterStandardClasses(); }
  void TearDown() override { ExpectNoFailures(Script); }
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
        EXPECT_EQ(f.UpdateFolderEdit.Text() + f.VerifyFolderEdit.Text() + f.MaskEdit.Text(), L"");
        EXPECT_TRUE(f.RecurseBox.Checked() && f.FindNewBox.Checked());
        EXPECT_EQ(f.HashBox.Items(), (std::vector<std::wstring>{L"MD5", L"CRC32", L"SHA1"}));
        EXPECT_EQ(f.HashBox.Item(f.HashBox.ItemIndex()), L"MD5");
        EXPECT_EQ(f.CodeBox.Item(f.CodeBox.ItemIndex()), L"Hexadecimal");
        EXPECT_EQ(f.CodeBox.Count(), 4);
        EXPECT_TRUE(f.ModeAllBox.Checked());
        EXPECT_FALSE(f.ModeSizeBox.Checked() || f.ModeTimeBox.Checked() || f.ModeHashBox.Checked());
        EXPECT_TRUE(f.SizeBox.Checked() && !f.TimeBox.Checked());
        f.OKButton.Click();
      }),
      IDOK);
  EXPECT_FALSE(Doc.Modified);
}

// The update window shares these boxes.
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
    EXPECT_FALSE(f.ModeAllBox.Checked() || f.ModeSizeBox.Checked() || f.ModeHashBox.Checked());
    EXPECT_TRUE(f.ModeTimeBox.Checked());
    f.ModeTimeBox.Click();
    EXPECT_TRUE(f.ModeAllBox.Checked());
    f.ModeHashBox.Click();  // alone
    EXPECT_FALSE(f.ModeAllBox.Checked());
    f.ModeHashBox.Click();
    EXPECT_TRUE(f.ModeAllBox.Checked());
    f.ModeAllBox.Click();  // unchecking it checks all three
    f.ModeTimeBox.Click();
    f.ModeHashBox.Click();
    EXPECT_FALSE(f.ModeAllBox.Checked());  // "if Size changed" alone
    f.ModeAllBox.Click();                  // checking it clears them
    EXPECT_FALSE(f.ModeSizeBox.Checked() || f.ModeTimeBox.Checked() || f.ModeHashBox.Checked());
    // While Locked is set the handlers keep out: a click changes only its own box.
    f.Locked = true;
    f.ModeAllBox.Click();
    f.ModeSizeBox.Click();
    EXPECT_FALSE(f.ModeAllBox.Checked() || f.ModeTimeBox.Checked() || f.ModeHashBox.Checked());
    EXPECT_TRUE(f.ModeSizeBox.Checked());
    f.Locked = false;
    f.ModeSizeBox.Click();
    EXPECT_TRUE(f.ModeAllBox.Checked());
    EXPECT_FALSE(f.Locked);
    f.OKButton.Click();
  });
  EXPECT_EQ(Doc.UpdateMode, 0);
}

TEST_F(PropsFormTest, EveryFieldRoundTripsOnOKAndCancelWritesNothing) {
  Doc.SetUpdateHash("md5");
  Doc.Modified = false;
  auto edit = [](TPropsForm& f, ui::Button& end) {
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
    end.Click();
  };
  EXPECT_EQ(Show([&](TPropsForm& f) {
              EXPECT_EQ(f.HashBox.Item(f.HashBox.ItemIndex()), L"MD5");
              edit(f, f.CancelButton);
            }),
            IDCANCEL);
  EXPECT_FALSE(Doc.Modified);
  EXPECT_EQ(Doc.UpdateHash, "md5");
  EXPECT_EQ(Doc.UpdateMask, L"");

  // A case-different hash name is stored as listed.
  Show([](TPropsForm& f) { f.OKButton.Click(); });
  EXPECT_EQ(Doc.UpdateHash, "MD5");
  EXPECT_TRUE(Doc.Modified);

  Show([&](TPropsForm& f) { edit(f, f.OKButton); });
  EXPECT_EQ(Doc.UpdateFolder + L"|" + Doc.UpdateMask + L"|" + Doc.VerifyFolder,
            L"D:\\Data\\|*.iso|E:\\Copy\\");
  EXPECT_FALSE(Doc.UpdateRecurse || Doc.UpdateFind || Doc.VerifySize);
  EXPECT_TRUE(Doc.VerifyTime);
  EXPECT_EQ(Doc.UpdateHash, "SHA1");
  EXPECT_EQ(Doc.UpdateCode, "MIME64");
  EXPECT_EQ(Doc.UpdateMode, umSize);
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
