#pragma once
// Small helpers the benchmark programs share: wall time, process memory, and running this
// program again with other arguments (so that each measured phase has a peak of its own).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "document/data.h"

inline double Seconds(std::chrono::steady_clock::time_point Start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

inline PROCESS_MEMORY_COUNTERS ProcessMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters;
}
inline double PeakMiB() {
  const PROCESS_MEMORY_COUNTERS m = ProcessMemory();
  return std::max(m.PeakPagefileUsage, m.PeakWorkingSetSize) / 1048576.0;
}
inline double NowMiB() {
  return ProcessMemory().PagefileUsage / 1048576.0;
}

// Runs Self with Arguments and waits; its exit code, or 1 when it cannot start.
inline int RunSelf(const std::wstring& Self, const std::wstring& Arguments) {
  std::wstring command = L"\"" + Self + L"\" " + Arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return 1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

// A document of Count entries as a large scan produces them: a thousand folders, an MD5 each.
inline void FillBenchDocument(TFileList& List, int Count) {
  static const char hex[] = "0123456789abcdef";
  uint32_t seed = 12345;
  for (int i = 0; i < Count; ++i) {
    auto item = std::make_unique<TFileItem>();
    item->Owner = &List;
    item->FileName = L"folder" + std::to_wstring(i % 1000) + L"\\sub folder\\file " +
                     std::to_wstring(i) + L".dat";
    item->FileSize = static_cast<int64_t>(i) * 7919;
    item->FileTime = 3287174400 + i;
    std::string value(32, '0');
    for (char& c : value) {
      seed = seed * 1103515245 + 12345;
      c = hex[(seed >> 16) & 15];
    }
    item->HashValue = value;
    List.Items.push_back(std::move(item));
  }
}
