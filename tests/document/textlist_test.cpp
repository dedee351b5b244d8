#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "document/data.h"
#include "document/stream.h"
#include "document/uniconv.h"
#include "hash/errors.h"
#include "hash/registry.h"
#include "tests/hash/tempfolder.h"

namespace {

const std::string MD5 = "d41d8cd98f00b204e9800998ecf8427e";  // of nothing
const std::string SHA1 = "da39a3ee5e6b4b0d3255bfef95601890afd80709";

struct Entry {
  std::wstring Name;
  std::string Type, Value;
  bool operator==(const Entry&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Entry& e) {
  return os << std::string(e.Name.begin(), e.Name.end()) << " " << e.Type << " " << e.Value;
}
using Entries = std::vector<Entry>;
using Names = std::vector<std::wstring>;

std::string Header(TLineEnd LineEnd) {
  const std::string eol = LineEnd == leLF ? "\n" : LineEnd == leCR ? "\r" : "\r\n";
  return ";" + eol + "; Created by Jurnvalt 2.0 (https://jurnvalt.example.org/)" + eol + ";" + eol;
}

class TextList : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterStandardClasses();
    // Names in these lists are UTF-8 unless a test says otherwise.
    List.OnConvertName = [](const std::string& Raw, std::wstring& Name) {
      Name = CodePageToWide(Raw, CP_UTF8);
      return true;
    };
  }
  // The entries a text gives an empty document.
  Entries Import(const std::string& Text) {
    List.Clear();
    TMemoryStream stream(Text);
    EXPECT_TRUE(List.ImportTextList(stream));
    return Got();
  }
  Entries Got() const {
    Entries result;
    for (const auto& i : List.Items) result.push_back({i->FileName, i->HashType, i->HashValue});
    return result;
  }
  Names ImportNames(const std::string& Text) {
    Names result;
    for (const Entry& e : Import(Text)) result.push_back(e.Name);
    return result;
  }
  void Add(const std::wstring& Name, const std::string& Type, const std::string& Value,
           const std::string& Code = "HEX") {
    List.Items.push_back(std::make_unique<TFileItem>());
    TFileItem& item = *List.Items.back();
    item.FileName = Name;
    item.HashType = Type;
    item.HashCode = Code;
    item.HashValue = Value;
    item.Owner = &List;
  }
  // The lines after the header, LF line ends.
  std::string Export(TListFormat Format, bool LowerCase = false, TPathDelimiter Delimiter = pdKeep,
                     TListCharset Charset = csUTF8, uint32_t CodePage = 0) {
    TMemoryStream stream;
    EXPECT_TRUE(List.ExportTextList(stream, Format, leLF, Delimiter, Charset, CodePage, LowerCase));
    EXPECT_EQ(stream.Data.substr(0, Header(leLF).size()), Header(leLF));
    return stream.Data.substr(Header(leLF).size());
  }

  TFileList List;
};

// A stream that takes only so many bytes, like a full disk.
class TShortStream : public TMemoryStream {
 public:
  explicit TShortStream(size_t Room) : Room(Room) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    return TMemoryStream::Write(Buffer,
                                static_cast<int32_t>(std::min<size_t>(Count, Room - Data.size())));
  }
  size_t Room;
};

