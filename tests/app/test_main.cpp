// GUI tests run on this thread as the program's window thread: COM initialised as the program
// does, and the application object bound to the test executable's resources.
#include <gtest/gtest.h>
#include <objbase.h>

#include "ui/app.h"

namespace {

// Under Wine without a window manager, hiding or destroying a window that Wine hands to the
// window manager waits two seconds for an answer that never comes. Windows of the test prefix
// are therefore left unmanaged; the setting takes effect in a new process, so the first run
// that sets it starts itself again.
bool EnsureUnmanagedWineWindows() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return false;
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0,
                      KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  wchar_t value[8] = {};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  bool set = RegQueryValueExW(key, L"Managed", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                              &size) == ERROR_SUCCESS &&
             value[0] == L'N';
  if (!set) RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 4);
  RegCloseKey(key);
  return !set;
}

int RunAgain() {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, GetCommandLineW(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                      &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD rc = 1;
  GetExitCodeProcess(pi.hProcess, &rc);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(rc);
}

}  // namespace

int main(int argc, char** argv) {
  if (EnsureUnmanagedWineWindows()) return RunAgain();
  ::testing::InitGoogleTest(&argc, argv);
  OleInitialize(nullptr);
  ui::Application::Get().Initialize(GetModuleHandleW(nullptr));
  int rc = RUN_ALL_TESTS();
  OleUninitialize();
  return rc;
}
