#pragma once
// The bytes of one clipboard format, as the clipboard holds them (the clipboard must be open).
#include <windows.h>

#include <string>

inline std::string ClipBytes(UINT format) {
  HANDLE h = GetClipboardData(format);
  if (!h) return {};
  const char* p = static_cast<const char*>(GlobalLock(h));
  std::string bytes(p, GlobalSize(h));
  GlobalUnlock(h);
  return bytes;
}

// The Unicode text on the clipboard, up to its end mark; opens and closes the clipboard itself.
inline std::wstring ClipboardText() {
  if (!OpenClipboard(nullptr)) return L"<clipboard busy>";
  std::string bytes = ClipBytes(CF_UNICODETEXT);
  CloseClipboard();
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  return text.substr(0, text.find(L'\0'));
}
