// Windows-1251 as Windows maps it: every byte has a code point, 0x98 included (U+0098), so that
// any byte string survives the trip to UTF-16 and back unchanged.
#include "codepage.h"

#include <algorithm>
#include <array>
#include <utility>

namespace brontal::codepage {

namespace {

// 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F in order.
constexpr char16_t kUpperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

using ReverseEntry = std::pair<char16_t, unsigned char>;

// The 0x80-0xBF part sorted by code point, for the way back.
const std::array<ReverseEntry, 64>& ReverseTable() {
    static const std::array<ReverseEntry, 64> table = [] {
        std::array<ReverseEntry, 64> entries{};
        for (unsigned i = 0; i < 64; ++i) {
            entries[i] = {kUpperHalf[i], static_cast<unsigned char>(0x80 + i)};
        }
        std::sort(entries.begin(), entries.end());
        return entries;
    }();
    return table;
}

}  // namespace

char16_t Cp1251ToUnicode(unsigned char byte) {
    if (byte < 0x80) {
        return byte;
    }
    if (byte >= 0xC0) {
        return static_cast<char16_t>(0x0410 + (byte - 0xC0));
    }
    return kUpperHalf[byte - 0x80];
}

bool UnicodeToCp1251(char16_t unit, unsigned char* byte) {
    if (unit < 0x80) {
        *byte = static_cast<unsigned char>(unit);
        return true;
    }
    if (unit >= 0x0410 && unit <= 0x044F) {
        *byte = static_cast<unsigned char>(0xC0 + (unit - 0x0410));
        return true;
    }
    const auto& table = ReverseTable();
    auto it = std::lower_bound(table.begin(), table.end(), ReverseEntry{unit, 0});
    if (it == table.end() || it->first != unit) {
        return false;
    }
    *byte = it->second;
    return true;
}

}  // namespace brontal::codepage
