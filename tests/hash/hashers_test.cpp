#include "hash/hashers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "hash/checksums.h"

namespace {

std::string Hex(const uint8_t* p, int32_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (int32_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

std::string Digest(THasherClass cls, const std::string& message) {
  auto h = cls->Create();
  h->Init();
  h->Update(message.data(), static_cast<int32_t>(message.size()));
  h->Done();
  return Hex(h->DigestKey(), h->DigestSize());
}

// A million "a", fed in uneven pieces.
std::string MillionA(THasherClass cls) {
  const std::string chunk(1000, 'a');
  auto h = cls->Create();
  h->Init();
  for (int i = 0; i < 1000; ++i) {
    h->Update(chunk.data(), 999);
    h->Update(chunk.data(), 1);
  }
  h->Done();
  return Hex(h->DigestKey(), h->DigestSize());
}

struct TVector {
  std::string Message, Digest;
};

void CheckVectors(THasherClass cls, const std::vector<TVector>& vectors) {
  for (const auto& v : vectors)
    EXPECT_EQ(Digest(cls, v.Message), v.Digest) << cls->HashName() << " of \"" << v.Message << '"';
}

const std::string kAlphabet = "abcdefghijklmnopqrstuvwxyz";
const std::string kAlnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string kDigits80 =
    "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
const std::string k448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

const THasherClass kAllHashers[] = {&TMD4Hasher::ClassInfo,       &TMD5Hasher::ClassInfo,
                                    &TRipeMD160Hasher::ClassInfo, &TSHAHasher::ClassInfo,
                                    &TSHA1Hasher::ClassInfo,      &TCRC32CheckSum::ClassInfo};

}  // namespace

TEST(Hashers, MD4KnownAnswers) {
  CheckVectors(&TMD4Hasher::ClassInfo, {{"", "31d6cfe0d16ae931b73c59d7e0c089c0"},
                                        {"a", "bde52cb31de33e46245e05fbdbd6fb24"},
                                        {"abc", "a448017aaf21d8525fc10ae87aa6729d"},
                                        {"message digest", "d9130a8164549fe818874806e1c7014b"},
                                        {kAlphabet, "d79e1c308aa5bbcdeea8ed63df412da9"},
                                        {kAlnum, "043f8582f241db351ce627e153e7f0e4"},
                                        {kDigits80, "e33b4ddc9c38f2199c3e7b164fcc0536"}});
}

TEST(Hashers, MD5KnownAnswers) {
  CheckVectors(&TMD5Hasher::ClassInfo, {{"", "d41d8cd98f00b204e9800998ecf8427e"},
                                        {"a", "0cc175b9c0f1b6a831c399e269772661"},
                                        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
                                        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
                                        {kAlphabet, "c3fcd3d76192e4007dfb496cca67e13b"},
                                        {kAlnum, "d174ab98d277d9f5a5611c2c9f419d9f"},
                                        {kDigits80, "57edf4a22be3c955ac49da2e2107b67a"}});
}

TEST(Hashers, RipeMD160KnownAnswers) {
  THasherClass cls = &TRipeMD160Hasher::ClassInfo;
  CheckVectors(cls, {{"", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
                     {"a", "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe"},
                     {"abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
                     {"message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
                     {kAlphabet, "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
                     {k448, "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
                     {kAlnum, "b0e20b6e3116640286ed3a87a5713079b21f5189"},
                     {kDigits80, "9b752e45573d4b39f4dbd3323cab82bf63326bfb"}});
  EXPECT_EQ(MillionA(cls), "52783243c1697bdbe16d37f97f68f08325dc1528");
}

TEST(Hashers, SHA0AndSHA1KnownAnswers) {
  CheckVectors(&TSHAHasher::ClassInfo, {{"", "f96cea198ad1dd5617ac084a3d92c6107708c0ef"},
                                        {"abc", "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880"},
                                        {k448, "d2516ee1acfa5baf33dfc1c471e438449ef134c8"}});
  EXPECT_EQ(MillionA(&TSHAHasher::ClassInfo), "3232affa48628a26653b5aaa44541fd90d690603");
  CheckVectors(&TSHA1Hasher::ClassInfo, {{"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
                                         {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
                                         {k448, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"}});
  EXPECT_EQ(MillionA(&TSHA1Hasher::ClassInfo), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// Lengths around the padding boundary: 55 bytes end in one final block, 56 to 63 in two.
TEST(Hashers, PaddingBoundaries) {
  struct TCase {
    size_t Length;
    const char *MD5, *SHA1, *RMD;
  };
  const TCase cases[] = {
      {55, "ef1772b6dff9a122358552954ad0df65", "c1c8bbdc22796e28c0e15163d20899b65621d65a",
       "0d8a8c9063a48576a7c97e9f95253a6e53ff6765"},
      {56, "3b0c8ac703f828b04c6c197006d17218", "c2db330f6083854c99d4b5bfb6e8f29f201be699",
       "e72334b46c83cc70bef979e15453706c95b888be"},
      {63, "b06521f39153d618550606be297466d5", "03f09f5b158a7a8cdad920bddc29b81c18a551f5",
       "e640041293fe663b9bf3f8c21ffecac03819e6b2"},
      {64, "014842d480b571495a4a0363793f7367", "0098ba824b5c16427bd7a1122a5a442a25ec644d",
       "9dfb7d374ad924f3f88de96291c33e9abed53e32"}};
  for (const auto& c : cases) {
    const std::string m(c.Length, 'a');
    EXPECT_EQ(Digest(&TMD5Hasher::ClassInfo, m), c.MD5) << c.Length;
    EXPECT_EQ(Digest(&TSHA1Hasher::ClassInfo, m), c.SHA1) << c.Length;
    EXPECT_EQ(Digest(&TRipeMD160Hasher::ClassInfo, m), c.RMD) << c.Length;
  }
}

TEST(Hashers, AnySplitGivesTheSameDigest) {
  std::mt19937 rng(20261206);
  std::vector<uint8_t> data(5000);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  const std::vector<std::vector<int32_t>> fixedSplits = {
      {63, 1}, {64}, {65}, {127, 1}, {1, 63, 64, 0, -5, 1}, {0, 55, 9}};

  for (THasherClass cls : kAllHashers) {
    SCOPED_TRACE(cls->HashName());
    for (size_t length : {size_t(0), size_t(1), size_t(64), size_t(200), data.size()}) {
      auto whole = cls->Create();
      whole->Init();
      whole->Update(data.data(), static_cast<int32_t>(length));
      whole->Done();
      const std::string expected = Hex(whole->DigestKey(), whole->DigestSize());

      std::vector<std::vector<int32_t>> splits = fixedSplits;
      splits.push_back(std::vector<int32_t>(length, 1));
      for (int r = 0; r < 20; ++r) {
        std::vector<int32_t> s;
        for (size_t sum = 0; sum < length;) {
          int32_t n = static_cast<int32_t>(rng() % 150) - 5;  // some empty and negative sizes
          s.push_back(n);
          if (n > 0) sum += n;
        }
        splits.push_back(s);
      }
      for (const auto& split : splits) {
        auto h = cls->Create();
        h->Init();
        size_t at = 0;
        for (int32_t n : split) {
          if (n > 0) n = static_cast<int32_t>(std::min<size_t>(n, length - at));
          h->Update(data.data() + at, n);
          if (n > 0) at += n;
        }
        h->Update(data.data() + at, static_cast<int32_t>(length - at));  // the rest, maybe none
        h->Done();
        EXPECT_EQ(Hex(h->DigestKey(), h->DigestSize()), expected);
      }
    }
  }
}

TEST(Hashers, InitStartsOverAfterDone) {
  for (THasherClass cls : kAllHashers) {
    auto h = cls->Create();
    h->Init();
    h->Update("junk", 4);
    h->Done();
    h->Init();
    h->Update("abc", 3);
    h->Done();
    EXPECT_EQ(Hex(h->DigestKey(), h->DigestSize()), Digest(cls, "abc")) << cls->HashName();
  }
}

TEST(Hashers, NamesSizesAndClassTree) {
  struct TCase {
    THasherClass Class;
    const char* Name;
    int32_t Size;
  };
  const TCase cases[] = {
      {&THasher::ClassInfo, "", 0},        {&TMD4Hasher::ClassInfo, "MD4", 16},
      {&TMD5Hasher::ClassInfo, "MD5", 16}, {&TRipeMD160Hasher::ClassInfo, "RipeMD160", 20},
      {&TSHAHasher::ClassInfo, "SHA", 20}, {&TSHA1Hasher::ClassInfo, "SHA1", 20}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.Class->HashName(), c.Name);
    EXPECT_EQ(c.Class->DigestSize(), c.Size);
    EXPECT_TRUE(c.Class->InheritsFrom(&THasher::ClassInfo));
    if (auto h = c.Class->Create()) {
      EXPECT_EQ(h->ClassType(), c.Class);
      EXPECT_EQ(h->HashName(), c.Name);
    }
  }
  EXPECT_EQ(THasher::ClassInfo.Create(), nullptr);  // abstract
  EXPECT_TRUE(TSHA1Hasher::ClassInfo.InheritsFrom(&TRipeMD160Hasher::ClassInfo));
  EXPECT_FALSE(TMD5Hasher::ClassInfo.InheritsFrom(&TRipeMD160Hasher::ClassInfo));
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
  const int32_t size = h->DigestSize();
  bool nonzero = false;
  for (int32_t i = 0; i < size; ++i) nonzero |= storage[offset + i] != 0;
  ASSERT_TRUE(nonzero);
  h->~T();
  for (int32_t i = 0; i < size; ++i) EXPECT_EQ(storage[offset + i], 0) << T::ClassInfo.ClassName;
}

TEST(Hashers, DestructionZeroesTheDigest) {
  ExpectDigestWiped<TMD4Hasher>();
  ExpectDigestWiped<TMD5Hasher>();
  ExpectDigestWiped<TRipeMD160Hasher>();
  ExpectDigestWiped<TSHAHasher>();
  ExpectDigestWiped<TSHA1Hasher>();
  ExpectDigestWiped<TXOR32CheckSum>();
  ExpectDigestWiped<TCRC32CheckSum>();
}

TEST(ByteOrderRoutines, BothVariantsAgreeOnRandomData) {
  std::mt19937 rng(42);
  for (int round = 0; round < 200; ++round) {
    const int32_t count = static_cast<int32_t>(rng() % 40) - 3;  // includes 0 and negatives
    std::vector<uint32_t> src(40), a(40, 7), b(40, 7);
    for (auto& w : src) w = rng();
    SwapIntegerBufferRotate(src.data(), a.data(), count);
    SwapIntegerBufferBswap(src.data(), b.data(), count);
    ASSERT_EQ(a, b);
    for (int32_t i = 0; i < count; ++i)
      ASSERT_EQ(a[i], (src[i] >> 24) | ((src[i] >> 8) & 0xFF00) | ((src[i] & 0xFF00) << 8) |
                          (src[i] << 24));
    for (int32_t i = std::max(count, 0); i < 40; ++i) ASSERT_EQ(a[i], 7u);  // nothing beyond

    std::vector<uint32_t> inPlace = src;  // source and destination may be the same array
    SwapIntegerBufferRotate(inPlace.data(), inPlace.data(), count);
    for (int32_t i = 0; i < count; ++i) ASSERT_EQ(inPlace[i], a[i]);

    uint8_t block[64];
    for (auto& x : block) x = static_cast<uint8_t>(rng());
    for (bool rotate : {false, true}) {
      uint32_t w1[80], w2[80];
      ExpandSHABlockRotate(w1, block, rotate);
      ExpandSHABlockBswap(w2, block, rotate);
      ASSERT_EQ(0, std::memcmp(w1, w2, sizeof w1));
      ASSERT_EQ(w1[0], (uint32_t(block[0]) << 24) | (block[1] << 16) | (block[2] << 8) | block[3]);
    }
  }
}

TEST(ByteOrderRoutines, StartUpSelectionAndFamilyThreePath) {
  const int32_t family = GetCPUFamily();
#if defined(__x86_64__) || defined(_M_X64)
  EXPECT_GT(family, 3);  // every 64-bit x86 has the byte-swap instruction
  EXPECT_EQ(SwapIntegerBuffer, &SwapIntegerBufferBswap);
  EXPECT_EQ(ExpandSHABlock, &ExpandSHABlockBswap);
#endif
  SelectByteOrderRoutines(3);
  EXPECT_EQ(SwapIntegerBuffer, &SwapIntegerBufferRotate);
  EXPECT_EQ(ExpandSHABlock, &ExpandSHABlockRotate);
  const std::string sha0 = Digest(&TSHAHasher::ClassInfo, k448);
  const std::string sha1 = Digest(&TSHA1Hasher::ClassInfo, k448);
  HasherUnitInit();
  EXPECT_EQ(sha0, "d2516ee1acfa5baf33dfc1c471e438449ef134c8");
  EXPECT_EQ(sha1, "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Digest(&TSHA1Hasher::ClassInfo, k448), sha1);
}
