// COM names and the port map that ties each COMn to a device path.
#include "serial_port.h"

#include "file_errors.h"

#include <cctype>

#include <strings.h>

namespace brontal::serial {

namespace {

// The number of "COMn" (any case, optional ':'), or 0 when the text is no such name.
unsigned ComNumber(const char* text) {
    if (strncasecmp(text, "COM", 3) != 0) {
        return 0;
    }
    const char* p = text + 3;
    unsigned long n = 0;
    if (!std::isdigit(static_cast<unsigned char>(*p)) || *p == '0') {
        return 0;
    }
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        n = n * 10 + static_cast<unsigned>(*p++ - '0');
        if (n > 0xFFFFu) {
            return 0;
        }
    }
    if (*p == ':') {
        ++p;
    }
    return *p == 0 ? static_cast<unsigned>(n) : 0;
}

}  // namespace

bool ParseComName(LPCSTR name, unsigned* port) {
    const char* rest = name;
    if (name[0] == '\\' && name[1] == '\\' && name[2] == '.' && name[3] == '\\') {
        rest = name + 4;
    }
    *port = ComNumber(rest);
    return *port != 0;
}

DWORD ResolveComPort(unsigned port, std::string* devicePath) {
    HKEY map = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &map) != ERROR_SUCCESS) {
        return ERROR_FILE_NOT_FOUND;
    }
    DWORD result = ERROR_FILE_NOT_FOUND;
    for (DWORD index = 0;; ++index) {
        char name[1024];  // a device path
        DWORD nameLength = sizeof name;
        BYTE data[32];  // "COMn"
        DWORD dataLength = sizeof data - 1;
        DWORD type = REG_NONE;
        LSTATUS status =
            RegEnumValueA(map, index, name, &nameLength, nullptr, &type, data, &dataLength);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            continue;  // too long to be a port entry, or not text
        }
        data[dataLength < sizeof data ? dataLength : sizeof data - 1] = 0;
        if (ComNumber(reinterpret_cast<const char*>(data)) == port && nameLength > 0) {
            *devicePath = file::HostPath(name);
            result = ERROR_SUCCESS;
            break;
        }
    }
    RegCloseKey(map);
    return result;
}

}  // namespace brontal::serial
