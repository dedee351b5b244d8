#pragma once
// Helpers of the main window's document commands.
#include <string>

#include "ui/prompts.h"

// The folder part of a path, with its trailing backslash; empty when it has none.
std::wstring FolderOf(const std::wstring& Path);
// Whether the first bytes of a file make it a checksum file: "<?xml", also after a byte-order
// mark, in UTF-8 or in UTF-16 (then 12 bytes). Anything else is a text list.
bool IsChecksumFileHead(const std::string& Head);
// A duration in days as "h:nn:ss.zzz".
std::wstring FormatElapsed(double Days);
// The Open (Save false) or Save dialog of checksum files; Import has its own.
ui::FileDialog ChecksumFileDialog(bool Save);
ui::FileDialog ImportFileDialog();
// The Save dialog over a proposed name; false when cancelled. A folder the dialog cannot show is
// named to the user first.
bool AskChecksumFileName(HWND Owner, std::wstring& Name);
