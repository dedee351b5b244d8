// Main window: construction, controls, lifecycle, tray icon and caption.
#include "app/main.h"

#include <objbase.h>

#include "app/res/resource.h"
#include "hash/misc.h"
#include "hash/registry.h"
#include "ui/app.h"
#include "ui/prompts.h"
#include "ui/strings.h"

TAnimateWindowProc AnimateWindowProc = nullptr;

void InitAnimateWindow() {
  // The library stays loaded for the life of the process.
  HMODULE user32 = LoadLibraryW(L"user32.dll");
  AnimateWindowProc = user32 ? reinterpret_cast<TAnimateWindowProc>(
                                   reinterpret_cast<void*>(GetProcAddress(user32, "AnimateWindow")))
                             : nullptr;
}

namespace {

constexpr UINT WM_FIRSTACTIVATE = WM_APP + 1;

std::wstring ChangeFileExt(const std::wstring& path, const std::wstring& ext) {
  size_t dot = path.find_last_of(L".\\/:");
  if (dot != std::wstring::npos && path[dot] == L'.') return path.substr(0, dot) + ext;
  return path + ext;
}

}  // namespace

TProgramEnv TProgramEnv::FromProcess() {
  TProgramEnv e;
  std::wstring buf(32768, L'\0');
  buf.resize(GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size())));
  e.ProgramPath = buf;
  e.Params = SplitCommandLine(GetCommandLineW());
  return e;
}

std::vector<std::wstring> SplitCommandLine(const wchar_t* p) {
  std::vector<std::wstring> params;
  auto blank = [](wchar_t c) { return c != 0 && c <= L' '; };
  auto next = [&](std::wstring* out) {
    while (blank(*p)) ++p;
    if (!*p) return false;
    bool quoted = false;
    while (*p && (quoted || !blank(*p))) {
      if (*p == L'"')
        quoted = !quoted;
      else if (out)
        *out += *p;
      ++p;
    }
    return true;
  };
  next(nullptr);  // the program itself
  std::wstring param;
  while (next(&param)) {
    params.push_back(param);
    param.clear();
  }
  return params;
}

// Construction --------------------------------------------------------------------

TMainForm::TMainForm(TProgramEnv Env) : env_(std::move(Env)) {
  // The window, its menus and controls; the "File Size" column starts right-aligned.
  Handle();
  FileList = std::make_unique<TFileList>();
  UpdateCaption();

  HINSTANCE inst = ui::Application::Get().Instance();
  TrayIcon = LoadIconW(inst, MAKEINTRESOURCEW(MAINICON));
  TrayIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
  TrayIconData.hWnd = Handle();
  TrayIconData.uID = 123;
  TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  TrayIconData.uCallbackMessage = WM_TRAYICON;
  TrayIconData.hIcon = TrayIcon;
  std::wstring tip = ui::LoadStr(IDS_TRAYTIP);
  WideCharToMultiByte(CP_ACP, 0, tip.c_str(), -1, TrayIconData.szTip,
                      sizeof(TrayIconData.szTip) - 1, nullptr, nullptr);

  ui::Application::Get().OnMinimize = [this] { AppMinimize(); };

  {
    TIniStore ini(IniFileName());
    LoadSettings(ini);
  }
  LoadSettings(*TRegistryStore::OpenForRead(env_.MachineRoot, env_.MachineRootName));
  LoadSettings(*TRegistryStore::OpenForRead(env_.UserRoot, env_.UserRootName));

  CheckMSSAX();

  if (StartMin) {
    if (Min2Tray) {
      ui::Application::Get().ShowMainForm = false;
      AddTrayIcon();
    }
    SetWindowState(wsMinimized);
  }

  RegisterStandardClasses();  // MD5, CRC32, SHA1; HEX, MIME64, UU, XX
  BuildHashMenus();

  if (env_.Params.size() == 1 && env_.Params[0] == L"/uninstallsurvey") CanRun = false;
}

TMainForm::~TMainForm() {
  ui::Guarded([&] {
    ClearDocument();
    RemoveTrayIcon();
    if (AutoSave) SaveRegistryReported(env_.UserRoot, env_.UserRootName);
  });
  auto& app = ui::Application::Get();
  app.OnMinimize = nullptr;
  if (app.MainForm() == this) app.SetMainForm(nullptr);
  if (Accelerators) DestroyAcceleratorTable(Accelerators);
  if (popupRoot_) DestroyMenu(popupRoot_);
}

ui::Form::CreateParams TMainForm::GetCreateParams() {
  CreateParams p;
  p.ClassName = L"TMainForm";
  p.Icon = LoadIconW(ui::Application::Get().Instance(), MAKEINTRESOURCEW(MAINICON));
  p.Menu = LoadMenuW(ui::Application::Get().Instance(), MAKEINTRESOURCEW(IDM_MAIN));
  p.Width = 760;
  p.Height = 520;
  return p;
}

