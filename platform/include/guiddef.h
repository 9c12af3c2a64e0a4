// GUIDs with the Windows layout. There is no __uuidof here: interfaces are named by their IID_
// constants, and DEFINE_GUID defines a constant usable in every translation unit.
#pragma once

#include <cstring>

#include "windef.h"

typedef struct _GUID {
    ULONG Data1;
    USHORT Data2;
    USHORT Data3;
    UCHAR Data4[8];
} GUID, *LPGUID;

typedef GUID IID;
typedef IID* LPIID;
typedef GUID CLSID;
typedef CLSID* LPCLSID;
typedef GUID FMTID;

typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

static_assert(sizeof(GUID) == 16, "GUID has the Windows layout");
static_assert(offsetof(GUID, Data2) == 4 && offsetof(GUID, Data3) == 6 &&
                  offsetof(GUID, Data4) == 8,
              "GUID has the Windows layout");

// A constant of internal linkage: every unit that includes the header has its own copy, so no
// INITGUID unit is needed (initguid.h exists only for sources that also build on Windows). Not
// an inline variable: those become unique symbols, and a library holding one can never be
// unloaded again. GUIDs compare by value, so the copies are interchangeable.
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

// The COM standard GUIDs all end in C000-000000000046.
#define DEFINE_OLEGUID(name, l, w1, w2) DEFINE_GUID(name, l, w1, w2, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualIID(REFIID a, REFIID b) {
    return IsEqualGUID(a, b);
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
    return IsEqualGUID(a, b);
}
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}

DEFINE_GUID(GUID_NULL, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL
