// GUID texts in the registry's braced form.
#include <objbase.h>

#include <cstring>

#include "com_text.h"

namespace {

HRESULT DuplicateAscii(const std::string& text, LPOLESTR* out) {
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
    if (!copy) {
        return E_OUTOFMEMORY;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        copy[i] = static_cast<OLECHAR>(static_cast<unsigned char>(text[i]));
    }
    copy[text.size()] = 0;
    *out = copy;
    return S_OK;
}

}  // namespace

WINOLEAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    const std::string text = com::GuidText(rguid);
    const int needed = static_cast<int>(text.size()) + 1;
    if (!lpsz || cchMax < needed) {
        return 0;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        lpsz[i] = static_cast<OLECHAR>(text[i]);
    }
    lpsz[text.size()] = 0;
    return needed;
}

WINOLEAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
    if (!lplpsz) {
        return E_INVALIDARG;
    }
    *lplpsz = nullptr;
    return DuplicateAscii(com::GuidText(rclsid), lplpsz);
}

WINOLEAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) {
    return StringFromCLSID(rclsid, lplpsz);
}

WINOLEAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) {
        return E_INVALIDARG;
    }
    if (!lpsz) {
        *pclsid = CLSID_NULL;
        return S_OK;
    }
    if (lpsz[0] == u'{') {
        return com::ParseGuid(lpsz, *pclsid) ? S_OK : CO_E_CLASSSTRING;
    }
    // As on Windows, a text that is not a GUID may name the class by its ProgID.
    return SUCCEEDED(CLSIDFromProgID(lpsz, pclsid)) ? S_OK : CO_E_CLASSSTRING;
}

WINOLEAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
    if (!lpiid) {
        return E_INVALIDARG;
    }
    if (!lpsz) {
        *lpiid = IID_NULL;
        return S_OK;
    }
    return com::ParseGuid(lpsz, *lpiid) ? S_OK : E_INVALIDARG;
}
