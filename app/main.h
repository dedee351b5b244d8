#pragma once
// The main window: owns the checksum document, the display list, the folder history and every
// setting value; its commands live in the units that build on it.
//
// Where other units hook in:
// - Commands are actions of ActionList, registered with caption, hint and shortcut by
//   CreateActions (main_actions.cpp); an action without an execute handler shows disabled. A
//   unit that implements a command sets its handlers, e.g. in its own Init...() method called
//   from the constructor where marked:
//     Action(ID_FILE_OPEN).OnExecute = [this] { FileOpenActionExecute(); };
//   New commands: an ID in app/res/main_res.h, its "Caption\nHint" string and menu item in
//   app/res/main.rc, one line in CreateActions, and a tool bar button there if it has one.
// - The list area is ListView (report view, nine columns set up by CreateListColumns).
// - The document commands (first activation, close query, destruction) call the routines of
//   main_document.cpp.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/res/main_res.h"
#include "app/settings.h"
#include "document/data.h"
#include "ui/actions.h"
#include "ui/bars.h"
#include "ui/listview.h"
#include "ui/window.h"

// The system's AnimateWindow, looked up at start; null when the system lacks it.
using TAnimateWindowProc = BOOL(WINAPI*)(HWND, DWORD, DWORD);
extern TAnimateWindowProc AnimateWindowProc;
void InitAnimateWindow();

// The SAX2 XML reader of MSXML, created once at start to learn whether it is installed.
inline constexpr CLSID CLSID_SAXXMLReader = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};

// Where the program finds itself, its settings, its command line and the XML reader. Tests give
// their own.
struct TProgramEnv {
  std::wstring ProgramPath;               // full path of the program file
  HKEY MachineRoot = HKEY_LOCAL_MACHINE;  // roots of the registry stores
  HKEY UserRoot = HKEY_CURRENT_USER;
  std::wstring MachineRootName = L"HKEY_LOCAL_MACHINE";
  std::wstring UserRootName = L"HKEY_CURRENT_USER";
  std::vector<std::wstring> Params;  // command-line parameters after the program name
  CLSID SAXReaderClass = CLSID_SAXXMLReader;
  static TProgramEnv FromProcess();
};

// The parameters of a command line after the program name, split as the runtime does: blanks
// separate, double quotes group and are dropped, "" is an empty parameter.
std::vector<std::wstring> SplitCommandLine(const wchar_t* CommandLine);

enum TWindowState : int32_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

constexpr UINT WM_TRAYICON = WM_USER + 333;  // 1357

class TMainForm : public ui::Form {
 public:
  explicit TMainForm(TProgramEnv Env = TProgramEnv::FromProcess());
  ~TMainForm() override;

  // Fields shared with the other units, with their defaults.
  std::unique_ptr<TFileList> FileList;
  int32_t SortMode = 0;
  std::vector<TFileItem*> ViewList;
  int32_t Encoding = 0;
  int32_t CodeMode = 0;
  bool CodeSkip = false;
  bool ImportCodeSkip = false;
  bool ShowCode = false;
  int32_t ExFormat = 0;
  int32_t ExLineEnd = 0;
  int32_t ExDelimit = 0;
  int32_t ExDefName = 0;
  bool ExLowCase = true;
  bool AutoSave = false;
  bool AutoHash = true;
  bool Activated = false;
  std::vector<std::wstring> RecentFolders;
  bool AbbrSize = true;
  bool ThouSize = true;
  bool TipOfDay = true;
  int32_t TipIndex = 0;
  bool SmothWin = false;
  bool CanRun = true;
  bool StartMin = false;
  bool Min2Tray = false;
  bool UseMSSAX = true;
  bool MSSAXPresent = false;
  ui::Color EvenColor = 0xE0E0E0;
  ui::Color FailColor = 0x0000FF;
  ui::Color WarnColor = 0xFF0000;
  ui::Color ErrorColor = 0x0000FF;
  ui::Color TouchedColor = 0xFF0000;
  ui::Color UpdatedColor = 0xFF00FF;
  ui::Color ChangedColor = 0x0000FF;
  ui::Color NewFileColor = 0xFF0000;
  ui::Color InvalidColor = 0x000080;
  ui::Color ValidColor = 0x008000;
  bool Deleting = false;
  NOTIFYICONDATAA TrayIconData{};  // the system's first (smallest) tray icon record
  HICON TrayIcon = nullptr;
  int32_t SavedWindowState = wsNormal;

  // Controls.
  ui::ListView ListView{this, IDC_MAIN_LIST};
  ui::StatusBar StatusBar{this, IDC_MAIN_STATUS};
  ui::ToolBar ToolBar{this, IDC_MAIN_TOOLBAR};
  ui::ActionList ActionList;
  HMENU MainMenu = nullptr;
  HMENU PopupMenu = nullptr;                             // the list's context menu
  HMENU EditHashItem = nullptr, EditCodeItem = nullptr;  // "Hash type", "Hash encoding"
  HMENU MenuHashItem = nullptr, MenuCodeItem = nullptr;  // the same in PopupMenu

  const TProgramEnv& Env() const { return env_; }
  ui::Action& Action(int Id);

  // Lifecycle.
  void TntFormActivate();
  bool TntFormCloseQuery();
  void TntFormClose();
  void AppMinimize();
  void WMTrayIcon(WPARAM wp, LPARAM lp);
  void UpdateCaption();
  // The window state as the form keeps it (the real one once the window is shown).
  TWindowState WindowState();
  void SetWindowState(TWindowState State);

