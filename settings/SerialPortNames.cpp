// The machine's serial ports as the system lists them.
#include <new>

#include "Settings.h"

namespace {
constexpr DWORD kValueNameCapacity = MAX_PATH;
}  // namespace

LONG EnumSerialPortName(DWORD index, LPSTR* portName) {
    if (!portName) {
        return ERROR_INVALID_PARAMETER;
    }
    *portName = nullptr;
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                                KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    char valueName[kValueNameCapacity] = {};
    DWORD nameLength = kValueNameCapacity;
    DWORD dataSize = 0;
    status =
        RegEnumValueA(key, index, valueName, &nameLength, nullptr, nullptr, nullptr, &dataSize);
    if (status != ERROR_SUCCESS) {
        RegCloseKey(key);
        return status;
    }
    // Two zero bytes past the data: the text ends even when the stored data carries no terminator.
    const DWORD capacity = dataSize + 2;
    char* text = new (std::nothrow) char[capacity]();
    if (!text) {
        RegCloseKey(key);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    nameLength = kValueNameCapacity;
    DWORD type = REG_NONE;
    DWORD size = dataSize;
    status = RegEnumValueA(key, index, valueName, &nameLength, nullptr, &type,
                           reinterpret_cast<LPBYTE>(text), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        delete[] text;
        return status;
    }
    *portName = text;
    return status;
}
