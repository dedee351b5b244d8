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
