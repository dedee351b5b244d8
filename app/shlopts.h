#pragma once
// Integration with the desktop shell: start at logon, desktop, Quick Launch and Start-menu
// links, and the associations of our checksum file extensions. The options dialog shows
// TShellIntegration's boxes, writes the user's choices back into them and calls
// ApplyIntegration after OK.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Scopes: per user (HKEY_CURRENT_USER, the user's folders) or all users (HKEY_LOCAL_MACHINE,
// the common folders).
constexpr BYTE ScopeUser = 0;
constexpr BYTE ScopeAllUsers = 1;
// Kinds of start-at-logon entries.
constexpr BYTE KindRun = 0;
constexpr BYTE KindLink = 1;

extern const wchar_t* const RunKeyName;       // Software\Microsoft\Windows\CurrentVersion\Run
extern const wchar_t* const DefaultLinkName;  // "Jurnvalt 2.0"
extern const wchar_t* const FileTypeName;     // "Jurnvalt"

// One extension we can associate with the program.
class TFileAss {
 public:
  explicit TFileAss(std::wstring ext) : Ext(std::move(ext)) {}

  std::wstring Ext;      // with its dot
  std::wstring Handler;  // the file type the extension's key named when last read
  BYTE Scope = ScopeUser;
  bool Associated = false;
  bool CanWriteUser = false;
  bool CanWriteAllUsers = false;

  bool CanWrite(BYTE scope) const {
    return scope == ScopeAllUsers ? CanWriteAllUsers : CanWriteUser;
  }
};

// Environment variables expanded, upper-cased by the locale rules and trimmed of control
// characters and blanks at both ends.
std::wstring ExpandEnvUpper(const std::wstring& text);

// Finds the value of the Run key in root whose data names the program. CanWrite tells whether
// the key opens for writing; ValueName is left alone when nothing is found. Values whose data
// is no string are skipped.
bool FindRunValue(HKEY root, const std::wstring& key, const std::wstring& programPath,
                  bool& CanWrite, std::wstring& ValueName);

// Finds a link to the program in a special folder (CSIDL_*); CSIDL_APPDATA stands for its
// Quick Launch sub-folder. DisplayName gets the link's name (its file name without ".lnk").
bool IsShortCuted(int folder, const std::wstring& programPath, std::wstring& DisplayName,
                  bool& CanChange);

// Creates or deletes the link named linkName in a special folder. Reports nothing.
void ChangeShortCut(int folder, bool create, const std::wstring& programPath,
                    const std::wstring& linkName);

// Whether the extension opens with the program in root (falling back to HKEY_LOCAL_MACHINE
// for the file type's command, as the merged classes view does). Handler is left alone when
// the extension has no key in root.
bool IsAssociated(HKEY root, const std::wstring& programPath, const std::wstring& ext,
                  bool& CanWrite, std::wstring& Handler);

// A check box of the Integration group as the dialog shows it.
struct TIntegrationBox {
  bool Checked = false;
  bool Enabled = false;
};

// An item of the association list: its text is Ass->Ext.
struct TAssItem {
  TFileAss* Ass = nullptr;
  bool Checked = false;
  bool Enabled = false;
};

class TShellIntegration {
 public:
  TShellIntegration();

  // The program file whose integration is shown; the running module unless set.
  std::wstring ProgramPath;
  // The system's major version: below 5 there are no per-user classes.
  DWORD MajorVersion;
  // Tells the shell that associations changed; SHChangeNotify unless replaced.
  std::function<void()> NotifyAssocChanged;

  // The controls of the Integration group.
  TIntegrationBox AutoBox, DeskLinkBox, QuickBarBox, StartMenuBox;
  std::vector<TAssItem> AssListBox;
  bool AllUsersBox = false;

  std::vector<std::unique_ptr<TFileAss>> FileAssList;  // ".#ml", ".sfv", ".md5"

  bool AutoInit = false;
  BYTE AutoScope = ScopeUser;
  BYTE AutoKind = KindRun;
  std::wstring AutoName;
  bool AutoCan[2][2] = {};  // [scope][kind]
  bool DeskInit = false;
  BYTE DeskScope = ScopeUser;
  std::wstring DeskName;
  bool DeskCan[2] = {};
  bool QuickInit = false;
  std::wstring QuickName;
  bool QuickCan = false;
  bool MenuInit = false;
  BYTE MenuScope = ScopeUser;
  std::wstring MenuName;
  bool MenuCan[2] = {};

  // Reads the system's integration into the boxes, enabled for AllUsersBox's scope.
  void LoadIntegration();
  // Changes the system where a box differs from what LoadIntegration found.
  void ApplyIntegration();
  // Enables the boxes for the scope AllUsersBox shows now; check states stay.
  void AllUsersBoxClick();

 private:
  BYTE NewScope() const { return AllUsersBox ? ScopeAllUsers : ScopeUser; }
  std::wstring Program() const;
  void ApplyStartAtLogon(const std::wstring& path);
  bool ApplyAssociation(const TAssItem& item);
  void WriteFileType(const std::wstring& path);
};

// The full path of the running program file.
std::wstring ModuleFileName();
