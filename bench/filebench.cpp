// HashFile on a large page-cached file next to the same hasher fed from memory, so the cost of
// the file path (open, unbuffered reads, progress event) shows, and next to the plain loop of
// one 64 KiB read per block that HashFile uses for small files.
//
//   filebench [MiB] [folder] [runs]     default 1024 MiB in the temp folder, best of 5 runs
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

// One 64 KiB read per block, opened as HashFile opens files.
int32_t HashByBlocks(const std::wstring& Path, THasher& Hasher, void* Buffer) {
  HANDLE file =
      CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<int32_t>(GetLastError());
  Hasher.Init();
  DWORD n = 0;
  int32_t result = 0;
  do {
    if (!ReadFile(file, Buffer, HashBlockSize, &n, nullptr)) {
      result = static_cast<int32_t>(GetLastError());
      break;
    }
    Hasher.Update(Buffer, static_cast<int32_t>(n));
  } while (n == HashBlockSize);
  if (result == 0) Hasher.Done();
  CloseHandle(file);
  return result;
}

// Seconds of one run of Work.
template <typename F>
double Time(F Work) {
  const double start = Now();
  Work();
  return Now() - start;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t mib = argc > 1 ? std::atoll(argv[1]) : 1024;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = temp;
  if (argc > 2) folder.assign(argv[2], argv[2] + std::strlen(argv[2]));
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
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
  void* blockBuffer = VirtualAlloc(nullptr, HashBlockSize, MEM_COMMIT, PAGE_READWRITE);

  printf("%lld MiB page-cached file, best of %d runs, MB/s = 10^6 bytes/s\n",
         static_cast<long long>(mib), runs);
  printf("%-8s %9s %9s %10s %9s %9s\n", "hasher", "memory", "HashFile", "64K reads", "file/mem",
         "file/64K");
  TNullHasher warm;
  HashFile(path, warm, nullptr);  // into the page cache

  const THasherClass classes[] = {&TNullHasher::ClassInfo, &TCRC32CheckSum::ClassInfo,
                                  &TMD5Hasher::ClassInfo, &TSHA1Hasher::ClassInfo};
  int status = 0;
  for (THasherClass cls : classes) {
    auto memory = cls->Create(), file = cls->Create(), blocks = cls->Create();
    int64_t events = 0;
    int32_t result = 0, blockResult = 0;
    // The three ways take turns, so that a busy moment of the machine does not favour one.
    double memTime = 1e300, fileTime = 1e300, blockTime = 1e300;
    for (int r = 0; r < runs; ++r) {
      memTime = std::min(memTime, Time([&] {
                           memory->Init();
                           for (int64_t done = 0; done < total; done += HashBlockSize)
                             memory->Update(block.data(), HashBlockSize);
                           memory->Done();
                         }));
      fileTime = std::min(fileTime, Time([&] {
                            result =
                                HashFile(path, *file, [&](int32_t, bool) { return ++events > 0; });
                          }));
      blockTime = std::min(blockTime,
                           Time([&] { blockResult = HashByBlocks(path, *blocks, blockBuffer); }));
    }
    const double memRate = total / memTime / 1e6, fileRate = total / fileTime / 1e6,
                 blockRate = total / blockTime / 1e6;
    if (cls == &TNullHasher::ClassInfo)  // reads only: no memory figure to compare with
      printf("%-8s %9s %9.0f %10.0f %9s %8.0f%%\n", "(read)", "-", fileRate, blockRate, "-",
             100.0 * fileRate / blockRate);
    else
      printf("%-8s %9.0f %9.0f %10.0f %8.0f%% %8.0f%%\n", cls->HashName().c_str(), memRate,
             fileRate, blockRate, 100.0 * fileRate / memRate, 100.0 * fileRate / blockRate);
    fflush(stdout);
    if (result != 0 || blockResult != 0 || Digest(*memory) != Digest(*file) ||
        Digest(*memory) != Digest(*blocks)) {
      fprintf(stderr, "%s: HashFile gave %d, digest %s, block reads %s, memory %s\n",
              cls->HashName().c_str(), result, Digest(*file).c_str(), Digest(*blocks).c_str(),
              Digest(*memory).c_str());
      status = 1;
    }
  }
  VirtualFree(blockBuffer, 0, MEM_RELEASE);
  DeleteFileW(path.c_str());
  return status;
}
