// The component's identity and its dual interface IDrvKeltor, declared from the member catalogue.
//
// This is also the client's header: include it to call the driver through the vtable. Every entry
// returns an HRESULT; strings are BSTR, money CY (value times 10000), dates DATE and tables
// one-dimensional SAFEARRAYs, allocated by the callee and freed by the caller.
#pragma once

#include <windows.h>

// {3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}
DEFINE_GUID(CLSID_DrvKeltor, 0x3F8A2C61, 0x7B4D, 0x4E19, 0xA5, 0xC2, 0x6D, 0x0E, 0x91, 0xB7, 0xF4,
            0xA3);
// {3F8A2C62-7B4D-4E19-A5C2-6D0E91B7F4A3}
DEFINE_GUID(IID_IDrvKeltor, 0x3F8A2C62, 0x7B4D, 0x4E19, 0xA5, 0xC2, 0x6D, 0x0E, 0x91, 0xB7, 0xF4,
            0xA3);
// {3F8A2C60-7B4D-4E19-A5C2-6D0E91B7F4A3}
DEFINE_GUID(LIBID_BrontalOcx, 0x3F8A2C60, 0x7B4D, 0x4E19, 0xA5, 0xC2, 0x6D, 0x0E, 0x91, 0xB7, 0xF4,
            0xA3);
// {3F8A2C63-7B4D-4E19-A5C2-6D0E91B7F4A3}
DEFINE_GUID(APPID_BrontalOcx, 0x3F8A2C63, 0x7B4D, 0x4E19, 0xA5, 0xC2, 0x6D, 0x0E, 0x91, 0xB7, 0xF4,
            0xA3);

#define DRVKELTOR_CLSID_TEXT "{3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}"
#define DRVKELTOR_IID_TEXT "{3F8A2C62-7B4D-4E19-A5C2-6D0E91B7F4A3}"
#define BRONTALOCX_LIBID_TEXT "{3F8A2C60-7B4D-4E19-A5C2-6D0E91B7F4A3}"
#define BRONTALOCX_APPID_TEXT "{3F8A2C63-7B4D-4E19-A5C2-6D0E91B7F4A3}"

#define DRVKELTOR_PROGID "BrontalOcx.DrvKeltor.1"
#define DRVKELTOR_VI_PROGID "BrontalOcx.DrvKeltor"
#define DRVKELTOR_CLASS_NAME "DrvKeltor Class"

// The C++ types of the catalogue's Automation types: DRV_GET_T_x for the get entry's out
// parameter, DRV_PUT_T_x for the put entry's argument.
#define DRV_GET_T_UI2 USHORT*
#define DRV_GET_T_I2 SHORT*
#define DRV_GET_T_UI4 ULONG*
#define DRV_GET_T_I4 LONG*
#define DRV_GET_T_CY CY*
#define DRV_GET_T_DATE DATE*
#define DRV_GET_T_BSTR BSTR*
#define DRV_GET_T_BSTR_ARRAY SAFEARRAY**
#define DRV_GET_T_UI2_ARRAY SAFEARRAY**
#define DRV_GET_T_I4_ARRAY SAFEARRAY**
#define DRV_PUT_T_UI2 USHORT
#define DRV_PUT_T_I2 SHORT
#define DRV_PUT_T_UI4 ULONG
#define DRV_PUT_T_I4 LONG
#define DRV_PUT_T_CY CY
#define DRV_PUT_T_DATE DATE
#define DRV_PUT_T_BSTR BSTR
#define DRV_PUT_T_BSTR_ARRAY SAFEARRAY*
#define DRV_PUT_T_UI2_ARRAY SAFEARRAY*
#define DRV_PUT_T_I4_ARRAY SAFEARRAY*

// Entry declarations of one catalogue row, in vtable order. `tail` is "PURE" for the interface
// and "override" for its implementation.
#define DRV_DECLARE_GET(name, type, tail) STDMETHOD(get_##name)(DRV_GET_T_##type pVal) tail;
#define DRV_DECLARE_PUT(name, type, tail) STDMETHOD(put_##name)(DRV_PUT_T_##type newVal) tail;
#define DRV_DECLARE_R(name, type, tail) DRV_DECLARE_GET(name, type, tail)
#define DRV_DECLARE_RW(name, type, tail) \
    DRV_DECLARE_GET(name, type, tail) DRV_DECLARE_PUT(name, type, tail)
#define DRV_DECLARE_WR(name, type, tail) \
    DRV_DECLARE_PUT(name, type, tail) DRV_DECLARE_GET(name, type, tail)

MIDL_INTERFACE("3F8A2C62-7B4D-4E19-A5C2-6D0E91B7F4A3") IDrvKeltor : public IDispatch {
#define DRV_METHOD(dispid, name) STDMETHOD(name)() PURE;
#define DRV_PROPERTY(dispid, name, access, type, ...) DRV_DECLARE_##access(name, type, PURE)
#include "DrvKeltorMembers.def"
};
