#pragma once
// Scratch places for tests: a temporary folder and a registry key that stands in for a root
// (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER); both are removed again.
#include <windows.h>

#include <string>
#include <vector>

class ScratchDir {
 public:
  ScratchDir() {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    path_ = std::wstring(tmp) + L"jvtest" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(counter_++);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchDir() { Remove(path_); }
  const std::wstring& Path() const { return path_; }

 private:
  static void Remove(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..") continue;
        std::wstring p = dir + L"\\" + n;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          Remove(p);
        else
          DeleteFileW(p.c_str());
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
  }
  std::wstring path_;
  static inline int counter_ = 0;
};

// Folders of 48 letters each, one inside the other under Root (under the temporary folder, six
// reach past 300 characters); the paths of all of them.
inline std::vector<std::wstring> FolderChain(const std::wstring& Root, int Count) {
  std::vector<std::wstring> chain;
  std::wstring path = Root;
  for (int i = 0; i < Count; ++i) {
    path += L"\\" + std::wstring(48, wchar_t(L'a' + i));
    CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
    chain.push_back(path);
  }
  return chain;
}

// A root that nothing can be read from or written to (as a key without access would be).
inline HKEY NoSuchKey() {
  return reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7FFFFFF0));
}

class ScratchRegistry {
 public:
  ScratchRegistry() {
    name_ = L"Software\\JurnvaltTests\\" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(counter_++);
    RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &root_, nullptr);
  }
  ~ScratchRegistry() {
    RegCloseKey(root_);
    RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, name_.c_str());
  }
  HKEY Root() const { return root_; }

 private:
  std::wstring name_;
  HKEY root_ = nullptr;
  static inline int counter_ = 0;
};
