#include "PortMap.h"

#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include <brontal_portmap.h>

namespace emu {

namespace {

// "COMn" with n from 1 up, in either case; 0 for anything else.
int ComNumber(const char* text) {
    if ((text[0] != 'C' && text[0] != 'c') || (text[1] != 'O' && text[1] != 'o') ||
        (text[2] != 'M' && text[2] != 'm') || text[3] == '\0') {
        return 0;
    }
    int n = 0;
    for (const char* p = text + 3; *p; ++p) {
        if (*p < '0' || *p > '9' || n > 100000) {
            return 0;
        }
        n = n * 10 + (*p - '0');
    }
    return n;
}

struct PortMapEntry {
    std::string device;
    int number;
};

// The entries of the open key; ERROR_SUCCESS or the enumeration's failure.
LONG ReadEntries(HKEY key, std::vector<PortMapEntry>& entries) {
    // Device paths are short; a value name of the registry is at most 16383 characters.
    static constexpr DWORD kNameCapacity = 16384;
    static constexpr DWORD kDataCapacity = 64;
    std::vector<char> name(kNameCapacity);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = kNameCapacity;
        BYTE data[kDataCapacity] = {};
        DWORD dataLength = kDataCapacity - 1;  // keep a terminator
        DWORD type = 0;
        LONG rc =
            RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data, &dataLength);
        if (rc == ERROR_NO_MORE_ITEMS) {
            return ERROR_SUCCESS;
        }
        if (rc == ERROR_MORE_DATA) {
            continue;  // not a "COMn" we could clash with
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (type != REG_SZ) {
            continue;
        }
        data[dataLength < kDataCapacity ? dataLength : kDataCapacity - 1] = 0;
        entries.push_back(
            {std::string(name.data(), nameLength), ComNumber(reinterpret_cast<const char*>(data))});
    }
}

}  // namespace

int AddPortMapEntry(const std::string& devicePath, int n) {
    if (devicePath.empty() || n < 0) {
        return -ERROR_INVALID_PARAMETER;
    }
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPortMapKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        return -rc;
    }
    std::vector<PortMapEntry> entries;
    rc = ReadEntries(key, entries);
    if (rc == ERROR_SUCCESS) {
        std::set<int> taken;
        for (const PortMapEntry& entry : entries) {
            if (entry.device != devicePath && entry.number > 0) {
                taken.insert(entry.number);
            }
        }
        if (n == 0) {
            n = 1;
            while (taken.count(n) != 0) {
                ++n;
            }
        } else if (taken.count(n) != 0) {
            rc = ERROR_ALREADY_EXISTS;
        }
    }
    if (rc == ERROR_SUCCESS) {
        std::string data = "COM" + std::to_string(n);
        rc = RegSetValueExA(key, devicePath.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1));
    }
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS) {
        // The entry lasts only as long as this process: one left behind by a printer that was
        // killed would lead to a pseudo-terminal the system has given to someone else.
        rc = BrontalClaimPortMapEntry(devicePath.c_str());
        if (rc != ERROR_SUCCESS) {
            RemovePortMapEntry(devicePath);
        }
    }
    return rc == ERROR_SUCCESS ? n : -rc;
}

int RemovePortMapEntry(const std::string& devicePath) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortMapKey, 0, KEY_SET_VALUE, &key);
    if (rc == ERROR_FILE_NOT_FOUND) {
        return 0;
    }
    if (rc != ERROR_SUCCESS) {
        return -rc;
    }
    rc = RegDeleteValueA(key, devicePath.c_str());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? 0 : -rc;
}

int FindPortMapEntry(const std::string& devicePath) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortMapKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    std::vector<PortMapEntry> entries;
    LONG rc = ReadEntries(key, entries);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        return 0;
    }
    for (const PortMapEntry& entry : entries) {
        if (entry.device == devicePath) {
            return entry.number;
        }
    }
    return 0;
}

}  // namespace emu
