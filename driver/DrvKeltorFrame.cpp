// The operation frame, the status refresh and the description text.
#include "DrvKeltorFrame.h"

#include "DrvKeltorText.h"
#include "Trace.h"

const OLECHAR kDrvKeltorErrorSource[] = OLESTR("BrontalOcx.DrvKeltor");

namespace {

const char kTryFormat[] = "%s() try...";
const char kDoneFormat[] = "%s() done, res=%d(%#0x)";
const char kRefreshName[] = "CDrvKeltor::RefreshPrinterStatus";
const char kBlockedSuffix[] = ". ФР заблокирован";

constexpr DWORD kDescriptionCapacity = 256;

}  // namespace

// ---- call-flow lines ----

CMemberTrace::CMemberTrace(LPCSTR name) : CMemberTrace(name, true) {}

CMemberTrace::CMemberTrace(LPCSTR name, bool traceStart) : m_name(name) {
    if (traceStart) {
        TraceCall(kCallFlowTraceFile, kTryFormat, m_name);
    }
}

HRESULT CMemberTrace::Done(HRESULT hr) const {
    TraceCall(kCallFlowTraceFile, kDoneFormat, m_name, static_cast<int>(hr),
              static_cast<unsigned>(hr));
    return hr;
}

HRESULT CMemberTrace::DoneShowing(HRESULT hr, LONG shown) const {
    TraceCall(kCallFlowTraceFile, kDoneFormat, m_name, static_cast<int>(shown),
              static_cast<unsigned>(shown));
    return hr;
}

// ---- status refresh ----

int CDrvKeltor::ReadStatusWords() {
    if (!m_brontal) {
        return kDriverInitFailed;
    }
    if (m_brontal->IsLinked()) {
        WORD blocking = 0;
        m_statusWord = m_brontal->GetStatusWords(&blocking);
        m_blockingWord = blocking;
        return 0;
    }
    WORD status = 0;
    WORD blocking = 0;
    const int result = m_brontal->GetStatus(&status, &blocking);
    if (result == 0) {
        m_statusWord = status;
        m_blockingWord = blocking;
    }
    return result;
}

int CDrvKeltor::RefreshPrinterStatus() {
    TraceCallHelper(kCallFlowTraceFile, kTryFormat, kRefreshName);
    const int result = ReadStatusWords();
    TraceCallHelper(kCallFlowTraceFile, kDoneFormat, kRefreshName, result,
                    static_cast<unsigned>(result));
    return result;
}

// ---- description ----

void CDrvKeltor::RebuildDescription(int code) {
    m_description.clear();
    if (IsDriverObjectCode(code)) {
        if (LPCSTR text = DriverResultText(code)) {
            m_description = text;
        }
        return;
    }
    char text[kDescriptionCapacity] = {};
    if (static_cast<int>(ResultCodeTextOf(code, text, sizeof text)) <= 0) {
        return;
    }
    m_description = text;
    // The text says whether the printer is blocked now, so the words are read once more.
    ReadStatusWords();
    if (m_statusWord & kStatusBlocked) {
        m_description += kBlockedSuffix;
    }
}

// ---- error information ----

void RegisterDrvKeltorError(LPCSTR description) {
    BSTR text = nullptr;
    if (FAILED(BstrFromAnsi(description, &text))) {
        return;
    }
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(IID_IDrvKeltor);
        create->SetSource(const_cast<LPOLESTR>(kDrvKeltorErrorSource));
        create->SetDescription(text);
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    SysFreeString(text);
}

// ---- device frame ----

CDeviceFrame::CDeviceFrame(CDrvKeltor& object, LPCSTR name)
    : m_object(object), m_name(FrameNameFor(object, name)) {
    TraceCall(kCallFlowTraceFile, kTryFormat, m_name);
}

bool CDeviceFrame::Begin(bool refresh) {
    if (!m_object.CommandLayer()) {
        Store(kDriverInitFailed);
        return false;
    }
    if (!refresh) {
        return true;
    }
    return Store(m_object.RefreshPrinterStatus()) == 0;
}

int CDeviceFrame::Store(int result) {
    SetDriverResultCode(result);
    return result;
}

void CDeviceFrame::RefreshAfter() {
    m_object.RefreshPrinterStatus();
}

HRESULT CDeviceFrame::End() {
    const int code = DriverResultCode();
    const HRESULT hr = HResultFromResultCode(code);
    m_object.RebuildDescription(code);
    TraceCall(kCallFlowTraceFile, kDoneFormat, m_name, code, static_cast<unsigned>(code));
    if (code < 0 && !m_object.Description().empty()) {
        RegisterDrvKeltorError(m_object.Description().c_str());
    }
    return hr;
}
