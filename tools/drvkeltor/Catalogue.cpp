#include "Catalogue.h"

#include <cstring>
#include <iterator>

// The contract's table of members and their help, compiled in: the client links nothing of the
// driver.
#include "../../driver/DrvKeltorMemberHelp.h"

namespace drvkeltor {

namespace {

constexpr DWORD kPathCapacity = 4 * MAX_PATH;

// The catalogue of the component's contract, compiled in.
#define DRV_VT_UI2 VT_UI2
#define DRV_VT_I2 VT_I2
#define DRV_VT_UI4 VT_UI4
#define DRV_VT_I4 VT_I4
#define DRV_VT_CY VT_CY
#define DRV_VT_DATE VT_DATE
#define DRV_VT_BSTR VT_BSTR
#define DRV_VT_BSTR_ARRAY static_cast<VARTYPE>(VT_ARRAY | VT_BSTR)
#define DRV_VT_UI2_ARRAY static_cast<VARTYPE>(VT_ARRAY | VT_UI2)
#define DRV_VT_I4_ARRAY static_cast<VARTYPE>(VT_ARRAY | VT_I4)
#define DRV_ACCESS_R kCatalogueGet
#define DRV_ACCESS_RW static_cast<BYTE>(kCatalogueGet | kCataloguePut)
#define DRV_ACCESS_WR static_cast<BYTE>(kCatalogueGet | kCataloguePut)

const BrontalMemberInfo kBuiltinMembers[] = {
#define DRV_METHOD(dispid, name) {dispid, VT_EMPTY, 1, 0, #name},
#define DRV_PROPERTY(dispid, name, access, type, ...) \
    {dispid, DRV_VT_##type, 0, DRV_ACCESS_##access, #name},
#include "../../driver/DrvKeltorMembers.def"
};

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

const CMemberCatalogue& CMemberCatalogue::Builtin() {
    static const CMemberCatalogue* catalogue = [] {
        auto* built = new CMemberCatalogue;
        built->m_members.assign(std::begin(kBuiltinMembers), std::end(kBuiltinMembers));
        for (const BrontalMemberInfo& member : built->m_members) {
            built->m_help.push_back(DrvKeltorMemberHelp(member.name));
        }
        return built;
    }();
    return *catalogue;
}

HRESULT CMemberCatalogue::Load(REFCLSID clsid) {
    m_members.clear();
    m_help.clear();
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

std::string CMemberCatalogue::Help(const BrontalMemberInfo& member) const {
    const size_t row = static_cast<size_t>(&member - m_members.data());
    return row < m_help.size() ? m_help[row] : std::string();
}

void CMemberCatalogue::Print(std::FILE* out) const {
    std::fprintf(out, "Methods (call one by its name):\n");
    for (const BrontalMemberInfo& member : m_members) {
        if (member.isMethod) {
            std::fprintf(out, "  %-44s %s\n", member.name, Help(member).c_str());
        }
    }
    std::fprintf(out, "\nProperties (Name=value sets, ?Name prints), with type and access:\n");
    for (const BrontalMemberInfo& member : m_members) {
        if (member.isMethod) {
            continue;
        }
        const char* access = (member.access & kCataloguePut)
                                 ? ((member.access & kCatalogueGet) ? "get/put" : "put")
                                 : "get";
        std::fprintf(out, "  %-44s %-6s %-7s %s\n", member.name, TypeName(member.type).c_str(),
                     access, Help(member).c_str());
    }
}

void CMemberCatalogue::PrintNames(std::FILE* out) const {
    for (const BrontalMemberInfo& member : m_members) {
        std::fprintf(out, "%s\n", member.name);
    }
}

std::string CMemberCatalogue::Differences(const CMemberCatalogue& other) const {
    constexpr int kShown = 5;
    std::string names;
    int shown = 0;
    const auto note = [&](const char* name) {
        if (shown++ < kShown) {
            names += names.empty() ? name : std::string(", ") + name;
        }
    };
    for (const BrontalMemberInfo& member : m_members) {
        const BrontalMemberInfo* twin = other.Find(member.name);
        if (!twin || twin->dispid != member.dispid || twin->type != member.type ||
            twin->isMethod != member.isMethod || twin->access != member.access) {
            note(member.name);
        }
    }
    for (const BrontalMemberInfo& member : other.m_members) {
        if (!Find(member.name)) {
            note(member.name);
        }
    }
    return shown > kShown ? names + ", ..." : names;
}

}  // namespace drvkeltor
