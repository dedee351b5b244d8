// Reference for passbench: lists a folder tree and only opens, reads and closes every file in
// 64 KiB reads, the way the passes do, without hashing or bookkeeping.
//
//   readwalk.exe <folder>
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

const DWORD BlockSize = 65536;

struct TWalk {
  void* Buffer;
  int64_t Files = 0;
  int64_t Bytes = 0;
  int64_t Errors = 0;

  void ReadFileWhole(const std::wstring& Path) {
    HANDLE h = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      Errors++;
      return;
    }
    DWORD n;
    do {
      if (!ReadFile(h, Buffer, BlockSize, &n, nullptr)) {
        Errors++;
        break;
      }
      Bytes += n;
    } while (n == BlockSize);
    CloseHandle(h);
    Files++;
  }

  void Folder(const std::wstring& Dir) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((Dir + L"*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
      const wchar_t* name = data.cFileName;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (wcscmp(name, L".") != 0 && wcscmp(name, L"..") != 0) Folder(Dir + name + L'\\');
      } else {
        ReadFileWhole(Dir + name);
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
};

double Now() {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return double(c.QuadPart) / double(f.QuadPart);
}

}  // namespace

int main() {
  int argc;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 2) {
    fprintf(stderr, "usage: readwalk <folder>\n");
    return 2;
  }
  std::wstring root = argv[1];
  if (root.back() != L'\\') root += L'\\';
  TWalk walk;
  walk.Buffer = VirtualAlloc(nullptr, BlockSize, MEM_COMMIT, PAGE_READWRITE);
  double start = Now();
  walk.Folder(root);
  double secs = Now() - start;
  VirtualFree(walk.Buffer, 0, MEM_RELEASE);
  printf("readwalk: %lld files, %.1f MB in %.3f s, %.1f MB/s, %.1f us/file, %lld errors\n",
         (long long)walk.Files, walk.Bytes / 1e6, secs, walk.Bytes / 1e6 / secs,
         secs * 1e6 / (walk.Files ? walk.Files : 1), (long long)walk.Errors);
  return walk.Errors ? 1 : 0;
}
