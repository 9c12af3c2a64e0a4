// Text conversions of the XML wrapper: the library speaks UTF-8, callers Windows-1251 or UTF-16.
#pragma once

#include <windows.h>

#include <string>

namespace simplexml {

using WideText = std::basic_string<OLECHAR>;

WideText WideFromCodePage(UINT codePage, const char* text, size_t length);
std::string CodePageFromWide(UINT codePage, const WideText& text);

inline std::string Utf8(const WideText& text) {
    return CodePageFromWide(CP_UTF8, text);
}
inline WideText WideFromUtf8(const std::string& text) {
    return WideFromCodePage(CP_UTF8, text.data(), text.size());
}

}  // namespace simplexml
