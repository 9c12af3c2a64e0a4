// typelib_check: what an object browser and an early-bound client see of the registered
// component, checked against the member catalogue the DLL carries.
//
// It creates "BrontalOcx.DrvKeltor" through the component runtime, takes IDispatch's type
// information and requires, for every member of the catalogue, a description with its DISPID,
// name, kind, Automation type and help string, and no member the catalogue lacks. It also
// requires the registered type library to be the one the DLL carries, the names to resolve
// through the type information as through GetIDsOfNames, and SoftwareVersion to be the version
// resource's product version.
//
// Usage: typelib_check.exe PRODUCT_VERSION
// Prints each failure and "typelib_check: N members checked"; exit code 0 only when all agree.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>

#include <initguid.h>

#include "BrontalOcxCatalogue.h"
#include "DrvKeltorMemberHelp.h"
#include "IDrvKeltor.h"

namespace {

int g_failures = 0;

void Failure(const char* format, const char* name, long a = 0, long b = 0) {
    std::printf("FAIL ");
    std::printf(format, name, a, b);
    std::printf("\n");
    ++g_failures;
}

std::string Narrow(const wchar_t* wide) {
    char text[256] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide ? wide : L"", -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// What the type information says of one DISPID.
struct Described {
    std::string name;
    std::string help;
    bool method = false;
    VARTYPE getType = VT_EMPTY;  // VT_ARRAY | element for a SAFEARRAY
    VARTYPE putType = VT_EMPTY;
    bool hasGet = false;
    bool hasPut = false;
};

VARTYPE TypeOf(const TYPEDESC& type) {
    if (type.vt == VT_SAFEARRAY && type.lptdesc) {
        return static_cast<VARTYPE>(VT_ARRAY | type.lptdesc->vt);
    }
    return type.vt;
}

// The members of the dispatch interface, IUnknown's and IDispatch's own left out.
std::map<DISPID, Described> Describe(ITypeInfo* info) {
    std::map<DISPID, Described> members;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) {
        Failure("%s: no type attributes", "IDrvKeltor");
        return members;
    }
    if (attributes->typekind != TKIND_DISPATCH || attributes->guid != IID_IDrvKeltor) {
        Failure("%s: the type information is not the dispatch interface IDrvKeltor (kind %ld)",
                "GetTypeInfo", attributes->typekind);
    }
    const WORD count = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (WORD i = 0; i < count; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) {
            Failure("%s: function %ld cannot be read", "IDrvKeltor", i);
            continue;
        }
        BSTR name = nullptr;
        BSTR help = nullptr;
        info->GetDocumentation(function->memid, &name, &help, nullptr, nullptr);
        // IUnknown's and IDispatch's entries: restricted, with DISPIDs from 0x60000000.
        const bool inherited =
            (function->wFuncFlags & FUNCFLAG_FRESTRICTED) || function->memid >= 0x60000000;
        if (!inherited) {
            Described& member = members[function->memid];
            member.name = Narrow(name);
            member.help = Narrow(help);
            if (function->invkind == INVOKE_FUNC) {
                member.method = true;
            } else if (function->invkind == INVOKE_PROPERTYGET) {
                member.hasGet = true;
                member.getType = TypeOf(function->elemdescFunc.tdesc);
            } else if (function->invkind == INVOKE_PROPERTYPUT && function->cParams == 1) {
                member.hasPut = true;
                member.putType = TypeOf(function->lprgelemdescParam[0].tdesc);
            }
        }
        SysFreeString(name);
        SysFreeString(help);
        info->ReleaseFuncDesc(function);
    }
    return members;
}

void CheckMember(const BrontalMemberInfo& row, const Described* member, ITypeInfo* info,
                 IDispatch* object) {
    if (!member) {
        Failure("%s (DISPID %ld): missing from the type information", row.name, row.dispid);
        return;
    }
    if (member->name != row.name) {
        Failure("%s (DISPID %ld): named otherwise in the type information", row.name, row.dispid);
    }
    if (member->help != DrvKeltorMemberHelp(row.name)) {
        Failure("%s: help string is not the catalogue's", row.name);
    }
    if (row.isMethod) {
        if (!member->method || member->hasGet || member->hasPut) {
            Failure("%s: not described as a method", row.name);
        }
    } else {
        if (!member->hasGet || member->getType != row.type) {
            Failure("%s: get type %ld, catalogue type %ld", row.name, member->getType, row.type);
        }
        const bool writable = (row.access & kCataloguePut) != 0;
        if (member->hasPut != writable || (writable && member->putType != row.type)) {
            Failure("%s: put described wrongly (type %ld)", row.name, member->putType);
        }
    }
    // Early and late binding agree on the DISPID of the name.
    wchar_t wide[kMemberNameCapacity] = {};
    MultiByteToWideChar(CP_ACP, 0, row.name, -1, wide, kMemberNameCapacity);
    LPOLESTR names[] = {wide};
    DISPID fromTypeInfo = DISPID_UNKNOWN;
    DISPID fromObject = DISPID_UNKNOWN;
    info->GetIDsOfNames(names, 1, &fromTypeInfo);
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &fromObject);
    if (fromTypeInfo != row.dispid || fromObject != row.dispid) {
        Failure("%s: name resolves to %ld (type information) and %ld (object)", row.name,
                fromTypeInfo, fromObject);
    }
}

