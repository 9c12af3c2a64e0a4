// Keys: creation and opening, case, enumeration, deletion, access rights, handles, HKCR.
#include "registry_testing.h"

using namespace registrytest;
using testsupport::Cp1251;

namespace {

class RegistryKeys : public ::testing::Test {
  protected:
    testsupport::ScopedRegistryDir dir_;
};

TEST_F(RegistryKeys, CreateMakesIntermediateKeysAndReportsDisposition) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Orvane\\Brontl\\Settings", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "software\\orvane\\brontl\\settings\\", 0, nullptr,
                              0, KEY_READ, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
    HKEY middle = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvane", 0, KEY_READ, &middle),
              ERROR_SUCCESS);
    EXPECT_EQ(SubkeyNames(middle), std::vector<std::string>{"Brontl"});
    // "" opens the key itself again.
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExA(middle, "", 0, KEY_READ, &same), ERROR_SUCCESS);
    EXPECT_EQ(SubkeyNames(same), std::vector<std::string>{"Brontl"});
    RegCloseKey(same);
    RegCloseKey(middle);
}

TEST_F(RegistryKeys, MissingKeysAndBadPaths) {
    HKEY key = reinterpret_cast<HKEY>(0x1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nothing", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &key),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, std::string(256, 'k').c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "line\nbreak", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    // None of that left anything behind.
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &root), ERROR_SUCCESS);
    EXPECT_TRUE(SubkeyNames(root).empty());
    RegCloseKey(root);
}

TEST_F(RegistryKeys, NamesCompareWithoutCaseAndKeepTheirOwn) {
    const std::string cyrillic = Cp1251("Настройки\\Фискальные");
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\" + cyrillic);
    ASSERT_EQ(SetDword(key, "X", 5), ERROR_SUCCESS);
    RegCloseKey(key);
    for (const std::string& spelling :
         {Cp1251("SOFTWARE\\НАСТРОЙКИ\\фискальные"), Cp1251("software\\настройки\\ФИСКАЛЬНЫЕ")}) {
        HKEY other = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, spelling.c_str(), 0, KEY_READ, &other),
                  ERROR_SUCCESS);
        EXPECT_EQ(QueryDword(other, "x"), 5u);
        RegCloseKey(other);
    }
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_EQ(SubkeyNames(software), std::vector<std::string>{Cp1251("Настройки")});
    RegCloseKey(software);
    // Ё and ё are one letter apart in case only.
    key = CreateKey(HKEY_CURRENT_USER, Cp1251("Ёлка"));
    RegCloseKey(key);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Cp1251("ёЛКА").c_str(), 0, nullptr, 0, KEY_READ,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
}

