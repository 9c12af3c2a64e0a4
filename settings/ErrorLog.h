// The error log of the settings monitor.
//
// Silent by default. When the environment variable BRONTAL_ERRLOG is set to a non-empty value
// other than "0", every message is appended to the named file (the monitor uses "bronterr.log" in
// the current folder) as a stamped line like those of the trace files.
//
// Thread-safety: may be called from any thread.
#pragma once

#include <windows.h>

#include "Trace.h"

extern const char kErrorLogFile[];  // "bronterr.log"

void BrontErrLog(LPCSTR fileName, LPCSTR format, ...) BRONTAL_PRINTF_FORMAT(2, 3);

// A short text for a system error code, for the log's "код: %ld(%#0lx) - %s" lines.
LPCSTR SystemErrorText(LONG code);
