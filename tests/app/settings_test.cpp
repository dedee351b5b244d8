// Loading and saving the main window's settings over the three stores; the stores, the value
// text and the save settings dialog.
#include <gtest/gtest.h>

#include "app/saveconf.h"
#include "app/settings.h"
#include "tests/app/main_fixture.h"
#include "tests/app/scratch.h"

TEST_F(MainFormTest, LaterStoresOverrideValueByValue) {
  WriteIni(L"General", L"SortMode", L"1");
  WriteIni(L"General", L"CodeMode", L"1");
  WriteIni(L"General", L"AutoHash", L"0");
  WriteIni(L"General", L"Encoding", L"1252");
  WriteIni(L"General", L"EvenColor", L"$00FF00");
  WriteReg(Machine.Root(), L"General", L"SortMode", L"2");
  WriteReg(Machine.Root(), L"General", L"CodeMode", L"2");
  WriteReg(Machine.Root(), L"General", L"FontName", L"Tahoma");
  WriteReg(User.Root(), L"General", L"SortMode", L"3");
  WriteReg(User.Root(), L"General", L"FontSize", L"10");
  auto f = NewForm();
  EXPECT_EQ(f->SortMode, 3);
  EXPECT_EQ(f->CodeMode, 2);
  EXPECT_FALSE(f->AutoHash);
  EXPECT_EQ(f->Encoding, 1252);  // the later stores lack it: the earlier value stays
  EXPECT_EQ(f->EvenColor, 0x00FF00);
  EXPECT_EQ(f->ListView.FontName(), L"Tahoma");
  EXPECT_EQ(f->ListView.FontSize(), 10);
  EXPECT_TRUE(f->TipOfDay);  // every other value keeps its default
  EXPECT_TRUE(f->ExLowCase);
}

TEST_F(MainFormTest, UnparsableAndMissingValuesKeepWhatWasThere) {
  WriteIni(L"General", L"SortMode", L"4");
  WriteReg(Machine.Root(), L"General", L"SortMode", L"abc");
  WriteReg(User.Root(), L"General", L"SortMode", L"");
  WriteIni(L"General", L"TipIndex", L"$1F");
  WriteIni(L"General", L"AbbrSize", L"2");  // any non-zero number is true
  WriteIni(L"General", L"ThouSize", L"yes");
  WriteIni(L"General", L"FontName", L"");
  WriteIni(L"General", L"RighSize", L"0");
  WriteIni(L"General", L"ToolText", L"1");
  WriteIni(L"General", L"BackColor", L"$C0C0C0");
  WriteIni(L"MainWindow", L"Width", L"x");
  WriteIni(L"MainWindow", L"Height", L"333");
  auto f = NewForm();
  EXPECT_EQ(f->SortMode, 4);
  EXPECT_EQ(f->TipIndex, 31);
  EXPECT_TRUE(f->AbbrSize);
  EXPECT_TRUE(f->ThouSize);
  EXPECT_EQ(f->ListView.FontName(), L"MS Sans Serif");
  EXPECT_FALSE(f->RighSize());
  EXPECT_TRUE(f->ToolText());
  EXPECT_EQ(f->ListView.BackColor(), 0xC0C0C0);
  RECT r = f->Bounds();
  EXPECT_EQ(r.bottom - r.top, 333);
  EXPECT_EQ(r.right - r.left, 760);  // the width that did not parse
}

