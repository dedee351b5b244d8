#include "hash/hashers.h"

#include <bit>
#include <cstring>

#include "hash/x86.h"

#if JV_X86
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

// Digests are read straight out of the state words, least significant byte first.
static_assert(std::endian::native == std::endian::little, "the hashers assume a little-endian CPU");

const THasherClassInfo TMD4Hasher::ClassInfo = {"TMD4Hasher", &THasher::ClassInfo, 16,
                                                MakeHasher<TMD4Hasher>};
const THasherClassInfo TMD5Hasher::ClassInfo = {"TMD5Hasher", &TMD4Hasher::ClassInfo, 16,
                                                MakeHasher<TMD5Hasher>};
const THasherClassInfo TRipeMD160Hasher::ClassInfo = {"TRipeMD160Hasher", &TMD4Hasher::ClassInfo,
                                                      20, MakeHasher<TRipeMD160Hasher>};
const THasherClassInfo TSHAHasher::ClassInfo = {"TSHAHasher", &TRipeMD160Hasher::ClassInfo, 20,
                                                MakeHasher<TSHAHasher>};
const THasherClassInfo TSHA1Hasher::ClassInfo = {"TSHA1Hasher", &TSHAHasher::ClassInfo, 20,
                                                 MakeHasher<TSHA1Hasher>};

namespace {

inline uint32_t LoadLE32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline uint32_t ByteSwapInstruction(uint32_t x) {
#if defined(__GNUC__)
  return __builtin_bswap32(x);
#else
  return (x >> 24) | ((x >> 8) & 0xFF00u) | ((x << 8) & 0xFF0000u) | (x << 24);
#endif
}

// For processors without a byte-swap instruction: exchange the low two bytes, rotate by 16 bits,
// exchange again.
inline uint32_t ByteSwapExchange(uint32_t x) {
  x = (x & 0xFFFF0000u) | ((x & 0xFFu) << 8) | ((x >> 8) & 0xFFu);
  x = std::rotl(x, 16);
  return (x & 0xFFFF0000u) | ((x & 0xFFu) << 8) | ((x >> 8) & 0xFFu);
}

template <uint32_t (*Swap)(uint32_t)>
void SwapWords(const uint32_t* Source, uint32_t* Dest, int32_t Count) {
  for (int32_t i = Count - 1; i >= 0; --i) Dest[i] = Swap(Source[i]);
}

template <uint32_t (*Swap)(uint32_t)>
void ExpandBlock(uint32_t* W, const uint8_t* Block, bool Rotate) {
  for (int t = 0; t < 16; ++t) W[t] = Swap(LoadLE32(Block + 4 * t));
  // W[t-3] is carried in registers: a vectorised loop would reload words it has just stored in
  // halves and stall on every store.
  uint32_t w3 = W[13], w2 = W[14], w1 = W[15];
  if (Rotate) {
    for (int t = 16; t < 80; ++t) {
      const uint32_t x = std::rotl(w3 ^ W[t - 8] ^ W[t - 14] ^ W[t - 16], 1);
      W[t] = x;
      w3 = w2;
      w2 = w1;
      w1 = x;
    }
  } else {
    for (int t = 16; t < 80; ++t) {
      const uint32_t x = w3 ^ W[t - 8] ^ W[t - 14] ^ W[t - 16];
      W[t] = x;
      w3 = w2;
      w2 = w1;
      w1 = x;
    }
  }
}

}  // namespace

void SwapIntegerBufferRotate(const uint32_t* Source, uint32_t* Dest, int32_t Count) {
  SwapWords<ByteSwapExchange>(Source, Dest, Count);
}
void SwapIntegerBufferBswap(const uint32_t* Source, uint32_t* Dest, int32_t Count) {
  SwapWords<ByteSwapInstruction>(Source, Dest, Count);
}
void ExpandSHABlockRotate(uint32_t* W, const uint8_t* Block, bool Rotate) {
  ExpandBlock<ByteSwapExchange>(W, Block, Rotate);
}
void ExpandSHABlockBswap(uint32_t* W, const uint8_t* Block, bool Rotate) {
  ExpandBlock<ByteSwapInstruction>(W, Block, Rotate);
}

namespace {
void SHACompressSchedule(uint32_t* State, const uint8_t* Data, size_t Blocks, bool Rotate);
}

// Constant-initialised, so they are usable even before the start-up selection has run.
TSwapIntegerBufferProc SwapIntegerBuffer = SwapIntegerBufferBswap;
TExpandSHABlockProc ExpandSHABlock = ExpandSHABlockBswap;

namespace {

// CPUID leaf Leaf (subleaf 0) into r: EAX, EBX, ECX, EDX. False when the processor lacks it.
bool CPUID(unsigned Leaf, unsigned (&r)[4]) {
#if JV_X86 && defined(_MSC_VER)
  int v[4];
  __cpuid(v, static_cast<int>(Leaf & 0x80000000u));
  if (static_cast<unsigned>(v[0]) < Leaf) return false;
  __cpuidex(v, static_cast<int>(Leaf), 0);
  for (int i = 0; i < 4; ++i) r[i] = static_cast<unsigned>(v[i]);
  return true;
#elif JV_X86
  return __get_cpuid_count(Leaf, 0, &r[0], &r[1], &r[2], &r[3]) != 0;
#else
  (void)Leaf;
  (void)r;
  return false;
#endif
}

// The register state the system saves for each thread (XCR0).
uint64_t SavedRegisterState() {
#if JV_X86 && defined(_MSC_VER)
  return _xgetbv(0);
#elif JV_X86
  unsigned lo, hi;
  __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (uint64_t{hi} << 32) | lo;
#else
  return 0;
#endif
}

constexpr uint32_t kOSXSAVE = 1u << 27;  // leaf 1 ECX: the system enabled XGETBV

TX86Words ReadX86Words() {
  TX86Words w;
  unsigned r[4] = {};
  if (!CPUID(0, r)) return w;
  w.MaxLeaf = r[0];
  if (CPUID(1, r)) {
    w.Leaf1ECX = r[2];
    if (w.Leaf1ECX & kOSXSAVE) w.XCR0 = SavedRegisterState();
  }
  if (CPUID(7, r)) {
    w.Leaf7EBX = r[1];
    w.Leaf7ECX = r[2];
  }
  return w;
}

}  // namespace