TEST_F(TextList, Md5sumForm) {
  EXPECT_EQ(ImportNames(MD5 + " *name\n" + MD5 + " name\n" + MD5 + "  name\n" + MD5 + "|name\n" +
                        MD5 + "   name\n" + MD5 + "name\n"),
            (Names{L"name", L"name", L"name", L"name", L" name", L"name"}));
  // The digest length gives the type; letter case is kept.
  EXPECT_EQ(
      Import("  DEADBEEF *crc\n" + SHA1 + " *sha\n" + "D41D8cd98f00b204e9800998ecf8427E *md5 \n"),
      (Entries{{L"crc", "CRC32", "DEADBEEF"},
               {L"sha", "SHA1", SHA1},
               {L"md5 ", "MD5", "D41D8cd98f00b204e9800998ecf8427E"}}));
  // Otherwise an entry's defaults; the update pass puts the entries in the name index.
  EXPECT_EQ(List.Items[0]->HashCode, "HEX");
  EXPECT_EQ(List.Items[0]->FileTime, 0);
  EXPECT_EQ(List.Items[0]->FileSize, -1);
  EXPECT_EQ(List.Items[0]->Owner, &List);
  EXPECT_TRUE(List.Modified);
  EXPECT_EQ(List.NameIndex.Count(), 0);
  // One byte after the digits is not enough; a bare hash is no line of any form.
  EXPECT_TRUE(Import(MD5 + "x\n" + MD5 + "\n" + MD5 + " \n").empty());
  // An SFV name starting with hex digits reads as MD5SUM.
  EXPECT_EQ(Import("cafebabe.bin 12345678\n"), (Entries{{L".bin 12345678", "CRC32", "cafebabe"}}));
}

TEST_F(TextList, BsdForm) {
  EXPECT_EQ(
      Import("MD5 (a b.txt) = " + MD5 + "\n  SHA1(x)=" + SHA1 + " trailing\n" +
             "\tCRC32 \t( sp ) =  1234abcd\n"),
      (Entries{{L"a b.txt", "MD5", MD5}, {L"x", "SHA1", SHA1}, {L" sp ", "CRC32", "1234abcd"}}));
  // The last "(" lies inside the name; type names compare with letter case; an unknown type: SFV.
  EXPECT_EQ(ImportNames("MD5 (a(1).txt) = " + MD5 + "\nmd5 (name) = " + MD5 +
                        "\nSHA256 (n) = " + MD5 + "\n"),
            (Names{L"MD5 (a(1).txt) =", L"md5 (name) =", L"SHA256 (n) ="}));
  // A wrong digest length skips the line, though each would read as SFV.
  EXPECT_TRUE(
      Import("MD5 (name) = 12345678\nCRC32 (n) = " + MD5 + "\nSHA1 (n) = " + MD5 + "\n").empty());
}

TEST_F(TextList, SfvForm) {
  // The CRC is stored in memory order and exported the way SFV prints it.
  EXPECT_EQ(
      Import("; comment header\nsub/file.txt  1a2b3c4d \nno-blank.txt0123ABcd\n"),
      (Entries{{L"sub\\file.txt", "CRC32", "4D3C2B1A"}, {L"no-blank.txt", "CRC32", "CDAB2301"}}));
  List.Items.resize(1);
  EXPECT_EQ(Export(lfSFV, true), "sub\\file.txt 1a2b3c4d\n");
  EXPECT_EQ(Export(lfSFV, false), "sub\\file.txt 1A2B3C4D\n");
  // Longer digests; too few bytes before the digits.
  EXPECT_EQ(Import("n " + MD5 + "\nx\t" + SHA1 + "\n" + "x12345678\n 12345678\n"),
            (Entries{{L"n", "MD5", MD5}, {L"x", "SHA1", SHA1}}));
}

TEST_F(TextList, LinesAndTheByteOrderMark) {
  EXPECT_EQ(ImportNames("# c\r\n  ; c\n\n   \r" + MD5 + " *a\r" + MD5 + " *b\r\n" + MD5 + " *c\n" +
                        MD5 + " *d"),
            (Names{L"a", L"b", L"c", L"d"}));
  // A zero byte ends the text.
  EXPECT_EQ(ImportNames(MD5 + " *a\n" + MD5 + " *b" + std::string(1, '\0') + "c\n" + MD5 + " *d\n"),
            (Names{L"a", L"b"}));
  // A UTF-8 byte-order mark at the very start keeps the first entry; elsewhere it is part of the
  // line.
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(ImportNames(bom + MD5 + " *\xC3\xA9t\xC3\xA9\r\n" + MD5 + " *b\r\n"),
            (Names{L"\u00e9t\u00e9", L"b"}));
  EXPECT_EQ(ImportNames(bom + "a.txt 12345678\n"), (Names{L"a.txt"}));
  EXPECT_EQ(ImportNames(MD5 + " *a\n" + bom + MD5 + " *b\n").size(), 1u);
  // From the stream's position.
  TMemoryStream stream("junk" + MD5 + " *a\n");
  stream.Position = 4;
  EXPECT_TRUE(List.ImportTextList(stream));
  EXPECT_EQ(List.Items.size(), 2u);
}

