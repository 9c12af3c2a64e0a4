// Opening, creating, closing and describing keys.
#include "registry_keys.h"
#include "registry_names.h"
#include "registry_notify.h"

#include <algorithm>

using namespace brontal::registry;

namespace {

// A key that vanished under an open handle reads as deleted; a missing subkey is not found.
LSTATUS Missing(const std::vector<Text>& relative) {
    return relative.empty() ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
}

LSTATUS ClassOut(LPSTR lpClass, LPDWORD lpcchClass) {
    if (lpClass) {
        if (!lpcchClass) {
            return ERROR_INVALID_PARAMETER;
        }
        if (*lpcchClass < 1) {
            return ERROR_MORE_DATA;
        }
        lpClass[0] = '\0';
    }
    if (lpcchClass) {
        *lpcchClass = 0;  // keys carry no class names here
    }
    return ERROR_SUCCESS;
}

}  // namespace

WINBASEAPI LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/,
                                        REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    SubKeyTarget target;
    LSTATUS status = ResolveSubKey(hKey, lpSubKey, target);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    KeyView view;
    status = ViewKey(target.base.root, target.path, false, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!view.Shown()) {
        return Missing(target.relative);
    }
    *phkResult = AddHandle(target.base.root, std::move(target.path), SpecificRights(samDesired));
    return ERROR_SUCCESS;
}

WINBASEAPI LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved,
                                          LPSTR /*lpClass*/, DWORD dwOptions, REGSAM samDesired,
                                          const LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/,
                                          PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    // Volatile keys are kept like the others: they outlive a restart, which harms no reader.
    if (Reserved != 0 || (dwOptions & ~static_cast<DWORD>(REG_OPTION_VOLATILE)) != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    SubKeyTarget target;
    LSTATUS status = ResolveSubKey(hKey, lpSubKey, target);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const KeyHandle& base = target.base;
    const Place place = PlacesOf(base.root, target.path).front();
    if (place.path.size() > kMaxKeyDepth) {
        return ERROR_INVALID_PARAMETER;
    }
    KeyView view;
    status = ViewKey(base.root, target.path, false, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (!view.Shown()) {
        if (!(base.access & KEY_CREATE_SUB_KEY)) {
            return ERROR_ACCESS_DENIED;
        }
        KeyView parent;
        status = ViewShownKey(base.root, base.path, false, parent);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        status = WriteHive(place.hive, [&](Key& root) {
            bool created = false;
            CreatePath(root, place.path, created);
            disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    *phkResult = AddHandle(base.root, std::move(target.path), SpecificRights(samDesired));
    if (lpdwDisposition) {
        *lpdwDisposition = disposition;
    }
    return ERROR_SUCCESS;
}

WINBASEAPI LSTATUS WINAPI RegOverridePredefKey(HKEY hKey, HKEY hNewHKey) {
    return OverridePredefined(hKey, hNewHKey);
}

WINBASEAPI LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (IsPredefined(hKey)) {
        return ERROR_SUCCESS;
    }
    ULONG_PTR id = 0;
    if (!RemoveHandle(hKey, id)) {
        return ERROR_INVALID_HANDLE;
    }
    ReleaseNotifications(id);
    return ERROR_SUCCESS;
}

WINBASEAPI LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                                        LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                                        PFILETIME lpftLastWriteTime) {
    KeyHandle handle;
    LSTATUS status = FindHandle(hKey, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!(handle.access & KEY_ENUMERATE_SUB_KEYS)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!lpName || !lpcchName || lpReserved) {
        return ERROR_INVALID_PARAMETER;
    }
    KeyView view;
    status = ViewShownKey(handle.root, handle.path, true, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const std::vector<const Key*> subkeys = MergedSubkeys(view);
    if (dwIndex >= subkeys.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    status = CopyName(subkeys[dwIndex]->name, lpName, lpcchName);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = ClassOut(lpClass, lpcchClass);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (lpftLastWriteTime) {
        *lpftLastWriteTime = view.written;
    }
    return ERROR_SUCCESS;
}

WINBASEAPI LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass,
                                           LPDWORD lpReserved, LPDWORD lpcSubKeys,
                                           LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                           LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                                           LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                                           PFILETIME lpftLastWriteTime) {
    KeyHandle handle;
    LSTATUS status = FindHandle(hKey, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!(handle.access & KEY_QUERY_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    if (lpReserved || (lpClass && !lpcchClass)) {
        return ERROR_INVALID_PARAMETER;
    }
    KeyView view;
    status = ViewShownKey(handle.root, handle.path, true, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const Key* key = view.Shown();
    status = ClassOut(lpClass, lpcchClass);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const std::vector<const Key*> subkeys = MergedSubkeys(view);
    DWORD maxSubKey = 0;
    for (const Key* sub : subkeys) {
        maxSubKey = std::max(maxSubKey, static_cast<DWORD>(sub->name.size()));
    }
    DWORD maxName = 0;
    DWORD maxData = 0;
    for (const Value& v : key->values) {
        maxName = std::max(maxName, static_cast<DWORD>(v.name.size()));
        maxData = std::max(maxData, static_cast<DWORD>(AnsiData(v).size()));
    }
    if (lpcSubKeys) {
        *lpcSubKeys = static_cast<DWORD>(subkeys.size());
    }
    if (lpcbMaxSubKeyLen) {
        *lpcbMaxSubKeyLen = maxSubKey;
    }
    if (lpcbMaxClassLen) {
        *lpcbMaxClassLen = 0;
    }
    if (lpcValues) {
        *lpcValues = static_cast<DWORD>(key->values.size());
    }
    if (lpcbMaxValueNameLen) {
        *lpcbMaxValueNameLen = maxName;
    }
    if (lpcbMaxValueLen) {
        *lpcbMaxValueLen = maxData;
    }
    if (lpcbSecurityDescriptor) {
        *lpcbSecurityDescriptor = 0;
    }
    if (lpftLastWriteTime) {
        *lpftLastWriteTime = view.written;
    }
    return ERROR_SUCCESS;
}

WINBASEAPI LSTATUS WINAPI RegNotifyChangeKeyValue(HKEY hKey, BOOL bWatchSubtree,
                                                  DWORD dwNotifyFilter, HANDLE hEvent,
                                                  BOOL fAsynchronous) {
    constexpr DWORD kFilters = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                               REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;
    constexpr DWORD kThreadAgnostic = 0x10000000;
    KeyHandle handle;
    LSTATUS status = FindHandle(hKey, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!(handle.access & KEY_NOTIFY)) {
        return ERROR_ACCESS_DENIED;
    }
    if ((dwNotifyFilter & ~(kFilters | kThreadAgnostic)) != 0 || (dwNotifyFilter & kFilters) == 0 ||
        (fAsynchronous && !hEvent)) {
        return ERROR_INVALID_PARAMETER;
    }
    KeyView view;
    status = ViewShownKey(handle.root, handle.path, false, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::vector<WatchTarget> targets;
    for (const Place& place : PlacesOf(handle.root, handle.path)) {
        WatchTarget target;
        status = LocateHive(place.hive, target.location);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        target.path = place.path;
        targets.push_back(std::move(target));
    }
    return ArmNotification(handle.id, targets, bWatchSubtree != FALSE, dwNotifyFilter & kFilters,
                           fAsynchronous ? hEvent : nullptr);
}
