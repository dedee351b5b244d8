// HashFile on a large page-cached file next to the same hasher fed from memory, so the cost of
// the file path (open, unbuffered reads, progress event) shows.
//
//   filebench [MiB] [folder]     default 512 MiB in the temp folder
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "hash/checksums.h"
#include "hash/hasher.h"
#include "hash/hashers.h"
#include "hash/misc.h"

namespace {

// Reads only: what the file path costs without any hashing.
class TNullHasher : public THasher {
 public:
  void Init() override {}
  void Update(const void*, int32_t) override {}
  void Done() override {}
  const uint8_t* DigestKey() const override { return nullptr; }
  THasherClass ClassType() const override { return &ClassInfo; }
  static const THasherClassInfo ClassInfo;
};
const THasherClassInfo TNullHasher::ClassInfo = {"TNullHasher", &THasher::ClassInfo, 0, [] {
                                                   return std::unique_ptr<THasher>(new TNullHasher);
                                                 }};

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

std::string Digest(const THasher& h) {
  std::string text;
  char hex[3];
  for (int i = 0; h.DigestKey() && i < h.DigestSize(); ++i) {
    snprintf(hex, sizeof(hex), "%02x", h.DigestKey()[i]);
    text += hex;
  }
  return text;
}

// Best of Runs, in MB/s (10^6 bytes).
template <typename F>
double BestRate(int Runs, int64_t Bytes, F Work) {
  double best = 1e300;
  for (int r = 0; r < Runs; ++r) {
    double start = Now();
    Work();
    best = std::min(best, Now() - start);
  }
  return Bytes / best / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t mib = argc > 1 ? std::atoll(argv[1]) : 512;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = temp;
  if (argc > 2) folder.assign(argv[2], argv[2] + std::strlen(argv[2]));
  const std::wstring path = MakeFullPath(folder, L"jv_filebench.bin");
  const int64_t total = mib * 1024 * 1024;

  // The file repeats one 64 KiB block, so the in-memory run hashes the very same bytes.
  std::vector<uint8_t> block(HashBlockSize);
  uint32_t x = 1;
  for (auto& b : block) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "cannot create the test file (%lu)\n", GetLastError());
    return 1;
  }
  for (int64_t done = 0; done < total; done += HashBlockSize) {
    DWORD written;
    WriteFile(h, block.data(), HashBlockSize, &written, nullptr);
  }
  CloseHandle(h);

  const int runs = 3;
  printf("%lld MiB file, best of %d runs, MB/s = 10^6 bytes/s\n", static_cast<long long>(mib),
         runs);
  printf("%-8s %10s %10s %8s\n", "hasher", "memory", "HashFile", "file/mem");
  TNullHasher warm;
  HashFile(path, warm, nullptr);  // into the page cache

  const THasherClass classes[] = {&TNullHasher::ClassInfo, &TCRC32CheckSum::ClassInfo,
                                  &TMD5Hasher::ClassInfo, &TSHA1Hasher::ClassInfo};
  int status = 0;
  for (THasherClass cls : classes) {
    auto memory = cls->Create();
    auto file = cls->Create();
    double memRate = BestRate(runs, total, [&] {
      memory->Init();
      for (int64_t done = 0; done < total; done += HashBlockSize)
        memory->Update(block.data(), HashBlockSize);
      memory->Done();
    });
    int64_t events = 0;
    int32_t result = 0;
    double fileRate = BestRate(runs, total, [&] {
      result = HashFile(path, *file, [&](int32_t, bool) { return ++events > 0; });
    });
    if (cls == &TNullHasher::ClassInfo)  // reads only: no memory figure to compare with
      printf("%-8s %10s %10.0f\n", "(read)", "-", fileRate);
    else
      printf("%-8s %10.0f %10.0f %7.0f%%\n", cls->HashName().c_str(), memRate, fileRate,
             100.0 * fileRate / memRate);
    if (result != 0 || Digest(*memory) != Digest(*file)) {
      fprintf(stderr, "%s: HashFile gave %d, digest %s instead of %s\n", cls->HashName().c_str(),
              result, Digest(*file).c_str(), Digest(*memory).c_str());
      status = 1;
    }
  }
  DeleteFileW(path.c_str());
  return status;
}
