// The driver's members as the utility calls them: DISPID, Automation type and name, taken from
// the one member catalogue the component itself is built from.
#pragma once

#include <windows.h>

struct DrvMember {
    DISPID dispid;
    VARTYPE type;  // VT_EMPTY for a method
    bool method;
    const char* name;
};

namespace drvmember {

constexpr VARTYPE kType_UI2 = VT_UI2;
constexpr VARTYPE kType_I2 = VT_I2;
constexpr VARTYPE kType_UI4 = VT_UI4;
constexpr VARTYPE kType_I4 = VT_I4;
constexpr VARTYPE kType_CY = VT_CY;
constexpr VARTYPE kType_DATE = VT_DATE;
constexpr VARTYPE kType_BSTR = VT_BSTR;
constexpr VARTYPE kType_BSTR_ARRAY = VT_ARRAY | VT_BSTR;
constexpr VARTYPE kType_UI2_ARRAY = VT_ARRAY | VT_UI2;
constexpr VARTYPE kType_I4_ARRAY = VT_ARRAY | VT_I4;

#define DRV_METHOD(dispid, name) inline constexpr DrvMember name{dispid, VT_EMPTY, true, #name};
#define DRV_PROPERTY(dispid, name, access, type, ...) \
    inline constexpr DrvMember name{dispid, kType_##type, false, #name};
#include "../../driver/DrvKeltorMembers.def"

}  // namespace drvmember
