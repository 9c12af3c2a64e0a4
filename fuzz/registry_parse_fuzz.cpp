// libFuzzer target for the hive file reader: any bytes must give a clean yes or no, and whatever
// is accepted must write out and read back to the same keys and values.
//
// Built apart from the main project (which uses g++):
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Iplatform/include \
//     -Iplatform/src fuzz/registry_parse_fuzz.cpp platform/src/registry_format.cpp \
//     platform/src/registry_model.cpp platform/src/registry_text.cpp \
//     platform/src/codepage_1251.cpp -o build/registry_parse_fuzz
//   build/registry_parse_fuzz -max_len=4096 -max_total_time=60
#include "registry_format.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace brontal::registry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const char16_t* rootName : {u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE"}) {
        const Text root(rootName);
        Key parsed;
        if (!ParseHive(bytes, root, parsed)) {
            continue;
        }
        const std::string written = FormatHive(parsed, root);
        Key again;
        if (!ParseHive(written, root, again) || !SameContent(parsed, again) ||
            FormatHive(again, root) != written) {
            __builtin_trap();
        }
    }
    return 0;
}
