// List view: the selected rows on the clipboard.
#include <cstdio>
#include <cstring>

#include "ui/listview.h"

namespace ui {

namespace {

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

// A CSV field: quoted when it holds the separator, a quote or a line break.
void AppendCsvField(std::wstring& out, const std::wstring& text, const std::wstring& separator) {
  if (text.find_first_of(L"\"\r\n") == std::wstring::npos &&
      (separator.empty() || text.find(separator) == std::wstring::npos)) {
    out += text;
    return;
  }
  out += L'"';
  for (wchar_t c : text) {
    if (c == L'"') out += L'"';
    out += c;
  }
  out += L'"';
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

// Every format at once, a row at a time, so that a long selection is held only as the texts
// that go to the clipboard.
class ClipWriter {
 public:
  ClipWriter(const std::vector<int>& widths, const std::wstring& fontName)
      : separator_(ListSeparator()) {
    html_ = "<table border=\"1\" cellspacing=\"0\">\r\n";
    rtf_ = "{\\rtf1\\ansi\\ansicpg" + std::to_string(GetACP()) +
           "\\deff0{\\fonttbl{\\f0\\fswiss " + RtfEscaped(fontName) + ";}}\r\n";
    // Cell edges from the column widths: pixels at 96 dpi, 15 twips each.
    rtfRow_ = "\\trowd\\trgaph60";
    int right = 0;
    for (int w : widths) rtfRow_ += "\\cellx" + std::to_string(right += w * 15);
    rtfRow_ += "\r\n";
  }

  void Row(const std::vector<std::wstring>& cells, bool header) {
    const char* tag = header ? "th" : "td";
    std::wstring csvRow;
    html_ += "<tr>";
    rtf_ += rtfRow_;
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i) {
        text_ += L'\t';
        csvRow += separator_;
      }
      text_ += cells[i];
      AppendCsvField(csvRow, cells[i], separator_);
      html_ += std::string("<") + tag + ">" + HtmlEscaped(cells[i]) + "</" + tag + ">";
      rtf_ += header ? "\\intbl\\b " + RtfEscaped(cells[i]) + "\\b0\\cell "
                     : "\\intbl " + RtfEscaped(cells[i]) + "\\cell ";
    }
    text_ += L"\r\n";
    csv_ += ToCodePage(csvRow + L"\r\n", CP_ACP);
    html_ += "</tr>\r\n";
    rtf_ += "\\row\r\n";
  }

  // Each text once built; taking one frees the writer's copy (a long selection makes them big).
  std::wstring TakeUnicodeText() { return std::move(text_); }
  const std::wstring& UnicodeText() const { return text_; }
  std::string TakeCsv() { return std::move(csv_); }
  std::string TakeRtf() { return std::move(rtf_) + "}"; }
  // CF_HTML: a description of offsets, then the document with the table as its fragment.
  std::string TakeHtml() {
    const std::string fragment = std::move(html_) + "</table>";
    const char* head =
        "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\n"
        "EndFragment:%010zu\r\n";
    const std::string before = "<html><body>\r\n<!--StartFragment-->";
    const std::string after = "<!--EndFragment-->\r\n</body></html>";
    char buf[160];
    const size_t headLength =
        std::snprintf(buf, sizeof buf, head, size_t{0}, size_t{0}, size_t{0}, size_t{0});
    const size_t startFragment = headLength + before.size();
    const size_t endFragment = startFragment + fragment.size();
    const size_t endHtml = endFragment + after.size();
    std::snprintf(buf, sizeof buf, head, headLength, endHtml, startFragment, endFragment);
    return buf + before + fragment + after;
  }

 private:
  std::wstring separator_;
  std::wstring text_;
  std::string csv_, html_, rtf_, rtfRow_;
};

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

bool ListView::CopyToClipboard() {
  if (!HandleAllocated() || SelectedCount() == 0) return false;
  const std::vector<int> order = ColumnOrder();
  std::vector<int> widths;
  std::vector<std::wstring> cells;
  for (int column : order) {
    widths.push_back(ColumnWidth(column));
    cells.push_back(ColumnCaption(column));
  }
  ClipWriter writer(widths, fontName_);
  writer.Row(cells, true);
  std::string rows(sizeof(ListClipData), '\0');
  ListClipData head{GetCurrentProcessId(), 0, reinterpret_cast<uintptr_t>(Handle())};
  IterateSelected([&](ListNode* node) {
    for (size_t i = 0; i < order.size(); ++i) {
      cells[i].clear();
      if (OnGetText) OnGetText(node, order[i], cells[i]);
    }
    writer.Row(cells, false);
    ListClipRow row{node->Index, 0, reinterpret_cast<uintptr_t>(node->Data)};
    rows.append(reinterpret_cast<const char*>(&row), sizeof row);
    ++head.Count;
  });
  std::memcpy(rows.data(), &head, sizeof head);

  if (!OpenClipboard(Handle())) return false;
  EmptyClipboard();
  bool ok = SetClipboardString(RegisterClipboardFormatW(L"CSV"), writer.TakeCsv()) &&
            SetClipboardString(RegisterClipboardFormatW(L"HTML Format"), writer.TakeHtml()) &&
            SetClipboardString(CF_TEXT, ToCodePage(writer.UnicodeText(), CP_ACP)) &&
            SetClipboardString(RegisterClipboardFormatW(L"Rich Text Format Without Objects"),
                               writer.TakeRtf());
  if (ok) {
    const std::wstring text = writer.TakeUnicodeText();
    ok = SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t)) &&
         SetClipboardBytes(RegisterClipboardFormatW(L"Virtual Tree Data"), rows.data(),
                           rows.size());
  }
  CloseClipboard();
  return ok;
}

}  // namespace ui