TX86Features X86FeaturesOf(const TX86Words& Words) {
  // Leaf 1 ECX.
  constexpr uint32_t PCLMULQDQ = 1u << 1, SSSE3 = 1u << 9, SSE41 = 1u << 19, AVX = 1u << 28;
  // Leaf 7 EBX and ECX.
  constexpr uint32_t AVX2 = 1u << 5, AVX512F = 1u << 16, SHA = 1u << 29, VPCLMULQDQ = 1u << 10;
  // XCR0: the SSE and AVX registers; the AVX-512 mask registers and upper register parts.
  constexpr uint64_t Ymm = 0x06, Zmm = 0xE0;
  const auto all = [](uint64_t word, uint64_t bits) { return (word & bits) == bits; };
  TX86Features f;
  if (Words.MaxLeaf < 1) return f;
  const uint32_t ecx1 = Words.Leaf1ECX;
  const uint32_t ebx7 = Words.MaxLeaf >= 7 ? Words.Leaf7EBX : 0;
  const uint32_t ecx7 = Words.MaxLeaf >= 7 ? Words.Leaf7ECX : 0;
  const uint64_t saved = all(ecx1, kOSXSAVE) ? Words.XCR0 : 0;
  f.PCLMUL = all(ecx1, PCLMULQDQ | SSE41);
  f.SHA = all(ebx7, SHA) && all(ecx1, SSSE3 | SSE41);
  const bool avx2 = all(ecx1, AVX) && all(ebx7, AVX2) && all(saved, Ymm);
  f.VPCLMUL256 = f.PCLMUL && all(ecx7, VPCLMULQDQ) && avx2;
  f.VPCLMUL512 = f.VPCLMUL256 && all(ebx7, AVX512F) && all(saved, Zmm);
  return f;
}

const TX86Features& X86Features() {
  static const TX86Features features = X86FeaturesOf(ReadX86Words());
  return features;
}

int32_t GetCPUFamily() {
#if JV_X86
  unsigned r[4] = {};
  if (!CPUID(1, r)) return 3;  // no identification instruction
  return static_cast<int32_t>((r[0] >> 8) & 15);
#else
  return 0;
#endif
}

void SelectByteOrderRoutines(int32_t CPUFamily) {
  if (CPUFamily > 3) {
    SwapIntegerBuffer = SwapIntegerBufferBswap;
    ExpandSHABlock = ExpandSHABlockBswap;
    SHACompress = SHACompressPaths().back().Code;
  } else {
    SwapIntegerBuffer = SwapIntegerBufferRotate;
    ExpandSHABlock = ExpandSHABlockRotate;
    SHACompress = SHACompressSchedule;
  }
}

void HasherUnitInit() {
  // Family 0 means "not x86": keep the byte-swap variants.
  if (const int32_t family = GetCPUFamily(); family != 0) SelectByteOrderRoutines(family);
}

namespace {
// Lives in the same object file as every hasher, so any program that links a hasher runs it.
struct TUnitInit {
  TUnitInit() { HasherUnitInit(); }
} UnitInit;
}  // namespace

// Block engine -----------------------------------------------------------------------------------

TMD4Hasher::~TMD4Hasher() {
  // The whole chaining value: it covers every digest length of the family.
  WipeBytes(State, sizeof State);
  WipeBytes(Buffer, sizeof Buffer);
}

void TMD4Hasher::Init() {
  static constexpr uint32_t InitialState[10] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                                0xC3D2E1F0, 0x76543210, 0xFEDCBA98, 0x89ABCDEF,
                                                0x01234567, 0x3C2D1E0F};
  std::memset(Buffer, 0, sizeof Buffer);
  std::memcpy(State, InitialState, sizeof State);
  Count = 0;
}

void TMD4Hasher::Update(const void* Data, int32_t Size) {
  if (Size <= 0) return;
  auto p = static_cast<const uint8_t*>(Data);
  const int32_t i = static_cast<int32_t>(Count & 63);
  Count += Size;
  if (i > 0) {
    const int32_t fill = 64 - i;
    if (Size < fill) {
      std::memcpy(Buffer + i, p, Size);
      return;
    }
    std::memcpy(Buffer + i, p, fill);
    Transform(Buffer);
    p += fill;
    Size -= fill;
  }
  // Whole blocks are compressed in place, without a copy.
  if (Size >= 64) {
    TransformBlocks(p, static_cast<size_t>(Size) / 64);
    p += Size & ~63;
    Size &= 63;
  }
  if (Size > 0) std::memcpy(Buffer, p, Size);
}

void TMD4Hasher::TransformBlocks(const uint8_t* Data, size_t Count) {
  for (; Count > 0; Data += 64, --Count) Transform(Data);
}

void TMD4Hasher::Finish(bool BigEndianCount) {
  int32_t i = static_cast<int32_t>(Count & 63);
  Buffer[i++] = 0x80;
  if (i > 56) {
    std::memset(Buffer + i, 0, 64 - i);
    Transform(Buffer);
    i = 0;
  }
  std::memset(Buffer + i, 0, 64 - i);
  const uint64_t bits = static_cast<uint64_t>(Count) << 3;
  for (int k = 0; k < 8; ++k) Buffer[BigEndianCount ? 63 - k : 56 + k] = uint8_t(bits >> (8 * k));
  Transform(Buffer);
  std::memset(Buffer, 0, sizeof Buffer);
}

void TMD4Hasher::Done() {
  Finish(false);
}

// Compression functions, written out step by step. Message words are read straight from the
// block. Each step names the working words in rotated order instead of moving them.
#define X(k) LoadLE32(Block + 4 * (k))

// MD4 --------------------------------------------------------------------------------------------

#define MD4_F(a, b, c, d, x, s) a = std::rotl(a + (d ^ (b & (c ^ d))) + (x), s)
#define MD4_G(a, b, c, d, x, s) a = std::rotl(a + ((b & c) | (d & (b | c))) + (x) + 0x5A827999u, s)
#define MD4_H(a, b, c, d, x, s) a = std::rotl(a + (b ^ c ^ d) + (x) + 0x6ED9EBA1u, s)

