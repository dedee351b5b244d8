#include "document/uniconv.h"

#include <windows.h>

#include <cwchar>
#include <memory>

namespace {

using GetCPInfoExAProc = BOOL(WINAPI*)(UINT, DWORD, LPCPINFOEXA);
using GetCPInfoExWProc = BOOL(WINAPI*)(UINT, DWORD, LPCPINFOEXW);
using EnumSystemCodePagesWProc = BOOL(WINAPI*)(CODEPAGE_ENUMPROCW, DWORD);

// Filled by the enumeration callbacks, which get no context pointer. Created by the first
// callback, so it stays null when the system reports no code page. Never freed.
TCodePageItems* List = nullptr;
GetCPInfoExAProc InfoExA = nullptr;
GetCPInfoExWProc InfoExW = nullptr;

// Older systems lack some of these entry points, hence the lookup by name.
template <typename Proc>
Proc Kernel32Proc(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC proc = kernel ? GetProcAddress(kernel, name) : nullptr;
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(proc));
}

void AddCodePage(uint32_t number, std::wstring name, const std::wstring& numberText) {
  if (!List) List = new TCodePageItems;
  // A failing name query leaves the number as the name, as when the query is missing.
  if (name.empty()) name = numberText;
  List->push_back({std::move(name), number});
}

BOOL CALLBACK EnumCodePageW(LPWSTR text) {
  std::wstring numberText = text ? text : L"";
  auto number = static_cast<uint32_t>(std::wcstoul(numberText.c_str(), nullptr, 10));
  std::wstring name;
  CPINFOEXW info{};
  if (InfoExW && InfoExW(number, 0, &info)) {
    name.assign(info.CodePageName, wcsnlen(info.CodePageName, MAX_PATH));
  }
  AddCodePage(number, std::move(name), numberText);
  return TRUE;
}

BOOL CALLBACK EnumCodePageA(LPSTR text) {
  std::string numberText = text ? text : "";
  auto number = static_cast<uint32_t>(std::strtoul(numberText.c_str(), nullptr, 10));
  std::wstring name;
  CPINFOEXA info{};
  if (InfoExA && InfoExA(number, 0, &info)) {
    name = CodePageToWide(std::string(info.CodePageName, strnlen(info.CodePageName, MAX_PATH)),
                          CP_ACP);
  }
  AddCodePage(number, std::move(name), std::wstring(numberText.begin(), numberText.end()));
  return TRUE;
}

void EnumerateCodePages() {
  InfoExA = Kernel32Proc<GetCPInfoExAProc>("GetCPInfoExA");
  InfoExW = Kernel32Proc<GetCPInfoExWProc>("GetCPInfoExW");
  auto enumW = Kernel32Proc<EnumSystemCodePagesWProc>("EnumSystemCodePagesW");
  if (enumW) {
    enumW(EnumCodePageW, CP_INSTALLED);
  } else {
    EnumSystemCodePagesA(EnumCodePageA, CP_INSTALLED);
  }
}

// The list is filled at program start, before any window exists.
const bool EnumeratedAtStart = (CodePageList(), true);

}  // namespace

const TCodePageItems* CodePageList() {
  static const bool enumerated = (EnumerateCodePages(), true);
  (void)enumerated;
  (void)EnumeratedAtStart;
  return List;
}

std::wstring ShortCodePageName(const std::wstring& Name) {
  std::wstring text = Name;
  auto open = text.find(L'(');
  if (open != std::wstring::npos) text.erase(0, open + 1);
  auto close = text.rfind(L')');
  if (close != std::wstring::npos) text.erase(close);
  return text;
}

int FillCodePageList(TCodePageItems& Target, bool FullName) {
  Target.clear();
  const TCodePageItems* list = CodePageList();
  if (!list) return -1;
  const uint32_t ansi = GetACP();
  int result = -1;
  Target.reserve(list->size());
  for (const TCodePageItem& item : *list) {
    if (item.CodePage == ansi) result = static_cast<int>(Target.size());
    Target.push_back({FullName ? item.Name : ShortCodePageName(item.Name), item.CodePage});
  }
  return result;
}

std::wstring CodePageToWide(const std::string& Bytes, uint32_t CodePage) {
  const int count = static_cast<int>(strnlen(Bytes.data(), Bytes.size()));
  const int needed = MultiByteToWideChar(CodePage, 0, Bytes.data(), count, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(needed, L'\0');
  const int done = MultiByteToWideChar(CodePage, 0, Bytes.data(), count, text.data(), needed);
  if (done <= 0) return {};
  text.resize(done);
  return text;
}

std::string WideToCodePage(const std::wstring& Text, uint32_t CodePage) {
  const int count = static_cast<int>(wcsnlen(Text.data(), Text.size()));
  const int needed =
      WideCharToMultiByte(CodePage, 0, Text.data(), count, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string bytes(needed, '\0');
  const int done =
      WideCharToMultiByte(CodePage, 0, Text.data(), count, bytes.data(), needed, nullptr, nullptr);
  if (done <= 0) return {};
  bytes.resize(done);
  return bytes;
}

bool IsAsciiBuffer(const wchar_t* P, int Count) {
  for (int i = 0; i < Count; ++i) {
    if (static_cast<unsigned>(P[i]) >= 128) return false;
  }
  return true;
}

bool IsAsciiString(const std::wstring& Text) {
  return IsAsciiBuffer(Text.data(), static_cast<int>(Text.size()));
}

bool LooksLikeUTF8(const std::string& Bytes) {
  const size_t n = Bytes.size();
  size_t i = 0;
  while (i < n) {
    const auto b = static_cast<unsigned char>(Bytes[i]);
    size_t follow;
    if (b < 0x80) {
      follow = 0;
    } else if (b >= 0xC0 && b <= 0xDF) {
      follow = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      follow = 2;
    } else {
      return false;
    }
    if (n - i - 1 < follow) return false;
    for (size_t k = 1; k <= follow; ++k) {
      const auto c = static_cast<unsigned char>(Bytes[i + k]);
      if (c < 0x80 || c > 0xBF) return false;
    }
    i += follow + 1;
  }
  return true;
}

std::wstring WideStringOfChar(wchar_t Ch, int Count) {
  return Count > 0 ? std::wstring(static_cast<size_t>(Count), Ch) : std::wstring();
}

int WidePosEx(const std::wstring& SubStr, const std::wstring& S, int Offset) {
  if (SubStr.empty() || Offset < 1) return 0;
  const auto last = static_cast<long long>(S.size()) - static_cast<long long>(SubStr.size()) + 1;
  if (Offset > last) return 0;
  const auto p = S.find(SubStr, static_cast<size_t>(Offset - 1));
  return p == std::wstring::npos ? 0 : static_cast<int>(p) + 1;
}

std::wstring WideReplaceAll(const std::wstring& Text, const std::wstring& OldText,
                            const std::wstring& NewText) {
  // Left to right, continuing after each replacement: the same result as deleting and inserting
  // in place, without moving the tail for every hit.
  if (OldText.empty()) return Text;
  size_t p = Text.find(OldText);
  if (p == std::wstring::npos) return Text;
  std::wstring result;
  result.reserve(Text.size() + NewText.size());
  size_t from = 0;
  while (p != std::wstring::npos) {
    result.append(Text, from, p - from).append(NewText);
    from = p + OldText.size();
    p = Text.find(OldText, from);
  }
  result.append(Text, from, std::wstring::npos);
  return result;
}
