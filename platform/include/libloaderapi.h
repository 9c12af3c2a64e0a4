// Loading libraries and finding a library's own file. An HMODULE is the dynamic loader's handle of
// the object (the main program included); handles that are not of a loaded object are refused
// with ERROR_MOD_NOT_FOUND instead of being used. File names are ANSI (Windows-1251) texts,
// converted to the file system's UTF-8; '\\' is accepted as a path separator beside '/'.
//
// Thread-safety: every function may be called from any thread.
#pragma once

#include "windef.h"
#include "winerror.h"

#ifndef ERROR_BAD_EXE_FORMAT
#define ERROR_BAD_EXE_FORMAT 193L
#endif

// Cast the result to the export's own function type. It is declared as void(void) rather than
// Windows' INT_PTR(void) so that such a cast is not a function type mismatch for the compiler.
typedef void(WINAPI* FARPROC)(void);

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

// A name without a separator is searched as the dynamic loader searches. ERROR_MOD_NOT_FOUND when
// the file does not exist, ERROR_BAD_EXE_FORMAT when it is not a loadable library.
WINBASEAPI HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// lpModuleName NULL: the main program. With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, lpModuleName
// is an address inside the wanted module (a function or variable of it).
WINBASEAPI BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);
WINBASEAPI HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
// The absolute path of the module's file (hModule NULL: the main program). When nSize is too
// short the text is cut to nSize - 1 characters and zero-terminated, the result is nSize and the
// last error ERROR_INSUFFICIENT_BUFFER, as on Windows.
WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