void TMD4Hasher::Transform(const uint8_t* Block) {
  uint32_t a = State[0], b = State[1], c = State[2], d = State[3];

  MD4_F(a, b, c, d, X(0), 3);
  MD4_F(d, a, b, c, X(1), 7);
  MD4_F(c, d, a, b, X(2), 11);
  MD4_F(b, c, d, a, X(3), 19);
  MD4_F(a, b, c, d, X(4), 3);
  MD4_F(d, a, b, c, X(5), 7);
  MD4_F(c, d, a, b, X(6), 11);
  MD4_F(b, c, d, a, X(7), 19);
  MD4_F(a, b, c, d, X(8), 3);
  MD4_F(d, a, b, c, X(9), 7);
  MD4_F(c, d, a, b, X(10), 11);
  MD4_F(b, c, d, a, X(11), 19);
  MD4_F(a, b, c, d, X(12), 3);
  MD4_F(d, a, b, c, X(13), 7);
  MD4_F(c, d, a, b, X(14), 11);
  MD4_F(b, c, d, a, X(15), 19);

  MD4_G(a, b, c, d, X(0), 3);
  MD4_G(d, a, b, c, X(4), 5);
  MD4_G(c, d, a, b, X(8), 9);
  MD4_G(b, c, d, a, X(12), 13);
  MD4_G(a, b, c, d, X(1), 3);
  MD4_G(d, a, b, c, X(5), 5);
  MD4_G(c, d, a, b, X(9), 9);
  MD4_G(b, c, d, a, X(13), 13);
  MD4_G(a, b, c, d, X(2), 3);
  MD4_G(d, a, b, c, X(6), 5);
  MD4_G(c, d, a, b, X(10), 9);
  MD4_G(b, c, d, a, X(14), 13);
  MD4_G(a, b, c, d, X(3), 3);
  MD4_G(d, a, b, c, X(7), 5);
  MD4_G(c, d, a, b, X(11), 9);
  MD4_G(b, c, d, a, X(15), 13);

  MD4_H(a, b, c, d, X(0), 3);
  MD4_H(d, a, b, c, X(8), 9);
  MD4_H(c, d, a, b, X(4), 11);
  MD4_H(b, c, d, a, X(12), 15);
  MD4_H(a, b, c, d, X(2), 3);
  MD4_H(d, a, b, c, X(10), 9);
  MD4_H(c, d, a, b, X(6), 11);
  MD4_H(b, c, d, a, X(14), 15);
  MD4_H(a, b, c, d, X(1), 3);
  MD4_H(d, a, b, c, X(9), 9);
  MD4_H(c, d, a, b, X(5), 11);
  MD4_H(b, c, d, a, X(13), 15);
  MD4_H(a, b, c, d, X(3), 3);
  MD4_H(d, a, b, c, X(11), 9);
  MD4_H(c, d, a, b, X(7), 11);
  MD4_H(b, c, d, a, X(15), 15);

  State[0] += a;
  State[1] += b;
  State[2] += c;
  State[3] += d;
}

// MD5 --------------------------------------------------------------------------------------------

// G's two terms never share a bit, so they can be added instead of or-ed: shorter dependency.
#define MD5_F(a, b, c, d, x, s, t) a = b + std::rotl(a + (x) + (t) + (d ^ (b & (c ^ d))), s)
#define MD5_G(a, b, c, d, x, s, t) a = b + std::rotl(a + (x) + (t) + (c & ~d) + (b & d), s)
#define MD5_H(a, b, c, d, x, s, t) a = b + std::rotl(a + (x) + (t) + (b ^ c ^ d), s)
#define MD5_I(a, b, c, d, x, s, t) a = b + std::rotl(a + (x) + (t) + (c ^ (b | ~d)), s)

void TMD5Hasher::Transform(const uint8_t* Block) {
  uint32_t a = State[0], b = State[1], c = State[2], d = State[3];

  MD5_F(a, b, c, d, X(0), 7, 0xD76AA478);
  MD5_F(d, a, b, c, X(1), 12, 0xE8C7B756);
  MD5_F(c, d, a, b, X(2), 17, 0x242070DB);
  MD5_F(b, c, d, a, X(3), 22, 0xC1BDCEEE);
  MD5_F(a, b, c, d, X(4), 7, 0xF57C0FAF);
  MD5_F(d, a, b, c, X(5), 12, 0x4787C62A);
  MD5_F(c, d, a, b, X(6), 17, 0xA8304613);
  MD5_F(b, c, d, a, X(7), 22, 0xFD469501);
  MD5_F(a, b, c, d, X(8), 7, 0x698098D8);
  MD5_F(d, a, b, c, X(9), 12, 0x8B44F7AF);
  MD5_F(c, d, a, b, X(10), 17, 0xFFFF5BB1);
  MD5_F(b, c, d, a, X(11), 22, 0x895CD7BE);
  MD5_F(a, b, c, d, X(12), 7, 0x6B901122);
  MD5_F(d, a, b, c, X(13), 12, 0xFD987193);
  MD5_F(c, d, a, b, X(14), 17, 0xA679438E);
  MD5_F(b, c, d, a, X(15), 22, 0x49B40821);

  MD5_G(a, b, c, d, X(1), 5, 0xF61E2562);
  MD5_G(d, a, b, c, X(6), 9, 0xC040B340);
  MD5_G(c, d, a, b, X(11), 14, 0x265E5A51);
  MD5_G(b, c, d, a, X(0), 20, 0xE9B6C7AA);
  MD5_G(a, b, c, d, X(5), 5, 0xD62F105D);
  MD5_G(d, a, b, c, X(10), 9, 0x02441453);
  MD5_G(c, d, a, b, X(15), 14, 0xD8A1E681);
  MD5_G(b, c, d, a, X(4), 20, 0xE7D3FBC8);
  MD5_G(a, b, c, d, X(9), 5, 0x21E1CDE6);
  MD5_G(d, a, b, c, X(14), 9, 0xC33707D6);
  MD5_G(c, d, a, b, X(3), 14, 0xF4D50D87);
  MD5_G(b, c, d, a, X(8), 20, 0x455A14ED);
  MD5_G(a, b, c, d, X(13), 5, 0xA9E3E905);
  MD5_G(d, a, b, c, X(2), 9, 0xFCEFA3F8);
  MD5_G(c, d, a, b, X(7), 14, 0x676F02D9);
  MD5_G(b, c, d, a, X(12), 20, 0x8D2A4C8A);

  MD5_H(a, b, c, d, X(5), 4, 0xFFFA3942);
  MD5_H(d, a, b, c, X(8), 11, 0x8771F681);
  MD5_H(c, d, a, b, X(11), 16, 0x6D9D6122);
  MD5_H(b, c, d, a, X(14), 23, 0xFDE5380C);
  MD5_H(a, b, c, d, X(1), 4, 0xA4BEEA44);
  MD5_H(d, a, b, c, X(4), 11, 0x4BDECFA9);
  MD5_H(c, d, a, b, X(7), 16, 0xF6BB4B60);
  MD5_H(b, c, d, a, X(10), 23, 0xBEBFBC70);
  MD5_H(a, b, c, d, X(13), 4, 0x289B7EC6);
  MD5_H(d, a, b, c, X(0), 11, 0xEAA127FA);
  MD5_H(c, d, a, b, X(3), 16, 0xD4EF3085);
  MD5_H(b, c, d, a, X(6), 23, 0x04881D05);
  MD5_H(a, b, c, d, X(9), 4, 0xD9D4D039);
  MD5_H(d, a, b, c, X(12), 11, 0xE6DB99E5);
  MD5_H(c, d, a, b, X(15), 16, 0x1FA27CF8);
  MD5_H(b, c, d, a, X(2), 23, 0xC4AC5665);

  MD5_I(a, b, c, d, X(0), 6, 0xF4292244);
  MD5_I(d, a, b, c, X(7), 10, 0x432AFF97);
  MD5_I(c, d, a, b, X(14), 15, 0xAB9423A7);
  MD5_I(b, c, d, a, X(5), 21, 0xFC93A039);
  MD5_I(a, b, c, d, X(12), 6, 0x655B59C3);
  MD5_I(d, a, b, c, X(3), 10, 0x8F0CCC92);
  MD5_I(c, d, a, b, X(10), 15, 0xFFEFF47D);
  MD5_I(b, c, d, a, X(1), 21, 0x85845DD1);
  MD5_I(a, b, c, d, X(8), 6, 0x6FA87E4F);
  MD5_I(d, a, b, c, X(15), 10, 0xFE2CE6E0);
  MD5_I(c, d, a, b, X(6), 15, 0xA3014314);
  MD5_I(b, c, d, a, X(13), 21, 0x4E0811A1);
  MD5_I(a, b, c, d, X(4), 6, 0xF7537E82);
  MD5_I(d, a, b, c, X(11), 10, 0xBD3AF235);
  MD5_I(c, d, a, b, X(2), 15, 0x2AD7D2BB);
  MD5_I(b, c, d, a, X(9), 21, 0xEB86D391);

  State[0] += a;
  State[1] += b;
  State[2] += c;
  State[3] += d;
}

