// The dispatch table and Automation's Invoke over it.
#include "DispatchTable.h"

#include <cstring>
#include <type_traits>

namespace {

// ---- thunks from a VARIANT to the vtable entries ----

template <class Entry>
struct GetterValue;
template <class T>
struct GetterValue<HRESULT (STDMETHODCALLTYPE IDrvKeltor::*)(T*)> {
    using Type = T;
};

template <class Entry>
struct PutterValue;
template <class T>
struct PutterValue<HRESULT (STDMETHODCALLTYPE IDrvKeltor::*)(T)> {
    using Type = T;
};

void StoreValue(VARIANT* v, USHORT value) {
    v->uiVal = value;
}
void StoreValue(VARIANT* v, SHORT value) {
    v->iVal = value;
}
void StoreValue(VARIANT* v, ULONG value) {
    v->ulVal = value;
}
void StoreValue(VARIANT* v, LONG value) {
    v->lVal = value;
}
void StoreValue(VARIANT* v, CY value) {
    v->cyVal = value;
}
void StoreValue(VARIANT* v, DATE value) {
    v->date = value;
}
void StoreValue(VARIANT* v, BSTR value) {
    v->bstrVal = value;
}
void StoreValue(VARIANT* v, SAFEARRAY* value) {
    v->parray = value;
}

template <class T>
T LoadValue(const VARIANT* v) {
    if constexpr (std::is_same_v<T, USHORT>) {
        return v->uiVal;
    } else if constexpr (std::is_same_v<T, SHORT>) {
        return v->iVal;
    } else if constexpr (std::is_same_v<T, ULONG>) {
        return v->ulVal;
    } else if constexpr (std::is_same_v<T, LONG>) {
        return v->lVal;
    } else if constexpr (std::is_same_v<T, CY>) {
        return v->cyVal;
    } else if constexpr (std::is_same_v<T, DATE>) {
        return v->date;
    } else if constexpr (std::is_same_v<T, BSTR>) {
        return v->bstrVal;
    } else {
        static_assert(std::is_same_v<T, SAFEARRAY*>, "an Automation type of the catalogue");
        return v->parray;
    }
}

template <auto Entry>
HRESULT CallThunk(IDrvKeltor* object) {
    return (object->*Entry)();
}

template <auto Entry, VARTYPE Type>
HRESULT GetThunk(IDrvKeltor* object, VARIANT* value) {
    typename GetterValue<decltype(Entry)>::Type out{};
    const HRESULT hr = (object->*Entry)(&out);
    if (SUCCEEDED(hr)) {
        value->vt = Type;
        StoreValue(value, out);
    }
    return hr;
}

template <auto Entry>
HRESULT PutThunk(IDrvKeltor* object, VARIANT* value) {
    return (object->*Entry)(LoadValue<typename PutterValue<decltype(Entry)>::Type>(value));
}

}  // namespace

#define DRV_VT_UI2 VT_UI2
#define DRV_VT_I2 VT_I2
#define DRV_VT_UI4 VT_UI4
#define DRV_VT_I4 VT_I4
#define DRV_VT_CY VT_CY
#define DRV_VT_DATE VT_DATE
#define DRV_VT_BSTR VT_BSTR
#define DRV_VT_BSTR_ARRAY static_cast<VARTYPE>(VT_ARRAY | VT_BSTR)
#define DRV_VT_UI2_ARRAY static_cast<VARTYPE>(VT_ARRAY | VT_UI2)
#define DRV_VT_I4_ARRAY static_cast<VARTYPE>(VT_ARRAY | VT_I4)

#define DRV_ACCESS_R kMemberGet
#define DRV_ACCESS_RW static_cast<BYTE>(kMemberGet | kMemberPut)
#define DRV_ACCESS_WR static_cast<BYTE>(kMemberGet | kMemberPut | kMemberPutFirst)
#define DRV_PUT_THUNK_R(name) nullptr
#define DRV_PUT_THUNK_RW(name) &PutThunk<&IDrvKeltor::put_##name>
#define DRV_PUT_THUNK_WR(name) &PutThunk<&IDrvKeltor::put_##name>