TEST_F(MainFormTest, SavedValuesUseTheirTextForms) {
  auto f = NewForm();
  f->SortMode = -3;
  f->ShowCode = true;
  f->RecentFolders = {L"C:\\data\\"};
  TIniStore ini(Ini());
  ASSERT_TRUE(f->SaveSettings(ini));
  EXPECT_EQ(ReadIni(L"General", L"SortMode"), L"-3");
  EXPECT_EQ(ReadIni(L"General", L"ShowCode"), L"1");
  EXPECT_EQ(ReadIni(L"General", L"CodeSkip"), L"0");
  EXPECT_EQ(ReadIni(L"General", L"EvenColor"), L"$E0E0E0");
  EXPECT_EQ(ReadIni(L"General", L"FailColor"), L"$0000FF");
  EXPECT_EQ(ReadIni(L"General", L"InvalidColor"), L"$000080");
  EXPECT_EQ(ReadIni(L"General", L"BackColor"), L"$FF000005");
  EXPECT_EQ(ReadIni(L"General", L"RighSize"), L"1");
  EXPECT_EQ(ReadIni(L"General", L"FontName"), L"MS Sans Serif");
  EXPECT_EQ(ReadIni(L"General", L"FontSize"), L"8");
  EXPECT_EQ(ReadIni(L"MainWindow", L"WindowState"), L"0");
  EXPECT_EQ(ReadIni(L"MainWindow", L"Width"), L"760");
  EXPECT_EQ(ReadIni(L"Columns", L"7"), L"50");   // "Hash", shown eighth
  EXPECT_EQ(ReadIni(L"Columns", L"2"), L"220");  // "Hash Value", shown third
  EXPECT_EQ(ReadIni(L"RecentFolders", L"C:\\data\\"), L"");
  // The General values come first, in their table's order.
  TSettingValues g = ini.ReadSection(L"General");
  ASSERT_EQ(g.size(), 35u);
  EXPECT_EQ(g.front().first, L"SortMode");
  EXPECT_EQ(g.back().first, L"FontSize");

  // Everything written comes back.
  auto h = NewForm();
  EXPECT_EQ(h->SortMode, -3);
  EXPECT_TRUE(h->ShowCode);
  EXPECT_EQ(h->RecentFolders, f->RecentFolders);
}

TEST_F(MainFormTest, AMaximizedWindowSavesOnlyItsStateAMinimizedOneItsNormalBounds) {
  auto f = NewForm();
  f->SetBounds(30, 40, 700, 500);
  f->SetVisible(true);
  f->SetWindowState(wsMaximized);
  TIniStore ini(Ini());
  f->SaveSettings(ini);
  EXPECT_EQ(ReadIni(L"MainWindow", L"WindowState"), L"2");
  EXPECT_EQ(ReadIni(L"MainWindow", L"Top"), L"<missing>");
  EXPECT_EQ(ReadIni(L"MainWindow", L"Width"), L"<missing>");
  EXPECT_EQ(NewForm()->SavedWindowState, wsMaximized);

  f->SetWindowState(wsMinimized);
  f->SaveSettings(ini);
  EXPECT_EQ(ReadIni(L"MainWindow", L"WindowState"), L"1");
  EXPECT_EQ(ReadIni(L"MainWindow", L"Width"), L"700");
  EXPECT_EQ(ReadIni(L"MainWindow", L"Height"), L"500");
  // Not the far-off place of the minimized window.
  EXPECT_LT(std::abs(_wtoi(ReadIni(L"MainWindow", L"Left").c_str()) - 30), 200);
}

TEST_F(MainFormTest, AutoSaveAfterCloseKeepsTheStateTheWindowHad) {
  WriteIni(L"General", L"AutoSave", L"1");
  {
    auto f = NewForm();
    f->SetVisible(true);
    ShowWindow(f->Handle(), SW_MAXIMIZE);  // as the user's click on the maximize box
    f->Close();
    EXPECT_FALSE(f->Visible());
  }
  auto user = TRegistryStore::OpenForRead(User.Root(), L"");
  TSettingValues w = user->ReadSection(L"MainWindow");
  EXPECT_EQ(FindSetting(w, L"WindowState"), L"2");
  EXPECT_EQ(FindSetting(w, L"Width"), L"");
}

