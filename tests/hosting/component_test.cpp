// The driver component as a client sees it: created by ProgID, called through IDispatch::Invoke
// by DISPID, and through the vtable of IDrvKeltor.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "ComponentClient.h"
#include "IDrvKeltor.h"
#include "OuterObject.h"
#include "TestSupport.h"

using namespace client;

namespace {

const HRESULT kNoPortHResult = static_cast<HRESULT>(0x8004232B);  // -9003

std::u16string Repeat(char16_t c, size_t n) {
    return std::u16string(n, c);
}

SAFEARRAY* TextVector(LONG lowerBound, std::initializer_list<const char16_t*> items) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, lowerBound, static_cast<ULONG>(items.size()));
    LONG index = lowerBound;
    for (const char16_t* item : items) {
        BSTR text = SysAllocString(item);
        SafeArrayPutElement(array, &index, text);
        SysFreeString(text);
        ++index;
    }
    return array;
}

template <class T>
SAFEARRAY* NumberVector(VARTYPE type, std::initializer_list<T> items) {
    SAFEARRAY* array = SafeArrayCreateVector(type, 0, static_cast<ULONG>(items.size()));
    LONG index = 0;
    for (T item : items) {
        SafeArrayPutElement(array, &index, &item);
        ++index;
    }
    return array;
}

std::vector<LONG> Numbers(const VARIANT& v) {
    std::vector<LONG> numbers;
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(v.parray, 1, &lower);
    SafeArrayGetUBound(v.parray, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        if ((v.vt & VT_TYPEMASK) == VT_I4) {
            LONG value = 0;
            SafeArrayGetElement(v.parray, &i, &value);
            numbers.push_back(value);
        } else {
            USHORT value = 0;
            SafeArrayGetElement(v.parray, &i, &value);
            numbers.push_back(value);
        }
    }
    return numbers;
}

// The call-flow trace with each line's stamp ("2026/12/07 01:52:07:045 [3412]") replaced.
using Component = ComponentTest;

// ---- a new object ----

TEST_F(Component, NewObjectShowsUnknownStatusAndInitialValues) {
    Driver driver = Create();
    ASSERT_NE(driver.get(), nullptr);
    EXPECT_EQ(driver.GetUI2(member::Status), 65535);
    EXPECT_EQ(driver.GetUI2(member::StatusBlocked), 65535);
    EXPECT_EQ(driver.GetUI2(member::StateBlocked), 1);
    EXPECT_EQ(driver.GetUI2(member::StateBlockedConfig), 1);
    EXPECT_EQ(driver.GetUI2(member::StatePrinterReady), 0);
    EXPECT_EQ(driver.GetI4(member::StatePrinterReady2), 0);
    EXPECT_EQ(driver.GetI4(member::StateDayOpen2), 1);
    EXPECT_EQ(driver.GetText(member::PrinterName), u"RKM-204");
    EXPECT_EQ(driver.GetUI2(member::ComPort), 0);
    EXPECT_EQ(driver.GetUI4(member::BaudRate), 0u);
    EXPECT_EQ(driver.GetUI2(member::BarcodeType), 4);
    EXPECT_EQ(driver.GetI4(member::QRCodeSize), 3);
    EXPECT_EQ(driver.GetI4(member::QRCodeVersion), 2);
    EXPECT_EQ(driver.GetCy(member::MinBill), 10000);
    EXPECT_EQ(driver.GetI2(member::ResultCode), 0);
    EXPECT_EQ(driver.GetText(member::ResultCodeDescription), u"");
    // The library's own version resource.
    EXPECT_EQ(driver.GetText(member::SoftwareVersion), u"1.0.0");
}

