// The port scan: the system's port count and the search behind the progress dialog.
#include "BackgroundWork.h"

#include "DrvKeltorResult.h"
#include "RoutineTrace.h"
#include "Settings.h"

namespace {

// Speeds tried on every port; each gives one step of the bar.
constexpr int kSpeedsPerPort = kSearchSpeedCount;

// A port of the list is "com" in any case and a number above 0, the way the search reads it,
// so that the bar's range counts exactly the attempts the search makes.
bool IsPortName(LPCSTR name) {
    if (!name) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != "com"[i]) {
            return false;
        }
    }
    LPCSTR digits = name + 3;
    if (*digits < '0' || *digits > '9') {
        return false;
    }
    int number = 0;
    for (; *digits >= '0' && *digits <= '9'; ++digits) {
        if (number > 9999) {
            return false;
        }
        number = number * 10 + (*digits - '0');
    }
    return *digits == '\0' && number > 0;
}

}  // namespace

int GetSystemComPortCount() {
    const CRoutineTrace trace("CDrvKeltor::GetSystemComPortCount");
    int count = 0;
    for (DWORD index = 0;; ++index) {
        LPSTR port = nullptr;
        const LONG status = EnumSerialPortName(index, &port);
        if (status != ERROR_SUCCESS) {
            delete[] port;
            break;
        }
        count += IsPortName(port) ? 1 : 0;
        delete[] port;
    }
    return trace.Done(count);
}

int RunAutodetect(CBrontal* device, DWORD* port, DWORD* baud) {
    const CRoutineTrace trace("CDrvKeltor::RunAutodetect");
    int result = kDriverWorkerStartFailed;
    if (WorkDescriptor* work = AllocateWork()) {
        work->device = device;
        work->kind = kWorkPortScan;
        work->progressMinimum = 0;
        work->progressMaximum = static_cast<DWORD>(kSpeedsPerPort * GetSystemComPortCount());
        work->progressStep = 1;
        result = RunProgress(work);
        if (result == 0) {
            if (port) {
                *port = static_cast<DWORD>(work->firstValue);
            }
            if (baud) {
                *baud = work->secondValue;
            }
        }
        ReleaseWork(work);
    }
    return trace.Done(result);
}
