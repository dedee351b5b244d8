// Runs against the registry and the special folders of the test prefix; each test removes
// what it wrote.
#include "app/shlopts.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>

namespace fs = std::filesystem;

namespace {

const wchar_t* const Classes = L"Software\\Classes\\";

std::wstring FolderPath(int csidl) {
  wchar_t path[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  std::wstring p = path;
  if (csidl == CSIDL_APPDATA) p += L"\\Microsoft\\Internet Explorer\\Quick Launch";
  return p;
}

bool KeyPresent(HKEY root, const std::wstring& key) {
  HKEY k;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

std::optional<std::wstring> ReadSz(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t buf[2048];
  DWORD size = sizeof(buf);
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buf);
}

void WriteSz(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& data,
             DWORD type = REG_SZ) {
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetKeyValueW(root, key.c_str(), name, type, data.c_str(),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))));
}

std::set<std::wstring> ValueNames(HKEY root, const std::wstring& key) {
  std::set<std::wstring> names;
  HKEY k;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return names;
  wchar_t name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD len = 16384;
    if (RegEnumValueW(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.insert(name);
  }
  RegCloseKey(k);
  return names;
}

std::set<std::wstring> Links(const std::wstring& folder) {
  std::set<std::wstring> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().extension() == L".lnk") names.insert(e.path().filename().wstring());
  return names;
}

const std::pair<HKEY, std::wstring> WatchedKeys[] = {
    {HKEY_CURRENT_USER, RunKeyName},
    {HKEY_LOCAL_MACHINE, RunKeyName},
    {HKEY_CURRENT_USER, std::wstring(Classes) + L".#ml"},
    {HKEY_LOCAL_MACHINE, std::wstring(Classes) + L".#ml"},
    {HKEY_CURRENT_USER, std::wstring(Classes) + L".sfv"},
    {HKEY_LOCAL_MACHINE, std::wstring(Classes) + L".sfv"},
    {HKEY_CURRENT_USER, std::wstring(Classes) + L".md5"},
    {HKEY_LOCAL_MACHINE, std::wstring(Classes) + L".md5"},
    {HKEY_CURRENT_USER, std::wstring(Classes) + L"Jurnvalt"},
    {HKEY_LOCAL_MACHINE, std::wstring(Classes) + L"Jurnvalt"},
    {HKEY_CURRENT_USER, std::wstring(Classes) + L"OtherSums"},
    {HKEY_LOCAL_MACHINE, std::wstring(Classes) + L"OtherSums"},
};

const int WatchedFolders[] = {
    CSIDL_STARTUP,   CSIDL_COMMON_STARTUP,   CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_APPDATA};

class ShellIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    comInit_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    for (const auto& [root, key] : WatchedKeys)
      keys_.push_back({root, key, KeyPresent(root, key), ValueNames(root, key)});
    for (int f : WatchedFolders) folders_[f] = Links(FolderPath(f));
    quickExisted_ = fs::exists(FolderPath(CSIDL_APPDATA));

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = fs::path(temp) / L"jv shl test";
    fs::create_directories(dir_);
    Program = (dir_ / L"Jurnvalt.exe").wstring();
    CloseHandle(CreateFileW(Program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    SetEnvironmentVariableW(L"JV_SHL_DIR", dir_.c_str());
  }

  void TearDown() override {
    for (const auto& k : keys_) {
      if (!k.existed) {
        RegDeleteTreeW(k.root, k.key.c_str());
        continue;
      }
      HKEY h;
      if (RegOpenKeyExW(k.root, k.key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) continue;
      for (const auto& name : ValueNames(k.root, k.key))
        if (!k.values.count(name)) RegDeleteValueW(h, name.c_str());
      RegCloseKey(h);
    }
    for (const auto& [f, before] : folders_)
      for (const auto& name : Links(FolderPath(f)))
        if (!before.count(name)) fs::remove(fs::path(FolderPath(f)) / name);
    std::error_code ec;
    if (!quickExisted_) fs::remove(FolderPath(CSIDL_APPDATA), ec);
    fs::remove_all(dir_, ec);
    if (comInit_) CoUninitialize();
  }

  // A fresh integration state read from the system, as the dialog gets it on opening.
  std::unique_ptr<TShellIntegration> Load(bool allUsers = false, DWORD majorVersion = 6) {
    auto s = std::make_unique<TShellIntegration>();
    s->ProgramPath = Program;
    s->MajorVersion = majorVersion;
    s->NotifyAssocChanged = [this] { ++Notifications; };
    s->LoadIntegration();
    if (allUsers) {
      s->AllUsersBox = true;
      s->AllUsersBoxClick();
    }
    return s;
  }

  TAssItem& Item(TShellIntegration& s, const wchar_t* ext) {
    for (auto& item : s.AssListBox)
      if (item.Ass->Ext == ext) return item;
    throw std::runtime_error("no item");
  }

  // Opens the state, sets the extension's item to checked and applies; returns its record.
  TFileAss Associate(const wchar_t* ext, bool checked, bool allUsers = false) {
    auto s = Load(allUsers);
    TAssItem& item = Item(*s, ext);
    EXPECT_NE(checked, item.Checked) << ext;
    EXPECT_TRUE(item.Enabled) << ext;
    item.Checked = checked;
    s->ApplyIntegration();
    return *item.Ass;
  }

  void EnsureKey(HKEY root, const std::wstring& key) {
    HKEY h;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &h, nullptr));
    RegCloseKey(h);
  }

  // A file type of another program that opens checksum files.
  void AddOtherHandler(HKEY root, const std::wstring& ext, const std::wstring& type) {
    WriteSz(root, Classes + ext, nullptr, type);
    WriteSz(root, Classes + type + L"\\shell\\open\\command", nullptr,
            L"\"C:\\Other\\other.exe\" \"%1\"");
  }

  std::wstring Program;
  int Notifications = 0;

 private:
  struct Key {
    HKEY root;
    std::wstring key;
    bool existed;
    std::set<std::wstring> values;
  };
  std::vector<Key> keys_;
  std::map<int, std::set<std::wstring>> folders_;
  bool quickExisted_ = false;
  bool comInit_ = false;
  fs::path dir_;
};

TEST(ExpandEnvUpperTest, ExpandsUpperCasesAndTrims) {
  SetEnvironmentVariableW(L"JV_SHL_X", L"c:\\tools");
  EXPECT_EQ(L"C:\\TOOLS\\SUMS.EXE -A", ExpandEnvUpper(L" \t%JV_SHL_X%\\sums.exe -a \r\n"));
  EXPECT_EQ(L"%JV_SHL_UNSET%\\A", ExpandEnvUpper(L"%JV_SHL_unset%\\a"));
  // Longer than the first buffer.
  const std::wstring longDir(1500, L'd');
  SetEnvironmentVariableW(L"JV_SHL_X", longDir.c_str());
  const std::wstring r = ExpandEnvUpper(L"%JV_SHL_X%\\x");
  EXPECT_EQ(std::wstring(1500, L'D') + L"\\X", r);
  SetEnvironmentVariableW(L"JV_SHL_X", nullptr);
}

TEST_F(ShellIntegrationTest, RunValueOfAnyFormIsFoundAndRemovedUnderItsOwnName) {
  auto upper = [](std::wstring s) {
    CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
  };
  const std::wstring forms[] = {L"\"" + Program + L"\" /min", upper(Program),
                                L"%JV_SHL_DIR%\\jurnvalt.EXE -verify"};
  for (const std::wstring& data : forms) {
    SCOPED_TRACE(data);
    EnsureKey(HKEY_CURRENT_USER, RunKeyName);
    // A value that is no string comes first and is passed over.
    const DWORD number = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, RunKeyName, L"AAA Number", REG_DWORD, &number,
                    sizeof(number));
    WriteSz(HKEY_CURRENT_USER, RunKeyName, L"Another Tool", L"C:\\Other\\other.exe");
    WriteSz(HKEY_CURRENT_USER, RunKeyName, L"My Checker", data, REG_EXPAND_SZ);

    auto s = Load();
    EXPECT_TRUE(s->AutoBox.Checked);
    EXPECT_TRUE(s->AutoBox.Enabled);
    EXPECT_EQ(L"My Checker", s->AutoName);
    EXPECT_EQ(KindRun, s->AutoKind);
    EXPECT_EQ(ScopeUser, s->AutoScope);

    s->AutoBox.Checked = false;
    s->ApplyIntegration();
    const auto names = ValueNames(HKEY_CURRENT_USER, RunKeyName);
    EXPECT_FALSE(names.count(L"My Checker"));
    EXPECT_TRUE(names.count(L"Another Tool"));
    EXPECT_TRUE(names.count(L"AAA Number"));
    EXPECT_FALSE(names.count(DefaultLinkName));
    EXPECT_FALSE(Load()->AutoBox.Checked);
    RegDeleteTreeW(HKEY_CURRENT_USER, RunKeyName);
  }
}

