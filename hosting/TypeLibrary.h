// The type library of IDrvKeltor, where the library file carries one: the Windows DLL holds it
// as resource 1 (compiled from BrontalOcx.idl); the Linux library carries none, so its objects
// have no type information and its registration is the class's TypeLib entry alone.
//
// Thread-safety: any thread; nothing is cached.
#pragma once

#include <windows.h>

// GetTypeInfoCount: 1 where the library carries the type library, else 0.
UINT DrvKeltorTypeInfoCount();
// GetTypeInfo: the dispatch type information of IDrvKeltor for index 0, a new reference owned by
// the caller. DISP_E_BADINDEX for another index or where there is none; E_POINTER without
// `info`.
HRESULT GetDrvKeltorTypeInfo(UINT index, ITypeInfo** info);

// Registers the library's own type library (the TypeLib and Interface keys). The failure as
// the system gave it.
HRESULT RegisterDrvKeltorTypeLibrary();
// Removes that registration; S_OK when it is not registered.
HRESULT UnregisterDrvKeltorTypeLibrary();
