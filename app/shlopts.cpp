#include "app/shlopts.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <optional>

const wchar_t* const RunKeyName = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const DefaultLinkName = L"Jurnvalt 2.0";
const wchar_t* const FileTypeName = L"Jurnvalt";

namespace {

const wchar_t* const ClassesKey = L"Software\\Classes";
const wchar_t* const QuickLaunchPath = L"\\Microsoft\\Internet Explorer\\Quick Launch";
const wchar_t* const LinkExt = L".lnk";

// S_FALSE and the other success codes count as failure, as the shell's enumerators return
// S_FALSE when there is nothing to give.
bool HrFailed(HRESULT hr) {
  return hr != S_OK;
}

HKEY RootOf(BYTE scope) {
  return scope == ScopeAllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring ClassKey(const std::wstring& name) {
  return std::wstring(ClassesKey) + L"\\" + name;
}

std::wstring UpperTrim(std::wstring s) {
  if (!s.empty()) CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= L' ') ++b;
  while (e > b && s[e - 1] <= L' ') --e;
  return s.substr(b, e - b);
}

// Whether a stored path or command names the program. An unknown program path names nothing.
bool NamesProgram(const std::wstring& stored, const std::wstring& target) {
  return !target.empty() && ExpandEnvUpper(stored).find(target) != std::wstring::npos;
}

// An open registry key, closed when it goes.
class TRegKey {
 public:
  TRegKey() = default;
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;
  ~TRegKey() { Close(); }

  // Full access, optionally creating the key.
  bool Open(HKEY root, const std::wstring& path, bool create) {
    Close();
    LONG rc = create ? RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                       &key_, nullptr)
                     : RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key_);
    if (rc != ERROR_SUCCESS) key_ = nullptr;
    return key_ != nullptr;
  }

  // The widest reading access the key grants.
  bool OpenReadOnly(HKEY root, const std::wstring& path) {
    Close();
    for (REGSAM sam : {REGSAM(KEY_READ), REGSAM(KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS),
                       REGSAM(KEY_QUERY_VALUE)}) {
      if (RegOpenKeyExW(root, path.c_str(), 0, sam, &key_) == ERROR_SUCCESS) return true;
      key_ = nullptr;
    }
    return false;
  }

  // Empty when the value is missing; nothing when its data is no string.
  std::optional<std::wstring> ReadString(const std::wstring& name) const {
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return std::wstring();
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    rc = RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                          &size);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    // The stored data need not end with a zero, or may hold several.
    data.resize(size / sizeof(wchar_t));
    return data.substr(0, data.find(L'\0'));
  }

  void WriteString(const std::wstring& name, const std::wstring& data) const {
    RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }

  void DeleteValue(const std::wstring& name) const { RegDeleteValueW(key_, name.c_str()); }

  std::vector<std::wstring> ValueNames() const {
    std::vector<std::wstring> names;
    DWORD count = 0, maxLen = 0;
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &maxLen, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return names;
    std::wstring buf(maxLen + 1, L'\0');
    for (DWORD i = 0; i < count; ++i) {
      DWORD len = static_cast<DWORD>(buf.size());
      if (RegEnumValueW(key_, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr) ==
          ERROR_SUCCESS)
        names.emplace_back(buf.data(), len);
    }
    return names;
  }

 private:
  void Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }
  HKEY key_ = nullptr;
};

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key;
  LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
}

// A COM interface pointer, released when it goes.
template <class T>
class TComPtr {
 public:
  TComPtr() = default;
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  ~TComPtr() {
    if (p_) p_->Release();
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** put() { return &p_; }
  void** put_void() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

// An item-id list from the shell's allocator.
struct PidlFree {
  void operator()(ITEMIDLIST* p) const { CoTaskMemFree(p); }
};
using TPidl = std::unique_ptr<ITEMIDLIST, PidlFree>;

TPidl SpecialFolder(int folder) {
  LPITEMIDLIST pidl = nullptr;
  if (HrFailed(SHGetSpecialFolderLocation(nullptr, folder, &pidl))) return nullptr;
  return TPidl(pidl);
}

std::optional<std::wstring> PathOf(LPCITEMIDLIST pidl) {
  wchar_t path[MAX_PATH];
  if (!SHGetPathFromIDListW(pidl, path)) return std::nullopt;
  return std::wstring(path);
}

// Whether the shell marks the item (relative to folder) read-only; writable when it cannot tell.
bool Writable(IShellFolder* folder, LPCITEMIDLIST item) {
  SFGAOF attr = SFGAO_READONLY;
  if (HrFailed(folder->GetAttributesOf(1, &item, &attr))) return true;
  return (attr & SFGAO_READONLY) == 0;
}

// The link's file name without ".lnk": the name ChangeShortCut builds its file from. The
// display name can be a localised one that names no file.
std::optional<std::wstring> LinkName(IShellFolder* folder, LPCITEMIDLIST item) {
  STRRET sr{};
  if (HrFailed(folder->GetDisplayNameOf(item, SHGDN_INFOLDER | SHGDN_FORPARSING, &sr)))
    return std::nullopt;
  wchar_t* text = nullptr;
  if (HrFailed(StrRetToStrW(&sr, item, &text))) return std::nullopt;
  std::wstring name(text);
  CoTaskMemFree(text);
  const size_t ext = name.size() - std::min(name.size(), wcslen(LinkExt));
  if (_wcsicmp(name.c_str() + ext, LinkExt) == 0) name.resize(ext);
  return name;
}

}  // namespace

std::wstring ModuleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size()) return path.substr(0, n);
    path.resize(path.size() * 2);
  }
}

