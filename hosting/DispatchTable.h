// The dispatch table of IDrvKeltor, built from the member catalogue: DISPID and call kind ->
// vtable entry, the name lookup of GetIDsOfNames and IDispatch::Invoke as Automation performs it.
//
// Thread-safety: the table is constant; Invoke runs on the caller's thread.
#pragma once

#include <windows.h>

#include <cstddef>

#include "IDrvKeltor.h"

enum class MemberKind : BYTE { Method, Property };

// Access bits of a property.
constexpr BYTE kMemberGet = 0x01;
constexpr BYTE kMemberPut = 0x02;
constexpr BYTE kMemberPutFirst = 0x04;  // the put entry precedes the get entry in the vtable

struct DispatchMember {
    DISPID dispid;
    const char* name;
    MemberKind kind;
    BYTE access;   // properties: kMemberGet, kMemberPut, kMemberPutFirst
    VARTYPE type;  // the Automation type; arrays are VT_ARRAY | element type; VT_EMPTY for methods
    HRESULT (*call)(IDrvKeltor* object);
    // The value in a VARIANT of `type`, owned by the caller afterwards.
    HRESULT (*get)(IDrvKeltor* object, VARIANT* value);
    // `value` holds `type` (an array of any element type for an array property); the entry
    // does not take ownership.
    HRESULT (*put)(IDrvKeltor* object, VARIANT* value);
};

// In catalogue (DISPID) order.
extern const DispatchMember kDrvKeltorMembers[];
extern const std::size_t kDrvKeltorMemberCount;

// Null when no member has the DISPID.
const DispatchMember* FindDispatchMember(DISPID dispid);
// Names compare without regard to case. Null when no member has the name.
const DispatchMember* FindDispatchMember(LPCOLESTR name);

// IDispatch::GetIDsOfNames: the member's DISPID for the first name; no member has named
// parameters, so further names are unknown.
HRESULT DrvKeltorIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* dispids);

// IDispatch::Invoke on `object`. Arguments are coerced to the member's type as Automation does;
// a failing member gives DISP_E_EXCEPTION with EXCEPINFO (scode: the member's HRESULT,
// description: the registered error text, source: the ProgID).
HRESULT InvokeDrvKeltor(IDrvKeltor* object, DISPID dispid, REFIID riid, WORD flags,
                        DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        UINT* argumentError);
