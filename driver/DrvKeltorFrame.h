// The frame every interface member of CDrvKeltor runs in.
//
// CMemberTrace writes the call-flow lines of an accessor: "%s() try..." when it starts and
// "%s() done, res=%d(%#0x)" with its HRESULT (or, for the status getters, the value returned).
//
// CDeviceFrame is the frame of a device method, in this order: "try" line; no command layer gives
// -9401; status refresh (a failure is the result and the method's own steps are skipped); the
// method's steps, each command's result stored into the process-wide result code as it returns;
// a second status refresh, not stored; the HRESULT of the result code; the description text;
// "done" line with the result code; COM error information when the result is negative and the
// description is not empty.
//
// A method family writes its methods as
//
//   STDMETHODIMP CDrvKeltor::PrintXReport() {
//       return RunDeviceMethod(*this, "CDrvKeltor::PrintXReport", [&](CDeviceFrame& frame) {
//           return frame.Store(frame.Layer().PrintXReport());
//       });
//   }
//
// or drives a CDeviceFrame by hand when its refreshes differ (Begin(false), RefreshAfter()
// skipped, Store() called between commands).
#pragma once

#include <windows.h>

#include "DrvKeltor.h"
#include "DrvKeltorResult.h"

// Source of the error information the driver registers.
extern const OLECHAR kDrvKeltorErrorSource[];

class CMemberTrace {
  public:
    explicit CMemberTrace(LPCSTR name);
    // No "try" line: members that write only the "done" line.
    CMemberTrace(LPCSTR name, bool traceStart);
    LPCSTR Name() const { return m_name; }
    // "done" line with the result; returns it.
    HRESULT Done(HRESULT hr) const;
    // "done" line showing `shown` in the place of the result; returns `hr`.
    HRESULT DoneShowing(HRESULT hr, LONG shown) const;

  private:
    LPCSTR m_name;
};

class CDeviceFrame {
  public:
    CDeviceFrame(CDrvKeltor& object, LPCSTR name);
    CDeviceFrame(const CDeviceFrame&) = delete;
    CDeviceFrame& operator=(const CDeviceFrame&) = delete;

    // Without a command layer: result code -9401, false. Then, with `refresh`, the first status
    // refresh: its result is stored; false when it failed. True when the steps may run.
    bool Begin(bool refresh = true);
    // Valid after Begin() said true.
    CBrontal& Layer() const { return *m_object.CommandLayer(); }
    CDrvKeltor& Object() const { return m_object; }
    // Stores `result` as the process-wide result code and returns it.
    int Store(int result);
    // The second status refresh; its result is not stored.
    void RefreshAfter();
    // HRESULT, description, "done" line and error information for the current result code.
    HRESULT End();

  private:
    CDrvKeltor& m_object;
    LPCSTR m_name;
};

// The name a device frame of `object` traces under: `name`, or the twin's own name while a twin
// member runs its main member (TwinMethods.cpp).
LPCSTR FrameNameFor(const CDrvKeltor& object, LPCSTR name);

// Registers COM error information for IDrvKeltor with `description` (ANSI) as its text.
void RegisterDrvKeltorError(LPCSTR description);

// The frame of a method: Begin(refreshFirst), the steps (a callable taking the frame and
// returning the method's result, which is stored), RefreshAfter() and End().
template <class Steps>
HRESULT RunDeviceFrame(CDrvKeltor& object, LPCSTR name, bool refreshFirst, Steps&& steps) {
    CDeviceFrame frame(object, name);
    if (frame.Begin(refreshFirst)) {
        frame.Store(steps(frame));
        frame.RefreshAfter();
    }
    return frame.End();
}

// The usual method: a status refresh before its steps and one after them.
template <class Steps>
HRESULT RunDeviceMethod(CDrvKeltor& object, LPCSTR name, Steps&& steps) {
    return RunDeviceFrame(object, name, true, steps);
}

// A method that refreshes only after its steps: a lost link then shows as the command's own
// error, and the closing refresh still brings the State... properties up to date.
template <class Steps>
HRESULT RunDeviceMethodRefreshingAfter(CDrvKeltor& object, LPCSTR name, Steps&& steps) {
    return RunDeviceFrame(object, name, false, steps);
}
