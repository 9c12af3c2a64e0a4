// IUnknown and IClassFactory: classes of pure virtual methods in Windows vtable order, with no
// virtual destructor (an object frees itself in its final Release).
#pragma once

#include "wtypes.h"

DEFINE_OLEGUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000);
DEFINE_OLEGUID(IID_IClassFactory, 0x00000001, 0x0000, 0x0000);

MIDL_INTERFACE("00000000-0000-0000-C000-000000000046") IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;
};
typedef IUnknown* LPUNKNOWN;

MIDL_INTERFACE("00000001-0000-0000-C000-000000000046") IClassFactory : public IUnknown {
    STDMETHOD(CreateInstance)(IUnknown * pUnkOuter, REFIID riid, void** ppvObject) PURE;
    STDMETHOD(LockServer)(BOOL fLock) PURE;
};
typedef IClassFactory* LPCLASSFACTORY;