TEST_F(MainFormTest, ColumnsAreTakenOnlyWhole) {
  // Writes the section afresh and returns the widths of a new window's columns.
  const auto widths = [&](std::vector<std::pair<std::wstring, int>> values) {
    DeleteFileW(Ini().c_str());
    for (const auto& [name, width] : values)
      WriteIni(L"Columns", name.c_str(), std::to_wstring(width).c_str());
    auto f = NewForm();
    std::vector<int> w;
    for (int i = 0; i < 9; ++i) w.push_back(f->ListView.ColumnWidth(i));
    EXPECT_EQ(f->ListView.ColumnPosition(0), w[0] == 100 ? 8 : 0);
    return w;
  };
  const std::vector<int> defaults{200, 60, 50, 80, 220, 60, 70, 60, 50};
  // Nine values, the columns in reverse order, are taken; eight are ignored.
  std::vector<std::pair<std::wstring, int>> values;
  for (int i = 0; i < 9; ++i) values.push_back({std::to_wstring(8 - i), 100 + i});
  EXPECT_EQ(widths(values), std::vector<int>({100, 101, 102, 103, 104, 105, 106, 107, 108}));
  values.pop_back();
  EXPECT_EQ(widths(values), defaults);
  // A name that is no number ends the loop: the columns before it keep what was set.
  values = {{L"0", 150}, {L"1", 151}, {L"two", 152}};
  for (int i = 3; i < 9; ++i) values.push_back({std::to_wstring(i), 99});
  EXPECT_EQ(widths(values), std::vector<int>({150, 151, 50, 80, 220, 60, 70, 60, 50}));
  values[0].first = L"first";
  EXPECT_EQ(widths(values), defaults);
}

TEST_F(MainFormTest, ReorderedColumnsComeBackAsSaved) {
  TIniStore ini(Ini());
  auto f = NewForm();
  ASSERT_TRUE(f->SaveSettings(ini));
  f->ListView.SetColumnPosition(2, 0);  // "Hash" to the front
  f->ListView.SetColumnWidth(2, 90);
  ASSERT_TRUE(f->SaveSettings(ini));  // over the values of the first save
  auto g = NewForm();
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(g->ListView.ColumnPosition(i), f->ListView.ColumnPosition(i)) << i;
    EXPECT_EQ(g->ListView.ColumnWidth(i), f->ListView.ColumnWidth(i)) << i;
  }
}

TEST_F(MainFormTest, RecentFoldersWithAnyCharactersSurviveSaveAndLoad) {
  const std::vector<std::wstring> folders{L"C:\\\u00dcbersicht\\", L"D:\\\u65e5\u672c\u8a9e\\",
                                          L"E:\\\U0001F4C1 emoji\\", L"\\\\server\\share\\"};
  auto f = NewForm();
  f->RecentFolders = folders;
  TIniStore ini(Ini());
  ASSERT_TRUE(f->SaveSettings(ini));
  auto user = TRegistryStore::OpenForWrite(User.Root(), L"HKCU");
  ASSERT_TRUE(f->SaveSettings(*user));
  user.reset();
  f.reset();
  // Through the INI file alone.
  auto g = NewForm();
  EXPECT_EQ(g->RecentFolders.size(), folders.size());
  for (const auto& folder : folders)
    EXPECT_NE(std::find(g->RecentFolders.begin(), g->RecentFolders.end(), folder),
              g->RecentFolders.end());
  // A store without folders keeps the history of the earlier ones.
  RegDeleteTreeW(User.Root(), L"Software\\Jurnvalt\\RecentFolders");
  EXPECT_EQ(NewForm()->RecentFolders, folders);
}

TEST_F(MainFormTest, SaveSettingsNowWritesTheChosenStore) {
  auto f = NewForm();
  f->SortMode = 5;
  Script.AnswerDialog([](ui::Dialog& d) {
    auto& form = static_cast<TSaveConfForm&>(d);
    EXPECT_TRUE(form.CUButton.Checked());
    EXPECT_TRUE(form.LMButton.Enabled());
    form.INIButton.Click();
    form.OKButton.Click();
  });
  f->PerformCommand(ID_OPTS_SAVE);
  EXPECT_EQ(Script.Asked()[0].DialogId, IDD_SAVECONF);
  EXPECT_EQ(Script.Asked()[0].Caption, L"Save current settings");
  EXPECT_EQ(ReadIni(L"General", L"SortMode"), L"5");
  EXPECT_TRUE(TRegistryStore::OpenForRead(User.Root(), L"")->ReadSection(L"General").empty());

  Script.AnswerDialog([](ui::Dialog& d) { static_cast<TSaveConfForm&>(d).OKButton.Click(); });
  EXPECT_TRUE(f->SaveSettingsNow());
  auto user = TRegistryStore::OpenForRead(User.Root(), L"");
  EXPECT_EQ(FindSetting(user->ReadSection(L"General"), L"SortMode"), L"5");

  f->SortMode = 6;
  Script.AnswerDialog([](ui::Dialog& d) { SendMessageW(d.Handle(), WM_CLOSE, 0, 0); });
  EXPECT_FALSE(f->SaveSettingsNow());
  EXPECT_EQ(ReadIni(L"General", L"SortMode"), L"5");
}

