// GUID texts, apartments and task memory of the component runtime.
#include <gtest/gtest.h>

#include <windows.h>

#include "TestSupport.h"

#include <cstring>
#include <string>
#include <thread>

namespace {

std::u16string GuidText(REFGUID guid) {
    OLECHAR text[39];
    EXPECT_EQ(StringFromGUID2(guid, text, 39), 39);
    return text;
}

TEST(ComGuid, StandardInterfaceIdentifiers) {
    EXPECT_EQ(GuidText(IID_IUnknown), u"{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidText(IID_IClassFactory), u"{00000001-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidText(IID_IDispatch), u"{00020400-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidText(IID_IErrorInfo), u"{1CF2B120-547D-101B-8E65-08002B2BD119}");
    EXPECT_EQ(GuidText(IID_ICreateErrorInfo), u"{22F03340-547D-101B-8E65-08002B2BD119}");
    EXPECT_EQ(GuidText(IID_ISupportErrorInfo), u"{DF0B3D60-548F-101B-8E65-08002B2BD119}");
}

TEST(ComGuid, TextRoundTrip) {
    const GUID guid = {
        0x89ABCDEF, 0x0123, 0xFEDC, {0xBA, 0x98, 0x76, 0x54, 0x32, 0x10, 0x0F, 0xF0}};
    LPOLESTR text = nullptr;
    ASSERT_EQ(StringFromCLSID(guid, &text), S_OK);
    EXPECT_EQ(std::u16string(text), u"{89ABCDEF-0123-FEDC-BA98-765432100FF0}");
    CLSID back = GUID_NULL;
    ASSERT_EQ(CLSIDFromString(text, &back), S_OK);
    EXPECT_TRUE(back == guid);
    CoTaskMemFree(text);
    ASSERT_EQ(CLSIDFromString(OLESTR("{89abcdef-0123-fedc-ba98-765432100ff0}"), &back), S_OK);
    EXPECT_TRUE(back == guid);
    IID iid = GUID_NULL;
    ASSERT_EQ(IIDFromString(OLESTR("{00020400-0000-0000-C000-000000000046}"), &iid), S_OK);
    EXPECT_TRUE(iid == IID_IDispatch);

    OLECHAR shortBuffer[38];
    EXPECT_EQ(StringFromGUID2(guid, shortBuffer, 38), 0);
    EXPECT_EQ(CLSIDFromString(nullptr, &back), S_OK);
    EXPECT_TRUE(back == CLSID_NULL);
}

TEST(ComGuid, MalformedTextsAreRefused) {
    const char16_t* bad[] = {
        u"{89ABCDEF-0123-FEDC-BA98-765432100FF0",
        u"{89ABCDEF-0123-FEDC-BA98-765432100FF0}x",
        u"{89ABCDEF-0123-FEDC-BA98-765432100FF}",
        u"{89ABCDEF+0123-FEDC-BA98-765432100FF0}",
        u"{89ABCDEG-0123-FEDC-BA98-765432100FF0}",
        u"{89ABCDEF-0123-FEDCBA98-765432100FF00}",
        u"{}",
        u"{",
    };
    for (const char16_t* text : bad) {
        const GUID kept = IID_IDispatch;
        IID iid = kept;
        EXPECT_EQ(IIDFromString(text, &iid), E_INVALIDARG);
        EXPECT_TRUE(iid == kept);
        CLSID clsid = kept;
        EXPECT_EQ(CLSIDFromString(text, &clsid), CO_E_CLASSSTRING);
    }
}

TEST(ComApartment, NestedInitialisationCountsPerThread) {
    std::thread worker([] {
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        // Fully left: the other model may be entered now.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
        CoUninitialize();  // one too many is harmless
        EXPECT_EQ(CoInitializeEx(reinterpret_cast<void*>(1), COINIT_MULTITHREADED), E_INVALIDARG);
    });
    worker.join();
}

TEST(ComApartment, CreationNeedsAnApartment) {
    void* object = reinterpret_cast<void*>(1);
    std::thread outside([&] {
        EXPECT_EQ(
            CoCreateInstance(IID_IDispatch, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CO_E_NOTINITIALIZED);
    });
    outside.join();
    EXPECT_EQ(object, nullptr);
    // A multithreaded apartment anywhere in the process is joined implicitly, as on Windows.
    testsupport::ScopedRegistryDir registry;
    std::thread member([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        std::thread guest([] {
            void* object = nullptr;
            EXPECT_NE(CoGetClassObject(IID_IDispatch, CLSCTX_INPROC_SERVER, nullptr,
                                       IID_IClassFactory, &object),
                      CO_E_NOTINITIALIZED);
        });
        guest.join();
        CoUninitialize();
    });
    member.join();
    EXPECT_EQ(CoCreateInstance(IID_IDispatch, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
              E_POINTER);
}

TEST(ComTaskMemory, AllocateGrowAndFree) {
    auto* block = static_cast<char*>(CoTaskMemAlloc(4));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "abc", 4);
    block = static_cast<char*>(CoTaskMemRealloc(block, 4096));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abc");
    CoTaskMemFree(block);
    CoTaskMemFree(nullptr);
    void* empty = CoTaskMemAlloc(0);
    EXPECT_NE(empty, nullptr);
    CoTaskMemFree(empty);
}

}  // namespace
