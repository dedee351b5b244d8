// Block hashers and checksums.
#include "hash/hashers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "hash/checksums.h"
#include "hash/x86.h"

using namespace std::string_literals;

namespace {

const THasherClass MD4 = &TMD4Hasher::ClassInfo, MD5 = &TMD5Hasher::ClassInfo,
                   RMD = &TRipeMD160Hasher::ClassInfo, SHA0 = &TSHAHasher::ClassInfo,
                   SHA1 = &TSHA1Hasher::ClassInfo, XOR32 = &TXOR32CheckSum::ClassInfo,
                   CRC32 = &TCRC32CheckSum::ClassInfo;

std::string Hex(const THasher& H) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (int32_t i = 0; i < H.DigestSize(); ++i)
    s += std::string{digits[H.DigestKey()[i] >> 4], digits[H.DigestKey()[i] & 15]};
  return s;
}

std::string Digest(THasherClass Class, const std::string& Message) {
  auto h = Class->Create();
  h->Init();
  h->Update(Message.data(), static_cast<int32_t>(Message.size()));
  h->Done();
  return Hex(*h);
}

const std::string Alphabet = "abcdefghijklmnopqrstuvwxyz";
const std::string Alnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string Digits80 =
    "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
const std::string K448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const std::string MillionA(1000000, 'a');

}  // namespace

