// Binary layout of the Automation types and the BSTR allocation rules.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::u16string Text(BSTR b) {
    return std::u16string(b, SysStringLen(b));
}

DWORD Prefix(BSTR b) {
    DWORD prefix;
    std::memcpy(&prefix, reinterpret_cast<const BYTE*>(b) - 4, 4);
    return prefix;
}

TEST(OleLayout, VariantMembersShareTheValueSlotAtOffsetEight) {
    VARIANT v;
    std::memset(&v, 0xAB, sizeof(v));
    VariantInit(&v);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);
    v.vt = VT_I4;
    V_I4(&v) = 0x11223344;
    const auto* bytes = reinterpret_cast<const BYTE*>(&v);
    EXPECT_EQ(bytes[0], VT_I4);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[8], 0x44);
    EXPECT_EQ(bytes[11], 0x11);
    EXPECT_EQ(V_UI4(&v), 0x11223344u);
    EXPECT_EQ(V_UI1(&v), 0x44);
    V_R8(&v) = 1.5;
    double raw;
    std::memcpy(&raw, bytes + 8, sizeof(raw));
    EXPECT_EQ(raw, 1.5);
    V_CY(&v).int64 = -2;
    EXPECT_EQ(V_CY(&v).Hi, -1);
    EXPECT_EQ(V_CY(&v).Lo, 0xFFFFFFFEu);
    // DECIMAL covers the whole variant, its reserved word being the type field.
    V_DECIMAL(&v).wReserved = VT_BSTR;
    EXPECT_EQ(V_VT(&v), VT_BSTR);
    V_DECIMAL(&v).Lo64 = 7;
    EXPECT_EQ(bytes[8], 7);
    EXPECT_EQ(VARIANT_TRUE, -1);
    EXPECT_EQ(VARIANT_FALSE, 0);
}

TEST(OleLayout, GuidBytesAreInWindowsOrder) {
    const BYTE expected[16] = {0x00, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(std::memcmp(&IID_IDispatch, expected, 16), 0);
    EXPECT_TRUE(IID_IErrorInfo == IID_IErrorInfo);
    EXPECT_FALSE(IID_IErrorInfo == IID_ICreateErrorInfo);
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, CLSID_NULL));
}

// Records which entry of the vtable a raw call reached.
class SlotProbe final : public IDispatch {
  public:
    int last = -1;
    STDMETHODIMP QueryInterface(REFIID, void**) override { return Hit(0); }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(Hit(1)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(Hit(2)); }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return Hit(3); }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return Hit(4); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return Hit(5); }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return Hit(6);
    }

  private:
    HRESULT Hit(int slot) {
        last = slot;
        return slot;
    }
};

TEST(OleLayout, DispatchVtableHasTheWindowsOrderAtOffsetZero) {
    SlotProbe probe;
    IDispatch* dispatch = &probe;
    ASSERT_EQ(static_cast<void*>(dispatch), static_cast<void*>(&probe));
    // A C client calls through the table: slot n with the object as the first argument.
    using Slot = long (*)(void*);
    void** table = *reinterpret_cast<void***>(dispatch);
    for (int slot = 0; slot < 7; ++slot) {
        probe.last = -1;
        // Every entry takes the object first; the further arguments are not read by the probe.
        reinterpret_cast<Slot>(table[slot])(dispatch);
        EXPECT_EQ(probe.last, slot);
    }
}

TEST(OleBstr, LengthPrefixCountsBytesAndAZeroFollows) {
    BSTR b = SysAllocString(OLESTR("Касса"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Prefix(b), 10u);
    EXPECT_EQ(SysStringLen(b), 5u);
    EXPECT_EQ(SysStringByteLen(b), 10u);
    EXPECT_EQ(b[5], 0);
    EXPECT_EQ(Text(b), u"Касса");
    SysFreeString(b);
}

TEST(OleBstr, EmbeddedZerosAndOddByteLengthsAreKept) {
    const OLECHAR withZero[] = {u'a', 0, u'b'};
    BSTR b = SysAllocStringLen(withZero, 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(b[2], u'b');
    EXPECT_EQ(b[3], 0);
    SysFreeString(b);

    BSTR odd = SysAllocStringByteLen("xyz", 3);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(SysStringByteLen(odd), 3u);
    EXPECT_EQ(SysStringLen(odd), 1u);
    const auto* bytes = reinterpret_cast<const BYTE*>(odd);
    EXPECT_EQ(std::memcmp(bytes, "xyz", 3), 0);
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[4], 0);
    SysFreeString(odd);
}

TEST(OleBstr, NullTextsAndUninitialisedAllocations) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
    BSTR blank = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(SysStringLen(blank), 4u);
    EXPECT_EQ(Text(blank), std::u16string(4, u'\0'));
    SysFreeString(blank);
    BSTR empty = SysAllocString(OLESTR(""));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    EXPECT_EQ(empty[0], 0);
    SysFreeString(empty);
}

TEST(OleBstr, LengthsBeyondThe32BitPrefixAreRefused) {
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(OleBstr, ReAllocReplacesEvenFromItsOwnText) {
    BSTR b = SysAllocString(OLESTR("prefix-tail"));
    ASSERT_TRUE(SysReAllocString(&b, b + 7));
    EXPECT_EQ(Text(b), u"tail");
    ASSERT_TRUE(SysReAllocStringLen(&b, b, 2));
    EXPECT_EQ(Text(b), u"ta");
    ASSERT_TRUE(SysReAllocString(&b, nullptr));
    EXPECT_EQ(b, nullptr);
    EXPECT_FALSE(SysReAllocString(nullptr, OLESTR("x")));
    // A failed reallocation keeps the old text.
    b = SysAllocString(OLESTR("kept"));
    EXPECT_FALSE(SysReAllocStringLen(&b, nullptr, 0x80000000u));
    EXPECT_EQ(Text(b), u"kept");
    SysFreeString(b);
}

}  // namespace
