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
// "YYYYMMDD" of a real date.
bool ParseDate(const std::string& text, PrinterTime& date);

}  // namespace emu
