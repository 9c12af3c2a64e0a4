#include "Catalogue.h"

#include <cstring>

namespace drvkeltor {

namespace {

constexpr DWORD kPathCapacity = 4 * MAX_PATH;

// The library file registered for the class: HKCR\CLSID\{...}\InprocServer32.
HRESULT RegisteredLibrary(REFCLSID clsid, char* path, DWORD capacity) {
    OLECHAR wide[40] = {};
    if (StringFromGUID2(clsid, wide, 40) == 0) {
        return E_UNEXPECTED;
    }
    char text[40] = {};
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr) == 0) {
        return E_UNEXPECTED;
    }
    const std::string key = std::string("CLSID\\") + text + "\\InprocServer32";
    HKEY server = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &server) != ERROR_SUCCESS) {
        return REGDB_E_CLASSNOTREG;
    }
    DWORD type = 0;
    DWORD size = capacity - 1;  // room for a terminator the value may lack
    const LONG status =
        RegQueryValueExA(server, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(server);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) {
        return REGDB_E_CLASSNOTREG;
    }
    path[size < capacity ? size : capacity - 1] = '\0';
    return S_OK;
}

bool SameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        const char x = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
        const char y = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
        if (x != y) {
            return false;
        }
    }
    return *a == *b;
}

}  // namespace

std::string TypeName(VARTYPE type) {
    std::string name;
    switch (type & ~VT_ARRAY) {
        case VT_UI2:
            name = "UI2";
            break;
        case VT_I2:
            name = "I2";
            break;
        case VT_UI4:
            name = "UI4";
            break;
        case VT_I4:
            name = "I4";
            break;
        case VT_CY:
            name = "CY";
            break;
        case VT_DATE:
            name = "DATE";
            break;
        case VT_BSTR:
            name = "BSTR";
            break;
        default:
            name = "VT" + std::to_string(type & ~VT_ARRAY);
            break;
    }
    return (type & VT_ARRAY) ? name + "[]" : name;
}

HRESULT CMemberCatalogue::Load(REFCLSID clsid) {
    m_members.clear();
    char path[kPathCapacity] = {};
    HRESULT hr = RegisteredLibrary(clsid, path, sizeof path);
    if (FAILED(hr)) {
        return hr;
    }
    HMODULE library = LoadLibraryA(path);
    if (!library) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    const auto copy = reinterpret_cast<DllGetMemberCatalogueFunction>(
        GetProcAddress(library, kMemberCatalogueExport));
    hr = E_NOTIMPL;
    if (copy) {
        ULONG count = 0;
        hr = copy(nullptr, 0, &count);
        if (SUCCEEDED(hr)) {
            m_members.resize(count);
            hr = copy(m_members.data(), count, &count);
            if (hr != S_OK || count != m_members.size()) {
                m_members.clear();
                hr = FAILED(hr) ? hr : E_UNEXPECTED;
            }
        }
    }
    // The rows are copies: the library may go.
    FreeLibrary(library);
    return hr;
}

const BrontalMemberInfo* CMemberCatalogue::Find(const std::string& name) const {
    for (const BrontalMemberInfo& member : m_members) {
        if (SameName(member.name, name.c_str())) {
            return &member;
        }
    }
    return nullptr;
}

void CMemberCatalogue::Print(std::FILE* out) const {
    for (const BrontalMemberInfo& member : m_members) {
        if (member.isMethod) {
            std::fprintf(out, "  %-46s method\n", member.name);
            continue;
        }
        const char* access = (member.access & kCataloguePut)
                                 ? ((member.access & kCatalogueGet) ? "get/put" : "put")
                                 : "get";
        std::fprintf(out, "  %-46s %-7s %s\n", member.name, TypeName(member.type).c_str(), access);
    }
}

}  // namespace drvkeltor
