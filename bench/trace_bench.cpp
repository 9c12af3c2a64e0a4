// Cost of the exchange trace: TraceRawData and TracePacket of typical frames, as the link calls
// them. With the mask bits clear the writers should cost no more than the mask test itself; with
// bits 0 and 1 set the cost is the files' open, append and close per line.
#include <algorithm>
#include <string>

#include <benchmark/benchmark.h>

#include "BenchClock.h"
#include "Settings.h"
#include "SettingsPath.h"
#include "TestSupport.h"
#include "Trace.h"

namespace {

// A "gs" reply: STX, sequence, payload with its FS fields, ETX, check byte.
const std::string kReplyFrame = std::string("\x02Z") +
                                "gs\x1C"
                                "00\x1C"
                                "00010000\x1C"
                                "0001" +
                                "\x03\x4C";

const BYTE* Bytes() {
    return reinterpret_cast<const BYTE*>(kReplyFrame.data());
}
DWORD Count() {
    return static_cast<DWORD>(kReplyFrame.size());
}

void BM_MaskTestOnly(benchmark::State& state) {
    ExtenderSettings.traceMask = 0;
    for (auto _ : state) {
        DWORD mask = ExtenderSettings.traceMask;
        benchmark::DoNotOptimize(mask & kRawDataTraceBit);
        mask = ExtenderSettings.traceMask;
        benchmark::DoNotOptimize(mask & kPacketTraceBit);
    }
}
BENCHMARK(BM_MaskTestOnly);

void BM_ExchangeTraceMask0(benchmark::State& state) {
    ExtenderSettings.traceMask = 0;
    for (auto _ : state) {
        TraceRawData(Bytes(), Count(), 0);
        TracePacket(Bytes(), Count(), 0);
    }
}
BENCHMARK(BM_ExchangeTraceMask0);

// An exchange as the link traces it, the "gs" request sent and its reply received, under the
// mask of the argument (1: raw data, 2: packets, 3: both). Reported per line written: every line
// is an open, an append and a close of the file, and the size check before each block.
void BM_ExchangeTracePerLine(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string path = dir.file("tracexch.txt");
    StoreTracePath(path.c_str(), static_cast<DWORD>(path.size()));
    // Large enough that no rotation moves lines away before they are counted.
    ExtenderSettings.traceFileSizeLimit = 1024 * 1024;
    ExtenderSettings.traceMask = static_cast<DWORD>(state.range(0));
    const BYTE request[] = {0x02, 'Z', 'g', 's', 0x03, 0x4D};
    const double wall0 = bench::WallSeconds();
    for (auto _ : state) {
        TraceRawData(request, sizeof request, 1);
        TracePacket(request, sizeof request, 1);
        TraceRawData(Bytes(), Count(), 0);
        TracePacket(Bytes(), Count(), 0);
    }
    const double wall = bench::WallSeconds() - wall0;
    ExtenderSettings.traceMask = 0;
    StoreTracePath("", 0);
    const std::string written = testsupport::ReadFileBytes(path);
    const auto lines = static_cast<double>(std::count(written.begin(), written.end(), '\n'));
    if (lines == 0) {
        state.SkipWithError("nothing was traced");
        return;
    }
    state.counters["lines_per_exchange"] = lines / static_cast<double>(state.iterations());
    state.counters["us_per_line"] = 1e6 * wall / lines;
}
BENCHMARK(BM_ExchangeTracePerLine)->Arg(1)->Arg(2)->Arg(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
