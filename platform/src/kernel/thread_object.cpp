// Threads: CreateThread, _beginthreadex and the thread handle that is signalled at the end.
//
// Every thread runs detached; its handle object outlives it as long as someone holds the handle.
// TerminateThread cannot kill a POSIX thread safely, so it ends the handle's view of the thread:
// the handle is signalled with the given code at once and the thread finishes on its own.
#include "kernel_dispatcher.h"

#include <process.h>

#include <cerrno>
#include <climits>
#include <memory>

#include <pthread.h>
#include <unistd.h>

namespace brontal::kernel {

namespace {

class ThreadObject final : public Waitable {
  public:
    explicit ThreadObject(bool suspended) : Waitable(ObjectKind::Thread), suspended_(suspended) {}

    // All members below are guarded by the dispatcher lock.
    bool IsSignalled() const override { return ended_; }

    bool ended_ = false;
    bool terminated_ = false;
    bool suspended_;
    DWORD exitCode_ = STILL_ACTIVE;
    DWORD threadId_ = 0;
};

// What the new thread needs; owned by the thread once it runs.
struct StartBlock {
    std::shared_ptr<ThreadObject> self;
    LPTHREAD_START_ROUTINE winRoutine = nullptr;
    unsigned (*crtRoutine)(void*) = nullptr;
    void* parameter = nullptr;
};

// Signals the handle when the thread ends, by return or by _endthreadex (whose pthread_exit runs
// thread_local destructors as well).
struct ThreadExit {
    std::shared_ptr<ThreadObject> self;
    DWORD code = 0;

    ~ThreadExit() {
        if (!self) {
            return;
        }
        std::lock_guard<std::mutex> lock(DispatcherLock());
        if (!self->ended_) {
            self->ended_ = true;
            self->exitCode_ = code;
        }
        WakeWaiters();
    }
};

thread_local ThreadExit currentThreadExit;

void* ThreadMain(void* raw) {
    std::unique_ptr<StartBlock> block(static_cast<StartBlock*>(raw));
    std::shared_ptr<ThreadObject> self = block->self;
    {
        std::unique_lock<std::mutex> lock(DispatcherLock());
        self->threadId_ = GetCurrentThreadId();
        WakeWaiters();
        DispatcherWakeup().wait(lock, [&] { return !self->suspended_ || self->terminated_; });
        if (self->terminated_) {
            return nullptr;
        }
    }
    currentThreadExit.self = self;
    DWORD code = block->winRoutine ? block->winRoutine(block->parameter)
                                   : block->crtRoutine(block->parameter);
    currentThreadExit.code = code;
    return nullptr;
}

// Starts the thread; on failure returns nullptr and the errno value in *error.
HANDLE StartThread(std::unique_ptr<StartBlock> block, SIZE_T stackSize, DWORD* threadId,
                   int* error) {
    auto self = block->self;
    HANDLE handle = InsertHandle(self);
    if (!handle) {
        *error = EAGAIN;
        return nullptr;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize != 0) {
        // Windows rounds the reservation up; so do we, to the system's minimum and a page.
        const SIZE_T page = static_cast<SIZE_T>(sysconf(_SC_PAGESIZE));
        const SIZE_T minimum = static_cast<SIZE_T>(PTHREAD_STACK_MIN);
        SIZE_T size = stackSize < minimum ? minimum : stackSize;
        size = (size + page - 1) / page * page;
        pthread_attr_setstacksize(&attributes, size);
    }
    pthread_t thread;
    int rc = pthread_create(&thread, &attributes, ThreadMain, block.get());
    pthread_attr_destroy(&attributes);
    if (rc != 0) {
        CloseHandle(handle);
        *error = rc;
        return nullptr;
    }
    block.release();  // the thread owns it now
    std::unique_lock<std::mutex> lock(DispatcherLock());
    DispatcherWakeup().wait(lock, [&] { return self->threadId_ != 0; });
    if (threadId) {
        *threadId = self->threadId_;
    }
    return handle;
}

}  // namespace

}  // namespace brontal::kernel

using brontal::kernel::ObjectKind;
using brontal::kernel::StartBlock;
using brontal::kernel::ThreadObject;

WINBASEAPI HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize,
                                      LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                                      DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto block = std::make_unique<StartBlock>();
    block->self = std::make_shared<ThreadObject>((dwCreationFlags & CREATE_SUSPENDED) != 0);
    block->winRoutine = lpStartAddress;
    block->parameter = lpParameter;
    int error = 0;
    HANDLE handle = brontal::kernel::StartThread(std::move(block), dwStackSize, lpThreadId, &error);
    if (!handle) {
        SetLastError(error == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
    }
    return handle;
}

WINBASEAPI DWORD WINAPI ResumeThread(HANDLE hThread) {
    auto thread = brontal::kernel::LookupHandleOf<ThreadObject>(hThread, ObjectKind::Thread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    std::lock_guard<std::mutex> lock(brontal::kernel::DispatcherLock());
    DWORD previous = thread->suspended_ ? 1 : 0;
    thread->suspended_ = false;
    brontal::kernel::WakeWaiters();
    return previous;
}

WINBASEAPI BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = brontal::kernel::LookupHandleOf<ThreadObject>(hThread, ObjectKind::Thread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(brontal::kernel::DispatcherLock());
    *lpExitCode = thread->exitCode_;
    return TRUE;
}

WINBASEAPI BOOL WINAPI TerminateThread(HANDLE hThread, DWORD dwExitCode) {
    auto thread = brontal::kernel::LookupHandleOf<ThreadObject>(hThread, ObjectKind::Thread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    bool self = false;
    {
        std::lock_guard<std::mutex> lock(brontal::kernel::DispatcherLock());
        if (!thread->ended_) {
            thread->ended_ = true;
            thread->terminated_ = true;
            thread->exitCode_ = dwExitCode;
        }
        self = thread->threadId_ == GetCurrentThreadId();
        brontal::kernel::WakeWaiters();
    }
    // Ending oneself is safe: it is _endthreadex with the code already recorded.
    if (self) {
        pthread_exit(nullptr);
    }
    return TRUE;
}

WINBASEAPI uintptr_t _beginthreadex(void*, unsigned stack_size, unsigned (*start_address)(void*),
                                    void* arglist, unsigned initflag, unsigned* thrdaddr) {
    if (!start_address) {
        errno = EINVAL;
        return 0;
    }
    auto block = std::make_unique<StartBlock>();
    block->self = std::make_shared<ThreadObject>((initflag & CREATE_SUSPENDED) != 0);
    block->crtRoutine = start_address;
    block->parameter = arglist;
    int error = 0;
    DWORD threadId = 0;
    HANDLE handle = brontal::kernel::StartThread(std::move(block), stack_size, &threadId, &error);
    if (!handle) {
        errno = error == EINVAL ? EINVAL : EAGAIN;
        return 0;
    }
    if (thrdaddr) {
        *thrdaddr = threadId;
    }
    return reinterpret_cast<uintptr_t>(handle);
}

WINBASEAPI void _endthreadex(unsigned retval) {
    brontal::kernel::currentThreadExit.code = retval;
    pthread_exit(nullptr);
}
