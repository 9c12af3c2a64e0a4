// The process's table of kernel object handles (events, threads, files, serial ports).
//
// A handle is a small number dressed as a pointer. Values are not reused until the counter wraps,
// so a handle that was closed keeps failing with ERROR_INVALID_HANDLE instead of reaching a new
// object by accident. An object lives while its handle or an operation in progress holds it.
#pragma once

#include <windows.h>

#include <memory>

namespace brontal::kernel {

enum class ObjectKind { Event, Thread, File, Serial };

class KernelObject {
  public:
    explicit KernelObject(ObjectKind kind) : kind_(kind) {}
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    ObjectKind Kind() const { return kind_; }

  private:
    const ObjectKind kind_;
};

// Gives the object a new handle. nullptr (with the last error set) when the table is full.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind a live handle, or nullptr for closed, unknown and pseudo values.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

// The object when it is of the given kind; nullptr otherwise.
template <class T>
std::shared_ptr<T> LookupHandleOf(HANDLE handle, ObjectKind kind) {
    std::shared_ptr<KernelObject> object = LookupHandle(handle);
    if (!object || object->Kind() != kind) {
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

}  // namespace brontal::kernel
