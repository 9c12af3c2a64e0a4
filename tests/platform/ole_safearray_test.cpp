// Safe arrays: bounds, element ownership, locks and copies.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <string>

#include "testcomponent/FakeObjects.h"

namespace {

std::u16string Text(BSTR b) {
    return std::u16string(b, SysStringLen(b));
}

TEST(OleSafeArray, VectorBoundsAndIndexChecks) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, -2, 5);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(psa), 4u);
    LONG bound = 0;
    ASSERT_EQ(SafeArrayGetLBound(psa, 1, &bound), S_OK);
    EXPECT_EQ(bound, -2);
    ASSERT_EQ(SafeArrayGetUBound(psa, 1, &bound), S_OK);
    EXPECT_EQ(bound, 2);
    EXPECT_EQ(SafeArrayGetLBound(psa, 0, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(psa, 2, &bound), DISP_E_BADINDEX);
    VARTYPE vt = VT_EMPTY;
    ASSERT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
    EXPECT_EQ(vt, VT_I4);

    for (LONG i = -2; i <= 2; ++i) {
        LONG value = i * 100;
        ASSERT_EQ(SafeArrayPutElement(psa, &i, &value), S_OK);
    }
    LONG index = 2;
    LONG value = 0;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &value), S_OK);
    EXPECT_EQ(value, 200);
    for (LONG outside : {-3, 3, INT_MIN, INT_MAX}) {
        EXPECT_EQ(SafeArrayGetElement(psa, &outside, &value), DISP_E_BADINDEX) << outside;
        EXPECT_EQ(SafeArrayPutElement(psa, &outside, &value), DISP_E_BADINDEX) << outside;
    }
    EXPECT_EQ(value, 200);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(OleSafeArray, LeftmostDimensionVariesFastest) {
    SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, 0}};  // rows 1..3, columns 0..1
    SAFEARRAY* psa = SafeArrayCreate(VT_I2, 2, bounds);
    ASSERT_NE(psa, nullptr);
    // The descriptor keeps the rightmost dimension first, as Windows does.
    EXPECT_EQ(psa->rgsabound[0].cElements, 2u);
    EXPECT_EQ(psa->rgsabound[1].lLbound, 1);
    LONG bound = 0;
    ASSERT_EQ(SafeArrayGetLBound(psa, 1, &bound), S_OK);
    EXPECT_EQ(bound, 1);
    ASSERT_EQ(SafeArrayGetUBound(psa, 2, &bound), S_OK);
    EXPECT_EQ(bound, 1);
    for (LONG row = 1; row <= 3; ++row) {
        for (LONG column = 0; column <= 1; ++column) {
            LONG indices[2] = {row, column};
            SHORT value = static_cast<SHORT>(row * 10 + column);
            ASSERT_EQ(SafeArrayPutElement(psa, indices, &value), S_OK);
        }
    }
    SHORT* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&data)), S_OK);
    const SHORT expected[6] = {10, 20, 30, 11, 21, 31};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(data[i], expected[i]) << i;
    }
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    LONG outside[2] = {3, 2};
    SHORT value;
    EXPECT_EQ(SafeArrayGetElement(psa, outside, &value), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(OleSafeArray, TextElementsAreCopiedInAndOut) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 2);
    ASSERT_NE(psa, nullptr);
    BSTR original = SysAllocString(OLESTR("Отдел 1"));
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(psa, &index, original), S_OK);
    original[0] = u'X';  // the array holds its own copy
    SysFreeString(original);
    BSTR out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
    EXPECT_EQ(Text(out), u"Отдел 1");
    BSTR again = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &again), S_OK);
    EXPECT_NE(out, again);
    SysFreeString(out);
    SysFreeString(again);
    // An untouched element is a null text; replacing frees the old one (the leak checker sees it).
    index = 1;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
    EXPECT_EQ(out, nullptr);
    BSTR first = SysAllocString(OLESTR("a"));
    BSTR second = SysAllocString(OLESTR("b"));
    ASSERT_EQ(SafeArrayPutElement(psa, &index, first), S_OK);
    ASSERT_EQ(SafeArrayPutElement(psa, &index, second), S_OK);
    SysFreeString(first);
    SysFreeString(second);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(OleSafeArray, VariantAndInterfaceElementsOwnWhatTheyHold) {
    FakeDispatch object;
    SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 1, 2);
    ASSERT_NE(psa, nullptr);
    VARIANT in;
    VariantInit(&in);
    in.vt = VT_BSTR;
    in.bstrVal = SysAllocString(OLESTR("текст"));
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(psa, &index, &in), S_OK);
    VariantClear(&in);
    in.vt = VT_DISPATCH;
    in.pdispVal = &object;
    index = 2;
    ASSERT_EQ(SafeArrayPutElement(psa, &index, &in), S_OK);
    EXPECT_EQ(object.references(), 2u);
    VARIANT out;
    index = 1;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
    ASSERT_EQ(out.vt, VT_BSTR);
    EXPECT_EQ(Text(out.bstrVal), u"текст");
    VariantClear(&out);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(object.references(), 1u);

    SAFEARRAY* objects = SafeArrayCreateVector(VT_DISPATCH, 0, 1);
    ASSERT_NE(objects, nullptr);
    index = 0;
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IDispatch*>(&object)), S_OK);
    EXPECT_EQ(object.references(), 2u);
    IDispatch* got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(objects, &index, &got), S_OK);
    EXPECT_EQ(got, &object);
    EXPECT_EQ(object.references(), 3u);
    got->Release();
    ASSERT_EQ(SafeArrayPutElement(objects, &index, nullptr), S_OK);
    EXPECT_EQ(object.references(), 1u);
    EXPECT_EQ(SafeArrayDestroy(objects), S_OK);
}

