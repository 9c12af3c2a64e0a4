// VARIANT lifetime: initialisation, clearing and deep copies.
#include "ole_variant.h"

#include <cstring>

namespace ole {

HRESULT ValidateVariantType(VARTYPE vt) {
    const VARTYPE modifiers = vt & ~VT_TYPEMASK;
    const VARTYPE base = vt & VT_TYPEMASK;
    if (modifiers & ~(VT_BYREF | VT_ARRAY)) {
        return DISP_E_BADVARTYPE;
    }
    // Records and the OLE property types are not kept in variants of this runtime.
    if (base >= VT_VOID || base == 15) {
        return DISP_E_BADVARTYPE;
    }
    if (modifiers && base <= VT_NULL) {
        return DISP_E_BADVARTYPE;
    }
    return S_OK;
}

HRESULT Dereference(const VARIANT& source, VARIANT& value) {
    value = source;
    if (!(source.vt & VT_BYREF)) {
        return S_OK;
    }
    if (!source.byref) {
        return E_INVALIDARG;
    }
    const VARTYPE vt = source.vt & ~VT_BYREF;
    if (vt & VT_ARRAY) {
        value.parray = *source.pparray;
        value.vt = vt;
        return S_OK;
    }
    switch (vt) {
        case VT_VARIANT:
            value = *source.pvarVal;
            // A reference to a reference is one level too deep for Automation.
            return (value.vt & VT_BYREF) ? E_INVALIDARG : S_OK;
        case VT_DECIMAL:
            // DECIMAL overlays the type field, so it goes in first.
            value.decVal = *source.pdecVal;
            value.vt = VT_DECIMAL;
            return S_OK;
        case VT_I1:
        case VT_UI1:
            std::memcpy(&value.bVal, source.byref, 1);
            break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            std::memcpy(&value.iVal, source.byref, 2);
            break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            std::memcpy(&value.lVal, source.byref, 4);
            break;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            std::memcpy(&value.llVal, source.byref, 8);
            break;
        default:
            return DISP_E_BADVARTYPE;
    }
    value.vt = vt;
    return S_OK;
}

}  // namespace ole

WINOLEAUTAPI_(void) VariantInit(VARIANTARG* pvarg) {
    if (pvarg) {
        pvarg->vt = VT_EMPTY;
        pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    }
}

WINOLEAUTAPI VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) {
        return E_INVALIDARG;
    }
    HRESULT hr = ole::ValidateVariantType(pvarg->vt);
    if (FAILED(hr)) {
        return hr;
    }
    if (!(pvarg->vt & VT_BYREF)) {
        if (pvarg->vt & VT_ARRAY) {
            hr = SafeArrayDestroy(pvarg->parray);
            if (FAILED(hr)) {
                return hr;
            }
        } else if (pvarg->vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if ((pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) && pvarg->punkVal) {
            pvarg->punkVal->Release();
        }
    }
    pvarg->vt = VT_EMPTY;
    pvarg->llVal = 0;
    return S_OK;
}

WINOLEAUTAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (!pvargDest || !pvargSrc) {
        return E_INVALIDARG;
    }
    HRESULT hr = ole::ValidateVariantType(pvargSrc->vt);
    if (FAILED(hr)) {
        return hr;
    }
    if (pvargDest == pvargSrc) {
        return S_OK;
    }
    // Build the copy aside, so that a failure leaves the destination as it was.
    VARIANT copy = *pvargSrc;
    if (!(copy.vt & VT_BYREF)) {
        if (copy.vt & VT_ARRAY) {
            hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
            if (FAILED(hr)) {
                return hr;
            }
        } else if (copy.vt == VT_BSTR && pvargSrc->bstrVal) {
            copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                                 SysStringByteLen(pvargSrc->bstrVal));
            if (!copy.bstrVal) {
                return E_OUTOFMEMORY;
            }
        } else if ((copy.vt == VT_UNKNOWN || copy.vt == VT_DISPATCH) && copy.punkVal) {
            copy.punkVal->AddRef();
        }
    }
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}

WINOLEAUTAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
    if (!pvarDest || !pvargSrc) {
        return E_INVALIDARG;
    }
    HRESULT hr = ole::ValidateVariantType(pvargSrc->vt);
    if (FAILED(hr)) {
        return hr;
    }
    VARIANT value;
    hr = ole::Dereference(*pvargSrc, value);
    if (FAILED(hr)) {
        return hr;
    }
    if (pvarDest == pvargSrc && (pvargSrc->vt & VT_BYREF)) {
        // The destination held only a reference: nothing of its own to free.
        VARIANT copy;
        VariantInit(&copy);
        hr = VariantCopy(&copy, &value);
        if (SUCCEEDED(hr)) {
            *pvarDest = copy;
        }
        return hr;
    }
    return VariantCopy(pvarDest, &value);
}