// RIPEMD-160 -------------------------------------------------------------------------------------

#define RMD_F1(x, y, z) (x ^ y ^ z)
#define RMD_F2(x, y, z) (z ^ (x & (y ^ z)))
#define RMD_F3(x, y, z) ((x | ~y) ^ z)
#define RMD_F4(x, y, z) (y ^ (z & (x ^ y)))
#define RMD_F5(x, y, z) (x ^ (y | ~z))
#define RMD_STEP(f, a, b, c, d, e, x, k, s)         \
  a = std::rotl(a + f(b, c, d) + (x) + (k), s) + e; \
  c = std::rotl(c, 10)

void TRipeMD160Hasher::Transform(const uint8_t* Block) {
  uint32_t a = State[0], b = State[1], c = State[2], d = State[3], e = State[4];
  uint32_t a2 = a, b2 = b, c2 = c, d2 = d, e2 = e;

  // Left line.
  RMD_STEP(RMD_F1, a, b, c, d, e, X(0), 0x00000000, 11);
  RMD_STEP(RMD_F1, e, a, b, c, d, X(1), 0x00000000, 14);
  RMD_STEP(RMD_F1, d, e, a, b, c, X(2), 0x00000000, 15);
  RMD_STEP(RMD_F1, c, d, e, a, b, X(3), 0x00000000, 12);
  RMD_STEP(RMD_F1, b, c, d, e, a, X(4), 0x00000000, 5);
  RMD_STEP(RMD_F1, a, b, c, d, e, X(5), 0x00000000, 8);
  RMD_STEP(RMD_F1, e, a, b, c, d, X(6), 0x00000000, 7);
  RMD_STEP(RMD_F1, d, e, a, b, c, X(7), 0x00000000, 9);
  RMD_STEP(RMD_F1, c, d, e, a, b, X(8), 0x00000000, 11);
  RMD_STEP(RMD_F1, b, c, d, e, a, X(9), 0x00000000, 13);
  RMD_STEP(RMD_F1, a, b, c, d, e, X(10), 0x00000000, 14);
  RMD_STEP(RMD_F1, e, a, b, c, d, X(11), 0x00000000, 15);
  RMD_STEP(RMD_F1, d, e, a, b, c, X(12), 0x00000000, 6);
  RMD_STEP(RMD_F1, c, d, e, a, b, X(13), 0x00000000, 7);
  RMD_STEP(RMD_F1, b, c, d, e, a, X(14), 0x00000000, 9);
  RMD_STEP(RMD_F1, a, b, c, d, e, X(15), 0x00000000, 8);

  RMD_STEP(RMD_F2, e, a, b, c, d, X(7), 0x5A827999, 7);
  RMD_STEP(RMD_F2, d, e, a, b, c, X(4), 0x5A827999, 6);
  RMD_STEP(RMD_F2, c, d, e, a, b, X(13), 0x5A827999, 8);
  RMD_STEP(RMD_F2, b, c, d, e, a, X(1), 0x5A827999, 13);
  RMD_STEP(RMD_F2, a, b, c, d, e, X(10), 0x5A827999, 11);
  RMD_STEP(RMD_F2, e, a, b, c, d, X(6), 0x5A827999, 9);
  RMD_STEP(RMD_F2, d, e, a, b, c, X(15), 0x5A827999, 7);
  RMD_STEP(RMD_F2, c, d, e, a, b, X(3), 0x5A827999, 15);
  RMD_STEP(RMD_F2, b, c, d, e, a, X(12), 0x5A827999, 7);
  RMD_STEP(RMD_F2, a, b, c, d, e, X(0), 0x5A827999, 12);
  RMD_STEP(RMD_F2, e, a, b, c, d, X(9), 0x5A827999, 15);
  RMD_STEP(RMD_F2, d, e, a, b, c, X(5), 0x5A827999, 9);
  RMD_STEP(RMD_F2, c, d, e, a, b, X(2), 0x5A827999, 11);
  RMD_STEP(RMD_F2, b, c, d, e, a, X(14), 0x5A827999, 7);
  RMD_STEP(RMD_F2, a, b, c, d, e, X(11), 0x5A827999, 13);
  RMD_STEP(RMD_F2, e, a, b, c, d, X(8), 0x5A827999, 12);

  RMD_STEP(RMD_F3, d, e, a, b, c, X(3), 0x6ED9EBA1, 11);
  RMD_STEP(RMD_F3, c, d, e, a, b, X(10), 0x6ED9EBA1, 13);
  RMD_STEP(RMD_F3, b, c, d, e, a, X(14), 0x6ED9EBA1, 6);
  RMD_STEP(RMD_F3, a, b, c, d, e, X(4), 0x6ED9EBA1, 7);
  RMD_STEP(RMD_F3, e, a, b, c, d, X(9), 0x6ED9EBA1, 14);
  RMD_STEP(RMD_F3, d, e, a, b, c, X(15), 0x6ED9EBA1, 9);
  RMD_STEP(RMD_F3, c, d, e, a, b, X(8), 0x6ED9EBA1, 13);
  RMD_STEP(RMD_F3, b, c, d, e, a, X(1), 0x6ED9EBA1, 15);
  RMD_STEP(RMD_F3, a, b, c, d, e, X(2), 0x6ED9EBA1, 14);
  RMD_STEP(RMD_F3, e, a, b, c, d, X(7), 0x6ED9EBA1, 8);
  RMD_STEP(RMD_F3, d, e, a, b, c, X(0), 0x6ED9EBA1, 13);
  RMD_STEP(RMD_F3, c, d, e, a, b, X(6), 0x6ED9EBA1, 6);
  RMD_STEP(RMD_F3, b, c, d, e, a, X(13), 0x6ED9EBA1, 5);
  RMD_STEP(RMD_F3, a, b, c, d, e, X(11), 0x6ED9EBA1, 12);
  RMD_STEP(RMD_F3, e, a, b, c, d, X(5), 0x6ED9EBA1, 7);
  RMD_STEP(RMD_F3, d, e, a, b, c, X(12), 0x6ED9EBA1, 5);

  RMD_STEP(RMD_F4, c, d, e, a, b, X(1), 0x8F1BBCDC, 11);
  RMD_STEP(RMD_F4, b, c, d, e, a, X(9), 0x8F1BBCDC, 12);
  RMD_STEP(RMD_F4, a, b, c, d, e, X(11), 0x8F1BBCDC, 14);
  RMD_STEP(RMD_F4, e, a, b, c, d, X(10), 0x8F1BBCDC, 15);
  RMD_STEP(RMD_F4, d, e, a, b, c, X(0), 0x8F1BBCDC, 14);
  RMD_STEP(RMD_F4, c, d, e, a, b, X(8), 0x8F1BBCDC, 15);
  RMD_STEP(RMD_F4, b, c, d, e, a, X(12), 0x8F1BBCDC, 9);
  RMD_STEP(RMD_F4, a, b, c, d, e, X(4), 0x8F1BBCDC, 8);
  RMD_STEP(RMD_F4, e, a, b, c, d, X(13), 0x8F1BBCDC, 9);
  RMD_STEP(RMD_F4, d, e, a, b, c, X(3), 0x8F1BBCDC, 14);
  RMD_STEP(RMD_F4, c, d, e, a, b, X(7), 0x8F1BBCDC, 5);
  RMD_STEP(RMD_F4, b, c, d, e, a, X(15), 0x8F1BBCDC, 6);
  RMD_STEP(RMD_F4, a, b, c, d, e, X(14), 0x8F1BBCDC, 8);
  RMD_STEP(RMD_F4, e, a, b, c, d, X(5), 0x8F1BBCDC, 6);
  RMD_STEP(RMD_F4, d, e, a, b, c, X(6), 0x8F1BBCDC, 5);
  RMD_STEP(RMD_F4, c, d, e, a, b, X(2), 0x8F1BBCDC, 12);

  RMD_STEP(RMD_F5, b, c, d, e, a, X(4), 0xA953FD4E, 9);
  RMD_STEP(RMD_F5, a, b, c, d, e, X(0), 0xA953FD4E, 15);
  RMD_STEP(RMD_F5, e, a, b, c, d, X(5), 0xA953FD4E, 5);
  RMD_STEP(RMD_F5, d, e, a, b, c, X(9), 0xA953FD4E, 11);
  RMD_STEP(RMD_F5, c, d, e, a, b, X(7), 0xA953FD4E, 6);
  RMD_STEP(RMD_F5, b, c, d, e, a, X(12), 0xA953FD4E, 8);
  RMD_STEP(RMD_F5, a, b, c, d, e, X(2), 0xA953FD4E, 13);
  RMD_STEP(RMD_F5, e, a, b, c, d, X(10), 0xA953FD4E, 12);
  RMD_STEP(RMD_F5, d, e, a, b, c, X(14), 0xA953FD4E, 5);
  RMD_STEP(RMD_F5, c, d, e, a, b, X(1), 0xA953FD4E, 12);
  RMD_STEP(RMD_F5, b, c, d, e, a, X(3), 0xA953FD4E, 13);
  RMD_STEP(RMD_F5, a, b, c, d, e, X(8), 0xA953FD4E, 14);
  RMD_STEP(RMD_F5, e, a, b, c, d, X(11), 0xA953FD4E, 11);
  RMD_STEP(RMD_F5, d, e, a, b, c, X(6), 0xA953FD4E, 8);
  RMD_STEP(RMD_F5, c, d, e, a, b, X(15), 0xA953FD4E, 5);
  RMD_STEP(RMD_F5, b, c, d, e, a, X(13), 0xA953FD4E, 6);

  // Right line.
  RMD_STEP(RMD_F5, a2, b2, c2, d2, e2, X(5), 0x50A28BE6, 8);
  RMD_STEP(RMD_F5, e2, a2, b2, c2, d2, X(14), 0x50A28BE6, 9);
  RMD_STEP(RMD_F5, d2, e2, a2, b2, c2, X(7), 0x50A28BE6, 9);
  RMD_STEP(RMD_F5, c2, d2, e2, a2, b2, X(0), 0x50A28BE6, 11);
  RMD_STEP(RMD_F5, b2, c2, d2, e2, a2, X(9), 0x50A28BE6, 13);
  RMD_STEP(RMD_F5, a2, b2, c2, d2, e2, X(2), 0x50A28BE6, 15);
  RMD_STEP(RMD_F5, e2, a2, b2, c2, d2, X(11), 0x50A28BE6, 15);
  RMD_STEP(RMD_F5, d2, e2, a2, b2, c2, X(4), 0x50A28BE6, 5);
  RMD_STEP(RMD_F5, c2, d2, e2, a2, b2, X(13), 0x50A28BE6, 7);
  RMD_STEP(RMD_F5, b2, c2, d2, e2, a2, X(6), 0x50A28BE6, 7);
  RMD_STEP(RMD_F5, a2, b2, c2, d2, e2, X(15), 0x50A28BE6, 8);
  RMD_STEP(RMD_F5, e2, a2, b2, c2, d2, X(8), 0x50A28BE6, 11);
  RMD_STEP(RMD_F5, d2, e2, a2, b2, c2, X(1), 0x50A28BE6, 14);
  RMD_STEP(RMD_F5, c2, d2, e2, a2, b2, X(10), 0x50A28BE6, 14);
  RMD_STEP(RMD_F5, b2, c2, d2, e2, a2, X(3), 0x50A28BE6, 12);
  RMD_STEP(RMD_F5, a2, b2, c2, d2, e2, X(12), 0x50A28BE6, 6);

  RMD_STEP(RMD_F4, e2, a2, b2, c2, d2, X(6), 0x5C4DD124, 9);
  RMD_STEP(RMD_F4, d2, e2, a2, b2, c2, X(11), 0x5C4DD124, 13);
  RMD_STEP(RMD_F4, c2, d2, e2, a2, b2, X(3), 0x5C4DD124, 15);
  RMD_STEP(RMD_F4, b2, c2, d2, e2, a2, X(7), 0x5C4DD124, 7);
  RMD_STEP(RMD_F4, a2, b2, c2, d2, e2, X(0), 0x5C4DD124, 12);
  RMD_STEP(RMD_F4, e2, a2, b2, c2, d2, X(13), 0x5C4DD124, 8);
  RMD_STEP(RMD_F4, d2, e2, a2, b2, c2, X(5), 0x5C4DD124, 9);
  RMD_STEP(RMD_F4, c2, d2, e2, a2, b2, X(10), 0x5C4DD124, 11);
  RMD_STEP(RMD_F4, b2, c2, d2, e2, a2, X(14), 0x5C4DD124, 7);
  RMD_STEP(RMD_F4, a2, b2, c2, d2, e2, X(15), 0x5C4DD124, 7);
  RMD_STEP(RMD_F4, e2, a2, b2, c2, d2, X(8), 0x5C4DD124, 12);
  RMD_STEP(RMD_F4, d2, e2, a2, b2, c2, X(12), 0x5C4DD124, 7);
  RMD_STEP(RMD_F4, c2, d2, e2, a2, b2, X(4), 0x5C4DD124, 6);
  RMD_STEP(RMD_F4, b2, c2, d2, e2, a2, X(9), 0x5C4DD124, 15);
  RMD_STEP(RMD_F4, a2, b2, c2, d2, e2, X(1), 0x5C4DD124, 13);
  RMD_STEP(RMD_F4, e2, a2, b2, c2, d2, X(2), 0x5C4DD124, 11);

  RMD_STEP(RMD_F3, d2, e2, a2, b2, c2, X(15), 0x6D703EF3, 9);
  RMD_STEP(RMD_F3, c2, d2, e2, a2, b2, X(5), 0x6D703EF3, 7);
  RMD_STEP(RMD_F3, b2, c2, d2, e2, a2, X(1), 0x6D703EF3, 15);
  RMD_STEP(RMD_F3, a2, b2, c2, d2, e2, X(3), 0x6D703EF3, 11);
  RMD_STEP(RMD_F3, e2, a2, b2, c2, d2, X(7), 0x6D703EF3, 8);
  RMD_STEP(RMD_F3, d2, e2, a2, b2, c2, X(14), 0x6D703EF3, 6);
  RMD_STEP(RMD_F3, c2, d2, e2, a2, b2, X(6), 0x6D703EF3, 6);
  RMD_STEP(RMD_F3, b2, c2, d2, e2, a2, X(9), 0x6D703EF3, 14);
  RMD_STEP(RMD_F3, a2, b2, c2, d2, e2, X(11), 0x6D703EF3, 12);
  RMD_STEP(RMD_F3, e2, a2, b2, c2, d2, X(8), 0x6D703EF3, 13);
  RMD_STEP(RMD_F3, d2, e2, a2, b2, c2, X(12), 0x6D703EF3, 5);
  RMD_STEP(RMD_F3, c2, d2, e2, a2, b2, X(2), 0x6D703EF3, 14);
  RMD_STEP(RMD_F3, b2, c2, d2, e2, a2, X(10), 0x6D703EF3, 13);
  RMD_STEP(RMD_F3, a2, b2, c2, d2, e2, X(0), 0x6D703EF3, 13);
  RMD_STEP(RMD_F3, e2, a2, b2, c2, d2, X(4), 0x6D703EF3, 7);
  RMD_STEP(RMD_F3, d2, e2, a2, b2, c2, X(13), 0x6D703EF3, 5);

  RMD_STEP(RMD_F2, c2, d2, e2, a2, b2, X(8), 0x7A6D76E9, 15);
  RMD_STEP(RMD_F2, b2, c2, d2, e2, a2, X(6), 0x7A6D76E9, 5);
  RMD_STEP(RMD_F2, a2, b2, c2, d2, e2, X(4), 0x7A6D76E9, 8);
  RMD_STEP(RMD_F2, e2, a2, b2, c2, d2, X(1), 0x7A6D76E9, 11);
  RMD_STEP(RMD_F2, d2, e2, a2, b2, c2, X(3), 0x7A6D76E9, 14);
  RMD_STEP(RMD_F2, c2, d2, e2, a2, b2, X(11), 0x7A6D76E9, 14);
  RMD_STEP(RMD_F2, b2, c2, d2, e2, a2, X(15), 0x7A6D76E9, 6);
  RMD_STEP(RMD_F2, a2, b2, c2, d2, e2, X(0), 0x7A6D76E9, 14);
  RMD_STEP(RMD_F2, e2, a2, b2, c2, d2, X(5), 0x7A6D76E9, 6);
  RMD_STEP(RMD_F2, d2, e2, a2, b2, c2, X(12), 0x7A6D76E9, 9);
  RMD_STEP(RMD_F2, c2, d2, e2, a2, b2, X(2), 0x7A6D76E9, 12);
  RMD_STEP(RMD_F2, b2, c2, d2, e2, a2, X(13), 0x7A6D76E9, 9);
  RMD_STEP(RMD_F2, a2, b2, c2, d2, e2, X(9), 0x7A6D76E9, 12);
  RMD_STEP(RMD_F2, e2, a2, b2, c2, d2, X(7), 0x7A6D76E9, 5);
  RMD_STEP(RMD_F2, d2, e2, a2, b2, c2, X(10), 0x7A6D76E9, 15);
  RMD_STEP(RMD_F2, c2, d2, e2, a2, b2, X(14), 0x7A6D76E9, 8);

  RMD_STEP(RMD_F1, b2, c2, d2, e2, a2, X(12), 0x00000000, 8);
  RMD_STEP(RMD_F1, a2, b2, c2, d2, e2, X(15), 0x00000000, 5);
  RMD_STEP(RMD_F1, e2, a2, b2, c2, d2, X(10), 0x00000000, 12);
  RMD_STEP(RMD_F1, d2, e2, a2, b2, c2, X(4), 0x00000000, 9);
  RMD_STEP(RMD_F1, c2, d2, e2, a2, b2, X(1), 0x00000000, 12);
  RMD_STEP(RMD_F1, b2, c2, d2, e2, a2, X(5), 0x00000000, 5);
  RMD_STEP(RMD_F1, a2, b2, c2, d2, e2, X(8), 0x00000000, 14);
  RMD_STEP(RMD_F1, e2, a2, b2, c2, d2, X(7), 0x00000000, 6);
  RMD_STEP(RMD_F1, d2, e2, a2, b2, c2, X(6), 0x00000000, 8);
  RMD_STEP(RMD_F1, c2, d2, e2, a2, b2, X(2), 0x00000000, 13);
  RMD_STEP(RMD_F1, b2, c2, d2, e2, a2, X(13), 0x00000000, 6);
  RMD_STEP(RMD_F1, a2, b2, c2, d2, e2, X(14), 0x00000000, 5);
  RMD_STEP(RMD_F1, e2, a2, b2, c2, d2, X(0), 0x00000000, 15);
  RMD_STEP(RMD_F1, d2, e2, a2, b2, c2, X(3), 0x00000000, 13);
  RMD_STEP(RMD_F1, c2, d2, e2, a2, b2, X(9), 0x00000000, 11);
  RMD_STEP(RMD_F1, b2, c2, d2, e2, a2, X(11), 0x00000000, 11);

  const uint32_t t = State[1] + c + d2;
  State[1] = State[2] + d + e2;
  State[2] = State[3] + e + a2;
  State[3] = State[4] + a + b2;
  State[4] = State[0] + b + c2;
  State[0] = t;
}

