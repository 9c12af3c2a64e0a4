// The ANSI code page (Windows-1251) and UTF-8 conversions.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <string>

namespace {

std::u16string ToWide(UINT codePage, const std::string& bytes) {
    int n =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(n), u'\0');
    if (n > 0) {
        EXPECT_EQ(MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      wide.data(), n),
                  n);
    }
    return wide;
}

std::string ToNarrow(UINT codePage, const std::u16string& wide, BOOL* usedDefault = nullptr) {
    int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, usedDefault);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      bytes.data(), n, nullptr, usedDefault),
                  n);
    }
    return bytes;
}

TEST(CodePage, AnsiIsWindows1251) {
    EXPECT_EQ(GetACP(), 1251u);
}

TEST(CodePage, EveryByteRoundTripsAndAgreesWithIconv) {
    for (int b = 1; b < 256; ++b) {
        std::string byte(1, static_cast<char>(b));
        for (UINT cp : {static_cast<UINT>(CP_ACP), static_cast<UINT>(CP_THREAD_ACP), 1251u}) {
            std::u16string wide = ToWide(cp, byte);
            ASSERT_EQ(wide.size(), 1u) << b;
            BOOL usedDefault = TRUE;
            EXPECT_EQ(ToNarrow(cp, wide, &usedDefault), byte) << b;
            EXPECT_FALSE(usedDefault) << b;
        }
        std::u16string wide = ToWide(CP_ACP, byte);
        if (b == 0x98) {
            // Windows gives the one hole of the code page its C1 control point.
            EXPECT_EQ(wide[0], u'\u0098');
            continue;
        }
        // iconv's table is independent of ours; compare through UTF-8.
        std::string utf8 = testsupport::Utf8(byte);
        EXPECT_EQ(ToWide(CP_UTF8, utf8), wide) << b;
    }
}

TEST(CodePage, KnownLetters) {
    EXPECT_EQ(ToWide(CP_ACP, "\xA8\xB8\xB9\x88\xC0\xFF"), u"Ёё№€Ая");
    EXPECT_EQ(ToNarrow(CP_ACP, u"Ёё№€Ая"), "\xA8\xB8\xB9\x88\xC0\xFF");
    EXPECT_EQ(ToNarrow(CP_ACP, u"Чек №5"), testsupport::Cp1251("Чек №5"));
}

TEST(CodePage, UnmappableUsesDefaultCharAndSaysSo) {
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToNarrow(CP_ACP, u"a\u00E9b\u4E2D", &usedDefault), "a?b?");
    EXPECT_TRUE(usedDefault);
    char out[8] = {};
    usedDefault = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00E9x", 2, out, 8, "*", &usedDefault), 2);
    EXPECT_EQ(std::string(out, 2), "*x");
    EXPECT_TRUE(usedDefault);
}

TEST(CodePage, Utf8BothWays) {
    const std::u16string text = u"Ёж €5 \U0001F600";
    std::string utf8 = ToNarrow(CP_UTF8, text);
    EXPECT_EQ(utf8,
              "\xD0\x81\xD0\xB6 \xE2\x82\xAC"
              "5 \xF0\x9F\x98\x80");
    EXPECT_EQ(ToWide(CP_UTF8, utf8), text);
    // A lone surrogate and ill-formed UTF-8 become U+FFFD unless asked to refuse.
    EXPECT_EQ(ToNarrow(CP_UTF8,
                       u"a\xD800"
                       "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(ToWide(CP_UTF8,
                     "a\xC0\xAF"
                     "b"),
              u"a\uFFFD\uFFFDb");
    EXPECT_EQ(ToWide(CP_UTF8, "a\xE2\x82"), u"a\uFFFD");
    EXPECT_EQ(ToWide(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    char16_t wide[8];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    char narrow[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, u"\xDC00", 1, narrow, 8, nullptr,
                                  nullptr),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    BOOL used = FALSE;
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 8, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePage, MinusOneLengthCountsTheTerminator) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC0\xC1", -1, nullptr, 0), 3);
    char16_t wide[3] = {u'x', u'x', u'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC0\xC1", -1, wide, 3), 3);
    EXPECT_EQ(std::u16string(wide, 3), std::u16string(u"АБ\0", 3));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"Ё", -1, nullptr, 0, nullptr, nullptr), 3);
    char narrow[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Ё", -1, narrow, 4, nullptr, nullptr), 2);
    EXPECT_EQ(std::string(narrow, 3), std::string("\xA8\0x", 3));
    // An explicit length converts no terminator.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", 2, wide, 3), 2);
}

TEST(CodePage, TooSmallBufferWritesNothing) {
    char16_t wide[2] = {u'x', u'x'};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(wide[0], u'x');
    char narrow[3] = {'x', 'x', 'x'};
    SetLastError(0);
    // Two units, but four UTF-8 bytes.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"ЁЁ", 2, narrow, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(narrow[0], 'x');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"ЁЁ", 2, narrow, 4 - 1, nullptr, nullptr), 0);
}

TEST(CodePage, BadArgumentsAreRefused) {
    char16_t wide[4];
    char narrow[4];
    struct Case {
        UINT cp;
        const char* in;
        int inLength;
        char16_t* out;
        int outLength;
    };
    for (const Case& c : {Case{CP_ACP, nullptr, 3, wide, 4}, Case{CP_ACP, "a", 0, wide, 4},
                          Case{CP_ACP, "a", -2, wide, 4}, Case{CP_ACP, "a", 1, wide, -1},
                          Case{CP_ACP, "a", 1, nullptr, 4}, Case{866, "a", 1, wide, 4},
                          Case{CP_OEMCP, "a", 1, wide, 4}}) {
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(c.cp, 0, c.in, c.inLength, c.out, c.outLength), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a", 0, narrow, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, 1, narrow, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
