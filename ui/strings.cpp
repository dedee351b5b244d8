#include "ui/strings.h"

#include <cwctype>

#include "ui/app.h"

namespace ui {

std::wstring LoadStr(UINT id) {
  const wchar_t* p = nullptr;
  int n = LoadStringW(
      Application::Get().Instance() ? Application::Get().Instance() : GetModuleHandleW(nullptr), id,
      reinterpret_cast<LPWSTR>(&p), 0);
  return n > 0 ? std::wstring(p, n) : std::wstring();
}

std::wstring Format(const std::wstring& pattern, const std::vector<std::wstring>& args) {
  std::wstring out;
  size_t next = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    wchar_t c = pattern[i];
    if (c == L'%' && i + 1 < pattern.size()) {
      wchar_t k = pattern[i + 1];
      if (k == L'%') {
        out += L'%';
        ++i;
        continue;
      }
      if (k == L's' || k == L'd') {
        if (next < args.size()) out += args[next];
        ++next;
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::wstring StripHotkey(const std::wstring& caption) {
  std::wstring s = caption;
  // "Text (&X)" as some locales write it: drop the whole parenthesis.
  size_t p = s.find(L"(&");
  if (p != std::wstring::npos && p + 3 < s.size() && s[p + 3] == L')') {
    size_t start = p;
    while (start > 0 && s[start - 1] == L' ') --start;
    s.erase(start, p + 4 - start);
  }
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'&') {
      if (i + 1 < s.size() && s[i + 1] == L'&') {
        out += L'&';
        ++i;
      }
      continue;
    }
    out += s[i];
  }
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

COLORREF ColorToRGB(Color c) {
  if (c < 0) return GetSysColor(c & 0xFF);
  return static_cast<COLORREF>(c);
}

}  // namespace ui
