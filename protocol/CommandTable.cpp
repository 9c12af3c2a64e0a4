#include "CommandTable.h"

#include "Brontal.h"

namespace {

// Index order is the printer's, see BrontalCommand.
constexpr const char* kCommandCodes[kCommandCount] = {
    "gs", "gn", "gt", "gf", "gv", "gd", "gc", "gp", "ga", "go", "gb", "ge", "gm", "gi", "gw", "hx",
    "gx", "st", "sv", "sd", "sc", "sp", "sa", "sf", "sb", "se", "zb", "ze", "zx", "zd", "zz", "zv",
    "zw", "zs", "zg", "hc", "zi", "rb", "rs", "rt", "ct", "rd", "ra", "rc", "rn", "re", "as", "bs",
    "ad", "aa", "ai", "ao", "bd", "ba", "bt", "ri", "bi", "pl", "pt", "pf", "hp", "pb", "ls", "wi",
    "wc", "wp", "wg", "cp", "cr", "cm", "in", "it", "is", "ir", "ia", "ic", "ip", "if", "ix", "ig",
    "ii", "ij", "iy", "il", "ks", "kr", "ka", "kc", "kp", "kb", "kx", "kg", "ki", "ky", "ji", "jv",
    "jc", "jz", "jf", "jp", "jb", "jg", "hd", "hi", "ho", "hs", "hb", "fm", "fi", "ou", "op", "od",
    "oc", "os", "ol", "ob", "oe", "fo", "fw", "fc", "sl", "c0", "b0", "iv", "vw", "vr", "vc", "fv",
};

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

const char* CommandCode(int index) {
    if (index < 0 || index >= kCommandCount) {
        return nullptr;
    }
    return kCommandCodes[index];
}

int CBrontal::CommandIndex(LPCSTR text) {
    if (!text || text[0] == '\0' || text[1] == '\0') {
        return -1;
    }
    const char first = LowerAscii(text[0]);
    const char second = LowerAscii(text[1]);
    for (int i = 0; i < kCommandCount; ++i) {
        if (kCommandCodes[i][0] == first && kCommandCodes[i][1] == second) {
            return i;
        }
    }
    return -2;
}
