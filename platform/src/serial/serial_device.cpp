// The serial port object: exclusive open, raw line, reads and writes under COMMTIMEOUTS waiting in
// poll() with the time that is left, and the line given back as it was found on close.
#include "serial_device.h"

#include "file_errors.h"
#include "serial_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace brontal::serial {

namespace {

using Clock = std::chrono::steady_clock;

// Waits shorter than this are left to poll(): a sleep would save no wake-up.
constexpr auto kShortestPaceSleep = std::chrono::microseconds(200);

// Longest FlushFileBuffers waits beyond the time the queued bytes need on the wire.
constexpr long long kDrainSlackMs = 1000;

// A time-out multiplier of MAXDWORD over a large transfer asks for more milliseconds than the
// clock can count in nanoseconds; such a budget is taken as this one, longer than any port stays
// open (about 35 years).
constexpr std::uint64_t kLongestBudgetMs = std::uint64_t{1} << 40;

Clock::time_point DeadlineAfter(std::uint64_t ms) {
    return Clock::now() +
           std::chrono::milliseconds(static_cast<long long>(std::min(ms, kLongestBudgetMs)));
}

long long MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    // Round up so that a wait never ends a fraction of a millisecond early and loops again.
    return std::max<long long>(0, left.count() + 1);
}

int PollTimeout(long long ms) {
    return ms < 0 ? -1 : static_cast<int>(std::min<long long>(ms, INT_MAX));
}

enum class Readiness { Ready, TimedOut, HungUp, Failed };

Readiness WaitFor(int fd, short events, long long ms) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    pollfd entry{fd, events, 0};
    int rc;
    while ((rc = poll(&entry, 1, PollTimeout(ms))) < 0 && errno == EINTR) {
        if (ms >= 0) {
            ms = MillisecondsUntil(deadline);
        }
    }
    if (rc < 0) {
        return Readiness::Failed;
    }
    if (rc == 0) {
        return Readiness::TimedOut;
    }
    // A hung-up terminal also reports itself readable, with nothing to read: look at HUP first.
    if (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        return Readiness::HungUp;
    }
    return (entry.revents & events) ? Readiness::Ready : Readiness::TimedOut;
}

bool IgnorableModemError(int error) {
    // Pseudo-terminals and some adapters have no modem lines.
    return error == ENOTTY || error == EINVAL || error == ENOTSUP;
}

DWORD SetModemLine(int fd, int line, bool on) {
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !IgnorableModemError(errno)) {
        return file::ErrorFromErrno(errno, std::string());
    }
    return ERROR_SUCCESS;
}

bool IsPseudoTerminal(dev_t device) {
    // Unix98 pseudo-terminal slaves, and the old BSD ones.
    const unsigned type = major(device);
    return (type >= 136 && type <= 143) || type == 3;
}

}  // namespace

SerialPort::SerialPort(int fd, const termios& original, bool pseudoTerminal)
    : IoObject(kernel::ObjectKind::Serial),
      fd_(fd),
      original_(original),
      pseudoTerminal_(pseudoTerminal) {
    requested_.DCBlength = sizeof(DCB);
    requested_.fDtrControl = DTR_CONTROL_ENABLE;
    requested_.fRtsControl = RTS_CONTROL_ENABLE;
    ReadDcb(original, &requested_);
}

SerialPort::~SerialPort() {
    DrainBounded();
    tcflush(fd_, TCIOFLUSH);
    tcsetattr(fd_, TCSANOW, &original_);
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    close(fd_);
}

