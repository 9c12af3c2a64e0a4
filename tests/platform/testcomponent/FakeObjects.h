// Small COM objects for the runtime tests: they count their references and answer what a test
// asks, so that AddRef/Release balance and dispatch calls can be checked.
#pragma once

#include <windows.h>

// An object that is only ever released by the test; it never frees itself.
class FakeDispatch : public IDispatch {
  public:
    explicit FakeDispatch(bool answersDispatch = true) : answersDispatch_(answersDispatch) {
        VariantInit(&value_);
    }
    virtual ~FakeDispatch() { VariantClear(&value_); }

    ULONG references() const { return references_; }
    int invokes() const { return invokes_; }
    // What DISPID_VALUE returns.
    void SetValue(const VARIANT& value) { VariantCopy(&value_, &value); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || (answersDispatch_ && riid == IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override { return --references_; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO*, UINT*) override {
        ++invokes_;
        if (member != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || !params ||
            params->cArgs != 0 || !result) {
            return DISP_E_MEMBERNOTFOUND;
        }
        VariantInit(result);
        return VariantCopy(result, &value_);
    }

  private:
    bool answersDispatch_;
    ULONG references_ = 1;
    int invokes_ = 0;
    VARIANT value_;
};