// RFC 1320, RFC 1321, the RIPEMD-160 reference vectors, FIPS 180 and 180-1, the CRC-32 check
// value (digest least significant byte first), the rotate-xor examples. Padding: 55 bytes end in
// one final block, 56 to 64 in two; K448 (56) and Alnum (62) cover the middle, MD5 and SHA-1 (one
// per bit-count byte order) the two ends.
TEST(Hashers, KnownAnswers) {
  const struct {
    THasherClass Class;
    std::string Message;
    const char* Digest;
  } vectors[] = {
      {MD4, "", "31d6cfe0d16ae931b73c59d7e0c089c0"},
      {MD4, "a", "bde52cb31de33e46245e05fbdbd6fb24"},
      {MD4, "abc", "a448017aaf21d8525fc10ae87aa6729d"},
      {MD4, "message digest", "d9130a8164549fe818874806e1c7014b"},
      {MD4, Alphabet, "d79e1c308aa5bbcdeea8ed63df412da9"},
      {MD4, Alnum, "043f8582f241db351ce627e153e7f0e4"},
      {MD4, Digits80, "e33b4ddc9c38f2199c3e7b164fcc0536"},
      {MD5, "", "d41d8cd98f00b204e9800998ecf8427e"},
      {MD5, "a", "0cc175b9c0f1b6a831c399e269772661"},
      {MD5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
      {MD5, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {MD5, Alphabet, "c3fcd3d76192e4007dfb496cca67e13b"},
      {MD5, Alnum, "d174ab98d277d9f5a5611c2c9f419d9f"},
      {MD5, Digits80, "57edf4a22be3c955ac49da2e2107b67a"},
      {RMD, "", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
      {RMD, "a", "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe"},
      {RMD, "abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
      {RMD, "message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
      {RMD, Alphabet, "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
      {RMD, K448, "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
      {RMD, Alnum, "b0e20b6e3116640286ed3a87a5713079b21f5189"},
      {RMD, Digits80, "9b752e45573d4b39f4dbd3323cab82bf63326bfb"},
      {RMD, MillionA, "52783243c1697bdbe16d37f97f68f08325dc1528"},
      {SHA0, "", "f96cea198ad1dd5617ac084a3d92c6107708c0ef"},
      {SHA0, "abc", "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880"},
      {SHA0, K448, "d2516ee1acfa5baf33dfc1c471e438449ef134c8"},
      {SHA0, MillionA, "3232affa48628a26653b5aaa44541fd90d690603"},
      {SHA1, "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {SHA1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {SHA1, K448, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {SHA1, MillionA, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
      {CRC32, "", "00000000"},
      {CRC32, "123456789", "2639f4cb"},
      {XOR32, "", "00000000"},
      {XOR32, "\xAB", "ab000000"},
      {XOR32, "\x01\x02", "01020000"},
      {XOR32, "\x01\x02\x03", "22030000"},
      // The rotation carries bits into the high half and round to the bottom again.
      {XOR32, "\xFF\xFF\0\0"s, "e0ff1f00"},
      {XOR32, "\x34\x12\x34\x12\x34\x12\x34\x12\x34\x12\x34\x12\x34\x12\x34\x12", "bc111042"},
      {MD5, std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {MD5, std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
      {SHA1, std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
      {SHA1, std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"}};
  for (const auto& v : vectors)
    EXPECT_EQ(Digest(v.Class, v.Message), v.Digest)
        << v.Class->HashName() << " of " << v.Message.size()
        << " bytes: " << v.Message.substr(0, 80);
}

// Every code path of every hasher, with any split into Update calls (empty and negative sizes
// included), gives the digest of the whole in one call on the portable path. The lengths lie
// around the block boundaries of the hashers and of the folding CRC (64-byte rounds, 16-byte
// steps; 256-byte rounds on the wide paths). One hasher serves every split, so Init must start
// over after Done.
TEST(Hashers, EveryPathAndSplitGivesTheSameDigest) {
  // Runs Body with Slot set to each of Paths in turn, then restores the start-up choice.
  auto forEachPath = [](auto& Slot, const auto& Paths, auto Body) {
    const auto saved = Slot;
    for (const auto& path : Paths) {
      Slot = path.Code;
      Body(path.Name);
    }
    Slot = saved;
  };
  std::mt19937 rng(20261206);
  std::string data(5000, '\0');
  for (char& b : data) b = static_cast<char>(rng());
  const size_t lengths[] = {0,   1,   15,  16,  17,  55,  56,  63,  64,  65,  79,  80,   119, 120,
                            127, 128, 129, 143, 191, 192, 193, 255, 256, 257, 512, 1000, 5000};
  for (THasherClass cls : {MD4, MD5, RMD, SHA0, SHA1, CRC32}) {
    auto h = cls->Create();
    EXPECT_EQ(h->ClassType(), cls);
    std::vector<std::string> expected;
    for (size_t length : lengths) expected.push_back(Digest(cls, data.substr(0, length)));
    auto check = [&](const char* Path) {
      for (size_t l = 0; l < std::size(lengths); ++l) {
        const size_t length = lengths[l];
        for (int split = 0; split < 8; ++split) {  // the first byte by byte, the second whole
          h->Init();
          for (size_t at = 0; at <= length;) {
            int32_t n = split == 0 ? 1 : static_cast<int32_t>(rng() % 300) - 5;
            if (split == 1) n = static_cast<int32_t>(length);
            n = std::min(n, static_cast<int32_t>(length - at));
            h->Update(data.data() + at, n);
            if (n > 0) at += n;
            if (at == length && n <= 0) break;  // the last call may be empty
          }
          h->Done();
          EXPECT_EQ(Hex(*h), expected[l]) << cls->HashName() << ' ' << Path << ' ' << length;
        }
      }
    };
    if (cls == SHA0 || cls == SHA1)
      forEachPath(SHACompress, SHACompressPaths(), check);
    else if (cls == CRC32)
      forEachPath(CRC32Continue, CRC32ContinuePaths(), check);
    else
      check("");
  }
  // XOR32 is the exception: every Update starts its own pairing.
  auto h = XOR32->Create();
  EXPECT_EQ(h->ClassType(), XOR32);
  h->Init();
  h->Update("\x01\x02", 2);
  h->Update("\x03", 1);
  h->Done();
  EXPECT_EQ(Hex(*h), "02020000");  // 0201 xor 03
}

// Destroying a hasher leaves zeros where its digest was.
template <class T>
void ExpectDigestWiped() {
  alignas(T) unsigned char storage[sizeof(T)];
  T* h = new (storage) T();
  h->Init();
  h->Update("abc", 3);
  h->Done();
  const auto offset = h->DigestKey() - reinterpret_cast<const uint8_t*>(storage);
  const std::string digest(reinterpret_cast<const char*>(h->DigestKey()), h->DigestSize());
  ASSERT_NE(digest, std::string(digest.size(), '\0'));
  h->~T();
  for (size_t i = 0; i < digest.size(); ++i)
    EXPECT_EQ(storage[offset + i], 0) << T::ClassInfo.ClassName;
}

template <class... T>
void ExpectDigestsWiped() {
  (ExpectDigestWiped<T>(), ...);
}

TEST(Hashers, DestructionZeroesTheDigest) {
  ExpectDigestsWiped<TMD4Hasher, TMD5Hasher, TRipeMD160Hasher, TSHAHasher, TSHA1Hasher,
                     TXOR32CheckSum, TCRC32CheckSum>();
}

// Both variants swap exactly Count words, in place too (the SHA digests run them on the state).
TEST(ByteOrderRoutines, BothVariantsSwapCountWordsAndNoMore) {
  const uint32_t source[4] = {0x01020304, 0xA0B0C0D0, 0xFF000000, 0x12345678};
  for (auto swap : {SwapIntegerBufferRotate, SwapIntegerBufferBswap})
    for (int32_t count : {-1, 0, 3}) {
      uint32_t out[4] = {7, 7, 7, 7};
      swap(source, out, count);
      const uint32_t swapped[4] = {0x04030201, 0xD0C0B0A0, 0x000000FF, 7};
      for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(out[i], i < count ? swapped[i] : 7u) << count;
    }
}

TEST(ByteOrderRoutines, StartUpSelectionAndFamilyThreePath) {
#if defined(__x86_64__) || defined(_M_X64)
  EXPECT_GT(GetCPUFamily(), 3);  // every 64-bit x86 has the byte-swap instruction
  EXPECT_EQ(SwapIntegerBuffer, &SwapIntegerBufferBswap);
  EXPECT_EQ(ExpandSHABlock, &ExpandSHABlockBswap);
#endif
  // The fastest path this processor runs is the one in use.
  EXPECT_EQ(SHACompress, SHACompressPaths().back().Code);
  EXPECT_EQ(CRC32Continue, CRC32ContinuePaths().back().Code);
  SelectByteOrderRoutines(3);
  EXPECT_EQ(SwapIntegerBuffer, &SwapIntegerBufferRotate);
  EXPECT_EQ(ExpandSHABlock, &ExpandSHABlockRotate);
  EXPECT_EQ(SHACompress, SHACompressPaths().front().Code);  // through ExpandSHABlock
  const std::string sha0 = Digest(SHA0, K448), sha1 = Digest(SHA1, K448);
  HasherUnitInit();
  EXPECT_EQ(sha0, "d2516ee1acfa5baf33dfc1c471e438449ef134c8");
  EXPECT_EQ(sha1, "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(ExpandSHABlock, &ExpandSHABlockBswap);
  EXPECT_EQ(SHACompress, SHACompressPaths().back().Code);
}

// UpdateCRC32, on every path, against the bitwise definition at every alignment and length up
// to 300 bytes, and around the 256-byte rounds of the wide paths beyond.
TEST(CRC32, UpdateMatchesTheBitwiseDefinition) {
  auto reference = [](uint32_t c, const uint8_t* p, size_t n) {
    while (n--) {
      c ^= *p++;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return c;
  };
  std::mt19937 rng(7);
  std::vector<uint8_t> data(4200);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  std::vector<size_t> lengths(301);
  std::iota(lengths.begin(), lengths.end(), 0);
  for (size_t n : {511, 512, 513, 527, 528, 767, 768, 769, 1023, 1024, 1040, 1279, 4095, 4192})
    lengths.push_back(n);
  const TCRC32ContinueProc saved = CRC32Continue;
  for (const auto& path : CRC32ContinuePaths()) {
    CRC32Continue = path.Code;
    for (size_t offset = 0; offset < 8; ++offset)
      for (size_t n : lengths) {
        const uint32_t start = rng();
        ASSERT_EQ(UpdateCRC32(start, data.data() + offset, static_cast<int32_t>(n)),
                  reference(start, data.data() + offset, n))
            << path.Name << ' ' << offset << ' ' << n;
      }
    const uint8_t b = 1;
    EXPECT_EQ(UpdateCRC32(0x12345678u, nullptr, 10), 0x12345678u);
    EXPECT_EQ(UpdateCRC32(0x12345678u, &b, -1), 0x12345678u);
  }
  CRC32Continue = saved;
}

// Every path continues the register over long data in pieces of any size and alignment as the
// tables do (many 256-byte rounds, a piece ending anywhere inside one); the paths are listed
// exactly as the processor's features allow, each wider one only beside the narrower ones.
TEST(CRC32, LongDataInPiecesOnEveryPath) {
  const std::vector<TCodePath<TCRC32ContinueProc>> paths = CRC32ContinuePaths();
  const TX86Features& x86 = X86Features();
  std::vector<std::string> names, expected = {"tables"};
  for (const auto& path : paths) names.push_back(path.Name);
  if (x86.PCLMUL) expected.push_back("PCLMULQDQ");
  if (x86.PCLMUL && x86.VPCLMUL256) expected.push_back("VPCLMUL-256");
  if (x86.PCLMUL && x86.VPCLMUL256 && x86.VPCLMUL512) expected.push_back("VPCLMUL-512");
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(!x86.VPCLMUL512 || x86.VPCLMUL256);
  EXPECT_TRUE(!x86.VPCLMUL256 || x86.PCLMUL);

  std::mt19937 rng(25);
  std::vector<uint8_t> data(70000);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (int trial = 0; trial < 20; ++trial) {
    const size_t start = rng() % 64, length = data.size() - start - rng() % 5000;
    const uint32_t initial = rng();
    const uint32_t whole = paths.front().Code(initial, data.data() + start, length);
    for (const auto& path : paths) {
      uint32_t crc = initial;
      for (size_t at = 0; at < length;) {
        const size_t piece = std::min<size_t>(length - at, rng() % (trial < 10 ? 9000 : 700));
        crc = path.Code(crc, data.data() + start + at, piece);
        at += piece;
      }
      EXPECT_EQ(crc, whole) << path.Name << ' ' << trial;
    }
  }
}

// The start-up choice follows from the identification words alone: each fast path only where
// the processor has every extension its code uses and, for 256- and 512-bit registers, where
// the system saves their state. Each case lacks one thing of a processor that has them all.
TEST(X86Features, PathsFollowTheIdentificationWords) {
  // Leaf 1 ECX: PCLMULQDQ, SSSE3, SSE4.1, OSXSAVE, AVX; leaf 7 EBX: AVX2, AVX-512F, SHA, and
  // AVX-512BW and VL, which no path needs; leaf 7 ECX: VPCLMULQDQ; XCR0: SSE, AVX and the three
  // AVX-512 states.
  const TX86Words all = {7, (1u << 1) | (1u << 9) | (1u << 19) | (1u << 27) | (1u << 28),
                         (1u << 5) | (1u << 16) | (1u << 29) | (1u << 30) | (1u << 31), 1u << 10,
                         0xE7};
  const auto without = [&](uint32_t TX86Words::*word, uint32_t bits) {
    TX86Words w = all;
    w.*word &= ~bits;
    return w;
  };
  const auto saving = [&](uint64_t xcr0) {
    TX86Words w = all;
    w.XCR0 = xcr0;
    return w;
  };
  const auto upTo = [&](uint32_t leaf) {
    TX86Words w = all;
    w.MaxLeaf = leaf;
    return w;
  };
  using Names = std::vector<std::string>;
  const Names none = {"tables"}, pclmul = {"tables", "PCLMULQDQ"},
              ymm = {"tables", "PCLMULQDQ", "VPCLMUL-256"},
              zmm = {"tables", "PCLMULQDQ", "VPCLMUL-256", "VPCLMUL-512"};
  const Names portable = {"schedule", "ring"}, sha = {"schedule", "ring", "SHA-NI"};
  const struct {
    const char* Case;
    TX86Words Words;
    Names CRC, SHA;
  } cases[] = {
      {"everything", all, zmm, sha},
      {"no identification", upTo(0), none, portable},
      {"no leaf 7", upTo(6), pclmul, portable},
      {"no PCLMULQDQ", without(&TX86Words::Leaf1ECX, 1u << 1), none, sha},
      {"no SSSE3", without(&TX86Words::Leaf1ECX, 1u << 9), zmm, portable},
      {"no SSE4.1", without(&TX86Words::Leaf1ECX, 1u << 19), none, portable},
      {"no OSXSAVE", without(&TX86Words::Leaf1ECX, 1u << 27), pclmul, sha},
      {"no AVX", without(&TX86Words::Leaf1ECX, 1u << 28), pclmul, sha},
      {"no AVX2", without(&TX86Words::Leaf7EBX, 1u << 5), pclmul, sha},
      {"no AVX-512F", without(&TX86Words::Leaf7EBX, 1u << 16), ymm, sha},
      {"no SHA", without(&TX86Words::Leaf7EBX, 1u << 29), zmm, portable},
      {"no AVX-512BW or VL", without(&TX86Words::Leaf7EBX, 3u << 30), zmm, sha},
      {"no VPCLMULQDQ", without(&TX86Words::Leaf7ECX, 1u << 10), pclmul, sha},
      {"SSE state not saved", saving(0xE5), pclmul, sha},
      {"AVX state not saved", saving(0xE3), pclmul, sha},
      {"no AVX-512 state saved", saving(0x07), ymm, sha},
      {"mask registers not saved", saving(0xC7), ymm, sha},
      {"upper halves not saved", saving(0xA7), ymm, sha},
      {"upper 16 registers not saved", saving(0x67), ymm, sha},
  };
  const auto names = [](const auto& paths) {
    Names n;
    for (const auto& p : paths) n.push_back(p.Name);
    return n;
  };
  for (const auto& c : cases) {
    const TX86Features f = X86FeaturesOf(c.Words);
#if JV_X86
    EXPECT_EQ(names(CRC32ContinuePaths(f)), c.CRC) << c.Case;
    EXPECT_EQ(names(SHACompressPaths(f)), c.SHA) << c.Case;
#else
    EXPECT_EQ(names(CRC32ContinuePaths(f)), none) << c.Case;
#endif
  }
}
