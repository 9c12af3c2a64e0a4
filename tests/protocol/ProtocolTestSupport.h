// Settings that the command layer tests put into their own registry.
#pragma once

#include <windows.h>

namespace prottest {

// Writes "CmdRetryCount" into the test's registry and loads the settings record from it.
bool UseRetryCount(DWORD attempts);

}  // namespace prottest
