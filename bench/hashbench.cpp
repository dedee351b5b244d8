// In-memory throughput of the hashers the user can choose, fed as the file routine feeds them:
// 64 KiB per Update. Every code path the processor runs is measured; the one chosen at start-up
// is marked with *. Prints the median of several runs in MB/s (1 MB = 1,000,000 bytes, the unit
// of `openssl speed`). bench/hashbench.sh puts the figures beside OpenSSL's and zlib's.
//
//   hashbench [MiB per run, default 256] [runs, default 7]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "hash/checksums.h"
#include "hash/hashers.h"

namespace {

constexpr int32_t kBlockSize = 64 * 1024;

double MedianMBps(THasherClass cls, const std::vector<uint8_t>& block, int blocks, int runs) {
  std::vector<double> rates;
  auto h = cls->Create();
  for (int r = 0; r < runs; ++r) {
    const auto start = std::chrono::steady_clock::now();
    h->Init();
    for (int i = 0; i < blocks; ++i) h->Update(block.data(), kBlockSize);
    h->Done();
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    rates.push_back(double(blocks) * kBlockSize / seconds.count() / 1e6);
  }
  std::sort(rates.begin(), rates.end());
  return rates[rates.size() / 2];
}

void Print(THasherClass cls, const char* path, bool chosen, double rate) {
  std::printf("%-6s %-10s %c %9.1f MB/s\n", cls->HashName().c_str(), path, chosen ? '*' : ' ',
              rate);
  std::fflush(stdout);
}

// Measures cls once per variant of Slot, the start-up choice last; restores it.
template <class Proc>
void EveryPath(THasherClass cls, Proc& Slot, const std::vector<TCodePath<Proc>>& Paths,
               const std::vector<uint8_t>& block, int blocks, int runs) {
  const Proc chosen = Slot;
  for (const auto& path : Paths) {
    Slot = path.Code;
    if (path.Code != chosen) Print(cls, path.Name, false, MedianMBps(cls, block, blocks, runs));
  }
  Slot = chosen;
  for (const auto& path : Paths)
    if (path.Code == chosen) Print(cls, path.Name, true, MedianMBps(cls, block, blocks, runs));
}

}  // namespace

int main(int argc, char** argv) {
  const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 256;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  const int blocks = mib * 16;

  std::vector<uint8_t> block(kBlockSize);
  std::mt19937 rng(1);
  for (auto& b : block) b = static_cast<uint8_t>(rng());

  std::printf("%d MiB per run in 64 KiB blocks, median of %d runs\n", mib, runs);
  Print(&TMD5Hasher::ClassInfo, "-", true, MedianMBps(&TMD5Hasher::ClassInfo, block, blocks, runs));
  EveryPath(&TSHA1Hasher::ClassInfo, SHACompress, SHACompressPaths(), block, blocks, runs);
  EveryPath(&TCRC32CheckSum::ClassInfo, CRC32Continue, CRC32ContinuePaths(), block, blocks, runs);
  return 0;
}