TEST_F(Component, SavedPortAndSpeedAreTakenWithTheTraceMask) {
    SaveLinkSettings(3, 19200, 8);
    Driver driver = Create();
    EXPECT_EQ(driver.GetUI2(member::ComPort), 3);
    EXPECT_EQ(driver.GetUI4(member::BaudRate), 19200u);
    EXPECT_EQ(MaskedCallFlow(work_.file("callflow.txt")),
              "{stamp}CDrvKeltor::get_ComPort() try...\r\n"
              "{stamp}CDrvKeltor::get_ComPort() done, res=0(0)\r\n"
              "{stamp}CDrvKeltor::get_BaudRate() try...\r\n"
              "{stamp}CDrvKeltor::get_BaudRate() done, res=0(0)\r\n");
}

TEST_F(Component, WithoutASavedSpeedNeitherIsTakenNorTheTraceMask) {
    SaveLinkSettings(3, 0, 8);
    Driver driver = Create();
    EXPECT_EQ(driver.GetUI2(member::ComPort), 0);
    EXPECT_EQ(driver.GetUI4(member::BaudRate), 0u);
    EXPECT_FALSE(testsupport::FileExists(work_.file("callflow.txt")));
}

// ---- settings-backed properties ----

TEST_F(Component, MinBillIsKeptInWholeUnits) {
    Driver driver = Create();
    EXPECT_EQ(driver.Put(member::MinBill, Cy(5000)).hr, S_OK);  // 0.5
    EXPECT_EQ(driver.GetCy(member::MinBill), 10000);
    EXPECT_EQ(driver.Put(member::MinBill, Cy(129999)).hr, S_OK);  // 12.9999 truncates to 12
    EXPECT_EQ(driver.GetCy(member::MinBill), 120000);
    // Saved at once.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Orvane\\Brontl\\Settings\\Fiscal", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD stored = 0;
    DWORD size = sizeof stored;
    EXPECT_EQ(
        RegQueryValueExA(key, "MinBill", nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(stored, 12u);

    // The setting is a 32-bit word: a bill beyond it is refused, not kept half.
    for (LONGLONG refused : {0LL, -10000LL, 0x100000000LL * 10000}) {
        const Call call = driver.Put(member::MinBill, Cy(refused));
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION) << refused;
        EXPECT_EQ(call.scode, E_FAIL) << refused;
    }
    EXPECT_EQ(driver.GetCy(member::MinBill), 120000);
    EXPECT_EQ(driver.Put(member::MinBill, Cy(0xFFFFFFFFLL * 10000 + 9999)).hr, S_OK);
    EXPECT_EQ(driver.GetCy(member::MinBill), 0xFFFFFFFFLL * 10000);
}

TEST_F(Component, TheSettingsMonitorServesEveryObjectUntilTheLastIsReleased) {
    // The monitor watches a settings key that exists.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Orvane\\Brontl\\Settings\\Fiscal", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    Driver first = Create();
    Driver second = Create();
    first.Reset();
    // A change made elsewhere still reaches the object that is left.
    const DWORD minBill = 7;
    EXPECT_EQ(RegSetValueExA(key, "MinBill", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&minBill),
                             sizeof minBill),
              ERROR_SUCCESS);
    RegCloseKey(key);
    // The monitor reacts in milliseconds; the bound only stops a broken test.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (second.GetCy(member::MinBill) != 70000 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(second.GetCy(member::MinBill), 70000);
}

TEST_F(Component, QuantityPrecisionIsClamped) {
    Driver driver = Create();
    for (const auto& [written, read] : {std::pair{7, 3}, {-2, 0}, {2, 2}, {3, 3}, {0, 0}}) {
        EXPECT_EQ(driver.Put(member::QuantityPrecision, I4(written)).hr, S_OK);
        EXPECT_EQ(driver.GetI4(member::QuantityPrecision), read) << written;
    }
}

TEST_F(Component, HyphenationLengthRefusesZeroAndKeepsTheSetting) {
    Driver driver = Create();
    EXPECT_EQ(driver.Put(member::LongNamesHyphenationLength, UI2(20)).hr, S_OK);
    Call call = driver.Put(member::LongNamesHyphenationLength, UI2(0));
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.scode, E_FAIL);
    EXPECT_EQ(driver.GetUI2(member::LongNamesHyphenationLength), 20);
    call = driver.Put(member::LongNamesHyphenationLength2, I4(-5));
    EXPECT_EQ(call.scode, E_FAIL);
    EXPECT_EQ(driver.GetI4(member::LongNamesHyphenationLength2), 20);
    EXPECT_EQ(driver.Put(member::LongNamesHyphenationLength2, I4(1)).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::LongNamesHyphenationLength), 1);
}

