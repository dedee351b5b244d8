#pragma once
// The texts of the checksum file for points in time (a date and a time of day, no leading
// zeros: 2004-3-7 and 9:5:0) and for the update modes ("Size, Time, Hash").
#include <cstdint>
#include <string>
#include <string_view>

#include "document/data.h"

// The times the date text can name: 1 January 1 0:0:0 to 31 December 9999 23:59:59.
constexpr int64_t FirstTextTime = -693593 * int64_t{86400};
constexpr int64_t LastTextTime = 2958466 * int64_t{86400} - 1;

// Seconds on the day scale to date text and time-of-day text.
std::wstring FormatDateText(int64_t Seconds);
std::wstring FormatTimeText(int64_t Seconds);
// Whole days times 86400, or 0 when the text does not parse; an impossible date raises
// EConvertError ("Invalid argument to date encode").
int64_t ParseDateText(std::wstring_view Text);
// Seconds of the day, or 0 when the text does not parse. Hours, minutes and seconds are not
// checked against 24 and 60.
int64_t ParseTimeText(std::wstring_view Text);

// Wide text to the system ANSI code page, quickly when it is plain ASCII.
std::string NarrowAnsi(const std::wstring& Text);
// The platform's integer syntax: optional blanks and sign, then decimal digits, or hexadecimal
// digits after "$", "x", "X" or "0x"; nothing may follow and the value must fit 64 bits.
bool TryStrToInt64(const std::string& S, int64_t& Value);
// The same for wide text, as its ANSI form.
bool TryStrToInt64(std::wstring_view S, int64_t& Value);

std::string FormatUpdateMode(TUpdateModes Modes);
// Unknown words are ignored; never fails.
TUpdateModes ParseUpdateMode(const std::string& Text);
