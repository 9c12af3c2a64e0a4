// The type library the DLL carries as resource 1, loaded from the DLL's own file each time: the
// system keeps loaded type libraries cached, and nothing of ours outlives a call.
#include "TypeLibrary.h"

#include "IDrvKeltor.h"

namespace {

// The type library's version, as BrontalOcx.idl declares it.
constexpr WORD kMajorVersion = 1;
constexpr WORD kMinorVersion = 0;

// The width of this build's pointers decides which registration it owns.
constexpr SYSKIND kOwnSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

HRESULT LoadOwnTypeLibrary(ITypeLib** library, WCHAR* path, DWORD capacity) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&LoadOwnTypeLibrary), &self)) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    const DWORD length = GetModuleFileNameW(self, path, capacity);
    if (length == 0 || length >= capacity) {
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    return LoadTypeLibEx(path, REGKIND_NONE, library);
}

}  // namespace

UINT DrvKeltorTypeInfoCount() {
    return 1;
}

HRESULT GetDrvKeltorTypeInfo(UINT index, ITypeInfo** info) {
    if (!info) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    WCHAR path[MAX_PATH] = {};
    ITypeLib* library = nullptr;
    HRESULT hr = LoadOwnTypeLibrary(&library, path, MAX_PATH);
    if (SUCCEEDED(hr)) {
        hr = library->GetTypeInfoOfGuid(IID_IDrvKeltor, info);
        library->Release();
    }
    return hr;
}

HRESULT RegisterDrvKeltorTypeLibrary() {
    WCHAR path[MAX_PATH] = {};
    ITypeLib* library = nullptr;
    HRESULT hr = LoadOwnTypeLibrary(&library, path, MAX_PATH);
    if (SUCCEEDED(hr)) {
        hr = RegisterTypeLib(library, path, nullptr);
        library->Release();
    }
    return hr;
}

HRESULT UnregisterDrvKeltorTypeLibrary() {
    BSTR registered = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(LIBID_BrontalOcx, kMajorVersion, kMinorVersion, LOCALE_NEUTRAL,
                                     &registered))) {
        return S_OK;
    }
    SysFreeString(registered);
    return UnRegisterTypeLib(LIBID_BrontalOcx, kMajorVersion, kMinorVersion, LOCALE_NEUTRAL,
                             kOwnSysKind);
}
