// What the component runtime tests know of the test component.
#pragma once

#include <windows.h>

// {6B1D2A3E-4C5F-4E7A-9B8C-0D1E2F3A4B5C}
DEFINE_GUID(CLSID_BrontalTestObject, 0x6B1D2A3E, 0x4C5F, 0x4E7A, 0x9B, 0x8C, 0x0D, 0x1E, 0x2F, 0x3A,
            0x4B, 0x5C);
// Not implemented by the object: an interface that only an aggregating outer object answers.
// {6B1D2A3F-4C5F-4E7A-9B8C-0D1E2F3A4B5C}
DEFINE_GUID(IID_BrontalOuterOnly, 0x6B1D2A3F, 0x4C5F, 0x4E7A, 0x9B, 0x8C, 0x0D, 0x1E, 0x2F, 0x3A,
            0x4B, 0x5C);

#define TESTCOMPONENT_CLSID_TEXT "{6B1D2A3E-4C5F-4E7A-9B8C-0D1E2F3A4B5C}"
// The versioned ProgID carries the CLSID; the version-independent one only its CurVer.
#define TESTCOMPONENT_PROGID "Brontal.TestObject.1"
#define TESTCOMPONENT_VI_PROGID "Brontal.TestObject"
// Set to make DllRegisterServer fail with SELFREG_E_CLASS before it writes anything.
#define TESTCOMPONENT_FAIL_VARIABLE "BRONTAL_TESTCOMPONENT_FAIL_REGISTER"

// Members of the object's dispatch interface.
enum TestObjectDispid : DISPID {
    kDispidName = DISPID_VALUE,  // BSTR property, also the default value
    kDispidAdd = 1,              // Add(a, b) -> I4 sum
    kDispidFail = 2,             // always fails, with error information
};

// Exported for the tests: objects alive and server locks held (factory references included).
typedef LONG(STDAPICALLTYPE* LPFNTESTCOMPONENTLIVE)(void);
#define TESTCOMPONENT_LIVE_EXPORT "TestComponentLiveCount"
