// The field codec: readers, writers, hexadecimal texts and line wrapping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Brontal.h"

namespace {

const std::string FS(1, '\x1C');
const std::string GS(1, '\x1D');

struct Amount {
    int length;
    LONGLONG value;
    DWORD scale;
};

Amount ReadAmount(const std::string& text) {
    LPCSTR position = text.c_str();
    Amount amount{0, -777, 777};
    amount.length = CBrontal::NextAmount(&position, '\x1C', &amount.value, &amount.scale);
    return amount;
}

TEST(FieldReaders, AmountsWithPointOrCommaAndTheirScale) {
    const struct {
        const char* text;
        LONGLONG value;
        DWORD scale;
    } cases[] = {
        {"12,", 12, 0},
        {"3.5", 35, 10},
        {"-0.05", -5, 100},
        {"3,25", 325, 100},
        {"7", 7, 0},
        {"12.05", 1205, 100},
        {"0.000000001", 1, 1000000000},
        {"-12.05", -1205, 100},
        {".5", 5, 10},
        {"-9223372036854775808", -9223372036854775807LL - 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Amount amount = ReadAmount(c.text);
        EXPECT_EQ(amount.length, static_cast<int>(std::strlen(c.text)));
        EXPECT_EQ(amount.value, c.value);
        EXPECT_EQ(amount.scale, c.scale);
    }
}

TEST(FieldReaders, AmountsThatAreNoNumbersLeaveTheOutputs) {
    for (const char* text : {"", "-", ".", "1.2.3", "12a", "abc", "1.0000000001",
                             "9223372036854775808", "99999999999999999999.5"}) {
        SCOPED_TRACE(text);
        const Amount amount = ReadAmount(text);
        EXPECT_EQ(amount.length, 0);
        EXPECT_EQ(amount.value, -777);
        EXPECT_EQ(amount.scale, 777U);
    }
}

TEST(FieldReaders, FieldsEndAtTheSeparatorOrTheEndOfTheText) {
    const std::string reply = "12" + FS + FS + "abc" + GS + "x" + FS + "-4";
    LPCSTR position = reply.c_str();
    int value = -1;
    EXPECT_EQ(CBrontal::NextInt(&position, '\x1C', &value), 2);
    EXPECT_EQ(value, 12);
    // An empty field leaves the output as it was, and the position still moves on.
    value = 99;
    EXPECT_EQ(CBrontal::NextInt(&position, '\x1C', &value), 0);
    EXPECT_EQ(value, 99);
    // The separator asked for decides: GS inside an FS field belongs to the field.
    char text[16] = "old";
    LPCSTR again = position;
    EXPECT_EQ(CBrontal::NextText(&again, '\x1C', text, sizeof text), 5);
    EXPECT_EQ(std::string(text), "abc" + GS + "x");
    EXPECT_EQ(CBrontal::NextText(&position, '\x1D', text, sizeof text), 3);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(CBrontal::NextField(&position, '\x1C'), 1);
    ASSERT_NE(position, nullptr);
    // The last field has no separator after it: the position becomes none.
    LONG last = 0;
    EXPECT_EQ(CBrontal::NextLong(&position, '\x1C', &last), 2);
    EXPECT_EQ(last, -4);
    EXPECT_EQ(position, nullptr);
    // Reading on past the end is an empty field, not a crash.
    EXPECT_EQ(CBrontal::NextLong(&position, '\x1C', &last), 0);
    EXPECT_EQ(last, -4);
    EXPECT_EQ(CBrontal::NextField(nullptr, '\x1C'), 0);
}

TEST(FieldReaders, NumbersStayInsideTheirRangeAndTheField) {
    LPCSTR position = nullptr;
    int value = 5;
    const std::string huge = "99999999999";
    position = huge.c_str();
    EXPECT_EQ(CBrontal::NextInt(&position, '\x1C', &value), 0);
    EXPECT_EQ(value, 5);
    const std::string limits = "2147483647" + FS + "-2147483648" + FS + "2147483648";
    position = limits.c_str();
    EXPECT_EQ(CBrontal::NextInt(&position, '\x1C', &value), 10);
    EXPECT_EQ(value, 2147483647);
    EXPECT_EQ(CBrontal::NextInt(&position, '\x1C', &value), 11);
    EXPECT_EQ(value, -2147483647 - 1);
    EXPECT_EQ(CBrontal::NextInt(&position, '\x1C', &value), 0);
    EXPECT_EQ(value, -2147483647 - 1);

    const std::string hex = "ffffFFFF" + FS + "100000000" + FS + "00A1" + FS + "0x10";
    position = hex.c_str();
    DWORD word = 1;
    EXPECT_EQ(CBrontal::NextHex(&position, '\x1C', &word), 8);
    EXPECT_EQ(word, 0xFFFFFFFFU);
    EXPECT_EQ(CBrontal::NextHex(&position, '\x1C', &word), 0);
    ULONG longWord = 0;
    EXPECT_EQ(CBrontal::NextHexLong(&position, '\x1C', &longWord), 4);
    EXPECT_EQ(longWord, 0xA1U);
    EXPECT_EQ(CBrontal::NextHexLong(&position, '\x1C', &longWord), 0);
    EXPECT_EQ(longWord, 0xA1U);

    // Only the first 63 characters of a numeric field count: 64 digits of 0 then a 7 are 0.
    const std::string longField = std::string(63, '0') + "7" + FS + "3";
    position = longField.c_str();
    value = 9;
    EXPECT_EQ(CBrontal::NextInt(&position, '\x1C', &value), 64);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(CBrontal::NextInt(&position, '\x1C', &value), 1);
    EXPECT_EQ(value, 3);
}

TEST(FieldReaders, BinaryDigitsMostSignificantFirstAndNothingElse) {
    const std::string reply = "1011" + GS + "0" + GS + "10a1" + GS + " 1" + GS +
                              std::string(32, '1') + GS + "1" + std::string(32, '0');
    LPCSTR position = reply.c_str();
    DWORD value = 77;
    EXPECT_EQ(CBrontal::NextBinary(&position, '\x1D', &value), 4);
    EXPECT_EQ(value, 11U);
    EXPECT_EQ(CBrontal::NextBinary(&position, '\x1D', &value), 1);
    EXPECT_EQ(value, 0U);
    value = 77;
    EXPECT_EQ(CBrontal::NextBinary(&position, '\x1D', &value), 0);
    EXPECT_EQ(CBrontal::NextBinary(&position, '\x1D', &value), 0);
    EXPECT_EQ(value, 77U);
    EXPECT_EQ(CBrontal::NextBinary(&position, '\x1D', &value), 32);
    EXPECT_EQ(value, 0xFFFFFFFFU);
    EXPECT_EQ(CBrontal::NextBinary(&position, '\x1D', &value), 0);  // 33 bits
}

TEST(FieldReaders, TextIsCutToItsBufferAndCharTakesTheFirstCharacter) {
    const std::string reply = "ABCDEFGHIJ" + FS + "Nxyz" + FS + FS + "tail";
    LPCSTR position = reply.c_str();
    char text[5] = "____";
    EXPECT_EQ(CBrontal::NextText(&position, '\x1C', text, sizeof text), 10);
    EXPECT_STREQ(text, "ABCD");
    char letter = '?';
    EXPECT_EQ(CBrontal::NextChar(&position, '\x1C', &letter), 4);
    EXPECT_EQ(letter, 'N');
    EXPECT_EQ(CBrontal::NextChar(&position, '\x1C', &letter), 0);
    EXPECT_EQ(letter, 'N');
    // No buffer: the field is still skipped and measured.
    EXPECT_EQ(CBrontal::NextText(&position, '\x1C', nullptr, 0), 4);
    EXPECT_EQ(position, nullptr);
}

TEST(FieldWriters, AFieldGoesInWholeOrNotAtAll) {
    char text[16] = "abc";
    // 3 + FS + 10 + terminator = 15 bytes fit into 16 ...
    EXPECT_EQ(CBrontal::AppendText(text, sizeof text, '\x1C', "0123456789"), 14);
    EXPECT_EQ(std::string(text), "abc" + FS + "0123456789");
    // ... and a 10-character field with 5 bytes of room left changes nothing.
    char small[9] = "abc";
    EXPECT_EQ(CBrontal::AppendText(small, sizeof small, '\x1C', "0123456789"), 0);
    EXPECT_STREQ(small, "abc");
    // A separator of 0 starts the text afresh.
    EXPECT_EQ(CBrontal::AppendText(text, sizeof text, 0, "new"), 3);
    EXPECT_STREQ(text, "new");
    EXPECT_EQ(CBrontal::AppendText(text, sizeof text, 0, "0123456789ABCDEF"), 0);
    EXPECT_STREQ(text, "new");
    // A buffer without a terminator is not a text to append to.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(CBrontal::AppendText(full, sizeof full, '\x1C', ""), 0);
    EXPECT_EQ(std::string(full, 4), "abcd");
}

TEST(FieldWriters, CharNeedsRoomForItselfItsSeparatorAndTheTerminator) {
    char text[4] = "ab";
    EXPECT_EQ(CBrontal::AppendChar(text, sizeof text, '\x1D', 'N'), 0);
    EXPECT_STREQ(text, "ab");
    char room[5] = "ab";
    EXPECT_EQ(CBrontal::AppendChar(room, sizeof room, '\x1D', 'N'), 4);
    EXPECT_EQ(std::string(room), "ab" + GS + "N");
    EXPECT_EQ(CBrontal::AppendChar(room, sizeof room, '\x1D', 'M'), 0);
    char two[2] = "";
    EXPECT_EQ(CBrontal::AppendChar(two, sizeof two, 0, 'X'), 1);
    EXPECT_STREQ(two, "X");
    char one[1] = "";
    EXPECT_EQ(CBrontal::AppendChar(one, sizeof one, 0, 'X'), 0);
    EXPECT_EQ(one[0], '\0');
}

TEST(FieldWriters, AmountsWithTheDecimalsOfTheirScale) {
    const struct {
        LONGLONG value;
        DWORD scale;
        const char* text;
    } cases[] = {
        {7, 1, "7"},
        {7, 0, "7"},
        {0, 1, "0"},
        {5, 100, "0.05"},
        {-1205, 100, "-12.05"},
        {35, 10, "3.5"},
        {-5, 10, "-0.5"},
        {0, 1000, "0.000"},
        {123456, 1000000000, "0.000123456"},
        {-9223372036854775807LL - 1, 1, "-9223372036854775808"},
        {9223372036854775807LL, 10000, "922337203685477.5807"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        char text[64] = "x";
        EXPECT_EQ(CBrontal::AppendAmount(text, sizeof text, '\x1C', c.value, c.scale),
                  static_cast<int>(std::strlen(c.text)) + 2);
        EXPECT_EQ(std::string(text), "x" + FS + c.text);
    }
}

TEST(FieldWriters, AScaleThatIsNoPowerOfTenIsRefused) {
    for (DWORD scale : {25U, 20U, 3U, 110U}) {
        SCOPED_TRACE(scale);
        char text[32] = "keep";
        EXPECT_EQ(CBrontal::AppendAmount(text, sizeof text, '\x1C', 1205, scale), 0);
        EXPECT_STREQ(text, "keep");
    }
}

TEST(FieldWriters, NumbersWithTheirFormats) {
    char text[64] = "";
    EXPECT_EQ(CBrontal::AppendUnsigned(text, sizeof text, 0, 7, "%04u"), 4);
    EXPECT_EQ(CBrontal::AppendUnsigned(text, sizeof text, '\x1D', 4294967295U), 15);
    EXPECT_EQ(CBrontal::AppendUnsignedLong(text, sizeof text, '\x1C', 4294967295U, "%08lX"), 24);
    EXPECT_EQ(CBrontal::AppendUnsignedLong(text, sizeof text, '\x1C', 12), 27);
    EXPECT_EQ(CBrontal::AppendBinary(text, sizeof text, '\x1C', 0), 29);
    EXPECT_EQ(CBrontal::AppendBinary(text, sizeof text, '\x1C', 0x25), 36);
    EXPECT_EQ(std::string(text),
              "0007" + GS + "4294967295" + FS + "FFFFFFFF" + FS + "12" + FS + "0" + FS + "100101");
    char binary[40] = "";
    EXPECT_EQ(CBrontal::AppendBinary(binary, sizeof binary, 0, 0x80000001U), 32);
    EXPECT_EQ(std::string(binary), "1" + std::string(30, '0') + "1");
    // Formats that would not format one unsigned value are refused.
    for (const char* format : {"%s", "%u%u", "%d", "%lu", "", "%%"}) {
        SCOPED_TRACE(format);
        EXPECT_EQ(CBrontal::AppendUnsigned(binary, sizeof binary, 0, 1, format), 0);
    }
    EXPECT_EQ(CBrontal::AppendUnsignedLong(binary, sizeof binary, 0, 1, "%u"), 0);
    EXPECT_EQ(binary[0], '1');
}

TEST(TextHelpers, HexTextAndBytes) {
    BYTE bytes[4] = {0, 0, 0, 0};
    EXPECT_EQ(CBrontal::HexToBytes("0aFf10", bytes, sizeof bytes), 3);
    EXPECT_EQ(bytes[0], 0x0A);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2], 0x10);
    EXPECT_EQ(bytes[3], 0x00);
    // Odd length, a bad digit or too many bytes: refused, the output untouched.
    EXPECT_EQ(CBrontal::HexToBytes("0aF", bytes, sizeof bytes), kBrontalBadArguments);
    EXPECT_EQ(CBrontal::HexToBytes("11g1", bytes, sizeof bytes), kBrontalBadArguments);
    EXPECT_EQ(CBrontal::HexToBytes("0102030405", bytes, sizeof bytes), kBrontalBadArguments);
    EXPECT_EQ(bytes[0], 0x0A);

    char hex[7] = "";
    EXPECT_EQ(CBrontal::BytesToHex(bytes, 3, hex, sizeof hex), 6);
    EXPECT_STREQ(hex, "0AFF10");
    EXPECT_EQ(CBrontal::BytesToHex(bytes, 4, hex, sizeof hex), kBrontalBadArguments);
    EXPECT_STREQ(hex, "0AFF10");
}

TEST(TextHelpers, WrapBreaksEveryLineLengthCharacters) {
    char out[32];
    EXPECT_EQ(CBrontal::WrapText("abcdefgh", out, sizeof out, 3), 10);
    EXPECT_STREQ(out, "abc\ndef\ngh");
    EXPECT_EQ(CBrontal::WrapText("abcdef", out, sizeof out, 3), 7);
    EXPECT_STREQ(out, "abc\ndef");
    // A text with its own line feeds and a line length of 0 are copied as they are.
    EXPECT_EQ(CBrontal::WrapText("ab\ncdefgh", out, sizeof out, 3), 9);
    EXPECT_STREQ(out, "ab\ncdefgh");
    EXPECT_EQ(CBrontal::WrapText("abcdefgh", out, sizeof out, 0), 8);
    EXPECT_STREQ(out, "abcdefgh");
    // The output is cut to its buffer.
    char small[6];
    EXPECT_EQ(CBrontal::WrapText("abcdefgh", small, sizeof small, 3), 5);
    EXPECT_STREQ(small, "abc\nd");
}

TEST(CurrencyList, EntriesUntilCapacityOrAnIncompleteOne) {
    const std::string list = "1" + GS + "UAH" + GS + "2" + FS + "2" + GS + "USDX" + GS + "0" + FS +
                             "3" + GS + GS + "2" + FS + "4" + GS + "EUR" + GS + "2" + FS;
    CurrencyEntry entries[4] = {};
    LPCSTR position = list.c_str();
    ASSERT_EQ(CBrontal::ReadCurrencyList(&position, entries, 4), 2);
    EXPECT_EQ(entries[0].code, 1);
    EXPECT_STREQ(entries[0].name, "UAH");
    EXPECT_EQ(entries[0].decimals, 2);
    EXPECT_STREQ(entries[1].name, "USD");  // cut to three letters
    EXPECT_EQ(entries[1].decimals, 0);
    EXPECT_EQ(entries[2].code, 0);  // the entry without a name was not taken
    position = list.c_str();
    EXPECT_EQ(CBrontal::ReadCurrencyList(&position, entries, 1), 1);

    CBrontal layer;
    EXPECT_EQ(layer.FindCurrency("UAH"), 0);  // an empty table: the current currency
    layer.ReplaceCurrencyTable(entries, 2, "usd");
    EXPECT_EQ(layer.CurrentCurrency(), 1);
    EXPECT_EQ(layer.FindCurrency("uah"), 0);
    EXPECT_EQ(layer.FindCurrency("GBP"), 1);
}

// The 128 codes as the printer numbers them.
const char* const kTable[] = {
    "gs", "gn", "gt", "gf", "gv", "gd", "gc", "gp", "ga", "go", "gb", "ge", "gm", "gi", "gw", "hx",
    "gx", "st", "sv", "sd", "sc", "sp", "sa", "sf", "sb", "se", "zb", "ze", "zx", "zd", "zz", "zv",
    "zw", "zs", "zg", "hc", "zi", "rb", "rs", "rt", "ct", "rd", "ra", "rc", "rn", "re", "as", "bs",
    "ad", "aa", "ai", "ao", "bd", "ba", "bt", "ri", "bi", "pl", "pt", "pf", "hp", "pb", "ls", "wi",
    "wc", "wp", "wg", "cp", "cr", "cm", "in", "it", "is", "ir", "ia", "ic", "ip", "if", "ix", "ig",
    "ii", "ij", "iy", "il", "ks", "kr", "ka", "kc", "kp", "kb", "kx", "kg", "ki", "ky", "ji", "jv",
    "jc", "jz", "jf", "jp", "jb", "jg", "hd", "hi", "ho", "hs", "hb", "fm", "fi", "ou", "op", "od",
    "oc", "os", "ol", "ob", "oe", "fo", "fw", "fc", "sl", "c0", "b0", "iv", "vw", "vr", "vc", "fv",
};

TEST(CommandTable, EveryCodeAtItsIndex) {
    static_assert(sizeof kTable / sizeof kTable[0] == 128);
    for (int i = 0; i < 128; ++i) {
        SCOPED_TRACE(kTable[i]);
        EXPECT_EQ(CBrontal::CommandIndex(kTable[i]), i);
        EXPECT_STREQ(CommandCode(i), kTable[i]);
    }
    EXPECT_EQ(CommandCode(128), nullptr);
    EXPECT_EQ(CommandCode(-1), nullptr);
    EXPECT_EQ(CBrontal::CommandIndex("re"), kCmd_re);
    EXPECT_EQ(CBrontal::CommandIndex("c0"), kCmd_c0);
}

TEST(CommandTable, CaseAndLengthRules) {
    EXPECT_EQ(CBrontal::CommandIndex("GS"), 0);
    EXPECT_EQ(CBrontal::CommandIndex("fv"), 127);
    EXPECT_EQ(CBrontal::CommandIndex("Fv"), 127);
    // Only the first two characters count: a command line with fields still finds its code.
    EXPECT_EQ(CBrontal::CommandIndex(("rb" + FS + "1").c_str()), 37);
    EXPECT_EQ(CBrontal::CommandIndex("x"), -1);
    EXPECT_EQ(CBrontal::CommandIndex(""), -1);
    EXPECT_EQ(CBrontal::CommandIndex(nullptr), -1);
    EXPECT_EQ(CBrontal::CommandIndex("qq"), -2);
    EXPECT_EQ(CBrontal::CommandIndex("g"), -1);
}

}  // namespace
