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

const HKEY User = HKEY_CURRENT_USER, Machine = HKEY_LOCAL_MACHINE;

// The classes key of an extension or file type.
std::wstring Cls(const std::wstring& Name) {
  return L"Software\\Classes\\" + Name;
}

std::wstring FolderPath(int csidl) {
  wchar_t path[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return std::wstring(path) +
         (csidl == CSIDL_APPDATA ? L"\\Microsoft\\Internet Explorer\\Quick Launch" : L"");
}

bool LinkExists(int csidl, const std::wstring& name) {
  return fs::exists(FolderPath(csidl) + L"\\" + name + L".lnk");
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

void EnsureKey(HKEY root, const std::wstring& key) {
  HKEY h;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &h, nullptr));
  RegCloseKey(h);
}

std::set<std::wstring> ValueNames(HKEY root, const std::wstring& key) {
  std::set<std::wstring> names;
  HKEY k;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return names;
  wchar_t name[16384];
  for (DWORD i = 0, len = 16384;
       RegEnumValueW(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, len = 16384)
    names.insert(name);
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

// A file type of another program that opens checksum files.
void AddOtherHandler(HKEY root, const std::wstring& ext, const std::wstring& type) {
  WriteSz(root, Cls(ext), nullptr, type);
  WriteSz(root, Cls(type + L"\\shell\\open\\command"), nullptr, L"\"C:\\Other\\other.exe\" \"%1\"");
}

const int WatchedFolders[] = {
    CSIDL_STARTUP,   CSIDL_COMMON_STARTUP,   CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_APPDATA};

class ShellIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    comInit_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    // What each test may change, to be put back as it was.
    for (HKEY root : {User, Machine})
      for (const std::wstring& key : {std::wstring(RunKeyName), Cls(L".#ml"), Cls(L".sfv"),
                                      Cls(L".md5"), Cls(L"Jurnvalt"), Cls(L"OtherSums")})
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
      HKEY h;
      if (!k.existed)
        RegDeleteTreeW(k.root, k.key.c_str());
      else if (RegOpenKeyExW(k.root, k.key.c_str(), 0, KEY_ALL_ACCESS, &h) == ERROR_SUCCESS) {
        for (const auto& name : ValueNames(k.root, k.key))
          if (!k.values.count(name)) RegDeleteValueW(h, name.c_str());
        RegCloseKey(h);
      }
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

  // Opens the state, changes the box of one of the integration's parts and applies.
  std::unique_ptr<TShellIntegration> Apply(TIntegrationBox TShellIntegration::*box, bool checked,
                                           bool allUsers = false) {
    auto s = Load(allUsers);
    TIntegrationBox& b = (*s).*box;
    EXPECT_TRUE(b.Enabled);
    EXPECT_NE(b.Checked, checked);
    b.Checked = checked;
    s->ApplyIntegration();
    return s;
  }

  // The same for the extension's item; returns its record.
  TFileAss Associate(const wchar_t* ext, bool checked, bool allUsers = false) {
    auto s = Load(allUsers);
    TAssItem& item = Item(*s, ext);
    EXPECT_NE(checked, item.Checked) << ext;
    EXPECT_TRUE(item.Enabled) << ext;
    item.Checked = checked;
    s->ApplyIntegration();
    return *item.Ass;
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

TEST(ExpandEnvUpperTest, ExpandsUpperCasesAndTrimsAlsoBeyondTheFirstBuffer) {
  SetEnvironmentVariableW(L"JV_SHL_X", std::wstring(1500, L'd').c_str());
  EXPECT_EQ(std::wstring(1500, L'D') + L"\\SUMS.EXE -A",
            ExpandEnvUpper(L" \t%JV_SHL_X%\\sums.exe -a \r\n"));
  EXPECT_EQ(L"%JV_SHL_UNSET%\\A", ExpandEnvUpper(L"%JV_SHL_unset%\\a"));
  SetEnvironmentVariableW(L"JV_SHL_X", nullptr);
}

// Quoted, with arguments, with environment variables, in any letter case; a value that is no
// string comes first and is passed over.
TEST_F(ShellIntegrationTest, RunValueOfAnyFormIsFoundAndRemovedUnderItsOwnName) {
  std::wstring upper = Program;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  for (const std::wstring& data :
       {L"\"" + Program + L"\" /min", upper, std::wstring(L"%JV_SHL_DIR%\\jurnvalt.EXE -verify")}) {
    SCOPED_TRACE(data);
    EnsureKey(User, RunKeyName);
    const DWORD number = 1;
    RegSetKeyValueW(User, RunKeyName, L"AAA Number", REG_DWORD, &number, sizeof(number));
    WriteSz(User, RunKeyName, L"Another Tool", L"C:\\Other\\other.exe");
    WriteSz(User, RunKeyName, L"My Checker", data, REG_EXPAND_SZ);

    auto s = Apply(&TShellIntegration::AutoBox, false);
    EXPECT_EQ(L"My Checker", s->AutoName);
    EXPECT_EQ(KindRun, s->AutoKind);
    EXPECT_EQ(ScopeUser, s->AutoScope);
    EXPECT_EQ(ValueNames(User, RunKeyName),
              (std::set<std::wstring>{L"AAA Number", L"Another Tool"}));
    RegDeleteTreeW(User, RunKeyName);
  }
}

TEST_F(ShellIntegrationTest, StartAtLogonScopes) {
  // Without a per-user Run key that place cannot be changed.
  RegDeleteTreeW(User, RunKeyName);
  EnsureKey(Machine, RunKeyName);
  auto s = Load();
  EXPECT_FALSE(s->AutoBox.Checked);
  EXPECT_FALSE(s->AutoBox.Enabled);

  // A new entry goes where the box points, under the default name, as the bare path.
  Apply(&TShellIntegration::AutoBox, true, true);
  EXPECT_EQ(Program, ReadSz(Machine, RunKeyName, DefaultLinkName));
  EXPECT_FALSE(KeyPresent(User, RunKeyName));

  // Removal goes where it was found, whatever the box shows.
  EnsureKey(User, RunKeyName);
  EXPECT_EQ(ScopeAllUsers, Apply(&TShellIntegration::AutoBox, false)->AutoScope);
  EXPECT_FALSE(ReadSz(Machine, RunKeyName, DefaultLinkName));
  EXPECT_TRUE(ValueNames(User, RunKeyName).empty());

  // A link in the startup folder wins over a Run value.
  WriteSz(User, RunKeyName, L"Sums", Program);
  ChangeShortCut(CSIDL_STARTUP, true, Program, L"Checker at logon");
  s = Apply(&TShellIntegration::AutoBox, false);
  EXPECT_EQ(KindLink, s->AutoKind);
  EXPECT_EQ(L"Checker at logon", s->AutoName);
  EXPECT_FALSE(LinkExists(CSIDL_STARTUP, L"Checker at logon"));
}

TEST_F(ShellIntegrationTest, RenamedLinkIsFoundByItsTargetAndDeleted) {
  const std::wstring desk = FolderPath(CSIDL_DESKTOPDIRECTORY);
  ChangeShortCut(CSIDL_DESKTOPDIRECTORY, true, L"C:\\Other\\other.exe", L"Other tool");
  ChangeShortCut(CSIDL_DESKTOPDIRECTORY, true, Program, DefaultLinkName);
  ASSERT_TRUE(LinkExists(CSIDL_DESKTOPDIRECTORY, L"Jurnvalt 2.0"));
  fs::rename(desk + L"\\Jurnvalt 2.0.lnk", desk + L"\\My sums.lnk");

  auto s = Apply(&TShellIntegration::DeskLinkBox, false);
  EXPECT_EQ(L"My sums", s->DeskName);
  EXPECT_EQ(ScopeUser, s->DeskScope);
  EXPECT_FALSE(LinkExists(CSIDL_DESKTOPDIRECTORY, L"My sums"));
  EXPECT_TRUE(LinkExists(CSIDL_DESKTOPDIRECTORY, L"Other tool"));
}

TEST_F(ShellIntegrationTest, NewLinksFollowTheScopeAndAreFoundThere) {
  auto s = Load(true);
  ASSERT_TRUE(s->DeskLinkBox.Enabled && s->StartMenuBox.Enabled);
  s->DeskLinkBox.Checked = s->StartMenuBox.Checked = true;
  s->ApplyIntegration();
  EXPECT_TRUE(LinkExists(CSIDL_COMMON_DESKTOPDIRECTORY, DefaultLinkName));
  EXPECT_TRUE(LinkExists(CSIDL_COMMON_STARTMENU, DefaultLinkName));
  EXPECT_FALSE(LinkExists(CSIDL_DESKTOPDIRECTORY, DefaultLinkName));

  s = Apply(&TShellIntegration::StartMenuBox, false);
  EXPECT_TRUE(s->DeskLinkBox.Checked);
  EXPECT_EQ(ScopeAllUsers, s->DeskScope);
  EXPECT_EQ(ScopeAllUsers, s->MenuScope);
  EXPECT_FALSE(LinkExists(CSIDL_COMMON_STARTMENU, DefaultLinkName));
  EXPECT_TRUE(LinkExists(CSIDL_COMMON_DESKTOPDIRECTORY, DefaultLinkName));
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
  Apply(&TShellIntegration::QuickBarBox, true);
  EXPECT_TRUE(LinkExists(CSIDL_APPDATA, DefaultLinkName));
  Apply(&TShellIntegration::QuickBarBox, false);
  EXPECT_FALSE(LinkExists(CSIDL_APPDATA, DefaultLinkName));
}

TEST_F(ShellIntegrationTest, AssociationOverAnotherHandlerIsUndone) {
  AddOtherHandler(User, L".sfv", L"OtherSums");
  // Taken over per user although the box says all users; the file type follows the box.
  EXPECT_EQ(L"OtherSums", Associate(L".sfv", true, true).Handler);
  EXPECT_EQ(L"Jurnvalt", ReadSz(User, Cls(L".sfv"), nullptr));
  EXPECT_EQ(L"OtherSums", ReadSz(User, Cls(L".sfv"), L"OldHandler"));
  EXPECT_FALSE(KeyPresent(Machine, Cls(L".sfv")));
  const std::wstring type = Cls(L"Jurnvalt");
  EXPECT_FALSE(KeyPresent(User, type));
  EXPECT_EQ(L"Checksum file", ReadSz(Machine, type, nullptr));
  EXPECT_EQ(L"Checksum file", ReadSz(Machine, type, L"FriendlyTypeName"));
  EXPECT_EQ(Program + L",1", ReadSz(Machine, type + L"\\DefaultIcon", nullptr));
  EXPECT_EQ(L"\"" + Program + L"\" \"%1\"",
            ReadSz(Machine, type + L"\\shell\\open\\command", nullptr));
  EXPECT_EQ(1, Notifications);

  EXPECT_EQ(ScopeUser, Associate(L".sfv", false).Scope);
  EXPECT_EQ(L"OtherSums", ReadSz(User, Cls(L".sfv"), nullptr));
  EXPECT_EQ(2, Notifications);
  EXPECT_FALSE(Item(*Load(), L".sfv").Checked);

  // A handler only in the all-users classes comes back after a per-user association: an empty
  // per-user value would hide it.
  AddOtherHandler(Machine, L".#ml", L"OtherSums");
  Associate(L".#ml", true);
  EXPECT_EQ(L"Jurnvalt", ReadSz(User, Cls(L".#ml"), nullptr));
  EXPECT_EQ(L"OtherSums", ReadSz(Machine, Cls(L".#ml"), nullptr));
  Associate(L".#ml", false);
  EXPECT_EQ(L"OtherSums", ReadSz(User, Cls(L".#ml"), nullptr));
}

TEST_F(ShellIntegrationTest, ExtensionWithoutHandlerGoesByScopeAndIsEmptiedOnRemoval) {
  Associate(L".md5", true, true);
  EXPECT_EQ(L"Jurnvalt", ReadSz(Machine, Cls(L".md5"), nullptr));
  EXPECT_FALSE(ReadSz(Machine, Cls(L".md5"), L"OldHandler"));
  EXPECT_FALSE(KeyPresent(User, Cls(L".md5")));
  EXPECT_EQ(ScopeAllUsers, Associate(L".md5", false).Scope);
  EXPECT_EQ(L"", ReadSz(Machine, Cls(L".md5"), nullptr));

  // Our file type name, but opening another program: not associated with this one, and not
  // restored on removal.
  AddOtherHandler(User, L".sfv", L"Jurnvalt");
  Associate(L".sfv", true);
  EXPECT_EQ(L"Jurnvalt", ReadSz(User, Cls(L".sfv"), L"OldHandler"));
  Associate(L".sfv", false);
  EXPECT_EQ(L"", ReadSz(User, Cls(L".sfv"), nullptr));
}

TEST_F(ShellIntegrationTest, OldSystemsHaveNoPerUserAssociations) {
  WriteSz(User, Cls(L".sfv"), nullptr, L"Jurnvalt");
  WriteSz(User, Cls(L"Jurnvalt\\shell\\open\\command"), nullptr, L"\"" + Program + L"\" \"%1\"");
  auto modern = Load();
  EXPECT_TRUE(Item(*modern, L".sfv").Checked);
  EXPECT_TRUE(Item(*modern, L".sfv").Enabled);

  auto s = Load(false, 4);
  for (const TAssItem& item : s->AssListBox) EXPECT_FALSE(item.Checked || item.Enabled);
  s->AllUsersBox = true;
  s->AllUsersBoxClick();
  for (const TAssItem& item : s->AssListBox) EXPECT_TRUE(item.Enabled);
}

TEST_F(ShellIntegrationTest, ApplyWithoutChangesTouchesNothing) {
  WriteSz(User, RunKeyName, L"Sums", Program);
  ChangeShortCut(CSIDL_DESKTOPDIRECTORY, true, Program, L"Sums");
  WriteSz(User, Cls(L".md5"), nullptr, L"Jurnvalt");
  WriteSz(User, Cls(L"Jurnvalt\\shell\\open\\command"), nullptr, L"\"" + Program + L"\"");
  auto s = Load();
  ASSERT_TRUE(s->AutoBox.Checked && s->DeskLinkBox.Checked && Item(*s, L".md5").Checked);

  // Change the system behind the dialog's back: any write would show.
  RegDeleteKeyValueW(User, RunKeyName, L"Sums");
  fs::remove(FolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\Sums.lnk");
  WriteSz(User, Cls(L".md5"), nullptr, L"Elsewhere");
  s->AllUsersBox = true;
  s->AllUsersBoxClick();
  s->ApplyIntegration();

  EXPECT_FALSE(ReadSz(User, RunKeyName, L"Sums"));
  EXPECT_FALSE(ReadSz(Machine, RunKeyName, DefaultLinkName));
  EXPECT_FALSE(LinkExists(CSIDL_DESKTOPDIRECTORY, L"Sums"));
  EXPECT_EQ(L"Elsewhere", ReadSz(User, Cls(L".md5"), nullptr));
  EXPECT_FALSE(KeyPresent(Machine, Cls(L"Jurnvalt")));
  EXPECT_EQ(0, Notifications);
}

}  // namespace
