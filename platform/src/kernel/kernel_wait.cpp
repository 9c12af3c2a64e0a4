#include "kernel_dispatcher.h"

#include <chrono>
#include <memory>
#include <vector>

namespace brontal::kernel {

namespace {

struct Dispatcher {
    std::mutex mutex;
    std::condition_variable wakeup;
};

Dispatcher& TheDispatcher() {
    static Dispatcher* dispatcher = new Dispatcher;
    return *dispatcher;
}

std::shared_ptr<Waitable> LookupWaitable(HANDLE handle) {
    std::shared_ptr<KernelObject> object = LookupHandle(handle);
    if (!object || (object->Kind() != ObjectKind::Event && object->Kind() != ObjectKind::Thread)) {
        return nullptr;
    }
    return std::static_pointer_cast<Waitable>(object);
}

// Checks the objects once; WAIT_TIMEOUT when the wait is not satisfied yet.
DWORD TrySatisfy(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll) {
    if (waitAll) {
        for (const auto& object : objects) {
            if (!object->IsSignalled()) {
                return WAIT_TIMEOUT;
            }
        }
        for (const auto& object : objects) {
            object->Consume();
        }
        return WAIT_OBJECT_0;
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->IsSignalled()) {
            objects[i]->Consume();
            return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
    }
    return WAIT_TIMEOUT;
}

DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll,
                     DWORD milliseconds) {
    Dispatcher& dispatcher = TheDispatcher();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lock(dispatcher.mutex);
    for (;;) {
        DWORD result = TrySatisfy(objects, waitAll);
        if (result != WAIT_TIMEOUT || milliseconds == 0) {
            return result;
        }
        if (milliseconds == INFINITE) {
            dispatcher.wakeup.wait(lock);
        } else if (dispatcher.wakeup.wait_until(lock, deadline) == std::cv_status::timeout) {
            return TrySatisfy(objects, waitAll);
        }
    }
}

}  // namespace

std::mutex& DispatcherLock() {
    return TheDispatcher().mutex;
}

void WakeWaiters() {
    TheDispatcher().wakeup.notify_all();
}

std::condition_variable& DispatcherWakeup() {
    return TheDispatcher().wakeup;
}

}  // namespace brontal::kernel

using brontal::kernel::Waitable;

WINBASEAPI DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<Waitable> object = brontal::kernel::LookupWaitable(hHandle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return brontal::kernel::WaitForObjects({object}, false, dwMilliseconds);
}

WINBASEAPI DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Waitable>> objects;
    objects.reserve(nCount);
    for (DWORD i = 0; i < nCount; ++i) {
        std::shared_ptr<Waitable> object = brontal::kernel::LookupWaitable(lpHandles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        // Waiting for all of one object twice cannot be satisfied atomically: Windows refuses it.
        if (bWaitAll) {
            for (const auto& seen : objects) {
                if (seen == object) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return WAIT_FAILED;
                }
            }
        }
        objects.push_back(std::move(object));
    }
    return brontal::kernel::WaitForObjects(objects, bWaitAll != FALSE, dwMilliseconds);
}
