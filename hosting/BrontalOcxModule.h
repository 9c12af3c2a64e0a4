// The component module: its lock count, the class factory and the registration scripts.
//
// Thread-safety: the lock count is atomic; registration is meant for the registration tool's
// single thread.
#pragma once

#include <windows.h>

// Live objects, factory references and LockServer locks, which keep the library loaded.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// DllGetClassObject: the factory of CLSID_DrvKeltor.
HRESULT GetDrvKeltorClassObject(REFCLSID clsid, REFIID riid, LPVOID* object);

// DllRegisterServer and DllUnregisterServer for the library at `modulePath` (absolute, ANSI).
HRESULT RegisterBrontalOcx(LPCSTR modulePath);
HRESULT UnregisterBrontalOcx();