TEST_F(TextList, AddItemNormalisesDelimitersAndStopsAtARefusedName) {
  for (const char* raw : {"a/b/c", "a\\\\b", "a\\b/c", "a/b\\\\c", "a\\\\\\b", "a\\b"})
    EXPECT_TRUE(List.AddItem(raw, "MD5", "HEX", MD5));
  // A single backslash stays as is; slashes win and "\\" stays; "\\" then a single "\".
  EXPECT_EQ(Got(), (Entries{{L"a\\b\\c", "MD5", MD5},
                            {L"a\\b", "MD5", MD5},
                            {L"a\\b/c", "MD5", MD5},
                            {L"a\\b\\\\c", "MD5", MD5},
                            {L"a\\\\\\b", "MD5", MD5},
                            {L"a\\b", "MD5", MD5}}));

  List.Clear();
  List.OnConvertName = [](const std::string& Raw, std::wstring& Name) {
    Name.assign(Raw.begin(), Raw.end());
    return Raw != "stop";
  };
  TMemoryStream stream(MD5 + " *a\n" + MD5 + " *stop\n" + MD5 + " *c\n");
  EXPECT_FALSE(List.ImportTextList(stream));
  EXPECT_EQ(Got(), (Entries{{L"a", "MD5", MD5}}));
}

TEST_F(TextList, ExportWritesHeaderThenTheEntriesEachFormatHolds) {
  Add(L"sub\\m.txt", "MD5", MD5);
  Add(L"c.bin", "CRC32", "4D3C2B1A");
  Add(L"s", "SHA1", SHA1);
  Add(L"empty", "MD5", " \t ");
  for (TLineEnd le : {leCRLF, leLF, leCR, static_cast<TLineEnd>(7)}) {
    TMemoryStream stream;
    EXPECT_TRUE(List.ExportTextList(stream, lfMD5SUM, le, pdKeep, csUTF8, 0, false));
    EXPECT_EQ(stream.Data.substr(0, Header(le).size()), Header(le));
  }
  EXPECT_EQ(Export(lfMD5SUM), "D41D8CD98F00B204E9800998ECF8427E *sub\\m.txt\n");
  EXPECT_EQ(Export(lfSFV, true), "c.bin 1a2b3c4d\n");
  EXPECT_EQ(Export(static_cast<TListFormat>(9), true, pdSlash),
            "MD5 (sub/m.txt) = " + MD5 + "\nCRC32 (c.bin) = 4d3c2b1a\nSHA1 (s) = " + SHA1 + "\n");
  EXPECT_EQ(Export(lfMD5SUM, true, pdDoubleBackslash), MD5 + " *sub\\\\m.txt\n");
  EXPECT_FALSE(List.Modified);
  // The export's own header reads back as nothing.
  EXPECT_TRUE(Import(Header(leCRLF)).empty());

  // Characters the code page lacks become its default character; code page 0 is the ANSI one.
  Add(L"\u0416.txt", "MD5", MD5);
  EXPECT_EQ(Export(lfMD5SUM, true, pdKeep, csCodePage), MD5 + " *?.txt\n");
  EXPECT_EQ(Export(lfMD5SUM, true, pdKeep, csCodePage, 1252), MD5 + " *?.txt\n");
}

