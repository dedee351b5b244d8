#pragma once
// The hasher family: incremental digests created from class references.
//
//   THasherClass cls = ...;              // from the registry or a fixed class
//   std::unique_ptr<THasher> h = cls->Create();
//   h->Init(); h->Update(p, n); ... h->Done();
//   read cls->DigestSize() bytes at h->DigestKey()
//
// Destroying a hasher zeroes its digest bytes. Each class that owns state does that in its own
// destructor (a base destructor can no longer reach the derived digest).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class THasher;

// One constant descriptor per hasher class; a class reference is a pointer to it and two
// references are equal when the pointers are.
struct THasherClassInfo {
  const char* ClassName;                  // e.g. "TMD5Hasher"; the registry name is derived from it
  const THasherClassInfo* Parent;         // the parent class, nullptr for THasher
  int32_t DigestBytes;                    // digest length in bytes (0 for the abstract roots)
  std::unique_ptr<THasher> (*Factory)();  // nullptr for abstract classes

  // Registry name derived from ClassName at run time ("TMD5Hasher" -> "MD5").
  std::string HashName() const;
  int32_t DigestSize() const { return DigestBytes; }
  // A new zero-initialised instance.
  std::unique_ptr<THasher> Create() const;
  // True when this class is Other or descends from it.
  bool InheritsFrom(const THasherClassInfo* Other) const;
};
using THasherClass = const THasherClassInfo*;

// One of several equivalent implementations of a routine (portable, or for a processor
// extension): the name that tests and benchmarks show, and the code.
template <class Proc>
struct TCodePath {
  const char* Name;
  Proc Code;
};

// Factory for a descriptor: a new zero-initialised instance of T.
template <class T>
std::unique_ptr<THasher> MakeHasher() {
  return std::make_unique<T>();
}

class THasher {
 public:
  virtual ~THasher() = default;
  virtual void Init() = 0;
  virtual void Update(const void* Data, int32_t Size) = 0;
  virtual void Done() = 0;
  virtual const uint8_t* DigestKey() const = 0;
  virtual THasherClass ClassType() const = 0;

  std::string HashName() const { return ClassType()->HashName(); }
  int32_t DigestSize() const { return ClassType()->DigestSize(); }

  static const THasherClassInfo ClassInfo;  // "THasher"

 protected:
  // Zeroes Size bytes in a way the optimiser cannot drop, even in a destructor.
  static void WipeBytes(void* Data, size_t Size);
};
