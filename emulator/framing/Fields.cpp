#include "Fields.h"

#include "Fiscal.h"

namespace emu {

bool ParseNumber(const std::string& text, uint32_t max, uint32_t& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    uint64_t parsed = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        parsed = parsed * 10 + static_cast<uint64_t>(c - '0');
    }
    if (parsed > max) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool IsDocumentText(const std::string& text, size_t maxLength) {
    if (text.size() > maxLength) {
        return false;
    }
    return IsTextWithLines(text, maxLength);
}

bool ParseOptionalNumber(const Request& request, size_t index, uint32_t& number) {
    number = 0;
    const std::string& field = request.Field(index);
    return field.empty() || (field.size() <= 4 && ParseNumber(field, 9999, number));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool ParseHex(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    uint32_t parsed = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return false;
        }
        parsed = (parsed << 4) | static_cast<uint32_t>(digit);
    }
    value = parsed;
    return true;
}

bool ParseHexBytes(const std::string& text, std::string& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    std::string parsed;
    parsed.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        parsed += static_cast<char>((high << 4) | low);
    }
    bytes = std::move(parsed);
    return true;
}

std::string HexBytes(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

bool ParseDate(const std::string& text, PrinterTime& date) {
    return text.size() == 8 && ParseTimeDigits(text + "000000", date);
}

}  // namespace emu
