#include "Registry.h"

#include <gtest/gtest.h>

namespace testsupport {

void WriteValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    const LONG written =
        RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    ASSERT_EQ(written, ERROR_SUCCESS) << path << "\\" << name;
}

void WriteDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
    WriteValue(root, path, name, REG_DWORD,
               std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

void WriteText(HKEY root, const std::string& path, const std::string& name,
               const std::string& text) {
    WriteValue(root, path, name, REG_SZ, text + '\0');
}

void WriteSetting(const std::string& subkey, const std::string& name, DWORD value) {
    WriteDword(HKEY_CURRENT_USER, subkey.empty() ? kSettingsPath : kSettingsPath + "\\" + subkey,
               name, value);
}

void WriteRetryCount(DWORD attempts) {
    WriteDword(HKEY_CURRENT_USER, kFiscalPath, "CmdRetryCount", attempts);
}

DWORD ReadDword(HKEY root, const std::string& path, const std::string& name, DWORD missing) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return missing;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    const LONG rc =
        RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? value : missing;
}

bool MapPort(const std::string& device, const std::string& port) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG rc =
        RegSetValueExA(key, device.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                       static_cast<DWORD>(port.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::string PortMapEntry(const std::string& device) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    char data[64] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    const LONG rc =
        RegQueryValueExA(key, device.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : std::string();
}

}  // namespace testsupport
