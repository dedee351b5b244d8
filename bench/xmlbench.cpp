// Save and load of a checksum file of 1,000,000 entries with each parser: seconds and peak
// memory. Each load runs in a process of its own, so that each peak is its own.
//   xmlbench [entries]            builds, saves, then loads with both parsers; a third of the
//                                 entries have a note of two lines (CR LF), which the MSXML
//                                 reader gets with stand-ins where it needs them
//   xmlbench save <file> <entries> <rounds>
//                                 builds once, saves to file that many times and keeps the file
//                                 (bench/xmlbench.sh sets it beside native xmllint on that file)
//   xmlbench load <file> <msxml>  (internal) one load
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "bench/benchutil.h"
#include "document/data.h"
#include "document/xml.h"

namespace {

// The document's own memory is what the process holds after the load beyond what it held before;
// the peak counts from the same start, so peak - document is what the load needed besides.
int LoadOnce(const std::wstring& FileName, bool UseMSXML) {
  TFileList list;
  std::wstring message;
  int32_t column = 0, line = 0;
  const double before = NowMiB();
  const auto start = std::chrono::steady_clock::now();
  const bool ok = list.LoadFromXML(FileName, UseMSXML, message, column, line);
  const double seconds = Seconds(start);
  const double document = NowMiB() - before, peak = PeakMiB() - before;
  std::printf(
      "load %-8s %s %d entries  %.3f s  peak %.0f MiB  document %.0f MiB  peak - document %.0f "
      "MiB\n",
      UseMSXML ? "MSXML" : "built-in", ok ? "ok" : "FAILED", list.GetCount(), seconds, peak,
      document, peak - document);
  return ok ? 0 : 1;
}

// Builds a document of Count entries once and saves it Rounds times, one line per save.
void SaveRounds(const std::wstring& FileName, int Count, int Rounds, bool Notes) {
  TFileList list;
  FillBenchDocument(list, Count);
  for (int i = 0; Notes && i < Count; i += 3)
    list.Items[i]->FileNote = L"copied from the old disk\r\nchecked " + std::to_wstring(i);
  std::printf("document of %d entries built: %.0f MiB\n", Count, NowMiB());
  for (int round = 0; round < Rounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    list.SaveToXML(FileName);
    const double seconds = Seconds(start);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(FileName.c_str(), GetFileExInfoStandard, &data);
    std::printf(
        "save     %.3f s  %.0f MiB file  peak %.0f MiB\n", seconds,
        (static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / 1048576.0,
        PeakMiB());
  }
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc == 4 && std::wstring(argv[1]) == L"load") return LoadOnce(argv[2], argv[3][0] == L'1');
  if (argc == 5 && std::wstring(argv[1]) == L"save") {
    SaveRounds(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), false);
    return 0;
  }
  const int count = argc > 1 ? _wtoi(argv[1]) : 1000000;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring fileName = std::wstring(temp) + L"xmlbench.#ml";
  SaveRounds(fileName, count, 1, true);
  int failures = 0;
  for (const wchar_t* msxml : {L"0", L"1"})
    failures += RunSelf(argv[0], L"load \"" + fileName + L"\" " + msxml);
  DeleteFileW(fileName.c_str());
  return failures;
}
