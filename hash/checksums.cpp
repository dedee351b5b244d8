#include "hash/checksums.h"

#include <bit>
#include <cstring>

#include "hash/x86.h"

#if JV_X86
#include <immintrin.h>
#endif

const THasherClassInfo TChecksum::ClassInfo = {"TChecksum", &THasher::ClassInfo, 0, nullptr};
const THasherClassInfo TXOR32CheckSum::ClassInfo = {"TXOR32CheckSum", &TChecksum::ClassInfo, 4,
                                                    MakeHasher<TXOR32CheckSum>};
const THasherClassInfo TCRC32CheckSum::ClassInfo = {"TCRC32CheckSum", &TXOR32CheckSum::ClassInfo, 4,
                                                    MakeHasher<TCRC32CheckSum>};

// Rotate-xor sum -------------------------------------------------------------------------------

TXOR32CheckSum::~TXOR32CheckSum() {
  WipeBytes(&Value, sizeof Value);
}

void TXOR32CheckSum::Init() {
  Value = 0;
}

void TXOR32CheckSum::Update(const void* Data, int32_t Size) {
  if (Size <= 0) return;
  auto p = static_cast<const uint8_t*>(Data);
  if (Size & 1) {
    Value ^= *p++;
    --Size;
  }
  uint32_t v = Value;
  for (; Size > 0; p += 2, Size -= 2) v = std::rotl(v, 5) ^ (p[0] | (uint32_t(p[1]) << 8));
  Value = v;
}

void TXOR32CheckSum::Done() {}

// CRC-32
// -------------------------------------------------------------------------------------------

namespace {

using TCRCTable = std::array<uint32_t, 256>;

constexpr TCRCTable MakeCRC32Table() {
  TCRCTable t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[i] = c;
  }
  return t;
}

// Slicing by eight: Slices[k][i] is the register after byte i followed by k zero bytes.
constexpr std::array<TCRCTable, 8> MakeSlices(const TCRCTable& t) {
  std::array<TCRCTable, 8> s{};
  s[0] = t;
  for (int k = 1; k < 8; ++k)
    for (int i = 0; i < 256; ++i) s[k][i] = (s[k - 1][i] >> 8) ^ t[s[k - 1][i] & 0xFF];
  return s;
}

}  // namespace

constexpr TCRCTable CRC32Table = MakeCRC32Table();

namespace {
alignas(64) constexpr std::array<TCRCTable, 8> Slices = MakeSlices(CRC32Table);
}

namespace {

uint32_t CRC32ContinueTables(uint32_t CRC, const uint8_t* Data, size_t Size) {
  const uint8_t* p = Data;
  size_t n = Size;
  uint32_t c = CRC;
  for (; n >= 8; p += 8, n -= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 4);
    lo ^= c;  // little-endian: the first byte meets the register's low byte
    c = Slices[7][lo & 0xFF] ^ Slices[6][(lo >> 8) & 0xFF] ^ Slices[5][(lo >> 16) & 0xFF] ^
        Slices[4][lo >> 24] ^ Slices[3][hi & 0xFF] ^ Slices[2][(hi >> 8) & 0xFF] ^
        Slices[1][(hi >> 16) & 0xFF] ^ Slices[0][hi >> 24];
  }
  for (; n > 0; ++p, --n) c = (c >> 8) ^ CRC32Table[(c ^ *p) & 0xFF];
  return c;
}

#if JV_X86
// Folding. Sixteen message bytes loaded little-endian are the 128 coefficients of a polynomial,
// the first message bit the highest power (bit k stands for x^(127-k)): the low half H holds the
// high powers, the high half L the low ones. Moving such a value F bits further along the
// message is a multiplication by x^F, and H*x^(F+64) + L*x^F may be replaced by anything equal to
// it modulo the polynomial P, e.g. products with x^n mod P, which are 32-bit constants. The
// carry-less product of two values in this bit order comes out one power too high, so the
// constants are x^(n-1) mod P. At the end the table code reduces the 16 bytes left.

// x^n mod P, coefficient of x^i in bit i.
constexpr uint32_t XPowerModP(int n) {
  uint32_t r = 1;
  for (int i = 0; i < n; ++i) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
  return r;
}

// The same polynomial as a 64-bit half in message bit order: x^i in bit 63-i.
constexpr uint64_t MessageOrder(uint32_t r) {
  uint64_t v = 0;
  for (int i = 0; i < 32; ++i)
    if (r >> i & 1) v |= uint64_t(1) << (63 - i);
  return v;
}

