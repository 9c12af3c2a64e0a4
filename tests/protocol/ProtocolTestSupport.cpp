#include "ProtocolTestSupport.h"

#include "Registry.h"
#include "Settings.h"

namespace prottest {

bool UseRetryCount(DWORD attempts) {
    testsupport::WriteRetryCount(attempts);
    HKEY settings = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, KEY_READ, &settings) !=
        ERROR_SUCCESS) {
        return false;
    }
    LoadSettings(settings);
    RegCloseKey(settings);
    return ExtenderSettings.cmdRetryCount.load() == attempts;
}

}  // namespace prottest
