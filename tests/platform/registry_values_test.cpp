// Values through the *A functions: types, sizes, buffers, order, default value, ANSI texts.
#include "registry_testing.h"

#include <cstring>

using namespace registrytest;
using testsupport::Cp1251;

namespace {

class RegistryValues : public ::testing::Test {
  protected:
    void SetUp() override { key_ = CreateKey(HKEY_CURRENT_USER, "Software\\Test\\Values"); }
    void TearDown() override { RegCloseKey(key_); }

    testsupport::ScopedRegistryDir dir_;
    HKEY key_ = nullptr;
};

struct TypedValue {
    const char* name;
    DWORD type;
    std::string data;
};

TEST_F(RegistryValues, EveryTypeReadsBackAsWritten) {
    const std::vector<TypedValue> values = {
        {"Text", REG_SZ, std::string("hello\0", 6)},
        {"Expand", REG_EXPAND_SZ, std::string("%HOME%\\x\0", 9)},
        {"Binary", REG_BINARY, std::string("\x00\x01\xFE\xFF", 4)},
        {"Dword", REG_DWORD, std::string("\x0A\x00\x00\x00", 4)},
        {"Multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
        {"Qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
        {"None", REG_NONE, std::string()},
        {"NoneWithData", REG_NONE, std::string("\x7F", 1)},
        {"ShortDword", REG_DWORD, std::string("\x01\x02", 2)},
        {"OddType", 0x12345, std::string("zz", 2)},
    };
    for (const TypedValue& v : values) {
        ASSERT_EQ(
            RegSetValueExA(key_, v.name, 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                           static_cast<DWORD>(v.data.size())),
            ERROR_SUCCESS)
            << v.name;
    }
    // A second handle on a fresh open reads from the file, not from what this call wrote.
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test\\Values", 0, KEY_READ, &again),
              ERROR_SUCCESS);
    for (const TypedValue& v : values) {
        DWORD type = 0xDEAD;
        LSTATUS status = 0;
        EXPECT_EQ(Query(again, v.name, &type, &status), v.data) << v.name;
        EXPECT_EQ(status, ERROR_SUCCESS) << v.name;
        EXPECT_EQ(type, v.type) << v.name;
    }
    RegCloseKey(again);
}

TEST_F(RegistryValues, SizeQueryAndShortBuffers) {
    ASSERT_EQ(SetText(key_, "Port", "COM12"), ERROR_SUCCESS);
    DWORD size = 0;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key_, "Port", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);  // the terminator counts
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    size = 5;
    type = 0;
    EXPECT_EQ(
        RegQueryValueExA(key_, "Port", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(buffer[0], 'x') << "nothing is written into a short buffer";

    size = 6;
    ASSERT_EQ(
        RegQueryValueExA(key_, "Port", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "COM12");

    // Size without a data pointer and data without a size.
    EXPECT_EQ(
        RegQueryValueExA(key_, "Port", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), nullptr),
        ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "Port", &reserved, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    // Only the type is asked for.
    type = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "Port", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    DWORD dword = 7;
    ASSERT_EQ(SetDword(key_, "Baud", 115200), ERROR_SUCCESS);
    size = 3;
    EXPECT_EQ(
        RegQueryValueExA(key_, "Baud", nullptr, nullptr, reinterpret_cast<BYTE*>(&dword), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(dword, 7u);
    EXPECT_EQ(QueryDword(key_, "Baud"), 115200u);
}

TEST_F(RegistryValues, TextWithoutTerminatorIsKeptAsStored) {
    ASSERT_EQ(RegSetValueExA(key_, "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3),
              ERROR_SUCCESS);
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key_, "Raw", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);

    char exact[3] = {'x', 'x', 'x'};
    size = 3;
    ASSERT_EQ(
        RegQueryValueExA(key_, "Raw", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::string(exact, 3), "abc");

    // With room to spare the reader still gets a terminated text, though the size says 3.
    char roomy[8];
    std::memset(roomy, 'x', sizeof roomy);
    size = sizeof roomy;
    ASSERT_EQ(
        RegQueryValueExA(key_, "Raw", nullptr, nullptr, reinterpret_cast<BYTE*>(roomy), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_STREQ(roomy, "abc");
    EXPECT_EQ(roomy[4], 'x');

    // An empty REG_SZ of zero bytes is a value too.
    ASSERT_EQ(RegSetValueExA(key_, "Empty", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
    size = 99;
    EXPECT_EQ(RegQueryValueExA(key_, "Empty", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(RegSetValueExA(key_, "Bad", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    LSTATUS status = 0;
    Query(key_, "Bad", nullptr, &status);
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryValues, DefaultValueByNullOrEmptyName) {
    LSTATUS status = 0;
    Query(key_, nullptr, nullptr, &status);
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(SetText(key_, nullptr, "DrvKeltor Class"), ERROR_SUCCESS);
    EXPECT_EQ(Query(key_, ""), std::string("DrvKeltor Class\0", 16));
    ASSERT_EQ(SetText(key_, "", "Other"), ERROR_SUCCESS);
    EXPECT_EQ(Query(key_, nullptr), std::string("Other\0", 6));
    EXPECT_EQ(ValueNames(key_), std::vector<std::string>{""});
    ASSERT_EQ(RegDeleteValueA(key_, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key_, ""), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryValues, EnumerationFollowsCreationOrder) {
    for (const char* name : {"Zeta", "Alpha", "Mid", "Beta"}) {
        ASSERT_EQ(SetDword(key_, name, 1), ERROR_SUCCESS);
    }
    EXPECT_EQ(ValueNames(key_), (std::vector<std::string>{"Zeta", "Alpha", "Mid", "Beta"}));

    // Rewritten (in another case) keeps its place and the name it was created with.
    ASSERT_EQ(SetDword(key_, "ALPHA", 2), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(key_), (std::vector<std::string>{"Zeta", "Alpha", "Mid", "Beta"}));
    EXPECT_EQ(QueryDword(key_, "alpha"), 2u);

    // Deleted and created again, it goes to the end.
    ASSERT_EQ(RegDeleteValueA(key_, "zeta"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key_, "Zeta", 3), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(key_), (std::vector<std::string>{"Alpha", "Mid", "Beta", "Zeta"}));
    EXPECT_EQ(RegDeleteValueA(key_, "Zeta2"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryValues, EnumValueBufferRules) {
    ASSERT_EQ(SetText(key_, "Name5", "data"), ERROR_SUCCESS);
    char name[16];
    DWORD count = 6;  // five characters and the terminator
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegEnumValueA(key_, 0, name, &count, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(count, 5u);
    EXPECT_STREQ(name, "Name5");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 5u);

    count = 5;  // no room for the terminator
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(RegEnumValueA(key_, 0, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(name[0], 'x');

    char data[8];
    count = sizeof name;
    size = 4;
    EXPECT_EQ(
        RegEnumValueA(key_, 0, name, &count, nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 5u);
    count = sizeof name;
    size = sizeof data;
    ASSERT_EQ(
        RegEnumValueA(key_, 0, name, &count, nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(data, "data");
    EXPECT_EQ(size, 5u);

    count = sizeof name;
    EXPECT_EQ(RegEnumValueA(key_, 1, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumValueA(key_, 0, nullptr, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(key_, 0, name, &count, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                            nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryValues, CyrillicTextsSurvive) {
    const std::string text = Cp1251("Драйвер: ошибка сохранения настроек");
    const std::string name = Cp1251("Кассир");
    ASSERT_EQ(SetText(key_, name.c_str(), text), ERROR_SUCCESS);
    EXPECT_EQ(Query(key_, name.c_str()), text + '\0');
    EXPECT_EQ(Query(key_, Cp1251("КАССИР").c_str()), text + '\0') << "names fold Cyrillic case";
    EXPECT_EQ(ValueNames(key_), std::vector<std::string>{name});

    // Every byte of the code page, 0x98 included, comes back unchanged.
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    ASSERT_EQ(SetText(key_, "AllBytes", all), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key_, "AllBytesMulti", all, REG_MULTI_SZ), ERROR_SUCCESS);
    EXPECT_EQ(Query(key_, "AllBytes"), all + '\0');
    EXPECT_EQ(Query(key_, "AllBytesMulti"), all + '\0');
}

TEST_F(RegistryValues, QueryInfoKeyCountsAndLengths) {
    ASSERT_EQ(SetText(key_, "LongerName", "0123456789"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key_, "A", 1), ERROR_SUCCESS);
    HKEY sub = CreateKey(key_, "Subkey12");
    RegCloseKey(sub);
    sub = CreateKey(key_, "S");
    RegCloseKey(sub);
    DWORD subkeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0, maxClass = 9;
    char cls[4] = "xx";
    DWORD clsLen = sizeof cls;
    FILETIME written{};
    ASSERT_EQ(RegQueryInfoKeyA(key_, cls, &clsLen, nullptr, &subkeys, &maxSub, &maxClass, &values,
                               &maxName, &maxData, nullptr, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 2u);
    EXPECT_EQ(maxSub, 8u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 10u);
    EXPECT_EQ(maxData, 11u);
    EXPECT_EQ(clsLen, 0u);
    EXPECT_EQ(cls[0], '\0');
    EXPECT_EQ(maxClass, 0u);
    EXPECT_NE(written.dwHighDateTime, 0u);
}

TEST_F(RegistryValues, NamesThatAHiveCannotHoldAreRefused) {
    EXPECT_EQ(SetDword(key_, "two\nlines", 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetDword(key_, std::string(16384, 'n').c_str(), 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetDword(key_, std::string(16383, 'n').c_str(), 1), ERROR_SUCCESS);
    std::string big(1u << 20, 'b');
    EXPECT_EQ(RegSetValueExA(key_, "Big", 0, REG_BINARY, reinterpret_cast<const BYTE*>(big.data()),
                             static_cast<DWORD>(big.size() + 1)),
              ERROR_INVALID_PARAMETER);
    DWORD values = 0;
    DWORD maxName = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               &maxName, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(maxName, 16383u);
}

}  // namespace