TEST_F(RegistryKeys, SubkeysEnumerateInNameOrderWithBufferRules) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Enum");
    for (const char* name : {"charlie", "Alpha", "bravo"}) {
        RegCloseKey(CreateKey(key, name));
    }
    EXPECT_EQ(SubkeyNames(key), (std::vector<std::string>{"Alpha", "bravo", "charlie"}));
    char name[8];
    DWORD count = 5;  // "Alpha" needs six with its terminator
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    count = 6;
    char cls[4] = "zz";
    DWORD clsLen = sizeof cls;
    FILETIME written{};
    ASSERT_EQ(RegEnumKeyExA(key, 0, name, &count, nullptr, cls, &clsLen, &written), ERROR_SUCCESS);
    EXPECT_EQ(count, 5u);
    EXPECT_STREQ(name, "Alpha");
    EXPECT_EQ(clsLen, 0u);
    count = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 3, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    DWORD reserved = 0;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &count, &reserved, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryKeys, DeletionRules) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Del\\Child\\Grandchild");
    ASSERT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
    RegCloseKey(key);
    HKEY parent = CreateKey(HKEY_CURRENT_USER, "Software\\Del");
    EXPECT_EQ(RegDeleteKeyA(parent, "Child"), ERROR_ACCESS_DENIED) << "it has a subkey";
    EXPECT_EQ(RegDeleteKeyA(parent, "Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(parent, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED) << "a hive root stays";
    ASSERT_EQ(RegDeleteKeyA(parent, "child\\GRANDCHILD"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(parent, "Child"), ERROR_SUCCESS);
    EXPECT_TRUE(SubkeyNames(parent).empty());

    // A tree goes whole; the key itself can also be emptied in place.
    RegCloseKey(CreateKey(parent, "T\\a\\b"));
    RegCloseKey(CreateKey(parent, "T\\c"));
    ASSERT_EQ(SetDword(parent, "keep?", 1), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTreeA(parent, "t"), ERROR_SUCCESS);
    EXPECT_TRUE(SubkeyNames(parent).empty());
    EXPECT_EQ(RegDeleteTreeA(parent, "t"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(CreateKey(parent, "U\\v"));
    ASSERT_EQ(RegDeleteTreeA(parent, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(SubkeyNames(parent).empty());
    EXPECT_TRUE(ValueNames(parent).empty());

    // A handle whose key was deleted under it.
    HKEY doomed = CreateKey(HKEY_CURRENT_USER, "Software\\Del\\Doomed");
    ASSERT_EQ(RegDeleteKeyA(parent, "Doomed"), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(doomed, "x", 1), ERROR_KEY_DELETED);
    LSTATUS status = 0;
    Query(doomed, "x", nullptr, &status);
    EXPECT_EQ(status, ERROR_KEY_DELETED);
    RegCloseKey(doomed);
    RegCloseKey(parent);
}

TEST_F(RegistryKeys, RightsOfAHandleAreEnforced) {
    HKEY full = CreateKey(HKEY_CURRENT_USER, "Software\\Rights");
    ASSERT_EQ(SetDword(full, "v", 1), ERROR_SUCCESS);
    RegCloseKey(CreateKey(full, "sub"));
    RegCloseKey(full);

    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Rights", 0, KEY_READ, &readOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(SetDword(readOnly, "v", 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(readOnly, "v"), ERROR_ACCESS_DENIED);
    HKEY created = nullptr;
    EXPECT_EQ(
        RegCreateKeyExA(readOnly, "new", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
        ERROR_ACCESS_DENIED);
    // Opening an existing key through it is not a creation.
    ASSERT_EQ(RegCreateKeyExA(readOnly, "sub", 0, nullptr, 0, KEY_READ, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);
    EXPECT_EQ(RegDeleteTreeA(readOnly, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(QueryDword(readOnly, "v"), 1u);
    RegCloseKey(readOnly);

    HKEY writeOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Rights", 0, KEY_SET_VALUE, &writeOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(SetDword(writeOnly, "v", 3), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(writeOnly, "v", nullptr, nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    char name[8];
    DWORD count = sizeof name;
    EXPECT_EQ(RegEnumValueA(writeOnly, 0, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegEnumKeyExA(writeOnly, 0, name, &count, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegQueryInfoKeyA(writeOnly, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegNotifyChangeKeyValue(writeOnly, FALSE, REG_NOTIFY_CHANGE_LAST_SET,
                                      reinterpret_cast<HANDLE>(1), TRUE),
              ERROR_ACCESS_DENIED);
    RegCloseKey(writeOnly);

    // GENERIC_READ stands for KEY_READ.
    HKEY generic = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Rights", 0, GENERIC_READ, &generic),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(generic, "v"), 3u);
    EXPECT_EQ(SetDword(generic, "v", 4), ERROR_ACCESS_DENIED);
    RegCloseKey(generic);
}

TEST_F(RegistryKeys, InvalidAndClosedHandles) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Handles");
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetDword(key, "v", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x12345678));
    EXPECT_EQ(SetDword(bogus, "v", 1), ERROR_INVALID_HANDLE);
    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyExA(bogus, "x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_USERS, ".DEFAULT", 0, KEY_READ, &out), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_CONFIG, "x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
    // Predefined keys are always open and closing one is harmless.
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(HKEY_CURRENT_USER, "AtRoot", 9), ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(HKEY_CURRENT_USER, "AtRoot"), 9u);
}

TEST_F(RegistryKeys, ClassesRootMergesUserOverMachine) {
    HKEY machine = CreateKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\BrontalOcx.DrvKeltor");
    ASSERT_EQ(SetText(machine, nullptr, "machine"), ERROR_SUCCESS);
    RegCloseKey(CreateKey(machine, "CLSID"));
    RegCloseKey(machine);
    RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\OnlyMachine"));
    HKEY user = CreateKey(HKEY_CURRENT_USER, "Software\\Classes\\BrontalOcx.DrvKeltor");
    ASSERT_EQ(SetText(user, nullptr, "user"), ERROR_SUCCESS);
    RegCloseKey(user);
    RegCloseKey(CreateKey(HKEY_CURRENT_USER, "Software\\Classes\\OnlyUser"));

    HKEY merged = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "brontalocx.drvkeltor", 0, KEY_READ, &merged),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(merged, nullptr), std::string("user\0", 5)) << "the user's key wins";
    RegCloseKey(merged);
    EXPECT_EQ(SubkeyNames(HKEY_CLASSES_ROOT),
              (std::vector<std::string>{"BrontalOcx.DrvKeltor", "OnlyMachine", "OnlyUser"}));
    DWORD subkeys = 0;
    ASSERT_EQ(RegQueryInfoKeyA(HKEY_CLASSES_ROOT, nullptr, nullptr, nullptr, &subkeys, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);

    // A key only the machine has is shown, and writing to it goes to the user's side.
    HKEY shown = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "OnlyMachine", 0, KEY_ALL_ACCESS, &shown),
              ERROR_SUCCESS);
    ASSERT_EQ(SetText(shown, "Written", "here"), ERROR_SUCCESS);
    RegCloseKey(shown);
    HKEY check = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\OnlyMachine", 0, KEY_READ, &check),
        ERROR_SUCCESS);
    EXPECT_EQ(Query(check, "Written"), std::string("here\0", 5));
    RegCloseKey(check);
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\OnlyMachine", 0, KEY_READ, &check),
        ERROR_SUCCESS);
    EXPECT_TRUE(ValueNames(check).empty());
    RegCloseKey(check);

    // New keys go to the user's side.
    HKEY created = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{0000}\\InprocServer32", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &created, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(created);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{0000}\\InprocServer32",
                            0, KEY_READ, &check),
              ERROR_SUCCESS);
    RegCloseKey(check);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID", 0, KEY_READ, &check),
              ERROR_FILE_NOT_FOUND);

    // Deleting removes the key that is shown: the user's first, then the machine's shows again.
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "BrontalOcx.DrvKeltor"), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "BrontalOcx.DrvKeltor", 0, KEY_READ, &merged),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(merged, nullptr), std::string("machine\0", 8));
    RegCloseKey(merged);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryKeys, ClassesRootOfAFreshRegistryTakesRegistrations) {
    EXPECT_TRUE(SubkeyNames(HKEY_CLASSES_ROOT).empty());
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    key = CreateKey(HKEY_CLASSES_ROOT, "BrontalOcx.DrvKeltor\\CurVer");
    ASSERT_EQ(SetText(key, nullptr, "BrontalOcx.DrvKeltor.1"), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(SetText(HKEY_CLASSES_ROOT, "AtClassesRoot", "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\BrontalOcx.DrvKeltor\\CurVer", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(key, nullptr), std::string("BrontalOcx.DrvKeltor.1\0", 23));
    RegCloseKey(key);
    EXPECT_EQ(SubkeyNames(HKEY_CLASSES_ROOT), std::vector<std::string>{"BrontalOcx.DrvKeltor"});
}

}  // namespace