TEST_F(Component, JournalDownloadFlagAndQrCodeValues) {
    Driver driver = Create();
    EXPECT_EQ(driver.Put(member::NecessityToDownloadEJ, I4(5)).hr, S_OK);
    EXPECT_EQ(driver.GetI4(member::NecessityToDownloadEJ), 1);
    EXPECT_EQ(driver.Put(member::NecessityToDownloadEJ, I4(0)).hr, S_OK);
    EXPECT_EQ(driver.GetI4(member::NecessityToDownloadEJ), 0);

    EXPECT_EQ(driver.Put(member::QRCodeSize, I4(0)).scode, E_FAIL);
    EXPECT_EQ(driver.Put(member::QRCodeVersion, I4(-1)).scode, E_FAIL);
    EXPECT_EQ(driver.Put(member::QRCodeSize, I4(70000)).hr, S_OK);
    EXPECT_EQ(driver.GetI4(member::QRCodeSize), 70000);
    EXPECT_EQ(driver.GetI4(member::QRCodeVersion), 2);
}

TEST_F(Component, TracePathIsKeptByTheSettingsAndMustFitTheirBuffer) {
    Driver driver = Create();
    const std::u16string path = Wide("/tmp/журнал/tracexch.log");
    EXPECT_EQ(driver.Put(member::TracePath, Text(path)).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::TracePath), path);
    const Call call = driver.Put(member::TracePath, Text(Repeat(u'a', 260)));
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.scode, E_INVALIDARG);
    EXPECT_EQ(driver.GetText(member::TracePath), path);
    EXPECT_EQ(driver.Put(member::TracePath, Text(Repeat(u'b', 259))).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::TracePath), Repeat(u'b', 259));
}

// ---- texts ----

TEST_F(Component, TextsRoundTripThroughTheAnsiCodePage) {
    Driver driver = Create();
    const std::u16string article = Wide("Хлеб «Бородинский» №1 ёЁ");
    EXPECT_EQ(driver.Put(member::Article, Text(article)).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::Article), article);
    // A character the code page does not have cannot survive.
    EXPECT_EQ(driver.Put(member::Article, Text(u"a\u4E2Db")).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::Article), u"a?b");
    VARIANT empty;
    VariantInit(&empty);
    empty.vt = VT_BSTR;
    empty.bstrVal = nullptr;
    EXPECT_EQ(driver.Put(member::Article, empty).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::Article), u"");
    // A short-name twin reaches the same text.
    EXPECT_EQ(driver.Put(member::TaxAuthControlUnitPassword2, Text(Wide("пароль"))).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::TaxAuthoritiesControlUnitPassword), Wide("пароль"));
}

TEST_F(Component, TextToPrintKeepsItsFirst512Characters) {
    Driver driver = Create();
    const std::u16string text = Repeat(u'Ж', 500) + Repeat(u'x', 100);
    EXPECT_EQ(driver.Put(member::TextToPrint, Text(text)).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::TextToPrint), text.substr(0, 512));
    EXPECT_EQ(driver.Put(member::TextToPrint, Text(Repeat(u'y', 512))).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::TextToPrint), Repeat(u'y', 512));
}

// ---- arrays ----

