#include "hash/registry.h"

#include "hash/checksums.h"
#include "hash/hashers.h"

#include <gtest/gtest.h>

namespace {

const THasherClassInfo Alpha{"TAlphaHasher", &THasher::ClassInfo, 4, nullptr};
const THasherClassInfo Beta{"TBetaHasher", &THasher::ClassInfo, 8, nullptr};
const THasherClassInfo Gamma{"TGammaCheckSum", &THasher::ClassInfo, 2, nullptr};
const THasherClassInfo AlphaAgain{"TAlphaHasher", &THasher::ClassInfo, 16, nullptr};

std::string NameKey(THasherClass H) {
  return H->HashName();
}

using Strings = std::vector<std::string>;

}  // namespace

// Filling the name lists and setting and clearing the default are checked through the program's
// own registries below.
TEST(ClassRegistry, EmptyThenInOrderWithoutDuplicates) {
  TClassRegistry<THasherClass> r(NameKey);
  Strings s{"kept"};
  EXPECT_EQ(r.FillNames(s, NameKey), -1);  // empty
  EXPECT_EQ(s, Strings{"kept"});
  EXPECT_EQ(r.GetDefault(), nullptr);
  EXPECT_EQ(r.Find("Alpha"), nullptr);

  for (THasherClass c : {&Alpha, &Beta, static_cast<THasherClass>(nullptr), &AlphaAgain, &Gamma,
                         &Beta})  // the same name again is ignored, even for another class
    r.Register(c);
  EXPECT_EQ(r.Classes(), (std::vector<THasherClass>{&Alpha, &Beta, &Gamma}));
  EXPECT_EQ(r.GetDefault(), &Alpha);
  EXPECT_EQ(r.Find("Gamma"), &Gamma);
  for (const char* miss :
       {"alpha", "ALPHA", " Alpha", "Alpha ", "Alph", "AlphaHasher", "TAlphaHasher", ""})
    EXPECT_EQ(r.Find(miss), nullptr) << miss;
}

TEST(Registries, StandardClasses) {
  RegisterStandardClasses();
  RegisterStandardClasses();  // a second start-up changes nothing
  RegisterHasher(&TMD5Hasher::ClassInfo);

  EXPECT_EQ(FindHasher("CRC32"), &TCRC32CheckSum::ClassInfo);
  for (const char* miss : {"SHA", "MD4", "XOR32", "Checksum", "RipeMD160", "md5", "MD5 ", ""})
    EXPECT_EQ(FindHasher(miss), nullptr) << miss;
  EXPECT_EQ(FindCoder("XX"), &TCoder_XX::ClassInfo);
  for (const char* miss : {"HEXi", "hex", "TCoder", "Hexadecimal"})
    EXPECT_EQ(FindCoder(miss), nullptr) << miss;
  EXPECT_EQ(FindCoderByDisplayName("UU Coding"), &TCoder_UU::ClassInfo);
  EXPECT_EQ(FindCoderByDisplayName("UU"), nullptr);

  Strings hashers{"first"}, coders;
  EXPECT_EQ(FillHasherNames(hashers), 0);
  EXPECT_EQ(hashers, (Strings{"first", "MD5", "CRC32", "SHA1"}));
  EXPECT_EQ(FillCoderNames(coders), 0);
  EXPECT_EQ(coders, (Strings{"Hexadecimal", "MIME Base 64", "UU Coding", "XX Coding"}));
  EXPECT_EQ(GetDefaultHasher(), &TMD5Hasher::ClassInfo);
  EXPECT_EQ(GetDefaultCoder(), &TCoder_HEX::ClassInfo);

  EXPECT_EQ(SetDefaultHasher("SHA1"), &TSHA1Hasher::ClassInfo);
  EXPECT_EQ(FillHasherNames(hashers), 2);
  EXPECT_EQ(SetDefaultCoder("MIME Base 64"), &TCoder_MIME64::ClassInfo);
  EXPECT_EQ(FillCoderNames(coders), 1);
  // The coder default is set by display name: a registry name clears it.
  EXPECT_EQ(SetDefaultCoder("MIME64"), nullptr);
  EXPECT_EQ(GetDefaultCoder(), &TCoder_HEX::ClassInfo);
  EXPECT_EQ(FillCoderNames(coders), -1);
  EXPECT_EQ(SetDefaultHasher("sha1"), nullptr);
  EXPECT_EQ(GetDefaultHasher(), &TMD5Hasher::ClassInfo);

  SetDefaultHasher("MD5");
  SetDefaultCoder("Hexadecimal");
}
