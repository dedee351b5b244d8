// List view: the selected rows on the clipboard.
//
// A long selection makes every format hundreds of megabytes, and the clipboard keeps each one
// as it is handed over. So each cell's text is asked for once, into the Unicode text (which is
// one of the formats), and every other format is written from that straight into the memory
// handed to the clipboard: a first walk over the cells measures it, a second fills it.
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/listview.h"

namespace ui {

namespace {

std::wstring ListSeparator() {
  wchar_t buf[8] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, buf, 8) || !buf[0]) return L",";
  return buf;
}

// Global memory for the clipboard; freed unless handed over.
class Global {
 public:
  explicit Global(size_t size) : handle_(GlobalAlloc(GMEM_MOVEABLE, size ? size : 1)) {
    data_ = handle_ ? static_cast<char*>(GlobalLock(handle_)) : nullptr;
  }
  ~Global() {
    if (data_) GlobalUnlock(handle_);
    if (handle_) GlobalFree(handle_);
  }
  Global(const Global&) = delete;
  Global& operator=(const Global&) = delete;
  char* Data() const { return data_; }
  // Hands the memory to the clipboard; true when it took it.
  bool SetClipboard(UINT format) {
    if (!data_) return false;
    GlobalUnlock(handle_);
    data_ = nullptr;
    if (!SetClipboardData(format, handle_)) return false;
    handle_ = nullptr;
    return true;
  }

 private:
  HGLOBAL handle_;
  char* data_ = nullptr;
};

// Output of the format writers: counting bytes in the first walk, storing them in the second.
struct Measure {
  size_t Size = 0;
  size_t Written() const { return Size; }
  void Put(char) { ++Size; }
  void Put(const char*, size_t n) { Size += n; }
  template <size_t N>
  void Put(const char (&)[N]) {
    Size += N - 1;
  }
  void PutAscii(const wchar_t*, size_t n) { Size += n; }
  // Text in a code page: how long it will be.
  void PutInCodePage(UINT codePage, const wchar_t* s, size_t n) {
    if (n)
      Size +=
          WideCharToMultiByte(codePage, 0, s, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  }
};

struct Store {
  char* At;
  char* Start;
  size_t Written() const { return static_cast<size_t>(At - Start); }
  void Put(char c) { *At++ = c; }
  void Put(const char* s, size_t n) {
    std::memcpy(At, s, n);
    At += n;
  }
  template <size_t N>
  void Put(const char (&s)[N]) {
    Put(s, N - 1);
  }
  // Code units below 0x80, one byte each.
  void PutAscii(const wchar_t* s, size_t n) {
    for (size_t i = 0; i < n; ++i) At[i] = static_cast<char>(s[i]);
    At += n;
  }
  void PutInCodePage(UINT codePage, const wchar_t* s, size_t n) {
    if (n)
      At += WideCharToMultiByte(codePage, 0, s, static_cast<int>(n), At, INT_MAX, nullptr, nullptr);
  }
};

// The rows as the Unicode text has them: cells separated by tabs, each row ended by a line
// break. A cell's end is the next tab or line break, unless the cell holds one itself; those
// cells are noted with their lengths.
class CellText {
 public:
  explicit CellText(size_t columns) : columns_(columns) {}

  // The next cell of the row; a row has Columns cells.
  void Add(const std::wstring& cell) {
    bool breaks = false;
    for (wchar_t c : cell) breaks |= c == L'\t' || c == L'\r' || c == L'\n';
    if (breaks) odd_.push_back({cells_, cell.size()});
    text_ += cell;
    if (++cells_ % columns_)
      text_ += L'\t';
    else
      text_.append(L"\r\n", 2);
  }
  // Makes room for Rows rows in all, judged by the rows so far, so that a long text is not
  // copied over and over as it grows.
  void Expect(size_t rows) {
    if (Rows()) text_.reserve(text_.size() / Rows() * rows * 9 / 8);
  }
  size_t Rows() const { return cells_ / columns_; }
  size_t Columns() const { return columns_; }
  const std::wstring& Text() const { return text_; }
  // Gives up the text once it is stored elsewhere; the walks then read that copy.
  void Release() {
    size_ = text_.size();
    std::wstring().swap(text_);
  }

