// vprinter: the virtual fiscal printer as a program. It opens a pseudo-terminal, enters it in
// the port map as a COM port, prints "COMn /dev/pts/K" and serves until it is told to stop
// (SIGINT, SIGTERM, SIGHUP, or the end of its terminal's or pipe's input), then takes its
// port-map entry out again. Should it be killed outright, the port map drops the entry of its
// own accord (the entry is claimed for this process).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include "Faults.h"
#include "PrinterState.h"
#include "StateText.h"
#include "VirtualPrinter.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr long kMaxPort = 255;

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: vprinter [options]\n"
        "A virtual fiscal printer on a pseudo-terminal, entered in the port map as a COM port.\n"
        "Prints \"COMn /dev/pts/K\" once it serves. Ctrl-C, Ctrl-D on its terminal, SIGTERM,\n"
        "SIGHUP or the end of a pipe on its standard input stop it; its port-map entry goes\n"
        "with it (also when it is killed).\n"
        "\n"
        "  --port N        COM port number (1 to 255; default: the first free from 1)\n"
        "  --state FILE    keep the printer's state in FILE (loaded when it exists)\n"
        "  --paper FILE    append everything the printer prints to FILE\n"
        "  --status HEX    status word to start with (default 00C0: fiscal, with its\n"
        "                  electronic journal; 0080: without one, 20C0: with a control unit)\n"
        "  --blocking HEX  blocking word to start with (default 0000)\n"
        "  --set KEY=VALUE set one item of the printer's state, by its key in the state file\n"
        "                  (serial=..., model=..., document=..., clock-fixed=YYYYMMDDhhmmss,\n"
        "                  clock-offset=SECONDS, report-password=..., unit-password=...,\n"
        "                  ...); may be given more than once\n"
        "  --restart-ms N  how long a \"c0\" restart keeps the printer deaf (default 1000)\n"
        "  --report-ms N   how long a printed report keeps the printer busy (default 700)\n"
        "  --line-rate     keep the pace of a cable at the speed the driver set on the line:\n"
        "                  10 bits a byte, each byte sent once it would have crossed the wire,\n"
        "                  a request's own wire time before the printer answers it\n"
        "  --fifo N        with --line-rate: hand the driver N bytes at a time (1 to 64,\n"
        "                  default 1), as a UART hands over its receive FIFO\n"
        "  --print-ms N    how long printing one line keeps the printer busy (default 0)\n"
        "  --device-error CODE[,cmd=XX][,frames=N][,closed|counted][,reset][,permanent]\n"
        "                  answer the next N requests (of command XX) with device error CODE;\n"
        "                  closed: the open receipt was closed and counted before the error\n"
        "                  struck; counted: it was counted but shows open until the printer is\n"
        "                  unblocked;\n"
        "                  reset: the printer wants a \"cr\" afterwards; permanent: errors 22\n"
        "                  and 48 to 50 block the printer for good\n"
        "  --version       show the version\n"
        "  --help          show this text\n",
        out);
}

bool ParsePort(const char* text, int& port) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > kMaxPort) {
        return false;
    }
    port = static_cast<int>(value);
    return true;
}

bool ParseWord(const char* text, uint16_t& word) {
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text += 2;
    }
    size_t length = std::strlen(text);
    if (length == 0 || length > 4 || std::strspn(text, "0123456789abcdefABCDEF") != length) {
        return false;
    }
    word = static_cast<uint16_t>(std::strtoul(text, nullptr, 16));
    return true;
}

// A state item the printer knows: its key appears in a saved state.
bool IsStateKey(const std::string& key) {
    static const std::string keys = emu::SaveState(emu::PrinterState());
    return !key.empty() && keys.find("\n" + key + "=") != std::string::npos;
}

bool ParseStateItem(const char* text, std::string& items) {
    const std::string item = text;
    const size_t eq = item.find('=');
    // Line breaks would smuggle in more items; the state file's escapes spell them.
    if (eq == std::string::npos || !IsStateKey(item.substr(0, eq)) ||
        item.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    items += item;
    items += '\n';
    return true;
}

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value >= low && value <= high;
}

