#include "Calls.h"

bool CCalls::Step(HRESULT hr) {
    if (Ok()) {
        m_hr = hr;
    }
    return Ok();
}

void CCalls::Call(const DrvMember& method) {
    Then([&] { return m_driver.Call(method); });
}

void CCalls::PutNumber(const DrvMember& property, LONG value) {
    Then([&] { return m_driver.PutNumber(property, value); });
}

void CCalls::PutMoney(const DrvMember& property, LONGLONG value) {
    Then([&] { return m_driver.PutMoney(property, value); });
}

void CCalls::PutText(const DrvMember& property, const QString& value) {
    Then([&] { return m_driver.PutText(property, value); });
}

void CCalls::PutDate(const DrvMember& property, DATE value) {
    Then([&] { return m_driver.PutDate(property, value); });
}

void CCalls::Put(const DrvMember& property, const VARIANT& value) {
    Then([&] { return m_driver.Put(property, value); });
}

LONG CCalls::GetNumber(const DrvMember& property) {
    LONG value = 0;
    Then([&] { return m_driver.GetNumber(property, &value); });
    return value;
}

LONGLONG CCalls::GetMoney(const DrvMember& property) {
    LONGLONG value = 0;
    Then([&] { return m_driver.GetMoney(property, &value); });
    return value;
}

QString CCalls::GetText(const DrvMember& property) {
    QString value;
    Then([&] { return m_driver.GetText(property, &value); });
    return value;
}

DATE CCalls::GetDate(const DrvMember& property) {
    DATE value = 0;
    Then([&] { return m_driver.GetDate(property, &value); });
    return value;
}

void CCalls::Get(const DrvMember& property, VARIANT* value) {
    VariantInit(value);
    Then([&] { return m_driver.Get(property, value); });
}
