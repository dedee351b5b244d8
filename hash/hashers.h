#pragma once
// The MD family of block hashers: MD4, MD5, RIPEMD-160, SHA-0 and SHA-1 on one 64-byte block
// engine. Only MD5 and SHA1 are offered to the user; the others are complete but unregistered.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hash/hasher.h"
#include "hash/x86.h"

// Block engine: buffering, message completion and the bit count; compresses with MD4.
class TMD4Hasher : public THasher {
 public:
  ~TMD4Hasher() override;
  void Init() override;
  void Update(const void* Data, int32_t Size) override;
  void Done() override;
  const uint8_t* DigestKey() const override { return reinterpret_cast<const uint8_t*>(State); }
  THasherClass ClassType() const override { return &ClassInfo; }

  static const THasherClassInfo ClassInfo;

 protected:
  // Compresses one 64-byte block into State.
  virtual void Transform(const uint8_t* Block);
  // Compresses Count consecutive blocks; one call per run lets a fast path keep its state in
  // registers from block to block.
  virtual void TransformBlocks(const uint8_t* Data, size_t Count);
  // Pads the last block, appends the bit count (big-endian for SHA) and compresses.
  void Finish(bool BigEndianCount);

  int64_t Count = 0;  // bytes passed to Update since Init
  uint8_t Buffer[64] = {};
  uint32_t State[10] = {};
};

class TMD5Hasher : public TMD4Hasher {
 public:
  THasherClass ClassType() const override { return &ClassInfo; }
  static const THasherClassInfo ClassInfo;

 protected:
  void Transform(const uint8_t* Block) override;
};

class TRipeMD160Hasher : public TMD4Hasher {
 public:
  THasherClass ClassType() const override { return &ClassInfo; }
  static const THasherClassInfo ClassInfo;

 protected:
  void Transform(const uint8_t* Block) override;
};

// SHA-0 unless Rotate is set (TSHA1Hasher sets it).
class TSHAHasher : public TRipeMD160Hasher {
 public:
  void Done() override;
  THasherClass ClassType() const override { return &ClassInfo; }
  static const THasherClassInfo ClassInfo;

 protected:
  void Transform(const uint8_t* Block) override;
  void TransformBlocks(const uint8_t* Data, size_t Count) override;

  bool Rotate = false;  // rotate the expanded schedule words: SHA-1
};

class TSHA1Hasher : public TSHAHasher {
 public:
  void Init() override;
  THasherClass ClassType() const override { return &ClassInfo; }
  static const THasherClassInfo ClassInfo;
};

// Byte-order routines of the SHA hashers, chosen at start-up by processor family. Both variants
// of each give identical results.
using TSwapIntegerBufferProc = void (*)(const uint32_t* Source, uint32_t* Dest, int32_t Count);
using TExpandSHABlockProc = void (*)(uint32_t* W, const uint8_t* Block, bool Rotate);

extern TSwapIntegerBufferProc SwapIntegerBuffer;
extern TExpandSHABlockProc ExpandSHABlock;

// Dest[i] := Source[i] byte-reversed, last word first; Source may equal Dest.
void SwapIntegerBufferRotate(const uint32_t* Source, uint32_t* Dest, int32_t Count);
void SwapIntegerBufferBswap(const uint32_t* Source, uint32_t* Dest, int32_t Count);
// Builds the 80-word SHA schedule W from a 64-byte block.
void ExpandSHABlockRotate(uint32_t* W, const uint8_t* Block, bool Rotate);
void ExpandSHABlockBswap(uint32_t* W, const uint8_t* Block, bool Rotate);

// Compresses Blocks consecutive 64-byte blocks into the five SHA state words: SHA-1 when Rotate
// is set, else SHA-0. Chosen at start-up: the processor's SHA instructions where it has them
// (SHA-1 only; SHA-0 goes the portable way), else the schedule kept in a 16-word ring within the
// rounds, and on family 3 the 80-word schedule of ExpandSHABlock. All give identical results.
using TSHACompressProc = void (*)(uint32_t* State, const uint8_t* Data, size_t Blocks, bool Rotate);
extern TSHACompressProc SHACompress;
// Every variant a processor with these features runs, portable ones first; the start-up choice
// is the last for this processor's.
std::vector<TCodePath<TSHACompressProc>> SHACompressPaths(
    const TX86Features& Features = X86Features());

// x86 processor family from CPUID (3 = 80386); 0 on other processors.
int32_t GetCPUFamily();
// Points the routine slots at the variants for CPUFamily (byte exchanges up to the 80386), and
// SHACompress at the fastest this processor runs.
void SelectByteOrderRoutines(int32_t CPUFamily);
// Start-up selection; runs once before main, safe to call again.
void HasherUnitInit();
