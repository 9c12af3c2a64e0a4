// Numbers and dates as Automation texts: parsing for VariantChangeType and the texts it writes.
#pragma once

#include <oleauto.h>

#include <string>

namespace ole {

// An exact decimal read from text: (negative ? -1 : 1) * digits * 10^exponent. digits has no
// leading or trailing zeros and is empty for zero.
struct Decimal {
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

// An integer magnitude with its sign, large enough for any 64-bit value and its rounding.
struct Integer {
    bool negative = false;
    unsigned __int128 magnitude = 0;
};

// Optional spaces, an optional sign, digits with '.' or ',' as the decimal separator, an optional
// exponent, optional spaces. False when the text is not such a number.
bool ParseNumber(const OLECHAR* text, std::size_t length, Decimal& number);
// value * 10^scale rounded half to even; false when the result is far beyond 64 bits.
bool RoundDecimal(const Decimal& number, int scale, Integer& result);
// The nearest double; false when it is beyond the double range (tiny values give 0).
bool DecimalToDouble(const Decimal& number, double& value);

// Half to even, as Automation rounds reals to integers; false for NaN, infinities and
// magnitudes of 2^64 and beyond.
bool RoundReal(double value, Integer& result);

// "True" / "False" in any case, surrounded by optional spaces.
bool ParseBoolText(const OLECHAR* text, std::size_t length, bool& value);
// "YYYY-MM-DD", "YYYY-MM-DD hh:mm[:ss]", "YYYY-MM-DDThh:mm[:ss]" or "hh:mm[:ss]" (on day 0).
bool ParseDateText(const OLECHAR* text, std::size_t length, DATE& date);

std::string FormatInteger(const Integer& value);
// significantDigits: 15 for R8 and 7 for R4, as Automation writes them ("0.1", "1E+20").
std::string FormatReal(double value, int significantDigits);
// At most four decimals and no trailing zeros: "12.5", "-3", "0.0001".
std::string FormatCurrency(LONGLONG value);
// "YYYY-MM-DD hh:mm:ss"; false outside the Automation date range.
bool FormatDate(DATE date, std::string& text);

// A BSTR of an ASCII text; NULL when out of memory.
BSTR AllocAsciiString(const std::string& text);

}  // namespace ole
