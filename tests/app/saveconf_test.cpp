// The save settings dialog driven through the prompts seam.
#include <gtest/gtest.h>

#include "app/saveconf.h"
#include "ui/prompts.h"

TEST(SaveConfForm, OffersCurrentUserFirstAndReportsTheChoice) {
  ui::Script script;
  TSaveConfForm form(nullptr);
  form.LMButton.SetEnabled(false);
  bool cuFirst = false, lmClickable = true;
  script.AnswerDialog([&](ui::Dialog&) {
    cuFirst = form.CUButton.Checked();
    lmClickable = form.LMButton.Click();
    EXPECT_TRUE(form.INIButton.Click());
    EXPECT_TRUE(form.OKButton.Click());
  });
  EXPECT_EQ(form.ShowModal(), IDOK);
  EXPECT_TRUE(cuFirst);
  EXPECT_FALSE(lmClickable);
  EXPECT_TRUE(form.INIButton.Checked());
  EXPECT_FALSE(form.CUButton.Checked());
  EXPECT_EQ(script.Asked()[0].DialogId, IDD_SAVECONF);
  EXPECT_EQ(script.Asked()[0].Caption, L"Save current settings");

  // Shown again: Cancel (here: closing the window) gives IDCANCEL.
  script.AnswerDialog([&](ui::Dialog& d) { SendMessageW(d.Handle(), WM_CLOSE, 0, 0); });
  EXPECT_EQ(form.ShowModal(), IDCANCEL);
  EXPECT_TRUE(script.Failures().empty());
}

TEST(SaveConfForm, ADialogTheScriptLeavesOpenIsAFailureAndCancels) {
  ui::Script script;
  TSaveConfForm form(nullptr);
  script.AnswerDialog([&](ui::Dialog&) { form.INIButton.Click(); });
  EXPECT_EQ(form.ShowModal(), IDCANCEL);
  ASSERT_EQ(script.Failures().size(), 1u);
  EXPECT_FALSE(form.Visible());
}
