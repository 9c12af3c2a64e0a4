// MultiByteToWideChar and WideCharToMultiByte for the ANSI code page and UTF-8, with the Windows
// rules for sizes: -1 counts the terminator, a zero output size asks for the size needed, and a
// buffer that is too small gets nothing written and ERROR_INSUFFICIENT_BUFFER.
#include "codepage.h"

#include <cstring>

namespace brontal::codepage {

namespace {

enum class Charset { Cp1251, Utf8, Unknown };

Charset CharsetOf(UINT codePage) {
    switch (codePage) {
        case CP_ACP:
        case CP_THREAD_ACP:
        case CP_1251:
            return Charset::Cp1251;
        case CP_UTF8:
            return Charset::Utf8;
        default:
            return Charset::Unknown;
    }
}

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return byte >= low && byte <= high;
}

// One code point from UTF-8. An ill-formed sequence yields U+FFFD for its longest valid prefix
// (at least one byte), the way Windows and the Unicode standard replace it.
std::size_t DecodeUtf8(const unsigned char* s, std::size_t n, char32_t* code, bool* valid) {
    unsigned char lead = s[0];
    *valid = false;
    *code = kReplacement;
    if (lead < 0x80) {
        *code = lead;
        *valid = true;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    } else {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= n || !IsContinuation(s[i], i == 1 ? low : 0x80, i == 1 ? high : 0xBF)) {
            return i;
        }
        value = (value << 6) | (s[i] & 0x3F);
    }
    *code = value;
    *valid = true;
    return length;
}

std::size_t EncodeUtf8(char32_t code, unsigned char* out) {
    if (code < 0x80) {
        out[0] = static_cast<unsigned char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 4;
}

// One code point from UTF-16; a lone surrogate yields U+FFFD.
std::size_t DecodeUtf16(const char16_t* s, std::size_t n, char32_t* code, bool* valid) {
    char16_t unit = s[0];
    *valid = true;
    *code = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && n > 1 && s[1] >= 0xDC00 && s[1] <= 0xDFFF) {
        *code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (s[1] - 0xDC00);
        return 2;
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        *valid = false;
        *code = kReplacement;
    }
    return 1;
}

// Writes into `out` when it is given, counts always. Capacity was checked by the caller.
struct WideSink {
    char16_t* out;
    std::size_t count = 0;
    void Put(char32_t code) {
        if (code >= 0x10000) {
            if (out) {
                out[count] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
                out[count + 1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            }
            count += 2;
            return;
        }
        if (out) {
            out[count] = static_cast<char16_t>(code);
        }
        ++count;
    }
};

struct NarrowSink {
    unsigned char* out;
    std::size_t count = 0;
    void Put(const unsigned char* bytes, std::size_t n) {
        if (out) {
            std::memcpy(out + count, bytes, n);
        }
        count += n;
    }
};

// False when the input holds an ill-formed sequence and `strict` asked to refuse it.
bool ToWide(Charset charset, const unsigned char* in, std::size_t n, bool strict, WideSink& sink) {
    if (charset == Charset::Cp1251) {
        for (std::size_t i = 0; i < n; ++i) {
            sink.Put(Cp1251ToUnicode(in[i]));
        }
        return true;
    }
    for (std::size_t i = 0; i < n;) {
        char32_t code = 0;
        bool valid = false;
        i += DecodeUtf8(in + i, n - i, &code, &valid);
        if (!valid && strict) {
            return false;
        }
        sink.Put(code);
    }
    return true;
}

bool ToNarrow(Charset charset, const char16_t* in, std::size_t n, bool strict,
              unsigned char defaultChar, bool* usedDefault, NarrowSink& sink) {
    if (charset == Charset::Cp1251) {
        for (std::size_t i = 0; i < n; ++i) {
            unsigned char byte = 0;
            if (!UnicodeToCp1251(in[i], &byte)) {
                byte = defaultChar;
                *usedDefault = true;
            }
            sink.Put(&byte, 1);
        }
        return true;
    }
    for (std::size_t i = 0; i < n;) {
        char32_t code = 0;
        bool valid = false;
        i += DecodeUtf16(in + i, n - i, &code, &valid);
        if (!valid && strict) {
            return false;
        }
        unsigned char bytes[4];
        sink.Put(bytes, EncodeUtf8(code, bytes));
    }
    return true;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    std::string utf8;
    utf8.reserve(ansi.size());
    for (char c : ansi) {
        unsigned char bytes[4];
        std::size_t n = EncodeUtf8(Cp1251ToUnicode(static_cast<unsigned char>(c)), bytes);
        utf8.append(reinterpret_cast<const char*>(bytes), n);
    }
    return utf8;
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string ansi;
    ansi.reserve(utf8.size());
    const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t code = 0;
        bool valid = false;
        i += DecodeUtf8(in + i, utf8.size() - i, &code, &valid);
        unsigned char byte = '?';
        if (!valid || code > 0xFFFF || !UnicodeToCp1251(static_cast<char16_t>(code), &byte)) {
            byte = '?';
        }
        ansi.push_back(static_cast<char>(byte));
    }
    return ansi;
}

}  // namespace brontal::codepage

