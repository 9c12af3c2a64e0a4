// The driver at the pace of a real serial line. The virtual printer runs in line-rate mode in a
// process of its own: it holds every byte back until it would have crossed a cable at the speed
// the driver set (10 bits a byte), so an operation's wall time can be set against the wire time
// of the bytes it exchanged ("ratio": 1.00 is the physical limit), and the process CPU clock
// counts the driver alone.
//
// The second argument of the line benchmarks is how many bytes the line hands over at a time:
// 1 is every byte on its own, as soon as it has crossed; 14 a 16550 UART at its usual receive
// trigger level; 64 a USB adapter's packet. The minimal reader does the journal's exchanges with
// nothing but poll() and read(): no reader can wake less often than the line hands bytes over,
// so it shows the floor of the CPU per received byte.
//
// Wall-time ratios need a quiet machine: run with --benchmark_repetitions=5 and read the
// medians. A run with --benchmark_min_time below 0.1 s (CTest's) is a short check that every
// benchmark works, on a small journal.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <windows.h>

#include "BenchClock.h"
#include "DispatchClient.h"
#include "PrinterProcess.h"
#include "TestSupport.h"

namespace {

constexpr int kLinesPerReceipt = 10;
constexpr DWORD kJournalBlock = 512;  // what one "jg" brings at most

struct Setup {
    bench::PrinterProcess printer;
    uint32_t journalBytes = 64 * 1024;
    bool quick = false;
};
Setup* g_setup = nullptr;

// The process's CPU split into its own code and the kernel's work for it, and the times it went
// to sleep waiting: each is a wake-up when the line hands bytes over.
struct Usage {
    double user = 0;
    double system = 0;
    long sleeps = 0;

    static Usage Now() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const auto seconds = [](const timeval& tv) {
            return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
        };
        return {seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_nvcsw};
    }
};

// One driver object, created by its ProgID as a point-of-sale program creates it.
class Driver {
  public:
    explicit Driver(benchmark::State* state) : state_(state) {
        CLSID clsid = {};
        IDispatch* dispatch = nullptr;
        if (SUCCEEDED(CLSIDFromProgID(OLESTR("BrontalOcx.DrvKeltor"), &clsid)) &&
            SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                       reinterpret_cast<void**>(&dispatch)))) {
            client_ = std::make_unique<salestest::CDispatchClient>(dispatch);
            dispatch->Release();
        } else {
            Fail("the component cannot be created");
        }
    }
    ~Driver() {
        if (client_) {
            client_->Call("Disconnect");
        }
    }

    bool ok() const { return client_ && !failed_; }
    salestest::CDispatchClient& operator*() { return *client_; }
    salestest::CDispatchClient* operator->() { return client_.get(); }

    // False (and the benchmark skipped with the member's own words) when `hr` failed.
    bool Check(HRESULT hr) {
        if (SUCCEEDED(hr)) {
            return true;
        }
        const salestest::DispatchFailure& failure = client_->LastFailure();
        Fail(failure.member + " failed: " + salestest::Utf8FromWide(failure.description));
        return false;
    }

    bool Connect(unsigned baud) {
        return ok() && Check(client_->PutNumber("ComPort", g_setup->printer.Port())) &&
               Check(client_->PutNumber("BaudRate", static_cast<LONG>(baud))) &&
               Check(client_->PutNumber("SuppressAutodetect", 1)) &&
               Check(client_->Call("Connect"));
    }

    void Fail(const std::string& why) {
        failed_ = true;
        if (state_) {
            state_->SkipWithError(why.c_str());
        } else {
            std::fprintf(stderr, "line_rate_bench: %s\n", why.c_str());
        }
    }

  private:
    benchmark::State* state_;
    std::unique_ptr<salestest::CDispatchClient> client_;
    bool failed_ = false;
};

// What the operations of one benchmark cost, against what crossed the line meanwhile.
struct Tally {
    unsigned baud = 0;
    int runs = 0;
    double wall = 0;
    double cpu = 0;
    Usage usage;
    uint64_t toPrinter = 0;
    uint64_t fromPrinter = 0;
    uint64_t frames = 0;