TEST_F(Component, StringTableItemsCheckTheirShape) {
    Driver driver = Create();
    VARIANT value;
    VariantInit(&value);
    Call call = driver.Get(member::StringTableItems, &value);
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.scode, E_FAIL);

    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    for (SAFEARRAY* refused : {SafeArrayCreate(VT_BSTR, 2, bounds), TextVector(1, {u"a", u"b"}),
                               NumberVector<USHORT>(VT_UI2, {1, 2})}) {
        call = driver.Put(member::StringTableItems, Array(refused));
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.scode, E_INVALIDARG);
    }
    // A reference to no array is no array.
    VARIANT nowhere;
    VariantInit(&nowhere);
    nowhere.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
    nowhere.pparray = nullptr;
    call = driver.Put(member::StringTableItems, nowhere);
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.scode, E_INVALIDARG);
    // Not an array at all: the argument does not coerce.
    call = driver.Put(member::StringTableItems, Text(u"a"));
    EXPECT_EQ(call.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call.argumentError, 0u);

    EXPECT_EQ(driver.Put(member::StringTableItems, Array(TextVector(0, {u"один", u"", u"три"}))).hr,
              S_OK);
    // A refused array leaves the held one.
    EXPECT_EQ(driver.Put(member::StringTableItems, Array(TextVector(1, {u"x"}))).scode,
              E_INVALIDARG);
    ASSERT_EQ(driver.Get(member::StringTableItems, &value).hr, S_OK);
    ASSERT_EQ(value.vt, VT_ARRAY | VT_BSTR);
    LONG upper = -1;
    SafeArrayGetUBound(value.parray, 1, &upper);
    EXPECT_EQ(upper, 2);
    LONG index = 0;
    BSTR first = nullptr;
    SafeArrayGetElement(value.parray, &index, &first);
    EXPECT_EQ(std::u16string(first), u"один");
    SysFreeString(first);
    VariantClear(&value);
}

TEST_F(Component, IntegerItemsAndTheir32BitTwin) {
    Driver driver = Create();
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(driver.Get(member::IntegerTableItems2, &value).scode, E_FAIL);
    // The twin takes only 32-bit elements, the main member only 16-bit ones.
    EXPECT_EQ(
        driver.Put(member::IntegerTableItems2, Array(NumberVector<USHORT>(VT_UI2, {1}))).scode,
        E_INVALIDARG);
    EXPECT_EQ(driver.Put(member::IntegerTableItems, Array(NumberVector<LONG>(VT_I4, {1}))).scode,
              E_INVALIDARG);

    EXPECT_EQ(
        driver.Put(member::IntegerTableItems2, Array(NumberVector<LONG>(VT_I4, {70000, 5, -1}))).hr,
        S_OK);
    ASSERT_EQ(driver.Get(member::IntegerTableItems, &value).hr, S_OK);
    EXPECT_EQ(value.vt, VT_ARRAY | VT_UI2);
    EXPECT_EQ(Numbers(value), (std::vector<LONG>{4464, 5, 65535}));
    VariantClear(&value);
    ASSERT_EQ(driver.Get(member::IntegerTableItems2, &value).hr, S_OK);
    EXPECT_EQ(value.vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(Numbers(value), (std::vector<LONG>{4464, 5, 65535}));
    VariantClear(&value);

    EXPECT_EQ(driver.Put(member::IntegerTableItems, Array(NumberVector<USHORT>(VT_UI2, {}))).hr,
              S_OK);
    ASSERT_EQ(driver.Get(member::IntegerTableItems2, &value).hr, S_OK);
    EXPECT_TRUE(Numbers(value).empty());
    VariantClear(&value);
}

// ---- twins and the options word ----

TEST_F(Component, TwinsReachTheMainMembersFields) {
    Driver driver = Create();
    EXPECT_EQ(driver.Put(member::ComPort2, I4(70000)).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::ComPort), 4464);
    EXPECT_EQ(driver.GetI4(member::ComPort2), 4464);
    EXPECT_EQ(driver.Put(member::ComPort, UI2(65535)).hr, S_OK);
    EXPECT_EQ(driver.GetI4(member::ComPort2), 65535);  // widened without sign

    EXPECT_EQ(driver.Put(member::SelectFromNumber2, I4(65537)).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::SelectFromNumber), 1);

    // A 32-bit field seen through the 16-bit main member and the 32-bit twin.
    EXPECT_EQ(driver.Put(member::SessionNumber2, I4(0x12345)).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::SessionNumber), 0x2345);
    EXPECT_EQ(driver.GetI4(member::SessionNumber2), 0x12345);
    EXPECT_EQ(driver.Put(member::SessionNumber, UI2(7)).hr, S_OK);
    EXPECT_EQ(driver.GetI4(member::SessionNumber2), 7);

    EXPECT_EQ(driver.Put(member::ElectronicJournalCRC2, I4(-1)).hr, S_OK);
    EXPECT_EQ(driver.GetUI4(member::ElectronicJournalCRC), 0xFFFFFFFFu);

    EXPECT_EQ(driver.Put(member::TraceMask2, I4(0)).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::TraceMask), 0);
}

