// List view: the selected rows on the clipboard.
//
// A long selection makes every format hundreds of megabytes, and the clipboard keeps each one
// as it is handed over, at a cost of seconds. So the copy only takes each cell's text once,
// into the Unicode text (which is one of the formats), and announces the formats; each is made
// when a paste first asks for it, written from that text straight into the memory handed to the
// clipboard: a first walk over the cells measures it, a second fills it.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "ui/app.h"
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
// cells are noted with their lengths. The text is kept in global memory, so that once nothing
// else is to be made from it, it can become the Unicode text on the clipboard as it is.
class CellText {
 public:
  CellText(size_t columns, size_t rows) : columns_(columns), rows_(rows) {}
  ~CellText() {
    if (handle_) {
      GlobalUnlock(handle_);
      GlobalFree(handle_);
    }
  }
  CellText(const CellText&) = delete;
  CellText& operator=(const CellText&) = delete;

  // The next cell of the row; a row has Columns cells.
  void Add(const std::wstring& cell) {
    bool breaks = false;
    for (wchar_t c : cell) breaks |= c == L'\t' || c == L'\r' || c == L'\n';
    if (breaks) odd_.push_back({cells_, cell.size()});
    if (capacity_ - size_ < cell.size() + 2) Grow(cell.size() + 2);
    std::wmemcpy(text_ + size_, cell.data(), cell.size());
    size_ += cell.size();
    if (++cells_ % columns_) {
      text_[size_++] = L'\t';
    } else {
      text_[size_++] = L'\r';
      text_[size_++] = L'\n';
    }
  }
  size_t Rows() const { return cells_ / columns_; }
  size_t Columns() const { return columns_; }
  const wchar_t* Text() const { return text_; }
  size_t Length() const { return size_; }

  // Hands the text with its terminating NUL to the clipboard, in memory of just that size;
  // true when the clipboard took it, and then the text is gone.
  bool SetClipboard(UINT format) {
    if (!handle_) return false;
    text_[size_] = 0;
    GlobalUnlock(handle_);
    // Shrunk where it lies; when it cannot be, the text stays and is copied instead.
    if (GlobalReAlloc(handle_, (size_ + 1) * sizeof(wchar_t), 0)) {
      capacity_ = size_;
      if (SetClipboardData(format, handle_)) {
        handle_ = nullptr;
        text_ = nullptr;
        size_ = capacity_ = 0;
        return true;
      }
    }
    text_ = static_cast<wchar_t*>(GlobalLock(handle_));
    return false;
  }

  // Calls Cell(row, column, text, length) for every cell, in order.
  template <class F>
  void Walk(F&& Cell) const {
    size_t at = 0, cell = 0, odd = 0;
    for (size_t row = 0; row < Rows(); ++row)
      for (size_t column = 0; column < columns_; ++column, ++cell) {
        const bool last = column + 1 == columns_;
        size_t length;
        if (odd < odd_.size() && odd_[odd].first == cell) {
          length = odd_[odd++].second;
        } else {
          const wchar_t* end = std::wmemchr(text_ + at, last ? L'\r' : L'\t', size_ - at);
          length = static_cast<size_t>(end - (text_ + at));
        }
        Cell(row, column, text_ + at, length);
        at += length + (last ? 2 : 1);
      }
  }

 private:
  // Room for Need more code units (and the NUL). Once enough rows are in to judge the rest by,
  // room for all the rows expected, so that a long text is neither copied over and over nor
  // left with much unused room.
  void Grow(size_t need) {
    const size_t rows = Rows();
    size_t room = std::max(size_ + need, std::max<size_t>(capacity_ * 2, 4096));
    if (rows >= 1024)
      room = std::max(size_ + need, std::max(size_ / rows * rows_ * 9 / 8, capacity_ * 5 / 4));
    const size_t bytes = (room + 1) * sizeof(wchar_t);
    HGLOBAL grown;
    if (handle_) {
      GlobalUnlock(handle_);
      grown = GlobalReAlloc(handle_, bytes, GMEM_MOVEABLE);
    } else {
      grown = GlobalAlloc(GMEM_MOVEABLE, bytes);
    }
    if (grown) handle_ = grown;
    text_ = handle_ ? static_cast<wchar_t*>(GlobalLock(handle_)) : nullptr;
    if (!grown || !text_) throw std::bad_alloc();
    capacity_ = room;
  }

