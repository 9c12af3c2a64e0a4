#include "registry_text.h"

#include "codepage.h"

namespace brontal::registry {

char AnsiFromUnit(char16_t unit) {
    unsigned char byte = '?';
    if (!codepage::UnicodeToCp1251(unit, &byte)) {
        byte = '?';
    }
    return static_cast<char>(byte);
}

Text AnsiToText(std::string_view ansi) {
    Text out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        out.push_back(codepage::Cp1251ToUnicode(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string TextToAnsi(const Text& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t u : text) {
        out.push_back(AnsiFromUnit(u));
    }
    return out;
}

bool Utf8ToText(std::string_view utf8, Text& out) {
    out.clear();
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        size_t len = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if ((b0 & 0xE0) == 0xC0) {
            len = 2;
            cp = b0 & 0x1F;
            minimum = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            len = 3;
            cp = b0 & 0x0F;
            minimum = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            len = 4;
            cp = b0 & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (utf8.size() - i < len) {
            return false;
        }
        for (size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(utf8[i + k]);
            if ((b & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return true;
}

std::vector<BYTE> Utf16Bytes(const Text& text, bool terminate) {
    std::vector<BYTE> data;
    data.reserve((text.size() + 1) * 2);
    for (char16_t u : text) {
        data.push_back(static_cast<BYTE>(u & 0xFF));
        data.push_back(static_cast<BYTE>(u >> 8));
    }
    if (terminate) {
        data.push_back(0);
        data.push_back(0);
    }
    return data;
}

}  // namespace brontal::registry
