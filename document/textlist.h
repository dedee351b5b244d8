#pragma once
// Options of the text-list export, with the integer values the settings store. Any value that
// is not one of the named ones selects the last-named default of each type (see comments).
#include <cstdint>

enum TListFormat : int32_t { lfBSD = 0, lfMD5SUM = 1, lfSFV = 2 };  // other values: BSD
enum TLineEnd : int32_t { leCRLF = 0, leLF = 1, leCR = 2 };         // other values: CR LF
// Zero or less keeps names unchanged; other positive values: backslash.
enum TPathDelimiter : int32_t { pdKeep = 0, pdDoubleBackslash = 1, pdSlash = 2, pdBackslash = 3 };
// Other values: UTF-8 without a byte-order mark.
enum TListCharset : int32_t { csUTF8 = 0, csANSI = 1, csOEM = 2, csCodePage = 3, csMac = 4 };