DWORD SerialPort::Read(void* buffer, DWORD size, DWORD* done) {
    *done = 0;
    if (size == 0) {
        return ERROR_SUCCESS;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    // A read the input queue can satisfy whole completes at once under every time-out mode:
    // the byte-at-a-time reader of a burst pays no system call and no clock for it.
    if (Queued() >= size) {
        std::copy_n(queue_.data() + queueStart_, size, out);
        queueStart_ += size;
        *done = size;
        return ERROR_SUCCESS;
    }
    // Takes what the queue and the terminal driver hold now, without waiting.
    auto take = [&]() -> DWORD {
        while (*done < size) {
            if (Queued() == 0) {
                DWORD error = Refill();
                if (error != ERROR_SUCCESS || Queued() == 0) {
                    return error;
                }
            }
            const DWORD n = std::min(Queued(), size - *done);
            std::copy_n(queue_.data() + queueStart_, n, out + *done);
            queueStart_ += n;
            *done += n;
        }
        return ERROR_SUCCESS;
    };
    // After a hang-up nothing more will come: hand over what is left, then report the loss.
    auto afterHangup = [&]() -> DWORD {
        DWORD error = take();
        return error != ERROR_SUCCESS || *done > 0 ? error : ERROR_DEVICE_NOT_CONNECTED;
    };

    const COMMTIMEOUTS t = timeouts_;
    const bool intervalMax = t.ReadIntervalTimeout == MAXDWORD;
    if (intervalMax && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
        return take();
    }
    if (intervalMax && t.ReadTotalTimeoutMultiplier == MAXDWORD && t.ReadTotalTimeoutConstant > 0 &&
        t.ReadTotalTimeoutConstant < MAXDWORD) {
        // What the queue holds is served at once; otherwise poll answers at once for bytes the
        // terminal driver holds, so no read needs to come back empty first.
        if (Queued() > 0) {
            return take();
        }
        switch (WaitFor(fd_, POLLIN, t.ReadTotalTimeoutConstant)) {
            case Readiness::Ready:
                return take();
            case Readiness::HungUp:
                return afterHangup();
            case Readiness::Failed:
                return file::ErrorFromErrno(errno, std::string());
            case Readiness::TimedOut:
                break;
        }
        return ERROR_SUCCESS;
    }

    const bool total = t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0;
    const std::uint64_t totalMs = static_cast<std::uint64_t>(t.ReadTotalTimeoutMultiplier) * size +
                                  t.ReadTotalTimeoutConstant;
    const Clock::time_point deadline = DeadlineAfter(totalMs);
    const bool interval = t.ReadIntervalTimeout != 0 && !intervalMax;
    Clock::time_point lastByte{};
    bool paced = false;
    for (;;) {
        const DWORD before = *done;
        DWORD error = take();
        if (error != ERROR_SUCCESS || *done == size) {
            return error;
        }
        const Clock::time_point now = Clock::now();
        if (*done > before) {
            lastByte = now;
        }
        long long waitMs = -1;
        Clock::time_point wake = Clock::time_point::max();
        if (total) {
            if (now >= deadline) {
                return ERROR_SUCCESS;
            }
            waitMs = MillisecondsUntil(deadline);
            wake = deadline;
        }
        if (interval && *done > 0) {
            const auto gapEnd = lastByte + std::chrono::milliseconds(t.ReadIntervalTimeout);
            if (now >= gapEnd) {
                return ERROR_SUCCESS;
            }
            const long long gapMs = MillisecondsUntil(gapEnd);
            waitMs = waitMs < 0 ? gapMs : std::min(waitMs, gapMs);
            wake = std::min(wake, gapEnd);
        }
        // The missing bytes cannot come faster than the line carries them: sleep until all but
        // the last could have crossed, as a UART driver completes a read once, instead of
        // waking for every byte the terminal hands over. Once only: a line that hands bytes
        // over in packets delivers them after they crossed, so a second guess from now would
        // oversleep the last packet; from then on each delivery wakes the read.
        const auto pace = CharacterTime() * static_cast<long long>(size - *done - 1);
        if (!paced && pace > kShortestPaceSleep) {
            paced = true;
            wake = std::min(wake, now + std::chrono::duration_cast<Clock::duration>(pace));
            if (wake - now > kShortestPaceSleep) {
                std::this_thread::sleep_until(wake);
                continue;
            }
        }
        switch (WaitFor(fd_, POLLIN, waitMs)) {
            case Readiness::HungUp:
                return afterHangup();
            case Readiness::Failed:
                return file::ErrorFromErrno(errno, std::string());
            case Readiness::Ready:
            case Readiness::TimedOut:
                break;
        }
    }
}

std::chrono::nanoseconds SerialPort::CharacterTime() const {
    if (requested_.BaudRate == 0) {
        return std::chrono::nanoseconds(0);
    }
    // Start bit, data bits, parity bit, stop bits (one and a half counted as two).
    const long long bits = 1 + requested_.ByteSize + (requested_.Parity != NOPARITY ? 1 : 0) +
                           (requested_.StopBits == ONESTOPBIT ? 1 : 2);
    return std::chrono::nanoseconds(bits * 1'000'000'000LL / requested_.BaudRate);
}

DWORD SerialPort::Refill() {
    queueStart_ = 0;
    queueEnd_ = 0;
    const DWORD room = std::clamp<DWORD>(inputQueue_, 1, kQueueCapacity);
    for (;;) {
        ssize_t n = read(fd_, queue_.data(), room);
        if (n > 0) {
            queueEnd_ = static_cast<DWORD>(n);
            return ERROR_SUCCESS;
        }
        if (n == 0 || errno == EAGAIN) {
            return ERROR_SUCCESS;
        }
        if (errno == EIO) {
            return ERROR_DEVICE_NOT_CONNECTED;
        }
        if (errno != EINTR) {
            return file::ErrorFromErrno(errno, std::string());
        }
    }
}

DWORD SerialPort::Write(const void* data, DWORD size, DWORD* done) {
    *done = 0;
    const auto* in = static_cast<const unsigned char*>(data);
    const COMMTIMEOUTS t = timeouts_;
    const bool limited = t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0;
    const std::uint64_t budgetMs =
        static_cast<std::uint64_t>(t.WriteTotalTimeoutMultiplier) * size +
        t.WriteTotalTimeoutConstant;
    const Clock::time_point deadline = DeadlineAfter(budgetMs);
    while (*done < size) {
        ssize_t n = write(fd_, in + *done, size - *done);
        if (n > 0) {
            *done += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EIO) {
            return ERROR_DEVICE_NOT_CONNECTED;
        }
        if (n < 0 && errno != EAGAIN) {
            return file::ErrorFromErrno(errno, std::string());
        }
        if (limited && Clock::now() >= deadline) {
            // The budget is spent: Windows reports success with fewer bytes written.
            return ERROR_SUCCESS;
        }
        Readiness r = WaitFor(fd_, POLLOUT, limited ? MillisecondsUntil(deadline) : -1);
        if (r == Readiness::HungUp) {
            return ERROR_DEVICE_NOT_CONNECTED;
        }
        if (r == Readiness::Failed) {
            return file::ErrorFromErrno(errno, std::string());
        }
    }
    return ERROR_SUCCESS;
}

void SerialPort::DrainBounded() const {
    // tcdrain could wait forever on a line nobody reads (a pseudo-terminal without a reader,
    // a stalled handshake); wait only as long as the queued bytes need on the wire, plus slack.
    int queued = 0;
    if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) {
        return;
    }
    termios settings{};
    DCB dcb{};
    if (tcgetattr(fd_, &settings) == 0) {
        ReadDcb(settings, &dcb);
    }
    const long long bitsPerSecond = dcb.BaudRate != 0 ? dcb.BaudRate : 9600;
    const long long wireMs = static_cast<long long>(queued) * 10 * 1000 / bitsPerSecond;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(wireMs + kDrainSlackMs);
    while (Clock::now() < deadline) {
        if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) {
            return;
        }
        // The queue gives no wake-up; look again after about the time a few bytes take.
        long long stepMs = std::clamp<long long>(queued * 10 * 1000 / bitsPerSecond, 1, 20);
        poll(nullptr, 0, static_cast<int>(std::min(stepMs, MillisecondsUntil(deadline))));
    }
}

