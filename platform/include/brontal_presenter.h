// The presenter hook of the windowing subset: how a host shows the headless dialogs.
//
// Dialogs run without a display (winuser.h). A host (the command-line client, the test utility, a
// test) may install one presenter for the process; it hears of every modal dialog that is shown,
// of its caption and its progress bars, and of its end, and it may press keys in it. Without a
// presenter nothing is shown and the dialogs behave the same.
//
// This header is an extension of this platform, not a Windows API.
//
// Thread-safety: the callbacks run on the dialog's own thread, inside its modal loop, while no
// lock of the platform is held; they may call the window functions (a callback that waits for
// another thread which waits for this dialog deadlocks, as on Windows). BrontalSetPresenter and
// BrontalPresenterPressKey may be called from any thread.
#pragma once

#include "winuser.h"

typedef struct BRONTAL_PRESENTER {
    UINT cbSize;  // sizeof(BRONTAL_PRESENTER)
    void* context;
    // The dialog is initialised (after WM_INITDIALOG) and its loop starts; `caption` is its text.
    void (*DialogShown)(void* context, HWND dialog, LPCSTR caption);
    // The shown dialog's text changed.
    void (*CaptionChanged)(void* context, HWND dialog, LPCSTR caption);
    // A progress bar of the shown dialog, right after it is shown and whenever its range or
    // position changes.
    void (*ProgressChanged)(void* context, HWND dialog, HWND bar, int minimum, int maximum,
                            int position);
    // The loop ended with `result` (before the dialog is destroyed).
    void (*DialogEnded)(void* context, HWND dialog, INT_PTR result);
    // The shown dialog's loop has had nothing to do for BRONTAL_PRESENTER_IDLE_MS: a host with a
    // window system of its own runs its pending events here, so that its windows keep painting
    // while the dialog waits for its worker. Null: the loop sleeps until a message comes.
    void (*Idle)(void* context, HWND dialog);
} BRONTAL_PRESENTER;

#define BRONTAL_PRESENTER_IDLE_MS 40

// Installs a copy of `presenter`, replacing the one before; null removes it. Any callback may be
// null. FALSE (ERROR_INVALID_PARAMETER) for a wrong cbSize.
WINBASEAPI BOOL WINAPI BrontalSetPresenter(const BRONTAL_PRESENTER* presenter);

// Posts the key-down and the key-up message of `virtualKey` to the dialog, as a keyboard would:
// they reach its modal loop (and its message-filter hooks) in order after what is queued.
// FALSE (ERROR_INVALID_WINDOW_HANDLE) when `dialog` is no window.
WINBASEAPI BOOL WINAPI BrontalPresenterPressKey(HWND dialog, WPARAM virtualKey);
