#include "IdlWriter.h"

#include "DispatchTable.h"
#include "DrvKeltorMemberHelp.h"
#include "IDrvKeltor.h"

namespace client {

namespace {

std::string IdlType(VARTYPE type) {
    switch (type & VT_TYPEMASK) {
        case VT_UI2:
            return (type & VT_ARRAY) ? "SAFEARRAY(USHORT)" : "USHORT";
        case VT_I2:
            return "SHORT";
        case VT_UI4:
            return "ULONG";
        case VT_I4:
            return (type & VT_ARRAY) ? "SAFEARRAY(LONG)" : "LONG";
        case VT_CY:
            // CY would be typed as the structure it is; CURRENCY is the Automation type.
            return "CURRENCY";
        case VT_DATE:
            return "DATE";
        case VT_BSTR:
            return (type & VT_ARRAY) ? "SAFEARRAY(BSTR)" : "BSTR";
        default:
            return "?";
    }
}

// The member's description from the catalogue, as an IDL string.
std::string HelpOf(const char* name) {
    std::string quoted;
    for (const char* c = DrvKeltorMemberHelp(name); *c; ++c) {
        if (*c == '"' || *c == '\\') {
            quoted += '\\';
        }
        quoted += *c;
    }
    return quoted;
}

std::string Braceless(const char* text) {
    const std::string braced = text;
    return braced.substr(1, braced.size() - 2);
}

}  // namespace

std::string DrvKeltorIdl() {
    std::string idl =
        "// BrontalOcx.idl: the type library of the driver component. Generated from the member\n"
        "// catalogue (driver/DrvKeltorMembers.def) by hosting_catalogue_test; run it with\n"
        "// BRONTAL_WRITE_IDL=1 to rewrite this file after the catalogue changed.\n"
        "\n"
        "import \"oaidl.idl\";\n"
        "import \"ocidl.idl\";\n"
        "\n"
        "[\n"
        "    object,\n"
        "    uuid(" +
        Braceless(DRVKELTOR_IID_TEXT) +
        "),\n"
        "    dual,\n"
        "    nonextensible,\n"
        "    helpstring(\"IDrvKeltor Interface\"),\n"
        "    pointer_default(unique)\n"
        "]\n"
        "interface IDrvKeltor : IDispatch\n"
        "{\n";
    for (std::size_t i = 0; i < kDrvKeltorMemberCount; ++i) {
        const DispatchMember& member = kDrvKeltorMembers[i];
        const std::string id = std::to_string(member.dispid);
        // Object browsers show the help string beside each member.
        if (member.kind == MemberKind::Method) {
            idl += "    [id(" + id + "), helpstring(\"" + HelpOf(member.name) + "\")] HRESULT " +
                   member.name + "();\n";
            continue;
        }
        const std::string type = IdlType(member.type);
        const std::string help = "helpstring(\"" + HelpOf(member.name) + "\")";
        const std::string get = "    [propget, id(" + id + "), " + help + "] HRESULT " +
                                member.name + "([out, retval] " + type + "* pVal);\n";
        const std::string put = (member.access & kMemberPut)
                                    ? "    [propput, id(" + id + "), " + help + "] HRESULT " +
                                          member.name + "([in] " + type + " newVal);\n"
                                    : std::string();
        idl += (member.access & kMemberPutFirst) ? put + get : get + put;
    }
    idl +=
        "};\n"
        "\n"
        "[\n"
        "    uuid(" +
        Braceless(BRONTALOCX_LIBID_TEXT) +
        "),\n"
        "    version(1.0),\n"
        "    helpstring(\"BrontalOcx 1.0 Type Library\")\n"
        "]\n"
        "library BrontalOcx\n"
        "{\n"
        "    importlib(\"stdole2.tlb\");\n"
        "\n"
        "    [\n"
        "        uuid(" +
        Braceless(DRVKELTOR_CLSID_TEXT) +
        "),\n"
        "        helpstring(\"" DRVKELTOR_CLASS_NAME
        "\")\n"
        "    ]\n"
        "    coclass DrvKeltor\n"
        "    {\n"
        "        [default] interface IDrvKeltor;\n"
        "    };\n"
        "};\n";
    return idl;
}

}  // namespace client