  size_t columns_;
  size_t rows_;  // expected in all
  size_t cells_ = 0;
  HGLOBAL handle_ = nullptr;
  wchar_t* text_ = nullptr;
  size_t size_ = 0, capacity_ = 0;              // code units, without the NUL
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

// The formats in the order they are announced (ListView::ClipboardFormats); those made from the
// cell texts come first.
enum class ClipFormat { Csv, Html, Text, Rtf, Unicode, Rows };
constexpr size_t ClipFormatCount = 6;

// The selection as it was copied: the formats are made from it when they are asked for, so
// the list may change or go in the meantime.
struct ClipSnapshot {
  ClipSnapshot(size_t columns, size_t rows, const std::wstring& fontName)
      : Cells(columns, rows + 1), FontName(fontName), Separator(ListSeparator()) {
    Widths.reserve(columns);
  }
  CellText Cells;
  std::vector<int> Widths;  // of the columns, in display order
  std::wstring FontName;
  std::wstring Separator;  // the locale's list separator
  std::vector<char> Rows;  // the list's own format, as it is handed over
  bool Rendered[ClipFormatCount] = {};
};

// The formats of a copy, each measured and then written by the same code.
class ClipFormats {
 public:
  explicit ClipFormats(const ClipSnapshot& copy)
      : cells_(copy.Cells),
        text_(copy.Cells.Text()),
        length_(copy.Cells.Length()),
        separator_(copy.Separator),
        fontName_(copy.FontName) {
    rtfRow_ = "\\trowd\\trgaph60";
    int right = 0;
    for (int w : copy.Widths) rtfRow_ += "\\cellx" + std::to_string(right += w * 15);
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
    cells_.Walk([&](size_t, size_t column, const wchar_t* s, size_t n) {
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
    cells_.Walk([&](size_t row, size_t column, const wchar_t* s, size_t n) {
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
    cells_.Walk([&](size_t row, size_t column, const wchar_t* s, size_t n) {
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
  const std::wstring& separator_;
  std::string separatorAnsi_;
  const std::wstring& fontName_;
  std::string rtfRow_;
  bool asciiSame_ = false;
  size_t htmlFragment_ = 0;
};

// Makes one format of a copy; nullptr when there is no memory for it.
std::unique_ptr<Global> RenderFormat(const ClipSnapshot& copy, ClipFormat format) {
  if (format == ClipFormat::Rows) {
    auto memory = std::make_unique<Global>(copy.Rows.size());
    if (!memory->Data()) return nullptr;
    std::memcpy(memory->Data(), copy.Rows.data(), copy.Rows.size());
    return memory;
  }
  if (format == ClipFormat::Unicode) {
    const size_t bytes = (copy.Cells.Length() + 1) * sizeof(wchar_t);
    auto memory = std::make_unique<Global>(bytes);
    if (!memory->Data()) return nullptr;
    std::memcpy(memory->Data(), copy.Cells.Text(), bytes - sizeof(wchar_t));
    std::memset(memory->Data() + bytes - sizeof(wchar_t), 0, sizeof(wchar_t));
    return memory;
  }
  ClipFormats formats(copy);
  switch (format) {
    case ClipFormat::Csv:
      return ClipFormats::Build([&](auto& out) { formats.Csv(out); });
    case ClipFormat::Html:
      return ClipFormats::Build([&](auto& out) { formats.Html(out); });
    case ClipFormat::Text:
      return ClipFormats::Build([&](auto& out) { formats.Text(out); });
    default:
      return ClipFormats::Build([&](auto& out) { formats.Rtf(out); });
  }
}

// The clipboard's number for a format.
UINT ClipFormatId(ClipFormat format) {
  static const auto ids = [] {
    std::array<UINT, ClipFormatCount> id{};
    for (size_t f = 0; f < ClipFormatCount; ++f)
      id[f] = f == size_t(ClipFormat::Text) ? CF_TEXT
              : f == size_t(ClipFormat::Unicode)
                  ? CF_UNICODETEXT
                  : RegisterClipboardFormatW(ListView::ClipboardFormats()[f].c_str());
    return id;
  }();
  return ids[size_t(format)];
}

const wchar_t ClipOwnerClass[] = L"JvListClipboard";

}  // namespace

// A hidden window that owns the clipboard after a copy and makes each format from the copy's
// snapshot when it is first asked for. A list of many rows gives formats of hundreds of
// megabytes each, and the clipboard keeps whatever it is handed; made on demand, a format the
// paste does not want costs nothing. Before the window goes, it hands over every format not yet
// made, so that the copy outlives the list and the program.
class ListView::ClipOwner {
 public:
  ClipOwner() {
    const HINSTANCE instance = Application::Get().Instance();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, ClipOwnerClass, &wc)) {
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = Proc;
      wc.hInstance = instance;
      wc.lpszClassName = ClipOwnerClass;
      RegisterClassExW(&wc);
    }
    hwnd_ = CreateWindowExW(0, ClipOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                            this);
  }
  ~ClipOwner() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  ClipOwner(const ClipOwner&) = delete;
  ClipOwner& operator=(const ClipOwner&) = delete;

  // Takes the clipboard and announces every format of the copy, in order.
  bool Offer(std::unique_ptr<ClipSnapshot> copy) {
    if (!hwnd_ || !OpenClipboard(hwnd_)) return false;
    // Emptying tells the previous owner (perhaps this window) to let its copy go.
    bool ok = EmptyClipboard();
    if (ok) {
      copy_ = std::move(copy);
      SetLastError(ERROR_SUCCESS);
      for (size_t f = 0; f < ClipFormatCount; ++f)
        SetClipboardData(ClipFormatId(static_cast<ClipFormat>(f)), nullptr);
      ok = GetLastError() == ERROR_SUCCESS;
    }
    CloseClipboard();
    return ok;
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
      SetWindowLongPtrW(
          hwnd, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<ClipOwner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
      switch (msg) {
        case WM_RENDERFORMAT:
          self->Render(static_cast<UINT>(wp));
          return 0;
        case WM_RENDERALLFORMATS:
          self->RenderAll();
          return 0;
        case WM_DESTROYCLIPBOARD:
          self->copy_.reset();
          return 0;
        case WM_NCDESTROY:
          self->hwnd_ = nullptr;
          break;
      }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  // Hands one format over (the clipboard is open: whoever asked for it opened it).
  void Render(UINT id) {
    if (!copy_) return;
    bool* rendered = copy_->Rendered;
    for (size_t f = 0; f < ClipFormatCount; ++f) {
      const auto format = static_cast<ClipFormat>(f);
      if (rendered[f] || ClipFormatId(format) != id) continue;
      try {
        // The Unicode text is the copy's own text once no other format is to be made from it.
        if (format == ClipFormat::Unicode &&
            std::all_of(rendered, rendered + size_t(format), [](bool r) { return r; }) &&
            copy_->Cells.SetClipboard(id)) {
          rendered[f] = true;
        } else {
          auto memory = RenderFormat(*copy_, format);
          rendered[f] = memory && memory->SetClipboard(id);
        }
      } catch (...) {
        return;  // the format stays empty; the clipboard keeps the others
      }
      break;
    }
    // Once everything is handed over, the clipboard needs nothing more of the copy.
    if (std::all_of(rendered, rendered + ClipFormatCount, [](bool r) { return r; })) copy_.reset();
  }

  // The owner is going: every format not yet made is made now, the Unicode text last.
  void RenderAll() {
    if (!copy_ || !OpenClipboard(hwnd_)) return;
    static const ClipFormat order[] = {ClipFormat::Csv, ClipFormat::Html, ClipFormat::Text,
                                       ClipFormat::Rtf, ClipFormat::Rows, ClipFormat::Unicode};
    if (GetClipboardOwner() == hwnd_)
      for (ClipFormat f : order)
        if (copy_ && !copy_->Rendered[size_t(f)]) Render(ClipFormatId(f));
    CloseClipboard();
  }

  HWND hwnd_ = nullptr;
  std::unique_ptr<ClipSnapshot> copy_;
};

void ListView::ClipOwnerFree::operator()(ClipOwner* owner) const {
  delete owner;
}

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
  // Every row selected (select all, then copy): no need to ask the list for each one.
  std::vector<int> rows;
  if (SelectedCount() == RowCount()) {
    rows.resize(RowCount());
    std::iota(rows.begin(), rows.end(), 0);
  } else {
    rows = SelectedRows();
  }
  auto copy = std::make_unique<ClipSnapshot>(order.size(), rows.size(), fontName_);
  for (int column : order) {
    copy->Widths.push_back(ColumnWidth(column));
    copy->Cells.Add(ColumnCaption(column));
  }
  copy->Rows.resize(sizeof(ListClipData) + rows.size() * sizeof(ListClipRow));
  ListClipData head{GetCurrentProcessId(), 0, reinterpret_cast<uintptr_t>(Handle())};
  std::wstring cell;
  for (int row : rows) {
    ListNode* node = GetNode(row);
    if (!node) continue;
    for (int column : order) {
      cell.clear();
      if (OnGetText) OnGetText(node, column, cell);
      copy->Cells.Add(cell);
    }
    const ListClipRow r{node->Index, 0, reinterpret_cast<uintptr_t>(node->Data)};
    std::memcpy(copy->Rows.data() + sizeof head + head.Count++ * sizeof r, &r, sizeof r);
  }
  std::memcpy(copy->Rows.data(), &head, sizeof head);

  if (!clipOwner_) clipOwner_.reset(new ClipOwner);
  return clipOwner_->Offer(std::move(copy));
}

}  // namespace ui