// The catalogue from the registered DLL itself.
bool LoadCatalogue(std::map<DISPID, BrontalMemberInfo>& rows) {
    char path[MAX_PATH] = {};
    LONG size = sizeof path;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, "CLSID\\" DRVKELTOR_CLSID_TEXT "\\InprocServer32", path,
                       &size) != ERROR_SUCCESS) {
        Failure("%s: the class has no InprocServer32", "registry");
        return false;
    }
    HMODULE library = LoadLibraryA(path);
    const auto copy = library ? reinterpret_cast<DllGetMemberCatalogueFunction>(
                                    GetProcAddress(library, kMemberCatalogueExport))
                              : nullptr;
    ULONG count = 0;
    if (!copy || copy(nullptr, 0, &count) != S_FALSE || count == 0) {
        Failure("%s: the DLL lists no members", path);
        return false;
    }
    BrontalMemberInfo* buffer = new BrontalMemberInfo[count];
    const bool copied = copy(buffer, count, &count) == S_OK;
    for (ULONG i = 0; copied && i < count; ++i) {
        rows[buffer[i].dispid] = buffer[i];
    }
    delete[] buffer;
    return copied;
}

void CheckRegisteredLibrary(ITypeInfo* info) {
    ITypeLib* library = nullptr;
    UINT index = 0;
    TLIBATTR* attributes = nullptr;
    if (FAILED(info->GetContainingTypeLib(&library, &index)) ||
        FAILED(library->GetLibAttr(&attributes))) {
        Failure("%s: no containing type library", "GetTypeInfo");
        return;
    }
    if (attributes->guid != LIBID_BrontalOcx || attributes->wMajorVerNum != 1 ||
        attributes->wMinorVerNum != 0) {
        Failure("%s: not LIBID_BrontalOcx 1.0", "type library");
    }
    const SYSKIND expected = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    if (attributes->syskind != expected) {
        Failure("%s: built for system kind %ld", "type library", attributes->syskind);
    }
    library->ReleaseTLibAttr(attributes);
    library->Release();
    ITypeLib* registered = nullptr;
    if (FAILED(LoadRegTypeLib(LIBID_BrontalOcx, 1, 0, LOCALE_NEUTRAL, &registered))) {
        Failure("%s: not registered", "type library");
        return;
    }
    ITypeInfo* registeredInfo = nullptr;
    if (FAILED(registered->GetTypeInfoOfGuid(IID_IDrvKeltor, &registeredInfo))) {
        Failure("%s: the registered library lacks IDrvKeltor", "type library");
    } else {
        registeredInfo->Release();
    }
    registered->Release();
}

void CheckVersion(IDispatch* object, const char* expected) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"SoftwareVersion")};
    DISPID dispid = DISPID_UNKNOWN;
    DISPPARAMS none = {};
    VARIANT value;
    VariantInit(&value);
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid)) ||
        FAILED(object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                              &value, nullptr, nullptr)) ||
        value.vt != VT_BSTR) {
        Failure("%s: cannot be read", "SoftwareVersion");
        return;
    }
    const std::string version = Narrow(value.bstrVal);
    VariantClear(&value);
    if (version != expected) {
        Failure("SoftwareVersion \"%s\" is not the version resource's", version.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: typelib_check PRODUCT_VERSION\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 2;
    }
    CLSID clsid = {};
    IDispatch* object = nullptr;
    if (FAILED(CLSIDFromProgID(L"BrontalOcx.DrvKeltor", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&object)))) {
        std::printf("FAIL BrontalOcx.DrvKeltor cannot be created\n");
        return 1;
    }
    UINT count = 0;
    ITypeInfo* info = nullptr;
    if (FAILED(object->GetTypeInfoCount(&count)) || count != 1 ||
        FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info))) {
        std::printf("FAIL GetTypeInfoCount/GetTypeInfo give no type information\n");
        return 1;
    }
    ITypeInfo* none = nullptr;
    if (object->GetTypeInfo(1, LOCALE_USER_DEFAULT, &none) != DISP_E_BADINDEX || none) {
        Failure("%s: index 1 is not refused", "GetTypeInfo");
    }
    std::map<DISPID, BrontalMemberInfo> rows;
    if (LoadCatalogue(rows)) {
        const std::map<DISPID, Described> members = Describe(info);
        for (const auto& [dispid, row] : rows) {
            const auto found = members.find(dispid);
            CheckMember(row, found == members.end() ? nullptr : &found->second, info, object);
        }
        for (const auto& [dispid, member] : members) {
            if (rows.find(dispid) == rows.end()) {
                Failure("%s (DISPID %ld): in the type information only", member.name.c_str(),
                        dispid);
            }
        }
    }
    CheckRegisteredLibrary(info);
    CheckVersion(object, argv[1]);
    info->Release();
    object->Release();
    CoUninitialize();
    std::printf("typelib_check: %u members checked, %d failures\n",
                static_cast<unsigned>(rows.size()), g_failures);
    return g_failures == 0 && !rows.empty() ? 0 : 1;
}
