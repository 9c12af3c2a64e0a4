// Events, handles and the wait functions.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct OwnedHandle {
    HANDLE h;
    explicit OwnedHandle(HANDLE value) : h(value) {}
    ~OwnedHandle() {
        if (h) {
            CloseHandle(h);
        }
    }
};

TEST(KernelHandles, ClosedAndUnknownHandlesAreRefused) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_NE(event, INVALID_HANDLE_VALUE);
    DWORD flags = 0xFFFF;
    EXPECT_TRUE(GetHandleInformation(event, &flags));
    EXPECT_EQ(flags, 0u);
    EXPECT_TRUE(CloseHandle(event));

    SetLastError(0);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(GetHandleInformation(event, &flags));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);

    for (HANDLE bogus :
         {HANDLE(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x12345)}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(bogus));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

TEST(KernelHandles, ValuesAreNotReusedRightAway) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(first));
    HANDLE second = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OwnedHandle guard(second);
    EXPECT_NE(first, second);
    EXPECT_FALSE(GetHandleInformation(first, nullptr));
}

TEST(KernelEvents, ManualResetStaysSignalledUntilReset) {
    OwnedHandle event(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(event.h, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.h, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(event.h));
    EXPECT_EQ(WaitForSingleObject(event.h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(SetEvent(event.h));
    EXPECT_EQ(WaitForSingleObject(event.h, 10), WAIT_OBJECT_0);
}

TEST(KernelEvents, AutoResetReleasesOneWait) {
    OwnedHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    EXPECT_EQ(WaitForSingleObject(event.h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(SetEvent(event.h));
    EXPECT_TRUE(SetEvent(event.h));  // does not count
    EXPECT_EQ(WaitForSingleObject(event.h, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(KernelEvents, TimeoutWaitsAtLeastTheTime) {
    OwnedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(WaitForSingleObject(event.h, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(GetTickCount64() - start, 49u);
}

TEST(KernelEvents, SignalFromAnotherThreadWakesInfiniteWait) {
    OwnedHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    std::atomic<bool> set{false};
    std::thread signaller([&] {
        Sleep(20);
        set = true;
        SetEvent(event.h);
    });
    EXPECT_EQ(WaitForSingleObject(event.h, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(set);
    signaller.join();
    EXPECT_EQ(WaitForSingleObject(event.h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(KernelEvents, NamedEventIsSharedWithinTheProcess) {
    OwnedHandle first(CreateEventA(nullptr, TRUE, FALSE, "brontal-test-named"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    OwnedHandle second(CreateEventA(nullptr, FALSE, TRUE, "brontal-test-named"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first.h, second.h);
    // The existing object's state and type win over the second call's arguments.
    EXPECT_EQ(WaitForSingleObject(second.h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(first.h);
    EXPECT_EQ(WaitForSingleObject(second.h, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second.h, 0), WAIT_OBJECT_0);
}

TEST(KernelWaits, WaitAnyReportsTheLowestSignalledIndex) {
    OwnedHandle a(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    OwnedHandle b(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    OwnedHandle c(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    HANDLE all[] = {a.h, b.h, c.h};
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(c.h);
    SetEvent(b.h);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 1);
    // Only b's signal was taken.
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(KernelWaits, WaitAllTakesEverySignalAtOnceOrNone) {
    OwnedHandle a(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    OwnedHandle b(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HANDLE both[] = {a.h, b.h};
    SetEvent(a.h);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    // The unsatisfied wait-all left a's signal in place.
    EXPECT_EQ(WaitForSingleObject(a.h, 0), WAIT_OBJECT_0);

    std::thread signaller([&] {
        SetEvent(a.h);
        Sleep(20);
        SetEvent(b.h);
    });
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
    signaller.join();
    EXPECT_EQ(WaitForSingleObject(a.h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(b.h, 0), WAIT_OBJECT_0);
}

TEST(KernelWaits, BadArgumentsFail) {
    OwnedHandle a(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    HANDLE twice[] = {a.h, a.h};
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);

    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(0, twice, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
    for (HANDLE& h : many) {
        h = a.h;
    }
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, many, FALSE, 0), WAIT_FAILED);

    HANDLE withBad[] = {a.h, reinterpret_cast<HANDLE>(0x7777)};
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(2, withBad, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