TEST_F(Component, InitializationOptionsCarryTheRestaurantMode) {
    Driver driver = Create();
    EXPECT_EQ(driver.Put(member::InitializationOptions, UI2(0x0400)).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::StateRestaurantMode), 1);
    EXPECT_EQ(driver.GetI4(member::StateRestaurantMode2), 1);
    EXPECT_EQ(driver.GetI4(member::InitializationOptions2), 0x0400);
    EXPECT_EQ(driver.Put(member::InitializationOptions2, I4(0x10200)).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::InitializationOptions), 0x0200);
    EXPECT_EQ(driver.GetUI2(member::StateRestaurantMode), 0);
}

TEST_F(Component, UnknownOptionsAreAskedOfThePrinterAndAFailureStaysInTheResultCode) {
    Driver driver = Create();
    // No link: the read fails, the getter does not.
    EXPECT_EQ(driver.GetUI2(member::InitializationOptions), 0);
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9003);
}

// ---- methods, result code and error information ----

TEST_F(Component, AFailingMethodCarriesItsDescription) {
    Driver driver = Create();
    const Call call = driver.Method(member::RefreshStatus);
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.scode, kNoPortHResult);
    // The words are still unknown (0xFFFF), which includes the blocked bit.
    const std::string expected = "Драйвер: не задан COM-порт. ФР заблокирован";
    EXPECT_EQ(call.description, expected);
    EXPECT_EQ(call.source, "BrontalOcx.DrvKeltor");
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9003);
    EXPECT_EQ(driver.GetText(member::ResultCodeDescription), Wide(expected));
    // A stored property neither changes the code nor inherits the error information.
    EXPECT_EQ(driver.Put(member::Price, Cy(1)).hr, S_OK);
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9003);
    const Call refused = driver.Put(member::MinBill, Cy(0));
    EXPECT_EQ(refused.scode, E_FAIL);
    EXPECT_EQ(refused.description, "");
}

TEST_F(Component, ASuccessfulMethodClearsTheDescription) {
    Driver driver = Create();
    driver.Method(member::RefreshStatus);
    EXPECT_EQ(driver.Method(member::Disconnect).hr, S_OK);
    EXPECT_EQ(driver.GetI2(member::ResultCode), 0);
    EXPECT_EQ(driver.GetText(member::ResultCodeDescription), u"");
}

TEST_F(Component, AMethodWithoutALinkAnswersTheLinkCode) {
    Driver driver = Create();
    const Call call = driver.Method(member::Sale);
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.scode, static_cast<HRESULT>(0x8004232B));
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9003);
}

TEST_F(Component, TwoObjectsShareTheResultCode) {
    Driver first = Create();
    Driver second = Create();
    first.Method(member::RefreshStatus);
    EXPECT_EQ(second.GetI2(member::ResultCode), -9003);
    // The description belongs to the object whose method ran.
    EXPECT_EQ(second.GetText(member::ResultCodeDescription), u"");
    EXPECT_EQ(second.Method(member::Disconnect).hr, S_OK);
    EXPECT_EQ(first.GetI2(member::ResultCode), 0);
}

// ---- Automation's rules at Invoke ----

