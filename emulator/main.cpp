// vprinter: the virtual fiscal printer as a program. It opens a pseudo-terminal, enters it in
// the port map as a COM port, prints "COMn /dev/pts/K" and serves until SIGINT or SIGTERM, then
// takes its port-map entry out again.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <pthread.h>

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
        "Prints \"COMn /dev/pts/K\" once it serves; SIGINT or SIGTERM stop it.\n"
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
        "  --device-error CODE[,cmd=XX][,frames=N][,closed|counted][,reset][,permanent]\n"
        "                  answer the next N requests (of command XX) with device error CODE;\n"
        "                  closed: the open receipt was closed and counted before the error\n"
        "                  struck; counted: it was counted but shows open until the printer is\n"
        "                  unblocked;\n"
        "                  reset: the printer wants a \"cr\" afterwards; permanent: errors 22\n"
        "                  and 48 to 50 block the printer for good\n"
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
    std::vector<emu::Fault> faults;
};

// kExitOk to go on, or the exit code.
int ParseOptions(int argc, char** argv, Options& options, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            help = true;
            return kExitOk;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "vprinter: %s needs a value (see --help)\n", option.c_str());
            return kExitUsage;
        }
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
        } else if (option == "--device-error") {
            emu::Fault fault;
            ok = ParseDeviceError(value, fault);
            options.faults.push_back(fault);
        } else {
            std::fprintf(stderr, "vprinter: unknown option %s (see --help)\n", option.c_str());
            return kExitUsage;
        }
        if (!ok) {
            std::fprintf(stderr, "vprinter: bad value for %s: %s\n", option.c_str(), value);
            return kExitUsage;
        }
    }
    return kExitOk;
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

    // The signals are taken by sigwait below; blocked before any thread starts, so that no
    // thread of the printer is ever interrupted by them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A reader that went away must not kill the printer before it takes its port-map entry out.
    std::signal(SIGPIPE, SIG_IGN);

    emu::VirtualPrinter printer;
    if (!options.stateFile.empty()) {
        rc = printer.SetStateFile(options.stateFile);
        if (rc != 0) {
            std::fprintf(stderr, "vprinter: cannot use state file %s: %s\n",
                         options.stateFile.c_str(), std::strerror(-rc));
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
            std::fprintf(stderr, "vprinter: a --set value is not one the printer can hold\n");
            return kExitUsage;
        }
    }
    if (options.hasRestart) {
        printer.SetRestartTime(options.restartMs);
    }
    if (options.hasReport) {
        printer.SetReportTime(options.reportMs);
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
    int port = printer.RegisterPort(options.port);
    if (port <= 0) {
        std::fprintf(stderr, "vprinter: cannot enter %s in the port map (Windows error %d)\n",
                     options.port > 0 ? ("COM" + std::to_string(options.port)).c_str() : "the port",
                     -port);
        return kExitFailure;
    }
    std::printf("COM%d %s\n", port, printer.DevicePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) {
    }
    printer.Stop();
    printer.UnregisterPort();
    return kExitOk;
}
