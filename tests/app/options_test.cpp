// The options dialog driven through the prompts seam, on its own and from the main window.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "app/options.h"
#include "document/uniconv.h"
#include "tests/app/main_fixture.h"
#include "tests/app/mainlist_fixture.h"
#include "tests/app/testkit.h"

#include <dlgs.h>  // the font dialog's controls

namespace {

enum Page { CommonPage, ImportPage, ViewPage, XMLPage };

// Values that differ from the defaults wherever a value can.
TOptions Unusual() {
  TOptions v;
  v.AutoHash = v.TipOfDay = v.AbbrSize = v.ThouSize = v.RighSize = v.UseMSSAX = false;
  v.StartMin = v.Min2Tray = v.AutoSave = v.SmothWin = v.CodeSkip = v.ShowCode = v.ToolText = true;
  v.CodeMode = 3;
  v.Encoding = 437;
  v.Font.lfHeight = -16;
  lstrcpyW(v.Font.lfFaceName, L"Tahoma");
  for (int i = 0; i < OptColorCount; ++i) v.Colors[i] = 0x102030 + i;
  v.CanSmoothClose = v.MSSAXPresent = true;
  return v;
}

// The settings the dialog edits, comparable as a whole.
auto Settings(const TOptions& o) {
  return std::tuple(std::vector<bool>{o.AutoHash, o.StartMin, o.Min2Tray, o.AutoSave, o.SmothWin,
                                      o.TipOfDay, o.CodeSkip, o.ShowCode, o.ToolText, o.AbbrSize,
                                      o.ThouSize, o.RighSize, o.UseMSSAX},
                    o.CodeMode, o.Encoding, o.Font.lfHeight, std::wstring(o.Font.lfFaceName),
                    std::vector<ui::Color>(o.Colors, o.Colors + OptColorCount));
}

void ExpectSame(const TOptions& a, const TOptions& b) {
  EXPECT_EQ(Settings(a), Settings(b));
}

// What the user sees of the tool bar: the size of its buttons, the place of each button with the
// caption it shows, and where the list starts below the bar.
std::vector<std::wstring> BarLook(TMainForm& f) {
  const HWND bar = f.ToolBar.Handle();
  const auto n = [](auto v) { return std::to_wstring(v); };
  const LRESULT size = SendMessageW(bar, TB_GETBUTTONSIZE, 0, 0);
  std::vector<std::wstring> look{L"buttons " + n(LOWORD(size)) + L"x" + n(HIWORD(size)) +
                                 L", text rows " + n(SendMessageW(bar, TB_GETTEXTROWS, 0, 0)) +
                                 L", list at " + n(f.ListView.Bounds().top)};
  for (int i = 0, count = static_cast<int>(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0)); i < count;
       ++i) {
    TBBUTTON b{};
    RECT r{};
    SendMessageW(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
    SendMessageW(bar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
    wchar_t text[64] = {};
    if (b.idCommand)
      SendMessageW(bar, TB_GETBUTTONTEXTW, b.idCommand, reinterpret_cast<LPARAM>(text));
    look.push_back(n(r.left) + L"," + n(r.top) + L"-" + n(r.right) + L"," + n(r.bottom) + L" " +
                   text);
  }
  return look;
}

class OptsFormTest : public ::testing::Test {
 protected:
  void TearDown() override { ExpectNoFailures(Script); }
  // Runs the dialog filled with v; `drive` acts as the user and ends it, `answers` queues the
  // answers to the prompts it opens. Returns what OK wrote back (v after Cancel).
  TOptions Run(const TOptions& v, std::function<void()> answers, std::function<void()> drive) {
    Form.Fill(v);
    Script.AnswerDialog([&](ui::Dialog&) { drive(); });
    if (answers) answers();
    TOptions out = v;
    if (Form.ShowModal() == IDOK) Form.WriteBack(out);
    return out;
  }
  TOptions Run(const TOptions& v, std::function<void()> drive) { return Run(v, {}, drive); }
  // The enabled states of the Import page's group, list and check box.
  std::vector<bool> ImportEnabled() {
    return {Form.EncGroup.Enabled(), Form.EncList.Enabled(), Form.ShowCodeBox.Enabled()};
  }
  // The Integration group's boxes (start at logon, desktop, Quick Launch, Start menu, then the
  // associations), enabled or checked.
  std::vector<bool> Integration(bool enabled) {
    std::vector<bool> v;
    for (ui::CheckBox* b :
         {&Form.AutoBox, &Form.DeskLinkBox, &Form.QuickBarBox, &Form.StartMenuBox})
      v.push_back(enabled ? b->Enabled() : b->Checked());
    for (int i = 0; i < Form.AssListBox.Count(); ++i)
      v.push_back(enabled ? Form.AssListBox.ItemEnabled(i) : Form.AssListBox.Checked(i));
    return v;
  }
  ui::Script Script;
  TOptsForm Form{nullptr};
};

}  // namespace

TEST_F(OptsFormTest, EverySettingRoundTripsAndEveryControlChangesItsValue) {
  // Cancelled colour and font dialogs keep what was there.
  const TOptions in = Unusual();
  const auto cancel = [&] {
    Script.Cancel(ui::PromptKind::Color);
    Script.Cancel(ui::PromptKind::Font);
  };
  ExpectSame(in, Run(in, cancel, [&] {
               Form.PageControl.Choose(ViewPage);
               EXPECT_TRUE(Form.ColorPanels[ocWarn].Click());
               EXPECT_TRUE(Form.ViewFontButton.Click());
               EXPECT_TRUE(Form.OKButton.Click());
             }));
  EXPECT_EQ(Script.Asked()[0].Caption, L"Options");
  EXPECT_EQ(Script.Asked()[2].Text, L"Tahoma");  // the font dialog opened on the list's font

  // Now every control is changed by the user.
  LOGFONTW font{};
  font.lfHeight = -13;
  lstrcpyW(font.lfFaceName, L"Courier New");
  const auto answers = [&] {
    Script.AnswerFont(font);
    for (int i = 0; i < OptColorCount; ++i) Script.AnswerColor(0x000100 * (i + 1));
  };
  const TOptions out = Run(in, answers, [&] {
    EXPECT_EQ(Form.PageControl.ActivePage(), CommonPage);
    for (ui::CheckBox* b : {&Form.AutoCheckBox, &Form.MinimizeBox, &Form.Min2TrayBox,
                            &Form.AutoSaveBox, &Form.SmothWinBox, &Form.TipOfDayBox})
      EXPECT_TRUE(b->Click());
    EXPECT_TRUE(Form.PageControl.Choose(ImportPage));
    EXPECT_TRUE(Form.EncGroup.Click(1));
    EXPECT_TRUE(Form.ICharsetBox.Click());
    EXPECT_TRUE(Form.PageControl.Choose(ViewPage));
    for (ui::CheckBox* b :
         {&Form.ViewTextBox, &Form.ViewSizeBox, &Form.ThouSizeBox, &Form.RighSizeBox})
      EXPECT_TRUE(b->Click());
    EXPECT_TRUE(Form.ViewFontButton.Click());
    for (ui::ColorPanel& p : Form.ColorPanels) EXPECT_TRUE(p.Click());
    EXPECT_TRUE(Form.PageControl.Choose(XMLPage));
    EXPECT_TRUE(Form.MSSAXBox.Click());
    EXPECT_TRUE(Form.OKButton.Click());
  });
  // Every check box flipped (ShowCode is kept: the skip box disables it), mode and font changed.
  TOptions expected;
  expected.ShowCode = true;
  expected.CodeMode = 1;
  expected.Encoding = 437;
  expected.Font = font;
  for (int i = 0; i < OptColorCount; ++i) expected.Colors[i] = 0x000100 * (i + 1);
  ExpectSame(out, expected);
}

TEST_F(OptsFormTest, WithoutAnimateWindowOrMSXMLTheirBoxesAreDisabledButDownloadIsThere) {
  TOptions in = Unusual();
  in.CanSmoothClose = false;
  in.MSSAXPresent = false;
  in.UseMSSAX = false;
  const TOptions out = Run(in, [&] {
    EXPECT_FALSE(Form.SmothWinBox.Click());
    Form.PageControl.Choose(XMLPage);
    EXPECT_FALSE(Form.MSSAXBox.Click());
    EXPECT_TRUE(Form.DownMSXMLButton.Click());
    EXPECT_TRUE(Form.OKButton.Click());
  });
  EXPECT_FALSE(out.SmothWin);  // was set before
  EXPECT_FALSE(out.UseMSSAX);
  // "Download MSXML..." opens the vendor's page.
  ASSERT_EQ(Script.Asked().size(), 2u);
  EXPECT_EQ(Script.Asked()[1].Kind, ui::PromptKind::Shell);
  EXPECT_EQ(Script.Asked()[1].Text, MSXMLDownloadAddress);
}

TEST_F(OptsFormTest, ImportPageEnablingFollowsTheSkipBoxAndTheSpecifiedChoice) {
  using E = std::vector<bool>;
  TOptions in;  // CodeSkip off, CodeMode 0
  const TOptions out = Run(in, [&] {
    Form.PageControl.Choose(ImportPage);
    EXPECT_EQ(ImportEnabled(), E({false, false, false}));
    EXPECT_TRUE(Form.ICharsetBox.Click());
    EXPECT_EQ(ImportEnabled(), E({true, false, false}));
    EXPECT_TRUE(Form.EncGroup.Click(4));
    EXPECT_EQ(ImportEnabled(), E({true, true, true}));
    EXPECT_TRUE(Form.EncGroup.Click(3));
    EXPECT_EQ(ImportEnabled(), E({true, false, false}));
    EXPECT_TRUE(Form.EncGroup.Click(4));
    EXPECT_TRUE(Form.EncList.Choose(1));
    // Unchecking the skip box disables all three, yet OK keeps their values.
    EXPECT_TRUE(Form.ICharsetBox.Click());
    EXPECT_EQ(ImportEnabled(), E({false, false, false}));
    EXPECT_TRUE(Form.OKButton.Click());
  });
  EXPECT_FALSE(out.CodeSkip);
  EXPECT_EQ(out.CodeMode, 3);
  EXPECT_EQ(static_cast<uint32_t>(out.Encoding), (*CodePageList())[1].CodePage);

  // Filled with CodeSkip and mode 3 the list is enabled when the dialog shows. Encoding 0, the
  // default, is no code page: the first one is selected, and stored on OK.
  in.CodeSkip = true;
  in.CodeMode = 3;
  Form.Fill(in);
  EXPECT_EQ(ImportEnabled(), E({true, true, true}));
  EXPECT_EQ(static_cast<uint32_t>(Form.GetEncoding()), (*CodePageList())[0].CodePage);
  Form.EncList.SetItemIndex(-1);
  EXPECT_EQ(Form.GetEncoding(), 0);  // none selected
}

TEST_F(OptsFormTest, ShowCodesRefillsWithNumbersAndReselectsTheAnsiItem) {
  TCodePageItems items;
  const int ansi = FillCodePageList(items, false);  // the system's ANSI code page
  ASSERT_GE(ansi, 0);
  const TCodePageItems& pages = *CodePageList();

  TOptions in;
  in.CodeSkip = true;
  in.CodeMode = 3;
  in.Encoding = 437;
  const TOptions out = Run(in, [&] {
    Form.PageControl.Choose(ImportPage);
    EXPECT_EQ(Form.GetEncoding(), 437);
    EXPECT_TRUE(Form.ShowCodeBox.Click());
    EXPECT_EQ(Form.EncList.ItemIndex(), ansi);
    EXPECT_EQ(Form.EncList.Item(ansi), pages[ansi].Name);
    EXPECT_TRUE(Form.EncList.Choose(ansi == 0 ? 1 : 0));
    EXPECT_TRUE(Form.ShowCodeBox.Click());
    EXPECT_EQ(Form.EncList.ItemIndex(), ansi);
    EXPECT_EQ(Form.EncList.Item(ansi), ShortCodePageName(pages[ansi].Name));
    EXPECT_TRUE(Form.OKButton.Click());
  });
  EXPECT_EQ(static_cast<uint32_t>(out.Encoding), pages[ansi].CodePage);

  // ShowCode from the settings lists numbers before Encoding is selected in the list.
  in.ShowCode = true;
  Form.Fill(in);
  EXPECT_EQ(Form.EncList.Item(0), pages[0].Name);
  EXPECT_EQ(Form.GetEncoding(), 437);
}

TEST_F(OptsFormTest, PanelBevelsFollowFocusAndMouse) {
  Run(Unusual(), [&] {
    Form.PageControl.Choose(ViewPage);
    ui::ColorPanel& a = Form.ColorPanels[ocEven];
    ui::ColorPanel& b = Form.ColorPanels[ocFail];
    const RECT r = a.Bounds();
    const int w = r.right - r.left, h = r.bottom - r.top;
    SendMessageW(a.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(w / 2, h / 2));
    EXPECT_EQ(a.GetBevel(), ui::ColorPanel::bvRaised);
    EXPECT_EQ(GetCapture(), a.Handle());
    // The border pixels count as outside.
    SendMessageW(a.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(0, h / 2));
    EXPECT_EQ(a.GetBevel(), ui::ColorPanel::bvNone);
    EXPECT_NE(GetCapture(), a.Handle());
    b.SetFocus();
    EXPECT_EQ(b.GetBevel(), ui::ColorPanel::bvLowered);
    // The focused panel ignores the mouse.
    SendMessageW(b.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(w / 2, h / 2));
    EXPECT_EQ(b.GetBevel(), ui::ColorPanel::bvLowered);
    a.SetFocus();
    EXPECT_EQ(b.GetBevel(), ui::ColorPanel::bvNone);
    EXPECT_EQ(a.GetBevel(), ui::ColorPanel::bvLowered);
    EXPECT_TRUE(Form.CancelButton.Click());
  });
}

TEST_F(OptsFormTest, AllUsersSwitchesTheIntegrationScopeAndEnablesWhatThatScopeAllows) {
  using E = std::vector<bool>;
  Form.Shell.ProgramPath = L"C:\\jvtest-options\\jurnvalt.exe";
  Form.LoadIntegration();
  TShellIntegration& shell = Form.Shell;
  ASSERT_EQ(Form.AssListBox.Count(), 3);
  EXPECT_EQ(Form.AssListBox.Item(0), L".#ml");
  EXPECT_EQ(Form.AssListBox.Item(2), L".md5");
  // The dialog opens in the per-user scope, enabled as the state it read allows there.
  E perUser{shell.AutoCan[ScopeUser][shell.AutoKind], shell.DeskCan[ScopeUser], shell.QuickCan,
            shell.MenuCan[ScopeUser]};
  for (const auto& ass : shell.FileAssList) perUser.push_back(ass->CanWriteUser);
  EXPECT_EQ(Integration(true), perUser);

  // A state in which every place differs between the scopes (the start-at-logon link also from
  // the Run value) and Quick Launch, which has no scopes, differs from what its box shows.
  shell.AutoKind = KindLink;
  shell.AutoCan[ScopeUser][KindRun] = true, shell.AutoCan[ScopeUser][KindLink] = false;
  shell.AutoCan[ScopeAllUsers][KindRun] = true, shell.AutoCan[ScopeAllUsers][KindLink] = true;
  shell.DeskCan[ScopeUser] = false, shell.DeskCan[ScopeAllUsers] = true;
  shell.MenuCan[ScopeUser] = true, shell.MenuCan[ScopeAllUsers] = false;
  const bool quick = Form.QuickBarBox.Enabled();
  shell.QuickCan = !quick;
  const E user{true, false, false}, allUsers{false, true, false};
  for (int i = 0; i < 3; ++i) {
    shell.FileAssList[i]->CanWriteUser = user[i];
    shell.FileAssList[i]->CanWriteAllUsers = allUsers[i];
  }

  Run(TOptions(), [&] {
    // The check states stay as they are, whatever they are.
    Form.AutoBox.SetChecked(!Form.AutoBox.Checked());
    Form.StartMenuBox.SetChecked(!Form.StartMenuBox.Checked());
    Form.AssListBox.SetChecked(1, !Form.AssListBox.Checked(1));
    const E checked = Integration(false);
    EXPECT_TRUE(Form.AllUsersBox.Click());
    EXPECT_TRUE(shell.AllUsersBox);
    EXPECT_EQ(Integration(true), E({true, true, quick, false, false, true, false}));
    EXPECT_TRUE(Form.AllUsersBox.Click());
    EXPECT_FALSE(shell.AllUsersBox);
    EXPECT_EQ(Integration(true), E({false, false, quick, true, true, false, false}));
    EXPECT_EQ(Integration(false), checked);
    EXPECT_TRUE(Form.CancelButton.Click());
  });
}

// From the main window ------------------------------------------------------------

TEST_F(MainFormTest, OptionsOKAppliesToTheMainWindowAtOnce) {
  HKEY run;  // a fresh prefix may lack it, and a missing key cannot be changed
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, RunKeyName, 0, nullptr, 0, KEY_WRITE, nullptr, &run,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(run);
  auto f = NewForm();
  f->Handle();
  const TOptions before = MainFormOptions(*f);
  Script.AnswerDialog([&](ui::Dialog& d) {
    auto& o = static_cast<TOptsForm&>(d);
    EXPECT_TRUE(o.AutoCheckBox.Click());
    EXPECT_TRUE(o.AutoBox.Click());
    o.PageControl.Choose(ViewPage);
    EXPECT_TRUE(o.ViewTextBox.Click());
    EXPECT_TRUE(o.ViewSizeBox.Click());
    EXPECT_TRUE(o.RighSizeBox.Click());
    EXPECT_TRUE(o.ColorPanels[ocBack].Click());
    EXPECT_TRUE(o.ColorPanels[ocValid].Click());
    EXPECT_TRUE(o.OKButton.Click());
  });
  Script.AnswerColor(0x00FF00);
  Script.AnswerColor(0x123456);
  f->PerformCommand(ID_OPTIONS);
  EXPECT_EQ(Script.Asked()[0].DialogId, IDD_OPTIONS);
  EXPECT_TRUE(f->ToolText() && !f->AutoHash && !f->AbbrSize && !f->RighSize());
  EXPECT_EQ(f->ListView.ColumnAlignment(TMainForm::SizeColumn), LVCFMT_LEFT);
  EXPECT_EQ(f->ListView.BackColor(), 0x00FF00);
  EXPECT_EQ(f->ValidColor, 0x123456);
  EXPECT_EQ(f->EvenColor, before.Colors[ocEven]);
  EXPECT_EQ(f->ListView.FontName(), L"MS Sans Serif");
  bool canWrite = false;
  std::wstring name;  // the integration is applied too
  EXPECT_TRUE(FindRunValue(HKEY_CURRENT_USER, RunKeyName, f->Env().ProgramPath, canWrite, name));
  EXPECT_EQ(name, DefaultLinkName);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKeyName, name.c_str());