DWORD SerialPort::Flush() {
    DrainBounded();
    return ERROR_SUCCESS;
}

DWORD SerialPort::GetState(DCB* dcb) const {
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) {
        return file::ErrorFromErrno(errno, std::string());
    }
    *dcb = requested_;
    ReadDcb(settings, dcb);
    if (pseudoTerminal_) {
        dcb->ByteSize = requested_.ByteSize;
        dcb->Parity = requested_.Parity;
        if (settings.c_cflag & CSTOPB) {
            dcb->StopBits = dcb->ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
        }
    }
    return ERROR_SUCCESS;
}

DWORD SerialPort::SetState(const DCB& dcb) {
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) {
        return file::ErrorFromErrno(errno, std::string());
    }
    const termios previous = settings;
    DWORD error = ApplyDcb(dcb, &settings);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    if (tcsetattr(fd_, TCSANOW, &settings) != 0) {
        return errno == EINVAL ? static_cast<DWORD>(ERROR_INVALID_PARAMETER)
                               : file::ErrorFromErrno(errno, std::string());
    }
    // A UART driver quietly keeps what its hardware cannot do (five data bits, mark parity);
    // Windows refuses such settings, so do the same and leave the line as it was.
    termios applied{};
    constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    if (!pseudoTerminal_ &&
        (tcgetattr(fd_, &applied) != 0 || cfgetospeed(&applied) != cfgetospeed(&settings) ||
         (applied.c_cflag & kFraming) != (settings.c_cflag & kFraming))) {
        tcsetattr(fd_, TCSANOW, &previous);
        return ERROR_INVALID_PARAMETER;
    }
    // DTR handshake has no POSIX counterpart: the line is held up, as enabling it would.
    error = SetModemLine(fd_, TIOCM_DTR, dcb.fDtrControl != DTR_CONTROL_DISABLE);
    if (error == ERROR_SUCCESS && dcb.fRtsControl != RTS_CONTROL_HANDSHAKE) {
        error = SetModemLine(fd_, TIOCM_RTS, dcb.fRtsControl != RTS_CONTROL_DISABLE);
    }
    if (error != ERROR_SUCCESS) {
        return error;
    }
    requested_ = dcb;
    requested_.DCBlength = sizeof(DCB);
    return ERROR_SUCCESS;
}

