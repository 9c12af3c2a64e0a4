// Loading the record from the settings key and saving it back.
#include <cstring>
#include <mutex>

#include "Settings.h"
#include "SettingsLock.h"
#include "SettingsPath.h"

// A save writes the values one by one and each write wakes the monitor: without this lock its
// reload would read the values not yet written and the save would then write those old ones.
// Recursive, so that a setter can hold it across its change of the record and the save.
std::recursive_mutex& SettingsStoreLock() {
    static std::recursive_mutex lock;
    return lock;
}

namespace {

// A value read as a 32-bit word; false when it is missing or is not a REG_DWORD.
bool QueryWord(HKEY key, LPCSTR name, DWORD& word) {
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&data), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) {
        return false;
    }
    word = data;
    return true;
}

// Missing or not a word: the record keeps its value.
void LoadWordOrKeep(HKEY key, LPCSTR name, SettingWord& setting) {
    DWORD word = 0;
    if (QueryWord(key, name, word)) {
        setting = word;
    }
}

// Missing or not a word: the record takes the default.
void LoadWordOrDefault(HKEY key, LPCSTR name, SettingWord& setting, DWORD fallback) {
    DWORD word = 0;
    setting = QueryWord(key, name, word) ? word : fallback;
}

void LoadTracePath(HKEY key) {
    char path[kTracePathCapacity] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof path;
    const LONG status =
        RegQueryValueExA(key, "TracePath", nullptr, &type, reinterpret_cast<LPBYTE>(path), &size);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return;
    }
    // Stored text need not carry its terminator; one that leaves no room for it does not fit.
    StoreTracePath(path, BoundedLength(path, size));
}

LONG OpenOrCreate(HKEY parent, LPCSTR name, HKEY& key) {
    LONG status = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS) {
        status = RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr);
    }
    return status;
}

LONG WriteWord(HKEY key, LPCSTR name, DWORD word) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word),
                          sizeof word);
}

LONG SaveCommunication(HKEY settingsKey) {
    HKEY key = nullptr;
    LONG status = OpenOrCreate(settingsKey, kCommunicationKeyName, key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (const DWORD port = ExtenderSettings.comPort; port != 0) {
        status = WriteWord(key, "COM", port);
    }
    if (const DWORD baud = ExtenderSettings.baud; status == ERROR_SUCCESS && baud != 0) {
        status = WriteWord(key, "Baud", baud);
    }
    RegCloseKey(key);
    return status;
}

LONG SaveFiscal(HKEY settingsKey) {
    HKEY key = nullptr;
    const LONG status = OpenOrCreate(settingsKey, kFiscalKeyName, key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // These three are best effort: only the precision's write decides the result.
    if (const DWORD minBill = ExtenderSettings.minBill; minBill != 0) {
        WriteWord(key, "MinBill", minBill);
    }
    if (const DWORD length = ExtenderSettings.hyphenationLength; length != 0) {
        WriteWord(key, "HyphenationLenth", length);
    }
    if (const DWORD retries = ExtenderSettings.cmdRetryCount; retries != 0) {
        WriteWord(key, "CmdRetryCount", retries);
    }
    const LONG result = WriteWord(key, "QuantityPrecision", ExtenderSettings.quantityPrecision);
    RegCloseKey(key);
    return result;
}

LONG SaveRecord(HKEY settingsKey) {
    LONG status = ERROR_SUCCESS;
    // A zero mask is never stored: the stored mask stays as it was.
    if (const DWORD mask = ExtenderSettings.traceMask; mask != 0) {
        status = WriteWord(settingsKey, "TraceMask", mask);
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    char path[kTracePathCapacity] = {};
    const DWORD pathLength = CopyTracePath(path, sizeof path);
    if (pathLength != 0) {
        status = RegSetValueExA(settingsKey, "TracePath", 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(path), pathLength + 1);
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    status = WriteWord(settingsKey, "DownloadEJ", ExtenderSettings.downloadEJ);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = SaveCommunication(settingsKey);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return SaveFiscal(settingsKey);
}

}  // namespace

LONG LoadSettings(HKEY settingsKey) {
    std::lock_guard<std::recursive_mutex> hold(SettingsStoreLock());
    // Like every word, a mask stored as another type is left alone: reading the bytes of a text
    // into the mask would switch traces on at random.
    LoadWordOrKeep(settingsKey, "TraceMask", ExtenderSettings.traceMask);
    LoadTracePath(settingsKey);
    DWORD limit = 0;
    // A limit of 0 would rotate the trace before every line.
    ExtenderSettings.traceFileSizeLimit =
        QueryWord(settingsKey, "TraceFileSizeLimit", limit) && limit != 0
            ? limit
            : kDefaultTraceFileSizeLimitKb;

    HKEY communication = nullptr;
    if (RegOpenKeyExA(settingsKey, kCommunicationKeyName, 0, KEY_QUERY_VALUE, &communication) ==
        ERROR_SUCCESS) {
        LoadWordOrKeep(communication, "COM", ExtenderSettings.comPort);
        LoadWordOrKeep(communication, "Baud", ExtenderSettings.baud);
        RegCloseKey(communication);
    }

    HKEY fiscal = nullptr;
    const LONG fiscalStatus =
        RegOpenKeyExA(settingsKey, kFiscalKeyName, 0, KEY_QUERY_VALUE, &fiscal);
    if (fiscalStatus == ERROR_SUCCESS) {
        LoadWordOrDefault(fiscal, "MinBill", ExtenderSettings.minBill, 1);
        LoadWordOrDefault(fiscal, "HyphenationLenth", ExtenderSettings.hyphenationLength, 0);
        LoadWordOrKeep(fiscal, "CmdRetryCount", ExtenderSettings.cmdRetryCount);
        LoadWordOrDefault(fiscal, "RefundSumMismatchLimit", ExtenderSettings.refundSumMismatchLimit,
                          0);
        LoadWordOrDefault(fiscal, "QuantityPrecision", ExtenderSettings.quantityPrecision, 0);
        RegCloseKey(fiscal);
    }

    LoadWordOrKeep(settingsKey, "PrintEJ", ExtenderSettings.printEJ);
    LoadWordOrDefault(settingsKey, "DownloadEJ", ExtenderSettings.downloadEJ, 0);
    return fiscalStatus;
}

LONG SaveSettings(HKEY hive, int portNumber, int baudRate) {
    std::lock_guard<std::recursive_mutex> hold(SettingsStoreLock());
    if (portNumber > 0) {
        ExtenderSettings.comPort = static_cast<DWORD>(portNumber);
    }
    if (baudRate > 0) {
        ExtenderSettings.baud = static_cast<DWORD>(baudRate);
    }
    HKEY settingsKey = nullptr;
    const LONG status = OpenOrCreate(hive, kSettingsKeyName, settingsKey);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const LONG result = SaveRecord(settingsKey);
    RegCloseKey(settingsKey);
    return result;
}
