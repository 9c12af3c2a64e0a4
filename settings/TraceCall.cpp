// The call-flow trace of the driver's interface members and internal routines.
#include <atomic>

#include "Trace.h"
#include "TraceFile.h"

const char kCallFlowTraceFile[] = "callflow.txt";

namespace {
std::atomic<DWORD> g_callFlowMask{0};
}  // namespace

void SetCallFlowTraceMask(DWORD mask) {
    g_callFlowMask = mask;
}

DWORD CallFlowTraceMask() {
    return g_callFlowMask;
}

void TraceCall(LPCSTR fileName, LPCSTR format, ...) {
    if ((g_callFlowMask & kCallFlowTraceBit) == 0) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    AppendFormattedLine(fileName, true, false, format, arguments);
    va_end(arguments);
}

void TraceCallHelper(LPCSTR fileName, LPCSTR format, ...) {
    if ((g_callFlowMask & kCallFlowTraceBit) == 0) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    AppendFormattedLine(fileName, true, true, format, arguments);
    va_end(arguments);
}