// SHA-0 and SHA-1 --------------------------------------------------------------------------------

#define SHA_F1(b, c, d) (d ^ (b & (c ^ d)))
#define SHA_F2(b, c, d) (b ^ c ^ d)
#define SHA_F3(b, c, d) ((b & c) + (d & (b ^ c)))
#define SHA_STEP(f, a, b, c, d, e, t, k)                        \
  e += std::rotl(a, 5) + f(b, c, d) + W.template At<t>() + (k); \
  b = std::rotl(b, 30)

namespace {

// The 80 steps on one block; W supplies schedule word t through At<t>().
template <class Words>
inline void SHARounds(uint32_t* State, Words& W) {
  uint32_t a = State[0], b = State[1], c = State[2], d = State[3], e = State[4];

  SHA_STEP(SHA_F1, a, b, c, d, e, 0, 0x5A827999);
  SHA_STEP(SHA_F1, e, a, b, c, d, 1, 0x5A827999);
  SHA_STEP(SHA_F1, d, e, a, b, c, 2, 0x5A827999);
  SHA_STEP(SHA_F1, c, d, e, a, b, 3, 0x5A827999);
  SHA_STEP(SHA_F1, b, c, d, e, a, 4, 0x5A827999);
  SHA_STEP(SHA_F1, a, b, c, d, e, 5, 0x5A827999);
  SHA_STEP(SHA_F1, e, a, b, c, d, 6, 0x5A827999);
  SHA_STEP(SHA_F1, d, e, a, b, c, 7, 0x5A827999);
  SHA_STEP(SHA_F1, c, d, e, a, b, 8, 0x5A827999);
  SHA_STEP(SHA_F1, b, c, d, e, a, 9, 0x5A827999);
  SHA_STEP(SHA_F1, a, b, c, d, e, 10, 0x5A827999);
  SHA_STEP(SHA_F1, e, a, b, c, d, 11, 0x5A827999);
  SHA_STEP(SHA_F1, d, e, a, b, c, 12, 0x5A827999);
  SHA_STEP(SHA_F1, c, d, e, a, b, 13, 0x5A827999);
  SHA_STEP(SHA_F1, b, c, d, e, a, 14, 0x5A827999);
  SHA_STEP(SHA_F1, a, b, c, d, e, 15, 0x5A827999);
  SHA_STEP(SHA_F1, e, a, b, c, d, 16, 0x5A827999);
  SHA_STEP(SHA_F1, d, e, a, b, c, 17, 0x5A827999);
  SHA_STEP(SHA_F1, c, d, e, a, b, 18, 0x5A827999);
  SHA_STEP(SHA_F1, b, c, d, e, a, 19, 0x5A827999);

  SHA_STEP(SHA_F2, a, b, c, d, e, 20, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, e, a, b, c, d, 21, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, d, e, a, b, c, 22, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, c, d, e, a, b, 23, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, b, c, d, e, a, 24, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, a, b, c, d, e, 25, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, e, a, b, c, d, 26, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, d, e, a, b, c, 27, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, c, d, e, a, b, 28, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, b, c, d, e, a, 29, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, a, b, c, d, e, 30, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, e, a, b, c, d, 31, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, d, e, a, b, c, 32, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, c, d, e, a, b, 33, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, b, c, d, e, a, 34, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, a, b, c, d, e, 35, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, e, a, b, c, d, 36, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, d, e, a, b, c, 37, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, c, d, e, a, b, 38, 0x6ED9EBA1);
  SHA_STEP(SHA_F2, b, c, d, e, a, 39, 0x6ED9EBA1);

  SHA_STEP(SHA_F3, a, b, c, d, e, 40, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, e, a, b, c, d, 41, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, d, e, a, b, c, 42, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, c, d, e, a, b, 43, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, b, c, d, e, a, 44, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, a, b, c, d, e, 45, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, e, a, b, c, d, 46, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, d, e, a, b, c, 47, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, c, d, e, a, b, 48, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, b, c, d, e, a, 49, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, a, b, c, d, e, 50, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, e, a, b, c, d, 51, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, d, e, a, b, c, 52, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, c, d, e, a, b, 53, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, b, c, d, e, a, 54, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, a, b, c, d, e, 55, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, e, a, b, c, d, 56, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, d, e, a, b, c, 57, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, c, d, e, a, b, 58, 0x8F1BBCDC);
  SHA_STEP(SHA_F3, b, c, d, e, a, 59, 0x8F1BBCDC);

  SHA_STEP(SHA_F2, a, b, c, d, e, 60, 0xCA62C1D6);
  SHA_STEP(SHA_F2, e, a, b, c, d, 61, 0xCA62C1D6);
  SHA_STEP(SHA_F2, d, e, a, b, c, 62, 0xCA62C1D6);
  SHA_STEP(SHA_F2, c, d, e, a, b, 63, 0xCA62C1D6);
  SHA_STEP(SHA_F2, b, c, d, e, a, 64, 0xCA62C1D6);
  SHA_STEP(SHA_F2, a, b, c, d, e, 65, 0xCA62C1D6);
  SHA_STEP(SHA_F2, e, a, b, c, d, 66, 0xCA62C1D6);
  SHA_STEP(SHA_F2, d, e, a, b, c, 67, 0xCA62C1D6);
  SHA_STEP(SHA_F2, c, d, e, a, b, 68, 0xCA62C1D6);
  SHA_STEP(SHA_F2, b, c, d, e, a, 69, 0xCA62C1D6);
  SHA_STEP(SHA_F2, a, b, c, d, e, 70, 0xCA62C1D6);
  SHA_STEP(SHA_F2, e, a, b, c, d, 71, 0xCA62C1D6);
  SHA_STEP(SHA_F2, d, e, a, b, c, 72, 0xCA62C1D6);
  SHA_STEP(SHA_F2, c, d, e, a, b, 73, 0xCA62C1D6);
  SHA_STEP(SHA_F2, b, c, d, e, a, 74, 0xCA62C1D6);
  SHA_STEP(SHA_F2, a, b, c, d, e, 75, 0xCA62C1D6);
  SHA_STEP(SHA_F2, e, a, b, c, d, 76, 0xCA62C1D6);
  SHA_STEP(SHA_F2, d, e, a, b, c, 77, 0xCA62C1D6);
  SHA_STEP(SHA_F2, c, d, e, a, b, 78, 0xCA62C1D6);
  SHA_STEP(SHA_F2, b, c, d, e, a, 79, 0xCA62C1D6);

  State[0] += a;
  State[1] += b;
  State[2] += c;
  State[3] += d;
  State[4] += e;
}

// The whole 80-word schedule, built first.
struct TScheduleWords {
  uint32_t W[80];
  template <int t>
  uint32_t At() const {
    return W[t];
  }
};

// The schedule computed inside the rounds, in a ring of the last 16 words: no array of 80 words
// is written and read back.
template <bool Rotate>
struct TRingWords {
  uint32_t W[16];
  template <int t>
  uint32_t At() {
    if constexpr (t < 16) {
      return W[t];
    } else {
      uint32_t x = W[(t - 3) & 15] ^ W[(t - 8) & 15] ^ W[(t - 14) & 15] ^ W[t & 15];
      if constexpr (Rotate) x = std::rotl(x, 1);
      return W[t & 15] = x;
    }
  }
};

template <bool Rotate>
void CompressRing(uint32_t* State, const uint8_t* Data, size_t Blocks) {
  for (; Blocks > 0; Data += 64, --Blocks) {
    TRingWords<Rotate> w;
    for (int t = 0; t < 16; ++t) w.W[t] = ByteSwapInstruction(LoadLE32(Data + 4 * t));
    SHARounds(State, w);
  }
}

void SHACompressSchedule(uint32_t* State, const uint8_t* Data, size_t Blocks, bool Rotate) {
  for (; Blocks > 0; Data += 64, --Blocks) {
    TScheduleWords w;
    ExpandSHABlock(w.W, Data, Rotate);
    SHARounds(State, w);
  }
}

void SHACompressRing(uint32_t* State, const uint8_t* Data, size_t Blocks, bool Rotate) {
  if (Rotate)
    CompressRing<true>(State, Data, Blocks);
  else
    CompressRing<false>(State, Data, Blocks);
}

#if JV_X86
// Four rounds with the processor's SHA-1 instructions on the words of group j (rounds 4j to
// 4j+3), while the schedule of the groups ahead is advanced: group j+1 finished, group j+2
// given W[t-8], group j+3 started with W[t-16] xor W[t-14]. m[j % 4] holds group j's words, the
// first in the top lane; prev is A..D before the last four rounds, whose A gives the next E.
template <int j>
JV_TARGET("sha,ssse3,sse4.1")
inline void SHA1Group(__m128i& abcd, __m128i& e, __m128i& prev, __m128i (&m)[4]) {
  if constexpr (j == 0)
    e = _mm_add_epi32(e, m[0]);
  else
    e = _mm_sha1nexte_epu32(prev, m[j % 4]);
  prev = abcd;
  abcd = _mm_sha1rnds4_epu32(abcd, e, j / 5);
  if constexpr (j + 1 >= 4 && j + 1 < 20)
    m[(j + 1) % 4] = _mm_sha1msg2_epu32(m[(j + 1) % 4], m[j % 4]);
  if constexpr (j + 2 >= 4 && j + 2 < 20) m[(j + 2) % 4] = _mm_xor_si128(m[(j + 2) % 4], m[j % 4]);
  if constexpr (j + 3 >= 4 && j + 3 < 20)
    m[(j + 3) % 4] = _mm_sha1msg1_epu32(m[(j + 3) % 4], m[j % 4]);
}

JV_TARGET("sha,ssse3,sse4.1")
void CompressSHA1Instructions(uint32_t* State, const uint8_t* Data, size_t Blocks) {
  // A in the top lane, as the round instruction wants it; E alone in the top lane.
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(State)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(State[4]), 0, 0, 0);
  // Reverses all 16 bytes: big-endian words, the first word in the top lane.
  const __m128i order = _mm_set_epi64x(0x0001020304050607, 0x08090A0B0C0D0E0F);
  for (; Blocks > 0; Data += 64, --Blocks) {
    const __m128i abcd0 = abcd, e00 = e0;
    __m128i m[4], e = e0, prev = abcd;
    for (int i = 0; i < 4; ++i)
      m[i] =
          _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Data + 16 * i)), order);
    SHA1Group<0>(abcd, e, prev, m);
    SHA1Group<1>(abcd, e, prev, m);
    SHA1Group<2>(abcd, e, prev, m);
    SHA1Group<3>(abcd, e, prev, m);
    SHA1Group<4>(abcd, e, prev, m);
    SHA1Group<5>(abcd, e, prev, m);
    SHA1Group<6>(abcd, e, prev, m);
    SHA1Group<7>(abcd, e, prev, m);
    SHA1Group<8>(abcd, e, prev, m);
    SHA1Group<9>(abcd, e, prev, m);
    SHA1Group<10>(abcd, e, prev, m);
    SHA1Group<11>(abcd, e, prev, m);
    SHA1Group<12>(abcd, e, prev, m);
    SHA1Group<13>(abcd, e, prev, m);
    SHA1Group<14>(abcd, e, prev, m);
    SHA1Group<15>(abcd, e, prev, m);
    SHA1Group<16>(abcd, e, prev, m);
    SHA1Group<17>(abcd, e, prev, m);
    SHA1Group<18>(abcd, e, prev, m);
    SHA1Group<19>(abcd, e, prev, m);
    e0 = _mm_sha1nexte_epu32(prev, e00);
    abcd = _mm_add_epi32(abcd, abcd0);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(State), _mm_shuffle_epi32(abcd, 0x1B));
  State[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

void SHACompressInstructions(uint32_t* State, const uint8_t* Data, size_t Blocks, bool Rotate) {
  if (Rotate)
    CompressSHA1Instructions(State, Data, Blocks);
  else
    SHACompressRing(State, Data, Blocks, false);  // the instructions know only SHA-1's schedule
}
#endif

}  // namespace

TSHACompressProc SHACompress = SHACompressRing;

std::vector<TCodePath<TSHACompressProc>> SHACompressPaths(const TX86Features& Features) {
  std::vector<TCodePath<TSHACompressProc>> paths = {{"schedule", SHACompressSchedule},
                                                    {"ring", SHACompressRing}};
#if JV_X86
  if (Features.SHA) paths.push_back({"SHA-NI", SHACompressInstructions});
#else
  (void)Features;
#endif
  return paths;
}

void TSHAHasher::Transform(const uint8_t* Block) {
  SHACompress(State, Block, 1, Rotate);
}

void TSHAHasher::TransformBlocks(const uint8_t* Data, size_t Count) {
  SHACompress(State, Data, Count, Rotate);
}

void TSHAHasher::Done() {
  Finish(true);
  // The state words are kept in the processor's order between blocks; the digest is big-endian.
  SwapIntegerBuffer(State, State, 5);
}

void TSHA1Hasher::Init() {
  Rotate = true;
  TMD4Hasher::Init();
}
