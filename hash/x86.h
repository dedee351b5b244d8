#pragma once
// Processor extensions behind the hashers' fast paths. Code that uses them is compiled for them
// function by function (JV_TARGET), never file by file, so that nothing else in the program can
// pick up instructions an older processor lacks; it runs only after X86Features() said yes.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define JV_X86 1
#define JV_TARGET(Features) __attribute__((target(Features)))
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#define JV_X86 1
#define JV_TARGET(Features)
#else
#define JV_X86 0
#endif

#include <cstdint>

struct TX86Features {
  bool SHA = false;     // SHA-1 rounds and schedule, with SSSE3 and SSE4.1 beside them
  bool PCLMUL = false;  // carry-less multiplication, with SSE4.1
  // Carry-less multiplication of every 128-bit lane of a 256-bit register, with AVX2, and of a
  // 512-bit one, with AVX-512F; each only where the system also saves those registers.
  bool VPCLMUL256 = false;
  bool VPCLMUL512 = false;
};

// The processor identification words the features follow from: CPUID leaf 0 EAX (the highest
// leaf), leaf 1 ECX, leaf 7 (subleaf 0) EBX and ECX, and XCR0, the register state the system
// saves for each thread. Words of leaves beyond the highest, and XCR0 where leaf 1 does not say
// that the system enabled XGETBV, count as 0.
struct TX86Words {
  uint32_t MaxLeaf = 0;
  uint32_t Leaf1ECX = 0;
  uint32_t Leaf7EBX = 0, Leaf7ECX = 0;
  uint64_t XCR0 = 0;
};

// What the hashers' fast paths may use with these words: each extension the code needs, and
// for wide registers the system saving their state.
TX86Features X86FeaturesOf(const TX86Words& Words);

// This processor's, read once (all false on other processors).
const TX86Features& X86Features();
