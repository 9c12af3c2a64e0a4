// The COM object of the driver: CDrvKeltor with its IUnknown, IDispatch and creation, plain or
// aggregated inside an outer object.
//
// Aggregated, the object's own IUnknown (the one the outer object holds) answers IUnknown itself
// and passes every other query to the driver object; the driver object's interfaces delegate
// their IUnknown methods to the outer object.
#pragma once

#include <windows.h>

#include <atomic>

#include "DrvKeltor.h"

class CDrvKeltorObject final : public CDrvKeltor {
  public:
    // Creates the object, runs its final construction and queries `riid`. An outer object may
    // ask only for IUnknown (CLASS_E_NOAGGREGATION otherwise); E_OUTOFMEMORY when it cannot be
    // allocated; a failed final construction is returned with the object destroyed.
    static HRESULT Create(IUnknown* outer, REFIID riid, void** object);

    // ---- IUnknown: the controlling unknown's ----
    STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // ---- IDispatch: calls go through the dispatch table; type information comes from the
    // library's type library where it carries one ----
    STDMETHOD(GetTypeInfoCount)(UINT* count) override;
    STDMETHOD(GetTypeInfo)(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHOD(GetIDsOfNames)
    (REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* dispids) override;
    STDMETHOD(Invoke)
    (DISPID dispid, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
     EXCEPINFO* exception, UINT* argumentError) override;

  private:
    class InnerUnknown final : public IUnknown {
      public:
        explicit InnerUnknown(CDrvKeltorObject* object) : m_object(object) {}
        STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;

      private:
        CDrvKeltorObject* m_object;
        std::atomic<ULONG> m_references{1};  // the creation reference
    };

    explicit CDrvKeltorObject(IUnknown* outer);
    ~CDrvKeltorObject();

    InnerUnknown m_inner;
    IUnknown* m_controlling;
};