TEST_F(ShellIntegrationTest, StartAtLogonScopes) {
  // Without a per-user Run key that place cannot be changed.
  RegDeleteTreeW(HKEY_CURRENT_USER, RunKeyName);
  EnsureKey(HKEY_LOCAL_MACHINE, RunKeyName);
  auto s = Load();
  EXPECT_FALSE(s->AutoBox.Checked);
  EXPECT_FALSE(s->AutoBox.Enabled);
  s->AllUsersBox = true;
  s->AllUsersBoxClick();
  EXPECT_TRUE(s->AutoBox.Enabled);
  EXPECT_FALSE(s->AutoBox.Checked);

  // A new entry goes where the box points, under the default name, as the bare path.
  s->AutoBox.Checked = true;
  s->ApplyIntegration();
  EXPECT_EQ(Program, ReadSz(HKEY_LOCAL_MACHINE, RunKeyName, DefaultLinkName));
  EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, RunKeyName));

  // Removal goes where it was found, whatever the box shows.
  EnsureKey(HKEY_CURRENT_USER, RunKeyName);
  s = Load();
  EXPECT_TRUE(s->AutoBox.Checked);
  EXPECT_EQ(ScopeAllUsers, s->AutoScope);
  s->AutoBox.Checked = false;
  s->ApplyIntegration();
  EXPECT_FALSE(ReadSz(HKEY_LOCAL_MACHINE, RunKeyName, DefaultLinkName));
  EXPECT_TRUE(ValueNames(HKEY_CURRENT_USER, RunKeyName).empty());
}

TEST_F(ShellIntegrationTest, StartupLinkWinsOverRunValueAndIsRemoved) {
  WriteSz(HKEY_CURRENT_USER, RunKeyName, L"Sums", Program);
  ChangeShortCut(CSIDL_STARTUP, true, Program, L"Checker at logon");
  auto s = Load();
  EXPECT_TRUE(s->AutoBox.Checked);
  EXPECT_EQ(KindLink, s->AutoKind);
  EXPECT_EQ(L"Checker at logon", s->AutoName);
  s->AutoBox.Checked = false;
  s->ApplyIntegration();
  EXPECT_FALSE(fs::exists(FolderPath(CSIDL_STARTUP) + L"\\Checker at logon.lnk"));
}

TEST_F(ShellIntegrationTest, RenamedLinkIsFoundByItsTargetAndDeleted) {
  const std::wstring desk = FolderPath(CSIDL_DESKTOPDIRECTORY);
  ChangeShortCut(CSIDL_DESKTOPDIRECTORY, true, L"C:\\Other\\other.exe", L"Other tool");
  ChangeShortCut(CSIDL_DESKTOPDIRECTORY, true, Program, DefaultLinkName);
  ASSERT_TRUE(fs::exists(desk + L"\\Jurnvalt 2.0.lnk"));
  fs::rename(desk + L"\\Jurnvalt 2.0.lnk", desk + L"\\My sums.lnk");

  auto s = Load();
  EXPECT_TRUE(s->DeskLinkBox.Checked);
  EXPECT_TRUE(s->DeskLinkBox.Enabled);
  EXPECT_EQ(L"My sums", s->DeskName);
  EXPECT_EQ(ScopeUser, s->DeskScope);
  EXPECT_FALSE(s->StartMenuBox.Checked);

  s->DeskLinkBox.Checked = false;
  s->ApplyIntegration();
  EXPECT_FALSE(fs::exists(desk + L"\\My sums.lnk"));
  EXPECT_TRUE(fs::exists(desk + L"\\Other tool.lnk"));
}