TEST_F(TextList, ExportConvertsSkipsOrStops) {
  // Other encodings are converted; unregistered ones are left out and counted.
  Add(L"b64", "MD5", "1B2M2Y8AsgTpgAmY7PhCfg==", "MIME64");
  Add(L"odd", "MD5", MD5, "ROT13");
  Add(L"hex", "MD5", MD5, "ROT13");
  TMemoryStream stream;
  int32_t unconverted = -1;
  EXPECT_TRUE(List.ExportTextList(stream, lfMD5SUM, leLF, pdKeep, csUTF8, 0, true, &unconverted));
  EXPECT_EQ(stream.Data, Header(leLF) + MD5 + " *b64\n");
  EXPECT_EQ(unconverted, 2);

  // An undecodable value raises after the lines before it.
  List.Items.clear();
  Add(L"a", "MD5", MD5);
  Add(L"bad", "MD5", "N", "UU");  // a line length above 45
  TMemoryStream partial;
  EXPECT_THROW(List.ExportTextList(partial, lfBSD, leLF, pdKeep, csUTF8, 0, true), EStringFormat);
  EXPECT_EQ(partial.Data, Header(leLF) + "MD5 (a) = " + MD5 + "\n");

  // A short write is a failure.
  List.Items.resize(1);
  for (size_t room : {size_t(0), Header(leLF).size() - 1, Header(leLF).size() + 10}) {
    TShortStream shortStream(room);
    EXPECT_FALSE(List.ExportTextList(shortStream, lfBSD, leLF, pdKeep, csUTF8, 0, true)) << room;
  }
}

// md5sum and sha1sum in text and binary mode, then with --tag; an SFV file with its header.
TEST_F(TextList, ListsAsCommonToolsWriteThem) {
  const std::string text = MD5 + "  empty.txt\n" + MD5 + " *dir/empty.bin\n" + SHA1 + "  a b\n" +
                           SHA1 + " *c\n" + "MD5 (dir/x y.txt) = " + MD5 + "\n" +
                           "SHA1 (z) = " + SHA1 + "\n" +
                           "; Generated by WIN-SFV32 v1 on 2024-01-01 at 10:00.00\r\n"
                           ";\r\n"
                           ";  12345 10:00.00 2024-01-01 file.zip\r\n"
                           "file.zip 89ABCDEF\r\n"
                           "Sub Dir\\part.r00 00000000\r\n";
  EXPECT_EQ(Import(text), (Entries{{L"empty.txt", "MD5", MD5},
                                   {L"dir\\empty.bin", "MD5", MD5},
                                   {L"a b", "SHA1", SHA1},
                                   {L"c", "SHA1", SHA1},
                                   {L"dir\\x y.txt", "MD5", MD5},
                                   {L"z", "SHA1", SHA1},
                                   {L"file.zip", "CRC32", "EFCDAB89"},
                                   {L"Sub Dir\\part.r00", "CRC32", "00000000"}}));
}

