// The main list's copy: the selected rows on the clipboard in every format, in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "hash/registry.h"
#include "tests/app/mainlist_fixture.h"
#include "tests/clipboard.h"

namespace {

std::string ClipText(UINT format) {
  std::string bytes = ClipBytes(format);
  return bytes.substr(0, bytes.find('\0'));
}

std::string Ansi(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.resize(n - 1);
  return out;
}

}  // namespace

TEST_F(MainListTest, CopyPutsTheSelectedRowsInEveryFormat) {
  RegisterStandardClasses();
  Form->AbbrSize = Form->ThouSize = false;
  TFileItem& a = Add(L"a.txt", fsOK);
  a.HashValue = "ab12", a.FileSize = 10, a.FileNote = L"caf\u00e9 & <b>";
  Add(L"skipped");
  TFileItem& b = Add(L"b, \"c\".txt", fsChanged);
  b.HashType = "CRC32", b.HashCode = "MIME64", b.HashValue = "q+8=", b.FileSize = -1;
  Form->RefreshList();
  ui::ListView& lv = Form->ListView;
  EXPECT_FALSE(lv.CopyToClipboard());  // nothing selected: the clipboard is left alone
  lv.SetRowSelected(0, true);
  lv.SetRowSelected(2, true);
  ASSERT_TRUE(lv.CopyToClipboard());

  ASSERT_TRUE(OpenClipboard(Form->Handle()));
  // The formats in the order they were put there (the system may add its own after them).
  std::vector<UINT> order;
  for (UINT f = 0; (f = EnumClipboardFormats(f)) != 0;) order.push_back(f);
  std::vector<UINT> ours;
  for (const std::wstring& name : ui::ListView::ClipboardFormats()) {
    UINT id = name == L"Plain text"     ? CF_TEXT
              : name == L"Unicode text" ? CF_UNICODETEXT
                                        : RegisterClipboardFormatW(name.c_str());
    ours.push_back(id);
  }
  std::vector<UINT> seen;
  for (UINT f : order)
    if (std::find(ours.begin(), ours.end(), f) != ours.end() &&
        std::find(seen.begin(), seen.end(), f) == seen.end())
      seen.push_back(f);
  EXPECT_EQ(seen, ours);

  const std::wstring header =
      L"File\tState\tHash Value\tFile Size\tDate\tTime\tNotes\tHash\tEncoding\r\n";
  const std::wstring row1 = L"a.txt\tOK\tab12\t10\t\t\tcaf\u00e9 & <b>\tMD5\tHexadecimal\r\n";
  const std::wstring row2 = L"b, \"c\".txt\tChanged\tq+8=\t\t\t\t\tCRC32\tMIME Base 64\r\n";
  const std::wstring text = header + row1 + row2;
  HANDLE h = GetClipboardData(CF_UNICODETEXT);
  ASSERT_TRUE(h);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(h))), text);
  GlobalUnlock(h);
  EXPECT_EQ(ClipText(CF_TEXT), Ansi(text));

  // CSV: the tabs become the list separator, and a name with a comma or quote is quoted.
  wchar_t sep[8] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, sep, 8);
  std::wstring csv = header + row1 + L"\"b, \"\"c\"\".txt\"" + row2.substr(row2.find(L'\t'));
  std::replace(csv.begin(), csv.end(), L'\t', sep[0]);
  ASSERT_EQ(sep[1], 0);
  EXPECT_EQ(ClipText(RegisterClipboardFormatW(L"CSV")), Ansi(csv));

  // CF_HTML: the offsets in its description point at the document and the fragment.
  const std::string html = ClipText(RegisterClipboardFormatW(L"HTML Format"));
  auto offset = [&](const char* key) {
    size_t p = html.find(key);
    return p == std::string::npos ? 0 : std::stoul(html.substr(p + std::strlen(key), 10));
  };
  EXPECT_EQ(html.compare(0, 12, "Version:0.9\r"), 0);
  EXPECT_EQ(html.compare(offset("StartHTML:"), 6, "<html>"), 0);
  EXPECT_EQ(offset("EndHTML:"), html.size());
  const std::string fragment =
      html.substr(offset("StartFragment:"), offset("EndFragment:") - offset("StartFragment:"));
  EXPECT_EQ(fragment,
            "<table border=\"1\" cellspacing=\"0\">\r\n"
            "<tr><th>File</th><th>State</th><th>Hash Value</th><th>File Size</th><th>Date</th>"
            "<th>Time</th><th>Notes</th><th>Hash</th><th>Encoding</th></tr>\r\n"
            "<tr><td>a.txt</td><td>OK</td><td>ab12</td><td>10</td><td></td><td></td>"
            "<td>caf\xc3\xa9 &amp; &lt;b&gt;</td><td>MD5</td><td>Hexadecimal</td></tr>\r\n"
            "<tr><td>b, &quot;c&quot;.txt</td><td>Changed</td><td>q+8=</td><td></td><td></td>"
            "<td></td><td></td><td>CRC32</td><td>MIME Base 64</td></tr>\r\n"
            "</table>");

  const std::string rtf = ClipText(RegisterClipboardFormatW(L"Rich Text Format Without Objects"));
  EXPECT_EQ(rtf.compare(0, 6, "{\\rtf1"), 0);
  EXPECT_EQ(rtf.back(), '}');
  // Column edges from the widths in display order (200, 60, 220 ... pixels at 15 twips).
  EXPECT_NE(rtf.find("\\trowd\\trgaph60\\cellx3000\\cellx3900\\cellx7200"), std::string::npos);
  EXPECT_NE(rtf.find("\\intbl\\b File\\b0\\cell \\intbl\\b State\\b0\\cell "), std::string::npos);
  EXPECT_NE(rtf.find("\\intbl a.txt\\cell \\intbl OK\\cell \\intbl ab12\\cell \\intbl 10\\cell "
                     "\\intbl \\cell \\intbl \\cell \\intbl caf\\u233?"),
            std::string::npos);
  EXPECT_NE(rtf.find("\\intbl b, \"c\".txt\\cell \\intbl Changed\\cell "), std::string::npos);
  size_t rows = 0;
  for (size_t p = 0; (p = rtf.find("\\row", p)) != std::string::npos; ++p) ++rows;
  EXPECT_EQ(rows, 3u);

  // The list's own format: the rows with their entries.
  const std::string own = ClipBytes(RegisterClipboardFormatW(L"Virtual Tree Data"));
  ASSERT_GE(own.size(), sizeof(ui::ListView::ListClipData) + 2 * sizeof(ui::ListView::ListClipRow));
  ui::ListView::ListClipData head;
  std::memcpy(&head, own.data(), sizeof head);
  EXPECT_EQ(head.ProcessId, GetCurrentProcessId());
  EXPECT_EQ(head.Count, 2u);
  EXPECT_EQ(head.List, reinterpret_cast<uintptr_t>(List()));
  ui::ListView::ListClipRow r[2];
  std::memcpy(r, own.data() + sizeof head, sizeof r);
  EXPECT_EQ(r[0].Index, 0);
  EXPECT_EQ(r[0].Data, reinterpret_cast<uintptr_t>(&a));
  EXPECT_EQ(r[1].Index, 2);
  EXPECT_EQ(r[1].Data, reinterpret_cast<uintptr_t>(&b));
  CloseClipboard();

  // A second copy replaces the first; closing the window before any paste leaves every format
  // of it on the clipboard.
  lv.SetRowSelected(0, false);
  lv.SetRowSelected(2, false);
  lv.SetRowSelected(1, true);
  ASSERT_TRUE(lv.CopyToClipboard());
  Form.reset();
  ASSERT_TRUE(OpenClipboard(nullptr));
  for (UINT id : ours) EXPECT_TRUE(IsClipboardFormatAvailable(id)) << id;
  const std::wstring skipped = header + L"skipped\t\t\t\t\t\t\tMD5\tHexadecimal\r\n";
  EXPECT_EQ(ClipText(CF_TEXT), Ansi(skipped));
  h = GetClipboardData(CF_UNICODETEXT);
  ASSERT_TRUE(h);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(h))), skipped);
  GlobalUnlock(h);
  CloseClipboard();
}
