// The main window's construction, lifecycle, tray icon and menus, driven in-process.
#include <gtest/gtest.h>

#include <functional>

#include "app/saveconf.h"
#include "tests/app/main_fixture.h"
#include "ui/app.h"

namespace {

std::vector<std::wstring> MenuCaptions(HMENU menu) {
  std::vector<std::wstring> v;
  for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i)
    v.push_back(ui::MenuItemCaption(menu, i, true));
  return v;
}

// The pixels of a window, its border included, as they stand on the screen now.
std::vector<uint32_t> ScreenPixels(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC screen = GetDCEx(window, nullptr, DCX_WINDOW | DCX_CACHE);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<uint32_t*>(bits),
                               static_cast<uint32_t*>(bits) + width * height);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  DeleteObject(bitmap);
  return pixels;
}

// Shows the window at that size and lets everything in it paint.
void ShowAtSize(TMainForm& f, int width, int height) {
  f.Activated = true;  // the window is not to run its first activation
  SetWindowPos(f.Handle(), nullptr, 0, 0, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  RedrawWindow(f.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// What a close request met while the File menu was open; runs on a timer inside the menu's loop.
struct CloseInAMenu {
  static inline HWND Main;
  static inline bool Requested, MenuStayed;
  static bool MenuShown() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu);
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (!MenuShown()) return;
    if (!Requested) {
      Requested = true;
      PostMessageW(Main, WM_CLOSE, 0, 0);
      return;
    }
    // The request was handled (timers come after posted messages) and the menu is still open.
    MenuStayed = true;
    EndMenu();
  }
};

}  // namespace

TEST_F(MainFormTest, FreshStartHasTheDefaults) {
  auto f = NewForm();
  EXPECT_EQ(std::vector<int>({f->SortMode, f->Encoding, f->CodeMode, f->TipIndex, f->ExFormat,
                              f->ExLineEnd, f->ExDelimit, f->ExDefName}),
            std::vector<int>(8, 0));
  EXPECT_TRUE(f->ExLowCase && f->AutoHash && f->AbbrSize && f->ThouSize && f->TipOfDay);
  EXPECT_FALSE(f->CodeSkip || f->ShowCode || f->AutoSave || f->Activated);
  EXPECT_FALSE(f->SmothWin || f->StartMin || f->Min2Tray || f->Deleting);
  EXPECT_TRUE(f->RecentFolders.empty());
  EXPECT_TRUE(f->CanRun);
  EXPECT_TRUE(f->MSSAXPresent && f->UseMSSAX);  // Wine ships MSXML
  const std::vector<ui::Color> colors{
      f->EvenColor,    f->FailColor,    f->WarnColor,    f->ErrorColor,   f->TouchedColor,
      f->UpdatedColor, f->ChangedColor, f->NewFileColor, f->InvalidColor, f->ValidColor};
  EXPECT_EQ(colors, (std::vector<ui::Color>{0xE0E0E0, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000,
                                            0xFF00FF, 0x0000FF, 0xFF0000, 0x000080, 0x008000}));
  EXPECT_EQ(f->SavedWindowState, wsNormal);
  EXPECT_TRUE(f->RighSize());
  EXPECT_FALSE(f->ToolText());
  // Columns by index: File, State, Hash, Encoding, Hash Value, File Size, Date, Time, Notes.
  const std::vector<std::wstring> captions{L"File",     L"State",      L"Hash",
                                           L"Encoding", L"Hash Value", L"File Size",
                                           L"Date",     L"Time",       L"Notes"};
  const std::vector<int> widths{200, 60, 50, 80, 220, 60, 70, 60, 50};
  const std::vector<int> positions{0, 1, 7, 8, 2, 3, 4, 5, 6};
  ui::ListView& lv = f->ListView;
  ASSERT_EQ(lv.ColumnCount(), 9);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(lv.ColumnCaption(i), captions[i]);
    EXPECT_EQ(std::vector<int>({lv.ColumnWidth(i), lv.ColumnPosition(i), lv.ColumnTag(i)}),
              std::vector<int>({widths[i], positions[i], i + 1}));
    EXPECT_EQ(lv.ColumnAlignment(i), i == 5 ? LVCFMT_RIGHT : LVCFMT_LEFT);
  }
  EXPECT_EQ(f->ListView.BackColor(), ui::clWindow);
  EXPECT_EQ(f->ListView.FontName(), L"MS Sans Serif");
  EXPECT_EQ(f->ListView.FontSize(), 8);
  EXPECT_EQ(f->FileList->GetCount(), 0);
  // The tray record: the first and smallest form of the system's record.
  EXPECT_EQ(f->TrayIconData.cbSize, NOTIFYICONDATAA_V1_SIZE);
  EXPECT_EQ(f->TrayIconData.uID, 123u);
  EXPECT_EQ(f->TrayIconData.uFlags, 7u);
  EXPECT_EQ(f->TrayIconData.uCallbackMessage, 1357u);
  EXPECT_EQ(f->TrayIconData.hWnd, f->Handle());
  EXPECT_STREQ(f->TrayIconData.szTip, "Click to restore Jurnvalt 2.0");
  EXPECT_NE(f->TrayIcon, nullptr);
}

