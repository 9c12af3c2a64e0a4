// Reading the fields of a request as the printer checks them: anything it cannot take is a bad
// parameter (device error 3), never a guess.
#pragma once

#include <cstdint>
#include <string>

#include "PrinterState.h"
#include "Request.h"

namespace emu {

// Decimal digits only (no sign, no spaces), at most `max`.
bool ParseNumber(const std::string& text, uint32_t max, uint32_t& value);
// Text that may go on paper: printable characters and line feeds, at most `maxLength` bytes.
bool IsDocumentText(const std::string& text, size_t maxLength);
// A session or table start number: absent or empty (0: the current one, or the start), or a
// number of up to four digits.
bool ParseOptionalNumber(const Request& request, size_t index, uint32_t& number);
// Hexadecimal digits of either case, one to eight of them (the driver sends "%lX").
// The value of one hex digit of either case; -1 for any other character.
int HexDigit(char c);

bool ParseHex(const std::string& text, uint32_t& value);
// Two hexadecimal digits a byte, high nibble first, digits of either case; false for an odd
// count or another character.
bool ParseHexBytes(const std::string& text, std::string& bytes);
// The bytes as upper-case hexadecimal, two digits a byte.
std::string HexBytes(const std::string& bytes);
// "YYYYMMDD" of a real date.
bool ParseDate(const std::string& text, PrinterTime& date);

}  // namespace emu
