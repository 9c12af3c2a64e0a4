// The settings behind the driver's properties and the fiscal command layer's link settings.
#include <climits>

#include "Settings.h"
#include "SettingsLock.h"
#include "SettingsPath.h"

namespace {

LONG SaveAll() {
    return SaveSettings(HKEY_CURRENT_USER, 0, 0);
}

}  // namespace

LONG SetTraceMask(DWORD mask) {
    const std::lock_guard<std::recursive_mutex> hold(SettingsStoreLock());
    ExtenderSettings.traceMask = mask;
    return SaveAll();
}

LONG SetTracePath(LPCSTR path) {
    const std::lock_guard<std::recursive_mutex> hold(SettingsStoreLock());
    if (!path) {
        return ERROR_SUCCESS;
    }
    if (!StoreTracePath(path, BoundedLength(path, kTracePathCapacity))) {
        return ERROR_SUCCESS;
    }
    return SaveAll();
}

LONG SetMinBill(SettingsMirror& mirror, DWORD low, LONG high) {
    const std::lock_guard<std::recursive_mutex> hold(SettingsStoreLock());
    if (high < 0 || (high == 0 && low == 0)) {
        low = 1;
        high = 0;
    }
    mirror.minBill =
        static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low);
    // The record holds one word: a bill beyond it must not be saved as its low part.
    if (low != 0 && high == 0) {
        ExtenderSettings.minBill = low;
    }
    return SaveAll();
}

LONG SetHyphenationLength(SettingsMirror& mirror, LONG length) {
    const std::lock_guard<std::recursive_mutex> hold(SettingsStoreLock());
    if (length <= 0) {
        mirror.hyphenationLength = 0;
    } else {
        mirror.hyphenationLength = static_cast<DWORD>(length);
        ExtenderSettings.hyphenationLength = static_cast<DWORD>(length);
    }
    return SaveAll();
}

LONG SetDownloadEJ(SettingsMirror& mirror, LONG download) {
    const std::lock_guard<std::recursive_mutex> hold(SettingsStoreLock());
    const DWORD flag = download != 0 ? 1 : 0;
    ExtenderSettings.downloadEJ = flag;
    mirror.skipJournalDownload = flag == 0 ? 1 : 0;
    return SaveAll();
}

LONG SetQuantityPrecision(SettingsMirror& mirror, LONG precision) {
    const std::lock_guard<std::recursive_mutex> hold(SettingsStoreLock());
    DWORD clamped = 0;
    if (precision > static_cast<LONG>(kMaxQuantityPrecision)) {
        clamped = kMaxQuantityPrecision;
    } else if (precision > 0) {
        clamped = static_cast<DWORD>(precision);
    }
    mirror.quantityPrecision = clamped;
    ExtenderSettings.quantityPrecision = clamped;
    return SaveAll();
}

DWORD GetTraceMask() {
    return ExtenderSettings.traceMask;
}

DWORD GetTracePath(LPSTR buffer, DWORD capacity) {
    if (!buffer || capacity == 0) {
        return 0;
    }
    char path[kTracePathCapacity] = {};
    const DWORD length = CopyTracePath(path, sizeof path);
    if (length + 1 > capacity) {
        return 0;
    }
    for (DWORD i = 0; i <= length; ++i) {
        buffer[i] = path[i];
    }
    return length;
}

DWORD GetMinBill(SettingsMirror& mirror) {
    const DWORD minBill = ExtenderSettings.minBill;
    mirror.minBill = minBill;
    return minBill;
}

DWORD GetHyphenationLength(SettingsMirror& mirror) {
    const DWORD length = ExtenderSettings.hyphenationLength;
    mirror.hyphenationLength = length;
    return length;
}

DWORD GetDownloadEJ(SettingsMirror& mirror) {
    const DWORD flag = ExtenderSettings.downloadEJ;
    mirror.skipJournalDownload = flag == 0 ? 1 : 0;
    return flag;
}

DWORD GetQuantityPrecision(SettingsMirror& mirror) {
    const DWORD precision = ExtenderSettings.quantityPrecision;
    mirror.quantityPrecision = precision;
    return precision;
}

int ReadStoredLinkSettings(SettingsMirror& mirror, DWORD* portNumber, DWORD* baudRate) {
    if (!portNumber || !baudRate) {
        return kSettingsBadArguments;
    }
    HKEY settingsKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, KEY_QUERY_VALUE, &settingsKey) !=
        ERROR_SUCCESS) {
        return kSettingsReadFailed;
    }
    const LONG fiscalStatus = LoadSettings(settingsKey);
    RegCloseKey(settingsKey);
    const DWORD port = ExtenderSettings.comPort;
    const DWORD baud = ExtenderSettings.baud;
    if (fiscalStatus == ERROR_SUCCESS && port != 0 && baud != 0) {
        // The fiscal values reach the mirror later, through the getters.
        *portNumber = port;
        *baudRate = baud;
        return 0;
    }
    if (const DWORD minBill = ExtenderSettings.minBill; minBill != 0) {
        mirror.minBill = minBill;
    }
    if (const DWORD length = ExtenderSettings.hyphenationLength; length != 0) {
        mirror.hyphenationLength = length;
    }
    if (const DWORD limit = ExtenderSettings.refundSumMismatchLimit; limit != 0) {
        mirror.refundSumMismatchLimit = limit;
    }
    return kSettingsReadFailed;
}

int StoreLinkSettings(DWORD portNumber, DWORD baudRate) {
    // SaveSettings skips values that do not fit its arguments; that must not pass for a save.
    if (portNumber == 0 || baudRate == 0 || portNumber > INT_MAX || baudRate > INT_MAX) {
        return kSettingsBadArguments;
    }
    if (SaveSettings(HKEY_CURRENT_USER, static_cast<int>(portNumber), static_cast<int>(baudRate)) !=
        ERROR_SUCCESS) {
        return kSettingsSaveFailed;
    }
    return 0;
}
