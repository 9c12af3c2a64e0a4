// VariantChangeType from any value of the scalar and string types to each of them: a clean
// result code, and a destination that VariantClear can always free.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <oleauto.h>
#include <windows.h>

namespace {

const VARTYPE kTypes[] = {VT_EMPTY, VT_NULL, VT_I2,   VT_I4,   VT_R4,  VT_R8,
                          VT_CY,    VT_DATE, VT_BSTR, VT_BOOL, VT_I1,  VT_UI1,
                          VT_UI2,   VT_UI4,  VT_I8,   VT_UI8,  VT_INT, VT_UINT};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const VARTYPE from = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
    const USHORT flags = data[1] & 0x0F;
    data += 2;
    size -= 2;
    VARIANT source;
    VariantInit(&source);
    if (from == VT_BSTR) {
        // The bytes as UTF-16 text.
        source.vt = VT_BSTR;
        source.bstrVal = SysAllocStringLen(nullptr, static_cast<UINT>(size / 2));
        if (!source.bstrVal) {
            return 0;
        }
        std::memcpy(source.bstrVal, data, size / 2 * 2);
    } else {
        source.vt = from;
        // Any bit pattern: for VT_R8 and VT_DATE NaN and the infinities come too.
        std::memcpy(&source.llVal, data, size < 8 ? size : 8);
    }
    for (VARTYPE to : kTypes) {
        VARIANT result;
        VariantInit(&result);
        VariantChangeType(&result, &source, flags, to);
        VariantClear(&result);
    }
    VariantClear(&source);
    return 0;
}
