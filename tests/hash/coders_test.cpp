#include "hash/coders.h"

#include <windows.h>
#undef GetMessage  // the exception's accessor, not the Win32 call

#include <cstdlib>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

namespace {

const TCoderClass Binary = &TCoder::ClassInfo, HEX = &TCoder_HEX::ClassInfo,
                  HEXi = &TCoder_HEXi::ClassInfo, MIME64 = &TCoder_MIME64::ClassInfo,
                  UU = &TCoder_UU::ClassInfo, XX = &TCoder_XX::ClassInfo;
const TCoderClass AllCoders[] = {Binary, HEX, HEXi, MIME64, UU, XX};

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
    return static_cast<char*>(std::memcpy(Base + Page - S.size(), S.data(), S.size()));
  }

 private:
  size_t Page;
  char* Base;
};

}  // namespace

// Registry and display names; whether values compare with letter case.
TEST(Coders, NamesAndCase) {
  std::string names;
  for (TCoderClass c : AllCoders)
    names += c->CoderName() + "=" + c->DisplayName() + (c->CaseSensitive() ? "|" : " (any case)|");
  EXPECT_EQ(names,
            "TCoder=Binary|HEX=Hexadecimal (any case)|HEXi=Hexadecimal inversed (any case)|"
            "MIME64=MIME Base 64|UU=UU Coding|XX=XX Coding|");
  EXPECT_EQ(CoderNameOf("TCoder_A_B"), "A_B");
}

// Encode and decode known values; then texts only a decoder meets: prefixes, separators, blanks,
// missing padding and lines cut short.
TEST(Coders, KnownAnswers) {
  struct TKnown {
    TCoderClass Coder;
    std::string Bytes, Text;
  };
  // HEXi last: the CRC-32 check value as SFV prints it.
  const TKnown both[] = {{HEX, "\x0a\xbc", "0ABC"},
                         {HEXi, "\x0c\x0b\x0a", "0A0B0C"},
                         {MIME64, "", ""},
                         {MIME64, "f", "Zg=="},
                         {MIME64, "fo", "Zm8="},
                         {MIME64, "foo", "Zm9v"},
                         {MIME64, "foob", "Zm9vYg=="},
                         {MIME64, "fooba", "Zm9vYmE="},
                         {MIME64, "foobar", "Zm9vYmFy"},
                         {UU, "Cat", "#0V%T"},
                         {XX, "Cat", "1Eq3o"},
                         {UU, std::string(16, 'Z'), "06EI:6EI:6EI:6EI:6EI:6@``"},
                         {XX, std::string(16, 'Z'), "EKZdOKZdOKZdOKZdOKZdOKU++"},
                         {HEXi, "\x26\x39\xf4\xcb", "CBF43926"}};
  for (const auto& k : both) {
    EXPECT_EQ(Enc(k.Coder, k.Bytes), k.Text) << k.Coder->CoderName();
    EXPECT_EQ(Dec(k.Coder, k.Text), k.Bytes) << k.Coder->CoderName() << ' ' << k.Text;
    EXPECT_TRUE(Strict(k.Coder, k.Text)) << k.Text;
  }
  for (const char* t : {"0xAB", "$AB", "A-B", "a b", "ab", "ABC", "0XaB"})
    EXPECT_EQ(Dec(HEX, t), "\xab") << t;
  const TKnown decoded[] = {{HEX, "\x34", "12$34"},
                            {HEX, "\x12\x34", "$12$34"},
                            {HEX, "", ""},
                            {HEXi, "\x0c\x0b\x0a", "0x0a0b0c"},
                            {MIME64, "fo", "Zm8"},
                            {MIME64, "foo", "Zm9v\r\n"},
                            {MIME64, "foob", " Zm 9v Y g"},
                            {MIME64, "", "===="},
                            {UU, "Cat", "#0V %T"},
                            {UU, "\x42", "!0@"},
                            {UU, "", "M"}};
  for (const auto& k : decoded)
    EXPECT_EQ(Dec(k.Coder, k.Text), k.Bytes) << k.Coder->CoderName() << ' ' << k.Text;
  std::string out = "junk";
  HEX->Decode(nullptr, 5, out);
  EXPECT_EQ(out, "");
  const std::string big(100, '\x7f');
  EXPECT_EQ(Enc(UU, big)[0], 'M');  // lines of 45, 45 and 10 bytes
  EXPECT_EQ(Dec(UU, Enc(UU, big)), big);
}