TEST_F(MainFormTest, WithoutTheXmlReaderTheBuiltInParserIsUsed) {
  WriteIni(L"General", L"UseMSSAX", L"1");
  TProgramEnv e = Env();
  e.SAXReaderClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  TMainForm f(e);
  EXPECT_FALSE(f.MSSAXPresent);
  EXPECT_FALSE(f.UseMSSAX);
}

TEST_F(MainFormTest, UninstallSurveyCountsOnlyAsTheOnlyParameter) {
  EXPECT_FALSE(NewForm({L"/uninstallsurvey"})->CanRun);
  EXPECT_TRUE(NewForm({L"/uninstallsurvey", L"x.#ml"})->CanRun);
  EXPECT_TRUE(NewForm({L"x.#ml", L"/uninstallsurvey"})->CanRun);
  EXPECT_TRUE(NewForm({L"/UninstallSurvey"})->CanRun);
  EXPECT_TRUE(NewForm()->CanRun);
  // The parameters come from the command line split as the C runtime splits it.
  EXPECT_EQ(SplitCommandLine(L"\"C:\\Program Files\\jv.exe\" /uninstallsurvey"),
            (std::vector<std::wstring>{L"/uninstallsurvey"}));
  EXPECT_EQ(SplitCommandLine(L"jv.exe \"\" -x \"C:\\My Files\\\"  b"),
            (std::vector<std::wstring>{L"", L"-x", L"C:\\My Files\\", L"b"}));
  EXPECT_TRUE(SplitCommandLine(L"jv.exe   ").empty());
}

TEST_F(MainFormTest, HashMenusListTheRegistriesInOrder) {
  auto f = NewForm();
  const std::vector<std::wstring> types{L"MD5", L"CRC32", L"SHA1"};
  const std::vector<std::wstring> codes{L"Hexadecimal", L"MIME Base 64", L"UU Coding",
                                        L"XX Coding"};
  EXPECT_EQ(MenuCaptions(f->EditHashItem), types);
  EXPECT_EQ(MenuCaptions(f->MenuHashItem), types);
  EXPECT_EQ(MenuCaptions(f->EditCodeItem), codes);
  EXPECT_EQ(MenuCaptions(f->MenuCodeItem), codes);
  EXPECT_EQ(MenuCaptions(NewForm()->EditHashItem),
            types);  // a second window registers nothing twice
}

TEST_F(MainFormTest, CaptionShowsTheVersionAndTheDocumentsPath) {
  TProgramEnv e = Env();
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);  // carries the program's version resource
  e.ProgramPath = self;
  TMainForm f(e);
  EXPECT_EQ(f.Caption(), L"Jurnvalt 2.0.1");
  EXPECT_EQ(ui::Application::Get().Title(), L"Jurnvalt 2.0.1");
  f.FileList->ListFileName = L"C:\\data\\sums.#ml";
  f.UpdateCaption();
  EXPECT_EQ(f.Caption(), L"Jurnvalt 2.0.1 - C:\\data\\sums.#ml");
}

