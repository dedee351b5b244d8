// A verify of many small files through the verify window beside the bare pass on the same tree:
// what the window's counting, redrawing and message pumping cost. The tree is made on the first
// run (100 folders, files of 0 to 4 KiB) and kept.
//
//   windowpassbench.exe [folder] [file count] [rounds]
//   (default Z:\tmp\jv-windowbench under Wine, 100000 files, 5 rounds)
//
// The rounds alternate which of the two goes first; on a busy machine the best round of each is
// the fairer comparison, and both it and the median are reported, with the time spent inside
// the window's event handlers, which is the window's own cost.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/verify.h"
#include "bench/benchutil.h"
#include "hash/registry.h"
#include "ui/app.h"
#include "ui/prompts.h"

namespace {

void MakeTree(const std::wstring& Root, int Count) {
  const std::wstring marker = Root + L"\\done-" + std::to_wstring(Count);
  if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  printf("making %d files under %ls ...\n", Count, Root.c_str());
  CreateDirectoryW(Root.c_str(), nullptr);
  std::string data(8192, '\0');
  uint32_t seed = 1;
  auto next = [&seed] { return (seed = seed * 1103515245 + 12345) >> 8; };
  for (char& c : data) c = static_cast<char>(next());
  for (int i = 0; i < Count; ++i) {
    wchar_t folder[32], name[32];
    swprintf(folder, 32, L"\\d%03d", i % 100);
    swprintf(name, 32, L"\\f%06d.bin", i);
    std::wstring dir = Root + folder;
    if (i < 100) CreateDirectoryW(dir.c_str(), nullptr);
    HANDLE h = CreateFileW((dir + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    DWORD n = 0;
    WriteFile(h, data.data() + next() % 4096, next() % 4096, &n, nullptr);
    CloseHandle(h);
  }
  CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

void ClearEvents(TFileList& Doc) {
  Doc.OnProgress = nullptr;
  Doc.OnStatus = nullptr;
  Doc.OnItemDone = nullptr;
  Doc.OnScanError = nullptr;
}

double BareVerify(TFileList& Doc, const std::wstring& Folder) {
  ClearEvents(Doc);
  auto start = std::chrono::steady_clock::now();
  int64_t bytes = 0;
  int32_t count = 0;
  Doc.PrepareVerify(Folder, bytes, count);
  Doc.ProcessItems(Folder, false);
  return Seconds(start);
}

// Wraps a handler so that the time spent in it adds to Total.
template <class F>
F Timed(F Handler, double& Total) {
  return [Handler, &Total](auto... Args) {
    auto start = std::chrono::steady_clock::now();
    bool go = Handler(Args...);
    Total += Seconds(start);
    return go;
  };
}

// The run through the window; Handlers gets the time spent in the window's event handlers.
double WindowVerify(TFileList& Doc, const std::wstring& Folder, std::wstring& Summary,
                    double& Handlers) {
  TVerifyForm form(nullptr);
  ui::Script script;
  double secs = 0;
  Handlers = 0;
  script.AnswerDialog([&](ui::Dialog&) {
    form.PathEdit.SetText(Folder);
    auto start = std::chrono::steady_clock::now();
    form.StartButton.Click();
    secs = Seconds(start);
    form.CloseButton.Click();
  });
  form.Init(nullptr, &Doc, nullptr, false);
  Doc.OnProgress = Timed(Doc.OnProgress, Handlers);
  Doc.OnStatus = Timed(Doc.OnStatus, Handlers);
  Doc.OnItemDone = Timed(Doc.OnItemDone, Handlers);
  form.ShowModal();
  if (!script.Asked().empty()) Summary = script.Asked().back().Text;
  return secs;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring root = argc > 1 ? argv[1] : L"Z:\\tmp\\jv-windowbench";
  const int count = argc > 2 ? _wtoi(argv[2]) : 100000;
  const int rounds = argc > 3 ? _wtoi(argv[3]) : 5;
  OleInitialize(nullptr);
  ui::Application::Get().Initialize(GetModuleHandleW(nullptr));
  RegisterStandardClasses();
  MakeTree(root, count);
  const std::wstring folder = root + L"\\";

  TFileList doc;
  int64_t bytes = 0;
  int32_t selected = 0;
  auto start = std::chrono::steady_clock::now();
  doc.PrepareUpdate(folder, bytes, selected);
  doc.ProcessItems(folder, true);
  printf("update (bare, builds the document): %d entries, %.1f MB, %.2f s\n", doc.GetCount(),
         bytes / 1e6, Seconds(start));

  std::vector<double> bare, window, handlers;
  double inHandlers = 0;
  std::wstring summary;
  for (int r = 0; r < rounds; ++r) {
    if (r % 2) window.push_back(WindowVerify(doc, folder, summary, inHandlers));
    bare.push_back(BareVerify(doc, folder));
    if (r % 2 == 0) window.push_back(WindowVerify(doc, folder, summary, inHandlers));
    handlers.push_back(inHandlers);
    printf("round %d: bare %.2f s, window %.2f s, of which in the window's handlers %.3f s\n",
           r + 1, bare.back(), window.back(), inHandlers);
  }
  std::sort(bare.begin(), bare.end());
  std::sort(window.begin(), window.end());
  std::sort(handlers.begin(), handlers.end());
  auto report = [count](const char* what, double b, double w) {
    printf("verify of %d files, %s: bare PrepareVerify+ProcessItems %.2f s (%.1f us/file), through"
           " the window %.2f s (%.1f us/file): %+.1f %%\n",
           count, what, b, b * 1e6 / count, w, w * 1e6 / count, (w / b - 1) * 100);
  };
  report("best round", bare.front(), window.front());
  report("median", bare[bare.size() / 2], window[window.size() / 2]);
  // The machine's load moves whole rounds by tens of per cent; the handlers' own time is the
  // window's cost that such noise does not hide.
  const double h = handlers[handlers.size() / 2];
  printf("time in the window's handlers, median: %.3f s (%.2f us/file), %.1f %% of the best bare"
         " round, %.1f %% of the median one\n",
         h, h * 1e6 / count, h / bare.front() * 100, h / bare[bare.size() / 2] * 100);
  printf("window's summary: %ls\n", summary.c_str());
  OleUninitialize();
  return 0;
}
