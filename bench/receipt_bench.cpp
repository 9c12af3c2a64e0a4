// A whole sale receipt through IDispatch against the virtual printer: open, ten lines, total,
// cash payment, close. Reported per receipt, with the share of its wall time that the calling
// thread spent on the processor: that thread runs the dispatch, the driver, the command layer and
// the link, while the printer answers on a thread of its own, so the share is the driver's own
// cost against the time the receipt takes. Once on a line as fast as a pseudo-terminal, where
// the share shows little more than the cost itself, and once with the printer answering at the
// pace of a slow serial line.
#include <chrono>
#include <ctime>
#include <limits>
#include <string>

#include <benchmark/benchmark.h>

#include <windows.h>

#include "BenchClock.h"
#include "DispatchClient.h"
#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace {

using bench::ThreadCpuSeconds;
using bench::WallSeconds;

constexpr int kLinesPerReceipt = 10;
// A day is closed now and then outside the measurement, so that the day's counters stay small.
constexpr int kReceiptsPerDay = 200;

// Connects a driver object to the printer and measures receipts on it.
void MeasureReceipts(benchmark::State& state, emu::VirtualPrinter& printer) {
    CLSID clsid = {};
    IDispatch* dispatch = nullptr;
    if (FAILED(CLSIDFromProgID(OLESTR("BrontalOcx.DrvKeltor"), &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&dispatch)))) {
        state.SkipWithError("the component cannot be created");
        return;
    }
    salestest::CDispatchClient driver(dispatch);
    dispatch->Release();
    const auto failed = [&](HRESULT hr) {
        if (FAILED(hr)) {
            const salestest::DispatchFailure& failure = driver.LastFailure();
            state.SkipWithError(
                (failure.member + " failed: " + salestest::Utf8FromWide(failure.description))
                    .c_str());
            return true;
        }
        return false;
    };
    if (failed(driver.PutNumber("ComPort", printer.PortNumber())) ||
        failed(driver.PutNumber("BaudRate", 115200)) ||
        failed(driver.PutNumber("SuppressAutodetect", 1)) || failed(driver.Call("Connect"))) {
        return;
    }
    // A pseudo-terminal carries bytes at once; with a pace the printer's replies come a byte at a
    // time, about a millisecond or two apart, as on a slow serial line. (The printer's pause is
    // counted in whole milliseconds and cut down, so a pace of 1 would not pause at all.)
    const unsigned paceMs = static_cast<unsigned>(state.range(0));
    if (paceMs > 0) {
        emu::Fault pace;
        pace.kind = emu::FaultKind::SlowBytes;
        pace.periodMs = paceMs;
        pace.frames = std::numeric_limits<int>::max();
        if (printer.InjectFault(pace) != 0) {
            state.SkipWithError("the line pace cannot be set");
            return;
        }
    }
    const salestest::WideText article = OLESTR("Кофе Якобс-Монарх клас.");
    double cpu = 0;
    double wall = 0;
    int receipts = 0;
    for (auto _ : state) {
        if (receipts % kReceiptsPerDay == 0) {
            state.PauseTiming();
            if ((receipts != 0 && failed(driver.Call("PrintZReport"))) ||
                failed(driver.Call("OpenDay"))) {
                break;
            }
            state.ResumeTiming();
        }
        const double cpuStart = ThreadCpuSeconds();
        const double wallStart = WallSeconds();
        HRESULT hr = driver.PutNumber("ReceiptType", 1);
        hr = SUCCEEDED(hr) ? driver.Call("OpenReceipt") : hr;
        for (int line = 0; line < kLinesPerReceipt && SUCCEEDED(hr); ++line) {
            hr = driver.PutText("Article", article);
            hr = SUCCEEDED(hr) ? driver.PutMoney("Price", 65400 + line * 100) : hr;
            hr = SUCCEEDED(hr) ? driver.PutMoney("Quantity", 10000 + line * 2500) : hr;
            hr = SUCCEEDED(hr) ? driver.Call("Sale") : hr;
        }
        hr = SUCCEEDED(hr) ? driver.Call("CompleteReceipt") : hr;
        LONGLONG subtotal = 0;
        hr = SUCCEEDED(hr) ? driver.GetMoney("Subtotal", &subtotal) : hr;
        hr = SUCCEEDED(hr) ? driver.PutMoney("Amount", subtotal) : hr;
        hr = SUCCEEDED(hr) ? driver.Call("PayCash") : hr;
        hr = SUCCEEDED(hr) ? driver.Call("CloseReceipt") : hr;
        cpu += ThreadCpuSeconds() - cpuStart;
        wall += WallSeconds() - wallStart;
        if (failed(hr)) {
            break;
        }
        ++receipts;
    }
    state.counters["receipts"] = receipts;
    state.counters["driver_cpu_share_pct"] = wall > 0 ? 100.0 * cpu / wall : 0.0;
    state.counters["driver_cpu_us_per_receipt"] = receipts > 0 ? 1e6 * cpu / receipts : 0.0;
    state.SetItemsProcessed(receipts);
}

void SaleReceipt(benchmark::State& state) {
    testsupport::ScopedRegistryDir registry;
    emu::VirtualPrinter printer;
    // The days closed between the measurements need no journal and no busy report.
    printer.SetStatusWords(0x0080, 0);
    printer.SetReportTime(0);
    if (printer.Start() != 0 || printer.RegisterPort() <= 0 || !bench::RegisterComponent()) {
        state.SkipWithError("no virtual printer or component");
        return;
    }
    if (FAILED(CoInitialize(nullptr))) {
        state.SkipWithError("the component runtime cannot start");
        return;
    }
    MeasureReceipts(state, printer);
    CoUninitialize();
    printer.Stop();
}

// Argument: the printer's pause between two bytes of a reply, in milliseconds (0: none).
BENCHMARK(SaleReceipt)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SaleReceipt)->Arg(2)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
