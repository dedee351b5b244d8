#pragma once
// Texts of edit controls under Wine.
//
// Wine's edit control lays out its text with ScriptStringAnalyse. When a left-to-right run
// that Wine positions with OpenType marks (Hebrew, Arabic) begins with a combining mark, its
// mark positioning reads a glyph before the run's first one, far outside the glyph array, and
// the program dies with a page fault. Such a run arises wherever a mark has no base of its own
// script before it: at the start of a text or line, after a space, a Latin letter or a digit.
//
// The edit and combo box wrappers (ui/controls.h) hand their texts over through ToShapingSafe,
// which puts a right-to-left mark (U+200F, invisible) before each such combining mark; the
// mark then belongs to the right-to-left run, where Wine stays in bounds. Reading a text back
// goes through FromShapingSafe, which takes exactly those marks out again, so a program reads
// what it put in. Both are the identity off Wine.
#include <string>

namespace ui {

// Whether the program runs under Wine (ntdll exports wine_get_version there).
bool OnWine();

// The text as an edit control shows it, and back.
std::wstring ToShapingSafe(const std::wstring& text);
std::wstring FromShapingSafe(const std::wstring& shown);

}  // namespace ui
