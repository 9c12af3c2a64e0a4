// Loading libraries, their exports and their own file names.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestComponent.h"
#include "TestSupport.h"

namespace {

const std::string kComponent = BRONTAL_TESTCOMPONENT_PATH;

bool Loaded(const std::string& path) {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, path.c_str(),
                              &module) != FALSE;
}

std::string FileNameOf(HMODULE module) {
    char buffer[PATH_MAX * 2];
    const DWORD length = GetModuleFileNameA(module, buffer, sizeof(buffer));
    return std::string(buffer, length);
}

void LocalFunction() {}

TEST(ModuleLoader, LoadFindExportsAndFree) {
    ASSERT_FALSE(Loaded(kComponent));
    HMODULE module = LoadLibraryA(kComponent.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(Loaded(kComponent));
    auto live =
        reinterpret_cast<LPFNTESTCOMPONENTLIVE>(GetProcAddress(module, TESTCOMPONENT_LIVE_EXPORT));
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(live(), 0);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(module, nullptr), nullptr);
    EXPECT_EQ(FileNameOf(module), kComponent);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(Loaded(kComponent));
}

TEST(ModuleLoader, ReferencesAreCounted) {
    HMODULE first = LoadLibraryA(kComponent.c_str());
    HMODULE second = LoadLibraryA(kComponent.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    HMODULE counted = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(0, kComponent.c_str(), &counted));
    EXPECT_EQ(counted, first);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_TRUE(Loaded(kComponent));  // the reference GetModuleHandleExA took
    EXPECT_TRUE(FreeLibrary(counted));
    EXPECT_FALSE(Loaded(kComponent));
}

TEST(ModuleLoader, FailuresSayWhy) {
    testsupport::TempDir folder;
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(folder.file("missing.so").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryA("libbrontal-no-such-library.so"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    testsupport::WriteFileBytes(folder.file("text.so"), "plain text\n");
    EXPECT_EQ(LoadLibraryA(folder.file("text.so").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(LoadLibraryA(""), nullptr);

    // A handle that names no loaded object is refused, not followed.
    int notAModule = 0;
    auto bogus = reinterpret_cast<HMODULE>(&notAModule);
    EXPECT_EQ(GetProcAddress(bogus, "DllGetClassObject"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(FreeLibrary(bogus));
    EXPECT_FALSE(FreeLibrary(nullptr));
    char buffer[16];
    EXPECT_EQ(GetModuleFileNameA(bogus, buffer, sizeof(buffer)), 0u);
    HMODULE module = reinterpret_cast<HMODULE>(1);
    EXPECT_FALSE(GetModuleHandleExA(0, folder.file("missing.so").c_str(), &module));
    EXPECT_EQ(module, nullptr);
    EXPECT_FALSE(GetModuleHandleExA(0, nullptr, nullptr));
}

TEST(ModuleLoader, ModuleOfAnAddressAndItsAbsolutePath) {
    HMODULE runtime = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&SysAllocString), &runtime));
    const std::string expected = std::filesystem::canonical(BRONTAL_RUNTIME_PATH).string();
    EXPECT_EQ(FileNameOf(runtime), expected);
    EXPECT_EQ(GetModuleHandleA(BRONTAL_RUNTIME_PATH), runtime);

    HMODULE program = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCSTR>(&LocalFunction), &program));
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    EXPECT_EQ(FileNameOf(program), self);
    EXPECT_EQ(FileNameOf(nullptr), self);
    HMODULE main = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(0, nullptr, &main));
    EXPECT_EQ(main, program);

    int local = 0;
    EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                    reinterpret_cast<LPCSTR>(&local), &program));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(ModuleLoader, FileNameIsCutToTheBufferLikeWindows) {
    const std::string self = FileNameOf(nullptr);
    ASSERT_GT(self.size(), 5u);
    char buffer[6] = "xxxxx";
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof(buffer)), 6u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(buffer), self.substr(0, 5));
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 0), 0u);
    std::string exact(self.size() + 1, 'x');
    EXPECT_EQ(GetModuleFileNameA(nullptr, exact.data(), static_cast<DWORD>(exact.size())),
              self.size());
    EXPECT_EQ(exact.c_str(), self);
}

TEST(ModuleLoader, AnsiPathsWithBackslashesAndCyrillicNames) {
    testsupport::TempDir folder;
    const std::string utf8Folder = folder.file("Касса");
    std::filesystem::create_directory(utf8Folder);
    const std::string utf8Copy = utf8Folder + "/компонент.so";
    std::filesystem::copy_file(kComponent, utf8Copy);
    std::string ansi = testsupport::Cp1251(utf8Copy);
    for (char& c : ansi) {
        if (c == '/') {
            c = '\\';
        }
    }
    HMODULE module = LoadLibraryA(ansi.c_str());
    ASSERT_NE(module, nullptr);
    // The name comes back as ANSI text with the file system's separators.
    EXPECT_EQ(FileNameOf(module), testsupport::Cp1251(std::filesystem::canonical(utf8Copy)));
    EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
