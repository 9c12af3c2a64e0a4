// vprinter: the virtual fiscal printer as a program. It opens a pseudo-terminal, enters it in
// the port map as a COM port, prints "COMn /dev/pts/K" and serves until SIGINT or SIGTERM, then
// takes its port-map entry out again.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <pthread.h>

#include "PrinterState.h"
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
        "  --status HEX    status word to start with (default 00C0)\n"
        "  --blocking HEX  blocking word to start with (default 0000)\n"
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

struct Options {
    int port = 0;
    std::string stateFile;
    std::string paperFile;
    bool hasStatus = false;
    bool hasBlocking = false;
    uint16_t status = 0;
    uint16_t blocking = 0;
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
