#include "PortCheck.h"

#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace drvkeltor {

namespace {

constexpr char kPortMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr int kReadAndWrite = 6;

struct PortEntry {
    std::string device;
    std::string name;  // "COM3"
};

std::vector<PortEntry> PortMap() {
    std::vector<PortEntry> entries;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortMap, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return entries;
    }
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH] = {};
        DWORD nameLength = sizeof name;
        BYTE data[32] = {};  // "COMn"
        DWORD dataLength = sizeof data - 1;
        DWORD type = REG_NONE;
        const LONG status =
            RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_SUCCESS && type == REG_SZ) {
            data[dataLength < sizeof data ? dataLength : sizeof data - 1] = 0;
            entries.push_back({name, reinterpret_cast<const char*>(data)});
        }
    }
    RegCloseKey(key);
    return entries;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'a' && a[i] <= 'z') ? static_cast<char>(a[i] - 32) : a[i];
        const char y = (b[i] >= 'a' && b[i] <= 'z') ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y) {
            return false;
        }
    }
    return true;
}

}  // namespace

PortTrouble CheckPort(unsigned port, std::string* device, unsigned long* error) {
    const std::string name = "COM" + std::to_string(port);
    device->clear();
    for (const PortEntry& entry : PortMap()) {
        if (SameName(entry.name, name)) {
            *device = entry.device;
        }
    }
    const std::string path = "\\\\.\\" + name;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return PortTrouble::None;
    }
    *error = GetLastError();
    switch (*error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DEVICE_NOT_CONNECTED:
            return PortTrouble::NoDevice;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            break;
        default:
            return PortTrouble::Other;
    }
    // The system says "access denied" for a port in use as well; whether this user may open the
    // device at all tells the two apart.
    errno = 0;
    if (!device->empty() && _access(device->c_str(), kReadAndWrite) != 0 && errno == EACCES) {
        return PortTrouble::NoPermission;
    }
    return PortTrouble::Busy;
}

std::string ListedPorts() {
    std::string list;
    for (const PortEntry& entry : PortMap()) {
        list += (list.empty() ? "" : ", ") + entry.name + " (" + entry.device + ")";
    }
    return list;
}

}  // namespace drvkeltor
