#pragma once
// Combining marks: the characters that put themselves on the character before them.
#include <cstddef>

namespace ui {

// Whether the code point is a nonspacing or enclosing mark (categories Mn and Me). Letters
// that carry their accent themselves ("ü", "é") are not marks.
bool IsCombiningMark(char32_t c);

// The length in UTF-16 units of the combining mark that begins at Text[At] (2 for a mark
// outside the BMP), or 0 when none begins there.
size_t CombiningMarkAt(const wchar_t* text, size_t length, size_t at);

}  // namespace ui
