#include "AsyncCom.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "TickTimer.h"

namespace {

constexpr DWORD kInputQueueBytes = 1024;
constexpr DWORD kOutputQueueBytes = 2048;
// Without handshake the printer cannot hold us back, so keep little queued behind a frame.
constexpr DWORD kOutputQueueNoHandshakeBytes = 544;
constexpr DWORD kWriteMsPerByte = 20;
constexpr DWORD kWriteMsConstant = 200;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// A failure must never come back as 0 (success), even when the system kept no error code.
int NegatedLastError() {
    const DWORD error = GetLastError();
    return error != 0 ? -static_cast<int>(error) : -static_cast<int>(ERROR_GEN_FAILURE);
}

// Reads return at once with what is buffered, possibly nothing.
COMMTIMEOUTS ImmediateTimeouts() {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = kWriteMsPerByte;
    timeouts.WriteTotalTimeoutConstant = kWriteMsConstant;
    return timeouts;
}

// Reads return at once when a byte is buffered, else wait up to `waitMs` for the first one.
COMMTIMEOUTS WaitingTimeouts(DWORD waitMs) {
    COMMTIMEOUTS timeouts = ImmediateTimeouts();
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = waitMs < MAXDWORD ? waitMs : MAXDWORD - 1;
    return timeouts;
}

const char* LineSettingsFormat(BYTE parity) {
    switch (parity) {
        case ODDPARITY:
            return "%lu,o,%u,1";
        case EVENPARITY:
            return "%lu,e,%u,1";
        case MARKPARITY:
            return "%lu,m,%u,1";
        case SPACEPARITY:
            return "%lu,s,%u,1";
        default:
            return "%lu,n,%u,1";
    }
}

}  // namespace

AsyncCom::AsyncCom(int portNumber, DWORD baudRate, BYTE parity, BYTE dataBits, BYTE stopBits,
                   int noHandshake)
    : m_portNumber(portNumber),
      m_baudRate(baudRate),
      m_parity(parity),
      m_dataBits(dataBits),
      m_stopBits(stopBits),
      m_noHandshake(noHandshake) {
    m_portAssigned = portNumber != 0;
}

AsyncCom::~AsyncCom() {
    DWORD flags = 0;
    if (m_portAssigned && m_handle != INVALID_HANDLE_VALUE &&
        GetHandleInformation(m_handle, &flags)) {
        CloseHandle(m_handle);
    }
    m_handle = INVALID_HANDLE_VALUE;
    m_portAssigned = 0;
}

int AsyncCom::Open() {
    if (!m_portAssigned) {
        return -static_cast<int>(ERROR_INVALID_HANDLE);
    }
    // Opening twice would drop the open handle and keep the port locked until the process ends.
    if (m_handle != INVALID_HANDLE_VALUE) {
        return 0;
    }
    ResetEvent(m_cancelEvent);

    char deviceName[32];  // "\\.\COM" and at most 11 digits
    std::snprintf(deviceName, sizeof(deviceName), "\\\\.\\COM%d", m_portNumber);
    HANDLE handle = CreateFileA(deviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return NegatedLastError();
    }

    COMMTIMEOUTS timeouts{};
    bool configured = GetCommTimeouts(handle, &timeouts);
    if (configured) {
        timeouts = ImmediateTimeouts();
        configured = SetCommTimeouts(handle, &timeouts);
    }
    if (configured) {
        configured = SetupComm(handle, kInputQueueBytes,
                               m_noHandshake ? kOutputQueueNoHandshakeBytes : kOutputQueueBytes);
    }
    if (configured) {
        configured = PurgeComm(handle, kPurgeAll);
    }
    DCB dcb{};
    if (configured) {
        dcb.DCBlength = sizeof(DCB);
        char settings[48];  // "4294967295,n,255,1" at most
        std::snprintf(settings, sizeof(settings), LineSettingsFormat(m_parity),
                      static_cast<unsigned long>(m_baudRate), static_cast<unsigned>(m_dataBits));
        configured = BuildCommDCBA(settings, &dcb);
    }
    if (configured) {
        dcb.StopBits = m_stopBits;
        if (!m_noHandshake) {
            dcb.fOutxCtsFlow = 1;
            dcb.fOutxDsrFlow = 1;
            dcb.fDtrControl = DTR_CONTROL_ENABLE;
            dcb.fDsrSensitivity = 1;
        }
        configured = SetCommState(handle, &dcb);
    }
    if (!configured) {
        const int result = NegatedLastError();
        CloseHandle(handle);
        return result;
    }
    m_handle = handle;
    m_opened = 1;
    m_aheadStart = m_aheadEnd = 0;
    return 0;
}