    // Runs `operation` once, timed; false when it or the printer's counts failed.
    bool Measure(benchmark::State& state, const std::function<bool()>& operation) {
        if (!g_setup->printer.Clear()) {
            state.SkipWithError("the printer does not answer its commands");
            return false;
        }
        const Usage usage0 = Usage::Now();
        const double cpu0 = bench::ProcessCpuSeconds();
        const double wall0 = bench::WallSeconds();
        const bool done = operation();
        const double elapsed = bench::WallSeconds() - wall0;
        cpu += bench::ProcessCpuSeconds() - cpu0;
        const Usage usage1 = Usage::Now();
        usage.user += usage1.user - usage0.user;
        usage.system += usage1.system - usage0.system;
        usage.sleeps += usage1.sleeps - usage0.sleeps;
        wall += elapsed;
        state.SetIterationTime(elapsed);
        bench::PrinterProcess::Counts counts;
        if (!done || !g_setup->printer.Read(&counts)) {
            if (done) {
                state.SkipWithError("the printer does not answer its commands");
            }
            return false;
        }
        toPrinter += counts.line.received;
        fromPrinter += counts.line.sent;
        frames += counts.frames;
        ++runs;
        return true;
    }

    double Wire() const {
        return static_cast<double>(toPrinter + fromPrinter) * 10.0 / static_cast<double>(baud);
    }

    void Report(benchmark::State& state) const {
        if (runs == 0 || fromPrinter == 0) {
            return;
        }
        const double n = runs;
        state.counters["ratio"] = wall / Wire();
        state.counters["wire_ms"] = 1e3 * Wire() / n;
        state.counters["exchanges"] = static_cast<double>(frames) / n;
        state.counters["line_bytes"] = static_cast<double>(toPrinter + fromPrinter) / n;
        state.counters["cpu_ms"] = 1e3 * cpu / n;
        const double received = static_cast<double>(fromPrinter);
        state.counters["cpu_us_per_rx_byte"] = 1e6 * cpu / received;
        // The driver's own code, and the kernel's work for it (system calls, wake-ups).
        state.counters["user_us_per_rx_byte"] = 1e6 * usage.user / received;
        state.counters["sys_us_per_rx_byte"] = 1e6 * usage.system / received;
        state.counters["cpu_core_pct"] = 100.0 * cpu / wall;
        state.counters["wakes_per_rx_byte"] = static_cast<double>(usage.sleeps) / received;
    }
};

bool SetLine(benchmark::State& state, unsigned fifo) {
    if (!g_setup->printer.SetLineRate(true, fifo)) {
        state.SkipWithError("the printer refuses the line rate");
        return false;
    }
    return true;
}

// Arguments: the line's speed, and the bytes it hands over at a time.
void BM_SaleReceipt(benchmark::State& state) {
    Tally tally;
    tally.baud = static_cast<unsigned>(state.range(0));
    Driver driver(&state);
    if (!SetLine(state, static_cast<unsigned>(state.range(1))) || !driver.Connect(tally.baud)) {
        return;
    }
    const salestest::WideText article = OLESTR("Кофе Якобс-Монарх клас.");
    for (auto _ : state) {
        const bool sold = tally.Measure(state, [&] {
            HRESULT hr = driver->PutNumber("ReceiptType", 1);
            hr = SUCCEEDED(hr) ? driver->Call("OpenReceipt") : hr;
            for (int line = 0; line < kLinesPerReceipt && SUCCEEDED(hr); ++line) {
                hr = driver->PutText("Article", article);
                hr = SUCCEEDED(hr) ? driver->PutMoney("Price", 65400 + line * 100) : hr;
                hr = SUCCEEDED(hr) ? driver->PutMoney("Quantity", 10000 + line * 2500) : hr;
                hr = SUCCEEDED(hr) ? driver->Call("Sale") : hr;
            }
            hr = SUCCEEDED(hr) ? driver->Call("CompleteReceipt") : hr;
            LONGLONG subtotal = 0;
            hr = SUCCEEDED(hr) ? driver->GetMoney("Subtotal", &subtotal) : hr;
            hr = SUCCEEDED(hr) ? driver->PutMoney("Amount", subtotal) : hr;
            hr = SUCCEEDED(hr) ? driver->Call("PayCash") : hr;
            hr = SUCCEEDED(hr) ? driver->Call("CloseReceipt") : hr;
            return driver.Check(hr);
        });
        if (!sold) {
            break;
        }
    }
    tally.Report(state);
}

