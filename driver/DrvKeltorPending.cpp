// The single place of the members that are not built yet (see DrvKeltorPending.def).
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"

HRESULT CDrvKeltor::NotImplemented(LPCSTR name) {
    const CMemberTrace trace(name);
    return trace.Done(E_NOTIMPL);
}

#define DRV_PENDING_METHOD(name)                     \
    STDMETHODIMP CDrvKeltor::name() {                \
        return NotImplemented("CDrvKeltor::" #name); \
    }
#define DRV_PENDING_GET(name, type)                              \
    STDMETHODIMP CDrvKeltor::get_##name(DRV_GET_T_##type pVal) { \
        (void)pVal;                                              \
        return NotImplemented("CDrvKeltor::get_" #name);         \
    }
#define DRV_PENDING_PUT(name, type)                                \
    STDMETHODIMP CDrvKeltor::put_##name(DRV_PUT_T_##type newVal) { \
        (void)newVal;                                              \
        return NotImplemented("CDrvKeltor::put_" #name);           \
    }
#include "DrvKeltorPending.def"
