// Tip of the day and the about box.
#include <gtest/gtest.h>

#include "app/about.h"
#include "app/tipsofday.h"
#include "tests/app/main_fixture.h"
#include "tests/app/testkit.h"

namespace {

class TipsTest : public ::testing::Test {
 protected:
  void TearDown() override { ExpectNoFailures(Script); }
  // Shows that many tips starting at Index; Drive acts on the open dialog. Returns the index after.
  int32_t Show(int32_t Index, int tips, const std::function<void(TDlgTipsForm&)>& Drive) {
    TDlgTipsForm f(nullptr);
    for (int i = 0; i < tips; ++i)
      f.AddTip(L"Group " + std::to_wstring(i), L"Tip " + std::to_wstring(i));
    f.TipIndex = Index;
    Script.AnswerDialog([&](ui::Dialog&) { Drive(f); });
    EXPECT_EQ(f.ShowModal(), IDCANCEL);
    return f.TipIndex;
  }
  ui::Script Script;
};

// Whether window a stands above window b.
bool Above(HWND a, HWND b) {
  for (HWND h = GetWindow(a, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT))
    if (h == b) return true;
  return false;
}

// What the tips saw of the main window while they showed in their real modal loop. Each step
// runs from a timer of the tips' own loop, after what the step before posted.
struct TipsSight {
  static inline HWND Main, Tips, Owner, Others[2];
  static inline bool MainDisabled, AboveAfterRaise, AboveAfterActivate,
      ActiveBeforeClose;
  static void CALLBACK Look(HWND, UINT, UINT_PTR id, DWORD) {
    Tips = FindWindowW(L"#32770", L"Did you know...");
    if (!Tips || !IsWindowVisible(Tips)) return;
    KillTimer(nullptr, id);
    Owner = GetWindow(Tips, GW_OWNER);
    MainDisabled = !IsWindowEnabled(Main);
    // Other windows of the main window, above the tips and taking input: a tool tip and a
    // modeless window. The activation is not theirs.
    for (int i = 0; i < 2; ++i) {
      Others[i] = CreateWindowExW(i ? 0 : WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"",
                                  WS_POPUP | (i ? WS_CAPTION : 0), 0, 0, 80, 40, Main, nullptr,
                                  nullptr, nullptr);
      SetWindowPos(Others[i], HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    // Raised as a click on its task-bar button raises it.
    SetWindowPos(Main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    AboveAfterRaise = Above(Tips, Main);
    // Raised and activated, as another program or a desktop without a window manager does it.
    SetWindowPos(Main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetTimer(nullptr, 0, 1, AfterActivate);
  }
  static void CALLBACK AfterActivate(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    AboveAfterActivate = Above(Tips, Main);
    ActiveBeforeClose = GetActiveWindow() == Tips;
    for (HWND other : Others) DestroyWindow(other);
    PostMessageW(GetDlgItem(Tips, IDCANCEL), BM_CLICK, 0, 0);
  }
};

}  // namespace

// The tips are a modal dialog of the main window: with the main window raised they stay above
// it, and once closed they hand the activation back to it.
TEST_F(MainFormTest, TheTipsStayAboveTheMainWindowAndHandTheActivationBack) {
  auto f = NewForm();
  f->Activated = true;  // shown, the window is not to run its first activation
  SetWindowPos(f->Handle(), nullptr, 200, 150, 600, 400, SWP_NOZORDER | SWP_SHOWWINDOW);
  SetForegroundWindow(f->Handle());
  ASSERT_EQ(GetActiveWindow(), f->Handle());
  TipsSight::Main = f->Handle();
  TipsSight::Tips = nullptr;
  ui::Prompter* script = ui::SetPrompter(nullptr);  // the real modal loop
  UINT_PTR timer = SetTimer(nullptr, 0, 1, TipsSight::Look);
  f->PerformCommand(ID_HELP_TIPS);
  KillTimer(nullptr, timer);
  ui::SetPrompter(script);
  ASSERT_NE(TipsSight::Tips, nullptr);
  EXPECT_EQ(TipsSight::Owner, f->Handle());
  EXPECT_TRUE(TipsSight::MainDisabled);
  EXPECT_TRUE(TipsSight::AboveAfterRaise);
  EXPECT_TRUE(TipsSight::AboveAfterActivate);
  EXPECT_TRUE(TipsSight::ActiveBeforeClose);
  EXPECT_TRUE(IsWindowEnabled(f->Handle()));
  EXPECT_EQ(GetActiveWindow(), f->Handle());
}

TEST_F(TipsTest, TheIndexIsClampedAndTheLastTipMakesCloseTheDefault) {
  EXPECT_EQ(Show(7, 4,
                 [](TDlgTipsForm& f) {
                   EXPECT_EQ(f.TipNameLabel.Text() + L": " + f.TipTextLabel.Text(),
                             L"Group 3: Tip 3");
                   EXPECT_EQ(f.DefaultButton(), IDCANCEL);
                   f.NextButton.Click();  // wraps round; Close stays the default
                   EXPECT_EQ(f.TipTextLabel.Text(), L"Tip 0");
                   EXPECT_EQ(f.DefaultButton(), IDCANCEL);
                   f.CloseButton.Click();
                 }),
            0);
  EXPECT_EQ(Show(-3, 4,
                 [](TDlgTipsForm& f) {
                   EXPECT_EQ(f.TipTextLabel.Text(), L"Tip 0");
                   EXPECT_EQ(f.DefaultButton(), IDB_TIPS_NEXT);
                   f.NextButton.Click();
                   f.NextButton.Click();
                   EXPECT_EQ(f.TipTextLabel.Text(), L"Tip 2");
                   EXPECT_EQ(f.DefaultButton(), IDB_TIPS_NEXT);
                   f.CloseButton.Click();
                 }),
            2);
  // Closed at once: the same tip again next time.
  EXPECT_EQ(Show(1, 4, [](TDlgTipsForm& f) { f.CloseButton.Click(); }), 1);
  EXPECT_EQ(Script.Asked()[0].Caption, L"Did you know...");
  // No tips at all: nothing shown, and Next goes to the first.
  EXPECT_EQ(Show(5, 0,
                 [](TDlgTipsForm& f) {
                   EXPECT_EQ(f.TipNameLabel.Text() + f.TipTextLabel.Text(), L"");
                   f.NextButton.Click();
                   EXPECT_EQ(f.TipIndex, 0);
                   SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
                 }),
            0);
}

TEST_F(TipsTest, AboutLinksLightUpWhileHoveredAndCloseWithTheirResult) {
  const int element = COLOR_WINDOWTEXT;
  const COLORREF text = GetSysColor(element), other = RGB(0x20, 0x40, 0x60);
  SetSysColors(1, &element, &other);
  TAboutForm f(nullptr);
  SetSysColors(1, &element, &text);
  EXPECT_EQ(f.HomeLabel.TextColor, other);  // the system's window text, not black
  EXPECT_EQ(f.MailLabel.TextColor, other);
  EXPECT_EQ(f.HomeLabel.Text(), L"https://jurnvalt.example.org/");
  EXPECT_EQ(f.MailLabel.Text(), L"support@jurnvalt.example.org");
  Script.AnswerDialog([&](ui::Dialog&) {
    RECT r = f.HomeLabel.Bounds();
    HWND home = f.HomeLabel.Handle();
    SendMessageW(home, WM_MOUSEMOVE, 0, MAKELPARAM(0, 3));  // first column counts as outside
    EXPECT_FALSE(f.Underlined(f.HomeLabel));
    SendMessageW(home, WM_MOUSEMOVE, 0, MAKELPARAM(5, 3));
    EXPECT_TRUE(f.Underlined(f.HomeLabel));
    EXPECT_EQ(f.HomeLabel.TextColor, RGB(255, 255, 255));
    EXPECT_EQ(GetCapture(), home);
    SendMessageW(home, WM_MOUSEMOVE, 0, MAKELPARAM(5, r.bottom - r.top + 4));
    EXPECT_FALSE(f.Underlined(f.HomeLabel));
    EXPECT_EQ(f.HomeLabel.TextColor, RGB(0, 0, 0));
    EXPECT_NE(GetCapture(), home);
    // Escape does nothing: there is no cancel button.
    f.PerformCommand(IDCANCEL);
    EXPECT_EQ(f.ModalResult(), 0);
    SendMessageW(f.MailLabel.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 3));
    f.PerformCommand(IDT_ABOUT_MAIL, STN_CLICKED, f.MailLabel.Handle());
    EXPECT_FALSE(f.Underlined(f.MailLabel));
    EXPECT_EQ(GetCapture(), nullptr);
  });
  EXPECT_EQ(f.ShowModal(), 7);
  RECT w;
  GetWindowRect(f.Handle(), &w);
  EXPECT_EQ(w.right - w.left, 350);
  EXPECT_EQ(w.bottom - w.top, 220);
}