namespace {
// The submenu of the item with this ID; an empty one from the resource gets its menu here.
HMENU SubMenuById(HMENU menu, UINT id) {
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_SUBMENU;
  if (!GetMenuItemInfoW(menu, id, FALSE, &mii)) return nullptr;
  if (!mii.hSubMenu) {
    mii.hSubMenu = CreatePopupMenu();
    SetMenuItemInfoW(menu, id, FALSE, &mii);
  }
  return mii.hSubMenu;
}
}  // namespace

void TMainForm::OnCreated() {
  HINSTANCE inst = ui::Application::Get().Instance();
  MainMenu = GetMenu(HandleIfCreated());
  popupRoot_ = LoadMenuW(inst, MAKEINTRESOURCEW(IDM_LISTPOPUP));
  PopupMenu = GetSubMenu(popupRoot_, 0);
  EditHashItem = SubMenuById(MainMenu, ID_EDIT_HASHMENU);
  EditCodeItem = SubMenuById(MainMenu, ID_EDIT_CODEMENU);
  MenuHashItem = SubMenuById(PopupMenu, ID_MENU_HASHMENU);
  MenuCodeItem = SubMenuById(PopupMenu, ID_MENU_CODEMENU);

  ToolBar.Create(*this, IDB_TOOLBAR, 16);
  StatusBar.Create(*this);
  ListView.Create(
      *this, LVS_OWNERDATA | LVS_SHOWSELALWAYS,
      LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_DOUBLEBUFFER);
  CreateListColumns();
  CreateActions();
  ActionList.BindMenu(MainMenu);
  ActionList.BindMenu(PopupMenu);
  ActionList.BindToolBar(&ToolBar);
  ActionList.UpdateOnIdle();
  ActionList.Update();
  Accelerators = ActionList.Accelerators();
  SetMenuImages(MainMenu);
  SetMenuImages(PopupMenu);
  LayoutControls();
}

void TMainForm::LayoutControls() {
  HWND h = HandleIfCreated();
  if (!h || !ListView.HandleAllocated()) return;
  RECT client;
  GetClientRect(h, &client);
  ToolBar.AutoSize();
  StatusBar.AutoSize();
  int top = ToolBar.Height();
  int bottom = client.bottom - StatusBar.Height();
  ListView.SetBounds(0, top, client.right, bottom > top ? bottom - top : 0);
  // Repainted whole at their new size: the system keeps what they showed before, and the
  // controls redraw only part of it themselves (the status bar not its size grip, the list not
  // its header's last divider nor its border beside the header).
  for (HWND c : {StatusBar.Handle(), ListView.Handle()})
    RedrawWindow(c, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN);
}

// Window messages -----------------------------------------------------------------

bool TMainForm::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_SIZE:
      // The state as the window last had it, also once it is hidden (closed, or in the tray).
      if (wp == SIZE_MINIMIZED)
        pendingState_ = wsMinimized;
      else if (wp == SIZE_MAXIMIZED)
        pendingState_ = wsMaximized;
      else if (wp == SIZE_RESTORED)
        pendingState_ = wsNormal;
      LayoutControls();
      return false;
    case WM_GETMINMAXINFO: {
      // The list keeps at least 150 by 100 pixels.
      RECT r{0, 0, 150,
             100 + (ToolBar.HandleAllocated() ? ToolBar.Height() : 0) +
                 (StatusBar.HandleAllocated() ? StatusBar.Height() : 0)};
      AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, TRUE, 0);
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
      mmi->ptMinTrackSize = {r.right - r.left, r.bottom - r.top};
      result = 0;
      return true;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && !Activated)
        PostMessageW(HandleIfCreated(), WM_FIRSTACTIVATE, 0, 0);
      return false;
    case WM_FIRSTACTIVATE:
      TntFormActivate();
      result = 0;
      return true;
    case WM_INITMENUPOPUP:
      ActionList.OnMenuOpen(reinterpret_cast<HMENU>(wp));
      return false;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) == ListView.Handle()) {
        POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        if (pt.x == -1 && pt.y == -1) {
          RECT r = ListView.Bounds();
          pt = {r.left + 8, r.top + 8};
          ClientToScreen(HandleIfCreated(), &pt);
        }
        TrackPopupMenu(PopupMenu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, HandleIfCreated(), nullptr);
        result = 0;
        return true;
      }
      return false;
    case WM_TRAYICON:
      WMTrayIcon(wp, lp);
      result = 0;
      return true;
    case WM_MEASUREITEM:
      return MeasureMenuImage(reinterpret_cast<MEASUREITEMSTRUCT*>(lp), result);
    case WM_DRAWITEM:
      return DrawMenuImage(reinterpret_cast<DRAWITEMSTRUCT*>(lp), result);
  }
  return false;
}

