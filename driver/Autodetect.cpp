// The port scan: the system's port count and the search behind the progress dialog.
#include "BackgroundWork.h"

#include "DrvKeltorResult.h"
#include "RoutineTrace.h"
#include "Settings.h"

namespace {

// Speeds tried on every port; each gives one step of the bar.
constexpr int kSpeedsPerPort = kSearchSpeedCount;

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
        // Only the names the search reads as ports count, so that the bar's range is exactly the
        // attempts the search makes.
        count += PortNumberOf(port) > 0 ? 1 : 0;
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
