// The driver's COM object and its aggregation.
#include "DrvKeltorObject.h"

#include <new>

#include "BrontalOcxModule.h"
#include "DispatchTable.h"
#include "TypeLibrary.h"

HRESULT CDrvKeltorObject::Create(IUnknown* outer, REFIID riid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer && !(riid == IID_IUnknown)) {
        return CLASS_E_NOAGGREGATION;
    }
    auto* created = new (std::nothrow) CDrvKeltorObject(outer);
    if (!created) {
        return E_OUTOFMEMORY;
    }
    IUnknown* inner = &created->m_inner;
    HRESULT hr = created->FinalConstruct();
    if (SUCCEEDED(hr)) {
        hr = inner->QueryInterface(riid, object);
    }
    // Drops the creation reference: on failure this destroys the object.
    inner->Release();
    return hr;
}

CDrvKeltorObject::CDrvKeltorObject(IUnknown* outer)
    : m_inner(this), m_controlling(outer ? outer : &m_inner) {
    LockModule();
}

CDrvKeltorObject::~CDrvKeltorObject() {
    UnlockModule();
}

// ---- the object's own IUnknown ----

STDMETHODIMP CDrvKeltorObject::InnerUnknown::QueryInterface(REFIID riid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(this);
    } else if (riid == IID_IDispatch || riid == IID_IDrvKeltor) {
        *object = static_cast<IDrvKeltor*>(m_object);
    } else if (riid == IID_ISupportErrorInfo) {
        *object = static_cast<ISupportErrorInfo*>(m_object);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CDrvKeltorObject::InnerUnknown::AddRef() {
    return ++m_references;
}

STDMETHODIMP_(ULONG) CDrvKeltorObject::InnerUnknown::Release() {
    const ULONG left = --m_references;
    if (left == 0) {
        m_object->FinalRelease();
        delete m_object;
    }
    return left;
}

// ---- the interfaces' IUnknown ----

STDMETHODIMP CDrvKeltorObject::QueryInterface(REFIID riid, void** object) {
    return m_controlling->QueryInterface(riid, object);
}

STDMETHODIMP_(ULONG) CDrvKeltorObject::AddRef() {
    return m_controlling->AddRef();
}

STDMETHODIMP_(ULONG) CDrvKeltorObject::Release() {
    return m_controlling->Release();
}

// ---- IDispatch ----

STDMETHODIMP CDrvKeltorObject::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_INVALIDARG;
    }
    *count = DrvKeltorTypeInfoCount();
    return S_OK;
}

STDMETHODIMP CDrvKeltorObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return GetDrvKeltorTypeInfo(index, info);
}

STDMETHODIMP CDrvKeltorObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                             DISPID* dispids) {
    return DrvKeltorIDsOfNames(riid, names, count, dispids);
}

STDMETHODIMP CDrvKeltorObject::Invoke(DISPID dispid, REFIID riid, LCID, WORD flags,
                                      DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                      UINT* argumentError) {
    return InvokeDrvKeltor(this, dispid, riid, flags, params, result, exception, argumentError);
}
