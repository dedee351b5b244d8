#pragma once
// Files for tests that work on real ones: a folder of its own under the temporary folder,
// removed with everything in it. Every path goes through the extended-length prefix, so files
// deeper than MAX_PATH work too; folder links inside are removed, never followed.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

inline std::wstring Extended(const std::wstring& Path) {
  return L"\\\\?\\" + Path;
}

inline void WriteBytes(const std::wstring& Path, const std::string& Bytes) {
  HANDLE h = CreateFileW(Extended(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot create a file: " << GetLastError();
  DWORD n = 0;
  EXPECT_TRUE(Bytes.empty() || WriteFile(h, Bytes.data(), DWORD(Bytes.size()), &n, nullptr));
  CloseHandle(h);
}

inline std::string ReadBytes(const std::wstring& Path) {
  std::string bytes;
  HANDLE h = CreateFileW(Extended(Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  char buffer[65536];
  DWORD n = 0;
  while (h != INVALID_HANDLE_VALUE && ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
    bytes.append(buffer, n);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return bytes;
}

class TTempFolder {
 public:
  TTempFolder() {
    static int serial = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    Root = std::wstring(temp) + L"jvtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++serial) + L"\\";
    CreateDirectoryW(Root.c_str(), nullptr);
  }
  ~TTempFolder() { Remove(Root); }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  std::wstring File(const std::wstring& Name) const { return Root + Name; }
  // Writes Name (which may name folders on its way) and gives its path.
  std::wstring Write(const std::wstring& Name, const std::string& Bytes,
                     DWORD Attributes = 0) const {
    for (size_t i = Name.find(L'\\'); i != std::wstring::npos; i = Name.find(L'\\', i + 1))
      CreateDirectoryW(Extended(Root + Name.substr(0, i)).c_str(), nullptr);
    WriteBytes(Root + Name, Bytes);
    if (Attributes) SetFileAttributesW(Extended(Root + Name).c_str(), Attributes);
    return Root + Name;
  }
  // Files and folders directly inside.
  size_t Count() const {
    size_t n = 0;
    Walk(Root, [&n](const std::wstring&, const WIN32_FIND_DATAW&) { ++n; });
    return n;
  }

  std::wstring Root;  // ends in a backslash

 private:
  template <class F>
  static void Walk(const std::wstring& Folder, F Visit) {
    WIN32_FIND_DATAW d;
    HANDLE f = FindFirstFileW(Extended(Folder + L"*").c_str(), &d);
    for (bool more = f != INVALID_HANDLE_VALUE; more; more = FindNextFileW(f, &d))
      if (std::wstring(d.cFileName) != L"." && std::wstring(d.cFileName) != L"..")
        Visit(Folder + d.cFileName, d);
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
  }
  static void Remove(const std::wstring& Folder) {
    Walk(Folder, [](const std::wstring& Path, const WIN32_FIND_DATAW& d) {
      SetFileAttributesW(Extended(Path).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW(Extended(Path).c_str());
      else if (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        RemoveDirectoryW(Extended(Path).c_str());
      else
        Remove(Path + L"\\");
    });
    RemoveDirectoryW(Extended(Folder).c_str());
  }
};
