// State files are written whole and renamed into place, so that the printer never finds half a
// state after a crash or a kill.
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "PrinterState.h"

namespace emu {

int ReadStateFile(const std::string& path, PrinterState& state) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -errno;
    }
    std::string text;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            int error = errno;
            ::close(fd);
            return -error;
        }
        if (n == 0) {
            break;
        }
        text.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return LoadState(text, state);
}

int WriteStateFile(const std::string& path, const PrinterState& state) {
    return WriteStateText(path, SaveState(state));
}

int WriteStateText(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -errno;
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            int error = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(temporary.c_str());
            return -error;
        }
        done += static_cast<size_t>(n);
    }
    int error = ::fsync(fd) != 0 ? errno : 0;
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return -error;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
        ::unlink(temporary.c_str());
        return -error;
    }
    return 0;
}

}  // namespace emu
