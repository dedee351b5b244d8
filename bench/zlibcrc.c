/* Reference figure for hashbench.sh: the system zlib's crc32 on this machine, native, fed as
 * hashbench feeds the CRC-32: 64 KiB per call, the median of several runs in MB/s (10^6 bytes).
 * Built and run by hashbench.sh only (cc -O2 zlibcrc.c -lz), not part of the program.
 *
 *   zlibcrc [MiB per run] [runs]
 */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <zlib.h>

static double Seconds(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static int Ascending(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

int main(int argc, char** argv) {
  const int mib = argc > 1 && atoi(argv[1]) > 0 ? atoi(argv[1]) : 256;
  const int runs = argc > 2 && atoi(argv[2]) > 0 && atoi(argv[2]) <= 99 ? atoi(argv[2]) : 7;
  const int blocks = mib * 16;
  static unsigned char block[65536];
  double rates[99];
  unsigned x = 1;
  for (int i = 0; i < 65536; ++i) block[i] = (unsigned char)((x = x * 1103515245u + 12345u) >> 16);
  for (int r = 0; r < runs; ++r) {
    const double start = Seconds();
    uLong crc = crc32(0L, Z_NULL, 0);
    for (int i = 0; i < blocks; ++i) crc = crc32(crc, block, sizeof block);
    rates[r] = (double)blocks * sizeof block / (Seconds() - start) / 1e6;
    if (crc == 1) puts("");  /* keeps the loop */
  }
  qsort(rates, (size_t)runs, sizeof rates[0], Ascending);
  printf("zlib %s crc32 %.1f MB/s\n", zlibVersion(), rates[runs / 2]);
  return 0;
}
