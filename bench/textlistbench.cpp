// Export and import of a text list of 1,000,000 lines: seconds and peak memory. The import runs
// in a process of its own, so that its peak is its own.
//   textlistbench [lines]          builds a document, exports it, imports the list
//   textlistbench import <file>    (internal) one import
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "bench/benchutil.h"
#include "document/data.h"
#include "document/stream.h"
#include "hash/registry.h"

namespace {

double MiB(size_t Bytes) {
  return Bytes / 1048576.0;
}

int ImportOnce(const std::wstring& FileName) {
  RegisterStandardClasses();
  TFileList list;
  const double before = MiB(ProcessMemory().PagefileUsage);
  const auto start = std::chrono::steady_clock::now();
  TFileStream stream(FileName, fmOpenRead);
  const bool ok = list.ImportTextList(stream);
  const double seconds = Seconds(start);
  const PROCESS_MEMORY_COUNTERS m = ProcessMemory();
  std::printf(
      "import  %s %d entries  %.2f s  peak %.0f MiB private, %.0f MiB working set "
      "(%.0f MiB at start), document %.0f MiB\n",
      ok ? "ok" : "FAILED", list.GetCount(), seconds, MiB(m.PeakPagefileUsage),
      MiB(m.PeakWorkingSetSize), before, MiB(m.PagefileUsage));
  return ok ? 0 : 1;
}

// One entry in eight is a CRC32 and one a SHA1, so that all three line lengths occur.
void Fill(TFileList& List, int Count) {
  FillBenchDocument(List, Count);
  for (int i = 1; i < Count; i += 8) {
    List.Items[i]->HashType = "CRC32";
    List.Items[i]->HashValue.resize(8);
  }
  for (int i = 2; i < Count; i += 8) {
    List.Items[i]->HashType = "SHA1";
    List.Items[i]->HashValue += List.Items[i]->HashValue.substr(0, 8);
  }
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc == 3 && std::wstring(argv[1]) == L"import") return ImportOnce(argv[2]);
  RegisterStandardClasses();
  const int count = argc > 1 ? _wtoi(argv[1]) : 1000000;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring fileName = std::wstring(temp) + L"textlistbench.txt";
  {
    TFileList list;
    Fill(list, count);
    const double built = MiB(ProcessMemory().PagefileUsage);
    const auto start = std::chrono::steady_clock::now();
    bool ok;
    {
      TFileStream stream(fileName, fmCreate);
      ok = list.ExportTextList(stream, lfBSD, leCRLF, pdSlash, csUTF8, 0, true);
    }
    const double seconds = Seconds(start);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(fileName.c_str(), GetFileExInfoStandard, &data);
    std::printf(
        "export  %s %d lines  %.2f s  %.0f MiB file  peak %.0f MiB private "
        "(document built: %.0f MiB)\n",
        ok ? "ok" : "FAILED", count, seconds,
        MiB((static_cast<size_t>(data.nFileSizeHigh) << 32) + data.nFileSizeLow),
        MiB(ProcessMemory().PeakPagefileUsage), built);
    if (!ok) return 1;
  }
  const int failures = RunSelf(argv[0], L"import \"" + fileName + L"\"");
  DeleteFileW(fileName.c_str());
  return failures;
}
