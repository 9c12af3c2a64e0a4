// VARIANT lifetime and Automation coercion (VariantChangeType).
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "testcomponent/FakeObjects.h"

namespace {

// A variant that owns its value.
class Var {
  public:
    Var() { VariantInit(&v); }
    Var(const Var& other) {
        VariantInit(&v);
        VariantCopy(&v, &other.v);
    }
    Var& operator=(const Var&) = delete;
    ~Var() { VariantClear(&v); }
    VARIANT v;
};

Var Make(VARTYPE vt) {
    Var x;
    x.v.vt = vt;
    return x;
}
Var I4(LONG value) {
    Var x = Make(VT_I4);
    x.v.lVal = value;
    return x;
}
Var UI4(ULONG value) {
    Var x = Make(VT_UI4);
    x.v.ulVal = value;
    return x;
}
Var I8(LONGLONG value) {
    Var x = Make(VT_I8);
    x.v.llVal = value;
    return x;
}
Var UI8(ULONGLONG value) {
    Var x = Make(VT_UI8);
    x.v.ullVal = value;
    return x;
}
Var R8(double value) {
    Var x = Make(VT_R8);
    x.v.dblVal = value;
    return x;
}
Var R4(float value) {
    Var x = Make(VT_R4);
    x.v.fltVal = value;
    return x;
}
Var Cy(LONGLONG units) {
    Var x = Make(VT_CY);
    x.v.cyVal.int64 = units;
    return x;
}
Var Date(double value) {
    Var x = Make(VT_DATE);
    x.v.date = value;
    return x;
}
Var Bool(bool value) {
    Var x = Make(VT_BOOL);
    x.v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return x;
}
Var Str(const char16_t* text) {
    Var x = Make(VT_BSTR);
    x.v.bstrVal = SysAllocString(text);
    return x;
}

std::u16string Text(BSTR b) {
    return std::u16string(b, SysStringLen(b));
}

HRESULT Change(const Var& source, VARTYPE vt, Var& result, USHORT flags = 0) {
    return VariantChangeType(&result.v, &source.v, flags, vt);
}

long long SignedOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_I1:
            return static_cast<signed char>(v.cVal);
        case VT_I2:
            return v.iVal;
        case VT_I4:
            return v.lVal;
        case VT_INT:
            return v.intVal;
        default:
            return v.llVal;
    }
}

unsigned long long UnsignedOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_UI1:
            return v.bVal;
        case VT_UI2:
            return v.uiVal;
        case VT_UI4:
            return v.ulVal;
        case VT_UINT:
            return v.uintVal;
        default:
            return v.ullVal;
    }
}

void ExpectSigned(const Var& source, VARTYPE vt, long long expected) {
    Var result;
    ASSERT_EQ(Change(source, vt, result), S_OK) << "to " << vt;
    EXPECT_EQ(result.v.vt, vt);
    EXPECT_EQ(SignedOf(result.v), expected) << "to " << vt;
}

void ExpectUnsigned(const Var& source, VARTYPE vt, unsigned long long expected) {
    Var result;
    ASSERT_EQ(Change(source, vt, result), S_OK) << "to " << vt;
    EXPECT_EQ(result.v.vt, vt);
    EXPECT_EQ(UnsignedOf(result.v), expected) << "to " << vt;
}

void ExpectFailure(const Var& source, VARTYPE vt, HRESULT expected) {
    Var result = I4(12345);
    EXPECT_EQ(Change(source, vt, result), expected) << "to " << vt;
    // The destination is left as it was.
    EXPECT_EQ(result.v.vt, VT_I4);
    EXPECT_EQ(result.v.lVal, 12345);
}

void ExpectText(const Var& source, const char16_t* expected, USHORT flags = 0) {
    Var result;
    ASSERT_EQ(Change(source, VT_BSTR, result, flags), S_OK);
    ASSERT_EQ(result.v.vt, VT_BSTR);
    EXPECT_EQ(Text(result.v.bstrVal), std::u16string(expected));
}

