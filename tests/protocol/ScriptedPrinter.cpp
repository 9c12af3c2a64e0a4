#include "ScriptedPrinter.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <windows.h>

namespace prottest {

namespace {

constexpr char STX = '\x02';
constexpr char ETX = '\x03';

}  // namespace

ScriptedPrinter::ScriptedPrinter() {
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
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slave_ = slave;
    slavePath_ = name;
    server_ = std::thread([this] { Serve(); });
}

ScriptedPrinter::~ScriptedPrinter() {
    stop_ = true;
    if (server_.joinable()) {
        server_.join();
    }
    if (master_ >= 0) {
        close(master_);
    }
    if (slave_ >= 0) {
        close(slave_);
    }
}

bool ScriptedPrinter::Map(int n) const {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::string data = "COM" + std::to_string(n);
    const LONG rc = RegSetValueExA(key, slavePath_.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(data.c_str()),
                                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void ScriptedPrinter::SetAnswer(Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = std::move(answer);
}

std::vector<PeerRequest> ScriptedPrinter::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> ScriptedPrinter::Payloads() const {
    std::vector<std::string> payloads;
    for (const PeerRequest& request : Requests()) {
        payloads.push_back(request.payload);
    }
    return payloads;
}

void ScriptedPrinter::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

bool ScriptedPrinter::WaitForRequests(size_t count, unsigned timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Requests().size() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Requests().size() >= count;
}

void ScriptedPrinter::Send(const std::string& bytes) const {
    size_t sent = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (sent < bytes.size() && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = write(master_, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno != EAGAIN) {
            return;
        } else {
            pollfd pfd{master_, POLLOUT, 0};
            poll(&pfd, 1, 10);
        }
    }
}

void ScriptedPrinter::Serve() {
    // Frame assembly: STX, then everything up to ETX, then the check byte.
    std::string frame;
    bool awaitingCheck = false;
    while (!stop_) {
        pollfd pfd{master_, POLLIN, 0};
        if (poll(&pfd, 1, 20) <= 0 || !(pfd.revents & POLLIN)) {
            continue;
        }
        char chunk[256];
        const ssize_t n = read(master_, chunk, sizeof chunk);
        for (ssize_t i = 0; i < n; ++i) {
            const char byte = chunk[i];
            if (awaitingCheck) {
                awaitingCheck = false;
                PeerRequest request;
                request.sequence = frame.size() > 1 ? frame[1] : 0;
                request.payload = frame.size() > 3 ? frame.substr(2, frame.size() - 3) : "";
                frame.clear();
                Answer answer;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    requests_.push_back(request);
                    answer = answer_;
                }
                if (answer) {
                    const std::string bytes = answer(request);
                    if (!bytes.empty()) {
                        Send(bytes);
                    }
                }
                continue;
            }
            if (frame.empty()) {
                if (byte == STX) {
                    frame += byte;
                }
                continue;
            }
            frame += byte;
            if (byte == ETX) {
                awaitingCheck = true;
            }
        }
    }
}

std::string Frame(char sequence, const std::string& payload) {
    std::string frame(1, STX);
    frame += sequence;
    frame += payload;
    frame += ETX;
    char check = 0;
    for (size_t i = 1; i < frame.size(); ++i) {
        check = static_cast<char>(check ^ frame[i]);
    }
    return frame + check;
}

std::string ReplyPayload(const std::string& echo, int error, unsigned status, unsigned blocking,
                         const std::string& data) {
    char header[32];
    std::snprintf(header, sizeof header, "\x1C%02X\x1C%04X%04X", static_cast<unsigned>(error),
                  status & 0xFFFF, blocking & 0xFFFF);
    std::string payload = echo + header;
    if (!data.empty()) {
        payload += '\x1C';
        payload += data;
    }
    return payload;
}

std::string Reply(const PeerRequest& request, int error, unsigned status, unsigned blocking,
                  const std::string& data) {
    return Frame(request.sequence,
                 ReplyPayload(request.payload.substr(0, 2), error, status, blocking, data));
}

}  // namespace prottest
