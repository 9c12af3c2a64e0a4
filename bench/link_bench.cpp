// The device link's costs: how much processor a waiting read burns, and what the link adds to a
// "gs" round trip with the virtual printer over a minimal raw exchange on the same line.
#include <chrono>
#include <ctime>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "AsyncComX28.h"
#include "BenchClock.h"
#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace {

using bench::ProcessCpuSeconds;
using bench::WallSeconds;

// A silent line: a pseudo-terminal mapped as a COM port with nobody answering on it.
struct SilentLine {
    int master = -1;
    int slave = -1;
    int port = 0;

    SilentLine() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[64];  // "/dev/pts/N"
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
            ptsname_r(master, name, sizeof name) != 0) {
            return;
        }
        slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);  // keeps the master free of EIO
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0,
                            KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            return;
        }
        const char data[] = "COM40";
        if (RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                           sizeof data) == ERROR_SUCCESS) {
            port = 40;
        }
        RegCloseKey(key);
    }
    ~SilentLine() {
        if (slave >= 0) {
            close(slave);
        }
        if (master >= 0) {
            close(master);
        }
    }
};

struct Setup {
    testsupport::ScopedRegistryDir registry;
    emu::VirtualPrinter printer;
    int printerPort = 0;
    SilentLine silent;
    double rawRoundTripSeconds = 0;  // means of the raw exchanges, for the link's ratios
    double rawByteWiseSeconds = 0;

    Setup() {
        if (printer.Start() == 0) {
            printerPort = printer.RegisterPort();
        }
    }
};

Setup* g_setup = nullptr;

// (1) A read whose reply never comes: the link should sleep through it, not spin.
void BM_WaitingReadCpuShare(benchmark::State& state) {
    AsyncCom port(g_setup->silent.port, 9600, 0, 8, 0, 1);
    if (g_setup->silent.port == 0 || port.Open() != 0) {
        state.SkipWithError("silent line not available");
        return;
    }
    BYTE buffer[16];
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds();
        const double wall0 = WallSeconds();
        benchmark::DoNotOptimize(port.Read(buffer, sizeof buffer, 2000));
        cpu += ProcessCpuSeconds() - cpu0;
        wall += WallSeconds() - wall0;
    }
    state.counters["cpu_share"] = wall > 0 ? cpu / wall : 0;
}
BENCHMARK(BM_WaitingReadCpuShare)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same through the X28 layer: the reply starts and its body never completes, so the read
// waits out its whole 2 s reply budget.
void BM_X28StalledReplyCpuShare(benchmark::State& state) {
    AsyncComX28 link(g_setup->silent.port, 9600, 0, 8, 0, 1);
    if (g_setup->silent.port == 0 || link.Open() != 0) {
        state.SkipWithError("silent line not available");
        return;
    }
    BYTE buffer[1024];
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        if (write(g_setup->silent.master, "\x02Zgs", 4) != 4) {
            state.SkipWithError("peer write failed");
            return;
        }
        const double cpu0 = ProcessCpuSeconds();
        const double wall0 = WallSeconds();
        benchmark::DoNotOptimize(link.Read(buffer, sizeof buffer, 2000));
        cpu += ProcessCpuSeconds() - cpu0;
        wall += WallSeconds() - wall0;
    }
    state.counters["cpu_share"] = wall > 0 ? cpu / wall : 0;
}
BENCHMARK(BM_X28StalledReplyCpuShare)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

std::string GsFrame(char sequence) {
    std::string frame = "\x02";
    frame += sequence;
    frame += "gs\x03";
    char check = 0;
    for (size_t i = 1; i < frame.size(); ++i) {
        check = static_cast<char>(check ^ frame[i]);
    }
    return frame + check;
}

// (2a) The baseline: write the frame and read the reply up to its check byte, nothing else.
void BM_GsRoundTripRaw(benchmark::State& state) {
    const std::string path = g_setup->printer.DevicePath();
    const int fd = g_setup->printerPort > 0 ? open(path.c_str(), O_RDWR | O_NOCTTY) : -1;
    if (fd < 0) {
        state.SkipWithError("virtual printer not available");
        return;
    }
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    tcflush(fd, TCIOFLUSH);
    const bool byteWise = state.range(0) != 0;
    char sequence = '0';
    char reply[1024];
    size_t replyBytes = 0;
    const double wall0 = WallSeconds();
    for (auto _ : state) {
        const std::string frame = GsFrame(sequence);
        sequence = sequence == 'Z' ? '0' : static_cast<char>(sequence + 1);
        if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            state.SkipWithError("write failed");
            break;
        }
        // Read in chunks until the byte after ETX (the check byte) is in.
        size_t got = 0;
        ssize_t etxAt = -1;
        while (etxAt < 0 || got <= static_cast<size_t>(etxAt) + 1) {
            pollfd pfd{fd, POLLIN, 0};
            const size_t want = byteWise ? 1 : sizeof reply - got;
            const ssize_t n = poll(&pfd, 1, 2000) > 0 ? read(fd, reply + got, want) : 0;
            if (n <= 0) {
                break;
            }
            for (size_t i = got; etxAt < 0 && i < got + static_cast<size_t>(n); ++i) {
                if (reply[i] == '\x03') {
                    etxAt = static_cast<ssize_t>(i);
                }
            }
            got += static_cast<size_t>(n);
        }
        if (etxAt < 0 || got <= static_cast<size_t>(etxAt) + 1) {
            state.SkipWithError("no reply");
            break;
        }
        replyBytes = got;
    }
    const double wall = WallSeconds() - wall0;
    close(fd);
    if (state.iterations() > 0) {
        const double mean = wall / static_cast<double>(state.iterations());
        (byteWise ? g_setup->rawByteWiseSeconds : g_setup->rawRoundTripSeconds) = mean;
        state.counters["round_trip_us"] = mean * 1e6;
        state.counters["reply_bytes"] = static_cast<double>(replyBytes);
    }
}

// (2b) The same exchange through AsyncComX28: Write, then Read with the command layer's budget.
void BM_GsRoundTripLink(benchmark::State& state) {
    AsyncComX28 link(g_setup->printerPort, 115200, 0, 8, 0, 1);
    if (g_setup->printerPort <= 0 || link.Open() != 0) {
        state.SkipWithError("virtual printer not available");
        return;
    }
    BYTE reply[1024];
    const BYTE gs[] = {'g', 's'};
    const double wall0 = WallSeconds();
    for (auto _ : state) {
        if (link.Write(gs, sizeof gs, 1000) <= 0 || link.Read(reply, sizeof reply, 2000) <= 0) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    const double wall = WallSeconds() - wall0;
    if (state.iterations() > 0) {
        const double mean = wall / static_cast<double>(state.iterations());
        state.counters["round_trip_us"] = mean * 1e6;
        // Link time over raw time, when the raw exchanges ran first in this process.
        if (g_setup->rawRoundTripSeconds > 0) {
            state.counters["vs_raw"] = mean / g_setup->rawRoundTripSeconds;
        }
        if (g_setup->rawByteWiseSeconds > 0) {
            state.counters["vs_raw_bytewise"] = mean / g_setup->rawByteWiseSeconds;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Setup setup;
    g_setup = &setup;
    // Arg 0: the reply in as few reads as the line allows; 1: one byte per read, as the link reads.
    benchmark::RegisterBenchmark("BM_GsRoundTripRaw", BM_GsRoundTripRaw)
        ->Arg(0)
        ->Arg(1)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_GsRoundTripLink", BM_GsRoundTripLink)->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_setup = nullptr;
    return 0;
}
