#include "hash/coders.h"

#include <windows.h>
#undef GetMessage  // the exception's accessor, not the Win32 call

#include <cstdlib>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

namespace {

const TCoderClass AllCoders[] = {&TCoder::ClassInfo,      &TCoder_HEX::ClassInfo,
                                 &TCoder_HEXi::ClassInfo, &TCoder_MIME64::ClassInfo,
                                 &TCoder_UU::ClassInfo,   &TCoder_XX::ClassInfo};

std::string Enc(TCoderClass C, const std::string& Data) {
  std::string t;
  C->Encode(Data.data(), static_cast<int32_t>(Data.size()), t);
  return t;
}
std::string Dec(TCoderClass C, const std::string& Text) {
  std::string b;
  C->Decode(Text.data(), static_cast<int32_t>(Text.size()), b);
  return b;
}
bool Strict(TCoderClass C, const std::string& Text) {
  return C->IsValid(Text.data(), static_cast<int32_t>(Text.size()), true);
}

// Text placed so that its last byte is the last readable byte before a no-access page: a read
// past the end faults instead of passing unnoticed.
class GuardedText {
 public:
  GuardedText() {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    Page = si.dwPageSize;
    Base = static_cast<char*>(VirtualAlloc(nullptr, 2 * Page, MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    if (!Base || !VirtualProtect(Base + Page, Page, PAGE_NOACCESS, &old)) std::abort();
  }
  ~GuardedText() { VirtualFree(Base, 0, MEM_RELEASE); }
  const char* Place(const std::string& S) {
    char* p = Base + Page - S.size();
    std::memcpy(p, S.data(), S.size());
    return p;
  }

 private:
  size_t Page;
  char* Base;
};

}  // namespace

TEST(Coders, NamesAndCase) {
  const char* names[] = {"TCoder", "HEX", "HEXi", "MIME64", "UU", "XX"};
  const char* shown[] = {"Binary",       "Hexadecimal", "Hexadecimal inversed",
                         "MIME Base 64", "UU Coding",   "XX Coding"};
  const bool cased[] = {true, false, false, true, true, true};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(AllCoders[i]->CoderName(), names[i]);
    EXPECT_EQ(AllCoders[i]->DisplayName(), shown[i]);
    EXPECT_EQ(AllCoders[i]->CaseSensitive(), cased[i]) << names[i];
  }
  EXPECT_EQ(CoderNameOf("TCoder_A_B"), "A_B");
  EXPECT_EQ(std::strlen(TCoder_HEXi::ClassInfo.CharTable()), 48u);
  EXPECT_EQ(std::strlen(TCoder_MIME64::ClassInfo.CharTable()), 85u);
  EXPECT_EQ(std::strlen(TCoder_XX::ClassInfo.CharTable()), 74u);
}

TEST(Coders, Hexadecimal) {
  TCoderClass hex = &TCoder_HEX::ClassInfo, hexi = &TCoder_HEXi::ClassInfo;
  EXPECT_EQ(Enc(hex, "\x0a\xbc"), "0ABC");
  for (const char* t : {"0xAB", "$AB", "A-B", "a b", "ab", "ABC", "0XaB"})
    EXPECT_EQ(Dec(hex, t), "\xab") << t;
  EXPECT_EQ(Dec(hex, "12$34"), "\x34");
  EXPECT_EQ(Dec(hex, "$12$34"), "\x12\x34");
  EXPECT_EQ(Dec(hex, ""), "");
  std::string out = "junk";
  hex->Decode(nullptr, 5, out);
  EXPECT_EQ(out, "");

  EXPECT_EQ(Enc(hexi, "\x0c\x0b\x0a"), "0A0B0C");
  EXPECT_EQ(Dec(hexi, "0A0B0C"), "\x0c\x0b\x0a");
  EXPECT_EQ(Dec(hexi, "0x0a0b0c"), "\x0c\x0b\x0a");
  EXPECT_EQ(Dec(hexi, "CBF43926"), "\x26\x39\xf4\xcb");
}

TEST(Coders, Base64) {
  TCoderClass m = &TCoder_MIME64::ClassInfo;
  const char* plain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
  const char* coded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(Enc(m, plain[i]), coded[i]);
    EXPECT_EQ(Dec(m, coded[i]), plain[i]);
  }
  EXPECT_EQ(Dec(m, "Zm8"), "fo");  // missing "=" supplied
  // Blanks and line ends are skipped and add no bytes.
  EXPECT_EQ(Dec(m, "Zm9v\r\n"), "foo");
  EXPECT_EQ(Dec(m, " Zm 9v Y g"), "foob");
  EXPECT_EQ(Dec(m, "===="), "");
}