  // OK without a change keeps everything as it is, and sizes the bar's buttons afresh.
  const TOptions after = MainFormOptions(*f);
  const HWND bar = f->ToolBar.Handle();
  const LRESULT sized = SendMessageW(bar, TB_GETBUTTONSIZE, 0, 0);
  SendMessageW(bar, TB_SETBUTTONSIZE, 0, MAKELPARAM(90, 60));
  Script.AnswerDialog([&](ui::Dialog& d) { static_cast<TOptsForm&>(d).OKButton.Click(); });
  f->PerformCommand(ID_OPTIONS);
  ExpectSame(after, MainFormOptions(*f));
  EXPECT_EQ(SendMessageW(bar, TB_GETBUTTONSIZE, 0, 0), sized);
}

TEST_F(MainFormTest, OptionsOKShowsTheToolBarAsAStartWithTheSameLabelsSettingDoes) {
  const auto startWith = [&](bool labels) {
    WriteIni(L"General", L"ToolText", labels ? L"1" : L"0");
    return NewForm();
  };
  const std::vector<std::wstring> labelled = BarLook(*startWith(true));
  const std::vector<std::wstring> plain = BarLook(*startWith(false));
  ASSERT_NE(labelled, plain);

  auto f = startWith(true);
  const auto ok = [&](bool toggleLabels) {
    Script.AnswerDialog([&](ui::Dialog& d) {
      auto& o = static_cast<TOptsForm&>(d);
      o.PageControl.Choose(ViewPage);
      if (toggleLabels) {
        EXPECT_TRUE(o.ViewTextBox.Click());
      }
      EXPECT_TRUE(o.OKButton.Click());
    });
    f->PerformCommand(ID_OPTIONS);
    return BarLook(*f);
  };
  EXPECT_EQ(ok(false), labelled) << "OK without a change";
  EXPECT_EQ(ok(true), plain) << "labels off";
  EXPECT_EQ(ok(false), plain) << "OK without a change";
  EXPECT_EQ(ok(true), labelled) << "labels on again";
}

