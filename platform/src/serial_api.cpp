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

}  // namespace

WINBASEAPI BOOL WINAPI GetCommState(HANDLE hFile, LPDCB lpDCB) {
    std::shared_ptr<SerialPort> port = LookupPort(hFile);
    if (!port) {
        return FALSE;
    }
    if (!lpDCB) {
        return Answer(ERROR_INVALID_PARAMETER);
    }
    return Answer(port->GetState(lpDCB));
}

WINBASEAPI BOOL WINAPI SetCommState(HANDLE hFile, LPDCB lpDCB) {
    std::shared_ptr<SerialPort> port = LookupPort(hFile);
    if (!port) {
        return FALSE;
    }
    if (!lpDCB) {
        return Answer(ERROR_INVALID_PARAMETER);
    }
    return Answer(port->SetState(*lpDCB));
}

WINBASEAPI BOOL WINAPI GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    std::shared_ptr<SerialPort> port = LookupPort(hFile);
    if (!port) {
        return FALSE;
    }
    if (!lpCommTimeouts) {
        return Answer(ERROR_INVALID_PARAMETER);
    }
    port->GetTimeouts(lpCommTimeouts);
    return TRUE;
}

WINBASEAPI BOOL WINAPI SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    std::shared_ptr<SerialPort> port = LookupPort(hFile);
    if (!port) {
        return FALSE;
    }
    if (!lpCommTimeouts) {
        return Answer(ERROR_INVALID_PARAMETER);
    }
    return Answer(port->SetTimeouts(*lpCommTimeouts));
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
