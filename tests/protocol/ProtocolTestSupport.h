// Settings that the command layer tests put into their own registry.
#pragma once

#include <windows.h>

namespace prottest {

// Writes "CmdRetryCount" into the test's registry and loads the settings record from it.
bool UseRetryCount(DWORD attempts);

// A date and time as the clock and report commands take them; the other fields are zero.
SYSTEMTIME LocalTime(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0,
                     WORD second = 0);

}  // namespace prottest
