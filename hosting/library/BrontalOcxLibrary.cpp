// The exports of the component library (libBrontalOcx.so, BrontalOcx.dll).
#include <windows.h>
#include <olectl.h>

#include "BrontalOcxCatalogue.h"
#include "BrontalOcxModule.h"

namespace {

// The library's own absolute path, for InprocServer32.
bool OwnPath(char* path, DWORD capacity) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&OwnPath), &self)) {
        return false;
    }
    const DWORD length = GetModuleFileNameA(self, path, capacity);
    return length > 0 && length < capacity;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return GetDrvKeltorClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow(void) {
    return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer(void) {
    char path[4 * MAX_PATH] = {};
    if (!OwnPath(path, sizeof path)) {
        return SELFREG_E_CLASS;
    }
    return RegisterBrontalOcx(path);
}

STDAPI DllUnregisterServer(void) {
    return UnregisterBrontalOcx();
}

// Tools list the members from here: the component carries no type library at run time.
STDAPI DllGetMemberCatalogue(BrontalMemberInfo* rows, ULONG capacity, ULONG* count) {
    return CopyMemberCatalogue(rows, capacity, count);
}
