#include "hash/registry.h"

#include "hash/checksums.h"
#include "hash/hashers.h"

namespace {

std::string HashNameKey(THasherClass Hasher) {
  return Hasher->HashName();
}
std::string CoderNameKey(TCoderClass Coder) {
  return Coder->CoderName();
}
std::string DisplayNameKey(TCoderClass Coder) {
  return Coder->DisplayName();
}

// Built on first use, so registration from any static constructor finds them ready.
TClassRegistry<THasherClass>& Hashers() {
  static TClassRegistry<THasherClass> registry(HashNameKey);
  return registry;
}
TClassRegistry<TCoderClass>& Coders() {
  static TClassRegistry<TCoderClass> registry(CoderNameKey);
  return registry;
}

}  // namespace

void RegisterHasher(THasherClass Hasher) {
  Hashers().Register(Hasher);
}
THasherClass FindHasher(std::string_view Name) {
  return Hashers().Find(Name);
}
int32_t FillHasherNames(std::vector<std::string>& Strings) {
  return Hashers().FillNames(Strings, HashNameKey);
}
THasherClass GetDefaultHasher() {
  return Hashers().GetDefault();
}
THasherClass SetDefaultHasher(std::string_view Name) {
  return Hashers().SetDefault(FindHasher(Name));
}

void RegisterCoder(TCoderClass Coder) {
  Coders().Register(Coder);
}
TCoderClass FindCoder(std::string_view Name) {
  return Coders().Find(Name);
}
TCoderClass FindCoderByDisplayName(std::string_view Name) {
  return Coders().Find(Name, DisplayNameKey);
}
int32_t FillCoderNames(std::vector<std::string>& Strings) {
  return Coders().FillNames(Strings, DisplayNameKey);
}
TCoderClass GetDefaultCoder() {
  return Coders().GetDefault();
}
TCoderClass SetDefaultCoder(std::string_view Name) {
  return Coders().SetDefault(FindCoderByDisplayName(Name));
}

void RegisterStandardClasses() {
  RegisterHasher(&TMD5Hasher::ClassInfo);
  RegisterHasher(&TCRC32CheckSum::ClassInfo);
  RegisterHasher(&TSHA1Hasher::ClassInfo);
  RegisterCoder(&TCoder_HEX::ClassInfo);
  RegisterCoder(&TCoder_MIME64::ClassInfo);
  RegisterCoder(&TCoder_UU::ClassInfo);
  RegisterCoder(&TCoder_XX::ClassInfo);
}
