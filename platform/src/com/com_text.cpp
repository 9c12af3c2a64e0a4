#include "com_text.h"

#include <winnls.h>

#include <cstdio>
#include <vector>

namespace com {

bool AnsiFromWide(LPCOLESTR text, std::string& ansi) {
    ansi.clear();
    if (!text || !*text) {
        return true;
    }
    const int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return false;
    }
    std::string buffer(static_cast<std::size_t>(needed), '\0');
    BOOL lossy = FALSE;
    const int written =
        WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), needed, nullptr, &lossy);
    if (written <= 0 || lossy) {
        return false;
    }
    buffer.resize(static_cast<std::size_t>(written - 1));
    ansi.swap(buffer);
    return true;
}

bool WideFromAnsi(const std::string& ansi, std::u16string& wide) {
    wide.clear();
    if (ansi.empty()) {
        return true;
    }
    const int length = static_cast<int>(ansi.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (needed <= 0) {
        return false;
    }
    std::u16string buffer(static_cast<std::size_t>(needed), u'\0');
    const int written = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, buffer.data(), needed);
    if (written <= 0) {
        return false;
    }
    buffer.resize(static_cast<std::size_t>(written));
    wide.swap(buffer);
    return true;
}

std::string GuidText(REFGUID guid) {
    char text[40];
    std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

namespace {

bool HexDigits(LPCOLESTR text, int count, unsigned long long& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
        const OLECHAR c = text[i];
        unsigned digit;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            return false;
        }
        value = value * 16 + digit;
    }
    return true;
}

}  // namespace

bool ParseGuid(LPCOLESTR text, GUID& guid) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 38 characters, then the end.
    static const int kGroups[] = {8, 4, 4, 4, 12};
    if (!text || text[0] != u'{') {
        return false;
    }
    int position = 1;
    unsigned long long groups[5];
    for (int g = 0; g < 5; ++g) {
        // Every character is checked before the next is read, so a short text stops at its zero.
        for (int i = 0; i < kGroups[g]; ++i) {
            if (text[position + i] == 0) {
                return false;
            }
        }
        if (!HexDigits(text + position, kGroups[g], groups[g])) {
            return false;
        }
        position += kGroups[g];
        const OLECHAR expected = g < 4 ? u'-' : u'}';
        if (text[position] != expected) {
            return false;
        }
        ++position;
    }
    if (text[position] != 0) {
        return false;
    }
    guid.Data1 = static_cast<ULONG>(groups[0]);
    guid.Data2 = static_cast<USHORT>(groups[1]);
    guid.Data3 = static_cast<USHORT>(groups[2]);
    guid.Data4[0] = static_cast<UCHAR>(groups[3] >> 8);
    guid.Data4[1] = static_cast<UCHAR>(groups[3]);
    for (int i = 0; i < 6; ++i) {
        guid.Data4[2 + i] = static_cast<UCHAR>(groups[4] >> (8 * (5 - i)));
    }
    return true;
}

LSTATUS ReadClassesRootText(const std::string& subKey, std::string& text) {
    text.clear();
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    status = RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size);
    // Another process may grow the value between asking for its size and reading it; a value
    // that keeps growing is reported, not read as an empty text.
    for (int attempt = 0; status == ERROR_SUCCESS; ++attempt) {
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            status = ERROR_FILE_NOT_FOUND;
            break;
        }
        std::vector<BYTE> data(size + 1, 0);
        status = RegQueryValueExA(key, nullptr, nullptr, &type, data.data(), &size);
        if (status == ERROR_SUCCESS) {
            // The stored text may or may not carry its zero; data has one more zero either way.
            text.assign(reinterpret_cast<const char*>(data.data()));
            break;
        }
        if (status == ERROR_MORE_DATA && attempt < 2) {
            status = ERROR_SUCCESS;
        }
    }
    RegCloseKey(key);
    return status;
}

}  // namespace com
