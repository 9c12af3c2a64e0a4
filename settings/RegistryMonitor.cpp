// CBrontExtender: the registry monitor that keeps the record in step with the settings key.
#include <process.h>

#include <atomic>
#include <cerrno>

#include "ErrorLog.h"
#include "Settings.h"
#include "Trace.h"

namespace {

constexpr DWORD kStopWaitMs = 5000;
// How long Initialize waits for the thread to arm its first notification. A change made before
// that would be missed, so the wait ends as soon as the thread reports it armed.
constexpr DWORD kArmWaitMs = 5000;
constexpr REGSAM kMonitorAccess = KEY_NOTIFY | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// The monitor thread reads the events while Initialize and UnInitialize replace them.
std::atomic<HANDLE> g_stopEvent{nullptr};
std::atomic<HANDLE> g_armedEvent{nullptr};
HANDLE g_monitorThread = INVALID_HANDLE_VALUE;

void CloseEvent(std::atomic<HANDLE>& event) {
    if (HANDLE handle = event.exchange(nullptr)) {
        CloseHandle(handle);
    }
}

// "<what failed>: \r\n\tкод: <code>(<code in hexadecimal>) - <the system's text>".
void ReportSystemError(LPCSTR failure, LONG code) {
    BrontErrLog(kErrorLogFile, "%s: \r\n\tкод: %ld(%#0lx) - %s", failure, static_cast<long>(code),
                static_cast<unsigned long>(code), SystemErrorText(code));
}

void ReportThreadRefused(int error) {
    if (error == EAGAIN) {
        BrontErrLog(kErrorLogFile,
                    "Ошибка запуска мониторинга реестра,\r\n\tRun-Time, errno: %d(%#0x) - there "
                    "are too many threads",
                    error, static_cast<unsigned>(error));
    } else if (error == EINVAL) {
        BrontErrLog(kErrorLogFile,
                    "Ошибка запуска мониторинга реестра,\r\n\tRun-Time, errno: %d(%#0x) - the "
                    "argument is invalid or the stack size is incorrect",
                    error, static_cast<unsigned>(error));
    } else {
        BrontErrLog(kErrorLogFile,
                    "Ошибка запуска мониторинга реестра,\r\n\tRun-Time, errno: %d(%#0x)", error,
                    static_cast<unsigned>(error));
    }
}

}  // namespace

int CBrontExtender::Initialize() {
    InstallLinkTraceHooks();
    BrontErrLog(kErrorLogFile, "CBrontExtender::Initialize() try...");
    if (!g_stopEvent.load()) {
        g_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    if (!g_armedEvent.load()) {
        g_armedEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    if (g_monitorThread != INVALID_HANDLE_VALUE || !g_stopEvent.load() || !g_armedEvent.load()) {
        return -1;
    }
    ResetEvent(g_stopEvent.load());
    ResetEvent(g_armedEvent.load());

    HKEY settingsKey = nullptr;
    LONG status =
        RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, kMonitorAccess, &settingsKey);
    if (status == ERROR_FILE_NOT_FOUND) {
        // Before the first save there is no key to watch; made now, it is watched from the start
        // and a value written later by anyone reaches the running objects.
        status = RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, kMonitorAccess, nullptr, &settingsKey,
                                 nullptr);
    }
    if (status != ERROR_SUCCESS) {
        ReportSystemError("Ошибка доступа к реестру при запуске мониторинга", status);
        return status;
    }
    LoadSettings(settingsKey);

    SetLastError(ERROR_SUCCESS);
    errno = 0;
    unsigned threadId = 0;
    const uintptr_t thread =
        _beginthreadex(nullptr, 0, &CBrontExtender::RegMonitorThread, settingsKey, 0, &threadId);
    if (thread == 0) {
        const int error = errno;
        const LONG systemError = static_cast<LONG>(GetLastError());
        RegCloseKey(settingsKey);
        if (systemError != ERROR_SUCCESS) {
            ReportSystemError("Ошибка запуска мониторинга реестра", systemError);
            return systemError;
        }
        ReportThreadRefused(error);
        return -1;
    }
    g_monitorThread = reinterpret_cast<HANDLE>(thread);

    // Returns as soon as the notification is armed, or the thread ended without arming it.
    const HANDLE started[] = {g_monitorThread, g_armedEvent.load()};
    WaitForMultipleObjects(2, started, FALSE, kArmWaitMs);
    return 0;
}

int CBrontExtender::UnInitialize() {
    BrontErrLog(kErrorLogFile, "CBrontExtender::UnInitialize() try...");
    if (g_monitorThread != INVALID_HANDLE_VALUE) {
        SetEvent(g_stopEvent.load());
        if (WaitForSingleObject(g_monitorThread, kStopWaitMs) == WAIT_OBJECT_0) {
            DWORD exitCode = 0;
            GetExitCodeThread(g_monitorThread, &exitCode);
        } else {
            TerminateThread(g_monitorThread, static_cast<DWORD>(-1));
            BrontErrLog(kErrorLogFile, "Мониторинг реестра терминирован");
        }
        CloseHandle(g_monitorThread);
        g_monitorThread = INVALID_HANDLE_VALUE;
    }
    CloseEvent(g_stopEvent);
    CloseEvent(g_armedEvent);
    return 0;
}

unsigned WINAPI CBrontExtender::RegMonitorThread(void* settingsKey) {
    HKEY key = static_cast<HKEY>(settingsKey);
    const HANDLE stop = g_stopEvent.load();
    const HANDLE change = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD result = ERROR_SUCCESS;
    if (!change || !stop) {
        result = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_HANDLE;
    }
    bool armed = false;
    while (result == ERROR_SUCCESS) {
        BrontErrLog(kErrorLogFile, "CBrontExtender::RegMonitorThread(%#0lx) try...",
                    static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(key)));
        const LONG status =
            RegNotifyChangeKeyValue(key, TRUE, REG_NOTIFY_CHANGE_LAST_SET, change, TRUE);
        if (status != ERROR_SUCCESS) {
            result = static_cast<DWORD>(status);
            break;
        }
        // Re-armed before reading, so that a change made while we read fires again.
        if (armed) {
            LoadSettings(key);
        } else {
            armed = true;
            if (HANDLE started = g_armedEvent.load()) {
                SetEvent(started);
            }
        }
        const HANDLE waitFor[] = {change, stop};
        const DWORD woken = WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
        if (woken != WAIT_OBJECT_0) {
            result = woken;
            break;
        }
        ResetEvent(change);
    }
    RegCloseKey(key);
    if (change) {
        CloseHandle(change);
    }
    return result;
}
