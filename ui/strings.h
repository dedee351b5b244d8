#pragma once
// Resource strings and the few text helpers the windows share.
//
//   std::wstring s = ui::LoadStr(IDS_SOMETHING);       // from a STRINGTABLE of the program
//   ui::Format(ui::LoadStr(IDS_ITEMS), {L"12"})        // "%s" / "%d" placeholders, in order
#include <windows.h>

#include <string>
#include <vector>

namespace ui {

// The string resource with this ID from the program's module; empty when missing.
std::wstring LoadStr(UINT id);

// Replaces the "%s" and "%d" placeholders in order with the given texts ("%%" gives "%").
std::wstring Format(const std::wstring& pattern, const std::vector<std::wstring>& args);

// A menu or button caption without its accelerator marker: "&Open..." -> "Open...",
// "Hash (&H)" -> "Hash".
std::wstring StripHotkey(const std::wstring& caption);

// UTF-8 <-> UTF-16.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// A colour as the program keeps it: 0x00BBGGRR, or a system colour when the top bit is set
// (0xFF000000 | COLOR_xxx), as the settings store it.
using Color = int32_t;
constexpr Color clWindow = static_cast<Color>(0xFF000000u | COLOR_WINDOW);
constexpr Color clBtnFace = static_cast<Color>(0xFF000000u | COLOR_BTNFACE);
COLORREF ColorToRGB(Color c);

}  // namespace ui