TEST_F(ShellIntegrationTest, NewLinksFollowTheScopeAndAreFoundThere) {
  auto s = Load(true);
  ASSERT_TRUE(s->DeskLinkBox.Enabled);
  ASSERT_TRUE(s->StartMenuBox.Enabled);
  s->DeskLinkBox.Checked = true;
  s->StartMenuBox.Checked = true;
  s->ApplyIntegration();
  EXPECT_TRUE(fs::exists(FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Jurnvalt 2.0.lnk"));
  EXPECT_TRUE(fs::exists(FolderPath(CSIDL_COMMON_STARTMENU) + L"\\Jurnvalt 2.0.lnk"));
  EXPECT_FALSE(fs::exists(FolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Jurnvalt 2.0.lnk"));

  s = Load();
  EXPECT_TRUE(s->DeskLinkBox.Checked);
  EXPECT_EQ(ScopeAllUsers, s->DeskScope);
  EXPECT_EQ(ScopeAllUsers, s->MenuScope);
  s->StartMenuBox.Checked = false;
  s->ApplyIntegration();
  EXPECT_FALSE(fs::exists(FolderPath(CSIDL_COMMON_STARTMENU) + L"\\Jurnvalt 2.0.lnk"));
  EXPECT_TRUE(fs::exists(FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Jurnvalt 2.0.lnk"));
}

TEST_F(ShellIntegrationTest, QuickLaunchNeedsItsFolder) {
  const std::wstring quick = FolderPath(CSIDL_APPDATA);
  std::error_code ec;
  if (Links(quick).empty()) fs::remove(quick, ec);
  if (!fs::exists(quick)) {
    auto s = Load(true);
    EXPECT_FALSE(s->QuickBarBox.Checked);
    EXPECT_FALSE(s->QuickBarBox.Enabled);
    fs::create_directories(quick);
  }
  auto s = Load();
  EXPECT_FALSE(s->QuickBarBox.Checked);
  EXPECT_TRUE(s->QuickBarBox.Enabled);
  s->QuickBarBox.Checked = true;
  s->ApplyIntegration();
  EXPECT_TRUE(fs::exists(quick + L"\\Jurnvalt 2.0.lnk"));
  s = Load();
  EXPECT_TRUE(s->QuickBarBox.Checked);
  s->QuickBarBox.Checked = false;
  s->ApplyIntegration();
  EXPECT_FALSE(fs::exists(quick + L"\\Jurnvalt 2.0.lnk"));
}

TEST_F(ShellIntegrationTest, AssociationOverAnotherHandlerIsUndone) {
  const std::wstring sfv = std::wstring(Classes) + L".sfv";
  AddOtherHandler(HKEY_CURRENT_USER, L".sfv", L"OtherSums");
  // Taken over per user although the box says all users; the file type follows the box.
  EXPECT_EQ(L"OtherSums", Associate(L".sfv", true, true).Handler);
  EXPECT_EQ(L"Jurnvalt", ReadSz(HKEY_CURRENT_USER, sfv, nullptr));
  EXPECT_EQ(L"OtherSums", ReadSz(HKEY_CURRENT_USER, sfv, L"OldHandler"));
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, sfv));
  const std::wstring type = std::wstring(Classes) + L"Jurnvalt";
  EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, type));
  EXPECT_EQ(L"Checksum file", ReadSz(HKEY_LOCAL_MACHINE, type, nullptr));
  EXPECT_EQ(L"Checksum file", ReadSz(HKEY_LOCAL_MACHINE, type, L"FriendlyTypeName"));
  EXPECT_EQ(Program + L",1", ReadSz(HKEY_LOCAL_MACHINE, type + L"\\DefaultIcon", nullptr));
  EXPECT_EQ(L"\"" + Program + L"\" \"%1\"",
            ReadSz(HKEY_LOCAL_MACHINE, type + L"\\shell\\open\\command", nullptr));
  EXPECT_EQ(1, Notifications);

  EXPECT_EQ(ScopeUser, Associate(L".sfv", false).Scope);
  EXPECT_EQ(L"OtherSums", ReadSz(HKEY_CURRENT_USER, sfv, nullptr));
  EXPECT_EQ(2, Notifications);
  EXPECT_FALSE(Item(*Load(), L".sfv").Checked);
}

TEST_F(ShellIntegrationTest, AllUsersHandlerIsBroughtBackAfterPerUserAssociation) {
  const std::wstring ml = std::wstring(Classes) + L".#ml";
  AddOtherHandler(HKEY_LOCAL_MACHINE, L".#ml", L"OtherSums");
  Associate(L".#ml", true);
  EXPECT_EQ(L"Jurnvalt", ReadSz(HKEY_CURRENT_USER, ml, nullptr));
  EXPECT_EQ(L"OtherSums", ReadSz(HKEY_LOCAL_MACHINE, ml, nullptr));
  Associate(L".#ml", false);
  // An empty per-user value would hide the other program's association.
  EXPECT_EQ(L"OtherSums", ReadSz(HKEY_CURRENT_USER, ml, nullptr));
}

TEST_F(ShellIntegrationTest, ExtensionWithoutFileTypeGoesByScopeAndIsEmptiedOnRemoval) {
  const std::wstring md5 = std::wstring(Classes) + L".md5";
  Associate(L".md5", true, true);
  EXPECT_EQ(L"Jurnvalt", ReadSz(HKEY_LOCAL_MACHINE, md5, nullptr));
  EXPECT_FALSE(ReadSz(HKEY_LOCAL_MACHINE, md5, L"OldHandler"));
  EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, md5));
  EXPECT_EQ(ScopeAllUsers, Associate(L".md5", false).Scope);
  EXPECT_EQ(L"", ReadSz(HKEY_LOCAL_MACHINE, md5, nullptr));
}