TEST(OleSafeArray, LockedArraysRefuseDestructionAndStayIntact) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI2, 0, 3);
    ASSERT_NE(psa, nullptr);
    USHORT* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&data)), S_OK);
    data[2] = 0xBEEF;
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    EXPECT_EQ(psa->cLocks, 2u);
    ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
    LONG index = 2;
    USHORT value = 0;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &value), S_OK);
    EXPECT_EQ(value, 0xBEEF);

    // A variant holding a locked array is not cleared either.
    VARIANT holder;
    VariantInit(&holder);
    holder.vt = VT_ARRAY | VT_UI2;
    holder.parray = psa;
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    EXPECT_EQ(VariantClear(&holder), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(holder.vt, VT_ARRAY | VT_UI2);
    EXPECT_EQ(holder.parray, psa);
    ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(VariantClear(&holder), S_OK);
    EXPECT_EQ(holder.vt, VT_EMPTY);
}

TEST(OleSafeArray, CopiesAreDeepAndIndependent) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 5}};
    SAFEARRAY* psa = SafeArrayCreate(VT_BSTR, 2, bounds);
    ASSERT_NE(psa, nullptr);
    LONG indices[2] = {1, 6};
    BSTR text = SysAllocString(OLESTR("итог"));
    ASSERT_EQ(SafeArrayPutElement(psa, indices, text), S_OK);
    SysFreeString(text);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(SafeArrayGetDim(copy), 2u);
    LONG bound = 0;
    ASSERT_EQ(SafeArrayGetLBound(copy, 2, &bound), S_OK);
    EXPECT_EQ(bound, 5);
    VARTYPE vt = VT_EMPTY;
    ASSERT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
    EXPECT_EQ(vt, VT_BSTR);
    BSTR* source = nullptr;
    BSTR* copied = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&source)), S_OK);
    ASSERT_EQ(SafeArrayAccessData(copy, reinterpret_cast<void**>(&copied)), S_OK);
    EXPECT_NE(source[3], copied[3]);
    EXPECT_EQ(Text(copied[3]), u"итог");
    copied[3][0] = u'И';
    EXPECT_EQ(Text(source[3]), u"итог");
    EXPECT_EQ(copied[0], nullptr);
    SafeArrayUnaccessData(psa);
    SafeArrayUnaccessData(copy);
    // The copy starts unlocked even though the original was locked while copied.
    EXPECT_EQ(copy->cLocks, 0u);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

    SAFEARRAY* none = psa;
    EXPECT_EQ(SafeArrayCopy(nullptr, &none), S_OK);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(SafeArrayCopy(nullptr, nullptr), E_INVALIDARG);
}

TEST(OleSafeArray, UnsupportedShapesAreRefused) {
    SAFEARRAYBOUND bound = {1, 0};
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_NULL, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_RECORD, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4 | VT_BYREF, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
    // Indices past INT_MAX could not be addressed.
    EXPECT_EQ(SafeArrayCreateVector(VT_UI1, INT_MAX, 2), nullptr);
    SAFEARRAY* last = SafeArrayCreateVector(VT_UI1, INT_MAX, 1);
    ASSERT_NE(last, nullptr);
    SafeArrayDestroy(last);
    // More memory than any machine has.
    SAFEARRAYBOUND huge[2] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr);
    // Empty arrays are allowed.
    SAFEARRAY* empty = SafeArrayCreateVector(VT_BSTR, 0, 0);
    ASSERT_NE(empty, nullptr);
    LONG upper = 0;
    ASSERT_EQ(SafeArrayGetUBound(empty, 1, &upper), S_OK);
    EXPECT_EQ(upper, -1);
    LONG index = 0;
    BSTR out = nullptr;
    EXPECT_EQ(SafeArrayGetElement(empty, &index, &out), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(empty), S_OK);

    EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
    LONG lower;
    EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &lower), E_INVALIDARG);
}

}  // namespace
