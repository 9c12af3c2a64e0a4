// The version resource of a library or program file, kept as data in the ELF section
// ".brontal_version" where GetFileVersionInfoA finds it in the file. Exactly one source of the
// file says, at namespace scope:
//
//   BRONTAL_VERSION_RESOURCE(1, 0, 0, 1,          // file version
//                            1, 0, 0, 1,          // product version
//                            VFT_DLL, 0x0419, 1251,
//                            "CompanyName\0" "Orvane\0"
//                            "ProductVersion\0" "1.0.0.1\0");
//
// The texts are name/value pairs, each ended by "\0"; end every literal after a "\0" so that a
// following digit is not read as part of an octal escape. Values are ANSI texts of the code page
// named.
#pragma once

#include <cstddef>

#include "windef.h"
#include "winver.h"

namespace brontal_version {

constexpr DWORD kMagic = 0x49565242;  // "BRVI"
constexpr char kSectionName[] = ".brontal_version";

// The block as it lies in the section and as GetFileVersionInfoA hands it out: this header, then
// the name/value texts up to an empty name. size counts the whole block.
struct Header {
    DWORD magic;
    DWORD size;
    VS_FIXEDFILEINFO fixed;
    WORD language;
    WORD codePage;
};
static_assert(sizeof(Header) == 64, "version block header is 64 bytes");

template <std::size_t N>
struct Block {
    Header header;
    char strings[N];
};

template <std::size_t N>
constexpr Block<N> MakeBlock(DWORD fileMS, DWORD fileLS, DWORD productMS, DWORD productLS,
                             DWORD fileType, WORD language, WORD codePage,
                             const char (&strings)[N]) {
    Block<N> block{};
    block.header.magic = kMagic;
    block.header.size = static_cast<DWORD>(sizeof(Block<N>));
    block.header.fixed = {static_cast<DWORD>(VS_FFI_SIGNATURE),
                          static_cast<DWORD>(VS_FFI_STRUCVERSION),
                          fileMS,
                          fileLS,
                          productMS,
                          productLS,
                          static_cast<DWORD>(VS_FFI_FILEFLAGSMASK),
                          0,
                          static_cast<DWORD>(VOS_NT_WINDOWS32),
                          fileType,
                          0,
                          0,
                          0};
    block.header.language = language;
    block.header.codePage = codePage;
    for (std::size_t i = 0; i < N; ++i) {
        block.strings[i] = strings[i];
    }
    return block;
}

}  // namespace brontal_version

#define BRONTAL_VERSION_RESOURCE(fileMajor, fileMinor, fileBuild, fileRevision, productMajor,     \
                                 productMinor, productBuild, productRevision, fileType, language, \
                                 codePage, strings)                                               \
    __attribute__((section(".brontal_version"), used)) constexpr auto brontalVersionResource =    \
        brontal_version::MakeBlock(                                                               \
            MAKELONG(fileMinor, fileMajor), MAKELONG(fileRevision, fileBuild),                    \
            MAKELONG(productMinor, productMajor), MAKELONG(productRevision, productBuild),        \
            fileType, language, codePage, strings)
