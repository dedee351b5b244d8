#include "ui/shaping.h"

#include <windows.h>
#include <usp10.h>

#include <vector>

namespace ui {

namespace {

constexpr wchar_t kGuard = 0x200F;  // right-to-left mark

std::vector<WORD> CharTypes(const std::wstring& text, DWORD kind) {
  std::vector<WORD> types(text.size(), 0);
  if (!text.empty()) GetStringTypeW(kind, text.data(), static_cast<int>(text.size()), types.data());
  return types;
}

using ItemizeFn = HRESULT(WINAPI*)(const WCHAR*, int, int, const SCRIPT_CONTROL*,
                                   const SCRIPT_STATE*, SCRIPT_ITEM*, int*);

// Wine's own itemizer: where the shaper will start its runs.
ItemizeFn Itemizer() {
  static const ItemizeFn itemize = [] {
    HMODULE usp = LoadLibraryW(L"usp10.dll");
    return usp ? reinterpret_cast<ItemizeFn>(
                     reinterpret_cast<void*>(GetProcAddress(usp, "ScriptItemize")))
               : nullptr;
  }();
  return itemize;
}

// Calls Found with the position of every character of Text at which the itemizer starts a
// left-to-right run, line by line, as an edit control's default (left-to-right) paragraph has
// them.
template <class F>
void ForEachLeftToRightStart(const std::wstring& text, F&& found) {
  ItemizeFn itemize = Itemizer();
  if (!itemize) return;
  std::vector<SCRIPT_ITEM> items;
  for (size_t line = 0; line < text.size();) {
    size_t end = text.find_first_of(L"\r\n", line);
    if (end == std::wstring::npos) end = text.size();
    const int length = static_cast<int>(end - line);
    items.resize(length + 2);
    SCRIPT_CONTROL control{};
    SCRIPT_STATE state{};
    int count = 0;
    if (length > 0 &&
        SUCCEEDED(itemize(text.data() + line, length, static_cast<int>(items.size()) - 1, &control,
                          &state, items.data(), &count)))
      for (int i = 0; i < count; ++i)
        if (!items[i].a.fRTL) found(line + items[i].iCharPos);
    line = end + 1;
  }
}

}  // namespace

bool OnWine() {
  static const bool wine = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

// A guard goes before every combining mark that opens a left-to-right run. Where the runs
// start is Wine's to say, and each guard may move the direction of text further on, so the
// guards are placed until its itemizer starts no such run. Marks at a line's start and after a
// space (line breaks are spaces too) get one anyway, since a multi-line edit may wrap there. One
// also goes before a mark that a guard precedes already, so that reading back can take out exactly
// one guard before each mark that has one.
std::wstring ToShapingSafe(const std::wstring& text) {
  if (!OnWine()) return text;
  const std::vector<WORD> kinds = CharTypes(text, CT_CTYPE3);
  auto isMark = [&](size_t i) { return (kinds[i] & C3_NONSPACING) != 0; };
  const std::vector<WORD> classes = CharTypes(text, CT_CTYPE1);
  std::vector<char> guarded(text.size(), 0);
  bool anyMark = false;
  for (size_t i = 0; i < text.size(); ++i)
    if (isMark(i)) {
      anyMark = true;
      guarded[i] = i == 0 || (classes[i - 1] & C1_SPACE) || text[i - 1] == kGuard;
    }
  if (!anyMark) return text;
  constexpr size_t kNone = static_cast<size_t>(-1);
  std::wstring shown;
  std::vector<size_t> source;  // the text's index of each shown character; kNone for guards
  for (bool more = true; more;) {
    shown.clear();
    source.clear();
    for (size_t i = 0; i < text.size(); ++i) {
      if (guarded[i]) {
        shown += kGuard;
        source.push_back(kNone);
      }
      shown += text[i];
      source.push_back(i);
    }
    more = false;
    ForEachLeftToRightStart(shown, [&](size_t at) {
      const size_t i = source[at];
      if (i != kNone && isMark(i) && !guarded[i]) guarded[i] = more = true;
    });
  }
  return shown;
}

std::wstring FromShapingSafe(const std::wstring& shown) {
  if (!OnWine() || shown.find(kGuard) == std::wstring::npos) return shown;
  const std::vector<WORD> kinds = CharTypes(shown, CT_CTYPE3);
  std::wstring text;
  text.reserve(shown.size());
  for (size_t i = 0; i < shown.size(); ++i)
    if (!(shown[i] == kGuard && i + 1 < shown.size() && (kinds[i + 1] & C3_NONSPACING)))
      text += shown[i];
  return text;
}

}  // namespace ui
