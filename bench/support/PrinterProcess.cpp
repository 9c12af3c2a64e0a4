#include "PrinterProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

enum class Op : int { LineRate, Journal, Read, Clear, Busy };

struct PrinterProcess::Command {
    Op op = Op::Read;
    uint32_t a = 0;
    uint32_t b = 0;
};

struct PrinterProcess::Reply {
    int rc = -1;
    uint64_t received = 0;
    uint64_t sent = 0;
    unsigned pacedBaud = 0;
    int64_t sendingNs = 0;
    uint64_t frames = 0;
    char device[64] = {};  // "/dev/pts/N"
};

namespace {

// The whole of `size` bytes through read() or write(), however many calls it takes.
template <typename Transfer>
bool Whole(Transfer transfer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    return Whole([&](size_t done) { return ::write(fd, bytes + done, size - done); }, size);
}

bool ReadAll(int fd, void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    return Whole([&](size_t done) { return ::read(fd, bytes + done, size - done); }, size);
}

// Lines of a day's journal as a printer keeps them, without the bytes a "jg" block cannot carry.
std::string JournalText(uint32_t bytes) {
    std::string text;
    text.reserve(bytes);
    for (unsigned line = 1; text.size() < bytes; ++line) {
        char row[64];  // one journal line of 40 characters and its line end
        std::snprintf(row, sizeof row, "%05u COFFEE JACOBS MONARCH 1 X 6.54 =6.54\r\n", line);
        text += row;
    }
    text.resize(bytes);
    return text;
}

}  // namespace

PrinterProcess::~PrinterProcess() {
    if (toPrinter_ >= 0) {
        ::close(toPrinter_);  // the printer ends at the end of its commands
    }
    if (pid_ > 0) {
        int status = 0;
        for (int i = 0; i < 200 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) {
            ::usleep(10000);
        }
        if (::waitpid(pid_, &status, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
    }
    if (fromPrinter_ >= 0) {
        ::close(fromPrinter_);
    }
}

bool PrinterProcess::Start(unsigned fifoBytes) {
    int commands[2];
    int replies[2];
    if (::pipe2(commands, O_CLOEXEC) != 0) {
        return false;
    }
    if (::pipe2(replies, O_CLOEXEC) != 0) {
        ::close(commands[0]);
        ::close(commands[1]);
        return false;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(commands[1]);
        ::close(replies[0]);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        int exitCode = 0;
        {
            emu::VirtualPrinter printer;
            printer.SetReportTime(0);
            Reply hello;
            if (printer.SetLineRate(true, fifoBytes) == 0 && printer.Start() == 0) {
                hello.rc = printer.RegisterPort();
                std::snprintf(hello.device, sizeof hello.device, "%s",
                              printer.DevicePath().c_str());
            }
            Command command;
            bool serving = WriteAll(replies[1], &hello, sizeof hello) && hello.rc > 0;
            while (serving && ReadAll(commands[0], &command, sizeof command)) {
                Reply reply;
                reply.rc = 0;
                switch (command.op) {
                    case Op::LineRate:
                        reply.rc = printer.SetLineRate(command.a != 0, command.b);
                        break;
                    case Op::Journal:
                        reply.rc = printer.SetSessionJournal(command.a, JournalText(command.b));
                        break;
                    case Op::Busy:
                        printer.KeepBusy(command.a);
                        break;
                    case Op::Clear:
                        printer.ClearLineCounts();
                        printer.ClearLog();
                        break;
                    case Op::Read: {
                        const emu::LineCounts line = printer.Line();
                        reply.received = line.received;
                        reply.sent = line.sent;
                        reply.pacedBaud = line.pacedBaud;
                        reply.sendingNs = line.sending.count();
                        reply.frames = printer.Frames().size();
                        break;
                    }
                }
                serving = WriteAll(replies[1], &reply, sizeof reply);
            }
            exitCode = hello.rc > 0 ? 0 : 1;
        }
        ::_exit(exitCode);
    }
    ::close(commands[0]);
    ::close(replies[1]);
    toPrinter_ = commands[1];
    fromPrinter_ = replies[0];
    if (pid_ < 0) {
        return false;
    }
    Reply hello;
    if (!ReadAll(fromPrinter_, &hello, sizeof hello) || hello.rc <= 0) {
        return false;
    }
    port_ = hello.rc;
    device_ = hello.device;
    return true;
}

bool PrinterProcess::Ask(const Command& command, Reply* reply) {
    return port_ > 0 && WriteAll(toPrinter_, &command, sizeof command) &&
           ReadAll(fromPrinter_, reply, sizeof *reply) && reply->rc == 0;
}

bool PrinterProcess::SetLineRate(bool on, unsigned fifoBytes) {
    Reply reply;
    return Ask({Op::LineRate, on ? 1u : 0u, fifoBytes}, &reply);
}

bool PrinterProcess::SetJournal(uint32_t session, uint32_t bytes) {
    Reply reply;
    return Ask({Op::Journal, session, bytes}, &reply);
}

bool PrinterProcess::KeepBusy(uint32_t ms) {
    Reply reply;
    return Ask({Op::Busy, ms, 0}, &reply);
}

bool PrinterProcess::Read(Counts* counts) {
    Reply reply;
    if (!Ask({Op::Read, 0, 0}, &reply)) {
        return false;
    }
    counts->line.received = reply.received;
    counts->line.sent = reply.sent;
    counts->line.pacedBaud = reply.pacedBaud;
    counts->line.sending = std::chrono::nanoseconds(reply.sendingNs);
    counts->frames = reply.frames;
    return true;
}

bool PrinterProcess::Clear() {
    Reply reply;
    return Ask({Op::Clear, 0, 0}, &reply);
}

}  // namespace bench