const DispatchMember kDrvKeltorMembers[] = {
#define DRV_METHOD(dispid, name)                                                      \
    {dispid,  #name,  MemberKind::Method, 0, VT_EMPTY, &CallThunk<&IDrvKeltor::name>, \
     nullptr, nullptr},
#define DRV_PROPERTY(dispid, name, access, type, ...)   \
    {dispid,                                            \
     #name,                                             \
     MemberKind::Property,                              \
     DRV_ACCESS_##access,                               \
     DRV_VT_##type,                                     \
     nullptr,                                           \
     &GetThunk<&IDrvKeltor::get_##name, DRV_VT_##type>, \
     DRV_PUT_THUNK_##access(name)},
#include "DrvKeltorMembers.def"
};

const std::size_t kDrvKeltorMemberCount = sizeof kDrvKeltorMembers / sizeof kDrvKeltorMembers[0];

namespace {

OLECHAR Lower(OLECHAR c) {
    return c >= u'A' && c <= u'Z' ? static_cast<OLECHAR>(c - u'A' + u'a') : c;
}

bool SameName(LPCOLESTR wide, const char* name) {
    for (; *wide && *name; ++wide, ++name) {
        if (Lower(*wide) != Lower(static_cast<OLECHAR>(static_cast<unsigned char>(*name)))) {
            return false;
        }
    }
    return *wide == 0 && *name == 0;
}

// The value argument of a put: the one named DISPID_PROPERTYPUT.
HRESULT FindPutValue(const DISPPARAMS& params, VARIANT** value, UINT* argumentError) {
    if (params.cArgs == 0) {
        return DISP_E_PARAMNOTOPTIONAL;
    }
    if (params.cArgs > 1) {
        return DISP_E_BADPARAMCOUNT;
    }
    if (params.cNamedArgs == 0) {
        return DISP_E_PARAMNOTOPTIONAL;
    }
    if (params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        if (argumentError) {
            *argumentError = 0;
        }
        return DISP_E_PARAMNOTFOUND;
    }
    VARIANT* argument = &params.rgvarg[0];
    // A missing optional argument is passed as VT_ERROR with DISP_E_PARAMNOTFOUND.
    if (argument->vt == VT_ERROR && argument->scode == DISP_E_PARAMNOTFOUND) {
        return DISP_E_PARAMNOTOPTIONAL;
    }
    *value = argument;
    return S_OK;
}

// The argument as the member's type: an array is handed over as it is, so that the accessor's
// own shape and element checks judge it.
HRESULT CoerceArgument(const DispatchMember& member, VARIANT* argument, VARIANT* coerced,
                       bool* owned, UINT* argumentError) {
    *owned = false;
    if (member.type & VT_ARRAY) {
        const VARIANT* source = argument;
        if (source->vt == (VT_BYREF | VT_VARIANT) && source->pvarVal) {
            source = source->pvarVal;
        }
        if ((source->vt & VT_ARRAY) == 0) {
            if (argumentError) {
                *argumentError = 0;
            }
            return DISP_E_TYPEMISMATCH;
        }
        coerced->vt = static_cast<VARTYPE>(source->vt & ~VT_BYREF);
        // A reference to no array at all reaches the accessor as no array, which it refuses.
        if (source->vt & VT_BYREF) {
            coerced->parray = source->pparray ? *source->pparray : nullptr;
        } else {
            coerced->parray = source->parray;
        }
        return S_OK;
    }
    HRESULT hr = VariantChangeType(coerced, argument, 0, member.type);
    if (FAILED(hr)) {
        if (argumentError) {
            *argumentError = 0;
        }
        return hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    }
    *owned = true;
    return S_OK;
}

void FillException(HRESULT failure, EXCEPINFO* exception) {
    std::memset(exception, 0, sizeof *exception);
    exception->scode = failure;
    exception->bstrSource = SysAllocString(OLESTR("BrontalOcx.DrvKeltor"));
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        BSTR description = nullptr;
        if (SUCCEEDED(info->GetDescription(&description))) {
            exception->bstrDescription = description;
        }
        info->Release();
    }
}

}  // namespace

