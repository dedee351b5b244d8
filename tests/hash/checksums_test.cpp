#include "hash/checksums.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

uint32_t Sum(THasherClass cls, const std::vector<uint8_t>& bytes) {
  auto h = cls->Create();
  h->Init();
  h->Update(bytes.data(), static_cast<int32_t>(bytes.size()));
  h->Done();
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | h->DigestKey()[i];  // least significant first
  return v;
}

// Bit by bit, straight from the polynomial.
uint32_t ReferenceCRC(uint32_t c, const uint8_t* p, size_t n) {
  while (n--) {
    c ^= *p++;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return c;
}

}  // namespace

TEST(CRC32, CheckValueAndDigestByteOrder) {
  auto h = TCRC32CheckSum::ClassInfo.Create();
  h->Init();
  h->Update("123456789", 9);
  h->Done();
  const uint8_t* d = h->DigestKey();
  EXPECT_EQ(d[0], 0x26);
  EXPECT_EQ(d[1], 0x39);
  EXPECT_EQ(d[2], 0xF4);
  EXPECT_EQ(d[3], 0xCB);
  EXPECT_EQ(Sum(&TCRC32CheckSum::ClassInfo, {}), 0u);  // empty message
}

TEST(CRC32, Table) {
  EXPECT_EQ(CRC32Table[0], 0u);
  EXPECT_EQ(CRC32Table[1], 0x77073096u);
  EXPECT_EQ(CRC32Table[128], 0xEDB88320u);
  EXPECT_EQ(CRC32Table[255], 0x2D02EF8Du);
  for (uint32_t i = 0; i < 256; ++i) {
    // One zero byte through a register holding i: exactly the table entry.
    const uint8_t zero = 0;
    ASSERT_EQ(CRC32Table[i], ReferenceCRC(i, &zero, 1)) << i;
  }
}

TEST(CRC32, UpdateMatchesTheBitwiseDefinitionAtEveryLengthAndAlignment) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data(300);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (size_t offset = 0; offset < 8; ++offset)
    for (size_t n = 0; n + offset <= data.size(); n += 1 + n / 16) {
      const uint32_t start = rng();
      ASSERT_EQ(UpdateCRC32(start, data.data() + offset, static_cast<int32_t>(n)),
                ReferenceCRC(start, data.data() + offset, n))
          << offset << ' ' << n;
    }
}

TEST(CRC32, EmptyNullAndNegativeUpdatesChangeNothing) {
  const uint8_t b = 1;
  EXPECT_EQ(UpdateCRC32(0x12345678u, nullptr, 10), 0x12345678u);
  EXPECT_EQ(UpdateCRC32(0x12345678u, &b, 0), 0x12345678u);
  EXPECT_EQ(UpdateCRC32(0x12345678u, &b, -1), 0x12345678u);

  auto h = TCRC32CheckSum::ClassInfo.Create();
  h->Init();
  h->Update("1234", 4);
  h->Update(nullptr, 0);  // the last, empty read of a file
  h->Update("56789", 5);
  h->Update("x", -3);
  h->Done();
  EXPECT_EQ(h->DigestKey()[3], 0xCB);
  EXPECT_EQ(h->DigestKey()[0], 0x26);
}

TEST(XOR32, RotateXorExamples) {
  THasherClass cls = &TXOR32CheckSum::ClassInfo;
  EXPECT_EQ(Sum(cls, {}), 0u);
  EXPECT_EQ(Sum(cls, {0xAB}), 0xABu);
  EXPECT_EQ(Sum(cls, {0x01, 0x02}), 0x0201u);
  EXPECT_EQ(Sum(cls, {0x01, 0x02, 0x03}), 0x0322u);
  // The rotation carries bits into the high half and round to the bottom again.
  EXPECT_EQ(Sum(cls, {0xFF, 0xFF, 0x00, 0x00}), 0x001FFFE0u);
  EXPECT_EQ(Sum(cls, {0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34,
                      0x12, 0x34, 0x12}),
            0x421011BCu);
}

TEST(XOR32, EachUpdateStartsItsOwnPairing) {
  auto h = TXOR32CheckSum::ClassInfo.Create();
  h->Init();
  const uint8_t bytes[] = {0x01, 0x02, 0x03};
  h->Update(bytes, 2);
  h->Update(bytes + 2, 1);
  h->Update(bytes, 0);
  h->Done();
  const uint8_t* d = h->DigestKey();
  EXPECT_EQ(d[0], 0x02);  // 0201 xor 03: the odd byte of the second call is not paired
  EXPECT_EQ(d[1], 0x02);
  EXPECT_EQ(d[2] | d[3], 0);
}

TEST(Checksums, NamesAndSizes) {
  EXPECT_EQ(TChecksum::ClassInfo.HashName(), "Checksum");
  EXPECT_EQ(TChecksum::ClassInfo.Create(), nullptr);  // abstract
  EXPECT_EQ(TXOR32CheckSum::ClassInfo.HashName(), "XOR32");
  EXPECT_EQ(TCRC32CheckSum::ClassInfo.HashName(), "CRC32");
  EXPECT_EQ(TXOR32CheckSum::ClassInfo.DigestSize(), 4);
  EXPECT_EQ(TCRC32CheckSum::ClassInfo.DigestSize(), 4);
  EXPECT_TRUE(TCRC32CheckSum::ClassInfo.InheritsFrom(&TChecksum::ClassInfo));
  EXPECT_EQ(TCRC32CheckSum::ClassInfo.Create()->ClassType(), &TCRC32CheckSum::ClassInfo);
}
