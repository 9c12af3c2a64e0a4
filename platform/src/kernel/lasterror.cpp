#include <windows.h>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

WINBASEAPI DWORD WINAPI GetLastError(void) { return lastError; }

WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }
