#pragma once
// 32-bit checksums behind the hasher interface. Only CRC32 is offered to the user.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hash/hasher.h"
#include "hash/x86.h"

// Root of the checksum branch; implements nothing.
class TChecksum : public THasher {
 public:
  THasherClass ClassType() const override { return &ClassInfo; }
  static const THasherClassInfo ClassInfo;
};

// Rotate-xor sum over 16-bit words. Every Update starts its own pairing, so the sum depends on
// how the data is split into calls.
class TXOR32CheckSum : public TChecksum {
 public:
  ~TXOR32CheckSum() override;
  void Init() override;
  void Update(const void* Data, int32_t Size) override;
  void Done() override;
  const uint8_t* DigestKey() const override { return reinterpret_cast<const uint8_t*>(&Value); }
  THasherClass ClassType() const override { return &ClassInfo; }
  static const THasherClassInfo ClassInfo;

 protected:
  uint32_t Value = 0;  // the digest, least significant byte first
};

// CRC-32 of ISO 3309 / ITU-T V.42, the checksum of SFV lists.
class TCRC32CheckSum : public TXOR32CheckSum {
 public:
  void Init() override;
  void Update(const void* Data, int32_t Size) override;
  void Done() override;
  THasherClass ClassType() const override { return &ClassInfo; }
  static const THasherClassInfo ClassInfo;
};

// The reflected CRC-32 table of polynomial EDB88320.
extern const std::array<uint32_t, 256> CRC32Table;

// Continues a CRC-32 register over Size bytes, without pre- or post-inversion. Null Data or
// Size <= 0 returns CRC unchanged.
uint32_t UpdateCRC32(uint32_t CRC, const void* Data, int32_t Size);

// What UpdateCRC32 runs, chosen at start-up: eight table look-ups per 8 bytes, or on processors
// with carry-less multiplication 64-byte runs folded by it, and where it works on 256- or 512-bit
// registers 256-byte runs. All give identical results.
using TCRC32ContinueProc = uint32_t (*)(uint32_t CRC, const uint8_t* Data, size_t Size);
extern TCRC32ContinueProc CRC32Continue;
// Every variant a processor with these features runs, the portable one first; the start-up
// choice is the last for this processor's.
std::vector<TCodePath<TCRC32ContinueProc>> CRC32ContinuePaths(
    const TX86Features& Features = X86Features());
