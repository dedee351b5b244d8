// Settings stores and value text, on a scratch INI file and scratch registry roots.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "tests/app/scratch.h"

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

TEST(SettingText, ColoursAreDollarHexWithAtLeastSixDigits) {
  EXPECT_EQ(ColorToSetting(0x0000FF), L"$0000FF");
  EXPECT_EQ(ColorToSetting(0xE0E0E0), L"$E0E0E0");
  EXPECT_EQ(ColorToSetting(ui::clWindow), L"$FF000005");
  EXPECT_EQ(BoolToSetting(true), L"1");
  EXPECT_EQ(IntToSetting(-3), L"-3");
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
}
