// The short-named twins of the control unit methods and the requests. Each runs its main member
// under its own name: the same commands, properties and result codes, its own call-flow lines.
// A request twin names its request directly; a control unit twin calls its main member, whose
// frame takes the twin's name.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"

namespace {

// The twin whose main member runs now on this thread. An object's calls all arrive on the thread
// of its apartment, so a thread-local record cannot reach another caller.
struct TwinCall {
    const CDrvKeltor* object;
    LPCSTR name;
};
thread_local TwinCall t_twinCall = {nullptr, nullptr};

using MainMember = decltype(&CDrvKeltor::ReadTaxAuthoritiesControlUnitStatus);

HRESULT RunTwin(CDrvKeltor& object, LPCSTR name, MainMember main) {
    const TwinCall outer = t_twinCall;
    t_twinCall = {&object, name};
    const HRESULT hr = (object.*main)();
    // A main member that opened no frame must not leave the name to the next one.
    t_twinCall = outer;
    return hr;
}

}  // namespace

LPCSTR FrameNameFor(const CDrvKeltor& object, LPCSTR name) {
    if (t_twinCall.object != &object || !t_twinCall.name) {
        return name;
    }
    // Only the main member's own frame takes the twin's name.
    const LPCSTR twin = t_twinCall.name;
    t_twinCall = {nullptr, nullptr};
    return twin;
}

// ---- control unit ----

STDMETHODIMP CDrvKeltor::CmdTaxAuthControlUnitGetTime2() {
    return RunTwin(*this, "CDrvKeltor::CmdTaxAuthControlUnitGetTime2",
                   &CDrvKeltor::CommandTaxAuthoritiesControlUnitGetTime);
}

STDMETHODIMP CDrvKeltor::CmdTaxAuthControlUnitGetUID2() {
    return RunTwin(*this, "CDrvKeltor::CmdTaxAuthControlUnitGetUID2",
                   &CDrvKeltor::CommandTaxAuthoritiesControlUnitGetUID);
}

STDMETHODIMP CDrvKeltor::PrnTaxAuthControlUnitReport2() {
    return RunTwin(*this, "CDrvKeltor::PrnTaxAuthControlUnitReport2",
                   &CDrvKeltor::PrintTaxAuthoritiesControlUnitReport);
}

STDMETHODIMP CDrvKeltor::ReadTaxAuthControlUnitStatus2() {
    return RunTwin(*this, "CDrvKeltor::ReadTaxAuthControlUnitStatus2",
                   &CDrvKeltor::ReadTaxAuthoritiesControlUnitStatus);
}

STDMETHODIMP CDrvKeltor::ReadTaxAuthControlUnitUID2() {
    return RunTwin(*this, "CDrvKeltor::ReadTaxAuthControlUnitUID2",
                   &CDrvKeltor::ReadTaxAuthoritiesControlUnitUID);
}

STDMETHODIMP CDrvKeltor::ReplaceTaxAuthControlUnit2() {
    return RunTwin(*this, "CDrvKeltor::ReplaceTaxAuthControlUnit2",
                   &CDrvKeltor::ReplaceTaxAuthoritiesControlUnit);
}

STDMETHODIMP CDrvKeltor::UnlockTaxAuthControlUnit2() {
    return RunTwin(*this, "CDrvKeltor::UnlockTaxAuthControlUnit2",
                   &CDrvKeltor::UnlockTaxAuthoritiesControlUnit);
}

// ---- requests: the request itself, under the twin's name ----

#define DRV_REQUEST_TWIN(twin, request)                                    \
    STDMETHODIMP CDrvKeltor::twin() {                                      \
        return RunInfoRequest("CDrvKeltor::" #twin, InfoRequest::request); \
    }

DRV_REQUEST_TWIN(ReqOperNoncashPaymentsByFacil2, CashierNoncashPaymentsByFacility)
DRV_REQUEST_TWIN(ReqSessAccumulatedTotals2, SessionAccumulatedTotals)
DRV_REQUEST_TWIN(ReqSessCashSalesRefsByCurr2, SessionCashSalesRefundsByCurrency)
DRV_REQUEST_TWIN(ReqSessDiscountsSurcharges2, SessionDiscountsSurcharges)
DRV_REQUEST_TWIN(ReqSessElectronicJournalInfo2, SessionElectronicJournalInfo)
DRV_REQUEST_TWIN(ReqSessNoncashSalsRefsByFacil2, SessionNoncashSalesRefundsByFacility)
DRV_REQUEST_TWIN(ReqSessRefundsByDepartment2, SessionRefundsByDepartment)
DRV_REQUEST_TWIN(ReqSessSalesByDepartment2, SessionSalesByDepartment)
DRV_REQUEST_TWIN(ReqRcptCashPaymentsByCurrency2, ReceiptCashPaymentsByCurrency)
DRV_REQUEST_TWIN(ReqRcptCollectedAmountsByCurr2, ReceiptCollectedAmountsByCurrency)
DRV_REQUEST_TWIN(ReqRcptDiscountsSurcharges2, ReceiptDiscountsSurcharges)
DRV_REQUEST_TWIN(ReqRcptNoncashPaymentsByFacil2, ReceiptNoncashPaymentsByFacility)
DRV_REQUEST_TWIN(ReqtRcptRefundsByDepartment2, ReceiptRefundsByDepartment)
DRV_REQUEST_TWIN(ReqtRcptSalesByDepartment2, ReceiptSalesByDepartment)

#undef DRV_REQUEST_TWIN
