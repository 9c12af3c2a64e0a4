// The journal's CRC-32 against the standard check values and a bit-by-bit computation.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Brontal.h"

namespace {

DWORD Crc(const std::string& text) {
    return CBrontal::Crc32(reinterpret_cast<const BYTE*>(text.data()),
                           static_cast<DWORD>(text.size()));
}

// The polynomial applied one bit at a time, as the definition reads: no table to get wrong.
DWORD BitwiseCrc(const std::vector<BYTE>& data) {
    DWORD crc = 0xFFFFFFFFU;
    for (BYTE byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}

TEST(Crc32, StandardCheckValues) {
    EXPECT_EQ(Crc("123456789"), 0xCBF43926U);
    EXPECT_EQ(Crc(""), 0U);
    EXPECT_EQ(Crc("abc"), 0x352441C2U);
    EXPECT_EQ(Crc("The quick brown fox jumps over the lazy dog"), 0x414FA339U);
    EXPECT_EQ(Crc(std::string(1, '\0')), 0xD202EF8DU);
    EXPECT_EQ(Crc(std::string(32, '\xFF')), 0xFF6CAB0BU);
}

TEST(Crc32, EveryByteValueAndLengthAgreesWithTheBitwiseDefinition) {
    std::mt19937 random(1300);
    std::vector<BYTE> data;
    for (int i = 0; i < 256; ++i) {
        data.push_back(static_cast<BYTE>(i));
    }
    for (int i = 0; i < 2000; ++i) {
        data.push_back(static_cast<BYTE>(random()));
    }
    for (size_t length : {size_t{1}, size_t{2}, size_t{255}, size_t{256}, size_t{511}, size_t{512},
                          size_t{1300}, data.size()}) {
        SCOPED_TRACE(length);
        const std::vector<BYTE> part(data.begin(), data.begin() + static_cast<long>(length));
        EXPECT_EQ(CBrontal::Crc32(part.data(), static_cast<DWORD>(length)), BitwiseCrc(part));
    }
}

TEST(Crc32, ARunningValueContinuesAcrossBlocks) {
    const std::string text = "journal text read in blocks of any size";
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.data());
    for (DWORD cut = 0; cut <= text.size(); ++cut) {
        const DWORD first = CBrontal::Crc32Update(0, bytes, cut);
        EXPECT_EQ(CBrontal::Crc32Update(first, bytes + cut, static_cast<DWORD>(text.size()) - cut),
                  Crc(text));
    }
    // No bytes change nothing, and no data is no bytes.
    EXPECT_EQ(CBrontal::Crc32Update(0x12345678U, bytes, 0), 0x12345678U);
    EXPECT_EQ(CBrontal::Crc32Update(0x12345678U, nullptr, 10), 0x12345678U);
    EXPECT_EQ(CBrontal::Crc32(nullptr, 5), 0U);
}

}  // namespace
