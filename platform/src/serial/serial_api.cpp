// The Windows communications functions on serial port handles.
#include "serial_device.h"

namespace {

using brontal::serial::SerialPort;

// The port behind a handle; a file handle gets ERROR_INVALID_FUNCTION like a disk file on
// Windows, anything else ERROR_INVALID_HANDLE.
std::shared_ptr<SerialPort> LookupPort(HANDLE handle) {
    std::shared_ptr<brontal::kernel::KernelObject> object = brontal::kernel::LookupHandle(handle);
    if (object && object->Kind() == brontal::kernel::ObjectKind::Serial) {
        return std::static_pointer_cast<SerialPort>(object);
    }
    SetLastError(object && object->Kind() == brontal::kernel::ObjectKind::File
                     ? ERROR_INVALID_FUNCTION
                     : ERROR_INVALID_HANDLE);
    return nullptr;
}

BOOL Answer(DWORD error) {
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

// The calls that read or fill a record of the caller's: the port behind the handle, and the
// record itself, must be there.
template <typename Record, typename Call>
BOOL WithRecord(HANDLE handle, Record* record, Call call) {
    std::shared_ptr<SerialPort> port = LookupPort(handle);
    if (!port) {
        return FALSE;
    }
    if (!record) {
        return Answer(ERROR_INVALID_PARAMETER);
    }
    return call(*port, *record);
}

}  // namespace

WINBASEAPI BOOL WINAPI GetCommState(HANDLE hFile, LPDCB lpDCB) {
    return WithRecord(hFile, lpDCB,
                      [](SerialPort& port, DCB& dcb) { return Answer(port.GetState(&dcb)); });
}

WINBASEAPI BOOL WINAPI SetCommState(HANDLE hFile, LPDCB lpDCB) {
    return WithRecord(hFile, lpDCB,
                      [](SerialPort& port, DCB& dcb) { return Answer(port.SetState(dcb)); });
}

WINBASEAPI BOOL WINAPI GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    return WithRecord(hFile, lpCommTimeouts, [](SerialPort& port, COMMTIMEOUTS& timeouts) {
        port.GetTimeouts(&timeouts);
        return TRUE;
    });
}

WINBASEAPI BOOL WINAPI SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    return WithRecord(hFile, lpCommTimeouts, [](SerialPort& port, COMMTIMEOUTS& timeouts) {
        return Answer(port.SetTimeouts(timeouts));
    });
}

WINBASEAPI BOOL WINAPI SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue) {
    std::shared_ptr<SerialPort> port = LookupPort(hFile);
    if (!port) {
        return FALSE;
    }
    port->SetQueues(dwInQueue, dwOutQueue);
    return TRUE;
}

WINBASEAPI BOOL WINAPI PurgeComm(HANDLE hFile, DWORD dwFlags) {
    std::shared_ptr<SerialPort> port = LookupPort(hFile);
    if (!port) {
        return FALSE;
    }
    return Answer(port->Purge(dwFlags));
}

WINBASEAPI BOOL WINAPI ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
    std::shared_ptr<SerialPort> port = LookupPort(hFile);
    if (!port) {
        return FALSE;
    }
    // Line errors are not reported by the terminal driver per read; none are ever pending.
    if (lpErrors) {
        *lpErrors = 0;
    }
    COMSTAT status{};
    DWORD error = port->QueueStatus(&status);
    if (lpStat) {
        *lpStat = status;
    }
    return Answer(error);
}