TEST_F(MainListTest, OptionsSizeBoxesEachSetOnlyTheirOwnSideOfTheListsSizes) {
  wchar_t separator[8] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
  const auto separated = [&](std::vector<std::wstring> groups) {
    std::wstring text = groups[0];
    for (size_t i = 1; i < groups.size(); ++i) text += separator + groups[i];
    return text;
  };
  Add(L"a").FileSize = 1234567;
  Add(L"b").FileSize = int64_t{1234} << 40;  // a whole number of units with four digits
  Form->RefreshList();
  // Sets the two boxes as the user does, then OK; the sizes the list shows then.
  const auto sizes = [&](bool abbreviated, bool thousands) {
    Script.AnswerDialog([&](ui::Dialog& d) {
      auto& o = static_cast<TOptsForm&>(d);
      o.PageControl.Choose(ViewPage);
      EXPECT_TRUE(o.ViewSizeBox.Checked() == abbreviated || o.ViewSizeBox.Click());
      EXPECT_TRUE(o.ThouSizeBox.Checked() == thousands || o.ThouSizeBox.Click());
      EXPECT_TRUE(o.OKButton.Click());
    });
    Form->PerformCommand(ID_OPTIONS);
    return std::vector<std::wstring>{CellText(0, TMainForm::SizeColumn),
                                     CellText(1, TMainForm::SizeColumn)};
  };
  using T = std::vector<std::wstring>;
  // From both on, each step changes one box.
  EXPECT_EQ(sizes(true, true), T({L"1M", separated({L"1", L"234T"})}));
  EXPECT_EQ(sizes(false, true), T({separated({L"1", L"234", L"567"}),
                                   separated({L"1", L"356", L"797", L"348", L"675", L"584"})}));
  EXPECT_EQ(sizes(false, false), T({L"1234567", L"1356797348675584"}));
  EXPECT_EQ(sizes(true, false), T({L"1M", L"1234T"}));
  EXPECT_EQ(sizes(true, true), T({L"1M", separated({L"1", L"234T"})}));
}