// Multipliers for H (low half) and L (high half) that move a 128-bit value F bits ahead.
struct TFoldConstants {
  uint64_t High, Low;
};
constexpr TFoldConstants FoldBy(int F) {
  return {MessageOrder(XPowerModP(F + 63)), MessageOrder(XPowerModP(F - 1))};
}
constexpr TFoldConstants Fold128 = FoldBy(128), Fold512 = FoldBy(512);

JV_TARGET("pclmul,sse4.1")
inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  const __m128i h = _mm_clmulepi64_si128(x, k, 0x00), l = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(h, l), next);
}

JV_TARGET("pclmul,sse4.1")
inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The multipliers in a register as Fold takes them: High in the low half.
JV_TARGET("pclmul,sse4.1")
inline __m128i Constants(TFoldConstants k) {
  return _mm_set_epi64x(static_cast<long long>(k.Low), static_cast<long long>(k.High));
}

// The end of every folding path: X holds the message up to P folded; the whole 16 bytes left
// are folded into it, and the table code reduces it and takes the last bytes.
JV_TARGET("pclmul,sse4.1")
uint32_t FinishFolding(__m128i x, const uint8_t* p, size_t n) {
  const __m128i k128 = Constants(Fold128);
  for (; n >= 16; p += 16, n -= 16) x = Fold(x, k128, Load(p));
  alignas(16) uint8_t rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
  return CRC32ContinueTables(CRC32ContinueTables(0, rest, 16), p, n);
}

JV_TARGET("pclmul,sse4.1")
uint32_t CRC32ContinueFolding(uint32_t CRC, const uint8_t* Data, size_t Size) {
  if (Size < 64) return CRC32ContinueTables(CRC, Data, Size);
  // Four lanes 16 bytes apart, each folded 512 bits ahead per round, keep the multiplier busy.
  // A register that is not zero is the same as the first four message bytes xored with it.
  __m128i x0 = _mm_xor_si128(Load(Data), _mm_cvtsi32_si128(static_cast<int>(CRC)));
  __m128i x1 = Load(Data + 16), x2 = Load(Data + 32), x3 = Load(Data + 48);
  const uint8_t* p = Data + 64;
  size_t n = Size - 64;
  const __m128i k512 = Constants(Fold512);
  for (; n >= 64; p += 64, n -= 64) {
    x0 = Fold(x0, k512, Load(p));
    x1 = Fold(x1, k512, Load(p + 16));
    x2 = Fold(x2, k512, Load(p + 32));
    x3 = Fold(x3, k512, Load(p + 48));
  }
  const __m128i k128 = Constants(Fold128);
  return FinishFolding(Fold(Fold(Fold(x0, k128, x1), k128, x2), k128, x3), p, n);
}

// Wider folding: four 128-bit lanes side by side in a 512-bit register (two in a 256-bit one),
// each folded as above, with the same constants in every lane. Four such registers 64 bytes
// apart (eight 32 bytes apart) take 256 bytes a round, each lane folded 2048 bits ahead. At
// the end each register folds into the next, a register's own lanes into its last, and the
// 128-bit code finishes.
constexpr TFoldConstants Fold256 = FoldBy(256), Fold2048 = FoldBy(2048);

JV_TARGET("vpclmulqdq,avx2,pclmul,sse4.1")
inline __m256i Fold(__m256i x, __m256i k, __m256i next) {
  const __m256i h = _mm256_clmulepi64_epi128(x, k, 0x00), l = _mm256_clmulepi64_epi128(x, k, 0x11);
  return _mm256_xor_si256(_mm256_xor_si256(h, l), next);
}

JV_TARGET("vpclmulqdq,avx2,pclmul,sse4.1")
inline __m256i Load256(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

JV_TARGET("vpclmulqdq,avx2,pclmul,sse4.1")
uint32_t CRC32ContinueFolding256(uint32_t CRC, const uint8_t* Data, size_t Size) {
  if (Size < 256) return CRC32ContinueFolding(CRC, Data, Size);
  const __m256i crc = _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(CRC)));
  __m256i x0 = _mm256_xor_si256(Load256(Data), crc), x1 = Load256(Data + 32),
          x2 = Load256(Data + 64), x3 = Load256(Data + 96), x4 = Load256(Data + 128),
          x5 = Load256(Data + 160), x6 = Load256(Data + 192), x7 = Load256(Data + 224);
  const uint8_t* p = Data + 256;
  size_t n = Size - 256;
  const __m256i k2048 = _mm256_broadcastsi128_si256(Constants(Fold2048));
  for (; n >= 256; p += 256, n -= 256) {
    x0 = Fold(x0, k2048, Load256(p));
    x1 = Fold(x1, k2048, Load256(p + 32));
    x2 = Fold(x2, k2048, Load256(p + 64));
    x3 = Fold(x3, k2048, Load256(p + 96));
    x4 = Fold(x4, k2048, Load256(p + 128));
    x5 = Fold(x5, k2048, Load256(p + 160));
    x6 = Fold(x6, k2048, Load256(p + 192));
    x7 = Fold(x7, k2048, Load256(p + 224));
  }
  const __m256i k256 = _mm256_broadcastsi128_si256(Constants(Fold256));
  const __m256i x =
      Fold(Fold(Fold(Fold(Fold(Fold(Fold(x0, k256, x1), k256, x2), k256, x3), k256, x4), k256, x5),
                k256, x6),
           k256, x7);
  const __m128i y =
      Fold(_mm256_castsi256_si128(x), Constants(Fold128), _mm256_extracti128_si256(x, 1));
  // Upper register halves left in use slow down the plain SSE code after (the SHA-1 rounds, for
  // one) on some processors, until they are cleared.
  _mm256_zeroupper();
  return FinishFolding(y, p, n);
}

