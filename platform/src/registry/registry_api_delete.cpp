// Deleting keys: one without subkeys, or a whole branch.
#include "registry_keys.h"

using namespace brontal::registry;

namespace {

LSTATUS Target(HKEY hKey, LPCSTR lpSubKey, SubKeyTarget& target) {
    const LSTATUS status = ResolveSubKey(hKey, lpSubKey, target);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // The roots of the hives (and Software\Classes behind HKEY_CLASSES_ROOT) stay.
    return target.path.empty() ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

}  // namespace

WINBASEAPI LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey) {
        return ERROR_INVALID_PARAMETER;
    }
    SubKeyTarget target;
    LSTATUS status = Target(hKey, lpSubKey, target);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return ModifyShownKey(target.base.root, target.path, [](Key* parent, Key& key) -> LSTATUS {
        if (!key.subkeys.empty()) {
            return ERROR_ACCESS_DENIED;
        }
        const Text name = key.name;  // key goes with the removal
        parent->RemoveSubkey(name);
        return ERROR_SUCCESS;
    });
}

WINBASEAPI LSTATUS WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey) {
        // Empties the key itself: its values and subkeys go, the key stays.
        KeyHandle handle;
        LSTATUS status = FindHandle(hKey, handle);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        constexpr REGSAM kNeeded = KEY_SET_VALUE | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
        if ((handle.access & kNeeded) != kNeeded) {
            return ERROR_ACCESS_DENIED;
        }
        status = ModifyShownKey(handle.root, handle.path, [](Key*, Key& key) {
            key.values.clear();
            key.subkeys.clear();
            return static_cast<LSTATUS>(ERROR_SUCCESS);
        });
        return status == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : status;
    }
    SubKeyTarget target;
    LSTATUS status = Target(hKey, lpSubKey, target);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return ModifyShownKey(target.base.root, target.path, [](Key* parent, Key& key) {
        const Text name = key.name;  // key goes with the removal
        parent->RemoveSubkey(name);
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}
