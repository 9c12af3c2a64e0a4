// Version resources read from library files.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestComponent.h"
#include "TestSupport.h"

namespace {

const std::string kComponent = BRONTAL_TESTCOMPONENT_PATH;

std::vector<BYTE> ReadBlock(const std::string& file) {
    DWORD handle = 99;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoA(file.c_str(), 0, size, block.data())) {
        block.clear();
    }
    return block;
}

std::string QueryText(const std::vector<BYTE>& block, const char* path) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path, &value, &length)) {
        return "<none>";
    }
    const char* text = static_cast<const char*>(value);
    EXPECT_EQ(length, std::strlen(text) + 1) << path;
    return text;
}

DWORD SizeError(const std::string& file) {
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeA(file.c_str(), nullptr), 0u) << file;
    return GetLastError();
}

TEST(ModuleVersion, TheComponentCarriesItsResource) {
    const std::vector<BYTE> block = ReadBlock(kComponent);
    ASSERT_FALSE(block.empty());

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    const auto* translation = static_cast<const WORD*>(value);
    EXPECT_EQ(translation[0], 0x0419);
    EXPECT_EQ(translation[1], 1251);

    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\041904e3\\ProductVersion"), "1.2.0.0");
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\041904E3\\productversion"), "1.2.0.0");
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\041904e3\\FileVersion"), "1.2.3.4");
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\041904e3\\CompanyName"), "Orvane");
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\041904e3\\FileDescription"),
              testsupport::Cp1251("Тестовый компонент"));
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\040904b0\\ProductVersion"), "<none>");
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\041904e3\\LegalCopyright"), "<none>");
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\041904e3"), "<none>");
    EXPECT_EQ(QueryText(block, "\\Nothing"), "<none>");
    EXPECT_FALSE(VerQueryValueA(block.data(), nullptr, &value, &length));
}

TEST(ModuleVersion, ALoadedLibraryFindsItsOwnVersion) {
    HMODULE module = LoadLibraryA(kComponent.c_str());
    ASSERT_NE(module, nullptr);
    char path[4096];
    const DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    ASSERT_GT(length, 0u);
    const std::vector<BYTE> block = ReadBlock(path);
    EXPECT_EQ(QueryText(block, "\\StringFileInfo\\041904e3\\ProductVersion"), "1.2.0.0");
    FreeLibrary(module);
}

TEST(ModuleVersion, ShortBuffersAreRefused) {
    const DWORD size = GetFileVersionInfoSizeA(kComponent.c_str(), nullptr);
    ASSERT_GT(size, 64u);
    std::vector<BYTE> block(size, 0xEE);
    SetLastError(0);
    EXPECT_FALSE(GetFileVersionInfoA(kComponent.c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(block[0], 0xEE);
    EXPECT_FALSE(GetFileVersionInfoA(kComponent.c_str(), 0, size, nullptr));
}

TEST(ModuleVersion, FilesWithoutAResource) {
    testsupport::TempDir folder;
    EXPECT_EQ(SizeError(BRONTAL_RUNTIME_PATH), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    testsupport::WriteFileBytes(folder.file("notes.txt"), "no resource here");
    EXPECT_EQ(SizeError(folder.file("notes.txt")),
              static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    testsupport::WriteFileBytes(folder.file("empty"), "");
    EXPECT_EQ(SizeError(folder.file("empty")), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(SizeError(folder.file("missing.so")), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// Copies the component with one change, and asks the copy.
DWORD ErrorOfDamagedCopy(const testsupport::TempDir& folder, void (*damage)(std::string&)) {
    std::string bytes = testsupport::ReadFileBytes(kComponent);
    damage(bytes);
    const std::string copy = folder.file("damaged.so");
    testsupport::WriteFileBytes(copy, bytes);
    return SizeError(copy);
}

std::size_t BlockOffset(const std::string& bytes) {
    // The block starts with its magic "BRVI", its size and the fixed part's signature; debug
    // information may hold the magic alone elsewhere.
    const std::string signature("\xBD\x04\xEF\xFE", 4);
    for (std::size_t at = bytes.find("BRVI"); at != std::string::npos;
         at = bytes.find("BRVI", at + 1)) {
        if (bytes.compare(at + 8, 4, signature) == 0) {
            return at;
        }
    }
    ADD_FAILURE() << "no version block in the file";
    return 0;
}

TEST(ModuleVersion, DamagedFilesAreReportedAsBadFormat) {
    testsupport::TempDir folder;
    const DWORD bad = ERROR_BAD_FORMAT;
    // A size beyond the section.
    EXPECT_EQ(ErrorOfDamagedCopy(folder,
                                 [](std::string& b) {
                                     const DWORD huge = 0x7FFFFFFF;
                                     std::memcpy(&b[BlockOffset(b) + 4], &huge, 4);
                                 }),
              bad);
    // The fixed part's signature is gone.
    EXPECT_EQ(ErrorOfDamagedCopy(folder, [](std::string& b) { b[BlockOffset(b) + 8] = 0; }), bad);
    // Texts that run past the end of the block.
    EXPECT_EQ(ErrorOfDamagedCopy(folder,
                                 [](std::string& b) {
                                     const std::size_t at = BlockOffset(b);
                                     DWORD size;
                                     std::memcpy(&size, &b[at + 4], 4);
                                     for (std::size_t i = at + 64; i < at + size; ++i) {
                                         if (b[i] == '\0') {
                                             b[i] = 'x';
                                         }
                                     }
                                 }),
              bad);
    // Section headers cut off by the end of the file.
    EXPECT_EQ(ErrorOfDamagedCopy(folder, [](std::string& b) { b.resize(b.size() - 100); }), bad);
    // A section header table said to start beyond the file.
    EXPECT_EQ(ErrorOfDamagedCopy(folder,
                                 [](std::string& b) {
                                     const unsigned long long far = 1ULL << 40;
                                     std::memcpy(&b[0x28], &far, 8);  // e_shoff
                                 }),
              bad);
}

}  // namespace