std::wstring ExpandEnvUpper(const std::wstring& text) {
  std::wstring buf(1024, L'\0');
  DWORD n = ExpandEnvironmentStringsW(text.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0) return UpperTrim(text);
  if (n > buf.size()) {
    buf.assign(n, L'\0');
    n = ExpandEnvironmentStringsW(text.c_str(), buf.data(), n);
    if (n == 0 || n > buf.size()) return UpperTrim(text);
  }
  buf.resize(n);
  return UpperTrim(std::move(buf));
}

bool FindRunValue(HKEY root, const std::wstring& key, const std::wstring& programPath,
                  bool& CanWrite, std::wstring& ValueName) {
  TRegKey reg;
  CanWrite = reg.Open(root, key, false);
  if (!CanWrite && !reg.OpenReadOnly(root, key)) return false;
  const std::wstring target = UpperTrim(programPath);
  for (const std::wstring& name : reg.ValueNames()) {
    const auto data = reg.ReadString(name);
    if (data && NamesProgram(*data, target)) {
      ValueName = name;
      return true;
    }
  }
  return false;
}

bool IsShortCuted(int folder, const std::wstring& programPath, std::wstring& DisplayName,
                  bool& CanChange) {
  CanChange = false;
  TComPtr<IShellFolder> desktop;
  if (HrFailed(SHGetDesktopFolder(desktop.put()))) return false;
  TPidl pidl = SpecialFolder(folder);
  if (!pidl) return false;
  if (folder == CSIDL_APPDATA) {
    auto path = PathOf(pidl.get());
    if (!path) return false;
    std::wstring quick = *path + QuickLaunchPath + L"\\";
    LPITEMIDLIST parsed = nullptr;
    if (HrFailed(
            desktop->ParseDisplayName(nullptr, nullptr, quick.data(), nullptr, &parsed, nullptr)))
      return false;
    pidl.reset(parsed);
  }
  CanChange = Writable(desktop.get(), pidl.get());

  TComPtr<IShellFolder> shellFolder;
  TComPtr<IEnumIDList> items;
  if (HrFailed(
          desktop->BindToObject(pidl.get(), nullptr, IID_IShellFolder, shellFolder.put_void())) ||
      HrFailed(shellFolder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, items.put())))
    return false;

  const std::wstring target = UpperTrim(programPath);
  std::wstring linkPath(32768, L'\0');
  for (;;) {
    LPITEMIDLIST raw = nullptr;
    if (HrFailed(items->Next(1, &raw, nullptr))) break;
    TPidl item(raw);
    LPCITEMIDLIST child = item.get();
    TComPtr<IShellLinkW> link;
    if (HrFailed(shellFolder->GetUIObjectOf(GetDesktopWindow(), 1, &child, IID_IShellLinkW, nullptr,
                                            link.put_void())))
      continue;
    if (HrFailed(link->GetPath(linkPath.data(), static_cast<int>(linkPath.size()), nullptr,
                               SLGP_RAWPATH)))
      continue;
    if (!NamesProgram(linkPath.c_str(), target)) continue;
    if (auto name = LinkName(shellFolder.get(), child)) DisplayName = *name;
    CanChange = Writable(shellFolder.get(), child);
    return true;
  }
  return false;
}

