#include "PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "Registry.h"

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PtyPeer::PtyPeer() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        return;
    }
    char name[64];  // "/dev/pts/N"
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name)) {
        close(master);
        return;
    }
    const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        if (slave >= 0) {
            close(slave);
        }
        close(master);
        return;
    }
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    // Non-blocking, so that a peer whose reader went away can never hang the test.
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slave_ = slave;
    slavePath_ = name;
}

PtyPeer::~PtyPeer() {
    Join();
    Hangup();
    if (slave_ >= 0) {
        close(slave_);
    }
}

bool PtyPeer::Map(int n) const {
    return MapPort(slavePath_, n);
}

bool PtyPeer::Send(const std::string& bytes) const {
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return false;
        }
        pollfd pfd{master_, POLLOUT, 0};
        if (MsUntil(deadline) == 0 || poll(&pfd, 1, MsUntil(deadline)) < 0) {
            return false;
        }
    }
    return true;
}

void PtyPeer::Flood(const std::string& chunk, unsigned durationMs) {
    Join();
    player_ = std::thread([this, chunk, durationMs] {
        const auto deadline = Clock::now() + std::chrono::milliseconds(durationMs);
        while (MsUntil(deadline) > 0) {
            pollfd pfd{master_, POLLOUT, 0};
            if (poll(&pfd, 1, MsUntil(deadline) < 10 ? MsUntil(deadline) : 10) > 0) {
                // Whatever does not fit now is simply not sent.
                (void)!write(master_, chunk.data(), chunk.size());
            }
        }
    });
}

std::string PtyPeer::Receive(size_t count, unsigned timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string bytes;
    while (bytes.size() < count && MsUntil(deadline) > 0) {
        pollfd pfd{master_, POLLIN, 0};
        if (poll(&pfd, 1, MsUntil(deadline)) <= 0 || !(pfd.revents & POLLIN)) {
            continue;
        }
        char chunk[512];
        const size_t want =
            count - bytes.size() < sizeof chunk ? count - bytes.size() : sizeof chunk;
        const ssize_t n = read(master_, chunk, want);
        if (n > 0) {
            bytes.append(chunk, static_cast<size_t>(n));
        }
    }
    return bytes;
}

std::string PtyPeer::ReceiveSome(unsigned timeoutMs) const {
    pollfd pfd{master_, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(timeoutMs)) <= 0 || !(pfd.revents & POLLIN)) {
        return {};
    }
    char chunk[512];
    const ssize_t n = read(master_, chunk, sizeof chunk);
    return n > 0 ? std::string(chunk, static_cast<size_t>(n)) : std::string();
}

std::string PtyPeer::ReceiveFrame(unsigned timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string frame;
    while (MsUntil(deadline) > 0) {
        const std::string byte = Receive(1, static_cast<unsigned>(MsUntil(deadline)));
        if (byte.empty()) {
            return {};
        }
        if (frame.empty() && byte[0] != '\x02') {
            continue;
        }
        frame += byte;
        if (byte[0] == '\x03' && frame.size() >= 2) {
            const std::string check = Receive(1, static_cast<unsigned>(MsUntil(deadline)));
            return check.empty() ? std::string() : frame + check;
        }
    }
    return {};
}

void PtyPeer::Play(std::vector<Step> steps) {
    Join();
    player_ = std::thread([this, steps = std::move(steps)] {
        for (const Step& step : steps) {
            std::this_thread::sleep_for(std::chrono::milliseconds(step.delayMs));
            Send(step.bytes);
        }
    });
}

void PtyPeer::Join() {
    if (player_.joinable()) {
        player_.join();
    }
}

bool PtyPeer::LineSettings(termios& settings) const {
    return slave_ >= 0 && tcgetattr(slave_, &settings) == 0;
}

void PtyPeer::Hangup() {
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

}  // namespace testsupport
