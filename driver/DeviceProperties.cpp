// Properties that read or write the printer: the cashier and the clock.
#include <cstdio>

#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorText.h"

namespace {

// The cashier name "wg" returns: at most 32 bytes.
constexpr DWORD kCashierCapacity = 33;
constexpr DWORD kClockTextCapacity = 16;
// "YYYYMMDDhhmmss".
constexpr size_t kClockDigits = 14;

// The calendar fields the clock is set from, cut to the widths the printer's texts have. A field
// that cannot be had stays out of range, so that the command layer refuses it before sending.
SYSTEMTIME ClockFields(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME fields = {};
    fields.wYear = static_cast<WORD>(year % 10000);
    fields.wMonth = static_cast<WORD>(month % 100);
    fields.wDay = static_cast<WORD>(day % 100);
    fields.wHour = static_cast<WORD>(hour % 100);
    fields.wMinute = static_cast<WORD>(minute % 100);
    fields.wSecond = static_cast<WORD>(second % 100);
    return fields;
}

SYSTEMTIME Now() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return ClockFields(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

// What people put between the parts of a date and a time, and what is dropped before counting.
bool IsClockSeparator(char c) {
    return c == '\r' || c == '\n' || c == '\t' || c == ' ' || c == '\\' || c == '/' || c == '.';
}

// The decimal number of `count` characters; reading stops at the first non-digit.
int DecimalOf(const AnsiText& text, size_t first, size_t count) {
    int value = 0;
    for (size_t i = first; i < first + count && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The printer's clock as "gt" states it: the date as 8 digits, the time as 6.
struct ClockTexts {
    char date[kClockTextCapacity];
    char time[kClockTextCapacity];
};

int ReadClockTexts(CDeviceFrame& frame, ClockTexts* clock) {
    *clock = {};
    return frame.Store(
        frame.Layer().ReadClock(clock->date, sizeof clock->date, clock->time, sizeof clock->time));
}

// "st" with the fields, then the status of its reply; only the setting's result is stored.
void SetClock(CDeviceFrame& frame, const SYSTEMTIME& fields) {
    frame.Store(frame.Layer().SetDateTime(&fields));
    frame.RefreshAfter();
}

}  // namespace

// ---- CashierLogin ----

STDMETHODIMP CDrvKeltor::get_CashierLogin(BSTR* pVal) {
    const char name[] = "CDrvKeltor::get_CashierLogin";
    if (!pVal) {
        const CMemberTrace trace(name);
        return trace.Done(E_POINTER);
    }
    *pVal = nullptr;
    CDeviceFrame frame(*this, name);
    if (frame.Begin()) {
        m_cashierLogin.clear();
        char cashier[kCashierCapacity] = {};
        if (frame.Store(frame.Layer().ReadCashier(cashier, sizeof cashier)) == 0) {
            m_cashierLogin = cashier;
        }
        frame.RefreshAfter();
    }
    const HRESULT hr = frame.End();
    // A failing call hands out nothing: the caller frees no [out] text of a failure.
    return FAILED(hr) ? hr : BstrFromAnsi(m_cashierLogin, pVal);
}

STDMETHODIMP CDrvKeltor::put_CashierLogin(BSTR newVal) {
    CDeviceFrame frame(*this, "CDrvKeltor::put_CashierLogin");
    HRESULT kept = S_OK;
    if (frame.Begin()) {
        kept = AnsiFromBstr(newVal, m_cashierLogin);
        // With the day closed the receipt methods log the cashier in when they open it.
        if (SUCCEEDED(kept) && !m_cashierLogin.empty() && (m_statusWord & kStatusDayOpen)) {
            frame.Store(frame.Layer().CashierLogin(m_cashierLogin.c_str()));
        }
        frame.RefreshAfter();
    }
    const HRESULT hr = frame.End();
    return FAILED(kept) ? kept : hr;
}

// ---- DateTime ----

STDMETHODIMP CDrvKeltor::get_DateTime(DATE* pVal) {
    const char name[] = "CDrvKeltor::get_DateTime";
    if (!pVal) {
        const CMemberTrace trace(name);
        return trace.Done(E_POINTER);
    }
    *pVal = 0;
    CDeviceFrame frame(*this, name);
    if (frame.Begin(false)) {
        ClockTexts clock;
        if (ReadClockTexts(frame, &clock) == 0 &&
            !DateOfPrinterClock(clock.date, clock.time, false, pVal)) {
            // A clock the printer cannot state is no date of 1899.
            *pVal = 0;
            frame.Store(kBrontalBadReply);
        }
        frame.RefreshAfter();
    }
    return frame.End();
}

STDMETHODIMP CDrvKeltor::put_DateTime(DATE newVal) {
    CDeviceFrame frame(*this, "CDrvKeltor::put_DateTime");
    if (frame.Begin(false)) {
        SYSTEMTIME fields = {};  // a value that is no moment: month 0, refused before sending
        if (newVal == 0) {
            fields = Now();
        } else {
            SYSTEMTIME moment = {};
            if (VariantTimeToSystemTime(newVal, &moment)) {
                fields = ClockFields(moment.wYear, moment.wMonth, moment.wDay, moment.wHour,
                                     moment.wMinute, moment.wSecond);
            }
        }
        SetClock(frame, fields);
    }
    return frame.End();
}

// ---- DateTimeYYYYMMDDhhmmss ----

STDMETHODIMP CDrvKeltor::get_DateTimeYYYYMMDDhhmmss(BSTR* pVal) {
    const char name[] = "CDrvKeltor::get_DateTimeYYYYMMDDhhmmss";
    if (!pVal) {
        const CMemberTrace trace(name);
        return trace.Done(E_POINTER);
    }
    *pVal = nullptr;
    AnsiText clock;
    CDeviceFrame frame(*this, name);
    if (frame.Begin(false)) {
        ClockTexts texts;
        if (ReadClockTexts(frame, &texts) == 0) {
            clock = AnsiText(texts.date) + texts.time;
        }
        frame.RefreshAfter();
    }
    const HRESULT hr = frame.End();
    // A failing call hands out nothing: the caller frees no [out] text of a failure.
    return FAILED(hr) ? hr : BstrFromAnsi(clock, pVal);
}

STDMETHODIMP CDrvKeltor::put_DateTimeYYYYMMDDhhmmss(BSTR newVal) {
    CDeviceFrame frame(*this, "CDrvKeltor::put_DateTimeYYYYMMDDhhmmss");
    AnsiText text;
    const HRESULT converted = AnsiFromBstr(newVal, text);
    if (frame.Begin(false) && SUCCEEDED(converted)) {
        AnsiText digits;
        for (char c : text) {
            if (!IsClockSeparator(c)) {
                digits += c;
            }
        }
        // Any other shape stands for "now", the way the product has always read it.
        const SYSTEMTIME fields =
            digits.size() == kClockDigits
                ? ClockFields(DecimalOf(digits, 0, 4), DecimalOf(digits, 4, 2),
                              DecimalOf(digits, 6, 2), DecimalOf(digits, 8, 2),
                              DecimalOf(digits, 10, 2), DecimalOf(digits, 12, 2))
                : Now();
        SetClock(frame, fields);
    }
    const HRESULT hr = frame.End();
    return FAILED(converted) ? converted : hr;
}
