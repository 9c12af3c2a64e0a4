// regsvr -m: the registration a package makes for every user of the machine lands under
// HKEY_LOCAL_MACHINE\Software\Classes, leaves the user's own classes alone, and goes again.
#include <sys/wait.h>

#include <cstdlib>

#include "ToolRunner.h"

namespace tooltest {
namespace {

bool KeyExists(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

int Regsvr(const std::string& options) {
    const std::string command =
        client::RegsvrPath() + " -s " + options + " '" + client::ComponentPath() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RegsvrForTheMachine, RegistersUnderTheMachinesClassesAndTakesItOutAgain) {
    testsupport::ScopedRegistryDir registry;
    ASSERT_EQ(Regsvr("-m"), 0);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\BrontalOcx.DrvKeltor"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\BrontalOcx.DrvKeltor"));
    CLSID clsid = {};
    EXPECT_EQ(CLSIDFromProgID(OLESTR("BrontalOcx.DrvKeltor"), &clsid), S_OK);

    ASSERT_EQ(Regsvr("-u -m"), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\BrontalOcx.DrvKeltor"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "BrontalOcx.DrvKeltor"));

    // Without -m the classes are the user's, as before.
    ASSERT_EQ(Regsvr(""), 0);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\BrontalOcx.DrvKeltor"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\BrontalOcx.DrvKeltor"));
}

// RegOverridePredefKey itself: HKEY_CLASSES_ROOT stands for another key until it is given back.
TEST(RegsvrForTheMachine, APredefinedKeyStandsForTheKeyItIsOverriddenWith) {
    testsupport::ScopedRegistryDir registry;
    HKEY target = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Elsewhere", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &target, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, target), ERROR_SUCCESS);
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Thing", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr), ERROR_SUCCESS);
    RegCloseKey(target);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Elsewhere\\Thing"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Thing"));
    EXPECT_EQ(RegOverridePredefKey(reinterpret_cast<HKEY>(0x1234), nullptr), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace tooltest