DWORD SerialPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    if (timeouts.ReadIntervalTimeout == MAXDWORD &&
        timeouts.ReadTotalTimeoutMultiplier == MAXDWORD &&
        timeouts.ReadTotalTimeoutConstant == MAXDWORD) {
        return ERROR_INVALID_PARAMETER;  // Windows refuses this combination too
    }
    timeouts_ = timeouts;
    return ERROR_SUCCESS;
}

void SerialPort::SetQueues(DWORD input, DWORD output) {
    // The terminal driver's queues have fixed sizes; the values are kept for the record.
    inputQueue_ = input;
    outputQueue_ = output;
}

DWORD SerialPort::Purge(DWORD flags) {
    constexpr DWORD kKnown = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    if (flags & ~kKnown) {
        return ERROR_INVALID_PARAMETER;
    }
    // Reads and writes here are synchronous: by the time PurgeComm runs no request is pending,
    // so the abort flags have nothing to cancel.
    if (flags & PURGE_RXCLEAR) {
        queueStart_ = 0;
        queueEnd_ = 0;
        if (tcflush(fd_, TCIFLUSH) != 0) {
            return file::ErrorFromErrno(errno, std::string());
        }
    }
    if ((flags & PURGE_TXCLEAR) && tcflush(fd_, TCOFLUSH) != 0) {
        return file::ErrorFromErrno(errno, std::string());
    }
    return ERROR_SUCCESS;
}

DWORD SerialPort::QueueStatus(COMSTAT* status) const {
    *status = COMSTAT{};
    int input = 0;
    int output = 0;
    status->cbInQue = Queued();
    if (ioctl(fd_, FIONREAD, &input) == 0 && input > 0) {
        status->cbInQue += static_cast<DWORD>(input);
    }
    if (ioctl(fd_, TIOCOUTQ, &output) == 0 && output > 0) {
        status->cbOutQue = static_cast<DWORD>(output);
    }
    return ERROR_SUCCESS;
}

HANDLE OpenSerialDevice(const std::string& hostPath, bool* notTerminal) {
    *notTerminal = false;
    int fd = open(hostPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // EBUSY is TIOCEXCL of another open: Windows says access denied for a port in use.
        DWORD error = errno == EBUSY ? static_cast<DWORD>(ERROR_ACCESS_DENIED)
                                     : file::ErrorFromErrno(errno, hostPath);
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    termios original{};
    if (!isatty(fd) || tcgetattr(fd, &original) != 0) {
        close(fd);
        *notTerminal = true;
        return INVALID_HANDLE_VALUE;
    }
    // The lock binds root as well, whom TIOCEXCL lets through.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    ioctl(fd, TIOCEXCL);
    struct stat info {};
    const bool pseudoTerminal = fstat(fd, &info) == 0 && IsPseudoTerminal(info.st_rdev);
    auto port = std::make_shared<SerialPort>(fd, original, pseudoTerminal);
    termios raw = original;
    MakeRaw(&raw);
    if (tcsetattr(fd, TCSANOW, &raw) != 0) {
        SetLastError(file::ErrorFromErrno(errno, hostPath));
        return INVALID_HANDLE_VALUE;  // the port object gives everything back
    }
    HANDLE handle = kernel::InsertHandle(std::move(port));
    if (!handle) {
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

}  // namespace brontal::serial
