// The process-wide result code of the driver and what it turns into at the interface.
//
// One result code exists for the whole process: every device method of every driver object
// writes it, ResultCode reads its low 16 bits. 0 success, negative failure, positive success with
// a note. Thread-safety: a single 32-bit word read and written without a lock (a worker thread
// may write it while the calling thread waits).
#pragma once

#include <windows.h>

// Codes of the driver object itself.
enum DriverResult {
    kDriverInitFailed = -9401,         // no command layer
    kDriverWorkerStartFailed = -9402,  // background work could not be set up
    kDriverWorkerInitFailed = -9403,
};

int DriverResultCode();
void SetDriverResultCode(int code);

// 0: S_OK; c > 0: 0x00040000 | c; -9000..-9999: 0x80040000 | -c; any other negative code: E_FAIL.
HRESULT HResultFromResultCode(int code);

// True for -9401..-9999: codes whose description is the driver's own, not the catalogue's.
bool IsDriverObjectCode(int code);
// The text of -9401, -9402 or -9403; null for every other code.
LPCSTR DriverResultText(int code);

// The product version of the driver library (at most 32 characters), read once an object is set
// up; SoftwareVersion returns it.
void SetProductVersion(LPCSTR version);
LPCSTR ProductVersion();
