#include "Wire.h"

#include <cstdio>

namespace testsupport {

char CheckByte(const std::string& bytes) {
    char check = 0;
    for (char byte : bytes) {
        check = static_cast<char>(check ^ byte);
    }
    return check;
}

std::string Frame(char sequence, const std::string& payload) {
    const std::string body = sequence + payload + '\x03';
    return '\x02' + body + CheckByte(body);
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '\\') {
            char hex[8];  // "\xHH" and the terminator
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Printable(const std::vector<std::string>& requests) {
    std::string out;
    for (const std::string& request : requests) {
        out += "[" + Printable(request) + "] ";
    }
    return out;
}

std::string HexBytes(const std::string& bytes) {
    std::string out;
    for (unsigned char byte : bytes) {
        char hex[4];  // two digits and the terminator
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(byte));
        out += hex;
    }
    return out;
}

std::string HexNumber(DWORD value) {
    char hex[12];  // at most eight digits and the terminator
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(value));
    return hex;
}

DWORD Crc32(const std::string& bytes) {
    DWORD crc = 0xFFFFFFFFU;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ ((crc & 1U) ? 0xEDB88320U : 0U);
        }
    }
    return ~crc;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace testsupport
