// Window texts: WM_SETTEXT and WM_GETTEXT sent to the window, so that a window of another thread
// is read and written on its own thread.
#include "window_manager.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "codepage.h"

namespace brontal::window {

LRESULT CopyWindowText(const std::string& text, WPARAM capacity, LPARAM buffer) {
    if (capacity == 0 || buffer == 0) {
        return 0;
    }
    const size_t count = std::min(text.size(), static_cast<size_t>(capacity) - 1);
    LPSTR out = reinterpret_cast<LPSTR>(buffer);
    std::memcpy(out, text.data(), count);
    out[count] = '\0';
    return static_cast<LRESULT>(count);
}

bool HandleTextMessage(Window& window, UINT message, WPARAM wParam, LPARAM lParam,
                       LRESULT* result) {
    switch (message) {
        case WM_SETTEXT:
            window.text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
            *result = TRUE;
            return true;
        case WM_GETTEXT:
            *result = CopyWindowText(window.text, wParam, lParam);
            return true;
        case WM_GETTEXTLENGTH:
            *result = static_cast<LRESULT>(window.text.size());
            return true;
        default:
            return false;
    }
}

}  // namespace brontal::window

using namespace brontal::window;

WINBASEAPI BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0 ? TRUE
                                                                                      : FALSE;
}

WINBASEAPI int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    if (!lpString || nMaxCount <= 0) {
        return 0;
    }
    lpString[0] = '\0';
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                         reinterpret_cast<LPARAM>(lpString)));
}

WINBASEAPI int WINAPI GetWindowTextLengthA(HWND hWnd) {
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

WINBASEAPI BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    std::string text;
    for (LPCWSTR unit = lpString; unit && *unit; ++unit) {
        unsigned char byte = 0;
        if (!brontal::codepage::UnicodeToCp1251(*unit, &byte)) {
            byte = '?';
        }
        text.push_back(static_cast<char>(byte));
    }
    return SetWindowTextA(hWnd, text.c_str());
}

WINBASEAPI int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    if (!lpString || nMaxCount <= 0) {
        return 0;
    }
    std::string text(static_cast<size_t>(nMaxCount), '\0');
    const int count = GetWindowTextA(hWnd, text.data(), nMaxCount);
    for (int i = 0; i < count; ++i) {
        lpString[i] = brontal::codepage::Cp1251ToUnicode(static_cast<unsigned char>(text[i]));
    }
    lpString[count] = 0;
    return count;
}