TEST(Coders, StrictValidityAndFormatErrors) {
  struct TText {
    TCoderClass Coder;
    std::string Text;
    bool Valid;
  };
  const TText texts[] = {{HEX, "0x1a2b", true},    {HEX, "12:34", true},
                         {HEX, "12.34", false},    {HEX, "G1", false},
                         {MIME64, "Zm9v!", false}, {MIME64, "Zm9v\r\n", true},
                         {UU, "!0@", true},        {UU, "M", false}};
  for (const auto& t : texts) EXPECT_EQ(Strict(t.Coder, t.Text), t.Valid) << t.Text;
  EXPECT_FALSE(Strict(HEX, std::string{'1', '2', '\0', '3', '4'}));  // a zero byte is no digit
  EXPECT_TRUE(HEX->IsValid("anything.at all", -1, false));
  EXPECT_FALSE(HEX->IsValid("12.34", -1, true));  // measured, not waved through
  for (TCoderClass c : AllCoders) {
    EXPECT_TRUE(Strict(c, "")) << c->CoderName();
    EXPECT_TRUE(c->IsValid(nullptr, 4, true));
  }

  // A line end where a line-length character belongs.
  for (TCoderClass c : {UU, XX}) {
    const std::string bad = Enc(c, std::string(16, 'Z')) + "\r\n";
    EXPECT_FALSE(Strict(c, bad));
    try {
      Dec(c, bad);
      ADD_FAILURE() << "no exception";
    } catch (const EStringFormat& e) {
      EXPECT_EQ(e.GetMessage(), L"Input is not an valid " + std::wstring(c == UU ? L"UU" : L"XX") +
                                    L" Coding Format.");
    }
  }
  EXPECT_THROW(Dec(UU, "N"), EStringFormat);  // 46 bytes: more than a line holds
  EXPECT_THROW(Dec(UU, " !00"), EStringFormat);
}

// Random bytes of every length up to 64 (the UU line of 45 inside) round-trip through every coder;
// arbitrary text is read from the very end of readable memory, and its decoded value never
// outgrows the text.
TEST(Coders, RandomBytesRoundTripAndArbitraryTextStaysInside) {
  GuardedText guard;
  std::mt19937 rng(4242);
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
  const std::string nasty[] = {
      "M", "====",     "QQ==QQ==", "$$$$",     "x",        "0x",   "`",
      "+", "\xff\xfe", "=A",       "Z=m=9=v=", "MMMMMMMM", "$0x$", std::string(300, 'M')};
  for (TCoderClass c : AllCoders) {
    for (size_t len = 0; len <= 64; ++len) {
      std::string data(len, '\0');
      for (char& ch : data) ch = static_cast<char>(rng());
      const std::string text = Enc(c, data);
      ASSERT_EQ(Dec(c, text), data) << c->CoderName() << " " << len;
      if (c == Binary) continue;
      ASSERT_TRUE(Strict(c, text)) << c->CoderName() << " " << text;
      std::string measured;
      c->Decode(guard.Place(text + '\0'), -1, measured);  // encoded texts hold no zero byte
      ASSERT_EQ(measured, data);
    }
    for (const std::string& s : nasty) check(c, s);
    const char* table = c == Binary ? "ab" : nullptr;
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
  std::string hex, b64;
  HEX->Decode(guard.Place(std::string("AB\0CD", 6)), -1, hex);
  EXPECT_EQ(hex, "\xab");
  MIME64->Decode(guard.Place(std::string("Zm9v\0", 5)), -7, b64);
  EXPECT_EQ(b64, "foo");
  EXPECT_TRUE(UU->IsValid(guard.Place(std::string("#0V%T\0", 6)), -1, true));
}
