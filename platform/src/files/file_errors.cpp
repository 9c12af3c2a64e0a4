#include "file_errors.h"

#include "codepage.h"

#include <cerrno>

#include <sys/stat.h>

namespace brontal::file {

std::string HostPath(LPCSTR ansiName) {
    std::string path = codepage::AnsiToUtf8(ansiName);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

namespace {

bool ParentIsFolder(const std::string& hostPath) {
    std::string::size_type slash = hostPath.find_last_of('/');
    if (slash == std::string::npos) {
        return true;  // the current folder
    }
    std::string parent = slash == 0 ? "/" : hostPath.substr(0, slash);
    struct stat info {};
    return stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

DWORD ErrorFromErrno(int error, const std::string& hostPath) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ParentIsFolder(hostPath) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        case ENOTDIR:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case EBUSY:
        case EWOULDBLOCK:
            return ERROR_SHARING_VIOLATION;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case ENXIO:
        case ENODEV:
            return ERROR_DEVICE_NOT_CONNECTED;
        case EIO:
            return ERROR_IO_DEVICE;
        default:
            return ERROR_GEN_FAILURE;
    }
}

}  // namespace brontal::file
