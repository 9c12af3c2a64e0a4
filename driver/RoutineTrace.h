// The call-flow lines of the driver's internal routines (the status and receipt routines, the
// port scan, the background work and the progress dialog's handlers): "%s() try..." when one
// starts and "%s() done, res=%d(%#0x)" with the value it ends with, through the internal-routine
// trace writer. Interface members trace through CMemberTrace and CDeviceFrame instead.
#pragma once

#include <windows.h>

#include "Trace.h"

class CRoutineTrace {
  public:
    explicit CRoutineTrace(LPCSTR name) : m_name(name) {
        TraceCallHelper(kCallFlowTraceFile, "%s() try...", m_name);
    }
    CRoutineTrace(const CRoutineTrace&) = delete;
    CRoutineTrace& operator=(const CRoutineTrace&) = delete;

    // The "done" line with `result`; returns it.
    int Done(int result) const {
        TraceCallHelper(kCallFlowTraceFile, "%s() done, res=%d(%#0x)", m_name, result,
                        static_cast<unsigned>(result));
        return result;
    }

  private:
    LPCSTR m_name;
};
