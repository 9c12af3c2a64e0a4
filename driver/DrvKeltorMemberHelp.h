// The one-line description of each member of IDrvKeltor, as the member catalogue gives it: the
// command-line client's help and the type library's help strings come from here.
//
// Thread-safety: a pure function over constant data.
#pragma once

#include <cstring>

// The member's description; an empty text for a name the catalogue does not have.
inline const char* DrvKeltorMemberHelp(const char* name) {
    struct MemberHelp {
        const char* name;
        const char* text;
    };
    static const MemberHelp kHelp[] = {
#define DRV_METHOD(dispid, name)
#define DRV_PROPERTY(dispid, name, ...)
#define DRV_HELP(name, text) {#name, text},
#include "DrvKeltorMembers.def"
#undef DRV_HELP
    };
    for (const MemberHelp& help : kHelp) {
        if (std::strcmp(help.name, name) == 0) {
            return help.text;
        }
    }
    return "";
}