bool ParseDeviceError(const char* text, emu::Fault& fault) {
    fault = emu::Fault();
    fault.kind = emu::FaultKind::DeviceError;
    std::string spec = text;
    bool first = true;
    while (!spec.empty() || first) {
        const size_t comma = spec.find(',');
        const std::string part = spec.substr(0, comma);
        spec = comma == std::string::npos ? std::string() : spec.substr(comma + 1);
        long number = 0;
        if (first) {
            if (!ParseNumber(part, 0, 255, number)) {
                return false;
            }
            fault.code = static_cast<int>(number);
            first = false;
        } else if (part.rfind("cmd=", 0) == 0) {
            fault.command = part.substr(4);
        } else if (part.rfind("frames=", 0) == 0) {
            if (!ParseNumber(part.substr(7), 1, 1000000, number)) {
                return false;
            }
            fault.frames = static_cast<int>(number);
        } else if (part == "closed") {
            fault.receipt = emu::ReceiptOutcome::Closed;
        } else if (part == "counted") {
            fault.receipt = emu::ReceiptOutcome::ClosedAfterUnblock;
        } else if (part == "reset") {
            fault.needsReset = true;
        } else if (part == "permanent") {
            fault.recoverable = false;
        } else {
            return false;
        }
        if (comma != std::string::npos && spec.empty()) {
            return false;  // a trailing comma
        }
    }
    return emu::ValidateFault(fault) == 0;
}

struct Options {
    int port = 0;
    std::string stateFile;
    std::string paperFile;
    bool hasStatus = false;
    bool hasBlocking = false;
    uint16_t status = 0;
    uint16_t blocking = 0;
    std::string stateItems;  // "key=value" lines
    bool hasRestart = false;
    unsigned restartMs = 0;
    bool hasReport = false;
    unsigned reportMs = 0;
    bool lineRate = false;
    bool hasFifo = false;
    unsigned fifoBytes = 1;
    bool hasPrintTime = false;
    unsigned printMs = 0;
    std::vector<emu::Fault> faults;
};

// What each option takes, for the message that refuses a value.
const char* Expected(const std::string& option) {
    if (option == "--port") {
        return "a COM port number from 1 to 255";
    }
    if (option == "--state" || option == "--paper") {
        return "a file name";
    }
    if (option == "--status" || option == "--blocking") {
        return "a word of 1 to 4 hexadecimal digits (0x may go before it)";
    }
    if (option == "--set") {
        return "KEY=VALUE with a key of the state file and a value the printer can hold, on one "
               "line";
    }
    if (option == "--restart-ms" || option == "--report-ms") {
        return "milliseconds from 0 to 600000";
    }
    if (option == "--fifo") {
        return "a number of bytes from 1 to 64";
    }
    if (option == "--print-ms") {
        return "milliseconds from 0 to 60000";
    }
    if (option == "--device-error") {
        return "CODE[,cmd=XX][,frames=N][,closed|counted][,reset][,permanent] with a code from 0 "
               "to "
               "255, a two-letter command and N of at least 1";
    }
    return "a value";
}

void Refuse(const std::string& message) {
    std::fprintf(stderr, "vprinter: %s (see vprinter --help)\n", message.c_str());
}

