#pragma once
// Files for tests that work on real ones: a folder of its own under the temporary folder,
// removed with everything in it. Every path goes through the extended-length prefix, so files
// deeper than MAX_PATH work too; folder links inside are removed, never followed.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

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

// Read as a program that lets others go on writing, renaming or replacing the file meanwhile.
inline std::string ReadBytes(const std::wstring& Path) {
  std::string bytes;
  HANDLE h = CreateFileW(Extended(Path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  char buffer[65536];
  DWORD n = 0;
  while (h != INVALID_HANDLE_VALUE && ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
    bytes.append(buffer, n);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return bytes;
}

// What a folder holds, without "." and "..".
inline std::vector<WIN32_FIND_DATAW> FolderEntries(const std::wstring& Folder) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW d;
  HANDLE f = FindFirstFileW(Extended(Folder + L"*").c_str(), &d);
  for (bool more = f != INVALID_HANDLE_VALUE; more; more = FindNextFileW(f, &d))
    if (std::wcscmp(d.cFileName, L".") != 0 && std::wcscmp(d.cFileName, L"..") != 0)
      entries.push_back(d);
  if (f != INVALID_HANDLE_VALUE) FindClose(f);
  return entries;
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

  std::wstring Root;  // ends in a backslash

 private:
  static void Remove(const std::wstring& Folder) {
    for (const WIN32_FIND_DATAW& d : FolderEntries(Folder)) {
      const std::wstring path = Folder + d.cFileName;
      SetFileAttributesW(Extended(path).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW(Extended(path).c_str());
      else if (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        RemoveDirectoryW(Extended(path).c_str());
      else
        Remove(path + L"\\");
    }
    RemoveDirectoryW(Extended(Folder).c_str());
  }
};
