// The journal's CRC-32: the IEEE 802.3 polynomial, reflected, as zlib computes it.
#include <array>

#include "Brontal.h"

namespace {

constexpr DWORD kReflectedPolynomial = 0xEDB88320U;

constexpr std::array<DWORD, 256> MakeTable() {
    std::array<DWORD, 256> table{};
    for (DWORD byte = 0; byte < 256; ++byte) {
        DWORD crc = byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
        }
        table[byte] = crc;
    }
    return table;
}

constexpr std::array<DWORD, 256> kTable = MakeTable();

}  // namespace

DWORD CBrontal::Crc32Update(DWORD crc, const BYTE* data, DWORD count) {
    if (!data) {
        return crc;
    }
    // The register runs complemented, so that a running value of 0 is the start of the data.
    DWORD reg = ~crc;
    for (DWORD i = 0; i < count; ++i) {
        reg = kTable[(reg ^ data[i]) & 0xFFU] ^ (reg >> 8);
    }
    return ~reg;
}

DWORD CBrontal::Crc32(const BYTE* data, DWORD count) {
    return Crc32Update(0, data, count);
}
