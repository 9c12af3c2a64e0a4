// Values of the driver's members as text on a command line or in a script, and back: numbers in
// decimal (or 0x hexadecimal), money with a point and at most four decimals ("12.50"), dates as
// ISO text ("2026-12-08", "2026-12-08T10:20:30"; "0" is the zero date), texts as given (UTF-8),
// text arrays as items separated by '|', number arrays as numbers separated by ','.
#pragma once

#include <windows.h>

#include <string>

namespace drvkeltor {

// `text` as a value of the member type `type` (an array type is VT_ARRAY | its element type).
// The variant is initialised first and owned by the caller afterwards. On failure it is empty and
// `error` says why.
bool ParseValue(VARTYPE type, const std::string& text, VARIANT* value, std::string* error);
// The value as text for the terminal; "<type N>" for a type the tool does not show.
std::string FormatValue(const VARIANT& value);

// Money as CY (times 10000). False for anything but [-]digits[.digits], more than four
// decimals, or an amount out of range.
bool ParseMoney(const std::string& text, LONGLONG* money);
// At least two decimals, up to four: 12.50, 3.261, 0.0001, -2.75.
std::string FormatMoney(LONGLONG money);
bool ParseDate(const std::string& text, DATE* date);
std::string FormatDate(DATE date);
// A whole number from `low` to `high`, decimal or 0x hexadecimal, optional sign.
bool ParseInteger(const std::string& text, LONGLONG low, LONGLONG high, LONGLONG* number);

// The text without the spaces and tabs at either end.
std::string Trimmed(const std::string& text);

// UTF-8 and BSTR.
BSTR BstrFromUtf8(const std::string& utf8);
std::string Utf8FromBstr(BSTR text);

}  // namespace drvkeltor