  // Calls Cell(row, column, text, length) for every cell, in order, reading the cells from
  // Text (the released text as stored elsewhere).
  template <class F>
  void Walk(const wchar_t* text, F&& Cell) const {
    size_t at = 0, cell = 0, odd = 0;
    for (size_t row = 0; row < Rows(); ++row)
      for (size_t column = 0; column < columns_; ++column, ++cell) {
        const bool last = column + 1 == columns_;
        size_t length;
        if (odd < odd_.size() && odd_[odd].first == cell) {
          length = odd_[odd++].second;
        } else {
          const wchar_t* end = std::wmemchr(text + at, last ? L'\r' : L'\t', size_ - at);
          length = static_cast<size_t>(end - (text + at));
        }
        Cell(row, column, text + at, length);
        at += length + (last ? 2 : 1);
      }
  }

 private:
  size_t columns_;
  size_t cells_ = 0;
  size_t size_ = 0;
  std::wstring text_;
  std::vector<std::pair<size_t, size_t>> odd_;  // cell number, length
};

// Which code units below 0x80 a format takes as they are.
struct AsciiSet {
  bool In[128];
  template <class F>
  explicit AsciiSet(F&& plain) {
    for (int c = 0; c < 128; ++c) In[c] = plain(static_cast<wchar_t>(c));
  }
  bool operator()(wchar_t c) const { return c < 0x80 && In[c]; }
};
const AsciiSet HtmlPlain([](wchar_t c) {
  return c != L'&' && c != L'<' && c != L'>' && c != L'"';
});
const AsciiSet RtfPlain([](wchar_t c) {
  return c >= 0x20 && c != L'\\' && c != L'{' && c != L'}';
});

// Puts the run of code units from I that a format takes as they are; returns where it ends.
template <class Out>
size_t PutPlain(Out& out, const wchar_t* s, size_t i, size_t n, const AsciiSet& plain) {
  size_t end = i;
  while (end < n && plain(s[end])) ++end;
  out.PutAscii(s + i, end - i);
  return end;
}

// HTML: UTF-8, with the markup characters escaped. A surrogate without its partner becomes
// U+FFFD, as the system's conversion makes it.
template <class Out>
void PutHtml(Out& out, const wchar_t* s, size_t n) {
  for (size_t i = 0; i < n;) {
    if ((i = PutPlain(out, s, i, n, HtmlPlain)) == n) break;
    const unsigned c = s[i++];
    if (c < 0x80) {
      switch (c) {
        case '&':
          out.Put("&amp;");
          break;
        case '<':
          out.Put("&lt;");
          break;
        case '>':
          out.Put("&gt;");
          break;
        default:
          out.Put("&quot;");
      }
    } else if (c < 0x800) {
      out.Put(static_cast<char>(0xC0 | c >> 6));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c >= 0xD800 && c < 0xDC00 && i < n && s[i] >= 0xDC00 && s[i] < 0xE000) {
      const unsigned u = 0x10000 + ((c - 0xD800) << 10) + (s[i++] - 0xDC00);
      out.Put(static_cast<char>(0xF0 | u >> 18));
      out.Put(static_cast<char>(0x80 | (u >> 12 & 0x3F)));
      out.Put(static_cast<char>(0x80 | (u >> 6 & 0x3F)));
      out.Put(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      const unsigned u = c >= 0xD800 && c < 0xE000 ? 0xFFFD : c;
      out.Put(static_cast<char>(0xE0 | u >> 12));
      out.Put(static_cast<char>(0x80 | (u >> 6 & 0x3F)));
      out.Put(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
}

// RTF: printable ASCII as it is, its specials escaped, every other code unit as \uN? (N signed).
template <class Out>
void PutRtf(Out& out, const wchar_t* s, size_t n) {
  for (size_t i = 0; i < n;) {
    if ((i = PutPlain(out, s, i, n, RtfPlain)) == n) break;
    const wchar_t c = s[i++];
    if (c == L'\\' || c == L'{' || c == L'}') {
      out.Put('\\');
      out.Put(static_cast<char>(c));
    } else {
      char number[16];
      const int length = std::snprintf(number, sizeof number, "\\u%d?", static_cast<int16_t>(c));
      out.Put(number, static_cast<size_t>(length));
    }
  }
}

// The formats of the selection, each measured and then written by the same code.
class ClipFormats {
 public:
  ClipFormats(const CellText& cells, const wchar_t* text, size_t length,
              const std::vector<int>& widths, const std::wstring& fontName)
      : cells_(cells),
        text_(text),
        length_(length),
        separator_(ListSeparator()),
        fontName_(fontName) {
    rtfRow_ = "\\trowd\\trgaph60";
    int right = 0;
    for (int w : widths) rtfRow_ += "\\cellx" + std::to_string(right += w * 15);
    rtfRow_ += "\r\n";
    // Plain ASCII passes the ANSI code page unchanged, so rows of it need no conversion.
    wchar_t ascii[127];
    char bytes[127 * 2];
    for (int c = 1; c < 128; ++c) ascii[c - 1] = static_cast<wchar_t>(c);
    asciiSame_ =
        WideCharToMultiByte(CP_ACP, 0, ascii, 127, bytes, sizeof bytes, nullptr, nullptr) == 127;
    for (int c = 1; c < 128 && asciiSame_; ++c) asciiSame_ = bytes[c - 1] == c;
    Measure measure;
    measure.PutInCodePage(CP_ACP, separator_.data(), separator_.size());
    separatorAnsi_.resize(measure.Size);
    Store store{separatorAnsi_.data(), separatorAnsi_.data()};
    store.PutInCodePage(CP_ACP, separator_.data(), separator_.size());
  }

  // Measures a format, then writes it into memory of exactly its size and the text's
  // terminating NUL; nullptr when there is no memory for it.
  template <class F>
  static std::unique_ptr<Global> Build(F&& write) {
    Measure measure;
    write(measure);
    auto memory = std::make_unique<Global>(measure.Size + 1);
    if (!memory->Data()) return nullptr;
    Store store{memory->Data(), memory->Data()};
    write(store);
    *store.At = 0;
    return memory;
  }

  // CSV: a field is quoted (its quotes doubled) when it holds the separator, a quote or a line
  // break. The text is in the ANSI code page, which maps each character on its own.
  template <class Out>
  void Csv(Out& out) {
    std::wstring quoted;
    cells_.Walk(text_, [&](size_t, size_t column, const wchar_t* s, size_t n) {
      if (column) out.Put(separatorAnsi_.data(), separatorAnsi_.size());
      // One look at the cell tells whether it needs quotes and whether it is plain ASCII.
      const wchar_t separator = separator_.size() == 1 ? separator_[0] : L'"';
      bool quote = false, ascii = asciiSame_;
      for (size_t i = 0; i < n; ++i) {
        const wchar_t c = s[i];
        quote |= c == L'"' || c == L'\r' || c == L'\n' || c == separator;
        ascii &= c < 0x80;
      }
      if (separator_.size() > 1 && !quote)
        quote = std::wstring_view(s, n).find(separator_) != std::wstring_view::npos;
      if (!quote) {
        PutAnsi(out, s, n, ascii);
      } else {
        quoted.assign(1, L'"');
        for (size_t i = 0; i < n; ++i) {
          if (s[i] == L'"') quoted += L'"';
          quoted += s[i];
        }
        quoted += L'"';
        PutAnsi(out, quoted.data(), quoted.size(), ascii);
      }
      if (column + 1 == cells_.Columns()) out.Put("\r\n");
    });
  }

  template <class Out>
  void Text(Out& out) {
    out.PutInCodePage(CP_ACP, text_, length_);
  }

  template <class Out>
  void Html(Out& out) {
    static const char head[] =
        "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\n"
        "EndFragment:%010zu\r\n";
    static const char before[] = "<html><body>\r\n<!--StartFragment-->";
    static const char after[] = "<!--EndFragment-->\r\n</body></html>";
    char buf[160];
    const size_t headLength = static_cast<size_t>(
        std::snprintf(buf, sizeof buf, head, size_t{0}, size_t{0}, size_t{0}, size_t{0}));
    const size_t startFragment = headLength + sizeof before - 1;
    const size_t endFragment = startFragment + htmlFragment_;
    std::snprintf(buf, sizeof buf, head, headLength, endFragment + sizeof after - 1, startFragment,
                  endFragment);
    out.Put(buf, headLength);
    out.Put(before);
    const size_t start = out.Written();
    out.Put("<table border=\"1\" cellspacing=\"0\">\r\n");
    cells_.Walk(text_, [&](size_t row, size_t column, const wchar_t* s, size_t n) {
      if (!column) out.Put("<tr>");
      out.Put(row ? "<td>" : "<th>", 4);
      PutHtml(out, s, n);
      out.Put(row ? "</td>" : "</th>", 5);
      if (column + 1 == cells_.Columns()) out.Put("</tr>\r\n");
    });
    out.Put("</table>");
    htmlFragment_ = out.Written() - start;  // the measuring walk tells the writing one
    out.Put(after);
  }

  template <class Out>
  void Rtf(Out& out) {
    out.Put("{\\rtf1\\ansi\\ansicpg");
    const std::string codePage = std::to_string(GetACP());
    out.Put(codePage.data(), codePage.size());
    out.Put("\\deff0{\\fonttbl{\\f0\\fswiss ");
    PutRtf(out, fontName_.data(), fontName_.size());
    out.Put(";}}\r\n");
    cells_.Walk(text_, [&](size_t row, size_t column, const wchar_t* s, size_t n) {
      if (!column) out.Put(rtfRow_.data(), rtfRow_.size());
      out.Put(row ? "\\intbl " : "\\intbl\\b ", row ? 7 : 9);
      PutRtf(out, s, n);
      if (row)
        out.Put("\\cell ");
      else
        out.Put("\\b0\\cell ");
      if (column + 1 == cells_.Columns()) out.Put("\\row\r\n");
    });
    out.Put('}');
  }

 private:
  // Text in the ANSI code page; Ascii: all of it is plain ASCII, which that code page keeps.
  template <class Out>
  static void PutAnsi(Out& out, const wchar_t* s, size_t n, bool ascii) {
    if (ascii)
      out.PutAscii(s, n);
    else
      out.PutInCodePage(CP_ACP, s, n);
  }

  const CellText& cells_;
  const wchar_t* text_;
  size_t length_;
  std::wstring separator_;
  std::string separatorAnsi_;
  const std::wstring& fontName_;
  std::string rtfRow_;
  bool asciiSame_ = false;
  size_t htmlFragment_ = 0;
};

}  // namespace

const std::vector<std::wstring>& ListView::ClipboardFormats() {
  static const std::vector<std::wstring> formats = {
      L"CSV",          L"HTML Format",      L"Plain text", L"Rich Text Format Without Objects",
      L"Unicode text", L"Virtual Tree Data"};
  return formats;
}

bool ListView::CopyToClipboard() {
  if (!HandleAllocated() || SelectedCount() == 0) return false;
  const std::vector<int> order = ColumnOrder();
  if (order.empty()) return false;  // no cells to copy
  const std::vector<int> rows = SelectedRows();
  std::vector<int> widths;
  CellText cells(order.size());
  for (int column : order) {
    widths.push_back(ColumnWidth(column));
    cells.Add(ColumnCaption(column));
  }
  Global tree(sizeof(ListClipData) + rows.size() * sizeof(ListClipRow));
  if (!tree.Data()) return false;
  ListClipData head{GetCurrentProcessId(), 0, reinterpret_cast<uintptr_t>(Handle())};
  std::wstring cell;
  for (int row : rows) {
    if (head.Count == 1024) cells.Expect(rows.size() + 1);
    ListNode* node = GetNode(row);
    if (!node) continue;
    for (int column : order) {
      cell.clear();
      if (OnGetText) OnGetText(node, column, cell);
      cells.Add(cell);
    }
    const ListClipRow r{node->Index, 0, reinterpret_cast<uintptr_t>(node->Data)};
    std::memcpy(tree.Data() + sizeof head + head.Count++ * sizeof r, &r, sizeof r);
  }
  std::memcpy(tree.Data(), &head, sizeof head);

  // The Unicode text first, so that its building copy can go before the others are made.
  const size_t length = cells.Text().size();
  Global unicode((length + 1) * sizeof(wchar_t));
  if (!unicode.Data()) return false;
  std::memcpy(unicode.Data(), cells.Text().c_str(), (length + 1) * sizeof(wchar_t));
  cells.Release();
  const auto* text = reinterpret_cast<const wchar_t*>(unicode.Data());

  ClipFormats formats(cells, text, length, widths, fontName_);
  auto csv = ClipFormats::Build([&](auto& out) { formats.Csv(out); });
  auto html = ClipFormats::Build([&](auto& out) { formats.Html(out); });
  auto ansi = ClipFormats::Build([&](auto& out) { formats.Text(out); });
  auto rtf = ClipFormats::Build([&](auto& out) { formats.Rtf(out); });
  if (!csv || !html || !ansi || !rtf) return false;

  if (!OpenClipboard(Handle())) return false;
  EmptyClipboard();
  const bool ok =
      csv->SetClipboard(RegisterClipboardFormatW(L"CSV")) &&
      html->SetClipboard(RegisterClipboardFormatW(L"HTML Format")) && ansi->SetClipboard(CF_TEXT) &&
      rtf->SetClipboard(RegisterClipboardFormatW(L"Rich Text Format Without Objects")) &&
      unicode.SetClipboard(CF_UNICODETEXT) &&
      tree.SetClipboard(RegisterClipboardFormatW(L"Virtual Tree Data"));
  CloseClipboard();
  return ok;
}

}  // namespace ui
