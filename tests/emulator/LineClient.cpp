#include "LineClient.h"

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace emutest {

LineClient::LineClient(const std::string& device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
}

LineClient::~LineClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool LineClient::SetSpeed(unsigned baud) {
    speed_t speed = B0;
    switch (baud) {
        case 2400:
            speed = B2400;
            break;
        case 9600:
            speed = B9600;
            break;
        case 19200:
            speed = B19200;
            break;
        case 115200:
            speed = B115200;
            break;
        default:
            return false;
    }
    termios tio{};
    return ::tcgetattr(fd_, &tio) == 0 && ::cfsetspeed(&tio, speed) == 0 &&
           ::tcsetattr(fd_, TCSANOW, &tio) == 0;
}

bool LineClient::Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd pfd = {fd_, POLLOUT, 0};
            if (::poll(&pfd, 1, 2000) <= 0) {
                return false;
            }
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

namespace {

// One byte, or -1 when none came within `ms`.
int ReadByte(int fd, int ms) {
    pollfd pfd = {fd, POLLIN, 0};
    if (::poll(&pfd, 1, ms) <= 0) {
        return -1;
    }
    unsigned char c = 0;
    return ::read(fd, &c, 1) == 1 ? c : -1;
}

}  // namespace

std::string LineClient::ReadFor(unsigned ms) {
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return bytes;
        }
        pollfd pfd = {fd_, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left.count())) > 0) {
            char chunk[256];
            ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n > 0) {
                bytes.append(chunk, static_cast<size_t>(n));
            }
        }
    }
}

std::vector<LineClient::Arrival> LineClient::ReadArrivals(size_t count, unsigned timeoutMs) {
    std::vector<Arrival> arrivals;
    size_t got = 0;
    while (got < count) {
        pollfd pfd = {fd_, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(timeoutMs)) <= 0) {
            break;
        }
        char chunk[256];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n <= 0) {
            continue;
        }
        arrivals.push_back({std::chrono::steady_clock::now(), std::string(chunk, n)});
        got += static_cast<size_t>(n);
    }
    return arrivals;
}

std::string LineClient::ReadAnswer(unsigned timeoutMs) {
    std::string bytes;
    bool inFrame = false;
    bool sawEtx = false;
    for (;;) {
        int c = ReadByte(fd_, static_cast<int>(timeoutMs));
        if (c < 0) {
            return bytes;
        }
        bytes += static_cast<char>(c);
        if (sawEtx) {
            return bytes;
        }
        if (!inFrame) {
            if (c == NAK) {
                return bytes;
            }
            inFrame = c == STX;
        } else if (c == ETX) {
            sawEtx = true;
        }
    }
}

std::string LineClient::Exchange(char sequence, const std::string& payload, unsigned timeoutMs) {
    if (!Write(Frame(sequence, payload))) {
        return {};
    }
    return ReadAnswer(timeoutMs);
}

std::string FramePart(const std::string& answer) {
    size_t stx = answer.find(STX);
    return stx == std::string::npos ? std::string() : answer.substr(stx);
}

size_t CountOf(const std::string& bytes, char c) {
    size_t n = 0;
    for (char b : bytes) {
        n += b == c ? 1 : 0;
    }
    return n;
}

}  // namespace emutest
