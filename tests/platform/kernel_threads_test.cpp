// Threads: start, exit codes, signalled handles, suspension and TerminateThread.
#include <windows.h>
#include <process.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

namespace {

DWORD WINAPI ReturnParameter(LPVOID parameter) {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}

DWORD WINAPI WaitForEventThenReturn(LPVOID parameter) {
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 7;
}

struct Recorder {
    std::atomic<DWORD> threadId{0};
    std::atomic<bool> ran{false};
};

DWORD WINAPI RecordThreadId(LPVOID parameter) {
    auto* recorder = static_cast<Recorder*>(parameter);
    recorder->threadId = GetCurrentThreadId();
    recorder->ran = true;
    return 0;
}

unsigned EndThreadEarly(void* parameter) {
    static_cast<std::atomic<bool>*>(parameter)->store(true);
    _endthreadex(42);
    static_cast<std::atomic<bool>*>(parameter)->store(false);  // never reached
    return 1;
}

TEST(KernelThreads, HandleIsSignalledAtExitWithTheExitCode) {
    HANDLE thread =
        CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(1234), 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 1234u);
    // An ended thread stays signalled.
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(KernelThreads, StillActiveWhileRunning) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitForEventThenReturn, go, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(go);
    HANDLE both[] = {thread, go};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(thread);
    CloseHandle(go);
}

TEST(KernelThreads, ThreadIdMatchesTheThreadsOwnView) {
    Recorder recorder;
    DWORD reported = 0;
    HANDLE thread = CreateThread(nullptr, 64 * 1024, RecordThreadId, &recorder, 0, &reported);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    EXPECT_EQ(recorder.threadId.load(), reported);
    EXPECT_NE(reported, GetCurrentThreadId());
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    CloseHandle(thread);
}

TEST(KernelThreads, SuspendedThreadWaitsForResume) {
    Recorder recorder;
    HANDLE thread = CreateThread(nullptr, 0, RecordThreadId, &recorder, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(recorder.ran);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(recorder.ran);
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
}

TEST(KernelThreads, TerminateSignalsAtOnceAndDiscardsTheLaterExitCode) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitForEventThenReturn, go, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(TerminateThread(thread, 99));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 99u);
    // Let the detached thread finish; its own exit code 7 must not replace 99.
    SetEvent(go);
    Sleep(20);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 99u);
    CloseHandle(thread);
    CloseHandle(go);
}

TEST(KernelThreads, TerminatedSuspendedThreadNeverRuns) {
    Recorder recorder;
    HANDLE thread = CreateThread(nullptr, 0, RecordThreadId, &recorder, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(TerminateThread(thread, 5));
    EXPECT_EQ(ResumeThread(thread), 1u);
    Sleep(20);
    EXPECT_FALSE(recorder.ran);
    CloseHandle(thread);
}

TEST(KernelThreads, ClosingTheHandleLeavesTheThreadRunning) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    struct Pair {
        HANDLE go, done;
    } pair{go, done};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* pair = static_cast<Pair*>(p);
            WaitForSingleObject(pair->go, INFINITE);
            SetEvent(pair->done);
            return 0;
        },
        &pair, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    CloseHandle(go);
    CloseHandle(done);
}

TEST(KernelThreads, BeginThreadExAndEndThreadEx) {
    std::atomic<bool> reached{false};
    unsigned id = 0;
    uintptr_t raw = _beginthreadex(nullptr, 0, EndThreadEarly, &reached, 0, &id);
    ASSERT_NE(raw, 0u);
    EXPECT_NE(id, 0u);
    HANDLE thread = reinterpret_cast<HANDLE>(raw);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_TRUE(reached);
    CloseHandle(thread);

    errno = 0;
    EXPECT_EQ(_beginthreadex(nullptr, 0, nullptr, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(errno, EINVAL);
    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(KernelThreads, ThreadHandlesAreNotEvents) {
    HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    SetLastError(0);
    EXPECT_FALSE(SetEvent(thread));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_FALSE(TerminateThread(event, 0));
    CloseHandle(event);
    CloseHandle(thread);
}

}  // namespace
