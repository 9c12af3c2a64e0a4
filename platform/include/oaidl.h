// Automation data types and interfaces with the 64-bit Windows layout: SAFEARRAY, VARIANT,
// DISPPARAMS, EXCEPINFO, IDispatch and the error information interfaces.
#pragma once

#include "wtypes.h"
#include "unknwn.h"

typedef LONG DISPID;
typedef DISPID MEMBERID;
typedef DWORD HREFTYPE;

#define DISPID_UNKNOWN ((DISPID)-1)
#define DISPID_VALUE ((DISPID)0)
#define DISPID_PROPERTYPUT ((DISPID)-3)
#define DISPID_NEWENUM ((DISPID)-4)
#define DISPID_EVALUATE ((DISPID)-5)
#define DISPID_CONSTRUCTOR ((DISPID)-6)
#define DISPID_DESTRUCTOR ((DISPID)-7)
#define DISPID_COLLECT ((DISPID)-8)

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8

struct IDispatch;
struct ITypeInfo;
struct ITypeLib;
struct IRecordInfo;

typedef struct tagSAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
} SAFEARRAYBOUND, *LPSAFEARRAYBOUND;

// rgsabound holds cDims entries, the rightmost dimension first (as on Windows).
typedef struct tagSAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY, *LPSAFEARRAY;

#define FADF_AUTO 0x0001
#define FADF_STATIC 0x0002
#define FADF_EMBEDDED 0x0004
#define FADF_FIXEDSIZE 0x0010
#define FADF_RECORD 0x0020
#define FADF_HAVEIID 0x0040
#define FADF_HAVEVARTYPE 0x0080
#define FADF_BSTR 0x0100
#define FADF_UNKNOWN 0x0200
#define FADF_DISPATCH 0x0400
#define FADF_VARIANT 0x0800
#define FADF_RESERVED 0xF008

static_assert(sizeof(SAFEARRAYBOUND) == 8, "SAFEARRAYBOUND has the Windows layout");
static_assert(offsetof(SAFEARRAY, cbElements) == 4 && offsetof(SAFEARRAY, cLocks) == 8 &&
                  offsetof(SAFEARRAY, pvData) == 16 && offsetof(SAFEARRAY, rgsabound) == 24 &&
                  sizeof(SAFEARRAY) == 32,
              "SAFEARRAY has the 64-bit Windows layout");

typedef struct tagVARIANT VARIANT;
typedef VARIANT* LPVARIANT;
typedef VARIANT VARIANTARG;
typedef VARIANT* LPVARIANTARG;

struct tagVARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                SAFEARRAY* parray;
                BYTE* pbVal;
                SHORT* piVal;
                LONG* plVal;
                LONGLONG* pllVal;
                FLOAT* pfltVal;
                DOUBLE* pdblVal;
                VARIANT_BOOL* pboolVal;
                SCODE* pscode;
                CY* pcyVal;
                DATE* pdate;
                BSTR* pbstrVal;
                IUnknown** ppunkVal;
                IDispatch** ppdispVal;
                SAFEARRAY** pparray;
                VARIANT* pvarVal;
                PVOID byref;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                DECIMAL* pdecVal;
                CHAR* pcVal;
                USHORT* puiVal;
                ULONG* pulVal;
                ULONGLONG* pullVal;
                INT* pintVal;
                UINT* puintVal;
                struct {
                    PVOID pvRecord;
                    IRecordInfo* pRecInfo;
                };
            };
        };
        DECIMAL decVal;
    };
};

static_assert(sizeof(VARIANT) == 24 && alignof(VARIANT) == 8, "VARIANT has the Win64 layout");
static_assert(offsetof(VARIANT, vt) == 0 && offsetof(VARIANT, lVal) == 8 &&
                  offsetof(VARIANT, dblVal) == 8 && offsetof(VARIANT, bstrVal) == 8 &&
                  offsetof(VARIANT, pRecInfo) == 16 && offsetof(VARIANT, decVal) == 0,
              "VARIANT has the Win64 layout");