bool TMainForm::OnCommand(int id, int, HWND) {
  return ActionList.Execute(id);
}

ui::Action& TMainForm::Action(int Id) {
  ui::Action* a = ActionList.Find(Id);
  if (!a) throw std::logic_error("no such action");
  return *a;
}

// Window state ----------------------------------------------------------------------

TWindowState TMainForm::WindowState() {
  HWND h = HandleIfCreated();
  if (h && (IsWindowVisible(h) || IsIconic(h)))
    pendingState_ = IsIconic(h) ? wsMinimized : IsZoomed(h) ? wsMaximized : wsNormal;
  return pendingState_;
}

void TMainForm::SetWindowState(TWindowState State) {
  pendingState_ = State;
  HWND h = HandleIfCreated();
  if (h && IsWindowVisible(h))
    ShowWindow(h, State == wsMinimized   ? SW_MINIMIZE
                  : State == wsMaximized ? SW_MAXIMIZE
                                         : SW_RESTORE);
}

void TMainForm::SetVisible(bool Visible) {
  HWND h = Handle();
  if (!Visible) {
    ShowWindow(h, SW_HIDE);
    return;
  }
  ShowWindow(h, pendingState_ == wsMinimized   ? SW_SHOWMINNOACTIVE
                : pendingState_ == wsMaximized ? SW_SHOWMAXIMIZED
                                               : SW_SHOW);
}

// Lifecycle ---------------------------------------------------------------------------

void TMainForm::TntFormActivate() {
  // Opening a document pumps messages; a second activation meanwhile must not start again.
  if (Activated || activating_) return;
  activating_ = true;
  // Handled once, also when the open fails: its error box would otherwise come back at every
  // activation.
  struct Done {
    TMainForm* f;
    ~Done() {
      f->activating_ = false;
      f->Activated = true;
    }
  } done{this};

  if (WindowState() != SavedWindowState)
    SetWindowState(static_cast<TWindowState>(SavedWindowState));
  ui::ProcessMessages();

  std::wstring file;
  for (const std::wstring& p : env_.Params)
    if (!p.empty() && p[0] != L'/' && p[0] != L'-') {
      file = p;
      break;
    }
  if (!file.empty()) {
    OpenDocument(file);
  } else if (AutoHash) {
    std::wstring name = ChangeFileExt(env_.ProgramPath, L".#ml");
    if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) {
      OpenDocument(name);
      if (FileList->GetCount() > 0) RunVerify(true);
    }
  } else if (TipOfDay) {
    ShowTips();
  }
}

bool TMainForm::TntFormCloseQuery() {
  return AskSaveChanges();
}

void TMainForm::TntFormClose() {
  if (SmothWin && AnimateWindowProc) AnimateWindowProc(HandleIfCreated(), 500, AW_HIDE | AW_BLEND);
}

void TMainForm::AddTrayIcon() {
  Shell_NotifyIconA(NIM_ADD, &TrayIconData);
  trayShown_ = true;
}

void TMainForm::RemoveTrayIcon() {
  Shell_NotifyIconA(NIM_DELETE, &TrayIconData);
  trayShown_ = false;
}

void TMainForm::AppMinimize() {
  if (!Min2Tray) return;
  AddTrayIcon();
  ShowWindow(HandleIfCreated(), SW_HIDE);
}

void TMainForm::WMTrayIcon(WPARAM, LPARAM lp) {
  switch (lp) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      break;
    default:
      return;
  }
  HWND h = HandleIfCreated();
  if (IsIconic(h)) ShowWindow(h, SW_RESTORE);  // also shows it
  if (pendingState_ == wsMinimized) pendingState_ = wsNormal;
  ShowWindow(h, SW_SHOW);
  SetForegroundWindow(h);
  RemoveTrayIcon();
}

void TMainForm::UpdateCaption() {
  std::wstring text = ui::LoadStr(IDS_CAPTION) + GetVersionText(env_.ProgramPath, true);
  if (!FileList->ListFileName.empty()) text += L" - " + FileList->ListFileName;
  SetCaption(text);
  ui::Application::Get().SetTitle(text);
}

std::wstring TMainForm::IniFileName() const {
  return ChangeFileExt(env_.ProgramPath, L".ini");
}

void TMainForm::CheckMSSAX() {
  IUnknown* reader = nullptr;
  HRESULT hr =
      CoCreateInstance(env_.SAXReaderClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                       IID_IUnknown, reinterpret_cast<void**>(&reader));
  MSSAXPresent = SUCCEEDED(hr) && reader;
  if (reader) reader->Release();
  if (!MSSAXPresent) UseMSSAX = false;
}
