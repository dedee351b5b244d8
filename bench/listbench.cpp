// Main list with a document of 1,000,000 entries (or the count given): the rebuild after an open
// (RefreshList), a sort by every column in both directions through the header, the texts of
// one screen of rows deep in the list, copying every row to the clipboard, a paste of each of
// the copy's formats, and deleting every row.
//
//   listbench.exe [count]
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/main.h"
#include "bench/benchutil.h"
#include "ui/app.h"
#include "ui/strings.h"

namespace {

// Asks the clipboard for each of the list's formats as a paste of it would (the list makes a
// format when it is first asked for) and tells each one's time and size; the total size.
double PasteEveryFormat() {
  double bytes = 0;
  if (!OpenClipboard(nullptr)) return 0;
  for (const std::wstring& name : ui::ListView::ClipboardFormats()) {
    const UINT format = name == L"Plain text"     ? CF_TEXT
                        : name == L"Unicode text" ? CF_UNICODETEXT
                                                  : RegisterClipboardFormatW(name.c_str());
    const auto start = std::chrono::steady_clock::now();
    const HANDLE h = GetClipboardData(format);
    const double size = h ? static_cast<double>(GlobalSize(h)) / 1048576.0 : 0;
    std::printf("  %-38s %8.3f s   %7.1f MiB\n", ui::ToUtf8(name).c_str(), Seconds(start), size);
    bytes += size;
  }
  CloseClipboard();
  return bytes;
}

void Report(const char* what, double seconds) {
  std::printf("%-40s %8.3f s   peak %7.1f MiB\n", what, seconds, PeakMiB());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
  ui::Application::Get().Initialize(GetModuleHandleW(nullptr));

  // A program path of its own, so no settings file is found beside it.
  TProgramEnv env = TProgramEnv::FromProcess();
  env.ProgramPath = (std::filesystem::temp_directory_path() / L"listbench\\jurnvalt.exe").wstring();
  env.Params.clear();
  TMainForm form(env);
  form.SortMode = 0;

  FillBenchDocument(*form.FileList, count);
  static const TFileState states[] = {fsOK,      fsOK,   fsOK,      fsChanged, fsNotFound,
                                      fsNewFile, fsNone, fsTouched, fsOK,      fsReadError};
  uint32_t seed = 7;
  for (auto& item : form.FileList->Items) {
    seed = seed * 1103515245 + 12345;
    item->State = states[(seed >> 16) % 10];
  }
  std::printf("%d entries\n", form.FileList->GetCount());

  auto start = std::chrono::steady_clock::now();
  form.RefreshList();
  Report("RefreshList, unsorted", Seconds(start));

  form.SortMode = 1;
  start = std::chrono::steady_clock::now();
  form.RefreshList();
  const double sortSeconds = Seconds(start);
  Report("RefreshList, sorted by name", sortSeconds);

  form.SortMode = 2;
  start = std::chrono::steady_clock::now();
  form.RefreshList();
  Report("RefreshList, sorted by state", Seconds(start));

  form.SortMode = 0;
  form.RefreshList();
  static const char* names[] = {"File",      "State", "Hash", "Encoding", "Hash Value",
                                "File Size", "Date",  "Time", "Notes"};
  for (int column = 0; column < TMainForm::ColumnCount; ++column)
    for (const char* direction : {"ascending", "descending"}) {
      start = std::chrono::steady_clock::now();
      form.ListViewHeaderClick(column);
      char what[64];
      std::snprintf(what, sizeof what, "header click %s, %s", names[column], direction);
      Report(what, Seconds(start));
    }

  // One screen of rows in the middle: what scrolling there costs.
  start = std::chrono::steady_clock::now();
  wchar_t buf[512];
  for (int row = count / 2; row < count / 2 + 40 && row < count; ++row)
    for (int column = 0; column < TMainForm::ColumnCount; ++column) {
      LVITEMW item{};
      item.iSubItem = column;
      item.pszText = buf;
      item.cchTextMax = 512;
      SendMessageW(form.ListView.Handle(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
  Report("texts of 40 rows x 9 columns", Seconds(start));

  start = std::chrono::steady_clock::now();
  form.ListView.SelectAll();
  Report("select all", Seconds(start));
  // The copy beside the sort by name of this run: what the user waits for on Ctrl+C, then what
  // making every format costs when a paste asks for each, and the memory after each.
  const double before = NowMiB();
  start = std::chrono::steady_clock::now();
  const bool copied = form.ListView.CopyToClipboard();
  const double copySeconds = Seconds(start);
  const double copyPeak = PeakMiB();
  Report(copied ? "copy every row" : "copy every row FAILED", copySeconds);
  const double afterCopy = NowMiB();
  start = std::chrono::steady_clock::now();
  const double clipboard = PasteEveryFormat();
  const double pasteSeconds = Seconds(start);
  Report("paste of every format", pasteSeconds);
  std::printf("\n%-30s %8s %8s %12s %12s\n", "", "seconds", "x sort", "peak MiB", "in use MiB");
  std::printf("%-30s %8.3f %8.2f\n", "sort by name", sortSeconds, 1.0);
  std::printf("%-30s %8.3f %8.2f %12.1f %12.1f\n", "copy (Ctrl+C)", copySeconds,
              copySeconds / sortSeconds, copyPeak, afterCopy);
  std::printf("%-30s %8.3f %8.2f %12.1f %12.1f\n", "then every format pasted", pasteSeconds,
              pasteSeconds / sortSeconds, PeakMiB(), NowMiB());
  std::printf("in use before the copy %.1f MiB; the formats %.1f MiB\n\n", before, clipboard);

  start = std::chrono::steady_clock::now();
  form.Deleting = true;
  form.ListView.DeleteSelected();
  form.Deleting = false;
  Report("delete every row", Seconds(start));
  std::printf("left: %d rows, %d entries\n", form.ListView.RowCount(), form.FileList->GetCount());
  // A gigabyte left on the clipboard would keep the system busy into the next run.
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  return 0;
}
