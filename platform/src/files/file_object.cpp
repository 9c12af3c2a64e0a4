#include "file_object.h"

#include "file_errors.h"
#include "file_share.h"

#include <cerrno>

#include <unistd.h>

namespace brontal::file {

FileObject::FileObject(int fd, bool canRead, bool canWrite, std::uint64_t shareToken)
    : IoObject(kernel::ObjectKind::File),
      fd_(fd),
      canRead_(canRead),
      canWrite_(canWrite),
      shareToken_(shareToken) {}

FileObject::~FileObject() {
    close(fd_);
    ReleaseShare(shareToken_);
}

DWORD FileObject::Read(void* buffer, DWORD size, DWORD* done) {
    *done = 0;
    if (!canRead_) {
        return ERROR_ACCESS_DENIED;
    }
    auto* out = static_cast<char*>(buffer);
    // A synchronous read of a file ends at the size asked for or at the end of the file.
    while (*done < size) {
        ssize_t n = read(fd_, out + *done, size - *done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return ErrorFromErrno(errno, std::string());
        }
        if (n == 0) {
            break;
        }
        *done += static_cast<DWORD>(n);
    }
    return ERROR_SUCCESS;
}

DWORD FileObject::Write(const void* data, DWORD size, DWORD* done) {
    *done = 0;
    if (!canWrite_) {
        return ERROR_ACCESS_DENIED;
    }
    const auto* in = static_cast<const char*>(data);
    while (*done < size) {
        ssize_t n = write(fd_, in + *done, size - *done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return ErrorFromErrno(errno, std::string());
        }
        if (n == 0) {
            return ERROR_WRITE_FAULT;
        }
        *done += static_cast<DWORD>(n);
    }
    return ERROR_SUCCESS;
}

DWORD FileObject::Flush() {
    if (!canWrite_) {
        return ERROR_ACCESS_DENIED;
    }
    if (fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        return ErrorFromErrno(errno, std::string());
    }
    return ERROR_SUCCESS;
}

std::shared_ptr<FileObject> LookupFile(HANDLE handle, DWORD* error) {
    std::shared_ptr<kernel::KernelObject> object = kernel::LookupHandle(handle);
    if (object && object->Kind() == kernel::ObjectKind::File) {
        return std::static_pointer_cast<FileObject>(object);
    }
    *error = object && object->Kind() == kernel::ObjectKind::Serial ? ERROR_INVALID_FUNCTION
                                                                    : ERROR_INVALID_HANDLE;
    return nullptr;
}

}  // namespace brontal::file

namespace brontal::kernel {

std::shared_ptr<IoObject> LookupIo(HANDLE handle) {
    std::shared_ptr<KernelObject> object = LookupHandle(handle);
    if (!object || (object->Kind() != ObjectKind::File && object->Kind() != ObjectKind::Serial)) {
        return nullptr;
    }
    return std::static_pointer_cast<IoObject>(object);
}

}  // namespace brontal::kernel
