#pragma once
// The process-wide registries of hasher and encoder classes. Documents, dialogs and menus name
// hash types and encodings by text; these turn the text into a class. Names compare exactly,
// letter case included. Registration happens once at start-up; afterwards only the defaults
// change.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hash/coders.h"
#include "hash/hasher.h"

// An ordered list of class references, keyed by a name each class computes, with a default.
// Nothing is ever removed.
template <class TClass>
class TClassRegistry {
 public:
  using TKey = std::string (*)(TClass);
  explicit TClassRegistry(TKey Key) : Key(Key) {}

  // Adds the class unless a class of the same name is registered; the first becomes default.
  void Register(TClass Class) {
    if (!Class || Find(Key(Class))) return;
    if (!Default) Default = Class;
    List.push_back(Class);
  }
  TClass Find(std::string_view Name) const { return Find(Name, Key); }
  TClass Find(std::string_view Name, TKey By) const {
    for (TClass c : List)
      if (By(c) == Name) return c;
    return nullptr;
  }
  // Appends each class's name in registration order; returns the default's position or -1.
  int32_t FillNames(std::vector<std::string>& Strings, TKey By) const {
    int32_t result = -1;
    for (size_t i = 0; i < List.size(); ++i) {
      if (List[i] == Default) result = static_cast<int32_t>(i);
      Strings.push_back(By(List[i]));
    }
    return result;
  }
  // The default, else the first registered class, else nil.
  TClass GetDefault() const { return Default ? Default : List.empty() ? nullptr : List.front(); }
  // Stores even nil: a name no class has clears the default.
  TClass SetDefault(TClass Class) { return Default = Class; }
  const std::vector<TClass>& Classes() const { return List; }

 private:
  TKey Key;
  std::vector<TClass> List;
  TClass Default = nullptr;
};

// Hasher registry, keyed by HashName.
void RegisterHasher(THasherClass Hasher);
THasherClass FindHasher(std::string_view Name);
int32_t FillHasherNames(std::vector<std::string>& Strings);
THasherClass GetDefaultHasher();
THasherClass SetDefaultHasher(std::string_view Name);

// Encoder registry, keyed by CoderName; the user sees and picks DisplayName.
void RegisterCoder(TCoderClass Coder);
TCoderClass FindCoder(std::string_view Name);
TCoderClass FindCoderByDisplayName(std::string_view Name);
// Appends display names, not registry names.
int32_t FillCoderNames(std::vector<std::string>& Strings);
TCoderClass GetDefaultCoder();
// Looks the name up by display name (SetDefaultHasher uses the registry name).
TCoderClass SetDefaultCoder(std::string_view Name);

// The program's classes, in the order its lists show them: hashers "MD5", "CRC32", "SHA1" and
// encoders "HEX", "MIME64", "UU", "XX"; the first of each becomes the default. Calling it again
// changes nothing.
void RegisterStandardClasses();
