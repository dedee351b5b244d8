// Name index of a large document: a new-file scan inserts names one by one where FindIndex
// points, then looks names up. Times per operation at two sizes show how the cost grows.
//
//   nameindex.exe [count...]      (default 250000 1000000)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "document/data.h"

namespace {
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point From) {
  return std::chrono::duration<double>(Clock::now() - From).count();
}

// Names as a scan of a deep tree produces them: mixed case, some non-ASCII letters.
std::vector<std::wstring> MakeNames(int Count, std::mt19937& Rng) {
  static const wchar_t* kWords[] = {L"Photos", L"backup", L"Musik",   L"\u00c9t\u00e9",
                                    L"src",    L"Docs",   L"archive", L"\u00dcbung",
                                    L"Video",  L"data"};
  static const wchar_t* kExt[] = {L".jpg", L".TXT", L".iso", L".cpp", L".Mp3"};
  std::vector<std::wstring> names;
  names.reserve(Count);
  for (int i = 0; i < Count; ++i) {
    std::wstring n = kWords[Rng() % 10];
    n += std::to_wstring(i % 97) + L"\\" + kWords[Rng() % 10] + std::to_wstring(i % 1009) +
         L"\\file_" + std::to_wstring(i) + kExt[Rng() % 5];
    names.push_back(std::move(n));
  }
  std::shuffle(names.begin(), names.end(), Rng);
  return names;
}

struct Result {
  double InsertUs, LookupUs, SortUs, KeyUs;
};

Result Run(int Count) {
  std::mt19937 rng(42);
  const std::vector<std::wstring> names = MakeNames(Count, rng);
  TFileList list;
  for (const auto& n : names) {
    auto item = std::make_unique<TFileItem>();
    item->FileName = n;
    item->Owner = &list;
    list.Items.push_back(std::move(item));
  }

  Result r{};
  // One sort key per looked-up name; the rest of a look-up is the tree walk.
  auto t = Clock::now();
  size_t keyBytes = 0;
  for (const auto& n : names) keyBytes += NameSortKey(n).size();
  r.KeyUs = Seconds(t) * 1e6 / Count;
  if (keyBytes == 0) std::abort();

  t = Clock::now();
  for (int i = 0; i < Count; ++i) {
    int32_t index;
    if (list.FindIndex(names[i], index)) std::abort();
    list.NameIndex.Insert(index, list.Items[i].get());
  }
  r.InsertUs = Seconds(t) * 1e6 / Count;

  std::vector<int> order(Count);
  for (int i = 0; i < Count; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  t = Clock::now();
  for (int i : order) {
    int32_t index;
    if (!list.FindIndex(names[i], index) || list.NameIndex[index] != list.Items[i].get())
      std::abort();
  }
  r.LookupUs = Seconds(t) * 1e6 / Count;

  // What an update pass does at its start: add every entry, then sort.
  t = Clock::now();
  list.NameIndex.Clear();
  for (const auto& item : list.Items) list.NameIndex.Add(item.get());
  list.NameIndex.Sort();
  r.SortUs = Seconds(t) * 1e6 / Count;
  for (int i = 1; i < Count; ++i)
    if (CompareItemNames(list.NameIndex[i - 1], list.NameIndex[i]) > 0) std::abort();
  return r;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {250000, 1000000};
  std::printf("%10s %14s %14s %14s %14s\n", "names", "insert us/op", "lookup us/op",
              "add+sort us/op", "sort key us");
  std::vector<Result> results;
  for (int n : counts) {
    const Result r = Run(n);
    results.push_back(r);
    std::printf("%10d %14.3f %14.3f %14.3f %14.3f\n", n, r.InsertUs, r.LookupUs, r.SortUs, r.KeyUs);
  }
  if (results.size() >= 2) {
    const Result& a = results.front();
    const Result& b = results.back();
    std::printf(
        "growth per op from %d to %d names: insert x%.2f, lookup x%.2f, add+sort x%.2f "
        "(n log n: x%.2f)\n",
        counts.front(), counts.back(), b.InsertUs / a.InsertUs, b.LookupUs / a.LookupUs,
        b.SortUs / a.SortUs,
        std::log2(static_cast<double>(counts.back())) /
            std::log2(static_cast<double>(counts.front())));
  }
  return 0;
}
