// BSTR: [32-bit byte length][text][zero unit]. The length counts bytes, not characters, so a BSTR
// may hold an odd number of bytes (SysAllocStringByteLen) and embedded zeros.
#include <oleauto.h>

#include <cstdlib>
#include <cstring>

namespace {

// The prefix is 32 bits; keep the whole allocation, prefix and terminator included, inside it.
constexpr std::size_t kMaxByteLength = 0xFFFFFFF0u;

BSTR AllocateBytes(const void* data, std::size_t byteLength) {
    if (byteLength > kMaxByteLength) {
        return nullptr;
    }
    // Two zero bytes after the text even for an odd byte length, so the text is always ended.
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(DWORD) + byteLength + 2));
    if (!block) {
        return nullptr;
    }
    const DWORD prefix = static_cast<DWORD>(byteLength);
    std::memcpy(block, &prefix, sizeof(prefix));
    if (data) {
        std::memcpy(block + sizeof(DWORD), data, byteLength);
    } else {
        std::memset(block + sizeof(DWORD), 0, byteLength);
    }
    block[sizeof(DWORD) + byteLength] = 0;
    block[sizeof(DWORD) + byteLength + 1] = 0;
    return reinterpret_cast<BSTR>(block + sizeof(DWORD));
}

std::size_t TextLength(const OLECHAR* psz) {
    std::size_t n = 0;
    while (psz[n] != 0) {
        ++n;
    }
    return n;
}

}  // namespace

WINOLEAUTAPI_(BSTR) SysAllocString(const OLECHAR* psz) {
    if (!psz) {
        return nullptr;
    }
    return AllocateBytes(psz, TextLength(psz) * sizeof(OLECHAR));
}

WINOLEAUTAPI_(BSTR) SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    return AllocateBytes(strIn, static_cast<std::size_t>(ui) * sizeof(OLECHAR));
}

WINOLEAUTAPI_(BSTR) SysAllocStringByteLen(LPCSTR psz, UINT len) {
    return AllocateBytes(psz, len);
}

WINOLEAUTAPI_(INT) SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) {
        return FALSE;
    }
    // The new text may lie inside the old one: copy first, free afterwards.
    BSTR fresh = nullptr;
    if (psz) {
        fresh = SysAllocString(psz);
        if (!fresh) {
            return FALSE;
        }
    }
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

WINOLEAUTAPI_(INT) SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
    if (!pbstr) {
        return FALSE;
    }
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh) {
        return FALSE;
    }
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

WINOLEAUTAPI_(void) SysFreeString(BSTR bstrString) {
    if (bstrString) {
        std::free(reinterpret_cast<unsigned char*>(bstrString) - sizeof(DWORD));
    }
}

WINOLEAUTAPI_(UINT) SysStringByteLen(BSTR bstr) {
    if (!bstr) {
        return 0;
    }
    DWORD prefix;
    std::memcpy(&prefix, reinterpret_cast<const unsigned char*>(bstr) - sizeof(DWORD),
                sizeof(prefix));
    return prefix;
}

WINOLEAUTAPI_(UINT) SysStringLen(BSTR pbstr) {
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}