using brontal::codepage::Charset;

WINBASEAPI UINT WINAPI GetACP(void) {
    return brontal::codepage::kAnsiCodePage;
}

WINBASEAPI int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr,
                                          int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) {
    Charset charset = brontal::codepage::CharsetOf(CodePage);
    if (charset == Charset::Unknown || !lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 ||
        cchWideChar < 0 || (cchWideChar > 0 && !lpWideCharStr) ||
        static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
    const auto* in = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    const bool strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
    brontal::codepage::WideSink counter{nullptr};
    if (!brontal::codepage::ToWide(charset, in, length, strict, counter)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (counter.count > static_cast<std::size_t>(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (cchWideChar == 0) {
        return static_cast<int>(counter.count);
    }
    if (counter.count > static_cast<std::size_t>(cchWideChar)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    brontal::codepage::WideSink writer{lpWideCharStr};
    brontal::codepage::ToWide(charset, in, length, strict, writer);
    return static_cast<int>(writer.count);
}

WINBASEAPI int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr,
                                          int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                          LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar) {
    Charset charset = brontal::codepage::CharsetOf(CodePage);
    if (charset == Charset::Unknown || !lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 ||
        cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr) ||
        static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr) ||
        // UTF-8 can say everything, so Windows refuses the default-character arguments for it.
        (charset == Charset::Utf8 && (lpDefaultChar || lpUsedDefaultChar))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length = 0;
    if (cchWideChar == -1) {
        while (lpWideCharStr[length] != 0) {
            ++length;
        }
        ++length;
    } else {
        length = static_cast<std::size_t>(cchWideChar);
    }
    const bool strict = (dwFlags & WC_ERR_INVALID_CHARS) != 0;
    const unsigned char defaultChar =
        lpDefaultChar ? static_cast<unsigned char>(lpDefaultChar[0]) : '?';
    bool usedDefault = false;
    brontal::codepage::NarrowSink counter{nullptr};
    if (!brontal::codepage::ToNarrow(charset, lpWideCharStr, length, strict, defaultChar,
                                     &usedDefault, counter)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (counter.count > static_cast<std::size_t>(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (lpUsedDefaultChar) {
        *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    }
    if (cbMultiByte == 0) {
        return static_cast<int>(counter.count);
    }
    if (counter.count > static_cast<std::size_t>(cbMultiByte)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    brontal::codepage::NarrowSink writer{reinterpret_cast<unsigned char*>(lpMultiByteStr)};
    brontal::codepage::ToNarrow(charset, lpWideCharStr, length, strict, defaultChar, &usedDefault,
                                writer);
    return static_cast<int>(writer.count);
}