TEST(Coders, UuAndXx) {
  TCoderClass uu = &TCoder_UU::ClassInfo, xx = &TCoder_XX::ClassInfo;
  EXPECT_EQ(Enc(uu, "Cat"), "#0V%T");
  EXPECT_EQ(Enc(xx, "Cat"), "1Eq3o");
  std::string digest(16, '\x5a');
  std::string u = Enc(uu, digest), x = Enc(xx, digest);
  EXPECT_EQ(u.size(), 25u);
  EXPECT_EQ(u[0], '0');
  EXPECT_EQ(x.size(), 25u);
  EXPECT_EQ(x[0], 'E');
  EXPECT_TRUE(Strict(uu, u));
  EXPECT_TRUE(Strict(xx, x));
  EXPECT_EQ(Enc(uu, std::string(4, '\1')).size(), 9u);
  EXPECT_EQ(Enc(uu, std::string(20, '\1')).size(), 29u);
  std::string big(100, '\x7f');
  EXPECT_EQ(Enc(uu, big)[0], 'M');  // lines of 45, 45 and 10 bytes
  EXPECT_EQ(Dec(uu, Enc(uu, big)), big);

  // A line end where a line-length character belongs.
  for (TCoderClass c : {uu, xx}) {
    std::string bad = Enc(c, digest) + "\r\n";
    EXPECT_FALSE(Strict(c, bad));
    try {
      Dec(c, bad);
      ADD_FAILURE() << "no exception";
    } catch (const EStringFormat& e) {
      EXPECT_EQ(e.GetMessage(), L"Input is not an valid " + std::wstring(c == uu ? L"UU" : L"XX") +
                                    L" Coding Format.");
    }
  }
  EXPECT_THROW(Dec(uu, "N"), EStringFormat);  // 46 bytes: more than a line holds
  EXPECT_THROW(Dec(uu, " !00"), EStringFormat);

  // Blanks inside a line's groups are skipped; a line cut short gives only what it carries.
  EXPECT_EQ(Dec(uu, "#0V %T"), "Cat");
  EXPECT_TRUE(Strict(uu, "!0@"));
  EXPECT_EQ(Dec(uu, "!0@"), "\x42");
  EXPECT_EQ(Dec(uu, "M"), "");
  EXPECT_FALSE(Strict(uu, "M"));
}

TEST(Coders, StrictValidity) {
  TCoderClass hex = &TCoder_HEX::ClassInfo;
  EXPECT_TRUE(Strict(hex, "0x1a2b"));
  EXPECT_TRUE(Strict(hex, "12:34"));
  EXPECT_FALSE(Strict(hex, "12.34"));
  EXPECT_FALSE(Strict(hex, "G1"));
  EXPECT_FALSE(Strict(hex, std::string("12\0"
                                       "34",
                                       5)));  // a zero byte is no table character
  EXPECT_TRUE(hex->IsValid("anything.at all", -1, false));
  EXPECT_FALSE(hex->IsValid("12.34", -1, true));  // measured, not waved through
  EXPECT_FALSE(Strict(&TCoder_MIME64::ClassInfo, "Zm9v!"));
  EXPECT_TRUE(Strict(&TCoder_MIME64::ClassInfo, "Zm9v\r\n"));
  for (TCoderClass c : AllCoders) {
    EXPECT_TRUE(Strict(c, "")) << c->CoderName();
    EXPECT_TRUE(c->IsValid(nullptr, 4, true));
  }
}

TEST(Coders, RoundTripsOfRandomBytes) {
  std::mt19937 rng(20261206);
  for (int round = 0; round < 50; ++round)
    for (size_t len = 0; len <= 64; ++len) {
      std::string data(len, '\0');
      for (char& ch : data) ch = static_cast<char>(rng());
      for (TCoderClass c : AllCoders) {
        std::string text = Enc(c, data);
        ASSERT_EQ(Dec(c, text), data) << c->CoderName() << " " << len;
        if (c == &TCoder::ClassInfo) continue;
        ASSERT_TRUE(Strict(c, text)) << c->CoderName() << " " << text;
        std::string measured;
        c->Decode(text.c_str(), -1, measured);  // encoded texts hold no zero byte
        ASSERT_EQ(measured, data);
      }
    }
}

// Arbitrary text, read from the very end of readable memory; the decoded value never outgrows
// the text.
TEST(Coders, DecodersStayInsideArbitraryText) {
  GuardedText guard;
  std::mt19937 rng(4242);
  const std::string nasty[] = {
      "M", "====",     "QQ==QQ==", "$$$$",     "x",        "0x",   "`",
      "+", "\xff\xfe", "=A",       "Z=m=9=v=", "MMMMMMMM", "$0x$", std::string(300, 'M')};
  auto check = [&](TCoderClass c, const std::string& s) {
    const char* p = guard.Place(s);
    std::string out;
    try {
      c->Decode(p, static_cast<int32_t>(s.size()), out);
    } catch (const EStringFormat&) {
      return;
    }
    EXPECT_LE(out.size(), s.size()) << c->CoderName();
    c->IsValid(p, static_cast<int32_t>(s.size()), true);
  };
  for (TCoderClass c : AllCoders) {
    for (const std::string& s : nasty) check(c, s);
    const char* table = c == &TCoder::ClassInfo ? "ab" : nullptr;
    if (auto h = dynamic_cast<const TCoder_HEX*>(c)) table = h->CharTable();
    if (auto u = dynamic_cast<const TCoder_UU*>(c)) table = u->CharTable();
    for (int i = 0; i < 400; ++i) {
      std::string s(rng() % 80, '\0');
      for (char& ch : s)  // half from the alphabet, half any byte
        ch = rng() % 2 ? table[rng() % std::strlen(table)] : static_cast<char>(rng());
      check(c, s);
    }
  }
  // Zero-terminated text with a negative length stops at the terminator.
  std::string hex;
  TCoder_HEX::ClassInfo.Decode(guard.Place(std::string("AB\0CD", 6)), -1, hex);
  EXPECT_EQ(hex, "\xab");
  std::string b64;
  TCoder_MIME64::ClassInfo.Decode(guard.Place(std::string("Zm9v\0", 5)), -7, b64);
  EXPECT_EQ(b64, "foo");
  EXPECT_TRUE(TCoder_UU::ClassInfo.IsValid(guard.Place(std::string("#0V%T\0", 6)), -1, true));
}
