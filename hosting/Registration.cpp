// Registration of the component under HKEY_CLASSES_ROOT: the application identifier script, then
// the class script and the type library, then a check that the type library and the factory
// entries read back.
#include <olectl.h>

#include <cstring>
#include <string>

#include "BrontalOcxModule.h"
#include "IDrvKeltor.h"
#include "TypeLibrary.h"

namespace {

const char kAppIdKey[] = "AppID\\" BRONTALOCX_APPID_TEXT;
const char kAppIdLibraryKey[] = "AppID\\BrontalOcx.DLL";
const char kAppIdName[] = "BrontalOcx";
const char kClassKey[] = "CLSID\\" DRVKELTOR_CLSID_TEXT;
const char kApartment[] = "Apartment";

constexpr DWORD kReadBackCapacity = 4 * MAX_PATH;

HRESULT FromStatus(LSTATUS status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned>(status));
}

// Creates `path` under HKEY_CLASSES_ROOT and sets value `name` (null: the default value) to
// `text`, or only creates the key when `text` is null.
LSTATUS WriteKey(const std::string& path, LPCSTR name, LPCSTR text) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (text) {
        status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                static_cast<DWORD>(std::strlen(text) + 1));
    }
    RegCloseKey(key);
    return status;
}

// The default text of `path`, or empty.
std::string ReadDefault(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return std::string();
    }
    char text[kReadBackCapacity] = {};
    DWORD size = sizeof text - 1;
    DWORD type = REG_NONE;
    const LSTATUS status =
        RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::string(text) : std::string();
}

LSTATUS RemoveTree(LPCSTR path) {
    const LSTATUS status = RegDeleteTreeA(HKEY_CLASSES_ROOT, path);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

HRESULT RegisterAppId() {
    LSTATUS status = WriteKey(kAppIdKey, nullptr, kAppIdName);
    if (status == ERROR_SUCCESS) {
        status = WriteKey(kAppIdLibraryKey, "AppID", BRONTALOCX_APPID_TEXT);
    }
    return FromStatus(status);
}

HRESULT RegisterDrvKeltorClass(LPCSTR modulePath) {
    const std::string classKey = kClassKey;
    const std::string progId = DRVKELTOR_PROGID;
    const std::string independent = DRVKELTOR_VI_PROGID;
    // The class key is written whole: nothing of an earlier registration survives in it.
    LSTATUS status = RemoveTree(kClassKey);
    const struct {
        std::string path;
        LPCSTR name;
        LPCSTR text;
    } entries[] = {
        {progId, nullptr, DRVKELTOR_CLASS_NAME},
        {progId + "\\CLSID", nullptr, DRVKELTOR_CLSID_TEXT},
        {independent, nullptr, DRVKELTOR_CLASS_NAME},
        {independent + "\\CLSID", nullptr, DRVKELTOR_CLSID_TEXT},
        {independent + "\\CurVer", nullptr, DRVKELTOR_PROGID},
        {classKey, nullptr, DRVKELTOR_CLASS_NAME},
        {classKey, "AppID", BRONTALOCX_APPID_TEXT},
        {classKey + "\\ProgID", nullptr, DRVKELTOR_PROGID},
        {classKey + "\\VersionIndependentProgID", nullptr, DRVKELTOR_VI_PROGID},
        {classKey + "\\Programmable", nullptr, nullptr},
        {classKey + "\\InprocServer32", nullptr, modulePath},
        {classKey + "\\InprocServer32", "ThreadingModel", kApartment},
        {classKey + "\\TypeLib", nullptr, BRONTALOCX_LIBID_TEXT},
    };
    for (const auto& entry : entries) {
        if (status != ERROR_SUCCESS) {
            break;
        }
        status = WriteKey(entry.path, entry.name, entry.text);
    }
    return FromStatus(status);
}

}  // namespace

HRESULT RegisterBrontalOcx(LPCSTR modulePath) {
    if (!modulePath || !*modulePath) {
        return SELFREG_E_CLASS;
    }
    HRESULT hr = RegisterAppId();
    if (SUCCEEDED(hr)) {
        hr = RegisterDrvKeltorClass(modulePath);
    }
    if (FAILED(hr)) {
        return hr;
    }
    if (FAILED(RegisterDrvKeltorTypeLibrary())) {
        return SELFREG_E_TYPELIB;
    }
    // The class's TypeLib entry names the type library, and the factory is reached through
    // InprocServer32: both must read back.
    if (ReadDefault(std::string(kClassKey) + "\\TypeLib") != BRONTALOCX_LIBID_TEXT) {
        return SELFREG_E_TYPELIB;
    }
    if (ReadDefault(std::string(kClassKey) + "\\InprocServer32") != modulePath) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT UnregisterBrontalOcx() {
    // The AppID and CLSID keys themselves belong to everyone and stay.
    const LPCSTR trees[] = {kAppIdKey, kAppIdLibraryKey, DRVKELTOR_PROGID, DRVKELTOR_VI_PROGID,
                            kClassKey};
    for (LPCSTR tree : trees) {
        const LSTATUS status = RemoveTree(tree);
        if (status != ERROR_SUCCESS) {
            return FromStatus(status);
        }
    }
    return FAILED(UnregisterDrvKeltorTypeLibrary()) ? SELFREG_E_TYPELIB : S_OK;
}
