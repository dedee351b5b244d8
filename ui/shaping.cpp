#include "ui/shaping.h"

#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ui/marks.h"

namespace ui {

namespace {

constexpr wchar_t kDottedCircle = 0x25CC;
constexpr wchar_t kZeroWidthSpace = 0x200B;  // fills a mark's second unit outside the BMP

bool HasCombiningMark(const wchar_t* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] >= 0x300 && CombiningMarkAt(text, length, i)) return true;
  return false;
}

using AnalyseFn = decltype(&ScriptStringAnalyse);
AnalyseFn original = nullptr;

HRESULT WINAPI SafeAnalyse(HDC dc, const void* string, int length, int glyphs, int charset,
                           DWORD flags, int width, SCRIPT_CONTROL* control, SCRIPT_STATE* state,
                           const int* dx, SCRIPT_TABDEF* tabs, const BYTE* classes,
                           SCRIPT_STRING_ANALYSIS* analysis) {
  // Only Unicode text is shaped as it stands; a password field shows its mask character.
  if (charset == -1 && string && length > 0 && !(flags & SSA_PASSWORD)) {
    const auto* text = static_cast<const wchar_t*>(string);
    if (HasCombiningMark(text, length)) {
      try {
        const std::wstring shown = LayoutSafeText(std::wstring(text, length), control, state);
        return original(dc, shown.data(), length, glyphs, charset, flags, width, control, state, dx,
                        tabs, classes, analysis);
      } catch (...) {
        return E_OUTOFMEMORY;  // never shape the unsafe text
      }
    }
  }
  return original(dc, string, length, glyphs, charset, flags, width, control, state, dx, tabs,
                  classes, analysis);
}

// A loaded module as the routing knows it: another module loaded later at the same address has
// another stamp or size.
struct ModuleKey {
  HMODULE Module;
  DWORD Stamp, Size;
  auto operator<=>(const ModuleKey&) const = default;
};

ModuleKey KeyOf(HMODULE module) {
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return {module, 0, 0};
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  return {module, nt->FileHeader.TimeDateStamp, nt->OptionalHeader.SizeOfImage};
}

// The modules routed so far, sorted.
std::vector<ModuleKey> routed;

}  // namespace

int RouteTextLayout(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return 0;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return 0;
  int count = 0;
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name;
       ++imp) {
    // Without a name table the loader's bound slots hold addresses, not names: nothing to read.
    if (!imp->OriginalFirstThunk) continue;
    auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; name->u1.AddressOfData; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "ScriptStringAnalyse") != 0)
        continue;
      const auto target = reinterpret_cast<ULONG_PTR>(&SafeAnalyse);
      if (slot->u1.Function == target) continue;
      if (!original) original = reinterpret_cast<AnalyseFn>(slot->u1.Function);
      DWORD protection = 0;
      if (VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE,
                         &protection)) {
        slot->u1.Function = target;
        VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), protection, &protection);
        ++count;
      }
    }
  }
  return count;
}

bool OnWine() {
  static const bool wine = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

int GuardTextLayout() {
  if (!OnWine()) return 0;
  // The list of module handles takes microseconds (Wine's module snapshot took milliseconds);
  // each module's imports are walked once.
  static std::vector<HMODULE> modules(256);
  DWORD bytes = 0;
  for (;;) {
    const DWORD room = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
    if (!K32EnumProcessModules(GetCurrentProcess(), modules.data(), room, &bytes)) return 0;
    if (bytes <= room) break;
    modules.resize(bytes / sizeof(HMODULE) + 16);
  }
  std::vector<ModuleKey> loaded;
  loaded.reserve(bytes / sizeof(HMODULE));
  for (size_t i = 0; i < bytes / sizeof(HMODULE); ++i) loaded.push_back(KeyOf(modules[i]));
  std::sort(loaded.begin(), loaded.end());
  int walked = 0;
  for (const ModuleKey& key : loaded)
    if (!std::binary_search(routed.begin(), routed.end(), key)) {
      RouteTextLayout(key.Module);
      ++walked;
    }
  routed = std::move(loaded);  // an unloaded module is forgotten
  return walked;
}

// Each round asks Wine's own itemizer where the left-to-right runs start and shows every mark
// that opens one, with the marks following it in its run, as a circle. A circle may in turn
// end a run, so that the next mark opens one: the rounds go on until no mark opens a run.
std::wstring LayoutSafeText(const std::wstring& text, const SCRIPT_CONTROL* control,
                            const SCRIPT_STATE* state) {
  if (!HasCombiningMark(text.data(), text.size())) return text;
  SCRIPT_CONTROL itemControl = control ? *control : SCRIPT_CONTROL{};
  SCRIPT_STATE itemState = state ? *state : SCRIPT_STATE{};
  std::wstring shown = text;
  const int length = static_cast<int>(shown.size());
  std::vector<SCRIPT_ITEM> items(shown.size() + 2);
  auto showAsCircle = [&](size_t at, size_t units) {
    shown[at] = kDottedCircle;
    if (units == 2) shown[at + 1] = kZeroWidthSpace;
  };
  for (bool changed = true; changed;) {
    changed = false;
    int count = 0;
    if (FAILED(ScriptItemize(shown.data(), length, static_cast<int>(items.size()) - 1, &itemControl,
                             &itemState, items.data(), &count))) {
      // Without the runs, no mark is safe.
      for (size_t at = 0; at < shown.size(); ++at)
        if (size_t units = CombiningMarkAt(shown.data(), shown.size(), at)) showAsCircle(at, units);
      break;
    }
    for (int i = 0; i < count; ++i) {
      if (items[i].a.fRTL) continue;
      const size_t end = items[i + 1].iCharPos;
      size_t at = items[i].iCharPos;
      while (size_t units = CombiningMarkAt(shown.data(), end, at)) {
        showAsCircle(at, units);
        at += units;
        changed = true;
      }
    }
  }
  return shown;
}

}  // namespace ui
