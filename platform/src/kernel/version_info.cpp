// GetFileVersionInfoA hands out the version block as it lies in the file; VerQueryValueA finds
// the fixed part, the translation and the texts inside it.
#include <windows.h>
#include <winver.h>
#include <versionresource.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "version_file.h"

namespace {

bool EqualNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return i == a.size() && !b[i];
}

std::vector<std::string> SplitPath(const char* path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = path; *p; ++p) {
        if (*p == '\\') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part.push_back(*p);
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

}  // namespace

WINBASEAPI DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) {
        *lpdwHandle = 0;
    }
    try {
        std::vector<BYTE> block;
        const DWORD error = version::ReadVersionBlock(lptstrFilename, block);
        if (error != NO_ERROR) {
            SetLastError(error);
            return 0;
        }
        return static_cast<DWORD>(block.size());
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

WINBASEAPI BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen,
                                           LPVOID lpData) {
    (void)dwHandle;
    if (!lpData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        std::vector<BYTE> block;
        const DWORD error = version::ReadVersionBlock(lptstrFilename, block);
        if (error != NO_ERROR) {
            SetLastError(error);
            return FALSE;
        }
        if (dwLen < block.size()) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::memcpy(lpData, block.data(), block.size());
        return TRUE;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

WINBASEAPI BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer,
                                      UINT* puLen) {
    if (!pBlock || !lpSubBlock || !lplpBuffer || !puLen) {
        return FALSE;
    }
    *lplpBuffer = nullptr;
    *puLen = 0;
    const auto* data = static_cast<const BYTE*>(pBlock);
    brontal_version::Header header;
    std::memcpy(&header, data, sizeof(header));
    // The block carries its own size, as Windows blocks do; it was validated when it was read.
    if (header.magic != brontal_version::kMagic || !version::IsValidBlock(data, header.size)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    try {
        const std::vector<std::string> parts = SplitPath(lpSubBlock);
        if (parts.empty()) {
            *lplpBuffer = const_cast<BYTE*>(data + offsetof(brontal_version::Header, fixed));
            *puLen = sizeof(VS_FIXEDFILEINFO);
            return TRUE;
        }
        if (parts.size() == 2 && EqualNoCase(parts[0], "VarFileInfo") &&
            EqualNoCase(parts[1], "Translation")) {
            *lplpBuffer = const_cast<BYTE*>(data + offsetof(brontal_version::Header, language));
            *puLen = 2 * sizeof(WORD);
            return TRUE;
        }
        if (parts.size() == 3 && EqualNoCase(parts[0], "StringFileInfo")) {
            char translation[16];
            std::snprintf(translation, sizeof(translation), "%04x%04x", header.language,
                          header.codePage);
            if (EqualNoCase(parts[1], translation)) {
                const char* p = reinterpret_cast<const char*>(data + sizeof(header));
                while (*p) {
                    const char* value = p + std::strlen(p) + 1;
                    if (EqualNoCase(parts[2], p)) {
                        *lplpBuffer = const_cast<char*>(value);
                        *puLen = static_cast<UINT>(std::strlen(value) + 1);
                        return TRUE;
                    }
                    p = value + std::strlen(value) + 1;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
}
