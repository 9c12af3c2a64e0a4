// A page action's calls into the driver, one after the other: after the first failure the rest
// are skipped, and the failure is what the action reports.
#pragma once

#include <QString>

#include "DrvKeltor.h"

class CCalls {
  public:
    explicit CCalls(CDrvKeltor& driver) : m_driver(driver) {}

    bool Ok() const { return SUCCEEDED(m_hr); }
    HRESULT Result() const { return m_hr; }
    CDrvKeltor& Driver() { return m_driver; }
    // The action is refused before anything is sent, after its own message: nothing more is
    // called and no driver failure is shown.
    void Refuse() {
        m_hr = E_ABORT;
        m_refused = true;
    }
    bool Refused() const { return m_refused; }
    // Takes the result of a step made outside (a playback, an array call); the first failure
    // sticks.
    bool Step(HRESULT hr);

    void Call(const DrvMember& method);
    void PutNumber(const DrvMember& property, LONG value);
    void PutMoney(const DrvMember& property, LONGLONG value);
    void PutText(const DrvMember& property, const QString& value);
    void PutDate(const DrvMember& property, DATE value);
    void Put(const DrvMember& property, const VARIANT& value);
    LONG GetNumber(const DrvMember& property);
    LONGLONG GetMoney(const DrvMember& property);
    QString GetText(const DrvMember& property);
    DATE GetDate(const DrvMember& property);
    // `value` is initialised first and the caller's afterwards.
    void Get(const DrvMember& property, VARIANT* value);

  private:
    template <class Action>
    void Then(Action&& action) {
        if (Ok()) {
            m_hr = action();
        }
    }

    CDrvKeltor& m_driver;
    HRESULT m_hr = S_OK;
    bool m_refused = false;
};