TEST_F(Component, InvokeAnswersAsAutomationDoes) {
    Driver driver = Create();
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(driver.Get(999, &value).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(driver.Get(0, &value).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(driver.Put(member::Status, UI2(1)).hr, DISP_E_MEMBERNOTFOUND);  // read-only
    EXPECT_EQ(driver.Get(member::Sale, &value).hr, DISP_E_MEMBERNOTFOUND);    // a method
    EXPECT_EQ(driver.Method(member::Price).hr, DISP_E_MEMBERNOTFOUND);        // a property
    EXPECT_EQ(driver.Invoke(member::Price, DISPATCH_PROPERTYGET, {I4(1)}, false, &value).hr,
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(driver.Invoke(member::Sale, DISPATCH_METHOD, {I4(1)}, false, nullptr).hr,
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(driver.Invoke(member::Price, DISPATCH_PROPERTYPUT, {}, false, nullptr).hr,
              DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(driver.Invoke(member::Price, DISPATCH_PROPERTYPUT, {Cy(1)}, false, nullptr).hr,
              DISP_E_PARAMNOTOPTIONAL);
    VARIANT missing;
    VariantInit(&missing);
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    EXPECT_EQ(driver.Put(member::Price, missing).hr, DISP_E_PARAMNOTOPTIONAL);

    Call call = driver.Put(member::Price, Text(u"abc"));
    EXPECT_EQ(call.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call.argumentError, 0u);
    call = driver.Put(member::ComPort, I4(70000));
    EXPECT_EQ(call.hr, DISP_E_OVERFLOW);
    EXPECT_EQ(call.argumentError, 0u);

    // Arguments are coerced to the member's type.
    EXPECT_EQ(driver.Put(member::Price, Text(u"12.5")).hr, S_OK);
    EXPECT_EQ(driver.GetCy(member::Price), 125000);
    EXPECT_EQ(driver.Put(member::ComPort, I4(7)).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::ComPort), 7);
    // A by-reference argument is read through.
    LONG port = 9;
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_I4;
    byRef.plVal = &port;
    EXPECT_EQ(driver.Put(member::ComPort, byRef).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::ComPort), 9);

    // Visual Basic reads properties with METHOD | PROPERTYGET.
    ASSERT_EQ(
        driver.Invoke(member::Price, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, false, &value).hr,
        S_OK);
    EXPECT_EQ(value.vt, VT_CY);
    EXPECT_EQ(driver.Invoke(member::Price, DISPATCH_PROPERTYGET, {}, false, nullptr).hr, S_OK);

    EXPECT_EQ(driver.get()->Invoke(member::Price, IID_IDispatch, 0, DISPATCH_PROPERTYGET, nullptr,
                                   &value, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST_F(Component, NamesAreFoundWithoutRegardToCase) {
    Driver driver = Create();
    const auto find = [&](const char16_t* name, DISPID* dispid) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return driver.get()->GetIDsOfNames(IID_NULL, names, 1, 0, dispid);
    };
    DISPID dispid = 0;
    EXPECT_EQ(find(u"price", &dispid), S_OK);
    EXPECT_EQ(dispid, member::Price);
    EXPECT_EQ(find(u"PRINTERNAME", &dispid), S_OK);
    EXPECT_EQ(dispid, member::PrinterName);
    EXPECT_EQ(find(u"StateTaxAuthControlUnitPresnt2", &dispid), S_OK);
    EXPECT_EQ(dispid, 305);
    EXPECT_EQ(find(u"Pric", &dispid), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispid, DISPID_UNKNOWN);
    LPOLESTR two[] = {const_cast<LPOLESTR>(u"Sale"), const_cast<LPOLESTR>(u"Value")};
    DISPID dispids[2] = {};
    EXPECT_EQ(driver.get()->GetIDsOfNames(IID_NULL, two, 2, 0, dispids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispids[0], member::Sale);
    EXPECT_EQ(dispids[1], DISPID_UNKNOWN);
    UINT count = 7;
    EXPECT_EQ(driver.get()->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
}

// ---- the call-flow trace of the frame ----

TEST_F(Component, CallFlowLinesOfAccessorsAndMethods) {
    Driver driver = Create();
    EXPECT_EQ(driver.Put(member::TraceMask, UI2(8)).hr, S_OK);
    driver.GetCy(member::Price);
    driver.GetUI2(member::Status);
    driver.GetUI2(member::StateBlocked);
    driver.GetUI2(member::StateTaxAuthoritiesControlUnitPresent);
    driver.Method(member::RefreshStatus);
    driver.GetUI2(member::InitializationOptions);
    driver.Put(member::StringTableItems, Array(TextVector(0, {u"a"})));
    driver.Method(member::Sale);
    driver.Put(member::LongNamesHyphenationLength, UI2(0));
    EXPECT_EQ(driver.Put(member::TraceMask, UI2(0)).hr, S_OK);
    driver.GetCy(member::Price);
    EXPECT_EQ(MaskedCallFlow(work_.file("callflow.txt")),
              "{stamp}CDrvKeltor::put_TraceMask() done, res=0(0)\r\n"
              "{stamp}CDrvKeltor::get_Price() try...\r\n"
              "{stamp}CDrvKeltor::get_Price() done, res=0(0)\r\n"
              "{stamp}CDrvKeltor::get_Status() try...\r\n"
              "{stamp}CDrvKeltor::get_Status() done, res=65535(0xffff)\r\n"
              "{stamp}CDrvKeltor::get_StateBlocked() try...\r\n"
              "{stamp}CDrvKeltor::get_StateBlocked() done, res=1(0x1)\r\n"
              "{stamp}CDrvKeltor::get_StateTaxAuthoritiesControlUnitPresent() try...\r\n"
              "{stamp}CDrvKeltor::get_StateTaxAuthoritiesControlUnitPresent() done, res=0(0)\r\n"
              "{stamp}CDrvKeltor::RefreshStatus() try...\r\n"
              "{stamp}CDrvKeltor::RefreshStatus() done, res=-9003(0xffffdcd5)\r\n"
              "{stamp}CDrvKeltor::get_InitializationOptions() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() done, res=-9003(0xffffdcd5)\r\n"
              "{stamp}CDrvKeltor::get_InitializationOptions() done, res=0(0)\r\n"
              "{stamp}CDrvKeltor::put_StringTableItems() done, res=0(0)\r\n"
              "{stamp}CDrvKeltor::Sale() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() done, res=-9003(0xffffdcd5)\r\n"
              "{stamp}CDrvKeltor::Sale() done, res=-9003(0xffffdcd5)\r\n"
              "{stamp}CDrvKeltor::put_LongNamesHyphenationLength() try...\r\n"
              "{stamp}CDrvKeltor::put_LongNamesHyphenationLength() done, "
              "res=-2147467259(0x80004005)\r\n"
              "{stamp}CDrvKeltor::put_TraceMask() try...\r\n");
}

// ---- the dual interface's vtable ----

TEST_F(Component, TheVtableFollowsTheCatalogue) {
    Driver driver = Create();
    IDrvKeltor* keltor = nullptr;
    ASSERT_EQ(driver.get()->QueryInterface(IID_IDrvKeltor, reinterpret_cast<void**>(&keltor)),
              S_OK);
    BSTR name = nullptr;
    EXPECT_EQ(keltor->get_PrinterName(&name), S_OK);
    EXPECT_EQ(std::u16string(name), u"RKM-204");
    SysFreeString(name);

    CY price = {};
    price.int64 = 123456;
    EXPECT_EQ(keltor->put_Price(price), S_OK);
    CY read = {};
    EXPECT_EQ(keltor->get_Price(&read), S_OK);
    EXPECT_EQ(read.int64, 123456);
    EXPECT_EQ(driver.GetCy(member::Price), 123456);

    // The one member whose put entry comes before its get entry.
    EXPECT_EQ(keltor->put_ElectronicJournalCRC(0xCAFEF00D), S_OK);
    ULONG crc = 0;
    EXPECT_EQ(keltor->get_ElectronicJournalCRC(&crc), S_OK);
    EXPECT_EQ(crc, 0xCAFEF00Du);
    EXPECT_EQ(driver.GetUI4(member::ElectronicJournalCRC), 0xCAFEF00Du);

    // Entries past the first hundred still land where the catalogue puts them.
    EXPECT_EQ(keltor->put_QuantityPrecision(9), S_OK);
    LONG precision = -1;
    EXPECT_EQ(keltor->get_QuantityPrecision(&precision), S_OK);
    EXPECT_EQ(precision, 3);
    EXPECT_EQ(keltor->Sale(), static_cast<HRESULT>(0x8004232B));  // no link yet

    ISupportErrorInfo* support = nullptr;
    ASSERT_EQ(keltor->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
              S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDrvKeltor), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    support->Release();
    keltor->Release();
}

// ---- aggregation and creation ----

// {9D3C6E10-2A47-4B8F-8E21-5F0C7A3B9D11}: answered only by the outer object.
DEFINE_GUID(IID_OuterOnly, 0x9D3C6E10, 0x2A47, 0x4B8F, 0x8E, 0x21, 0x5F, 0x0C, 0x7A, 0x3B, 0x9D,
            0x11);

TEST_F(Component, AggregatedObjectDelegatesToItsOuterObject) {
    testsupport::Outer outer(IID_OuterOnly);
    IUnknown* inner = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DrvKeltor, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&inner)),
              S_OK);
    outer.inner = inner;
    IDispatch* dispatch = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_DrvKeltor, &outer, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&dispatch)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(dispatch, nullptr);

    // The inner unknown answers IUnknown itself and hands out the driver's interfaces.
    IUnknown* same = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same, inner);
    same->Release();
    void* none = nullptr;
    EXPECT_EQ(inner->QueryInterface(IID_OuterOnly, &none), E_NOINTERFACE);
    ASSERT_EQ(inner->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);

    // The driver's interfaces count on and ask the outer object.
    const ULONG before = outer.references;
    dispatch->AddRef();
    EXPECT_EQ(outer.references, before + 1);
    dispatch->Release();
    void* outerOnly = nullptr;
    EXPECT_EQ(dispatch->QueryInterface(IID_OuterOnly, &outerOnly), S_OK);
    EXPECT_EQ(outerOnly, &outer);
    EXPECT_EQ(outer.ownAnswers, 1);
    outer.Release();

    Driver driver(dispatch);
    EXPECT_EQ(driver.GetText(member::PrinterName), u"RKM-204");
    driver.Reset();  // releases through the outer object
    outer.inner = nullptr;
    EXPECT_EQ(inner->Release(), 0u);
}

TEST_F(Component, UnloadIsRefusedWhileObjectsFactoriesOrLocksLive) {
    HMODULE module = LoadLibraryA(ComponentPath().c_str());
    ASSERT_NE(module, nullptr);
    const auto canUnload =
        reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(module, "DllCanUnloadNow"));
    const auto getClassObject =
        reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(module, "DllGetClassObject"));
    ASSERT_NE(canUnload, nullptr);
    ASSERT_NE(getClassObject, nullptr);
    EXPECT_EQ(canUnload(), S_OK);

    IClassFactory* factory = nullptr;
    EXPECT_EQ(getClassObject(IID_IDrvKeltor, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(
        getClassObject(CLSID_DrvKeltor, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch)),
              S_OK);
    void* none = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE);  // the object and the lock
    dispatch->Release();
    EXPECT_EQ(canUnload(), S_FALSE);  // the lock
    ASSERT_EQ(getClassObject(CLSID_DrvKeltor, IID_IUnknown, reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload(), S_OK);

    // Nothing but the four entry points is exported.
    EXPECT_EQ(GetProcAddress(module, "ExtenderSettings"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "_Z19SetDriverResultCodei"), nullptr);
    EXPECT_NE(GetProcAddress(module, "DllRegisterServer"), nullptr);
    EXPECT_NE(GetProcAddress(module, "DllUnregisterServer"), nullptr);
    FreeLibrary(module);
}

}  // namespace
