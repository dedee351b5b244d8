// Update (scan and hash) and then verify of a folder tree, timed, beside the in-memory speed of
// the MD5 hasher. bench/passbench.sh generates the trees and runs the references beside it.
//
//   passbench.exe <folder> [md5sum list to write]
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "document/data.h"
#include "hash/coders.h"
#include "hash/hashers.h"
#include "hash/misc.h"
#include "hash/registry.h"

namespace {

double Now() {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return double(c.QuadPart) / double(f.QuadPart);
}

void Report(const char* What, int64_t Files, int64_t Bytes, double Secs) {
  printf("%-22s %7lld files, %8.1f MB in %7.3f s, %8.1f MB/s, %7.1f us/file\n", What,
         (long long)Files, Bytes / 1e6, Secs, Bytes / 1e6 / Secs,
         Secs * 1e6 / double(Files ? Files : 1));
}

double InMemoryMD5() {
  std::vector<uint8_t> block(HashBlockSize);
  for (size_t i = 0; i < block.size(); i++) block[i] = uint8_t(i * 7 + 3);
  const int blocks = 8192;  // 512 MiB
  TMD5Hasher hasher;
  double start = Now();
  hasher.Init();
  for (int i = 0; i < blocks; i++) hasher.Update(block.data(), HashBlockSize);
  hasher.Done();
  double secs = Now() - start;
  return double(blocks) * HashBlockSize / 1e6 / secs;
}

// What a progress window counts: files, bytes and errors.
struct TCounters {
  int64_t Bytes = 0, Files = 0, Errors = 0;
};

void Install(TFileList& Doc, TCounters& C) {
  Doc.OnProgress = [&C](int32_t Bytes, bool) {
    C.Bytes += Bytes;
    return true;
  };
  Doc.OnStatus = [](const std::wstring&) { return true; };
  Doc.OnItemDone = [&C](TFileItem*, bool Ok) {
    C.Files++;
    C.Errors += !Ok;
    return true;
  };
  Doc.OnScanError = [](const std::wstring&, uint32_t) { return true; };
}

bool Pass(TFileList& Doc, const std::wstring& Folder, bool IsUpdate, const char* Name) {
  TCounters c;
  Install(Doc, c);
  int64_t total;
  int32_t count;
  double start = Now();
  bool ok = IsUpdate ? Doc.PrepareUpdate(Folder, total, count) : Doc.PrepareVerify(Folder, total, count);
  double prepared = Now();
  ok = ok && Doc.ProcessItems(Folder, IsUpdate);
  double end = Now();
  std::string what = std::string(Name) + (IsUpdate ? " (scan)" : " (check)");
  Report(what.c_str(), Doc.GetCount(), 0, prepared - start);
  Report(Name, c.Files, c.Bytes, end - start);
  if (!ok || c.Errors) printf("  %s: %s, %lld errors\n", Name, ok ? "done" : "stopped", (long long)c.Errors);
  return ok && !c.Errors;
}

void WriteMD5List(const TFileList& Doc, const std::wstring& Path) {
  FILE* f = _wfopen(Path.c_str(), L"wb");
  if (!f) return;
  for (auto& item : Doc.Items) {
    std::string hash = item->HashValue, name(item->FileName.begin(), item->FileName.end());
    for (char& c : hash) c = char(tolower(uint8_t(c)));
    for (char& c : name) c = c == '\\' ? '/' : c;
    fprintf(f, "%s  %s\n", hash.c_str(), name.c_str());
  }
  fclose(f);
}

}  // namespace

int main() {
  int argc;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 2) {
    fprintf(stderr, "usage: passbench <folder> [md5sum list]\n");
    return 2;
  }
  std::wstring folder = argv[1];
  if (folder.back() != L'\\') folder += L'\\';
  RegisterStandardClasses();

  printf("MD5 in memory:         %.1f MB/s\n", InMemoryMD5());
  TFileList doc;
  bool ok = Pass(doc, folder, true, "update");
  ok = Pass(doc, folder, false, "verify") && ok;
  if (argc > 2) WriteMD5List(doc, argv[2]);
  return ok ? 0 : 1;
}
