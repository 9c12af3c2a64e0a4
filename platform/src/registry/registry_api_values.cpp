// Reading, writing, enumerating and deleting values.
#include "registry_keys.h"
#include "registry_names.h"

using namespace brontal::registry;

namespace {

LSTATUS HandleWith(HKEY hKey, REGSAM right, KeyHandle& handle) {
    const LSTATUS status = FindHandle(hKey, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return (handle.access & right) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

}  // namespace

WINBASEAPI LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                           LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    KeyHandle handle;
    LSTATUS status = HandleWith(hKey, KEY_QUERY_VALUE, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (lpReserved || (lpData && !lpcbData)) {
        return ERROR_INVALID_PARAMETER;
    }
    Text name;
    status = ParseValueName(lpValueName, name);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    KeyView view;
    status = ViewShownKey(handle.root, handle.path, false, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const Key* key = view.Shown();
    const Value* value = key->FindValue(name);
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    return CopyData(*value, lpType, lpData, lpcbData);
}

WINBASEAPI LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD /*Reserved*/,
                                         DWORD dwType, const BYTE* lpData, DWORD cbData) {
    KeyHandle handle;
    LSTATUS status = HandleWith(hKey, KEY_SET_VALUE, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!lpData && cbData != 0) {
        return ERROR_NOACCESS;
    }
    Text name;
    status = ParseValueName(lpValueName, name);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (cbData > kMaxValueDataBytes || (IsStringType(dwType) && cbData > kMaxValueDataBytes / 2)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<BYTE> data = StoredData(dwType, lpData, cbData);
    return ModifyKey(handle.root, handle.path, [&](Key& key) {
        key.SetValue(name, dwType, std::move(data));
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

WINBASEAPI LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                                        LPDWORD lpcchValueName, LPDWORD lpReserved, LPDWORD lpType,
                                        LPBYTE lpData, LPDWORD lpcbData) {
    KeyHandle handle;
    LSTATUS status = HandleWith(hKey, KEY_QUERY_VALUE, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) {
        return ERROR_INVALID_PARAMETER;
    }
    KeyView view;
    status = ViewShownKey(handle.root, handle.path, false, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const Key* key = view.Shown();
    if (dwIndex >= key->values.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const Value& value = key->values[dwIndex];
    const LSTATUS nameStatus = CopyName(value.name, lpValueName, lpcchValueName);
    if (nameStatus != ERROR_SUCCESS) {
        // No data goes out with a name that did not fit, but its type and size still do.
        CopyData(value, lpType, nullptr, lpcbData);
        return nameStatus;
    }
    return CopyData(value, lpType, lpData, lpcbData);
}

WINBASEAPI LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    KeyHandle handle;
    LSTATUS status = HandleWith(hKey, KEY_SET_VALUE, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    Text name;
    status = ParseValueName(lpValueName, name);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = ModifyShownKey(handle.root, handle.path, [&](Key*, Key& key) {
        return key.RemoveValue(name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    return status;
}
