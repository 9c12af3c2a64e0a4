// CDrvKeltor: the utility's one way into the driver. Every page calls the driver's members
// through it by DISPID; in deferred mode the calls are recorded instead (CMethodData) and played
// back later in the order they were made.
//
// Thread-safety: the GUI thread only.
#pragma once

#include <windows.h>

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "DrvMembers.h"

// One recorded call; it owns its copy of the parameter.
struct CMethodData {
    DISPID dispid = DISPID_UNKNOWN;
    WORD kind = DISPATCH_METHOD;  // DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT
    VARTYPE returnType = VT_EMPTY;
    VARTYPE parameterType = VT_EMPTY;  // VT_EMPTY: no parameter
    VARIANT parameter;
    VARIANT result;

    CMethodData();
    ~CMethodData();
    CMethodData(const CMethodData&) = delete;
    CMethodData& operator=(const CMethodData&) = delete;
};

class CDrvKeltor {
  public:
    // Holds a reference to `dispatch`; immediate mode, nothing recorded.
    explicit CDrvKeltor(IDispatch* dispatch);
    ~CDrvKeltor();
    CDrvKeltor(const CDrvKeltor&) = delete;
    CDrvKeltor& operator=(const CDrvKeltor&) = delete;

    IDispatch* Dispatch() const { return m_dispatch; }

    // One call of the driver: `kind` a DISPATCH_ flag; the result, when `result` is given,
    // coerced to `returnType`. Deferred: recorded (calls with more than one parameter are
    // dropped), `result` set to the zero of its type, S_OK.
    HRESULT Invoke(DISPID dispid, WORD kind, VARTYPE returnType, VARIANT* result,
                   const VARTYPE* parameterTypes, const VARIANT* parameters, UINT count);

    // Typed calls of one member.
    HRESULT Call(const DrvMember& method);
    HRESULT Get(const DrvMember& property, VARIANT* value);  // in the member's own type
    HRESULT Put(const DrvMember& property, const VARIANT& value);
    HRESULT GetNumber(const DrvMember& property, LONG* value);
    HRESULT GetMoney(const DrvMember& property, LONGLONG* value);  // CY: times 10000
    HRESULT GetText(const DrvMember& property, QString* value);
    HRESULT GetDate(const DrvMember& property, DATE* value);
    HRESULT PutNumber(const DrvMember& property, LONG value);
    HRESULT PutMoney(const DrvMember& property, LONGLONG value);
    HRESULT PutText(const DrvMember& property, const QString& value);
    HRESULT PutDate(const DrvMember& property, DATE value);
    // Read at once whatever the mode: what the pages show after a failure.
    SHORT ResultCode();
    QString ResultCodeDescription();

    bool Deferred() const { return m_deferred; }
    // Switching off plays the recorded calls back (Flush) and gives its result.
    HRESULT SetDeferred(bool deferred);
    // Makes the recorded calls in order and frees them all; the first failing one ends it.
    HRESULT Flush();
    size_t RecordedCount() const { return m_recorded.size(); }
    const CMethodData& Recorded(size_t index) const { return *m_recorded[index]; }

    // True while a call into the driver runs (a progress dialog may run events meanwhile).
    bool Busy() const { return m_depth > 0; }
    // Counts a call made past the wrapper (by another client of the same object) as one of its
    // own for Busy and SetAfterCall.
    class CCallScope {
      public:
        explicit CCallScope(CDrvKeltor& driver) : m_driver(driver) { ++m_driver.m_depth; }
        ~CCallScope() {
            if (--m_driver.m_depth == 0 && m_driver.m_afterCall) {
                m_driver.m_afterCall();
            }
        }
        CCallScope(const CCallScope&) = delete;
        CCallScope& operator=(const CCallScope&) = delete;

      private:
        CDrvKeltor& m_driver;
    };
    // Called when the outermost call has returned.
    void SetAfterCall(std::function<void()> afterCall) { m_afterCall = std::move(afterCall); }

  private:
    HRESULT Record(DISPID dispid, WORD kind, VARTYPE returnType, VARIANT* result,
                   const VARTYPE* parameterTypes, const VARIANT* parameters, UINT count);
    HRESULT CallDriver(DISPID dispid, WORD kind, VARTYPE returnType, VARIANT* result,
                       const VARIANT* parameters, UINT count);

    IDispatch* m_dispatch;
    bool m_deferred = false;
    std::vector<std::unique_ptr<CMethodData>> m_recorded;
    int m_depth = 0;
    std::function<void()> m_afterCall;
};