TEST_F(ShellIntegrationTest, OldHandlerNamingOurTypeIsNotRestored) {
  // Our file type name, but opening another program: not associated with this one.
  const std::wstring sfv = std::wstring(Classes) + L".sfv";
  AddOtherHandler(HKEY_CURRENT_USER, L".sfv", L"Jurnvalt");
  Associate(L".sfv", true);
  EXPECT_EQ(L"Jurnvalt", ReadSz(HKEY_CURRENT_USER, sfv, L"OldHandler"));
  Associate(L".sfv", false);
  EXPECT_EQ(L"", ReadSz(HKEY_CURRENT_USER, sfv, nullptr));
}

TEST_F(ShellIntegrationTest, OldSystemsHaveNoPerUserAssociations) {
  WriteSz(HKEY_CURRENT_USER, std::wstring(Classes) + L".sfv", nullptr, L"Jurnvalt");
  WriteSz(HKEY_CURRENT_USER, std::wstring(Classes) + L"Jurnvalt\\shell\\open\\command", nullptr,
          L"\"" + Program + L"\" \"%1\"");
  auto modern = Load();
  EXPECT_TRUE(Item(*modern, L".sfv").Checked);
  EXPECT_TRUE(Item(*modern, L".sfv").Enabled);

  auto s = Load(false, 4);
  for (const TAssItem& item : s->AssListBox) {
    EXPECT_FALSE(item.Checked) << item.Ass->Ext.c_str();
    EXPECT_FALSE(item.Enabled) << item.Ass->Ext.c_str();
  }
  s->AllUsersBox = true;
  s->AllUsersBoxClick();
  for (const TAssItem& item : s->AssListBox) EXPECT_TRUE(item.Enabled) << item.Ass->Ext.c_str();
}

TEST_F(ShellIntegrationTest, ApplyWithoutChangesTouchesNothing) {
  WriteSz(HKEY_CURRENT_USER, RunKeyName, L"Sums", Program);
  ChangeShortCut(CSIDL_DESKTOPDIRECTORY, true, Program, L"Sums");
  WriteSz(HKEY_CURRENT_USER, std::wstring(Classes) + L".md5", nullptr, L"Jurnvalt");
  WriteSz(HKEY_CURRENT_USER, std::wstring(Classes) + L"Jurnvalt\\shell\\open\\command", nullptr,
          L"\"" + Program + L"\"");
  auto s = Load();
  ASSERT_TRUE(s->AutoBox.Checked);
  ASSERT_TRUE(s->DeskLinkBox.Checked);
  ASSERT_TRUE(Item(*s, L".md5").Checked);

  // Change the system behind the dialog's back: any write would show.
  RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKeyName, L"Sums");
  fs::remove(FolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Sums.lnk");
  WriteSz(HKEY_CURRENT_USER, std::wstring(Classes) + L".md5", nullptr, L"Elsewhere");
  s->AllUsersBox = true;
  s->AllUsersBoxClick();
  s->ApplyIntegration();

  EXPECT_FALSE(ReadSz(HKEY_CURRENT_USER, RunKeyName, L"Sums"));
  EXPECT_FALSE(ReadSz(HKEY_LOCAL_MACHINE, RunKeyName, DefaultLinkName));
  EXPECT_FALSE(fs::exists(FolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Sums.lnk"));
  EXPECT_EQ(L"Elsewhere", ReadSz(HKEY_CURRENT_USER, std::wstring(Classes) + L".md5", nullptr));
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, std::wstring(Classes) + L"Jurnvalt"));
  EXPECT_EQ(0, Notifications);
}

}  // namespace
