// The ANSI code page (Windows-1251) and UTF-8, for the conversion functions and for the places
// where ANSI texts meet the file system or the environment.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace brontal::codepage {

constexpr UINT kAnsiCodePage = 1251;

char16_t Cp1251ToUnicode(unsigned char byte);
// False when the unit has no Windows-1251 byte.
bool UnicodeToCp1251(char16_t unit, unsigned char* byte);

// ANSI text to UTF-8, for file names and environment names.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 to ANSI; what Windows-1251 cannot hold (or what is not UTF-8) becomes '?'.
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace brontal::codepage
