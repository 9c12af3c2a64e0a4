// The component runtime: apartments, creation of in-process objects registered under
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32, ProgIDs, GUID texts and task memory.
//
// Thread-safety: every function may be called from any thread. CoInitializeEx counts per thread;
// loaded server libraries are shared by the whole process.
#pragma once

#include "wtypes.h"
#include "unknwn.h"

typedef enum tagCOINIT {
    COINIT_MULTITHREADED = 0x0,
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8,
} COINIT;

// S_OK for the first call on a thread, S_FALSE for nested calls of the same model and
// RPC_E_CHANGED_MODE when the thread is already in the other model (not counted).
WINOLEAPI CoInitialize(LPVOID pvReserved);
WINOLEAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
// The last CoUninitialize of the process frees the server libraries that agree to unload.
WINOLEAPI_(void) CoUninitialize(void);

// Only in-process servers exist: a context without CLSCTX_INPROC_SERVER finds nothing
// (REGDB_E_CLASSNOTREG). Errors: CO_E_NOTINITIALIZED without CoInitializeEx on the thread (and
// no multithreaded apartment in the process), REGDB_E_CLASSNOTREG for an unknown class,
// CO_E_DLLNOTFOUND when the library cannot be loaded, CO_E_ERRORINDLL when it has no
// DllGetClassObject, otherwise what the library answers.
WINOLEAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                           LPVOID* ppv);
WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                           LPVOID* ppv);
// Unloads the server libraries whose DllCanUnloadNow answers S_OK.
WINOLEAPI_(void) CoFreeUnusedLibraries(void);

// HKEY_CLASSES_ROOT\<ProgID>\CLSID, or for a version-independent ProgID without one, the CLSID of
// the ProgID named by its CurVer. CO_E_CLASSSTRING when the ProgID is not registered.
WINOLEAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
// The ProgID of HKEY_CLASSES_ROOT\CLSID\{...}\ProgID in task memory (CoTaskMemFree it).
WINOLEAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits of either case) or a registered ProgID.
WINOLEAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
WINOLEAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
// Writes the braced text (39 units with the zero); returns that count, 0 when cchMax is short.
WINOLEAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
WINOLEAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
WINOLEAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);

WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb);
WINOLEAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
WINOLEAPI_(void) CoTaskMemFree(LPVOID pv);

// What an in-process server library exports.
typedef HRESULT(STDAPICALLTYPE* LPFNGETCLASSOBJECT)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* LPFNCANUNLOADNOW)(void);
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow(void);