// Arguments: the line's speed, and the bytes it hands over at a time.
void BM_JournalDownload(benchmark::State& state) {
    Tally tally;
    tally.baud = static_cast<unsigned>(state.range(0));
    Driver driver(&state);
    if (!SetLine(state, static_cast<unsigned>(state.range(1))) || !driver.Connect(tally.baud) ||
        !driver.Check(driver->PutNumber("SuppressEJournalReadProgress", 1))) {
        return;
    }
    const LONG bytes = static_cast<LONG>(g_setup->journalBytes);
    for (auto _ : state) {
        const bool read = tally.Measure(state, [&] {
            return driver.Check(driver->PutNumber("SessionNumber", 1)) &&
                   driver.Check(driver->PutNumber("ElectronicJournalReadOffset", 0)) &&
                   driver.Check(driver->PutNumber("ElectronicJournalReadSize", bytes)) &&
                   driver.Check(driver->Call("ReadElectronicJournal"));
        });
        if (!read) {
            break;
        }
    }
    tally.Report(state);
    if (tally.runs > 0) {
        const double data = static_cast<double>(bytes) * tally.runs;
        state.counters["bytes_per_s"] = data / tally.wall;
        // What the framing lets through: the data over the wire time of every byte exchanged.
        state.counters["capacity_bytes_per_s"] = data / tally.Wire();
    }
}

// The journal's exchanges with nothing but poll() and read() on the device (argument: the bytes
// the line hands over at a time): the least CPU a reader can spend on these bytes.
void BM_JournalMinimalReader(benchmark::State& state) {
    Tally tally;
    tally.baud = 115200;
    if (!SetLine(state, static_cast<unsigned>(state.range(0)))) {
        return;
    }
    const int fd = open(g_setup->printer.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0) {
        state.SkipWithError("the printer's device cannot be opened");
        if (fd >= 0) {
            close(fd);
        }
        return;
    }
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(fd, TCSANOW, &tio);
    tcflush(fd, TCIOFLUSH);
    // Characters the driver did not use last: the printer never takes these for repeats.
    char sequence = '0';
    const auto exchange = [&](const std::string& payload) {
        std::string frame = std::string("\x02") + sequence + payload + "\x03";
        char check = 0;
        for (size_t i = 1; i < frame.size(); ++i) {
            check = static_cast<char>(check ^ frame[i]);
        }
        frame += check;
        sequence = sequence == 'Z' ? '0' : static_cast<char>(sequence + 1);
        if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            return false;
        }
        char reply[1100];
        size_t got = 0;
        for (;;) {
            pollfd pfd{fd, POLLIN, 0};
            const ssize_t n =
                poll(&pfd, 1, 2000) > 0 ? read(fd, reply + got, sizeof reply - got) : 0;
            if (n <= 0) {
                return false;
            }
            got += static_cast<size_t>(n);
            const void* etx = memchr(reply, '\x03', got);
            if (etx && static_cast<const char*>(etx) + 1 < reply + got) {
                return true;  // the check byte is in
            }
        }
    };
    exchange("gs");
    for (auto _ : state) {
        const bool read = tally.Measure(state, [&] {
            for (uint32_t offset = 0; offset < g_setup->journalBytes; offset += kJournalBlock) {
                char request[48];  // "jg", three fields of at most eight hex digits
                std::snprintf(request, sizeof request, "jg\x1C%X\x1C%X\x1C%X", 1u, offset,
                              static_cast<unsigned>(kJournalBlock));
                if (!exchange(request)) {
                    return false;
                }
            }
            return true;
        });
        if (!read) {
            state.SkipWithError("the printer did not answer");
            break;
        }
    }
    close(fd);
    tally.Report(state);
}

