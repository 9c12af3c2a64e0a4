// Events, manual and auto reset. Safe to signal from any thread, the registry's notification
// thread included. Named events are shared within the process.
#include "kernel_dispatcher.h"

#include <map>
#include <string>

namespace brontal::kernel {

namespace {

class EventObject final : public Waitable {
  public:
    EventObject(bool manualReset, bool signalled)
        : Waitable(ObjectKind::Event), manualReset_(manualReset), signalled_(signalled) {}

    bool IsSignalled() const override { return signalled_; }
    void Consume() override {
        if (!manualReset_) {
            signalled_ = false;
        }
    }
    void Set() { signalled_ = true; }
    void Reset() { signalled_ = false; }

  private:
    const bool manualReset_;
    bool signalled_;  // guarded by the dispatcher lock
};

struct NamedEvents {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<EventObject>> byName;
};

NamedEvents& TheNamedEvents() {
    static NamedEvents* names = new NamedEvents;
    return *names;
}

}  // namespace

}  // namespace brontal::kernel

using brontal::kernel::EventObject;
using brontal::kernel::ObjectKind;

WINBASEAPI HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                                      LPCSTR lpName) {
    if (!lpName || !*lpName) {
        auto event = std::make_shared<EventObject>(bManualReset != FALSE, bInitialState != FALSE);
        HANDLE handle = brontal::kernel::InsertHandle(event);
        if (handle) {
            SetLastError(ERROR_SUCCESS);
        }
        return handle;
    }
    auto& names = brontal::kernel::TheNamedEvents();
    std::lock_guard<std::mutex> lock(names.mutex);
    std::shared_ptr<EventObject> event = names.byName[lpName].lock();
    // Opening an existing name keeps its type and state, and says so as Windows does.
    const bool existed = event != nullptr;
    if (!existed) {
        std::erase_if(names.byName, [](const auto& entry) { return entry.second.expired(); });
        event = std::make_shared<EventObject>(bManualReset != FALSE, bInitialState != FALSE);
        names.byName[lpName] = event;
    }
    HANDLE handle = brontal::kernel::InsertHandle(event);
    if (handle) {
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    }
    return handle;
}

WINBASEAPI BOOL WINAPI SetEvent(HANDLE hEvent) {
    auto event = brontal::kernel::LookupHandleOf<EventObject>(hEvent, ObjectKind::Event);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(brontal::kernel::DispatcherLock());
    event->Set();
    brontal::kernel::WakeWaiters();
    return TRUE;
}

WINBASEAPI BOOL WINAPI ResetEvent(HANDLE hEvent) {
    auto event = brontal::kernel::LookupHandleOf<EventObject>(hEvent, ObjectKind::Event);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(brontal::kernel::DispatcherLock());
    event->Reset();
    return TRUE;
}