void ChangeShortCut(int folder, bool create, const std::wstring& programPath,
                    const std::wstring& linkName) {
  TPidl pidl = SpecialFolder(folder);
  if (!pidl) return;
  auto path = PathOf(pidl.get());
  if (!path) return;
  if (folder == CSIDL_APPDATA) *path += QuickLaunchPath;
  const std::wstring fileName = *path + L"\\" + linkName + LinkExt;
  if (!create) {
    DeleteFileW(fileName.c_str());
    return;
  }
  TComPtr<IShellLinkW> link;
  if (HrFailed(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void())))
    return;
  link->SetDescription(linkName.c_str());
  link->SetPath(programPath.c_str());
  link->SetIconLocation(programPath.c_str(), 0);
  TComPtr<IPersistFile> file;
  if (HrFailed(link->QueryInterface(IID_IPersistFile, file.put_void()))) return;
  file->Save(fileName.c_str(), TRUE);
}

bool IsAssociated(HKEY root, const std::wstring& programPath, const std::wstring& ext,
                  bool& CanWrite, std::wstring& Handler) {
  const std::wstring key = ClassKey(ext);
  {
    TRegKey probe;
    CanWrite =
        KeyExists(root, key) ? probe.Open(root, key, false) : probe.Open(root, ClassesKey, false);
  }
  TRegKey reg;
  if (!reg.OpenReadOnly(root, key)) return false;
  Handler = reg.ReadString(L"").value_or(std::wstring());
  if (Handler.empty()) return false;

  const std::wstring commandKey = ClassKey(Handler) + L"\\shell\\open\\command";
  TRegKey command;
  if (!command.OpenReadOnly(root, commandKey) &&
      !command.OpenReadOnly(HKEY_LOCAL_MACHINE, commandKey))
    return false;
  return NamesProgram(command.ReadString(L"").value_or(std::wstring()), UpperTrim(programPath));
}

TShellIntegration::TShellIntegration()
    : MajorVersion(LOBYTE(LOWORD(GetVersion()))), NotifyAssocChanged([] {
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
      }) {
  for (const wchar_t* ext : {L".#ml", L".sfv", L".md5"})
    FileAssList.push_back(std::make_unique<TFileAss>(ext));
}

std::wstring TShellIntegration::Program() const {
  return ProgramPath.empty() ? ModuleFileName() : ProgramPath;
}

void TShellIntegration::LoadIntegration() {
  const std::wstring path = Program();

  // Later finds win: all users over per user, a Startup link over a Run value.
  AutoBox.Checked = false;
  AutoName = DefaultLinkName;
  for (BYTE scope : {ScopeUser, ScopeAllUsers}) {
    if (FindRunValue(RootOf(scope), RunKeyName, path, AutoCan[scope][KindRun], AutoName)) {
      AutoBox.Checked = true;
      AutoScope = scope;
      AutoKind = KindRun;
    }
  }
  for (BYTE scope : {ScopeUser, ScopeAllUsers}) {
    const int folder = scope == ScopeAllUsers ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP;
    if (IsShortCuted(folder, path, AutoName, AutoCan[scope][KindLink])) {
      AutoBox.Checked = true;
      AutoScope = scope;
      AutoKind = KindLink;
    }
  }
  AutoInit = AutoBox.Checked;

  auto loadLink = [&](TIntegrationBox& box, std::wstring& name, bool(&can)[2], BYTE& scopeFound,
                      int userFolder, int commonFolder) {
    box.Checked = false;
    name = DefaultLinkName;
    if (IsShortCuted(userFolder, path, name, can[ScopeUser])) {
      box.Checked = true;
      scopeFound = ScopeUser;
    }
    if (IsShortCuted(commonFolder, path, name, can[ScopeAllUsers])) {
      box.Checked = true;
      scopeFound = ScopeAllUsers;
    }
  };
  loadLink(DeskLinkBox, DeskName, DeskCan, DeskScope, CSIDL_DESKTOPDIRECTORY,
           CSIDL_COMMON_DESKTOPDIRECTORY);
  DeskInit = DeskLinkBox.Checked;

  QuickName = DefaultLinkName;
  QuickBarBox.Checked = IsShortCuted(CSIDL_APPDATA, path, QuickName, QuickCan);
  QuickBarBox.Enabled = QuickCan;
  QuickInit = QuickBarBox.Checked;

  loadLink(StartMenuBox, MenuName, MenuCan, MenuScope, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU);
  MenuInit = StartMenuBox.Checked;

  AssListBox.clear();
  for (const auto& ass : FileAssList) {
    ass->Associated = false;
    if (MajorVersion >= 5) {
      if (IsAssociated(HKEY_CURRENT_USER, path, ass->Ext, ass->CanWriteUser, ass->Handler)) {
        ass->Associated = true;
        ass->Scope = ScopeUser;
      }
    } else {
      ass->CanWriteUser = false;
    }
    if (IsAssociated(HKEY_LOCAL_MACHINE, path, ass->Ext, ass->CanWriteAllUsers, ass->Handler)) {
      ass->Associated = true;
      ass->Scope = ScopeAllUsers;
    }
    AssListBox.push_back({ass.get(), ass->Associated, false});
  }

  AllUsersBoxClick();
}

