// Text conversions the registry needs: the ANSI code page (Windows-1251) of the *A functions and
// the UTF-8 of hand-edited hive files, both to and from the UTF-16 the registry keeps.
#pragma once

#include "registry_model.h"

#include <string>
#include <string_view>
#include <vector>

namespace brontal::registry {

// With the platform's Windows-1251 table: every byte maps to one UTF-16 unit, so ANSI text
// round-trips exactly.
Text AnsiToText(std::string_view ansi);
// Units outside the code page become '?', as Windows does without a default character.
std::string TextToAnsi(const Text& text);
char AnsiFromUnit(char16_t unit);

// Strict UTF-8 (no overlong forms, no surrogates); false on any malformed sequence.
bool Utf8ToText(std::string_view utf8, Text& out);

// The UTF-16LE bytes a string value holds, with a zero unit after them when terminate is set.
std::vector<BYTE> Utf16Bytes(const Text& text, bool terminate);

}  // namespace brontal::registry