JV_TARGET("vpclmulqdq,avx512f,avx2,pclmul,sse4.1")
inline __m512i Fold(__m512i x, __m512i k, __m512i next) {
  const __m512i h = _mm512_clmulepi64_epi128(x, k, 0x00), l = _mm512_clmulepi64_epi128(x, k, 0x11);
  return _mm512_ternarylogic_epi64(h, l, next, 0x96);  // h ^ l ^ next
}

JV_TARGET("vpclmulqdq,avx512f,avx2,pclmul,sse4.1")
inline __m512i Load512(const uint8_t* p) {
  return _mm512_loadu_si512(p);
}

JV_TARGET("vpclmulqdq,avx512f,avx2,pclmul,sse4.1")
uint32_t CRC32ContinueFolding512(uint32_t CRC, const uint8_t* Data, size_t Size) {
  if (Size < 256) return CRC32ContinueFolding(CRC, Data, Size);
  const __m512i crc = _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(CRC)));
  __m512i x0 = _mm512_xor_si512(Load512(Data), crc), x1 = Load512(Data + 64),
          x2 = Load512(Data + 128), x3 = Load512(Data + 192);
  const uint8_t* p = Data + 256;
  size_t n = Size - 256;
  const __m512i k2048 = _mm512_broadcast_i32x4(Constants(Fold2048));
  for (; n >= 256; p += 256, n -= 256) {
    x0 = Fold(x0, k2048, Load512(p));
    x1 = Fold(x1, k2048, Load512(p + 64));
    x2 = Fold(x2, k2048, Load512(p + 128));
    x3 = Fold(x3, k2048, Load512(p + 192));
  }
  const __m512i k512 = _mm512_broadcast_i32x4(Constants(Fold512));
  alignas(64) __m128i lanes[4];
  _mm512_store_si512(lanes, Fold(Fold(Fold(x0, k512, x1), k512, x2), k512, x3));
  _mm256_zeroupper();  // as above
  const __m128i k128 = Constants(Fold128);
  return FinishFolding(Fold(Fold(Fold(lanes[0], k128, lanes[1]), k128, lanes[2]), k128, lanes[3]),
                       p, n);
}
#endif

}  // namespace

TCRC32ContinueProc CRC32Continue = CRC32ContinueTables;

std::vector<TCodePath<TCRC32ContinueProc>> CRC32ContinuePaths(const TX86Features& Features) {
  std::vector<TCodePath<TCRC32ContinueProc>> paths = {{"tables", CRC32ContinueTables}};
#if JV_X86
  if (Features.PCLMUL) paths.push_back({"PCLMULQDQ", CRC32ContinueFolding});
  if (Features.VPCLMUL256) paths.push_back({"VPCLMUL-256", CRC32ContinueFolding256});
  if (Features.VPCLMUL512) paths.push_back({"VPCLMUL-512", CRC32ContinueFolding512});
#else
  (void)Features;
#endif
  return paths;
}

namespace {
struct TUnitInit {
  TUnitInit() { CRC32Continue = CRC32ContinuePaths().back().Code; }
} UnitInit;
}  // namespace

uint32_t UpdateCRC32(uint32_t CRC, const void* Data, int32_t Size) {
  if (!Data || Size <= 0) return CRC;
  return CRC32Continue(CRC, static_cast<const uint8_t*>(Data), static_cast<size_t>(Size));
}

void TCRC32CheckSum::Init() {
  Value = 0xFFFFFFFFu;
}

void TCRC32CheckSum::Update(const void* Data, int32_t Size) {
  Value = UpdateCRC32(Value, Data, Size);
}

void TCRC32CheckSum::Done() {
  Value = ~Value;
}