// `Connect` of a new driver object, which takes the port and speed stored by the last one.
void BM_ConnectStoredPort(benchmark::State& state) {
    Tally tally;
    tally.baud = static_cast<unsigned>(state.range(0));
    {
        Driver first(&state);
        if (!SetLine(state, 1) || !first.Connect(tally.baud)) {
            return;
        }
    }
    for (auto _ : state) {
        Driver driver(&state);
        if (!driver.ok() ||
            !tally.Measure(state, [&] { return driver.Check(driver->Call("Connect")); })) {
            break;
        }
    }
    tally.Report(state);
}

// A request the printer works on for `ms` (argument), sending SYN about every 300 ms: the CPU
// the driver spends waiting ("cpu_core_pct"), which is what a slow print costs it.
void BM_IdleWait(benchmark::State& state) {
    Tally tally;
    tally.baud = 115200;
    Driver driver(&state);
    if (!SetLine(state, 1) || !driver.Connect(tally.baud)) {
        return;
    }
    for (auto _ : state) {
        if (!g_setup->printer.KeepBusy(static_cast<uint32_t>(state.range(0)))) {
            state.SkipWithError("the printer refuses the busy time");
            break;
        }
        if (!tally.Measure(state, [&] { return driver.Check(driver->Call("RefreshStatus")); })) {
            break;
        }
    }
    tally.Report(state);
}

// A closed day 1 whose journal the download reads, and an open day for the receipts.
bool PrepareDays(uint32_t journalBytes) {
    Driver driver(nullptr);
    if (!driver.Connect(115200) || !driver.Check(driver->Call("OpenDay")) ||
        !driver.Check(driver->Call("PrintZReport")) || !driver.Check(driver->Call("OpenDay"))) {
        return false;
    }
    return g_setup->printer.SetJournal(1, journalBytes);
}

// A short run: what CTest asks for to see that every benchmark works.
bool ShortRun(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* flag = "--benchmark_min_time=";
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0 &&
            std::atof(argv[i] + std::strlen(flag)) < 0.1) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    testsupport::ScopedRegistryDir registry;
    Setup setup;
    g_setup = &setup;
    setup.quick = ShortRun(argc, argv);
    if (setup.quick) {
        setup.journalBytes = 4 * kJournalBlock;
    }
    // Before any thread of this process exists: the printer is a fork of it.
    if (!setup.printer.Start(1)) {
        std::fprintf(stderr, "line_rate_bench: the virtual printer does not serve\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (!bench::RegisterComponent() || FAILED(CoInitialize(nullptr))) {
        std::fprintf(stderr, "line_rate_bench: the component cannot be registered or started\n");
        return 1;
    }
    if (!PrepareDays(setup.journalBytes)) {
        std::fprintf(stderr, "line_rate_bench: the days for the measurements cannot be made\n");
        return 1;
    }
    const int receipts = setup.quick ? 1 : 10;
    benchmark::RegisterBenchmark("BM_SaleReceipt", BM_SaleReceipt)
        ->Args({115200, 1})
        ->Iterations(receipts)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_SaleReceipt", BM_SaleReceipt)
        ->Args({9600, 1})
        ->Iterations(setup.quick ? 1 : 3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ConnectStoredPort", BM_ConnectStoredPort)
        ->Arg(115200)
        ->Iterations(receipts)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_IdleWait", BM_IdleWait)
        ->Arg(setup.quick ? 400 : 3000)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    for (int fifo : {1, 14, 64}) {
        benchmark::RegisterBenchmark("BM_JournalDownload", BM_JournalDownload)
            ->Args({115200, fifo})
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_JournalMinimalReader", BM_JournalMinimalReader)
            ->Arg(fifo)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CoUninitialize();
    g_setup = nullptr;
    return 0;
}
