// Writes one REG_DWORD under HKEY_CURRENT_USER, as another program would:
//   settings_regwrite <key path> <value name> <number>
// Exit code 0 on success, 1 for bad arguments, 2 when the registry refused.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <key path> <value name> <number>\n", argv[0]);
        return 1;
    }
    const DWORD value = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0));
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, argv[1], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return 2;
    }
    const LONG status = RegSetValueExA(key, argv[2], 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : 2;
}
