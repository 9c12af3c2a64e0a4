// Hexadecimal text to bytes and back (the raw transfer and the logo upload carry bytes so):
// any text is either refused or converted, and bytes always come back as they went.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Brontal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<BYTE> bytes(size / 2 + 1);
    const int count =
        CBrontal::HexToBytes(text.c_str(), bytes.data(), static_cast<DWORD>(bytes.size()));
    if (count > static_cast<int>(bytes.size())) {
        __builtin_trap();
    }
    std::vector<char> hex(size * 2 + 1);
    const int length = CBrontal::BytesToHex(data, static_cast<DWORD>(size), hex.data(),
                                            static_cast<DWORD>(hex.size()));
    if (length != static_cast<int>(size * 2)) {
        __builtin_trap();
    }
    std::vector<BYTE> back(size + 1);
    if (CBrontal::HexToBytes(hex.data(), back.data(), static_cast<DWORD>(back.size())) !=
            static_cast<int>(size) ||
        (size > 0 && std::memcmp(back.data(), data, size) != 0)) {
        __builtin_trap();
    }
    return 0;
}
