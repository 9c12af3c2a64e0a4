// The terminal presenter of console programs on Windows.
//
// On Windows the driver's modal dialogs are real windows; a console program may also show each
// of them as one line of text, as it does on Linux. This header is an extension of our
// platform, not a Windows API; of the Linux header it offers the terminal presenter only.
//
// Thread-safety: it watches the dialogs of the thread that installed it (a message hook of that
// thread), which is the thread that calls the driver.
#pragma once

#include <windows.h>

// Every modal dialog of the calling thread is one line on the C run-time's file descriptor `fd`
// (2 for standard error), "caption [#####.....] 50%", redrawn in place with '\r' as it changes
// and ended with a line feed when the dialog goes. A console gets the text as Unicode; a file or
// pipe gets UTF-8. FALSE (ERROR_INVALID_HANDLE) for a descriptor that is not open; FALSE with
// the hook's error when the thread cannot be watched. Installing again only changes `fd`.
BOOL WINAPI BrontalInstallTerminalPresenter(int fd);
