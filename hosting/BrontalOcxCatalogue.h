// The member catalogue of IDrvKeltor as the component library lists it for tools, the same on
// Linux, whose library carries no type library, and on Windows: every member with its DISPID,
// Automation type and access.
//
// A client header: a tool loads the registered library itself (the InprocServer32 path of the
// class) and asks GetProcAddress for kMemberCatalogueExport.
#pragma once

#include <windows.h>

constexpr DWORD kMemberNameCapacity = 64;  // the longest name has 44 characters

// Access bits of a property.
constexpr BYTE kCatalogueGet = 0x01;
constexpr BYTE kCataloguePut = 0x02;

struct BrontalMemberInfo {
    DISPID dispid;
    VARTYPE type;  // VT_EMPTY for a method; an array is VT_ARRAY | its element type
    BYTE isMethod;
    BYTE access;  // properties: kCatalogueGet, kCataloguePut
    char name[kMemberNameCapacity];
};

// Copies the first `capacity` rows, in DISPID order, to `rows` and sets *count to the number of
// members: S_OK when every row was copied, S_FALSE when `rows` was too short (or null, to ask
// for the count), E_POINTER without `count`.
typedef HRESULT(STDAPICALLTYPE* DllGetMemberCatalogueFunction)(BrontalMemberInfo* rows,
                                                               ULONG capacity, ULONG* count);
constexpr char kMemberCatalogueExport[] = "DllGetMemberCatalogue";

// The library's side (MemberCatalogue.cpp).
HRESULT CopyMemberCatalogue(BrontalMemberInfo* rows, ULONG capacity, ULONG* count);