// kExitOk to go on, or the exit code.
int ParseOptions(int argc, char** argv, Options& options, bool& help) {
    std::vector<std::string> given;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            help = true;
            return kExitOk;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vprinter %s\n", BRONTAL_VERSION_TEXT);
            std::exit(kExitOk);
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--line-rate") {
            options.lineRate = true;
            continue;
        }
        const bool known = option == "--port" || option == "--state" || option == "--paper" ||
                           option == "--status" || option == "--blocking" || option == "--set" ||
                           option == "--restart-ms" || option == "--report-ms" ||
                           option == "--device-error" || option == "--fifo" ||
                           option == "--print-ms";
        if (!known) {
            Refuse(option.rfind("-", 0) == 0 ? "unknown option " + option
                                             : "unexpected argument \"" + option + "\"");
            return kExitUsage;
        }
        if (i + 1 >= argc) {
            Refuse(option + " needs " + Expected(option));
            return kExitUsage;
        }
        const bool repeatable = option == "--set" || option == "--device-error";
        for (const std::string& earlier : given) {
            if (earlier == option && !repeatable) {
                Refuse(option + " is given twice");
                return kExitUsage;
            }
        }
        given.push_back(option);
        const char* value = argv[++i];
        bool ok = true;
        if (option == "--port") {
            ok = ParsePort(value, options.port);
        } else if (option == "--state") {
            options.stateFile = value;
            ok = !options.stateFile.empty();
        } else if (option == "--paper") {
            options.paperFile = value;
            ok = !options.paperFile.empty();
        } else if (option == "--status") {
            ok = options.hasStatus = ParseWord(value, options.status);
        } else if (option == "--blocking") {
            ok = options.hasBlocking = ParseWord(value, options.blocking);
        } else if (option == "--set") {
            ok = ParseStateItem(value, options.stateItems);
        } else if (option == "--restart-ms") {
            long ms = 0;
            ok = options.hasRestart = ParseNumber(value, 0, 600000, ms);
            options.restartMs = static_cast<unsigned>(ms);
        } else if (option == "--report-ms") {
            long ms = 0;
            ok = options.hasReport = ParseNumber(value, 0, 600000, ms);
            options.reportMs = static_cast<unsigned>(ms);
        } else if (option == "--fifo") {
            long bytes = 0;
            ok = options.hasFifo = ParseNumber(value, 1, emu::kMaxFifoBytes, bytes);
            options.fifoBytes = static_cast<unsigned>(bytes);
        } else if (option == "--print-ms") {
            long ms = 0;
            ok = options.hasPrintTime = ParseNumber(value, 0, 60000, ms);
            options.printMs = static_cast<unsigned>(ms);
        } else {
            emu::Fault fault;
            ok = ParseDeviceError(value, fault);
            options.faults.push_back(fault);
        }
        if (!ok) {
            Refuse(option + " takes " + Expected(option) + ", not \"" + value + "\"");
            return kExitUsage;
        }
    }
    if (options.hasFifo && !options.lineRate) {
        Refuse("--fifo is for the line-rate mode: give --line-rate too");
        return kExitUsage;
    }
    return kExitOk;
}

// A Windows error of the registry in words.
std::string RegistryErrorText(long error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return "permission denied: this user may not write the machine's registry (run "
                   "vprinter as root, or give it a registry of its own with BRONTAL_REGISTRY_DIR)";
        case ERROR_DISK_FULL:
            return "the disk is full";
        case ERROR_REGISTRY_CORRUPT:
            return "the registry file is damaged";
        case ERROR_CANTREAD:
            return "the registry file cannot be read";
        case ERROR_CANTWRITE:
            return "the registry file cannot be written";
        case ERROR_PATH_NOT_FOUND:
            return "the registry folder cannot be made";
        default:
            return "registry error " + std::to_string(error);
    }
}

// The file can be appended to (made when it is missing): so paper is never lost unseen.
int CheckAppendable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -errno;
    }
    ::close(fd);
    return 0;
}

// The signals that stop the printer, taken by a descriptor instead of handlers; blocked before
// any thread starts, so that no thread of the printer is ever interrupted by them.
int OpenStopSignals() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    return ::signalfd(-1, &stop, SFD_CLOEXEC);
}

// Standard input is watched for its end when it is this process's terminal (Ctrl-D) or a pipe
// (the program that started the printer has gone). Not a file or /dev/null, which end at once,
// and not a terminal whose foreground belongs to someone else (started with '&').
bool WatchInput() {
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) != 0) {
        return false;
    }
    if (S_ISFIFO(info.st_mode)) {
        return true;
    }
    return ::isatty(STDIN_FILENO) && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

// Waits until the printer is told to stop.
void ServeUntilStopped(int signals, bool watchInput) {
    for (;;) {
        pollfd fds[2] = {{signals, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int rc = ::poll(fds, watchInput ? 2 : 1, -1);
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                return;
            }
        }
        if (watchInput && fds[1].revents != 0) {
            char chunk[256];
            const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EIO)) {
                return;  // end of input, or a terminal that went away
            }
            if (n < 0 && errno == EIO) {
                watchInput = false;  // a terminal we no longer own: keep serving
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool help = false;
    int rc = ParseOptions(argc, argv, options, help);
    if (rc != kExitOk) {
        return rc;
    }
    if (help) {
        PrintUsage(stdout);
        return kExitOk;
    }

    const int signals = OpenStopSignals();
    if (signals < 0) {
        std::fprintf(stderr, "vprinter: cannot take its stop signals: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    // A reader that went away must not kill the printer before it takes its port-map entry out,
    // nor may a read of a terminal it lost stop it.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);

    emu::VirtualPrinter printer;
    if (!options.stateFile.empty()) {
        rc = printer.SetStateFile(options.stateFile);
        if (rc == 0) {
            // Written once now: a state that cannot be kept is refused before any work is lost.
            rc = emu::WriteStateFile(options.stateFile, printer.State());
            if (rc != 0) {
                std::fprintf(stderr, "vprinter: the state file %s cannot be written: %s\n",
                             options.stateFile.c_str(), std::strerror(-rc));
                return kExitFailure;
            }
        } else {
            std::fprintf(stderr, "vprinter: the state file %s cannot be used: %s\n",
                         options.stateFile.c_str(),
                         rc == -EINVAL ? "it is not a state file of this printer (left as it is)"
                                       : std::strerror(-rc));
            return kExitFailure;
        }
    }
    if (!options.paperFile.empty()) {
        rc = CheckAppendable(options.paperFile);
        if (rc != 0) {
            std::fprintf(stderr, "vprinter: the paper file %s cannot be written: %s\n",
                         options.paperFile.c_str(), std::strerror(-rc));
            return kExitFailure;
        }
    }
    if (options.hasStatus || options.hasBlocking) {
        printer.SetStatusWords(options.hasStatus ? options.status : printer.StatusWord(),
                               options.hasBlocking ? options.blocking : printer.BlockingWord());
    }
    if (!options.stateItems.empty()) {
        rc = printer.MergeStateText(std::string(emu::kStateFormatLine) + "\n" + options.stateItems);
        if (rc != 0) {
            std::fprintf(stderr,
                         "vprinter: a --set value is not one the printer can hold (see the keys "
                         "and values of a state file)\n");
            return kExitUsage;
        }
    }
    if (options.hasRestart) {
        printer.SetRestartTime(options.restartMs);
    }
    if (options.hasReport) {
        printer.SetReportTime(options.reportMs);
    }
    if (options.lineRate) {
        printer.SetLineRate(true, options.fifoBytes);  // checked while parsing
    }
    if (options.hasPrintTime) {
        printer.SetPrintTime(options.printMs);
    }
    for (const emu::Fault& fault : options.faults) {
        printer.InjectFault(fault);  // checked while parsing
    }
    printer.SetPaperFile(options.paperFile);
    rc = printer.Start();
    if (rc != 0) {
        std::fprintf(stderr, "vprinter: cannot open a pseudo-terminal: %s\n", std::strerror(-rc));
        return kExitFailure;
    }
    const int port = printer.RegisterPort(options.port);
    if (port == -static_cast<int>(ERROR_ALREADY_EXISTS)) {
        std::fprintf(stderr,
                     "vprinter: COM%d is taken in the port map by another device; choose another "
                     "number with --port, or leave --port out to take the first free one\n",
                     options.port);
        return kExitFailure;
    }
    if (port <= 0) {
        const char* relocated = std::getenv("BRONTAL_REGISTRY_DIR");
        std::fprintf(stderr, "vprinter: cannot enter %s in the port map: %s (the registry in %s)\n",
                     options.port > 0 ? ("COM" + std::to_string(options.port)).c_str() : "the port",
                     RegistryErrorText(-port).c_str(),
                     relocated && *relocated ? relocated : "/var/lib/brontal");
        return kExitFailure;
    }
    std::printf("COM%d %s\n", port, printer.DevicePath().c_str());
    std::fflush(stdout);

    ServeUntilStopped(signals, WatchInput());
    printer.Stop();
    printer.UnregisterPort();
    ::close(signals);
    return kExitOk;
}
