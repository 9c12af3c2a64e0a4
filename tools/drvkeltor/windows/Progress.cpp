// The progress line on Windows, where the driver's dialogs are real windows: a message hook of the
// installing thread sees the dialog start (WM_INITDIALOG), its caption (WM_SETTEXT) and its end
// (WM_DESTROY). The progress bar is subclassed instead, because its steps are posted to it and no
// hook sees a posted message once it has been handled.
#include "Progress.h"

#include <windows.h>

#include <commctrl.h>
#include <io.h>

#include <string>

namespace drvkeltor {

namespace {

constexpr int kBarCells = 30;
constexpr int kTextCapacity = 256;

struct TerminalState {
    int fd = -1;
    HHOOK hook = nullptr;
    HWND dialog = nullptr;           // the dialog shown, null between dialogs
    HWND bar = nullptr;              // its progress bar, if it has one
    WNDPROC barProcedure = nullptr;  // the bar's own window procedure
    std::wstring caption;
    size_t drawnWidth = 0;  // characters of the last line drawn
    bool drawing = false;   // the bar's own queries must not redraw
};

// One per thread: the hook and the dialogs it watches belong to the installing thread.
thread_local TerminalState t_terminal;

void Write(const std::wstring& text) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(t_terminal.fd));
    if (handle == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return;
    }
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring BarText(HWND bar) {
    PBRANGE range = {};
    SendMessageW(bar, PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
    const long long span = static_cast<long long>(range.iHigh) - range.iLow;
    long long done = static_cast<long long>(SendMessageW(bar, PBM_GETPOS, 0, 0)) - range.iLow;
    if (span <= 0 || done < 0) {
        done = 0;
    } else if (done > span) {
        done = span;
    }
    const int cells = span > 0 ? static_cast<int>(done * kBarCells / span) : 0;
    const int percent = span > 0 ? static_cast<int>(done * 100 / span) : 0;
    return L" [" + std::wstring(static_cast<size_t>(cells), L'#') +
           std::wstring(static_cast<size_t>(kBarCells - cells), L'.') + L"] " +
           std::to_wstring(percent) + L"%";
}

void Draw(bool finish) {
    TerminalState& state = t_terminal;
    state.drawing = true;
    std::wstring line = state.caption;
    if (state.bar) {
        line += BarText(state.bar);
    }
    state.drawing = false;
    const size_t width = line.size();
    // Spaces over what is left of a longer line before.
    if (width < state.drawnWidth) {
        line.append(state.drawnWidth - width, L' ');
    }
    state.drawnWidth = finish ? 0 : width;
    Write(L"\r" + line + (finish ? L"\n" : L""));
}

std::wstring CaptionOf(HWND window) {
    wchar_t text[kTextCapacity] = {};
    GetWindowTextW(window, text, kTextCapacity);
    return text;
}

HWND ProgressBarOf(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[kTextCapacity] = {};
        GetClassNameW(child, className, kTextCapacity);
        if (lstrcmpiW(className, PROGRESS_CLASSW) == 0) {
            return child;
        }
    }
    return nullptr;
}

bool IsProgressMessage(UINT message) {
    switch (message) {
        case PBM_SETPOS:
        case PBM_DELTAPOS:
        case PBM_STEPIT:
        case PBM_SETRANGE:
        case PBM_SETRANGE32:
            return true;
        default:
            return false;
    }
}

// In front of the bar's own procedure: the line follows every change of the bar.
LRESULT CALLBACK BarProcedure(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    TerminalState& state = t_terminal;
    const WNDPROC own = state.barProcedure;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        state.bar = nullptr;
        state.barProcedure = nullptr;
    }
    const LRESULT result = CallWindowProcW(own, bar, message, wParam, lParam);
    if (bar == state.bar && !state.drawing && IsProgressMessage(message)) {
        Draw(false);
    }
    return result;
}

// The dialog's bar, watched; one dialog at a time is shown on a thread.
void WatchBar(HWND bar) {
    TerminalState& state = t_terminal;
    state.bar = nullptr;
    state.barProcedure = nullptr;
    if (!bar) {
        return;
    }
    const LONG_PTR own =
        SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BarProcedure));
    if (own) {
        state.bar = bar;
        state.barProcedure = reinterpret_cast<WNDPROC>(own);
    }
}

// After each message sent to a window of this thread, once the window has handled it.
LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam) {
    TerminalState& state = t_terminal;
    if (code == HC_ACTION && !state.drawing) {
        const CWPRETSTRUCT& sent = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (sent.message == WM_INITDIALOG) {
            state.dialog = sent.hwnd;
            state.caption = CaptionOf(sent.hwnd);
            state.drawnWidth = 0;
            WatchBar(ProgressBarOf(sent.hwnd));
            Draw(false);
        } else if (state.dialog && sent.hwnd == state.dialog && sent.message == WM_SETTEXT) {
            state.caption = CaptionOf(sent.hwnd);
            Draw(false);
        } else if (state.dialog && sent.hwnd == state.dialog && sent.message == WM_DESTROY) {
            Draw(true);
            state.dialog = nullptr;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

// Watches the dialogs of the calling thread (a message hook of that thread), which is the thread
// that calls the driver. Installing again only changes `fd`.
bool InstallTerminalProgress(int fd) {
    if (fd < 0 || _get_osfhandle(fd) == -1) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    TerminalState& state = t_terminal;
    if (!state.hook) {
        state.hook =
            SetWindowsHookExW(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId());
        if (!state.hook) {
            return false;
        }
    }
    state.fd = fd;
    return true;
}

}  // namespace drvkeltor
