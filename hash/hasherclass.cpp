#include "hash/hasher.h"

const THasherClassInfo THasher::ClassInfo = {"THasher", nullptr, 0, nullptr};

std::string THasherClassInfo::HashName() const {
  std::string name = ClassName ? ClassName : "";
  if (name.empty()) return name;
  if (name[0] == 'T') name.erase(0, 1);
  if (auto p = name.find("Hasher"); p != std::string::npos) name.erase(p, 6);
  if (auto p = name.find("CheckSum"); p != std::string::npos) name.erase(p, 8);
  return name;
}

std::unique_ptr<THasher> THasherClassInfo::Create() const {
  return Factory ? Factory() : nullptr;
}

bool THasherClassInfo::InheritsFrom(const THasherClassInfo* Other) const {
  for (auto c = this; c; c = c->Parent)
    if (c == Other) return true;
  return false;
}

void THasher::WipeBytes(void* Data, size_t Size) {
  volatile uint8_t* p = static_cast<volatile uint8_t*>(Data);
  while (Size--) *p++ = 0;
}