TEST_F(MainFormTest, APerMachineKeyWithoutWriteAccessCannotBeChosen) {
  TProgramEnv e = Env();
  e.MachineRoot = NoSuchKey();
  TMainForm f(e);
  Script.AnswerDialog([&](ui::Dialog& d) {
    auto& form = static_cast<TSaveConfForm&>(d);
    EXPECT_FALSE(form.LMButton.Enabled() || form.LMButton.Click());
    form.CancelButton.Click();
  });
  f.SaveSettingsNow();
}

TEST(SaveConfForm, ADialogTheScriptLeavesOpenIsAFailureAndCancels) {
  ui::Script script;
  TSaveConfForm form(nullptr);
  script.AnswerDialog([&](ui::Dialog&) { form.INIButton.Click(); });
  EXPECT_EQ(form.ShowModal(), IDCANCEL);
  ASSERT_EQ(script.Failures().size(), 1u);
  EXPECT_FALSE(form.Visible());
}

TEST_F(MainFormTest, AStoreThatCannotBeWrittenIsNamedInAnErrorBox) {
  TProgramEnv e = Env();
  e.ProgramPath = Dir.Path() + L"\\missing folder\\jurnvalt.exe";
  TMainForm f(e);
  Script.AnswerDialog([](ui::Dialog& d) {
    auto& form = static_cast<TSaveConfForm&>(d);
    form.INIButton.Click();
    form.OKButton.Click();
  });
  EXPECT_TRUE(f.SaveSettingsNow());
  ASSERT_EQ(Script.Asked().size(), 2u);
  EXPECT_EQ(Script.Asked()[1].Type, ui::MsgType::Error);
  EXPECT_EQ(Script.Asked()[1].Text, L"The settings could not be written to " + Dir.Path() +
                                        L"\\missing folder\\jurnvalt.ini.");
}

TEST_F(MainFormTest, AutoSaveWritesThePerUserStoreAtTheEnd) {
  WriteIni(L"General", L"AutoSave", L"1");
  {
    auto f = NewForm();
    f->TipIndex = 2;
  }
  auto user = TRegistryStore::OpenForRead(User.Root(), L"");
  EXPECT_EQ(FindSetting(user->ReadSection(L"General"), L"TipIndex"), L"2");
  EXPECT_EQ(FindSetting(user->ReadSection(L"General"), L"AutoSave"), L"1");
  EXPECT_EQ(ReadIni(L"General", L"TipIndex"), L"<missing>");

  // A per-user key that cannot be written is reported by name.
  TProgramEnv e = Env();
  e.UserRoot = NoSuchKey();
  { TMainForm f(e); }
  ASSERT_EQ(Script.Asked().size(), 1u);
  EXPECT_EQ(Script.Asked()[0].Text,
            L"The settings could not be written to HKCU\\Software\\Jurnvalt.");
}

// The stores and the value text on their own ---------------------------------------------