TEST_F(MainFormTest, OptionsCancelChangesNothingAnywhere) {
  auto f = NewForm();
  f->Handle();
  const TOptions before = MainFormOptions(*f);
  bool canWrite = false;
  std::wstring name;
  ASSERT_FALSE(FindRunValue(HKEY_CURRENT_USER, RunKeyName, f->Env().ProgramPath, canWrite, name));
  LOGFONTW font{};
  font.lfHeight = -20;
  lstrcpyW(font.lfFaceName, L"Arial");
  Script.AnswerDialog([&](ui::Dialog& d) {
    auto& o = static_cast<TOptsForm&>(d);
    for (ui::CheckBox* b : {&o.AutoCheckBox, &o.MinimizeBox, &o.TipOfDayBox, &o.AutoBox})
      b->Click();
    o.PageControl.Choose(ImportPage);
    o.ICharsetBox.Click();
    o.EncGroup.Click(4);
    o.PageControl.Choose(ViewPage);
    o.ViewTextBox.Click();
    o.RighSizeBox.Click();
    o.ColorPanels[ocBack].Click();
    o.ViewFontButton.Click();
    SendMessageW(d.Handle(), WM_CLOSE, 0, 0);
  });
  Script.AnswerColor(0x00FF00);
  Script.AnswerFont(font);
  f->PerformCommand(ID_OPTIONS);
  ExpectSame(before, MainFormOptions(*f));
  EXPECT_EQ(f->ListView.FontName(), L"MS Sans Serif");
  EXPECT_FALSE(FindRunValue(HKEY_CURRENT_USER, RunKeyName, f->Env().ProgramPath, canWrite, name));
}

