// The short-named twins of the control unit methods. Each runs its main member under its own name:
// the same commands, properties and result codes, its own call-flow lines. A twin calls its main
// member, whose frame takes the twin's name. The requests' twins name their request directly
// (RequestMethods.cpp).
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
