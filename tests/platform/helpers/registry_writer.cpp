// A second process for the registry tests: writes to HKEY_CURRENT_USER of the registry that
// BRONTAL_REGISTRY_DIR names, as another program on the machine would.
//
//   registry_writer dword <key> <name> <value>    one DWORD
//   registry_writer many <key> <prefix> <count>   <prefix>0 .. <prefix>count-1, one write each
//   registry_writer churn <key>                   rewrites a large value until killed; prints
//                                                 "ready" once the first round is written
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HKEY Open(const char* path) {
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "create %s: %d\n", path, status);
        std::exit(2);
    }
    return key;
}

LSTATUS SetDword(HKEY key, const std::string& name, DWORD value) {
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "dword" && argc == 5) {
        HKEY key = Open(argv[2]);
        const LSTATUS status = SetDword(key, argv[3], std::strtoul(argv[4], nullptr, 0));
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? 0 : 1;
    }
    if (command == "many" && argc == 5) {
        HKEY key = Open(argv[2]);
        const unsigned long count = std::strtoul(argv[4], nullptr, 10);
        for (unsigned long i = 0; i < count; ++i) {
            const LSTATUS status = SetDword(key, argv[3] + std::to_string(i), i);
            if (status != ERROR_SUCCESS) {
                std::fprintf(stderr, "write %lu: %d\n", i, status);
                return 1;
            }
        }
        RegCloseKey(key);
        return 0;
    }
    if (command == "churn" && argc == 3) {
        HKEY key = Open(argv[2]);
        // Every byte of one round's blob is the round number, so a torn write would show.
        std::vector<BYTE> blob(200 * 1024);
        for (unsigned round = 1;; ++round) {
            std::fill(blob.begin(), blob.end(), static_cast<BYTE>(round));
            if (RegSetValueExA(key, "Blob", 0, REG_BINARY, blob.data(),
                               static_cast<DWORD>(blob.size())) != ERROR_SUCCESS) {
                return 1;
            }
            if (round == 1) {
                std::printf("ready\n");
                std::fflush(stdout);
            }
        }
    }
    std::fprintf(stderr, "usage: registry_writer dword|many|churn ...\n");
    return 2;
}
