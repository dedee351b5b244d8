#include "hash/checksums.h"

#include <bit>
#include <cstring>

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

uint32_t UpdateCRC32(uint32_t CRC, const void* Data, int32_t Size) {
  if (!Data || Size <= 0) return CRC;
  auto p = static_cast<const uint8_t*>(Data);
  size_t n = static_cast<size_t>(Size);
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

void TCRC32CheckSum::Init() {
  Value = 0xFFFFFFFFu;
}

void TCRC32CheckSum::Update(const void* Data, int32_t Size) {
  Value = UpdateCRC32(Value, Data, Size);
}

void TCRC32CheckSum::Done() {
  Value = ~Value;
}
