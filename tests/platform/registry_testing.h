// Small helpers shared by the registry tests.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <iconv.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace registrytest {

// Creates (or opens) a key with full access; fails the test when it cannot.
inline HKEY CreateKey(HKEY root, const std::string& path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LSTATUS status =
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access, nullptr, &key, &disposition);
    EXPECT_EQ(status, ERROR_SUCCESS) << path;
    return key;
}

inline LSTATUS SetDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

// REG_SZ with its terminator, as callers normally store it.
inline LSTATUS SetText(HKEY key, const char* name, const std::string& text, DWORD type = REG_SZ) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

// The value's bytes as the *A functions give them; empty on failure (status tells).
inline std::string Query(HKEY key, const char* name, DWORD* type = nullptr,
                         LSTATUS* status = nullptr) {
    DWORD size = 0;
    LSTATUS st = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    std::string data;
    if (st == ERROR_SUCCESS) {
        data.resize(size);
        st =
            RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size);
        data.resize(st == ERROR_SUCCESS ? size : 0);
    }
    if (status) {
        *status = st;
    }
    return data;
}

inline DWORD QueryDword(HKEY key, const char* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS)
        << name;
    return value;
}

// The names `enumerate(index, name, &count)` gives from index 0 until it says there are no more.
template <typename Enumerate>
std::vector<std::string> EnumeratedNames(Enumerate enumerate) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[300];
        DWORD count = sizeof name;
        const LSTATUS st = enumerate(i, name, &count);
        if (st != ERROR_SUCCESS) {
            EXPECT_EQ(st, ERROR_NO_MORE_ITEMS);
            break;
        }
        names.emplace_back(name, count);
    }
    return names;
}

inline std::vector<std::string> ValueNames(HKEY key) {
    return EnumeratedNames([key](DWORD i, char* name, DWORD* count) {
        return RegEnumValueA(key, i, name, count, nullptr, nullptr, nullptr, nullptr);
    });
}

inline std::vector<std::string> SubkeyNames(HKEY key) {
    return EnumeratedNames([key](DWORD i, char* name, DWORD* count) {
        return RegEnumKeyExA(key, i, name, count, nullptr, nullptr, nullptr, nullptr);
    });
}

// The expected bytes of a hive file: UTF-8 text as UTF-16LE behind a byte order mark.
inline std::string Utf16File(const std::string& utf8) {
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv_open");
    }
    std::string out(utf8.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(utf8.data());
    size_t srcLeft = utf8.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        throw std::runtime_error("iconv");
    }
    out.resize(out.size() - dstLeft);
    return "\xFF\xFE" + out;
}

}  // namespace registrytest
