// _access and _isatty of the C run-time.
#include <io.h>

#include "file_errors.h"

#include <cerrno>

#include <unistd.h>

WINBASEAPI int _access(const char* path, int mode) {
    if (!path || (mode & ~6) != 0) {
        errno = EINVAL;
        return -1;
    }
    const int wanted = ((mode & 2) ? W_OK : 0) | ((mode & 4) ? R_OK : 0);
    return access(brontal::file::HostPath(path).c_str(), wanted == 0 ? F_OK : wanted);
}

WINBASEAPI int _isatty(int fd) {
    return isatty(fd);
}
