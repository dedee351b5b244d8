// List view: the selected rows on the clipboard.
#include <cstdio>
#include <cstring>

#include "ui/listview.h"

namespace ui {

namespace {

using Table = std::vector<std::vector<std::wstring>>;

std::string ToCodePage(const std::wstring& text, UINT codePage) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

std::wstring Joined(const Table& table, const std::wstring& separator,
                    std::wstring (*cell)(const std::wstring&, const std::wstring&)) {
  std::wstring out;
  for (const auto& row : table) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) out += separator;
      out += cell ? cell(row[i], separator) : row[i];
    }
    out += L"\r\n";
  }
  return out;
}

// A CSV field: quoted when it holds the separator, a quote or a line break.
std::wstring CsvField(const std::wstring& text, const std::wstring& separator) {
  if (text.find_first_of(L"\"\r\n") == std::wstring::npos &&
      (separator.empty() || text.find(separator) == std::wstring::npos))
    return text;
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    if (c == L'"') out += L'"';
    out += c;
  }
  return out + L"\"";
}

std::wstring ListSeparator() {
  wchar_t buf[8] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, buf, 8) || !buf[0]) return L",";
  return buf;
}

std::string HtmlEscaped(const std::wstring& text) {
  std::string out;
  for (char c : ToCodePage(text, CP_UTF8)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// CF_HTML: a description of offsets, then the document with the table as its fragment.
std::string HtmlFormat(const Table& table) {
  std::string fragment = "<table border=\"1\" cellspacing=\"0\">\r\n";
  for (size_t r = 0; r < table.size(); ++r) {
    const char* cell = r == 0 ? "th" : "td";
    fragment += "<tr>";
    for (const auto& text : table[r])
      fragment += std::string("<") + cell + ">" + HtmlEscaped(text) + "</" + cell + ">";
    fragment += "</tr>\r\n";
  }
  fragment += "</table>";
  const char* head =
      "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\n"
      "EndFragment:%010zu\r\n";
  const std::string before = "<html><body>\r\n<!--StartFragment-->";
  const std::string after = "<!--EndFragment-->\r\n</body></html>";
  char buf[160];
  const size_t headLength = std::snprintf(buf, sizeof buf, head, size_t{0}, size_t{0}, size_t{0},
                                          size_t{0});
  const size_t startFragment = headLength + before.size();
  const size_t endFragment = startFragment + fragment.size();
  const size_t endHtml = endFragment + after.size();
  std::snprintf(buf, sizeof buf, head, headLength, endHtml, startFragment, endFragment);
  return buf + before + fragment + after;
}

std::string RtfEscaped(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'{' || c == L'}') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
    }
  }
  return out;
}

// A table in RTF; cell widths follow the columns' widths (pixels at 96 dpi, 15 twips each).
std::string RtfFormat(const Table& table, const std::vector<int>& widths,
                      const std::wstring& fontName) {
  std::string out = "{\\rtf1\\ansi\\ansicpg" + std::to_string(GetACP()) +
                    "\\deff0{\\fonttbl{\\f0\\fswiss " + RtfEscaped(fontName) + ";}}\r\n";
  std::string cells = "\\trowd\\trgaph60";
  int right = 0;
  for (int w : widths) cells += "\\cellx" + std::to_string(right += w * 15);
  for (size_t r = 0; r < table.size(); ++r) {
    out += cells + "\r\n";
    for (const auto& text : table[r])
      out += r == 0 ? "\\intbl\\b " + RtfEscaped(text) + "\\b0\\cell "
                    : "\\intbl " + RtfEscaped(text) + "\\cell ";
    out += "\\row\r\n";
  }
  return out + "}";
}

bool SetClipboardBytes(UINT format, const void* data, size_t size) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
  if (!mem) return false;
  if (void* p = GlobalLock(mem)) {
    std::memcpy(p, data, size);
    GlobalUnlock(mem);
  }
  if (SetClipboardData(format, mem)) return true;
  GlobalFree(mem);
  return false;
}

bool SetClipboardString(UINT format, const std::string& text) {
  return SetClipboardBytes(format, text.c_str(), text.size() + 1);
}

}  // namespace

const std::vector<std::wstring>& ListView::ClipboardFormats() {
  static const std::vector<std::wstring> formats = {
      L"CSV",         L"HTML Format",      L"Plain text", L"Rich Text Format Without Objects",
      L"Unicode text", L"Virtual Tree Data"};
  return formats;
}

Table ListView::SelectedTable() {
  const std::vector<int> order = ColumnOrder();
  Table table;
  table.emplace_back();
  for (int column : order) table.back().push_back(ColumnCaption(column));
  IterateSelected([&](ListNode* node) {
    table.emplace_back();
    for (int column : order) {
      std::wstring text;
      if (OnGetText) OnGetText(node, column, text);
      table.back().push_back(std::move(text));
    }
  });
  return table;
}

bool ListView::CopyToClipboard() {
  if (!HandleAllocated() || SelectedCount() == 0) return false;
  const Table table = SelectedTable();
  std::vector<int> widths;
  for (int column : ColumnOrder()) widths.push_back(ColumnWidth(column));

  std::string rows(sizeof(ListClipData), '\0');
  ListClipData head{GetCurrentProcessId(), 0, reinterpret_cast<uintptr_t>(Handle())};
  IterateSelected([&](ListNode* node) {
    ListClipRow row{node->Index, 0, reinterpret_cast<uintptr_t>(node->Data)};
    rows.append(reinterpret_cast<const char*>(&row), sizeof row);
    ++head.Count;
  });
  std::memcpy(rows.data(), &head, sizeof head);

  if (!OpenClipboard(Handle())) return false;
  EmptyClipboard();
  const std::wstring tab = L"\t";
  const std::wstring unicodeText = Joined(table, tab, nullptr);
  bool ok = SetClipboardString(RegisterClipboardFormatW(L"CSV"),
                               ToCodePage(Joined(table, ListSeparator(), CsvField), CP_ACP)) &&
            SetClipboardString(RegisterClipboardFormatW(L"HTML Format"), HtmlFormat(table)) &&
            SetClipboardString(CF_TEXT, ToCodePage(unicodeText, CP_ACP)) &&
            SetClipboardString(RegisterClipboardFormatW(L"Rich Text Format Without Objects"),
                               RtfFormat(table, widths, fontName_)) &&
            SetClipboardBytes(CF_UNICODETEXT, unicodeText.c_str(),
                              (unicodeText.size() + 1) * sizeof(wchar_t)) &&
            SetClipboardBytes(RegisterClipboardFormatW(L"Virtual Tree Data"), rows.data(),
                              rows.size());
  CloseClipboard();
  return ok;
}

}  // namespace ui