TEST_F(MainFormTest, StartMinimizedToTrayAndRestoreByClick) {
  WriteIni(L"General", L"StartMin", L"1");
  WriteIni(L"General", L"Min2Tray", L"1");
  auto& app = ui::Application::Get();
  app.ShowMainForm = true;
  auto f = NewForm();
  EXPECT_FALSE(app.ShowMainForm);
  EXPECT_TRUE(f->TrayIconShown());
  EXPECT_EQ(f->WindowState(), wsMinimized);
  EXPECT_FALSE(f->Visible());
  SendMessageW(f->Handle(), WM_TRAYICON, 123, WM_MOUSEMOVE);  // ignored
  EXPECT_TRUE(f->TrayIconShown());
  SendMessageW(f->Handle(), WM_TRAYICON, 123, WM_RBUTTONUP);
  EXPECT_FALSE(f->TrayIconShown());
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(f->WindowState(), wsNormal);
  app.ShowMainForm = true;
}

TEST_F(MainFormTest, MinimizeGoesToTheTrayOnlyWithMin2Tray) {
  auto& app = ui::Application::Get();
  auto f = NewForm();
  app.SetMainForm(f.get());
  f->SetVisible(true);
  SendMessageW(f->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(f->WindowState(), wsMinimized);
  EXPECT_TRUE(f->Visible());
  EXPECT_FALSE(f->TrayIconShown());
  SendMessageW(f->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);

  f->Min2Tray = true;
  SendMessageW(f->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(f->Visible());
  EXPECT_TRUE(f->TrayIconShown());
  SendMessageW(f->Handle(), WM_TRAYICON, 123, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_FALSE(f->TrayIconShown());
  app.SetMainForm(nullptr);
}

TEST_F(MainFormTest, FirstActivationAppliesTheSavedStateOnce) {
  WriteIni(L"MainWindow", L"WindowState", L"2");
  auto f = NewForm();
  EXPECT_EQ(f->SavedWindowState, wsMaximized);
  f->SetVisible(true);
  EXPECT_EQ(f->WindowState(), wsNormal);  // the state changes only at first activation
  f->TntFormActivate();
  EXPECT_TRUE(f->Activated);
  EXPECT_EQ(f->WindowState(), wsMaximized);
  SendMessageW(f->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  f->TntFormActivate();  // a second activation does nothing
  EXPECT_EQ(f->WindowState(), wsNormal);
}

TEST_F(MainFormTest, CloseAsksAboutAModifiedDocument) {
  auto f = NewForm();
  f->SetVisible(true);
  f->Close();  // unmodified: closes without a question
  EXPECT_FALSE(f->Visible());
  EXPECT_TRUE(Script.Asked().empty());

  f->SetVisible(true);
  f->FileList->Modified = true;
  Script.AnswerMessage(IDCANCEL);
  f->PerformCommand(ID_FILE_EXIT);
  EXPECT_TRUE(f->Visible());
  ASSERT_EQ(Script.Asked().size(), 1u);
  EXPECT_EQ(Script.Asked()[0].Text, L"Checksum file has been modified. Save changes?");
  EXPECT_EQ(Script.Asked()[0].Buttons, ui::MsgButtons::YesNoCancel);

  // A close whose save fails is no close, whichever way it comes (File > Exit, Alt+F4, a close
  // request from another program, the end of the session): the window stays with the document
  // as it was, and the next close asks again.
  const std::wstring sums = Dir.Path() + L"\\sums.#ml";
  CloseHandle(CreateFileW(sums.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  SetFileAttributesW(sums.c_str(), FILE_ATTRIBUTE_READONLY);
  f->FileList->ListFileName = sums;
  const HWND window = f->Handle();
  const std::function<void()> closes[] = {
      [&] { f->PerformCommand(ID_FILE_EXIT); },
      [&] { SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); },
      [&] {
        PostMessageW(window, WM_CLOSE, 0, 0);
        ui::ProcessMessages();
      },
      [&] { EXPECT_FALSE(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF)); }};
  for (const auto& close : closes) {
    Script.Clear();
    Script.AnswerMessage(IDYES);
    close();
    EXPECT_TRUE(IsWindow(window) && IsWindowVisible(window));
    EXPECT_TRUE(f->FileList->Modified);
    ASSERT_EQ(Script.Asked().size(), 2u);
    EXPECT_NE(Script.Asked()[1].Text.find(L"\"" + sums + L"\""), std::wstring::npos);
  }
  SetFileAttributesW(sums.c_str(), FILE_ATTRIBUTE_NORMAL);
  Script.Clear();
  Script.AnswerMessage(IDNO);
  EXPECT_TRUE(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
  ASSERT_EQ(Script.Asked().size(), 1u);
  Script.AnswerMessage(IDNO);
  f->Close();
  EXPECT_FALSE(f->Visible());
}

TEST_F(MainFormTest, CommandsWithoutAHandlerAreDisabled) {
  auto f = NewForm();
  ui::Application::Get().Idle();
  EXPECT_TRUE(ui::MenuItemEnabled(f->MainMenu, ID_OPTS_SAVE, false));
  EXPECT_TRUE(ui::MenuItemEnabled(f->MainMenu, ID_FILE_EXIT, false));
  f->Action(ID_FILE_NEW).OnExecute = nullptr;
  ui::Application::Get().Idle();
  EXPECT_FALSE(ui::MenuItemEnabled(f->MainMenu, ID_FILE_NEW, false));
  EXPECT_FALSE(f->ToolBar.ButtonEnabled(ID_FILE_NEW));
  EXPECT_EQ(ui::MenuItemCaption(f->MainMenu, ID_FILE_OPEN, false), L"&Open...\tCtrl+O");
  EXPECT_EQ(ui::MenuItemCaption(f->MainMenu, ID_EDIT_DELETE, false), L"Delete\tCtrl+Del");
  EXPECT_EQ(f->Action(ID_OPTS_SAVE).Hint, L"Save current programm settings");
}

// After a resize, in either direction, the status bar and the list with its header and border
// look exactly as in a window started at that size: no size grip and no header divider stay at
// the old right edge, and the list's border beside the header is whole.
TEST_F(MainFormTest, AfterAResizeTheBarsLookAsInAWindowStartedAtThatSize) {
  for (auto [from, to] :
       {std::pair{SIZE{1000, 700}, SIZE{1200, 800}}, std::pair{SIZE{1200, 800}, SIZE{1000, 700}}}) {
    auto resized = NewForm();
    ShowAtSize(*resized, from.cx, from.cy);
    SetWindowPos(resized->Handle(), nullptr, 0, 0, to.cx, to.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(resized->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const auto status = ScreenPixels(resized->StatusBar.Handle());
    const auto list = ScreenPixels(resized->ListView.Handle());
    resized.reset();
    auto started = NewForm();
    ShowAtSize(*started, to.cx, to.cy);
    EXPECT_TRUE(status == ScreenPixels(started->StatusBar.Handle())) << to.cx << "x" << to.cy;
    EXPECT_TRUE(list == ScreenPixels(started->ListView.Handle())) << to.cx << "x" << to.cy;
  }
}

// A close request while a menu is open ends the menu first, then closes the window as usual:
// the question about the modified document comes once the menu is gone, and the program's
// message loop gets its quit message.
TEST_F(MainFormTest, ACloseRequestWithAMenuOpenEndsTheMenuAndThenCloses) {
  auto& app = ui::Application::Get();
  auto f = NewForm();
  f->Activated = true;  // the window is not to run its first activation
  app.SetMainForm(f.get());
  f->SetVisible(true);
  f->FileList->Modified = true;
  bool menuAtQuestion = true;
  Script.AnswerMessage([&](const ui::Prompt&) {
    menuAtQuestion = CloseInAMenu::MenuShown();
    return IDNO;
  });
  CloseInAMenu::Main = f->Handle();
  CloseInAMenu::Requested = CloseInAMenu::MenuStayed = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 1, CloseInAMenu::Tick);
  SendMessageW(f->Handle(), WM_SYSCOMMAND, SC_KEYMENU, 'f');  // Alt+F: until the menu ends
  KillTimer(nullptr, timer);
  bool quit = false;
  MSG msg;
  while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    quit = msg.message == WM_QUIT;
    if (!quit) DispatchMessageW(&msg);
  }
  app.SetMainForm(nullptr);
  EXPECT_TRUE(CloseInAMenu::Requested);
  EXPECT_FALSE(CloseInAMenu::MenuStayed);
  EXPECT_FALSE(CloseInAMenu::MenuShown());
  ASSERT_EQ(Script.Asked().size(), 1u);
  EXPECT_FALSE(menuAtQuestion);
  EXPECT_FALSE(f->Visible());
  EXPECT_TRUE(quit);
}
