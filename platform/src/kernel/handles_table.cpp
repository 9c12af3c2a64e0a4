#include "handles_table.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace brontal::kernel {

namespace {

// Multiples of 4 like Windows handles, far below the registry's predefined keys and never -1.
constexpr std::uintptr_t kFirstHandle = 0x100;
constexpr std::uintptr_t kLastHandle = 0x3FFFFFFC;
constexpr std::size_t kMaxLiveHandles = 1 << 20;

class HandleTable {
  public:
    HANDLE Insert(std::shared_ptr<KernelObject> object) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (objects_.size() >= kMaxLiveHandles) {
            return nullptr;
        }
        while (objects_.count(next_) != 0) {
            Advance();
        }
        std::uintptr_t value = next_;
        Advance();
        objects_.emplace(value, std::move(object));
        return reinterpret_cast<HANDLE>(value);
    }

    std::shared_ptr<KernelObject> Lookup(HANDLE handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == objects_.end() ? nullptr : it->second;
    }

    std::shared_ptr<KernelObject> Remove(HANDLE handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == objects_.end()) {
            return nullptr;
        }
        std::shared_ptr<KernelObject> object = std::move(it->second);
        objects_.erase(it);
        return object;
    }

  private:
    void Advance() { next_ = next_ >= kLastHandle ? kFirstHandle : next_ + 4; }

    std::mutex mutex_;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects_;
    std::uintptr_t next_ = kFirstHandle;
};

// Never destroyed: detached threads may still close handles while the process exits.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HANDLE handle = Table().Insert(std::move(object));
    if (!handle) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return handle;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    if (!handle || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return Table().Lookup(handle);
}

}  // namespace brontal::kernel

using brontal::kernel::KernelObject;

WINBASEAPI BOOL WINAPI CloseHandle(HANDLE hObject) {
    std::shared_ptr<KernelObject> object;
    if (hObject && hObject != INVALID_HANDLE_VALUE) {
        object = brontal::kernel::Table().Remove(hObject);
    }
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // The kind's own destructor releases what the object holds (descriptor, port claims, thread
    // reference) once no operation in progress still uses it.
    object.reset();
    return TRUE;
}

WINBASEAPI BOOL WINAPI GetHandleInformation(HANDLE hObject, LPDWORD lpdwFlags) {
    if (!brontal::kernel::LookupHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpdwFlags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpdwFlags = 0;
    return TRUE;
}
