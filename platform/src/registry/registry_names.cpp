#include "registry_names.h"

#include "registry_text.h"

#include <cstring>

namespace brontal::registry {

namespace {
// A line break cannot be written into a hive file's name fields, so such names are refused
// instead of producing a file that would not read back.
bool HasLineBreak(const Text& name) {
    return name.find(u'\r') != Text::npos || name.find(u'\n') != Text::npos;
}
}  // namespace

LSTATUS ParseSubKey(LPCSTR subKey, std::vector<Text>& parts) {
    parts.clear();
    if (!subKey || !*subKey) {
        return ERROR_SUCCESS;
    }
    const Text path = AnsiToText(subKey);
    if (path.front() == u'\\') {
        return ERROR_BAD_PATHNAME;
    }
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == Text::npos) {
            end = path.size();
        }
        if (end == start) {
            return ERROR_BAD_PATHNAME;
        }
        Text part = path.substr(start, end - start);
        if (part.size() > kMaxKeyNameChars || HasLineBreak(part)) {
            return ERROR_INVALID_PARAMETER;
        }
        parts.push_back(std::move(part));
        start = end + 1;
    }
    if (parts.size() > kMaxKeyDepth) {
        return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

LSTATUS ParseValueName(LPCSTR valueName, Text& name) {
    name = valueName ? AnsiToText(valueName) : Text();
    if (name.size() > kMaxValueNameChars || HasLineBreak(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::vector<BYTE> StoredData(DWORD type, const BYTE* data, DWORD size) {
    if (size == 0) {
        return {};
    }
    if (!IsStringType(type)) {
        return std::vector<BYTE>(data, data + size);
    }
    return Utf16Bytes(AnsiToText(std::string_view(reinterpret_cast<const char*>(data), size)),
                      false);
}

std::vector<BYTE> AnsiData(const Value& value) {
    if (!IsStringType(value.type)) {
        return value.data;
    }
    // An odd last byte (possible only in a hand-made file) is not a character and is dropped.
    std::vector<BYTE> ansi;
    ansi.reserve(value.data.size() / 2);
    for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const char16_t u = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
        ansi.push_back(static_cast<BYTE>(AnsiFromUnit(u)));
    }
    return ansi;
}

LSTATUS CopyName(const Text& name, LPSTR buffer, LPDWORD count) {
    const std::string ansi = TextToAnsi(name);
    if (ansi.size() + 1 > *count) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, ansi.data(), ansi.size());
    buffer[ansi.size()] = '\0';
    *count = static_cast<DWORD>(ansi.size());
    return ERROR_SUCCESS;
}

LSTATUS CopyData(const Value& value, LPDWORD type, LPBYTE data, LPDWORD size) {
    const std::vector<BYTE> ansi = AnsiData(value);
    const auto needed = static_cast<DWORD>(ansi.size());
    if (type) {
        *type = value.type;
    }
    if (!size) {
        return ERROR_SUCCESS;
    }
    if (!data) {
        *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed > 0) {
        std::memcpy(data, ansi.data(), needed);
    }
    if (IsStringType(value.type) && *size > needed && (needed == 0 || ansi.back() != 0)) {
        data[needed] = 0;
    }
    *size = needed;
    return ERROR_SUCCESS;
}

}  // namespace brontal::registry
