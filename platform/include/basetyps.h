// Declaration macros of COM interfaces and exported functions. The calling conventions are empty:
// interface methods and exports use the platform's native convention.
#pragma once

#include "windef.h"

#ifndef EXTERN_C
#define EXTERN_C extern "C"
#endif

#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define PURE = 0
#define DECLSPEC_UUID(x)
#define DECLSPEC_NOVTABLE
#define MIDL_INTERFACE(x) struct DECLSPEC_NOVTABLE
#define DECLARE_INTERFACE(iface) struct DECLSPEC_NOVTABLE iface
#define DECLARE_INTERFACE_(iface, base) struct DECLSPEC_NOVTABLE iface : public base

// Exports of a component library (DllGetClassObject and friends) must stay visible even when the
// library is built with hidden visibility.
#define STDAPI EXTERN_C __attribute__((visibility("default"))) HRESULT STDAPICALLTYPE
#define STDAPI_(type) EXTERN_C __attribute__((visibility("default"))) type STDAPICALLTYPE
#define STDAPIV EXTERN_C __attribute__((visibility("default"))) HRESULT STDAPIVCALLTYPE
#define STDAPIVCALLTYPE

// Functions of the platform runtime's COM and Automation part.
#define WINOLEAPI WINBASEAPI HRESULT STDAPICALLTYPE
#define WINOLEAPI_(type) WINBASEAPI type STDAPICALLTYPE
#define WINOLEAUTAPI WINBASEAPI HRESULT STDAPICALLTYPE
#define WINOLEAUTAPI_(type) WINBASEAPI type STDAPICALLTYPE
