// CreateFileA: serial ports by COM name or by terminal device path, regular files otherwise.
#include "file_errors.h"
#include "file_object.h"
#include "file_share.h"
#include "serial_port.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brontal::file {

namespace {

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

int OpenRetrying(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens per the disposition; *existed tells whether the file was there before.
int OpenByDisposition(const std::string& path, int flags, mode_t mode, DWORD disposition,
                      bool* existed) {
    *existed = true;
    switch (disposition) {
        case CREATE_NEW:
            *existed = false;
            return OpenRetrying(path.c_str(), flags | O_CREAT | O_EXCL, mode);
        case OPEN_EXISTING:
        case TRUNCATE_EXISTING:
            return OpenRetrying(path.c_str(), flags, 0);
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            // Create-or-open without O_TRUNC: truncation waits until the share check passed.
            for (int attempt = 0; attempt < 16; ++attempt) {
                int fd = OpenRetrying(path.c_str(), flags | O_CREAT | O_EXCL, mode);
                if (fd >= 0 || errno != EEXIST) {
                    *existed = false;
                    return fd;
                }
                fd = OpenRetrying(path.c_str(), flags, 0);
                if (fd >= 0 || errno != ENOENT) {
                    return fd;
                }
            }
            errno = EBUSY;
            return -1;
        default:
            errno = EINVAL;
            return -1;
    }
}

HANDLE OpenRegularFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                       DWORD flagsAndAttributes) {
    const bool read = (access & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE)) != 0;
    const bool fullWrite = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0;
    const bool write = fullWrite || (access & FILE_APPEND_DATA) != 0;
    if (disposition == TRUNCATE_EXISTING && !write) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    int flags = O_CLOEXEC | O_NOCTTY;
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    if (write && !fullWrite) {
        flags |= O_APPEND;  // append-only access: every write lands at the end
    }
    if (flagsAndAttributes & FILE_FLAG_WRITE_THROUGH) {
        flags |= O_DSYNC;
    }
    const mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;

    bool existed = false;
    int fd = OpenByDisposition(path, flags, mode, disposition, &existed);
    if (fd < 0) {
        return Fail(ErrorFromErrno(errno, path));
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return Fail(ERROR_ACCESS_DENIED);  // what Windows answers for a folder
    }
    std::uint64_t token = ClaimShare({info.st_dev, info.st_ino, read, write, share});
    if (token == 0) {
        close(fd);
        return Fail(ERROR_SHARING_VIOLATION);
    }
    auto file = std::make_shared<FileObject>(fd, read, write, token);
    const bool truncate =
        disposition == TRUNCATE_EXISTING || (disposition == CREATE_ALWAYS && existed);
    if (truncate && (!write || ftruncate(fd, 0) != 0)) {
        return Fail(write ? ErrorFromErrno(errno, path) : ERROR_ACCESS_DENIED);
    }
    HANDLE handle = kernel::InsertHandle(std::move(file));
    if (!handle) {
        return INVALID_HANDLE_VALUE;
    }
    const bool reportExisting =
        existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

}  // namespace

}  // namespace brontal::file

WINBASEAPI HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE) {
    using brontal::file::Fail;
    if (!lpFileName) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) {
        return Fail(ERROR_NOT_SUPPORTED);  // every handle here is synchronous
    }
    unsigned port = 0;
    if (brontal::serial::ParseComName(lpFileName, &port)) {
        std::string device;
        DWORD error = brontal::serial::ResolveComPort(port, &device);
        if (error != ERROR_SUCCESS) {
            return Fail(error);
        }
        bool notTerminal = false;
        HANDLE handle = brontal::serial::OpenSerialDevice(device, &notTerminal);
        return notTerminal ? Fail(ERROR_FILE_NOT_FOUND) : handle;
    }
    if (!*lpFileName) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    std::string path = brontal::file::HostPath(lpFileName);
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) {
        bool notTerminal = false;
        HANDLE handle = brontal::serial::OpenSerialDevice(path, &notTerminal);
        if (!notTerminal) {
            return handle;
        }
    }
    return brontal::file::OpenRegularFile(path, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                                          dwFlagsAndAttributes);
}
