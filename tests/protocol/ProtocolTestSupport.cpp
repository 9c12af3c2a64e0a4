#include "ProtocolTestSupport.h"

#include <string>

#include "Settings.h"

namespace prottest {

bool UseRetryCount(DWORD attempts) {
    HKEY fiscal = nullptr;
    const std::string path = std::string(kSettingsKeyName) + "\\" + kFiscalKeyName;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &fiscal, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG written = RegSetValueExA(fiscal, "CmdRetryCount", 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&attempts), sizeof attempts);
    RegCloseKey(fiscal);
    if (written != ERROR_SUCCESS) {
        return false;
    }
    HKEY settings = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, KEY_READ, &settings) !=
        ERROR_SUCCESS) {
        return false;
    }
    LoadSettings(settings);
    RegCloseKey(settings);
    return ExtenderSettings.cmdRetryCount.load() == attempts;
}

SYSTEMTIME LocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

}  // namespace prottest
