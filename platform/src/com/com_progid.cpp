// ProgIDs: HKEY_CLASSES_ROOT\<ProgID>\CLSID, and CurVer for a version-independent ProgID.
#include <objbase.h>

#include <cstring>
#include <new>

#include "com_text.h"

namespace {

// A version-independent ProgID points at the current versioned one; a short chain is followed,
// a loop is not.
constexpr int kMaxCurVerHops = 4;

HRESULT ResolveProgID(std::string progId, CLSID& clsid) {
    for (int hop = 0; hop <= kMaxCurVerHops; ++hop) {
        if (progId.empty()) {
            return CO_E_CLASSSTRING;
        }
        std::string text;
        if (com::ReadClassesRootText(progId + "\\CLSID", text) == ERROR_SUCCESS) {
            std::u16string wide;
            if (!com::WideFromAnsi(text, wide) || !com::ParseGuid(wide.c_str(), clsid)) {
                return CO_E_CLASSSTRING;
            }
            return S_OK;
        }
        if (com::ReadClassesRootText(progId + "\\CurVer", text) != ERROR_SUCCESS) {
            return CO_E_CLASSSTRING;
        }
        progId = text;
    }
    return CO_E_CLASSSTRING;
}

}  // namespace

WINOLEAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
    if (!lpszProgID || !lpclsid) {
        return E_INVALIDARG;
    }
    try {
        std::string progId;
        if (!com::AnsiFromWide(lpszProgID, progId)) {
            return CO_E_CLASSSTRING;
        }
        CLSID clsid;
        const HRESULT hr = ResolveProgID(progId, clsid);
        if (SUCCEEDED(hr)) {
            *lpclsid = clsid;
        }
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

WINOLEAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
    if (!lplpszProgID) {
        return E_INVALIDARG;
    }
    *lplpszProgID = nullptr;
    try {
        std::string text;
        if (com::ReadClassesRootText("CLSID\\" + com::GuidText(clsid) + "\\ProgID", text) !=
                ERROR_SUCCESS ||
            text.empty()) {
            return REGDB_E_CLASSNOTREG;
        }
        std::u16string wide;
        if (!com::WideFromAnsi(text, wide)) {
            return REGDB_E_CLASSNOTREG;
        }
        auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
        if (!copy) {
            return E_OUTOFMEMORY;
        }
        std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(OLECHAR));
        *lplpszProgID = copy;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