TEST(SettingText, ParsesOnlyWholeThirtyTwoBitIntegers) {
  int32_t v = 99;
  EXPECT_TRUE(TryParseSetting(L"-3", v));
  EXPECT_EQ(v, -3);
  EXPECT_TRUE(TryParseSetting(L"$00FF00", v));
  EXPECT_EQ(v, 0x00FF00);
  EXPECT_TRUE(TryParseSetting(L"$FF000005", v));
  EXPECT_EQ(v, static_cast<int32_t>(0xFF000005u));
  EXPECT_TRUE(TryParseSetting(L"-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  v = 7;
  for (const wchar_t* bad : {L"", L"abc", L"12a", L" 1", L"1 ", L"$", L"$G0", L"-", L"2147483648",
                             L"$100000000", L"1.5"})
    EXPECT_FALSE(TryParseSetting(bad, v)) << bad;
  EXPECT_EQ(v, 7);
}

TEST(SettingText, FolderNamesTravelAsUtf8Bytes) {
  std::wstring folder = L"C:\\\u00dcber\\\u65e5\u672c\\\U0001F600\\";
  std::wstring stored = EncodeFolderName(folder);
  for (wchar_t c : stored) EXPECT_LE(c, 0xFF);
  EXPECT_EQ(stored.substr(0, 5), L"C:\\\u00c3\u009c");
  EXPECT_EQ(DecodeFolderName(stored), folder);
  // A name typed into the store by hand is kept as it stands.
  EXPECT_EQ(DecodeFolderName(L"D:\\\u65e5\\"), L"D:\\\u65e5\\");
  EXPECT_EQ(DecodeFolderName(L"D:\\\u00ff\\"), L"D:\\\u00ff\\");
}

TEST(SettingsStore, IniKeepsOrderCaseInsensitiveNamesAndAnyCharacter) {
  ScratchDir dir;
  TIniStore ini(dir.Path() + L"\\jurnvalt.ini");
  EXPECT_TRUE(ini.ReadSection(L"General").empty());
  ASSERT_TRUE(ini.WriteString(L"General", L"SortMode", L"3"));
  ASSERT_TRUE(ini.WriteString(L"General", L"FontName", L"\u30e1\u30a4\u30ea\u30aa"));
  ASSERT_TRUE(ini.WriteString(L"RecentFolders", L"C:\\\u00c3\u009c", L""));
  ASSERT_TRUE(ini.WriteString(L"General", L"sortmode", L"4"));  // same value, other case
  TSettingValues g = ini.ReadSection(L"general");
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(FindSetting(g, L"SORTMODE"), L"4");
  EXPECT_EQ(FindSetting(g, L"FontName"), L"\u30e1\u30a4\u30ea\u30aa");
  EXPECT_EQ(FindSetting(g, L"Missing"), L"");
  TSettingValues r = TIniStore(ini.Name()).ReadSection(L"RecentFolders");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].first, L"C:\\\u00c3\u009c");
}

TEST(SettingsStore, RegistryKeyUnderItsRoot) {
  ScratchRegistry reg;
  auto missing = TRegistryStore::OpenForRead(reg.Root(), L"HKLM");
  EXPECT_TRUE(missing->ReadSection(L"General").empty());
  EXPECT_FALSE(missing->WriteString(L"General", L"A", L"1"));  // opened for reading only

  auto w = TRegistryStore::OpenForWrite(reg.Root(), L"HKLM");
  ASSERT_TRUE(w);
  EXPECT_EQ(w->Name(), L"HKLM\\Software\\Jurnvalt");
  EXPECT_TRUE(w->WriteString(L"Columns", L"2", L"220"));
  EXPECT_TRUE(w->WriteString(L"Columns", L"0", L"200"));
  w.reset();
  auto r = TRegistryStore::OpenForRead(reg.Root(), L"HKLM");
  TSettingValues c = r->ReadSection(L"Columns");
  // The registry decides the order (Wine sorts names), so look values up by name.
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(FindSetting(c, L"2"), L"220");
  EXPECT_EQ(FindSetting(c, L"0"), L"200");
  EXPECT_FALSE(r->EraseSection(L"Columns"));  // opened for reading only
  w = TRegistryStore::OpenForWrite(reg.Root(), L"HKLM");
  EXPECT_TRUE(w->EraseSection(L"Columns"));
  EXPECT_TRUE(w->EraseSection(L"Columns"));  // none is nothing to remove
  EXPECT_TRUE(r->ReadSection(L"Columns").empty());
}