// Each format x line end x delimiter x character set x letter case, also through a file stream.
TEST_F(TextList, EveryExportReadsBackTheSame) {
  Add(L"sub\\caf\u00e9 x.txt", "MD5", "D41D8CD98F00B204E9800998ECF8427E");
  Add(L"a\\b\\crc.bin", "CRC32", "4D3C2B1A");
  Add(L"sha", "SHA1", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
  Add(L"top.md5", "MD5", "00112233445566778899AABBCCDDEEFF");
  Add(L"\u041c\u0438\u0440.txt", "MD5", "00112233445566778899AABBCCDDEEFF");  // Cyrillic
  const std::pair<TListCharset, uint32_t> charsets[] = {{csUTF8, CP_UTF8},
                                                        {csANSI, CP_ACP},
                                                        {csOEM, CP_OEMCP},
                                                        {csCodePage, 1251},
                                                        {csMac, CP_MACCP}};
  for (TListFormat format : {lfBSD, lfMD5SUM, lfSFV})
    for (TLineEnd le : {leCRLF, leLF, leCR})
      for (TPathDelimiter delimiter : {pdKeep, pdDoubleBackslash, pdSlash, pdBackslash})
        for (auto [charset, codePage] : charsets)
          for (bool lower : {false, true}) {
            TMemoryStream stream;
            ASSERT_TRUE(List.ExportTextList(stream, format, le, delimiter, charset,
                                            charset == csCodePage ? codePage : 0, lower));
            stream.Position = 0;
            TFileList back;
            back.OnConvertName = [&](const std::string& Raw, std::wstring& Name) {
              Name = CodePageToWide(Raw, codePage);
              return true;
            };
            ASSERT_TRUE(back.ImportTextList(stream));
            Entries expected, got;
            for (const auto& i : List.Items)
              if ((format != lfMD5SUM || i->HashType == "MD5") &&
                  (format != lfSFV || i->HashType == "CRC32"))  // names the code page lacks
                expected.push_back({CodePageToWide(WideToCodePage(i->FileName, codePage), codePage),
                                    i->HashType, i->HashValue});  // come back with its default
            for (const auto& i : back.Items) {
              std::string value = i->HashValue;
              std::transform(value.begin(), value.end(), value.begin(), ::toupper);
              EXPECT_EQ(i->HashCode, "HEX");
              got.push_back({i->FileName, i->HashType, value});
            }
            ASSERT_EQ(got, expected)
                << format << " " << le << " " << delimiter << " " << charset << " " << lower;
          }

  TTempFolder folder;
  const std::wstring path = folder.File(L"textlist \u00e9.md5");
  {
    TFileStream out(path, fmCreate);
    EXPECT_TRUE(List.ExportTextList(out, lfMD5SUM, leCRLF, pdKeep, csUTF8, 0, true));
  }
  TFileStream in(path, fmOpenRead);
  List.Clear();
  EXPECT_TRUE(List.ImportTextList(in));
  ASSERT_EQ(List.Items.size(), 3u);
  EXPECT_EQ(Got()[0], (Entry{L"sub\\caf\u00e9 x.txt", "MD5", MD5}));
  EXPECT_THROW(TFileStream(folder.File(L"missing"), fmOpenRead), EFOpenError);
}

bool WellFormed(const TFileItem& Item) {
  const size_t digits = Item.HashType == "CRC32" ? 8 : Item.HashType == "MD5" ? 32 : 40;
  return (Item.HashType == "CRC32" || Item.HashType == "MD5" || Item.HashType == "SHA1") &&
         Item.HashCode == "HEX" && Item.HashValue.size() == digits &&
         std::all_of(Item.HashValue.begin(), Item.HashValue.end(), ::isxdigit);
}

// Random bytes, invalid UTF-8, lone CR line ends, megabyte lines: only well-formed entries.
TEST_F(TextList, OddInputAddsOnlyWellFormedEntries) {
  std::mt19937 rng(7);
  const std::string alphabet = "0123456789abcdefABCDEF ()=*|;#\t\r\n\\/\xC3\xA9\xFF";
  for (int round = 0; round < 200; ++round) {
    std::string text(rng() % 4000, '\0');
    for (char& c : text)
      c = round % 2 ? static_cast<char>(rng()) : alphabet[rng() % alphabet.size()];
    Import(text);
    for (const auto& item : List.Items) EXPECT_TRUE(WellFormed(*item)) << round;
  }

  const std::string big(1 << 20, 'a');
  const Entries got = Import(MD5 + " *" + big + "\n" + big + "\n" + std::string(1 << 20, '(') +
                             "\r" + big + " 12345678\r" + "bad \xFF\xFE\xC3 name 12345678\r");
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].Name.size(), big.size());
  EXPECT_EQ(got[1].Name.size(), big.size());
  EXPECT_EQ(got[1].Value, "78563412");
  EXPECT_EQ(got[2].Type, "CRC32");
  // A megabyte of hex digits is too long for any digest.
  EXPECT_TRUE(Import(std::string(1 << 20, 'f') + " *x\n").empty());
}

}  // namespace