TEST_F(OptsFormTest, ADisabledAssociationKeepsItsBoxAgainstTheKeyboard) {
  Run(TOptions(), [&] {
    TCheckListBox& list = Form.AssListBox;
    list.SetItemEnabled(0, false);
    list.SetItemEnabled(1, true);
    EXPECT_FALSE(list.Toggle(0));
    for (int i : {0, 1}) {
      LVITEMW item{};
      item.stateMask = item.state = LVIS_FOCUSED | LVIS_SELECTED;
      SendMessageW(list.Handle(), LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
      SendMessageW(list.Handle(), WM_KEYDOWN, VK_SPACE, 0);
    }
    EXPECT_FALSE(list.Checked(0));
    EXPECT_TRUE(list.Checked(1));
    EXPECT_TRUE(Form.CancelButton.Click());
  });
}

// The system's font dialog from the main window ------------------------------------

// The list as drawn: header and rows, pixel by pixel.
std::vector<DWORD> ListPixels(HWND list) {
  RECT r{};
  GetWindowRect(list, &r);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = r.right - r.left;
  bi.bmiHeader.biHeight = -(r.bottom - r.top);
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  PrintWindow(list, dc, 0);
  GdiFlush();
  const DWORD* p = static_cast<const DWORD*>(bits);
  std::vector<DWORD> pixels(p, p + (r.right - r.left) * (r.bottom - r.top));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return pixels;
}

// The face the list's own device context reports for the font it draws with.
std::wstring DrawnFace(HWND list) {
  HDC dc = GetDC(list);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  SelectObject(dc, old);
  ReleaseDC(list, dc);
  return face;
}

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[LF_FACESIZE] = {};
  GetDlgItemTextW(dialog, id, text, LF_FACESIZE);
  return text;
}