int AsyncCom::Close() {
    if (m_handle == INVALID_HANDLE_VALUE) {
        m_portAssigned = 0;
        return 0;
    }
    // Best effort: the port is given back to the system whatever state the line is in.
    DWORD flags = 0;
    GetHandleInformation(m_handle, &flags);
    DWORD errors = 0;
    ClearCommError(m_handle, &errors, nullptr);
    PurgeComm(m_handle, kPurgeAll);

    // Leave the line as other programs expect to find it: 9600 8N1, no flow control.
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (GetCommState(m_handle, &dcb)) {
        dcb.BaudRate = CBR_9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = 1;
        dcb.fParity = 1;
        dcb.fOutxCtsFlow = 0;
        dcb.fOutxDsrFlow = 0;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = 0;
        dcb.fErrorChar = 0;
        dcb.fNull = 0;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fAbortOnError = 0;
        SetCommState(m_handle, &dcb);
    }

    int result = 0;
    if (!CloseHandle(m_handle)) {
        result = NegatedLastError();
    }
    m_handle = INVALID_HANDLE_VALUE;
    m_portAssigned = 0;
    m_opened = 0;
    m_aheadStart = m_aheadEnd = 0;
    return result;
}

int AsyncCom::ReadUntil(BYTE* buffer, DWORD capacity, DWORD budgetMs, BYTE terminator) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(m_handle, &dcb)) {
        return NegatedLastError();
    }
    return ReadBytes(buffer, capacity, budgetMs, terminator);
}

int AsyncCom::Read(BYTE* buffer, DWORD capacity, DWORD budgetMs) {
    return ReadBytes(buffer, capacity, budgetMs, 0);
}

bool AsyncCom::Aborted() const {
    return m_cancelEvent && WaitForSingleObject(m_cancelEvent, 0) == WAIT_OBJECT_0;
}

int AsyncCom::ReadBytes(BYTE* buffer, DWORD capacity, DWORD budgetMs, BYTE terminator) {
    if (!m_portAssigned || m_handle == INVALID_HANDLE_VALUE) {
        return -static_cast<int>(ERROR_INVALID_HANDLE);
    }
    if (!buffer && capacity != 0) {
        return -static_cast<int>(ERROR_INVALID_PARAMETER);
    }
    if (capacity > static_cast<DWORD>(INT_MAX)) {
        capacity = INT_MAX;
    }

    TickTimer timer;
    timer.Start(budgetMs);
    DWORD count = 0;
    int failure = 0;
    // The port waits inside ReadFile for the next byte, up to the time left, and answers at once
    // when one is there: the same as polling until the byte comes, without the empty polls. The
    // time left is given to the port only when it changed (at most once a millisecond), not for
    // every byte of a burst. The immediate time-outs of Open are put back before returning, so
    // that between calls the port always behaves as Open left it.
    DWORD setMs = 0;  // the time the port's time-outs now wait; 0 while they are Open's
    // An abort is looked for before the read and after each wait that brought nothing, not for
    // every byte of a burst.
    bool checkAbort = true;
    bool spent = false;
    while (count < capacity) {
        if (m_aheadStart < m_aheadEnd) {
            const BYTE byte = m_ahead[m_aheadStart++];
            buffer[count++] = byte;
            if (terminator != 0 && byte == terminator) {
                break;
            }
            continue;
        }
        if (checkAbort && Aborted()) {
            failure = -static_cast<int>(ERROR_OPERATION_ABORTED);
            break;
        }
        checkAbort = false;
        const DWORD leftMs = timer.Remaining();
        if (leftMs == 0) {
            // A budget spent (or 1 ms cut short by the tick) still takes a byte that is there:
            // once, with Open's time-outs, which answer at once.
            if (count > 0 || spent) {
                break;
            }
            spent = true;
        }
        COMMTIMEOUTS waiting = leftMs != 0 ? WaitingTimeouts(leftMs) : ImmediateTimeouts();
        if (leftMs != setMs && !SetCommTimeouts(m_handle, &waiting)) {
            failure = NegatedLastError();
            break;
        }
        setMs = leftMs;
        DWORD got = 0;
        if (!ReadFile(m_handle, buffer + count, 1, &got, nullptr)) {
            const DWORD error = GetLastError();
            if (error != 0) {
                failure = -static_cast<int>(error);
            }
            break;
        }
        if (got == 0) {
            checkAbort = true;
            continue;
        }
        const BYTE byte = buffer[count++];
        if (terminator != 0 && byte == terminator) {
            break;
        }
    }
    if (setMs != 0) {
        COMMTIMEOUTS immediate = ImmediateTimeouts();
        SetCommTimeouts(m_handle, &immediate);
    }
    return failure != 0 ? failure : static_cast<int>(count);
}

