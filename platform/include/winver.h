// Version resources. A library or program file carries its resource as data in an ELF section of
// its own (see versionresource.h), read from the file itself, so any file can be asked, loaded or
// not. A file without one gives 0 and ERROR_RESOURCE_TYPE_NOT_FOUND; a damaged one
// ERROR_BAD_FORMAT.
#pragma once

#include "windef.h"
#include "winerror.h"

#ifndef ERROR_RESOURCE_DATA_NOT_FOUND
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#endif
#ifndef ERROR_RESOURCE_TYPE_NOT_FOUND
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#endif
#ifndef ERROR_RESOURCE_NAME_NOT_FOUND
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#endif

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "VS_FIXEDFILEINFO has the Windows layout");

#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define VS_FFI_FILEFLAGSMASK 0x0000003FL
#define VS_FF_DEBUG 0x00000001L
#define VS_FF_PRERELEASE 0x00000002L
#define VS_FF_PATCHED 0x00000004L
#define VS_FF_PRIVATEBUILD 0x00000008L
#define VS_FF_INFOINFERRED 0x00000010L
#define VS_FF_SPECIALBUILD 0x00000020L
#define VOS_UNKNOWN 0x00000000L
#define VOS__WINDOWS32 0x00000004L
#define VOS_NT_WINDOWS32 0x00040004L
#define VFT_UNKNOWN 0x00000000L
#define VFT_APP 0x00000001L
#define VFT_DLL 0x00000002L

// *lpdwHandle is set to 0. ERROR_FILE_NOT_FOUND (or the open error) when the file cannot be read.
WINBASEAPI DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle);
// Copies the whole resource; a dwLen shorter than GetFileVersionInfoSizeA's answer is refused with
// ERROR_INSUFFICIENT_BUFFER rather than handing out a block that VerQueryValueA would overrun.
WINBASEAPI BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen,
                                           LPVOID lpData);
// lpSubBlock: "\\" (VS_FIXEDFILEINFO, *puLen its size), "\\VarFileInfo\\Translation" (one
// language and code page pair, 4 bytes) or "\\StringFileInfo\\llllcccc\\Name" with the pair in
// hex (the ANSI value, *puLen its length in characters with the zero). Names compare without
// regard to case. The pointer points into pBlock.
WINBASEAPI BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer,
                                      UINT* puLen);
