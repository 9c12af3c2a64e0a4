// Status methods that need nothing beyond the frame: RefreshStatus and Disconnect.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"

STDMETHODIMP CDrvKeltor::RefreshStatus() {
    CDeviceFrame frame(*this, "CDrvKeltor::RefreshStatus");
    // Always a fresh "gs": the words of an earlier reply are not what the caller asks for.
    if (frame.Begin(false)) {
        WORD status = 0;
        WORD blocking = 0;
        if (frame.Store(frame.Layer().GetStatus(&status, &blocking)) == 0) {
            m_statusWord = status;
            m_blockingWord = blocking;
        }
    }
    return frame.End();
}

STDMETHODIMP CDrvKeltor::Disconnect() {
    CDeviceFrame frame(*this, "CDrvKeltor::Disconnect");
    if (frame.Begin(false)) {
        frame.Store(frame.Layer().Detach());
    }
    return frame.End();
}
