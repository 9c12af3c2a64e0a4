// The table item arrays: one-dimensional Automation arrays with lower bound 0, held as copies.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"

namespace {

// One dimension, lower bound 0 and the element type asked for.
bool IsItemVector(SAFEARRAY* items, VARTYPE elementType) {
    if (!items || SafeArrayGetDim(items) != 1) {
        return false;
    }
    LONG lower = -1;
    VARTYPE type = VT_EMPTY;
    return SUCCEEDED(SafeArrayGetLBound(items, 1, &lower)) && lower == 0 &&
           SUCCEEDED(SafeArrayGetVartype(items, &type)) && type == elementType;
}

ULONG ItemCount(SAFEARRAY* items) {
    return items->rgsabound[0].cElements;
}

// A new vector of `targetType` with the integer elements of `source` (UI2 or I4), each cut to
// or widened from 16 bits. Null when it cannot be made.
SAFEARRAY* ConvertIntegerItems(SAFEARRAY* source, VARTYPE targetType) {
    VARTYPE sourceType = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(source, &sourceType))) {
        return nullptr;
    }
    const ULONG count = ItemCount(source);
    SAFEARRAY* target = SafeArrayCreateVector(targetType, 0, count);
    if (!target) {
        return nullptr;
    }
    void* from = nullptr;
    void* to = nullptr;
    if (FAILED(SafeArrayAccessData(source, &from))) {
        SafeArrayDestroy(target);
        return nullptr;
    }
    if (FAILED(SafeArrayAccessData(target, &to))) {
        SafeArrayUnaccessData(source);
        SafeArrayDestroy(target);
        return nullptr;
    }
    for (ULONG i = 0; i < count; ++i) {
        const USHORT value = sourceType == VT_I4
                                 ? static_cast<USHORT>(static_cast<const LONG*>(from)[i])
                                 : static_cast<const USHORT*>(from)[i];
        if (targetType == VT_I4) {
            static_cast<LONG*>(to)[i] = value;
        } else {
            static_cast<USHORT*>(to)[i] = value;
        }
    }
    SafeArrayUnaccessData(target);
    SafeArrayUnaccessData(source);
    return target;
}

HRESULT CopyHeld(SAFEARRAY* held, SAFEARRAY** out) {
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!held) {
        return E_FAIL;
    }
    return SUCCEEDED(SafeArrayCopy(held, out)) ? S_OK : E_OUTOFMEMORY;
}

// Replaces *held by `replacement` (already a copy owned here).
void Replace(SAFEARRAY*& held, SAFEARRAY* replacement) {
    if (held) {
        SafeArrayDestroy(held);
    }
    held = replacement;
}

}  // namespace

// ---- StringTableItems ----

STDMETHODIMP CDrvKeltor::get_StringTableItems(SAFEARRAY** pVal) {
    const CMemberTrace trace("CDrvKeltor::get_StringTableItems");
    return trace.Done(CopyHeld(m_stringTableItems, pVal));
}

STDMETHODIMP CDrvKeltor::put_StringTableItems(SAFEARRAY* newVal) {
    const CMemberTrace trace("CDrvKeltor::put_StringTableItems", false);
    if (!IsItemVector(newVal, VT_BSTR)) {
        return trace.Done(E_INVALIDARG);
    }
    SAFEARRAY* copy = nullptr;
    if (FAILED(SafeArrayCopy(newVal, &copy))) {
        return trace.Done(E_OUTOFMEMORY);
    }
    Replace(m_stringTableItems, copy);
    return trace.Done(S_OK);
}

// ---- IntegerTableItems and its 32-bit twin ----

HRESULT CDrvKeltor::GetIntegerItems(LPCSTR name, SAFEARRAY** items, VARTYPE elementType) {
    const CMemberTrace trace(name);
    if (elementType == VT_UI2 || !items || !m_integerTableItems) {
        return trace.Done(CopyHeld(m_integerTableItems, items));
    }
    *items = ConvertIntegerItems(m_integerTableItems, elementType);
    return trace.Done(*items ? S_OK : E_OUTOFMEMORY);
}

HRESULT CDrvKeltor::PutIntegerItems(LPCSTR name, SAFEARRAY* items, VARTYPE elementType) {
    const CMemberTrace trace(name);
    if (!IsItemVector(items, elementType)) {
        return trace.Done(E_INVALIDARG);
    }
    SAFEARRAY* copy = nullptr;
    if (elementType == VT_UI2) {
        if (FAILED(SafeArrayCopy(items, &copy))) {
            copy = nullptr;
        }
    } else {
        copy = ConvertIntegerItems(items, VT_UI2);
    }
    if (!copy) {
        return trace.Done(E_OUTOFMEMORY);
    }
    Replace(m_integerTableItems, copy);
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::get_IntegerTableItems(SAFEARRAY** pVal) {
    return GetIntegerItems("CDrvKeltor::get_IntegerTableItems", pVal, VT_UI2);
}

STDMETHODIMP CDrvKeltor::put_IntegerTableItems(SAFEARRAY* newVal) {
    return PutIntegerItems("CDrvKeltor::put_IntegerTableItems", newVal, VT_UI2);
}

STDMETHODIMP CDrvKeltor::get_IntegerTableItems2(SAFEARRAY** pVal) {
    return GetIntegerItems("CDrvKeltor::get_IntegerTableItems2", pVal, VT_I4);
}

STDMETHODIMP CDrvKeltor::put_IntegerTableItems2(SAFEARRAY* newVal) {
    return PutIntegerItems("CDrvKeltor::put_IntegerTableItems2", newVal, VT_I4);
}