LONGLONG CurrencyOf(const Var& source) {
    Var result;
    EXPECT_EQ(Change(source, VT_CY, result), S_OK);
    return result.v.cyVal.int64;
}

double RealOf(const Var& source, VARTYPE vt = VT_R8) {
    Var result;
    EXPECT_EQ(Change(source, vt, result), S_OK);
    return vt == VT_R8 ? result.v.dblVal : (vt == VT_DATE ? result.v.date : result.v.fltVal);
}

// ---- lifetime ----

TEST(OleVariant, ClearFreesWhatTheVariantOwnsButNotWhatItRefersTo) {
    FakeDispatch object;
    Var held = Make(VT_DISPATCH);
    held.v.pdispVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&held.v), S_OK);
    EXPECT_EQ(held.v.vt, VT_EMPTY);
    EXPECT_EQ(object.references(), 1u);

    IDispatch* pointer = &object;
    Var reference = Make(VT_DISPATCH | VT_BYREF);
    reference.v.ppdispVal = &pointer;
    EXPECT_EQ(VariantClear(&reference.v), S_OK);
    EXPECT_EQ(object.references(), 1u);

    for (VARTYPE bad :
         {VARTYPE(15), VARTYPE(0x7F), VARTYPE(VT_VECTOR | VT_I4), VARTYPE(VT_ARRAY | VT_EMPTY),
          VARTYPE(VT_BYREF | VT_NULL), VARTYPE(VT_RECORD)}) {
        VARIANT v;
        VariantInit(&v);
        v.vt = bad;
        v.lVal = 99;
        EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << bad;
        EXPECT_EQ(v.vt, bad);
        EXPECT_EQ(v.lVal, 99);
    }
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(OleVariant, CopyIsDeepAndReplacesTheDestination) {
    Var text = Make(VT_BSTR);
    text.v.bstrVal = SysAllocStringByteLen("abc", 3);  // odd byte length survives
    Var copy = Str(u"old text, freed by the copy");
    ASSERT_EQ(VariantCopy(&copy.v, &text.v), S_OK);
    ASSERT_EQ(copy.v.vt, VT_BSTR);
    EXPECT_NE(copy.v.bstrVal, text.v.bstrVal);
    EXPECT_EQ(SysStringByteLen(copy.v.bstrVal), 3u);

    FakeDispatch object;
    Var held = Make(VT_UNKNOWN);
    held.v.punkVal = &object;
    object.AddRef();
    {
        Var second(held);
        EXPECT_EQ(object.references(), 3u);
    }
    EXPECT_EQ(object.references(), 2u);

    Var array = Make(VT_ARRAY | VT_I4);
    array.v.parray = SafeArrayCreateVector(VT_I4, 0, 2);
    Var arrayCopy(array);
    ASSERT_EQ(arrayCopy.v.vt, VT_ARRAY | VT_I4);
    EXPECT_NE(arrayCopy.v.parray, array.v.parray);

    // A source that cannot be copied leaves the destination alone.
    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 15;
    EXPECT_EQ(VariantCopy(&copy.v, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(copy.v.vt, VT_BSTR);
    EXPECT_EQ(VariantCopy(&copy.v, &copy.v), S_OK);
    EXPECT_EQ(SysStringByteLen(copy.v.bstrVal), 3u);
}

TEST(OleVariant, CopyIndDereferences) {
    LONG number = 77;
    Var reference = Make(VT_I4 | VT_BYREF);
    reference.v.plVal = &number;
    Var out;
    ASSERT_EQ(VariantCopyInd(&out.v, &reference.v), S_OK);
    EXPECT_EQ(out.v.vt, VT_I4);
    EXPECT_EQ(out.v.lVal, 77);

    BSTR text = SysAllocString(OLESTR("по ссылке"));
    Var textReference = Make(VT_BSTR | VT_BYREF);
    textReference.v.pbstrVal = &text;
    ASSERT_EQ(VariantCopyInd(&textReference.v, &textReference.v), S_OK);
    ASSERT_EQ(textReference.v.vt, VT_BSTR);
    EXPECT_NE(textReference.v.bstrVal, text);
    EXPECT_EQ(Text(textReference.v.bstrVal), u"по ссылке");
    SysFreeString(text);

    Var dangling = Make(VT_I4 | VT_BYREF);
    dangling.v.plVal = nullptr;
    EXPECT_EQ(VariantCopyInd(&out.v, &dangling.v), E_INVALIDARG);
    dangling.v.vt = VT_EMPTY;
}

// ---- coercion: integers ----

TEST(OleChangeType, RealsRoundHalfToEven) {
    ExpectSigned(R8(2.5), VT_I4, 2);
    ExpectSigned(R8(3.5), VT_I4, 4);
    ExpectSigned(R8(-2.5), VT_I4, -2);
    ExpectSigned(R8(-3.5), VT_I4, -4);
    ExpectSigned(R8(2.4999999), VT_I4, 2);
    ExpectSigned(R8(2.5000001), VT_I4, 3);
    ExpectSigned(R4(0.5f), VT_I2, 0);
    ExpectSigned(Date(1.5), VT_I4, 2);
    ExpectUnsigned(R8(-0.4), VT_UI1, 0);
    ExpectUnsigned(R8(-0.5), VT_UI4, 0);
    ExpectFailure(R8(-0.6), VT_UI4, DISP_E_OVERFLOW);
}

TEST(OleChangeType, IntegerRangesOverflow) {
    ExpectSigned(R8(32767.4), VT_I2, 32767);
    ExpectFailure(R8(32767.5), VT_I2, DISP_E_OVERFLOW);
    ExpectSigned(R8(-32768.5), VT_I2, -32768);
    ExpectFailure(R8(-32768.6), VT_I2, DISP_E_OVERFLOW);
    ExpectSigned(I4(127), VT_I1, 127);
    ExpectSigned(I4(-128), VT_I1, -128);
    ExpectFailure(I4(128), VT_I1, DISP_E_OVERFLOW);
    ExpectUnsigned(I4(255), VT_UI1, 255);
    ExpectFailure(I4(256), VT_UI1, DISP_E_OVERFLOW);
    ExpectFailure(I4(-1), VT_UI1, DISP_E_OVERFLOW);
    ExpectUnsigned(I4(65535), VT_UI2, 65535);
    ExpectFailure(I4(65536), VT_UI2, DISP_E_OVERFLOW);
    ExpectFailure(I4(-1), VT_UI4, DISP_E_OVERFLOW);
    ExpectFailure(I4(-1), VT_UINT, DISP_E_OVERFLOW);
    ExpectFailure(UI4(0x80000000u), VT_I4, DISP_E_OVERFLOW);
    ExpectFailure(UI4(0x80000000u), VT_INT, DISP_E_OVERFLOW);
    ExpectSigned(UI4(0x7FFFFFFFu), VT_INT, 0x7FFFFFFF);
    ExpectFailure(UI8(0x8000000000000000ull), VT_I8, DISP_E_OVERFLOW);
    ExpectSigned(I8(std::numeric_limits<LONGLONG>::min()), VT_I8,
                 std::numeric_limits<LONGLONG>::min());
    ExpectFailure(I8(-1), VT_UI8, DISP_E_OVERFLOW);
    ExpectFailure(R8(std::nan("")), VT_I4, DISP_E_OVERFLOW);
    ExpectFailure(R8(1e300), VT_I8, DISP_E_OVERFLOW);
    ExpectFailure(R8(18446744073709551616.0), VT_UI8, DISP_E_OVERFLOW);
    ExpectUnsigned(R8(18446744073709549568.0), VT_UI8, 18446744073709549568ull);
}

TEST(OleChangeType, TextsParseAsNumbers) {
    ExpectSigned(Str(u" 42 "), VT_I4, 42);
    ExpectSigned(Str(u"+7"), VT_I2, 7);
    ExpectSigned(Str(u"-15"), VT_I4, -15);
    ExpectSigned(Str(u"1.5"), VT_I4, 2);
    ExpectSigned(Str(u"2,5"), VT_I4, 2);  // a comma separates decimals too
    ExpectSigned(Str(u"1e3"), VT_I4, 1000);
    ExpectSigned(Str(u"1.5E1"), VT_I4, 15);
    ExpectSigned(Str(u"0.00001e5"), VT_I4, 1);
    ExpectSigned(Str(u"9223372036854775807"), VT_I8, 9223372036854775807LL);
    ExpectSigned(Str(u"-9223372036854775808"), VT_I8, std::numeric_limits<LONGLONG>::min());
    ExpectUnsigned(Str(u"18446744073709551615"), VT_UI8, 18446744073709551615ull);
    ExpectFailure(Str(u"9223372036854775808"), VT_I8, DISP_E_OVERFLOW);
    ExpectFailure(Str(u"18446744073709551616"), VT_UI8, DISP_E_OVERFLOW);
    ExpectFailure(Str(u"1e400"), VT_I4, DISP_E_OVERFLOW);
    ExpectFailure(Str(u"-1"), VT_UI2, DISP_E_OVERFLOW);
    ExpectFailure(Str(u"40000"), VT_I2, DISP_E_OVERFLOW);
    for (const char16_t* bad :
         {u"", u"   ", u"abc", u"12abc", u"1.2.3", u"--1", u"1e", u".", u"1 2", u"0x10"}) {
        ExpectFailure(Str(bad), VT_I4, DISP_E_TYPEMISMATCH);
    }
}

// ---- booleans ----

TEST(OleChangeType, BooleansAreAllBitsOrNothing) {
    ExpectSigned(Bool(true), VT_I4, -1);
    ExpectSigned(Bool(false), VT_I2, 0);
    ExpectUnsigned(Bool(true), VT_UI1, 0xFF);
    ExpectUnsigned(Bool(true), VT_UI8, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(RealOf(Bool(true)), -1.0);
    EXPECT_EQ(CurrencyOf(Bool(true)), -10000);
    ExpectText(Bool(true), u"-1");
    ExpectText(Bool(false), u"0");
    ExpectText(Bool(true), u"True", VARIANT_ALPHABOOL);
    ExpectText(Bool(false), u"False", VARIANT_ALPHABOOL);

    struct Case {
        Var source;
        VARIANT_BOOL expected;
    };
    const Case cases[] = {{Str(u"True"), VARIANT_TRUE}, {Str(u" false "), VARIANT_FALSE},
                          {Str(u"TRUE"), VARIANT_TRUE}, {Str(u"0"), VARIANT_FALSE},
                          {Str(u"2.5"), VARIANT_TRUE},  {I4(5), VARIANT_TRUE},
                          {I4(0), VARIANT_FALSE},       {R8(0.0001), VARIANT_TRUE},
                          {Cy(1), VARIANT_TRUE},        {Var(), VARIANT_FALSE}};
    for (const Case& c : cases) {
        Var result;
        ASSERT_EQ(Change(c.source, VT_BOOL, result), S_OK);
        EXPECT_EQ(result.v.boolVal, c.expected);
    }
    ExpectFailure(Str(u"yes"), VT_BOOL, DISP_E_TYPEMISMATCH);
}

// ---- currency and reals ----

TEST(OleChangeType, CurrencyKeepsFourDecimals) {
    EXPECT_EQ(CurrencyOf(R8(1.5)), 15000);
    EXPECT_EQ(CurrencyOf(R8(1.23456)), 12346);
    EXPECT_EQ(CurrencyOf(I4(-5)), -50000);
    EXPECT_EQ(CurrencyOf(Str(u"0,00015")), 2);  // exact text: half to even
    EXPECT_EQ(CurrencyOf(Str(u"0.00025")), 2);
    EXPECT_EQ(CurrencyOf(Str(u"0.00035")), 4);
    EXPECT_EQ(CurrencyOf(Str(u"-12.34567")), -123457);
    EXPECT_EQ(CurrencyOf(Str(u"922337203685477.5807")), std::numeric_limits<LONGLONG>::max());
    EXPECT_EQ(CurrencyOf(Str(u"-922337203685477.5808")), std::numeric_limits<LONGLONG>::min());
    EXPECT_EQ(CurrencyOf(I8(922337203685477LL)), 9223372036854770000LL);
    ExpectFailure(Str(u"922337203685477.5808"), VT_CY, DISP_E_OVERFLOW);
    ExpectFailure(I8(922337203685478LL), VT_CY, DISP_E_OVERFLOW);
    ExpectFailure(R8(1e15), VT_CY, DISP_E_OVERFLOW);
    ExpectFailure(UI8(0xFFFFFFFFFFFFFFFFull), VT_CY, DISP_E_OVERFLOW);

    EXPECT_DOUBLE_EQ(RealOf(Cy(12345)), 1.2345);
    ExpectSigned(Cy(25000), VT_I4, 2);
    ExpectSigned(Cy(35000), VT_I4, 4);
    ExpectSigned(Cy(-25000), VT_I4, -2);
    ExpectSigned(Cy(-25001), VT_I4, -3);
    ExpectText(Cy(123450), u"12.345");
    ExpectText(Cy(-5), u"-0.0005");
    ExpectText(Cy(10000), u"1");
    ExpectText(Cy(std::numeric_limits<LONGLONG>::min()), u"-922337203685477.5808");
}

TEST(OleChangeType, RealsAndTheirTexts) {
    EXPECT_DOUBLE_EQ(RealOf(Str(u"1,25")), 1.25);
    EXPECT_DOUBLE_EQ(RealOf(Str(u"-3.5e-2")), -0.035);
    EXPECT_EQ(RealOf(Str(u"1e-400")), 0.0);
    ExpectFailure(Str(u"1e400"), VT_R8, DISP_E_OVERFLOW);
    ExpectFailure(R8(1e39), VT_R4, DISP_E_OVERFLOW);
    ExpectFailure(R8(std::numeric_limits<double>::infinity()), VT_R4, DISP_E_OVERFLOW);
    ExpectFailure(R8(-std::numeric_limits<double>::infinity()), VT_R4, DISP_E_OVERFLOW);
    EXPECT_TRUE(std::isnan(RealOf(R8(std::nan("")), VT_R4)));
    EXPECT_FLOAT_EQ(static_cast<float>(RealOf(R8(3.4e38), VT_R4)), 3.4e38f);
    EXPECT_EQ(RealOf(UI8(1ull << 63)), 9223372036854775808.0);

    ExpectText(R8(0.1), u"0.1");
    ExpectText(R8(1.0 / 3.0), u"0.333333333333333");
    ExpectText(R8(1e20), u"1E+20");
    ExpectText(R8(1.5e-7), u"1.5E-07");
    ExpectText(R8(123456789012345678.0), u"1.23456789012346E+17");
    ExpectText(R8(-0.0), u"0");
    ExpectText(R8(-1234.5), u"-1234.5");
    ExpectText(R4(0.1f), u"0.1");
    ExpectText(R4(1.0f / 3.0f), u"0.3333333");
    ExpectText(I4(-42), u"-42");
    ExpectText(UI8(18446744073709551615ull), u"18446744073709551615");
    ExpectText(I8(std::numeric_limits<LONGLONG>::min()), u"-9223372036854775808");
}

// ---- dates ----

TEST(OleChangeType, DatesAndTheirIsoTexts) {
    const double expected = 46363.0 + 6727.0 / 86400.0;  // 2026-12-07 01:52:07
    EXPECT_NEAR(RealOf(Str(u"2026-12-07 01:52:07"), VT_DATE), expected, 1e-9);
    EXPECT_NEAR(RealOf(Str(u"2026-12-07T01:52:07"), VT_DATE), expected, 1e-9);
    EXPECT_EQ(RealOf(Str(u"2026-12-07"), VT_DATE), 46363.0);
    EXPECT_EQ(RealOf(Str(u" 1899-12-29 06:00:00 "), VT_DATE), -1.25);
    EXPECT_NEAR(RealOf(Str(u"12:30"), VT_DATE), 0.5208333333, 1e-9);
    for (const char16_t* bad :
         {u"2026-02-30", u"2026-13-01", u"2026-12-07 24:00:00", u"2026-12-07 10:60", u"26-12-07",
          u"2026/12/07", u"tomorrow", u"2026-12-07x", u"0099-01-01"}) {
        ExpectFailure(Str(bad), VT_DATE, DISP_E_TYPEMISMATCH);
    }
    ExpectText(Date(expected), u"2026-12-07 01:52:07");
    ExpectText(Date(-1.25), u"1899-12-29 06:00:00");
    ExpectText(Date(0.0), u"1899-12-30 00:00:00");
    ExpectFailure(Date(1e9), VT_BSTR, E_INVALIDARG);
    ExpectFailure(I4(3000000), VT_DATE, DISP_E_OVERFLOW);
    ExpectFailure(R8(-657435.0), VT_DATE, DISP_E_OVERFLOW);
    EXPECT_EQ(RealOf(R8(2958465.5), VT_DATE), 2958465.5);
    EXPECT_EQ(RealOf(Date(2.25)), 2.25);
}

// ---- empty, null and other kinds ----

TEST(OleChangeType, EmptyIsZeroAndNullIsRefused) {
    const Var empty;
    ExpectSigned(empty, VT_I4, 0);
    EXPECT_EQ(RealOf(empty), 0.0);
    EXPECT_EQ(CurrencyOf(empty), 0);
    EXPECT_EQ(RealOf(empty, VT_DATE), 0.0);
    Var text;
    ASSERT_EQ(Change(empty, VT_BSTR, text), S_OK);
    ASSERT_EQ(text.v.vt, VT_BSTR);
    ASSERT_NE(text.v.bstrVal, nullptr);
    EXPECT_EQ(SysStringLen(text.v.bstrVal), 0u);
    Var null;
    ASSERT_EQ(Change(empty, VT_NULL, null), S_OK);
    EXPECT_EQ(null.v.vt, VT_NULL);

    for (VARTYPE vt : {VT_I4, VT_BSTR, VT_BOOL, VT_R8, VT_CY, VT_DATE, VT_EMPTY}) {
        ExpectFailure(Make(VT_NULL), vt, DISP_E_TYPEMISMATCH);
    }
    ExpectFailure(I4(1), VT_EMPTY, DISP_E_TYPEMISMATCH);
    Var error = Make(VT_ERROR);
    error.v.scode = E_FAIL;
    ExpectFailure(error, VT_I4, DISP_E_TYPEMISMATCH);
    ExpectFailure(I4(1), VT_ERROR, DISP_E_TYPEMISMATCH);
    ExpectFailure(I4(1), VT_DECIMAL, DISP_E_TYPEMISMATCH);
}

TEST(OleChangeType, BadTargetsAndArrays) {
    ExpectFailure(I4(1), 15, DISP_E_BADVARTYPE);
    ExpectFailure(I4(1), VT_VARIANT, DISP_E_BADVARTYPE);
    ExpectFailure(I4(1), VT_VECTOR | VT_I4, DISP_E_BADVARTYPE);
    ExpectFailure(I4(1), VT_I4 | VT_BYREF, DISP_E_TYPEMISMATCH);
    ExpectFailure(I4(1), VT_ARRAY | VT_I4, DISP_E_TYPEMISMATCH);
    Var array = Make(VT_ARRAY | VT_BSTR);
    array.v.parray = SafeArrayCreateVector(VT_BSTR, 0, 1);
    ExpectFailure(array, VT_BSTR, DISP_E_TYPEMISMATCH);
    Var same;
    ASSERT_EQ(Change(array, VT_ARRAY | VT_BSTR, same), S_OK);
    EXPECT_NE(same.v.parray, array.v.parray);
    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 0x7F;
    Var result;
    EXPECT_EQ(VariantChangeType(&result.v, &bad, 0, VT_I4), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(nullptr, &bad, 0, VT_I4), E_INVALIDARG);
}

TEST(OleChangeType, InPlaceAndByReference) {
    Var v = Str(u"12");
    ASSERT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_I4), S_OK);  // the text is freed
    EXPECT_EQ(v.v.vt, VT_I4);
    EXPECT_EQ(v.v.lVal, 12);
    ASSERT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(Text(v.v.bstrVal), u"12");
    Var kept = Str(u"x");
    EXPECT_EQ(VariantChangeType(&kept.v, &kept.v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(kept.v.vt, VT_BSTR);
    EXPECT_EQ(Text(kept.v.bstrVal), u"x");

    SHORT small = -3;
    Var reference = Make(VT_I2 | VT_BYREF);
    reference.v.piVal = &small;
    EXPECT_EQ(RealOf(reference), -3.0);
    Var inner = Str(u"5,5");
    Var variantReference = Make(VT_VARIANT | VT_BYREF);
    variantReference.v.pvarVal = &inner.v;
    ExpectSigned(variantReference, VT_I4, 6);
    BSTR text = SysAllocString(OLESTR("250"));
    Var textReference = Make(VT_BSTR | VT_BYREF);
    textReference.v.pbstrVal = &text;
    ExpectUnsigned(textReference, VT_UI1, 250);
    ASSERT_EQ(VariantChangeType(&textReference.v, &textReference.v, 0, VT_I4), S_OK);
    EXPECT_EQ(textReference.v.lVal, 250);
    EXPECT_EQ(Text(text), u"250");  // the referenced text belongs to its owner
    SysFreeString(text);
    Var dangling = Make(VT_I4 | VT_BYREF);
    dangling.v.plVal = nullptr;
    ExpectFailure(dangling, VT_R8, E_INVALIDARG);
    dangling.v.vt = VT_EMPTY;
}

TEST(OleChangeType, ObjectsGiveTheirValueProperty) {
    FakeDispatch object;
    object.SetValue(I4(42).v);
    Var held = Make(VT_DISPATCH);
    held.v.pdispVal = &object;
    object.AddRef();
    ExpectText(held, u"42");
    EXPECT_EQ(object.invokes(), 1);
    Var refused;
    EXPECT_EQ(Change(held, VT_BSTR, refused, VARIANT_NOVALUEPROP), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(object.invokes(), 1);

    Var unknown;
    ASSERT_EQ(Change(held, VT_UNKNOWN, unknown), S_OK);
    EXPECT_EQ(unknown.v.punkVal, static_cast<IUnknown*>(&object));
    EXPECT_EQ(object.references(), 3u);
    Var back;
    ASSERT_EQ(Change(unknown, VT_DISPATCH, back), S_OK);
    EXPECT_EQ(object.references(), 4u);

    FakeDispatch plain(false);
    Var plainUnknown = Make(VT_UNKNOWN);
    plainUnknown.v.punkVal = &plain;
    plain.AddRef();
    ExpectFailure(plainUnknown, VT_DISPATCH, DISP_E_TYPEMISMATCH);
    ExpectFailure(plainUnknown, VT_I4, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(plain.references(), 2u);
}

TEST(OleChangeType, LocaleIsAcceptedAndIgnored) {
    Var result;
    const Var comma = Str(u"1,5");
    const Var point = Str(u"1.5");
    ASSERT_EQ(VariantChangeTypeEx(&result.v, &comma.v, 0x0419, 0, VT_R8), S_OK);
    EXPECT_EQ(result.v.dblVal, 1.5);
    ASSERT_EQ(VariantChangeTypeEx(&result.v, &point.v, 0x0409, 0, VT_R8), S_OK);
    EXPECT_EQ(result.v.dblVal, 1.5);
}

}  // namespace
