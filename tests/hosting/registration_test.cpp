// Registration of the built library with regsvr: the registry content, exactly, after
// registering, registering again and unregistering; the library's version resource.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ComponentClient.h"
#include "IDrvKeltor.h"
#include "TestSupport.h"

using namespace client;

namespace {

// Every key under HKEY_CLASSES_ROOT\<path>, sorted, with its values: "key" lines, then
// "  name = data" lines ("@" for the default value; texts only, other types shown by number).
void Dump(HKEY parent, const std::string& path, std::vector<std::string>& lines) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    if (!path.empty()) {
        lines.push_back(path);
    }
    std::vector<std::string> values;
    for (DWORD i = 0;; ++i) {
        char name[256] = {};
        DWORD nameLength = sizeof name;
        BYTE data[1024] = {};
        DWORD dataSize = sizeof data - 1;
        DWORD type = REG_NONE;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::string shown = type == REG_SZ ? std::string(reinterpret_cast<char*>(data))
                                                 : "type " + std::to_string(type);
        values.push_back("  " + std::string(*name ? name : "@") + " = " + shown);
    }
    std::sort(values.begin(), values.end());
    lines.insert(lines.end(), values.begin(), values.end());
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        char name[256] = {};
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        subkeys.push_back(name);
    }
    RegCloseKey(key);
    std::sort(subkeys.begin(), subkeys.end());
    for (const std::string& subkey : subkeys) {
        Dump(parent, path.empty() ? subkey : path + "\\" + subkey, lines);
    }
}

std::vector<std::string> ClassesRoot() {
    std::vector<std::string> lines;
    Dump(HKEY_CLASSES_ROOT, "", lines);
    return lines;
}

std::vector<std::string> Registered() {
    return {
        "AppID",
        "AppID\\BrontalOcx.DLL",
        "  AppID = {3F8A2C63-7B4D-4E19-A5C2-6D0E91B7F4A3}",
        "AppID\\{3F8A2C63-7B4D-4E19-A5C2-6D0E91B7F4A3}",
        "  @ = BrontalOcx",
        "BrontalOcx.DrvKeltor",
        "  @ = DrvKeltor Class",
        "BrontalOcx.DrvKeltor\\CLSID",
        "  @ = {3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}",
        "BrontalOcx.DrvKeltor\\CurVer",
        "  @ = BrontalOcx.DrvKeltor.1",
        "BrontalOcx.DrvKeltor.1",
        "  @ = DrvKeltor Class",
        "BrontalOcx.DrvKeltor.1\\CLSID",
        "  @ = {3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}",
        "CLSID",
        "CLSID\\{3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}",
        "  @ = DrvKeltor Class",
        "  AppID = {3F8A2C63-7B4D-4E19-A5C2-6D0E91B7F4A3}",
        "CLSID\\{3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}\\InprocServer32",
        "  @ = " + ComponentPath(),
        "  ThreadingModel = Apartment",
        "CLSID\\{3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}\\ProgID",
        "  @ = BrontalOcx.DrvKeltor.1",
        "CLSID\\{3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}\\Programmable",
        "CLSID\\{3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}\\TypeLib",
        "  @ = {3F8A2C60-7B4D-4E19-A5C2-6D0E91B7F4A3}",
        "CLSID\\{3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}\\VersionIndependentProgID",
        "  @ = BrontalOcx.DrvKeltor",
    };
}

void WriteKey(const std::string& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class Registration : public ::testing::Test {
  protected:
    testsupport::ScopedRegistryDir registry_;
};

TEST_F(Registration, WritesTheRegistrationTableExactly) {
    const testsupport::ProgramRun run = RunRegsvr({ComponentPath()});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(ClassesRoot(), Registered());
    // The GUID constants of the header are the registered ones.
    WCHAR text[40] = {};
    ASSERT_EQ(StringFromGUID2(CLSID_DrvKeltor, text, 40), 39);
    EXPECT_EQ(Utf8(text), DRVKELTOR_CLSID_TEXT);
    CLSID clsid = {};
    EXPECT_EQ(CLSIDFromProgID(OLESTR("BrontalOcx.DrvKeltor"), &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_DrvKeltor);
    EXPECT_EQ(CLSIDFromProgID(OLESTR("BrontalOcx.DrvKeltor.1"), &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_DrvKeltor);
}

TEST_F(Registration, RegisteringAgainRewritesTheClassKeyWhole) {
    ASSERT_EQ(RunRegsvr({"-s", ComponentPath()}).exitCode, 0);
    WriteKey("CLSID\\" DRVKELTOR_CLSID_TEXT "\\LocalServer32");
    WriteKey("CLSID\\" DRVKELTOR_CLSID_TEXT "\\InprocServer32\\Stale");
    ASSERT_EQ(RunRegsvr({"-s", ComponentPath()}).exitCode, 0);
    EXPECT_EQ(ClassesRoot(), Registered());
}

TEST_F(Registration, UnregisteringLeavesOnlyTheSharedRoots) {
    WriteKey("CLSID\\{00000000-1111-2222-3333-444444444444}");
    ASSERT_EQ(RunRegsvr({"-s", ComponentPath()}).exitCode, 0);
    const testsupport::ProgramRun run = RunRegsvr({"-u", ComponentPath()});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(ClassesRoot(), (std::vector<std::string>{
                                 "AppID",
                                 "CLSID",
                                 "CLSID\\{00000000-1111-2222-3333-444444444444}",
                             }));
    // Unregistering what is not registered is no failure.
    EXPECT_EQ(RunRegsvr({"-s", "-u", ComponentPath()}).exitCode, 0);
    CLSID clsid = {};
    EXPECT_EQ(CLSIDFromProgID(OLESTR("BrontalOcx.DrvKeltor"), &clsid), CO_E_CLASSSTRING);
}

TEST_F(Registration, ARegistryThatCannotBeWrittenFailsTheRegistration) {
    // The registry folder is a file: no hive can be written under it.
    testsupport::TempDir scratch;
    const std::string blocked = scratch.file("not-a-folder");
    testsupport::WriteFileBytes(blocked, "x");
    setenv("BRONTAL_REGISTRY_DIR", blocked.c_str(), 1);
    const testsupport::ProgramRun run = RunRegsvr({ComponentPath()});
    setenv("BRONTAL_REGISTRY_DIR", registry_.path().c_str(), 1);
    EXPECT_EQ(run.exitCode, 5) << run.out;
    EXPECT_NE(run.out.find("DllRegisterServer"), std::string::npos) << run.out;
}

TEST_F(Registration, TheLibraryCarriesTheProjectVersion) {
    const std::string path = ComponentPath();
    DWORD handle = 1;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), handle, size, block.data()));
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\041904e3\\ProductVersion", &value,
                               &length));
    EXPECT_STREQ(static_cast<const char*>(value), "1.0.0");
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

}  // namespace