void TShellIntegration::AllUsersBoxClick() {
  const BYTE s = NewScope();
  AutoBox.Enabled = AutoCan[s][AutoKind];
  DeskLinkBox.Enabled = DeskCan[s];
  StartMenuBox.Enabled = MenuCan[s];
  for (TAssItem& item : AssListBox) item.Enabled = item.Ass->CanWrite(s);
}

void TShellIntegration::ApplyStartAtLogon(const std::wstring& path) {
  const bool checked = AutoBox.Checked;
  const BYTE scope = checked ? NewScope() : AutoScope;
  if (AutoKind == KindLink) {
    ChangeShortCut(scope == ScopeAllUsers ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP, checked, path,
                   AutoName);
    return;
  }
  TRegKey reg;
  if (!reg.Open(RootOf(scope), RunKeyName, checked)) return;
  if (checked)
    reg.WriteString(AutoName, path);
  else
    reg.DeleteValue(AutoName);
}

// Returns whether the item counts as a change.
bool TShellIntegration::ApplyAssociation(const TAssItem& item) {
  TFileAss& ass = *item.Ass;
  if (item.Checked == ass.Associated) return false;
  TRegKey reg;
  if (item.Checked) {
    // An extension naming a file type stays in the scope it was found in, per user when it
    // was not ours; a bare one follows the box.
    const BYTE scope = ass.Handler.empty() ? NewScope() : ass.Scope;
    if (reg.Open(RootOf(scope), ClassKey(ass.Ext), true)) {
      std::wstring old = reg.ReadString(L"").value_or(std::wstring());
      // The handler may come from the all-users classes only; our per-user key would hide
      // it, so remember it here to bring it back on removal.
      if (old.empty() && ass.Handler != FileTypeName) old = ass.Handler;
      reg.WriteString(L"", FileTypeName);
      if (!old.empty()) reg.WriteString(L"OldHandler", old);
    }
  } else if (reg.Open(RootOf(ass.Scope), ClassKey(ass.Ext), true)) {
    std::wstring old = reg.ReadString(L"OldHandler").value_or(std::wstring());
    if (old == FileTypeName) old.clear();
    reg.WriteString(L"", old);
  }
  return true;
}

void TShellIntegration::WriteFileType(const std::wstring& path) {
  const HKEY root = RootOf(NewScope());
  const std::wstring type = ClassKey(FileTypeName);
  TRegKey reg;
  if (reg.Open(root, type, true)) {
    reg.WriteString(L"", L"Checksum file");
    reg.WriteString(L"FriendlyTypeName", L"Checksum file");
  }
  if (reg.Open(root, type + L"\\DefaultIcon", true)) reg.WriteString(L"", path + L",1");
  if (reg.Open(root, type + L"\\shell\\open\\command", true))
    reg.WriteString(L"", L"\"" + path + L"\" \"%1\"");
}

void TShellIntegration::ApplyIntegration() {
  const std::wstring path = Program();
  if (AutoBox.Checked != AutoInit) ApplyStartAtLogon(path);

  auto applyLink = [&](const TIntegrationBox& box, bool init, BYTE scopeFound, int userFolder,
                       int commonFolder, const std::wstring& name) {
    if (box.Checked == init) return;
    const BYTE scope = box.Checked ? NewScope() : scopeFound;
    ChangeShortCut(scope == ScopeAllUsers ? commonFolder : userFolder, box.Checked, path, name);
  };
  applyLink(DeskLinkBox, DeskInit, DeskScope, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY,
            DeskName);
  if (QuickBarBox.Checked != QuickInit)
    ChangeShortCut(CSIDL_APPDATA, QuickBarBox.Checked, path, QuickName);
  applyLink(StartMenuBox, MenuInit, MenuScope, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, MenuName);

  bool changed = false;
  for (const TAssItem& item : AssListBox) changed = ApplyAssociation(item) || changed;
  if (changed) {
    if (NotifyAssocChanged) NotifyAssocChanged();
    WriteFileType(path);
  }
}