typedef struct tagDISPPARAMS {
    VARIANTARG* rgvarg;  // arguments in reverse order: the last one first
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
} DISPPARAMS;

static_assert(sizeof(DISPPARAMS) == 24 && offsetof(DISPPARAMS, cArgs) == 16,
              "DISPPARAMS has the Win64 layout");

typedef struct tagEXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(struct tagEXCEPINFO*);
    SCODE scode;
} EXCEPINFO, *LPEXCEPINFO;

static_assert(sizeof(EXCEPINFO) == 64 && offsetof(EXCEPINFO, bstrSource) == 8 &&
                  offsetof(EXCEPINFO, dwHelpContext) == 32 &&
                  offsetof(EXCEPINFO, pfnDeferredFillIn) == 48 && offsetof(EXCEPINFO, scode) == 56,
              "EXCEPINFO has the Win64 layout");

DEFINE_OLEGUID(IID_IDispatch, 0x00020400, 0x0000, 0x0000);
DEFINE_OLEGUID(IID_ITypeInfo, 0x00020401, 0x0000, 0x0000);
DEFINE_OLEGUID(IID_ITypeLib, 0x00020402, 0x0000, 0x0000);
DEFINE_GUID(IID_IErrorInfo, 0x1CF2B120, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1,
            0x19);
DEFINE_GUID(IID_ICreateErrorInfo, 0x22F03340, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B,
            0xD1, 0x19);
DEFINE_GUID(IID_ISupportErrorInfo, 0xDF0B3D60, 0x548F, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B,
            0xD1, 0x19);

// Type information is not provided by this runtime (GetTypeInfoCount answers 0 here); the
// interfaces are declared so that the IDispatch signatures read as on Windows.
MIDL_INTERFACE("00020401-0000-0000-C000-000000000046") ITypeInfo : public IUnknown{};
MIDL_INTERFACE("00020402-0000-0000-C000-000000000046") ITypeLib : public IUnknown{};

MIDL_INTERFACE("00020400-0000-0000-C000-000000000046") IDispatch : public IUnknown {
    STDMETHOD(GetTypeInfoCount)(UINT * pctinfo) PURE;
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo * *ppTInfo) PURE;
    STDMETHOD(GetIDsOfNames)
    (REFIID riid, LPOLESTR * rgszNames, UINT cNames, LCID lcid, DISPID * rgDispId) PURE;
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS * pDispParams,
     VARIANT * pVarResult, EXCEPINFO * pExcepInfo, UINT * puArgErr) PURE;
};
typedef IDispatch* LPDISPATCH;

MIDL_INTERFACE("1CF2B120-547D-101B-8E65-08002B2BD119") IErrorInfo : public IUnknown {
    STDMETHOD(GetGUID)(GUID * pGUID) PURE;
    STDMETHOD(GetSource)(BSTR * pBstrSource) PURE;
    STDMETHOD(GetDescription)(BSTR * pBstrDescription) PURE;
    STDMETHOD(GetHelpFile)(BSTR * pBstrHelpFile) PURE;
    STDMETHOD(GetHelpContext)(DWORD * pdwHelpContext) PURE;
};

MIDL_INTERFACE("22F03340-547D-101B-8E65-08002B2BD119") ICreateErrorInfo : public IUnknown {
    STDMETHOD(SetGUID)(REFGUID rguid) PURE;
    STDMETHOD(SetSource)(LPOLESTR szSource) PURE;
    STDMETHOD(SetDescription)(LPOLESTR szDescription) PURE;
    STDMETHOD(SetHelpFile)(LPOLESTR szHelpFile) PURE;
    STDMETHOD(SetHelpContext)(DWORD dwHelpContext) PURE;
};

MIDL_INTERFACE("DF0B3D60-548F-101B-8E65-08002B2BD119") ISupportErrorInfo : public IUnknown {
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) PURE;
};
