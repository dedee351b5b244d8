#pragma once
// Text layout of edit controls under Wine.
//
// Wine's edit control (also the field of a combo box) lays out each line of its text with
// ScriptStringAnalyse. When a left-to-right run that Wine positions with OpenType marks begins
// with a combining mark (a Hebrew point at the start of a name, an Arabic vowel sign after a
// space, a Latin letter or a digit), the mark positioning reads a glyph before the run's first
// one, far outside the glyph array, and the process dies with a page fault. Every way of
// editing reaches that layout: a text the program sets, typing, deleting, pasting, cutting,
// undoing, an input method.
//
// GuardTextLayout closes that road once for every edit of the process: under Wine it points
// the system libraries' calls of ScriptStringAnalyse (their import slots) at a filter that
// hands the shaper a copy of the line in which each mark opening a left-to-right run, and the
// marks stacked on it, stand as dotted circles (U+25CC, the sign of a mark without a base).
// The copy has the same length, so carets, selections and hit tests stay where they are; only
// the picture of such a mark changes. The control's text, what the program reads back and what
// the user copies or cuts stay exactly what was typed. On Windows nothing is touched.
#include <windows.h>
#include <usp10.h>

#include <string>

namespace ui {

// Whether the program runs under Wine (ntdll exports wine_get_version there).
bool OnWine();

// Under Wine, routes the text layout of every loaded module through the filter above; later
// calls take in only the modules loaded since. Cheap enough to call whenever an edit appears.
// Returns the number of modules whose imports it walked.
int GuardTextLayout();

// Routes the module's imports of ScriptStringAnalyse through the filter; returns the number of
// import slots it changed. Imports without a name table are left alone.
int RouteTextLayout(HMODULE module);

// The text as the filter hands it to the shaper, for a paragraph of the given control and
// state (null for the defaults, as ScriptStringAnalyse takes them). It is the text itself when no
// mark opens a left-to-right run.
std::wstring LayoutSafeText(const std::wstring& text, const SCRIPT_CONTROL* control = nullptr,
                            const SCRIPT_STATE* state = nullptr);

}  // namespace ui