int AsyncCom::ReadAhead(DWORD count, DWORD budgetMs, DWORD gapMs) {
    if (!m_portAssigned || m_handle == INVALID_HANDLE_VALUE) {
        return -static_cast<int>(ERROR_INVALID_HANDLE);
    }
    if (Aborted()) {
        return -static_cast<int>(ERROR_OPERATION_ABORTED);
    }
    if (m_aheadStart > 0) {
        std::memmove(m_ahead, m_ahead + m_aheadStart, AheadCount());
        m_aheadEnd -= m_aheadStart;
        m_aheadStart = 0;
    }
    count = std::min(count, kAheadCapacity - m_aheadEnd);
    if (count == 0) {
        return 0;
    }
    if (budgetMs > 0) {
        COMMTIMEOUTS waiting = ImmediateTimeouts();
        waiting.ReadIntervalTimeout = std::max<DWORD>(gapMs, 1);
        waiting.ReadTotalTimeoutConstant = std::min<DWORD>(budgetMs, MAXDWORD - 1);
        if (!SetCommTimeouts(m_handle, &waiting)) {
            return NegatedLastError();
        }
    }
    DWORD got = 0;
    const BOOL read = ReadFile(m_handle, m_ahead + m_aheadEnd, count, &got, nullptr);
    const DWORD error = read ? 0 : GetLastError();
    if (budgetMs > 0) {
        COMMTIMEOUTS immediate = ImmediateTimeouts();
        SetCommTimeouts(m_handle, &immediate);
    }
    m_aheadEnd += std::min(got, count);
    if (!read && error != 0) {
        return -static_cast<int>(error);
    }
    return static_cast<int>(std::min(got, count));
}

bool AsyncCom::AheadHolds(BYTE byte) const {
    return std::memchr(m_ahead + m_aheadStart, byte, AheadCount()) != nullptr;
}

DWORD AsyncCom::TakeAhead(BYTE* buffer, DWORD capacity) {
    const DWORD count = std::min(capacity, AheadCount());
    std::memcpy(buffer, m_ahead + m_aheadStart, count);
    m_aheadStart += count;
    return count;
}

DWORD AsyncCom::WireMs(DWORD count) const {
    if (m_baudRate == 0) {
        return 0;
    }
    // Start bit, data bits, parity bit, stop bits (one and a half counted as two).
    const unsigned long long bits = 1ULL + m_dataBits +
                                    (m_parity >= ODDPARITY && m_parity <= SPACEPARITY ? 1 : 0) +
                                    (m_stopBits == ONESTOPBIT ? 1 : 2);
    const unsigned long long ms = (count * bits * 1000 + m_baudRate - 1) / m_baudRate;
    return static_cast<DWORD>(std::min<unsigned long long>(ms, MAXDWORD - 1));
}

int AsyncCom::Write(const BYTE* bytes, DWORD length,
                    DWORD /*budgetMs: bounded by Open's time-outs*/) {
    if (!m_portAssigned || m_handle == INVALID_HANDLE_VALUE) {
        return -static_cast<int>(ERROR_INVALID_HANDLE);
    }
    if ((!bytes && length != 0) || length > static_cast<DWORD>(INT_MAX)) {
        return -static_cast<int>(ERROR_INVALID_PARAMETER);
    }
    if (Aborted()) {
        return -static_cast<int>(ERROR_OPERATION_ABORTED);
    }
    DWORD written = 0;
    if (!WriteFile(m_handle, bytes, length, &written, nullptr)) {
        const DWORD error = GetLastError();
        if (error != 0) {
            return -static_cast<int>(error);
        }
    }
    return static_cast<int>(written);
}

HANDLE AsyncCom::GetHandle() {
    return m_handle;
}

int AsyncCom::IsOpen() {
    return m_handle != INVALID_HANDLE_VALUE ? 1 : 0;
}
