// Values between JSON and the driver: money as text ("12.50") or a number with at most four
// decimals, texts that must fit the printer's code page, and driver values as JSON.
#pragma once

#include <windows.h>

#include <nlohmann/json.hpp>

#include <string>

namespace brontald {

using Json = nlohmann::json;

// Money or a quantity as CY (times 10000): a string in the command-line client's syntax or a
// JSON number with at most four decimals. False for anything else.
bool ParseJsonMoney(const Json& value, LONGLONG* money);
// The text as the printer will hold it: UTF-8 whose every character exists in Windows-1251.
bool FitsPrinterText(const std::string& utf8);
// A driver value as JSON: integers as numbers, money as "12.50", dates as ISO text, texts as
// strings, arrays as arrays.
Json VariantJson(const VARIANT& value);
// A JSON value as the text the command-line client's value syntax reads (see Values.h); false
// for an object, or an array item that would not survive the joining.
bool JsonValueText(const Json& value, VARTYPE type, std::string* text, std::string* error);

// The JSON text of an answer; texts that are not UTF-8 are mended, never thrown on.
std::string JsonText(const Json& value);

}  // namespace brontald