const DispatchMember* FindDispatchMember(DISPID dispid) {
    // DISPIDs run from 1 without gaps, but the table is searched rather than indexed so that a
    // future gap cannot misroute a call.
    for (std::size_t i = 0; i < kDrvKeltorMemberCount; ++i) {
        if (kDrvKeltorMembers[i].dispid == dispid) {
            return &kDrvKeltorMembers[i];
        }
    }
    return nullptr;
}

const DispatchMember* FindDispatchMember(LPCOLESTR name) {
    if (!name) {
        return nullptr;
    }
    for (std::size_t i = 0; i < kDrvKeltorMemberCount; ++i) {
        if (SameName(name, kDrvKeltorMembers[i].name)) {
            return &kDrvKeltorMembers[i];
        }
    }
    return nullptr;
}

HRESULT DrvKeltorIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* dispids) {
    if (!(riid == IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (!names || !dispids || count == 0) {
        return E_INVALIDARG;
    }
    for (UINT i = 0; i < count; ++i) {
        dispids[i] = DISPID_UNKNOWN;
    }
    const DispatchMember* member = FindDispatchMember(names[0]);
    if (!member) {
        return DISP_E_UNKNOWNNAME;
    }
    dispids[0] = member->dispid;
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT InvokeDrvKeltor(IDrvKeltor* object, DISPID dispid, REFIID riid, WORD flags,
                        DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        UINT* argumentError) {
    if (!(riid == IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    const DispatchMember* member = FindDispatchMember(dispid);
    if (!member) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (!params || (params->cArgs > 0 && !params->rgvarg) ||
        (params->cNamedArgs > 0 && !params->rgdispidNamedArgs) ||
        params->cNamedArgs > params->cArgs) {
        return E_INVALIDARG;
    }
    // A description left from an earlier call must not be taken for this one's.
    SetErrorInfo(0, nullptr);

    HRESULT hr = S_OK;
    const bool asMethod = member->kind == MemberKind::Method && (flags & DISPATCH_METHOD);
    const bool asGet = member->get && (flags & DISPATCH_PROPERTYGET);
    const bool asPut = member->put && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF));
    if (asMethod || asGet) {
        if (params->cNamedArgs > 0) {
            return DISP_E_NONAMEDARGS;
        }
        if (params->cArgs > 0) {
            return DISP_E_BADPARAMCOUNT;
        }
        if (asMethod) {
            hr = member->call(object);
            if (result) {
                VariantInit(result);
            }
        } else {
            VARIANT value;
            VariantInit(&value);
            hr = member->get(object, &value);
            if (SUCCEEDED(hr) && result) {
                *result = value;
            } else {
                VariantClear(&value);
            }
        }
    } else if (asPut) {
        VARIANT* argument = nullptr;
        hr = FindPutValue(*params, &argument, argumentError);
        if (FAILED(hr)) {
            return hr;
        }
        VARIANT coerced;
        VariantInit(&coerced);
        bool owned = false;
        hr = CoerceArgument(*member, argument, &coerced, &owned, argumentError);
        if (FAILED(hr)) {
            return hr;
        }
        hr = member->put(object, &coerced);
        if (owned) {
            VariantClear(&coerced);
        }
    } else {
        return DISP_E_MEMBERNOTFOUND;
    }

    if (FAILED(hr)) {
        if (exception) {
            FillException(hr, exception);
        }
        return DISP_E_EXCEPTION;
    }
    return hr;
}