  // Settings (settings.cpp).
  void LoadSettings(TSettingsStore& Store);
  // Writes every value; false when the store refused one (the others are still written).
  bool SaveSettings(TSettingsStore& Store);
  bool SaveSettingsNow();
  void OptsSaveActionExecute();
  // The options dialog (options.cpp).
  void OptionsActionExecute();
  // Hash calculator (calc.cpp).
  void ToolCalcActionExecute();
  // Writes to a store and reports a failure in an error message box naming the store.
  void SaveSettingsReported(TSettingsStore& Store);
  void ReportSaveFailure(const std::wstring& StoreName);
  // The same for the registry store under Root; one that cannot be opened is reported too.
  void SaveRegistryReported(HKEY Root, const std::wstring& RootName);
  // The toolbar's caption display and the "File Size" column alignment (stored settings).
  bool ToolText();
  void SetToolText(bool Show);
  // Sizes the toolbar's buttons afresh for what they show now.
  void ResizeToolButtons();
  bool RighSize();
  void SetRighSize(bool Right);
  std::wstring IniFileName() const;

  // Edit commands (mainedit.cpp).
  void InitEditActions();
  void EditItemActionUpdate(ui::Action& A);
  void EditItemActionExecute();
  void EditCopyActionUpdate(ui::Action& A);
  void EditCopyActionExecute();
  void EditDeleteActionUpdate(ui::Action& A);  // also the hash menus' state
  void EditDeleteActionExecute();
  void EditAllActionUpdate(ui::Action& A);
  void EditAllActionExecute();
  // The entries of the selected rows, in display order.
  std::vector<TFileItem*> SelectedItems();

  // Document commands (main_document.cpp, doccmds.cpp).
  void InitDocumentActions();
  // " %d items", with the time a load or save took (in days) when it is above zero.
  void ShowStatus(double Elapsed);
  // The document's name-conversion event during a text import.
  bool QueryImportCodePage(const std::string& RawName, std::wstring& Name);
  // Imports a text list as a new, unnamed document. An import the user ends, or one that finds
  // no entry (said in an error box), leaves the document shown as it was.
  void ImportTextFile(const std::wstring& FileName);
  // Shows Document in place of the current one.
  void ShowDocument(std::unique_ptr<TFileList> Document);
  void FileNewActionExecute();
  void FileOpenActionExecute();
  void FileSaveActionExecute();
  void FileSaveActionUpdate(ui::Action& A);
  void FileSaveAsActionExecute();
  void FileImportActionExecute();
  void FilePropsActionExecute();
  void HelpTipsActionExecute();
  void HelpAboutActionExecute();

  // Hash menus: items under EditHashItem/MenuHashItem and EditCodeItem/MenuCodeItem; their click
  // handlers get the menu and the item's command ID.
  void ItemHashItemClick(HMENU Menu, UINT Id);
  void ItemCodeItemClick(HMENU Menu, UINT Id);

  // The list of entries (mainlist.cpp). Rebuild from the document, then sort by SortMode:
  // RefreshList after an open or import, DoRefreshList as the progress windows' done event.
  void RefreshList();
  void DoRefreshList();
  // Sorts ViewList by SortMode and rebuilds the rows (selection and scroll position go).
  void SortList();
  void ListViewInitNode(ui::ListNode* Node);
  void ListViewFreeNode(ui::ListNode* Node);
  void ListViewDeleted(const std::vector<void*>& Items);
  void ListViewGetText(ui::ListNode* Node, int Column, std::wstring& Text);
  void ListViewPaintText(ui::ListNode* Node, int Column, ui::Color& Color);
  void ListViewBeforeItemErase(int Row, ui::Color& Color);
  void ListViewHeaderClick(int Column);

  // Document routines used by the lifecycle (main_document.cpp).
  bool AskSaveChanges();
  bool SaveDocument(bool AskName);
  void ClearDocument();
  // Opens a checksum file or imports a text list. One that the reader rejects, or that holds no
  // entry, is reported and leaves the document shown as it was.
  void OpenDocument(const std::wstring& FileName);
  void RunVerify(bool Auto);
  // Update and verify windows (update.cpp, verify.cpp).
  void RunUpdate(bool Auto);
  void ToolUpdateActionExecute();
  void ToolVerifyActionExecute();
  void ToolVerifyActionUpdate(ui::Action& A);
  void ShowTips();

  // Export command (export.cpp).
  void FileExportActionExecute();

  // Shows the window in its window state (minimized without taking the focus).
  void SetVisible(bool Visible) override;
  bool TrayIconShown() const { return trayShown_; }

  static constexpr int ColumnCount = 9;
  static constexpr int SizeColumn = 5;

 protected:
  CreateParams GetCreateParams() override;
  void OnCreated() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  bool OnCommand(int id, int code, HWND from) override;
  bool OnCloseQuery() override { return TntFormCloseQuery(); }
  void OnClose() override { TntFormClose(); }

 private:
  void CreateActions();
  void CreateListColumns();
  void BuildHashMenus();
  void CheckMSSAX();
  void LayoutControls();
  void SetMenuImages(HMENU Menu);
  bool MeasureMenuImage(MEASUREITEMSTRUCT* mis, LRESULT& result);
  bool DrawMenuImage(DRAWITEMSTRUCT* dis, LRESULT& result);
  void AddTrayIcon();
  void RemoveTrayIcon();
  TProgramEnv env_;
  bool trayShown_ = false;
  bool activating_ = false;
  TWindowState pendingState_ = wsNormal;
  HMENU popupRoot_ = nullptr;
  std::vector<std::pair<int, int>> images_;  // command -> tool bar image
};
