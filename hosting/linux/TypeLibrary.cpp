// The Linux library carries no type library: clients call by DISPID or by name and list the
// members through DllGetMemberCatalogue.
#include "TypeLibrary.h"

UINT DrvKeltorTypeInfoCount() {
    return 0;
}

HRESULT GetDrvKeltorTypeInfo(UINT, ITypeInfo** info) {
    if (!info) {
        return E_POINTER;
    }
    *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT RegisterDrvKeltorTypeLibrary() {
    return S_OK;
}

HRESULT UnregisterDrvKeltorTypeLibrary() {
    return S_OK;
}