// Chooses a list entry of the dialog as a click does.
void Choose(HWND dialog, int id, const std::wstring& text) {
  HWND box = GetDlgItem(dialog, id);
  const LRESULT i =
      SendMessageW(box, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(text.c_str()));
  ASSERT_NE(i, CB_ERR) << ui::ToUtf8(text);
  SendMessageW(box, CB_SETCURSEL, i, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

TEST_F(MainListTest, ChangeFontOpensOnTheListsFontAndOKWithoutAChangeKeepsTheList) {
  Add(L"alpha.txt", fsOK).HashValue = "d41d8cd98f00b204e9800998ecf8427e";
  Add(L"gamma\\delta.doc", fsChanged).FileSize = 1234;
  Form->RefreshList();
  struct Shown {
    std::wstring Face, Style;
    int Size = 0;
  };
  // Options, View, "Change font...", the system's dialog: `pick` may choose there, then OK in
  // both. Returns what the font dialog showed when it opened.
  const auto changeFont = [&](std::function<void(HWND)> pick) {
    Shown shown;
    Script.AnswerDialog([&](ui::Dialog& d) {
      auto& o = static_cast<TOptsForm&>(d);
      o.PageControl.Choose(ViewPage);
      EXPECT_TRUE(o.ViewFontButton.Click());
      EXPECT_TRUE(o.OKButton.Click());
    });
    Script.DriveFont([&](HWND dialog) {
      shown = {ItemText(dialog, cmb1), ItemText(dialog, cmb2),
               _wtoi(ItemText(dialog, cmb3).c_str())};
      if (pick) pick(dialog);
      SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    Form->PerformCommand(ID_OPTIONS);
    return shown;
  };
  // The dialog opens on what the list draws; OK there and in Options leaves the list as it was.
  const auto okUnchanged = [&](const std::wstring& name, int size,
                               const std::wstring& style = L"Regular") {
    SCOPED_TRACE(ui::ToUtf8(name));
    const std::wstring face = DrawnFace(List());
    const std::vector<DWORD> before = ListPixels(List());
    const Shown shown = changeFont({});
    EXPECT_EQ(shown.Face, face);
    EXPECT_EQ(shown.Size, size);
    EXPECT_EQ(shown.Style, style);
    EXPECT_TRUE(ListPixels(List()) == before) << "OK without a change redrew the list";
    EXPECT_EQ(Form->ListView.FontName(), name);
    EXPECT_EQ(Form->ListView.FontSize(), size);
  };
  // Aliases the dialog does not list.
  for (const auto& [name, size] :
       std::vector<std::pair<std::wstring, int>>{{L"MS Sans Serif", 8}, {L"MS Shell Dlg", 10}}) {
    Form->ListView.SetFontName(name);
    Form->ListView.SetFontSize(size);
    okUnchanged(name, size);
  }
  // A choice made there reaches the list; then the dialog opens on that face, which it lists.
  const std::vector<DWORD> before = ListPixels(List());
  changeFont([&](HWND dialog) {
    Choose(dialog, cmb1, L"Liberation Serif");
    Choose(dialog, cmb3, L"14");
  });
  EXPECT_EQ(Form->ListView.FontName(), L"Liberation Serif");
  EXPECT_EQ(Form->ListView.FontSize(), 14);
  EXPECT_EQ(DrawnFace(List()), L"Liberation Serif");
  EXPECT_FALSE(ListPixels(List()) == before);
  okUnchanged(L"Liberation Serif", 14);
  // The whole font reaches the list, its style too, for the session.
  changeFont([&](HWND dialog) { Choose(dialog, cmb2, L"Bold Italic"); });
  const LOGFONTW font = Form->ListView.Font();
  EXPECT_EQ(std::pair(font.lfWeight, font.lfItalic), std::pair(LONG{FW_BOLD}, BYTE{TRUE}));
  okUnchanged(L"Liberation Serif", 14, L"Bold Italic");
}
