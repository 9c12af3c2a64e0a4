// Automation dates and per-thread error information.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "TestSupport.h"

namespace {

using testsupport::SystemTime;

std::string Describe(double date) {
    SYSTEMTIME st;
    if (!VariantTimeToSystemTime(date, &st)) {
        return "invalid";
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u w%u ms%u", st.wYear, st.wMonth,
                  st.wDay, st.wHour, st.wMinute, st.wSecond, st.wDayOfWeek, st.wMilliseconds);
    return text;
}

double ToDate(SYSTEMTIME st) {
    double date = -99999999.0;
    EXPECT_TRUE(SystemTimeToVariantTime(&st, &date));
    return date;
}

TEST(OleDate, DayZeroAndDaysBeforeIt) {
    EXPECT_EQ(Describe(0.0), "1899-12-30 00:00:00 w6 ms0");  // a Saturday
    EXPECT_EQ(Describe(-1.25), "1899-12-29 06:00:00 w5 ms0");
    EXPECT_EQ(Describe(-0.5), "1899-12-30 12:00:00 w6 ms0");
    EXPECT_EQ(Describe(1.75), "1899-12-31 18:00:00 w0 ms0");
    EXPECT_EQ(ToDate(SystemTime(1899, 12, 29, 6)), -1.25);
    EXPECT_EQ(ToDate(SystemTime(1899, 12, 29)), -1.0);
    EXPECT_EQ(ToDate(SystemTime(1899, 12, 28, 18)), -2.75);
    EXPECT_EQ(ToDate(SystemTime(1899, 12, 30, 12)), 0.5);
}

TEST(OleDate, ModernDateBothWays) {
    const double expected = 46363.0 + 6727.0 / 86400.0;
    EXPECT_NEAR(ToDate(SystemTime(2026, 12, 7, 1, 52, 7)), expected, 1e-10);
    EXPECT_EQ(Describe(expected), "2026-12-07 01:52:07 w1 ms0");  // a Monday
    EXPECT_EQ(ToDate(SystemTime(2000, 1, 1)), 36526.0);
    EXPECT_EQ(ToDate(SystemTime(1970, 1, 1)), 25569.0);
    // Milliseconds do not count on the way in.
    SYSTEMTIME st = SystemTime(2026, 12, 7, 1, 52, 7);
    st.wMilliseconds = 999;
    EXPECT_NEAR(ToDate(st), expected, 1e-10);
}

TEST(OleDate, TimesRoundToTheNearestSecond) {
    EXPECT_EQ(Describe(0.5 + 0.4 / 86400), "1899-12-30 12:00:00 w6 ms0");
    EXPECT_EQ(Describe(0.5 + 0.6 / 86400), "1899-12-30 12:00:01 w6 ms0");
    EXPECT_EQ(Describe(1.0 - 0.3 / 86400), "1899-12-31 00:00:00 w0 ms0");
    EXPECT_EQ(Describe(-1.0 - (86400 - 0.3) / 86400), "1899-12-30 00:00:00 w6 ms0");
    EXPECT_EQ(Describe(46363.0 + 6726.7 / 86400.0), "2026-12-07 01:52:07 w1 ms0");
}

TEST(OleDate, RangeAndInvalidFields) {
    EXPECT_EQ(ToDate(SystemTime(100, 1, 1)), -657434.0);
    EXPECT_EQ(Describe(-657434.0), "0100-01-01 00:00:00 w5 ms0");
    EXPECT_EQ(Describe(2958465.0 + 86399.0 / 86400), "9999-12-31 23:59:59 w5 ms0");
    EXPECT_EQ(Describe(2958466.0), "invalid");
    EXPECT_EQ(Describe(2958465.0 + 86399.9 / 86400), "invalid");  // rounds into year 10000
    EXPECT_EQ(Describe(-657435.0), "invalid");
    EXPECT_EQ(Describe(std::nan("")), "invalid");
    EXPECT_EQ(ToDate(SystemTime(2024, 2, 29)), 45351.0);
    EXPECT_EQ(ToDate(SystemTime(2000, 2, 29)), 36585.0);
    double date = 0;
    for (SYSTEMTIME bad :
         {SystemTime(99, 12, 31), SystemTime(10000, 1, 1), SystemTime(2023, 2, 29),
          SystemTime(1900, 2, 29), SystemTime(2026, 13, 1), SystemTime(2026, 0, 1),
          SystemTime(2026, 4, 31), SystemTime(2026, 1, 0), SystemTime(2026, 1, 1, 24),
          SystemTime(2026, 1, 1, 0, 60), SystemTime(2026, 1, 1, 0, 0, 60)}) {
        EXPECT_FALSE(SystemTimeToVariantTime(&bad, &date)) << bad.wYear << "-" << bad.wMonth;
    }
    EXPECT_FALSE(VariantTimeToSystemTime(0.0, nullptr));
}

TEST(OleDate, RoundTripsAcrossTheWholeRange) {
    for (long long day = -657434; day <= 2958465; day += 997) {
        const double time = static_cast<double>((day * 7919) % 86400) / 86400.0;
        const double date = day >= 0 ? day + time : day - time;
        SYSTEMTIME st;
        ASSERT_TRUE(VariantTimeToSystemTime(date, &st)) << day;
        double back = 0;
        ASSERT_TRUE(SystemTimeToVariantTime(&st, &back)) << day;
        EXPECT_NEAR(back, date, 1e-6) << day;
    }
}

// ---- error information ----

IErrorInfo* MakeRecord(const OLECHAR* description) {
    ICreateErrorInfo* create = nullptr;
    EXPECT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetDescription(const_cast<LPOLESTR>(description));
    create->SetSource(const_cast<LPOLESTR>(OLESTR("BrontalOcx.DrvKeltor")));
    create->SetGUID(IID_IDispatch);
    create->SetHelpContext(7);
    IErrorInfo* info = nullptr;
    EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    create->Release();
    return info;
}

std::u16string Description(IErrorInfo* info) {
    BSTR text = nullptr;
    EXPECT_EQ(info->GetDescription(&text), S_OK);
    std::u16string result(text, SysStringLen(text));
    SysFreeString(text);
    return result;
}

// A record that counts its references, to see who holds it.
class CountedRecord final : public IErrorInfo {
  public:
    ULONG references = 1;
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP GetGUID(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSource(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDescription(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetHelpFile(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetHelpContext(DWORD*) override { return E_NOTIMPL; }
};

TEST(OleErrorInfo, GetHandsTheRecordOverOnce) {
    IErrorInfo* none = reinterpret_cast<IErrorInfo*>(1);
    EXPECT_EQ(GetErrorInfo(0, &none), S_FALSE);
    EXPECT_EQ(none, nullptr);

    IErrorInfo* info = MakeRecord(OLESTR("Нет связи с ФР"));
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    info->Release();
    IErrorInfo* got = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
    ASSERT_EQ(got, info);
    EXPECT_EQ(Description(got), u"Нет связи с ФР");
    BSTR source = nullptr;
    ASSERT_EQ(got->GetSource(&source), S_OK);
    EXPECT_EQ(std::u16string(source, SysStringLen(source)), u"BrontalOcx.DrvKeltor");
    SysFreeString(source);
    GUID guid = GUID_NULL;
    ASSERT_EQ(got->GetGUID(&guid), S_OK);
    EXPECT_TRUE(guid == IID_IDispatch);
    DWORD context = 0;
    ASSERT_EQ(got->GetHelpContext(&context), S_OK);
    EXPECT_EQ(context, 7u);
    void* other = nullptr;
    EXPECT_EQ(got->QueryInterface(IID_ICreateErrorInfo, &other), S_OK);
    static_cast<IUnknown*>(other)->Release();
    EXPECT_EQ(got->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    got->Release();
    EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
}

TEST(OleErrorInfo, SettingAgainOrClearingReleasesTheOldRecord) {
    CountedRecord first;
    CountedRecord second;
    ASSERT_EQ(SetErrorInfo(0, &first), S_OK);
    EXPECT_EQ(first.references, 2u);
    ASSERT_EQ(SetErrorInfo(0, &second), S_OK);
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(second.references, 2u);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(second.references, 1u);
    IErrorInfo* got = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
}

TEST(OleErrorInfo, RecordsBelongToTheirThread) {
    IErrorInfo* mine = MakeRecord(OLESTR("main"));
    ASSERT_EQ(SetErrorInfo(0, mine), S_OK);
    mine->Release();
    CountedRecord left;
    HRESULT seenByOther = S_OK;
    std::u16string otherOwn;
    std::thread other([&] {
        IErrorInfo* got = nullptr;
        seenByOther = GetErrorInfo(0, &got);
        IErrorInfo* own = MakeRecord(OLESTR("worker"));
        SetErrorInfo(0, own);
        own->Release();
        if (GetErrorInfo(0, &got) == S_OK) {
            otherOwn = Description(got);
            got->Release();
        }
        // Left behind when the thread ends: the thread's end releases it.
        SetErrorInfo(0, &left);
    });
    other.join();
    EXPECT_EQ(seenByOther, S_FALSE);
    EXPECT_EQ(otherOwn, u"worker");
    EXPECT_EQ(left.references, 1u);
    IErrorInfo* got = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
    EXPECT_EQ(Description(got), u"main");
    got->Release();
}

}  // namespace
