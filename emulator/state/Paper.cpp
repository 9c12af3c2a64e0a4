#include "Paper.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace emu {

int Paper::Print(const std::string& line) {
    return PrintText(line + "\n");
}

int Paper::PrintText(const std::string& text) {
    lines_ += static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
    if (path_.empty()) {
        return 0;
    }
    int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -errno;
    }
    size_t done = 0;
    int error = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return -error;
}

int Paper::PrintPowerOn() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // "dd.mm.yyyy hh:mm:ss" is 19 characters; room is left for out-of-range years.
    char when[32];
    std::strftime(when, sizeof when, "%d.%m.%Y %H:%M:%S", &local);
    return Print(std::string("*** ВИРТУАЛЬНЫЙ ФИСКАЛЬНЫЙ ПРИНТЕР: ВКЛЮЧЕНИЕ ") + when + " ***");
}

}  // namespace emu
